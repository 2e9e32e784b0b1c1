#!/bin/sh
# A finite value too large for any fit.
echo " 1e308" >> "$1"
