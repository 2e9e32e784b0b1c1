// The downhill simplex method of Nelder and Mead and the minimiser
// dispatcher.
#include "numeric/simplex.h"

#include <cmath>
#include <cstring>

#include "alloc/alloc.h"
#include "numeric/matrix.h"
#include "numeric/nrerror.h"
#include "numeric/powell.h"

// The direction set of Powell's method, kept between calls of one
// dimension so that later searches start from the directions learnt.
static real **direction = NULL;
static int old_d = 0;

// The trial point of the running Simplex call (nDims reals), one per thread:
// the tries of a fit run side by side.
static thread_local real *ptry = NULL;

int Minimize(ObjFunc f, real AbsTol, real RelTol, int MaxFuncs, int nDims, real **startx, real *starty,
             const char *method)
{
    if (strcmp(method, "simplex") == 0)
        return (int)Simplex(f, AbsTol, RelTol, (unsigned)MaxFuncs, nDims, startx, starty);
    if (strcmp(method, "powell") == 0) {
        if (direction == NULL || nDims != old_d) {
            if (nDims == 0)
                nrerror("Minimize(Powell) : Dimension of ObjFunc is 0");
            if (direction == NULL)
                alloc(nDims, nDims, &direction);
            else
                morealloc(old_d, old_d, &direction, nDims, nDims);
            old_d = nDims;
            init_diag_mat(1.0, nDims, direction);
        }
        return Powell(f, RelTol, MaxFuncs, nDims, startx[0], starty, direction);
    }
    nrerror("minimize: Minimization method unknown");
}

void Minimize_release()
{
    if (direction != NULL)
        frei(old_d, old_d, &direction);
    old_d = 0;
}

void Minimize_forget()
{
    direction = NULL;
    old_d = 0;
}

// psum[j] = Σ_i p[i][j] over the NumPts vertices, in vertex order.
static void column_sums(real **p, int NumPts, int nDims, real *psum)
{
    for (int j = 0; j < nDims; j++) {
        real sum = 0.0;
        for (int i = 0; i < NumPts; i++)
            sum += p[i][j];
        psum[j] = sum;
    }
}

real SimpTry(real **p, real *y, real *psum, int nDims, ObjFunc f, int ihi, unsigned *NumFuncs, real fac)
{
    real fac1 = (1.0 - fac) / nDims;
    real fac2 = fac1 - fac;
    for (int j = 0; j < nDims; j++)
        ptry[j] = psum[j] * fac1 - p[ihi][j] * fac2;
    real ytry = f(ptry, nDims);
    (*NumFuncs)++;
    if (ytry < y[ihi]) {
        y[ihi] = ytry;
        for (int j = 0; j < nDims; j++) {
            psum[j] += ptry[j] - p[ihi][j];
            p[ihi][j] = ptry[j];
        }
    }
    return ytry;
}

unsigned Simplex(ObjFunc f, real AbsTol, real RelTol, unsigned MaxFuncs, int nDims, real **p, real *y)
{
    const int NumPts = nDims + 1;
    real *psum = NULL;
    // A minimisation run inside the objective (nested) must leave the
    // trial point of this run as it found it.
    real *outer_ptry = ptry;
    ptry = NULL;
    alloc(nDims, &psum);
    alloc(nDims, &ptry);
    column_sums(p, NumPts, nDims, psum);
    unsigned NumFuncs = 0;
    int ilo;

    for (;;) {
        // Best, worst and second-worst vertex; among equal lowest values the
        // first vertex stays the best.
        int ihi, inhi;
        ilo = 0;
        if (y[0] > y[1]) {
            ihi = 0;
            inhi = 1;
        } else {
            ihi = 1;
            inhi = 0;
        }
        for (int i = 0; i < NumPts; i++) {
            if (y[i] < y[ilo])
                ilo = i;
            if (y[i] > y[ihi]) {
                inhi = ihi;
                ihi = i;
            } else if (y[i] > y[inhi] && i != ihi) {
                inhi = i;
            }
        }
        real range = y[ihi] - y[ilo];
        real ave = 0.5 * fabs(y[ihi]) + 0.5 * fabs(y[ilo]);
        if (range <= AbsTol || range <= RelTol * ave || NumFuncs >= MaxFuncs)
            break;

        real ytry = SimpTry(p, y, psum, nDims, f, ihi, &NumFuncs, -1.0);
        if (ytry <= y[ilo]) {
            SimpTry(p, y, psum, nDims, f, ihi, &NumFuncs, 2.0);
        } else if (ytry >= y[inhi]) {
            real ysave = y[ihi];
            ytry = SimpTry(p, y, psum, nDims, f, ihi, &NumFuncs, 0.5);
            if (ytry >= ysave) {
                // No better point along the line: shrink towards the best.
                for (int i = 0; i < NumPts; i++) {
                    if (i == ilo)
                        continue;
                    for (int j = 0; j < nDims; j++)
                        p[i][j] = 0.5 * (p[i][j] + p[ilo][j]);
                    y[i] = f(p[i], nDims);
                }
                NumFuncs += (unsigned)nDims;
                column_sums(p, NumPts, nDims, psum);
            }
        }
    }

    real *row = p[0];
    p[0] = p[ilo];
    p[ilo] = row;
    real value = y[0];
    y[0] = y[ilo];
    y[ilo] = value;
    frei(nDims, &psum);
    frei(nDims, &ptry);
    ptry = outer_ptry;
    return NumFuncs;
}
