// Full factorial grids, row exchange, factorials and binomial coefficients.
#include "numeric/grid.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "alloc/alloc.h"
#include "numeric/nrerror.h"

namespace {

// n_levels^d by repeated multiplication; a count beyond the integer range
// is fatal.
int grid_points(int n_levels, int d)
{
    long long npred = 1;
    for (int j = 0; j < d; j++) {
        npred *= n_levels;
        if (npred > INT_MAX) {
            char text[160];
            snprintf(text, sizeof text, "grid(): %d levels on %d variables give more than %d grid points", n_levels,
                     d, INT_MAX);
            nrerror(text);
        }
    }
    return (int)npred;
}

// Ends the run with a clear message when a grid of npred rows of d reals
// (with its row pointers) cannot be had from the heap, instead of failing
// halfway through allocating its rows. The probe block is released at once.
void check_grid_memory(int n_levels, int d, int npred)
{
    size_t bytes = (size_t)npred * ((size_t)d * sizeof(real) + sizeof(real *));
    void *probe = malloc(bytes);
    if (probe == NULL) {
        char text[160];
        snprintf(text, sizeof text, "grid(): %d levels on %d variables give %d grid points, more than memory can hold",
                 n_levels, d, npred);
        nrerror(text);
    }
    free(probe);
}

} // namespace

void grid(int n_levels, int d, real **m, real ***xpred, int *npred)
{
    if (n_levels <= 1)
        nrerror("grid(): Code Bug : <=1 on grid");
    int *levels = NULL, *gridelem = NULL;
    alloc(d, &levels);
    alloc(d, &gridelem);
    for (int j = 0; j < d; j++) {
        levels[j] = n_levels;
        gridelem[j] = 0;
    }

    int points = grid_points(n_levels, d);
    check_grid_memory(n_levels, d, points);
    real **g = NULL;
    alloc(points, d, &g);

    int row = 0;
    boolean more = TRUE;
    while (more) {
        for (int j = 0; j < d; j++)
            g[row][j] = m[j][0] + ((real)gridelem[j] / (real)(levels[j] - 1)) * (m[j][1] - m[j][0]);
        more = PermGrid(d, levels, gridelem);
        row++;
    }

    *xpred = g;
    *npred = points;
    frei(d, &levels);
    frei(d, &gridelem);
}

boolean PermGrid(int d, const int *levels, int *gridelem)
{
    if (d < 1)
        nrerror("PermGrid: dimension is zero or negative.");
    boolean carry = TRUE;
    for (int i = d - 1; i >= 0 && carry; i--) {
        if (gridelem[i] == levels[i] - 1) {
            gridelem[i] = 0;
        } else {
            gridelem[i]++;
            carry = FALSE;
        }
    }
    return carry ? FALSE : TRUE;
}

void exchange(int n, real **matrix, int row1, int row2)
{
    for (int j = 0; j < n; j++) {
        real keep = matrix[row1][j];
        matrix[row1][j] = matrix[row2][j];
        matrix[row2][j] = keep;
    }
}

int factorial(int n)
{
    if (n < 0)
        nrerror("factorial: (n<0) or (n is not an integer)");
    if (n > 30)
        nrerror("factorial: n! where n>30, number too large");
    // 13! and above overflow a 32-bit integer: refuse rather than return a
    // wrong number.
    if (n > 12)
        nrerror("factorial: n! where n>12 does not fit an integer");
    int result = 1;
    for (int k = 2; k <= n; k++)
        result *= k;
    return result;
}

int choose(int n, int i)
{
    if (i > n)
        nrerror("choose: i>n , mathematical nonsense\n");
    if (n > 10)
        nrerror("choose: rewrite procedure, can't handle n>10");
    return factorial(n) / (factorial(i) * factorial(n - i));
}
