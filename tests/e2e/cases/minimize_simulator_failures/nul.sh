#!/bin/sh
# A value with a NUL byte inside.
printf " 1.5\000abc\n" >> "$1"
