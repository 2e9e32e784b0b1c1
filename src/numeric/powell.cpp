// Powell's direction-set method with golden-section bracketing and Brent's
// line minimisation, in the classic published form with zero-based arrays.
#include "numeric/powell.h"

#include <cmath>

#include "alloc/alloc.h"
#include "numeric/matrix.h"
#include "numeric/nrerror.h"

namespace {

// The current line search, set by linmin for f1dim.
int ncom = 0;              // dimension
real *pcom = NULL;         // origin of the line
real *xicom = NULL;        // direction of the line
ObjFunc nrfunc = NULL;     // the objective

const real LINMIN_TOL = 2.0e-4;

const real GOLD = 1.618034;  // magnification of successive bracket intervals
const real GLIMIT = 100.0;   // largest parabolic step, in bracket intervals
const real TINY = 1.0e-20;   // keeps the parabola's denominator from 0

const int BRENT_ITMAX = 100;
const real CGOLD = 0.3819660; // golden-section ratio
const real ZEPS = 1.0e-10;    // absolute precision near an abscissa of 0

real sqr(real x) { return x * x; }

// |a| with the sign of b (b = 0 counts as positive).
real sign_of(real a, real b) { return b >= 0.0 ? fabs(a) : -fabs(a); }

} // namespace

int Powell(ObjFunc func, real ftol, int ITMAX, int n, real *p, real *fret, real **xi)
{
    real *pt = NULL, *ptt = NULL, *xit = NULL;
    alloc(n, &pt);
    alloc(n, &ptt);
    alloc(n, &xit);
    *fret = func(p, n);
    for (int j = 0; j < n; j++)
        pt[j] = p[j];

    int iter = 0;
    for (;;) {
        real fp = *fret;
        int ibig = 0;
        real del = 0.0;
        for (int k = 0; k < n; k++) {
            for (int j = 0; j < n; j++)
                xit[j] = xi[j][k];
            real fptt = *fret;
            linmin(p, xit, n, fret, func);
            if (fabs(fptt - *fret) > del) {
                del = fabs(fptt - *fret);
                ibig = k;
            }
        }
        if (2.0 * fabs(fp - *fret) <= ftol * (fabs(fp) + fabs(*fret)))
            break;
        if (iter == ITMAX - 1) {
            iter = ITMAX;
            break;
        }
        for (int j = 0; j < n; j++) {
            ptt[j] = 2.0 * p[j] - pt[j];
            xit[j] = p[j] - pt[j];
            pt[j] = p[j];
        }
        real fptt = func(ptt, n);
        if (fptt < fp) {
            real t = 2.0 * (fp - 2.0 * *fret + fptt) * sqr(fp - *fret - del) - del * sqr(fp - fptt);
            if (t < 0.0) {
                // Along the average direction of the sweep; it replaces the
                // direction of largest decrease.
                linmin(p, xit, n, fret, func);
                for (int j = 0; j < n; j++) {
                    xi[j][ibig] = xi[j][n - 1];
                    xi[j][n - 1] = xit[j];
                }
            }
        }
        iter++;
    }

    frei(n, &pt);
    frei(n, &ptt);
    frei(n, &xit);
    return iter;
}

void linmin(real *p, real *xi, int n, real *fret, ObjFunc func)
{
    ncom = n;
    nrfunc = func;
    alloc(n, &pcom);
    alloc(n, &xicom);
    for (int j = 0; j < n; j++) {
        pcom[j] = p[j];
        xicom[j] = xi[j];
    }
    real ax = 0.0, xx = 1.0, bx, fa, fx, fb, xmin;
    mnbrak(&ax, &xx, &bx, &fa, &fx, &fb, f1dim);
    *fret = brent(ax, xx, bx, f1dim, LINMIN_TOL, &xmin);
    for (int j = 0; j < n; j++) {
        xi[j] *= xmin;
        p[j] += xi[j];
    }
    frei(n, &xicom);
    frei(n, &pcom);
}

real f1dim(real x)
{
    real *xt = NULL;
    alloc(ncom, &xt);
    for (int j = 0; j < ncom; j++)
        xt[j] = pcom[j] + x * xicom[j];
    real f = nrfunc(xt, ncom);
    frei(ncom, &xt);
    return f;
}

