# The Branin function on [-5, 10] x [0, 15]; global minimum 0.397887, reached at
# (-pi, 12.275), (pi, 2.275) and (9.42478, 2.475).
# Every input line "d x1 x2" (the exchange file MORLA writes, or one design row)
# is printed again with the function's value appended.
{
    pi = 3.141592653589793
    x1 = $2; x2 = $3
    v = (x2 - 5.1 / (4 * pi * pi) * x1 * x1 + 5 / pi * x1 - 6) ^ 2 \
        + 10 * (1 - 1 / (8 * pi)) * cos(x1) + 10
    printf "%s %.10f\n", $0, v
}
