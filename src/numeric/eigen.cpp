// Symmetric eigen-decomposition after the classic routines tred2 (Householder
// tridiagonalisation) and tqli (QL with implicit shifts), zero-based.
//
// Every sum and product is formed in the order of the classic column-walking
// form, so the results are the same to the bit; only the storage is laid out
// for the cache. tred2 keeps the active block symmetric in both triangles, so
// that the products with it run along rows; tqli rotates rows of the
// transposed eigenvector matrix.
#include "numeric/eigen.h"

#include <cmath>

#include "alloc/alloc.h"
#include "numeric/multiarch.h"
#include "numeric/nrerror.h"

// Iterations allowed for one eigenvalue before the QL iteration gives up.
// The classic limit is 30; smooth correlation matrices of a hundred runs and
// more can need about twice that, so the iteration goes on well beyond it.
// An eigenvalue that settles within 30 iterations is found exactly as
// before: the count only decides when to give up.
static const int MAX_QL_ITERATIONS = 1000;

// Side of the square tiles in which a matrix is transposed.
static const int TILE = 16;

real pythag(real a, real b)
{
    real absa = fabs(a);
    real absb = fabs(b);
    if (absa > absb) {
        real q = absb / absa;
        return absa * sqrt(1.0 + q * q);
    }
    if (absb == 0.0)
        return 0.0;
    real q = absa / absb;
    return absb * sqrt(1.0 + q * q);
}

// Swaps a[i][j] and a[j][i] for all i != j, tile by tile.
static void transpose_square(real **a, int n)
{
    for (int i0 = 0; i0 < n; i0 += TILE)
        for (int j0 = 0; j0 <= i0; j0 += TILE)
            for (int i = i0; i < n && i < i0 + TILE; i++)
                for (int j = j0; j < i && j < j0 + TILE; j++) {
                    real t = a[i][j];
                    a[i][j] = a[j][i];
                    a[j][i] = t;
                }
}

// Copies the lower triangle of a onto the upper one.
static void mirror_lower(real **a, int n)
{
    for (int i0 = 0; i0 < n; i0 += TILE)
        for (int j0 = 0; j0 <= i0; j0 += TILE)
            for (int i = i0; i < n && i < i0 + TILE; i++)
                for (int j = j0; j < i && j < j0 + TILE; j++)
                    a[j][i] = a[i][j];
}

// y[0..m) += x[0..m) · s, element by element.
static inline void axpy(int m, real s, const real *__restrict x, real *__restrict y)
{
    for (int k = 0; k < m; k++)
        y[k] += x[k] * s;
}

// One Householder step on the symmetric block a[0..l][0..l] (both triangles
// held), with u = a[i][0..l] already scaled and shifted and h = |u|²/2. The
// classic form sums g_j = Σ_{k≤j} a[j][k]·u_k + Σ_{k>j} a[k][j]·u_k; with the
// block symmetric that is Σ_k a[k][j]·u_k in the same order of k, formed here
// for every j at once by adding whole rows. The rank-two update
// a[j][k] -= f_j·e_k + g_j·u_k is applied to both triangles: the mirrored
// element is the same two products summed the other way round, which is the
// same number.
MULTIARCH static void householder_step(real **a, int i, int l, real h, real *e)
{
    real *ai = a[i];
    for (int j = 0; j <= l; j++)
        e[j] = 0.0;
    for (int k = 0; k <= l; k++)
        axpy(l + 1, ai[k], a[k], e);
    real f = 0.0;
    for (int j = 0; j <= l; j++) {
        // u/h is kept in column i for the accumulation of Q.
        a[j][i] = ai[j] / h;
        e[j] = e[j] / h;
        f += e[j] * ai[j];
    }
    real hh = f / (h + h);
    for (int j = 0; j <= l; j++)
        e[j] = e[j] - hh * ai[j];
    for (int j = 0; j <= l; j++) {
        real fj = ai[j], gj = e[j];
        real *__restrict aj = a[j];
        for (int k = 0; k <= l; k++)
            aj[k] -= (fj * e[k] + gj * ai[k]);
    }
}

// Accumulation of the transformations into Q, overwriting a: step i forms
// g_j = Σ_k a[i][k]·a[k][j] for every column j at once (rows added in the
// order of k), then a[k][j] -= g_j·a[k][i] row by row. g is n reals of work.
MULTIARCH static void accumulate_q(real **a, int n, real *d, real *g)
{
    for (int i = 0; i < n; i++) {
        int l = i - 1;
        real *ai = a[i];
        if (d[i] != 0.0) {
            for (int j = 0; j <= l; j++)
                g[j] = 0.0;
            for (int k = 0; k <= l; k++)
                axpy(l + 1, ai[k], a[k], g);
            for (int k = 0; k <= l; k++) {
                real w = a[k][i];
                real *__restrict ak = a[k];
                for (int j = 0; j <= l; j++)
                    ak[j] -= g[j] * w;
            }
        }
        d[i] = ai[i];
        ai[i] = 1.0;
        for (int j = 0; j <= l; j++)
            a[j][i] = ai[j] = 0.0;
    }
}

