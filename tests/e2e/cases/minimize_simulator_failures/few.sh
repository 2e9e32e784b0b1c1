#!/bin/sh
# Appends no value.
true
