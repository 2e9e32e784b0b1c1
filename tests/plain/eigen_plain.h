// The symmetric eigen-decomposition in its plain form: tred2 and tqli written
// straight down, walking columns of the row-major matrix. The reference that
// the tests and benchmarks compare the production routines with, bit for bit.
#ifndef MORLA_PLAIN_EIGEN_H
#define MORLA_PLAIN_EIGEN_H

#include <cmath>

#include "alloc/alloc.h"
#include "numeric/eigen.h"
#include "numeric/nrerror.h"

namespace plain {

inline void tred2(real **a, int n, real *d, real *e)
{
    real scale, hh, h, g, f;

    for (int i = n - 1; i >= 1; i--) {
        int l = i - 1;
        h = scale = 0.0;
        if (l > 0) {
            for (int k = 0; k <= l; k++)
                scale += fabs(a[i][k]);
            if (scale == 0.0) {
                // Row already reduced: skip the transformation.
                e[i] = a[i][l];
            } else {
                for (int k = 0; k <= l; k++) {
                    a[i][k] /= scale;
                    h += a[i][k] * a[i][k];
                }
                f = a[i][l];
                g = (f >= 0.0 ? -sqrt(h) : sqrt(h));
                e[i] = scale * g;
                h -= f * g;
                a[i][l] = f - g;
                f = 0.0;
                for (int j = 0; j <= l; j++) {
                    // u/h is kept in column i for the accumulation below.
                    a[j][i] = a[i][j] / h;
                    g = 0.0;
                    for (int k = 0; k <= j; k++)
                        g += a[j][k] * a[i][k];
                    for (int k = j + 1; k <= l; k++)
                        g += a[k][j] * a[i][k];
                    e[j] = g / h;
                    f += e[j] * a[i][j];
                }
                hh = f / (h + h);
                for (int j = 0; j <= l; j++) {
                    f = a[i][j];
                    e[j] = g = e[j] - hh * f;
                    for (int k = 0; k <= j; k++)
                        a[j][k] -= (f * e[k] + g * a[i][k]);
                }
            }
        } else {
            e[i] = a[i][l];
        }
        d[i] = h;
    }
    d[0] = 0.0;
    e[0] = 0.0;
    // Accumulate the transformations into Q, overwriting a.
    for (int i = 0; i < n; i++) {
        int l = i - 1;
        if (d[i] != 0.0) {
            for (int j = 0; j <= l; j++) {
                g = 0.0;
                for (int k = 0; k <= l; k++)
                    g += a[i][k] * a[k][j];
                for (int k = 0; k <= l; k++)
                    a[k][j] -= g * a[k][i];
            }
        }
        d[i] = a[i][i];
        a[i][i] = 1.0;
        for (int j = 0; j <= l; j++)
            a[j][i] = a[i][j] = 0.0;
    }
}

inline void tqli(real *d, real *e, int n, real **z)
{
    int m, iter;
    real s, r, p, g, f, dd, c, b;

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
                if (iter++ == 1000)
                    nrerror("Too many iterations in tqli");
                // Wilkinson-type shift from the leading 2 x 2 block.
                g = (d[l + 1] - d[l]) / (2.0 * e[l]);
                r = ::pythag(g, 1.0);
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
                    e[i + 1] = (r = ::pythag(f, g));
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
                    for (int k = 0; k < n; k++) {
                        f = z[k][i + 1];
                        z[k][i + 1] = s * z[k][i] + c * f;
                        z[k][i] = c * z[k][i] - s * f;
                    }
                }
                if (r == 0.0 && i >= l)
                    continue;
                d[l] -= p;
                e[l] = g;
                e[m] = 0.0;
            }
        } while (m != l);
    }
}

inline void eigen(real **mat, int n, real *d)
{
    real *e = NULL;
    alloc(n, &e);
    tred2(mat, n, d, e);
    tqli(d, e, n, mat);
    frei(n, &e);
}

} // namespace plain

#endif
