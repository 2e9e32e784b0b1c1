// Normal distribution function (AS 66) and density.
#include "numeric/gauss.h"

#include <cmath>

#include "numeric/repmath.h"

real cdfgauss(real z, int Lower)
{
    const real ltone = 8.0, utzero = 37.32, con = 1.28;
    const real p = 0.398942280444, q = 0.399903438504, r = 0.398942280385;
    const real a1 = 5.75885480458, a2 = 2.62433121679, a3 = 5.92885724438;
    const real b1 = -29.8213557808, b2 = 48.6959930692;
    const real c1 = -3.8052e-8, c2 = 0.000398064794, c3 = -0.151679116635;
    const real c4 = 4.8385912808, c5 = 0.742380924027, c6 = 3.99019417011;
    const real d1 = 1.00000615302, d2 = 1.98615381364, d3 = 5.29330324926;
    const real d4 = -15.1508972451, d5 = 30.789933034;

    boolean up = (Lower == 0);
    real m = fabs(z);
    if (z < 0)
        up = !up;
    real t;
    if (m <= ltone || (up && m <= utzero)) {
        real y = 0.5 * m * m;
        if (m <= con)
            t = 0.5 - m * (p - q * y / (y + a1 + b1 / (y + a2 + b2 / (y + a3))));
        else
            t = r * rep_exp(-y) /
                (m + c1 + d1 / (m + c2 + d2 / (m + c3 + d3 / (m + c4 + d4 / (m + c5 + d5 / (m + c6))))));
    } else {
        t = 0.0;
    }
    return up ? t : 1.0 - t;
}

real pdfgauss(real z)
{
    if (fabs(z) > 37.6)
        return 0.0;
    return rep_exp(-0.5 * z * z) * 0.3989422804014327;
}