void tred2(real **a, int n, real *d, real *e)
{
    real scale, h, g, f;

    mirror_lower(a, n);
    for (int i = n - 1; i >= 1; i--) {
        int l = i - 1;
        real *ai = a[i];
        h = scale = 0.0;
        if (l > 0) {
            for (int k = 0; k <= l; k++)
                scale += fabs(ai[k]);
            if (scale == 0.0) {
                // Row already reduced: skip the transformation.
                e[i] = ai[l];
            } else {
                for (int k = 0; k <= l; k++) {
                    ai[k] /= scale;
                    h += ai[k] * ai[k];
                }
                f = ai[l];
                g = (f >= 0.0 ? -sqrt(h) : sqrt(h));
                e[i] = scale * g;
                h -= f * g;
                ai[l] = f - g;
                householder_step(a, i, l, h, e);
            }
        } else {
            e[i] = ai[l];
        }
        d[i] = h;
    }
    d[0] = 0.0;
    e[0] = 0.0;
    real *work = NULL;
    alloc(n, &work);
    accumulate_q(a, n, d, work);
    frei(n, &work);
}

// Rotation of the rows i and i+1 of the transposed eigenvector matrix: the
// classic form rotates columns i and i+1 of z, element k by element k.
static inline void rotate_rows(int n, real s, real c, real *__restrict zi, real *__restrict zi1)
{
    for (int k = 0; k < n; k++) {
        real f = zi1[k];
        zi1[k] = s * zi[k] + c * f;
        zi[k] = c * zi[k] - s * f;
    }
}

// The QL iteration proper, on zt = the transpose of z (row k of zt is
// column k of z), compiled with the rotations inlined.
MULTIARCH static boolean ql_iterate(real *d, real *e, int n, real **zt)
{
    int m, iter;
    real s, r, p, g, f, dd, c, b;

    // A matrix holding a value that is not a finite number never settles:
    // give up at once rather than after every iteration allowed.
    for (int i = 0; i < n; i++)
        if (!std::isfinite(d[i]) || !std::isfinite(e[i]))
            return FALSE;

    // Renumber the sub-diagonal so that e[i] couples rows i and i+1.
    for (int i = 1; i < n; i++)
        e[i - 1] = e[i];
    e[n - 1] = 0.0;

    for (int l = 0; l < n; l++) {
        iter = 0;
        do {
            // Look for a negligible sub-diagonal element to split the matrix.
            for (m = l; m < n - 1; m++) {
                dd = fabs(d[m]) + fabs(d[m + 1]);
                if (fabs(e[m]) + dd == dd)
                    break;
            }
            if (m != l) {
                if (iter++ == MAX_QL_ITERATIONS)
                    return FALSE;
                // Wilkinson-type shift from the leading 2 x 2 block.
                g = (d[l + 1] - d[l]) / (2.0 * e[l]);
                r = pythag(g, 1.0);
                if (g > 0.0)
                    g = d[m] - d[l] + e[l] / (g + fabs(r));
                else
                    g = d[m] - d[l] + e[l] / (g - fabs(r));
                s = c = 1.0;
                p = 0.0;
                int i;
                for (i = m - 1; i >= l; i--) {
                    f = s * e[i];
                    b = c * e[i];
                    e[i + 1] = (r = pythag(f, g));
                    if (r == 0.0) {
                        // Underflow: recover and start the sweep again.
                        d[i + 1] -= p;
                        e[m] = 0.0;
                        break;
                    }
                    s = f / r;
                    c = g / r;
                    g = d[i + 1] - p;
                    r = (d[i] - g) * s + 2.0 * c * b;
                    d[i + 1] = g + (p = s * r);
                    g = c * r - b;
                    rotate_rows(n, s, c, zt[i], zt[i + 1]);
                }
                if (r == 0.0 && i >= l)
                    continue;
                d[l] -= p;
                e[l] = g;
                e[m] = 0.0;
            }
        } while (m != l);
    }
    return TRUE;
}

// The QL iteration on z's transpose; FALSE when an eigenvalue was not
// isolated within the iterations allowed.
static boolean ql_on_columns(real *d, real *e, int n, real **z)
{
    transpose_square(z, n);
    boolean converged = ql_iterate(d, e, n, z);
    transpose_square(z, n);
    return converged;
}

void tqli(real *d, real *e, int n, real **z)
{
    if (!ql_on_columns(d, e, n, z))
        nrerror("Too many iterations in tqli");
}

boolean eigen_converged(real **mat, int n, real *d, real *e)
{
    tred2(mat, n, d, e);
    return ql_on_columns(d, e, n, mat);
}

void eigen(real **mat, int n, real *d, real *e)
{
    tred2(mat, n, d, e);
    tqli(d, e, n, mat);
}

void eigen(real **mat, int n, real *d)
{
    real *e = NULL;

    alloc(n, &e);
    eigen(mat, n, d, e);
    frei(n, &e);
}
