# The Goldstein-Price function on [-2, 2]^2; global minimum 3 at (0, -1).
# Every input line "d x1 x2" is printed again with the function's value appended.
{
    x = $2; y = $3
    a = 1 + (x + y + 1) ^ 2 * (19 - 14 * x + 3 * x * x - 14 * y + 6 * x * y + 3 * y * y)
    b = 30 + (2 * x - 3 * y) ^ 2 * (18 - 32 * x + 12 * x * x + 48 * y - 36 * x * y + 27 * y * y)
    printf "%s %.10f\n", $0, a * b
}
