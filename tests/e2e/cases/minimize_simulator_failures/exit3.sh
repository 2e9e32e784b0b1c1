#!/bin/sh
# Fails at once.
exit 3
