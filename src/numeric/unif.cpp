// Wichmann-Hill uniform generator.
#include "numeric/unif.h"

namespace {
int xcomp = 1;
int ycomp = 15000;
int zcomp = 30000;
}

int RandInit(int x, int y, int z)
{
    if (x < 1 || x > 30000 || y < 1 || y > 30000 || z < 1 || z > 30000)
        return -45;
    xcomp = x;
    ycomp = y;
    zcomp = z;
    return 0;
}

real RandUnif()
{
    xcomp = 171 * (xcomp % 177) - 2 * (xcomp / 177);
    ycomp = 172 * (ycomp % 176) - 35 * (ycomp / 176);
    zcomp = 170 * (zcomp % 178) - 63 * (zcomp / 178);
    if (xcomp < 0)
        xcomp += 30269;
    if (ycomp < 0)
        ycomp += 30307;
    if (zcomp < 0)
        zcomp += 30323;
    real u = xcomp / 30269.0 + ycomp / 30307.0 + zcomp / 30323.0;
    while (u > 1.0)
        u -= 1.0;
    return u;
}
