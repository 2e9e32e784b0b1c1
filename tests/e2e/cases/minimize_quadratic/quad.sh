#!/bin/sh
# f(x1, x2) = (x1 - 0.3)^2 + (x2 - 0.6)^2, appended to the exchange file.
awk '{ printf "%s %.10f\n", $0, ($2 - 0.3) ^ 2 + ($3 - 0.6) ^ 2 }' "$1" > "$1.new" && mv "$1.new" "$1"
