// Matrix inverse by Crout's LU decomposition (implicit pivoting), after the
// classic routines ludcmp and lubksb, zero-based.
#include "numeric/inverse.h"

#include <cmath>

#include "alloc/alloc.h"
#include "numeric/nrerror.h"

// Stand-in for an exactly zero pivot.
static const real TINY = 1.0e-20;

void ludcmp(real **a, int n, int *indx, real *d, real *vv)
{
    int imax = 0;
    real big, dum, sum, temp;

    // Implicit scaling: every row is judged relative to its largest element.
    for (int i = 0; i < n; i++) {
        big = 0.0;
        for (int j = 0; j < n; j++)
            if ((temp = fabs(a[i][j])) > big)
                big = temp;
        if (big == 0.0)
            nrerror("inverse : Singular matrix in routine ludcmp");
        vv[i] = 1.0 / big;
    }
    *d = 1.0;
    for (int j = 0; j < n; j++) {
        for (int i = 0; i < j; i++) {
            sum = a[i][j];
            for (int k = 0; k < i; k++)
                sum -= a[i][k] * a[k][j];
            a[i][j] = sum;
        }
        big = 0.0;
        for (int i = j; i < n; i++) {
            sum = a[i][j];
            for (int k = 0; k < j; k++)
                sum -= a[i][k] * a[k][j];
            a[i][j] = sum;
            // Greater-or-equal: among equal candidates the last row wins.
            if ((dum = vv[i] * fabs(sum)) >= big) {
                big = dum;
                imax = i;
            }
        }
        if (j != imax) {
            for (int k = 0; k < n; k++) {
                dum = a[imax][k];
                a[imax][k] = a[j][k];
                a[j][k] = dum;
            }
            *d = -(*d);
            vv[imax] = vv[j];
        }
        indx[j] = imax;
        if (a[j][j] == 0.0)
            a[j][j] = TINY;
        if (j != n - 1) {
            dum = 1.0 / a[j][j];
            for (int i = j + 1; i < n; i++)
                a[i][j] *= dum;
        }
    }
}

void ludcmp(real **a, int n, int *indx, real *d)
{
    real *vv = NULL;

    alloc(n, &vv);
    ludcmp(a, n, indx, d, vv);
    frei(n, &vv);
}

void lubksb(real **a, int n, const int *indx, real *b)
{
    int ii = -1;
    real sum;

    // Forward substitution, undoing the row permutation on the way; ii is
    // the first non-zero element of b once one has been met.
    for (int i = 0; i < n; i++) {
        int ip = indx[i];
        sum = b[ip];
        b[ip] = b[i];
        if (ii != -1)
            for (int j = ii; j < i; j++)
                sum -= a[i][j] * b[j];
        else if (sum != 0.0)
            ii = i;
        b[i] = sum;
    }
    for (int i = n - 1; i >= 0; i--) {
        sum = b[i];
        for (int j = i + 1; j < n; j++)
            sum -= a[i][j] * b[j];
        b[i] = sum / a[i][i];
    }
}

void inverse(real **a, real **y, int N, int *indx, real *col, real *vv)
{
    real d;

    ludcmp(a, N, indx, &d, vv);
    for (int j = 0; j < N; j++) {
        for (int i = 0; i < N; i++)
            col[i] = 0.0;
        col[j] = 1.0;
        lubksb(a, N, indx, col);
        for (int i = 0; i < N; i++)
            y[i][j] = col[i];
    }
}

void inverse(real **a, real **y, int N)
{
    int *indx = NULL;
    real *col = NULL, *vv = NULL;

    alloc(N, &indx);
    alloc(N, &col);
    alloc(N, &vv);
    inverse(a, y, N, indx, col, vv);
    frei(N, &vv);
    frei(N, &col);
    frei(N, &indx);
}
