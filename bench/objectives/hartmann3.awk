# The Hartmann function of 3 inputs on [0, 1]^3; global minimum -3.86278 at
# (0.114614, 0.555649, 0.852547).
# Every input line "d x1 x2 x3" is printed again with the function's value appended.
BEGIN {
    split("1 1.2 3 3.2", c, " ")
    split("3 10 30  0.1 10 35  3 10 30  0.1 10 35", a, " ")
    split("0.3689 0.1170 0.2673  0.4699 0.4387 0.7470  0.1091 0.8732 0.5547  0.0381 0.5743 0.8828", p, " ")
}
{
    v = 0
    for (i = 0; i < 4; i++) {
        s = 0
        for (j = 1; j <= 3; j++)
            s += a[3 * i + j] * ($(j + 1) - p[3 * i + j]) ^ 2
        v -= c[i + 1] * exp(-s)
    }
    printf "%s %.10f\n", $0, v
}
