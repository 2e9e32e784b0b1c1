#!/bin/sh
# A value with trailing text.
echo " 1.5abc" >> "$1"
