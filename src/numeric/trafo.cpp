// Interval transformations between input boxes and the real line.
#include "numeric/trafo.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "numeric/nrerror.h"
#include "numeric/repmath.h"

namespace {

const real alpha = 0.01;     // slope of the "exp" mapping
const real alpha_sqr = 10.0; // scale of the "square" mapping
const real exp_bound = 1e7;  // the "exp" mapping stays within [-1e7, 1e7]

enum Method { EXP, SIN, SQUARE, UNKNOWN };

Method method_of(const char *method)
{
    if (strcmp(method, "exp") == 0)
        return EXP;
    if (strcmp(method, "sin") == 0)
        return SIN;
    if (strcmp(method, "square") == 0)
        return SQUARE;
    return UNKNOWN;
}

// Checks every range row for a < b (a row holding a non-number fails too),
// except for "square", which uses no range; then the method name.
Method checked_method(int d, real **range, const char *method, const char *range_error,
                      const char *method_error)
{
    if (strcmp(method, "square") != 0)
        for (int j = 0; j < d; j++)
            if (!(range[j][0] < range[j][1]))
                nrerror(range_error);
    Method m = method_of(method);
    if (m == UNKNOWN)
        nrerror(method_error);
    return m;
}

// The element must lie in [a, b]; otherwise it and its range are shown and
// the run ends.
void check_in_box(real x, real a, real b)
{
    if (!(x >= a && x <= b)) {
        fprintf(ofp, "x:  %f lower: %f upper: %f \n", x, a, b);
        nrerror("trafo_ab_inf: Matrix has elements out of [a,b] range ");
    }
}

real exp_to_line(real x, real a, real b)
{
    check_in_box(x, a, b);
    real t = (x - a) / (b - a);
    real v;
    if (t == 1.0)
        v = exp_bound;
    else if (t == 0.0)
        v = -exp_bound;
    else
        v = rep_log(t / (1.0 - t)) / alpha;
    if (fabs(v) > exp_bound)
        v = v > 0 ? exp_bound : -exp_bound;
    return v;
}

real sin_to_line(real x, real a, real b)
{
    check_in_box(x, a, b);
    real s = 2.0 * (x - a) / (b - a) - 1.0;
    if (!(s >= -1.0 && s <= 1.0)) {
        fprintf(ofp, "arcsin argument %f \n", s);
        nrerror("krigfit, trafo_corpar: arcsin argument out of range");
    }
    return rep_asin(s);
}

real square_to_line(real x)
{
    if (!(x >= 0.0))
        nrerror("trafo_ab_inf: Attempt of (inverse) transformation 'square' with x<0");
    return sqrt(alpha_sqr * x);
}

// e / (e + 1) is 1 in the limit of an overflowing e (an unbounded point of
// 1e7, the image of b, overflows), not inf / inf.
real exp_to_box(real y, real a, real b)
{
    real e = rep_exp(alpha * y);
    real share = std::isinf(e) ? 1.0 : e / (e + 1.0);
    return share * (b - a) + a;
}

} // namespace

void trafo_ab_inf(int n, int d, real **x, real **range, real **trafox, const char *method)
{
    Method m = checked_method(d, range, method, "trafo_ab_inf: their are range intervals [a,b] with a>=b",
                              "trafo_ab_inf: Not a valid transformation method.");
    for (int i = 0; i < n; i++)
        for (int j = 0; j < d; j++) {
            real v = x[i][j];
            if (m == EXP)
                trafox[i][j] = exp_to_line(v, range[j][0], range[j][1]);
            else if (m == SIN)
                trafox[i][j] = sin_to_line(v, range[j][0], range[j][1]);
            else
                trafox[i][j] = square_to_line(v);
        }
}

void trafo_inf_ab(int n, int d, real **x, real **range, real **trafox, const char *method)
{
    Method m = checked_method(d, range, method, "trafo_inf_to_ab: their are range intervals [a,b] with a>=b",
                              "trafo_inf_ab: Not a valid transformation method.");
    for (int i = 0; i < n; i++)
        for (int j = 0; j < d; j++) {
            real y = x[i][j];
            if (m == EXP)
                trafox[i][j] = exp_to_box(y, range[j][0], range[j][1]);
            else if (m == SIN)
                trafox[i][j] = (rep_sin(y) + 1.0) / 2.0 * (range[j][1] - range[j][0]) + range[j][0];
            else
                trafox[i][j] = y * y / alpha_sqr;
        }
}
