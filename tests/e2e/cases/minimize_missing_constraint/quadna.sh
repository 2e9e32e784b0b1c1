#!/bin/sh
# f(x1, x2) = (x1 - 0.3)^2 + (x2 - 0.6)^2 and the constraint c = x1 + x2,
# appended to the exchange file; the constraint is missing ("NA") where
# x1 < 0.1, as if the simulator had failed there.
awk '{ c = sprintf("%.10f", $2 + $3); if ($2 < 0.1) c = "NA"
       printf "%s %.10f %s\n", $0, ($2 - 0.3) ^ 2 + ($3 - 0.6) ^ 2, c }' "$1" > "$1.new" && mv "$1.new" "$1"
