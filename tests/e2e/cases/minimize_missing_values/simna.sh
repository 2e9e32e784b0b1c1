#!/bin/sh
# The response f(x1, x2) = (x1 - 0.3)^2 + (x2 - 0.6)^2 and the constraint
# c = x1 + x2, appended to the exchange file as one complete line; the
# simulator fails (NA) for f where x1 < 0.2, which holds the constrained
# minimum, and for c where x2 < 0.2.
awk '{ f = sprintf("%.10f", ($2 - 0.3) ^ 2 + ($3 - 0.6) ^ 2); c = sprintf("%.10f", $2 + $3)
       if ($2 < 0.2) f = "NA"; if ($3 < 0.2) c = "NA"
       printf "%s %s %s\n", $0, f, c }' "$1" > "$1.new" && mv "$1.new" "$1"