void mnbrak(real *ax, real *bx, real *cx, real *fa, real *fb, real *fc, real (*func)(real))
{
    *fa = func(*ax);
    *fb = func(*bx);
    if (*fb > *fa) {
        real keep = *ax;
        *ax = *bx;
        *bx = keep;
        keep = *fa;
        *fa = *fb;
        *fb = keep;
    }
    *cx = *bx + GOLD * (*bx - *ax);
    *fc = func(*cx);
    while (*fb > *fc) {
        real r = (*bx - *ax) * (*fb - *fc);
        real q = (*bx - *cx) * (*fb - *fa);
        real s = q - r > 0.0 ? 1.0 : -1.0;
        real u = *bx - ((*bx - *cx) * q - (*bx - *ax) * r) / (2.0 * s * maximum_two(fabs(q - r), TINY));
        real ulim = *bx + GLIMIT * (*cx - *bx);
        real fu;
        if ((*bx - u) * (u - *cx) > 0.0) {
            // Parabolic u between b and c.
            fu = func(u);
            if (fu < *fc) {
                *ax = *bx;
                *bx = u;
                *fa = *fb;
                *fb = fu;
                return;
            } else if (fu > *fb) {
                *cx = u;
                *fc = fu;
                return;
            }
            u = *cx + GOLD * (*cx - *bx);
            fu = func(u);
        } else if ((*cx - u) * (u - ulim) > 0.0) {
            // Parabolic u between c and its allowed limit.
            fu = func(u);
            if (fu < *fc) {
                *bx = *cx;
                *cx = u;
                u = *cx + GOLD * (*cx - *bx);
                *fb = *fc;
                *fc = fu;
                fu = func(u);
            }
        } else if ((u - ulim) * (ulim - *cx) >= 0.0) {
            u = ulim;
            fu = func(u);
        } else {
            u = *cx + GOLD * (*cx - *bx);
            fu = func(u);
        }
        *ax = *bx;
        *bx = *cx;
        *cx = u;
        *fa = *fb;
        *fb = *fc;
        *fc = fu;
    }
}

real brent(real ax, real bx, real cx, real (*f)(real), real tol, real *xmin)
{
    real a = ax < cx ? ax : cx;
    real b = ax > cx ? ax : cx;
    real x = bx, w = bx, v = bx;
    real fx = f(x), fw = fx, fv = fx;
    real d = 0.0, e = 0.0;
    for (int iter = 0; iter < BRENT_ITMAX; iter++) {
        real xm = 0.5 * (a + b);
        real tol1 = tol * fabs(x) + ZEPS;
        real tol2 = 2.0 * tol1;
        if (fabs(x - xm) <= tol2 - 0.5 * (b - a)) {
            *xmin = x;
            return fx;
        }
        if (fabs(e) > tol1) {
            // Trial parabola through x, v and w.
            real r = (x - w) * (fx - fv);
            real q = (x - v) * (fx - fw);
            real p = (x - v) * q - (x - w) * r;
            q = 2.0 * (q - r);
            if (q > 0.0)
                p = -p;
            q = fabs(q);
            real etemp = e;
            e = d;
            if (fabs(p) >= fabs(0.5 * q * etemp) || p <= q * (a - x) || p >= q * (b - x)) {
                e = x >= xm ? a - x : b - x;
                d = CGOLD * e;
            } else {
                d = p / q;
                real u = x + d;
                if (u - a < tol2 || b - u < tol2)
                    d = sign_of(tol1, xm - x);
            }
        } else {
            e = x >= xm ? a - x : b - x;
            d = CGOLD * e;
        }
        real u = fabs(d) >= tol1 ? x + d : x + sign_of(tol1, d);
        real fu = f(u);
        if (fu <= fx) {
            if (u >= x)
                a = x;
            else
                b = x;
            v = w;
            w = x;
            x = u;
            fv = fw;
            fw = fx;
            fx = fu;
        } else {
            if (u < x)
                a = u;
            else
                b = u;
            if (fu <= fw || w == x) {
                v = w;
                w = u;
                fv = fw;
                fw = fu;
            } else if (fu <= fv || v == x || v == w) {
                v = u;
                fv = fu;
            }
        }
    }
    nrerror("Powell : Too many iterations in brent");
}
