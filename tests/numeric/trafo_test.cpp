// Interval transformations: the known points of each mapping in both
// directions, and every fatal path with the line it shows first.
#include "numeric/trafo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "numeric/nrerror.h"
#include "testutil.h"

namespace {

// One coordinate in [a, b], mapped in one direction.
real map(bool to_line, const char *method, real v, real a, real b)
{
    real bounds[2] = {a, b}, out = 0.0;
    real *x[1] = {&v}, *t[1] = {&out}, *range[1] = {bounds};
    if (to_line)
        trafo_ab_inf(1, 1, x, range, t, method);
    else
        trafo_inf_ab(1, 1, x, range, t, method);
    return out;
}

TEST(Trafo, KnownPointsBothWays)
{
    const real h = M_PI / 2.0, e1 = 4.0 / (1.0 + std::exp(-1.0)) - 2.0;
    struct Point {
        const char *method;
        real a, b, box, line;
        bool forward; // false: only line -> box holds
    };
    const std::vector<Point> points = {
        {"sin", 0, 10, 0.0, -h, true},  {"sin", 0, 10, 5.0, 0.0, true},   {"sin", 0, 10, 10.0, h, true},
        {"sin", 0, 10, 0.0, 3 * h, false}, {"exp", 0, 1, 0.5, 0.0, true}, {"exp", 0, 1, 1.0, 1e7, true},
        {"exp", 0, 1, 0.0, -1e7, true}, {"exp", -2, 2, e1, 100.0, true},  {"square", 0, 0, 2.5, 5.0, true},
        {"square", 7, 3, 0.9, -3.0, false},
    };
    for (const Point &p : points) {
        std::string what = std::string(p.method) + " " + std::to_string(p.box) + " <-> " + std::to_string(p.line);
        if (p.forward) {
            EXPECT_NEAR(map(true, p.method, p.box, p.a, p.b), p.line, 1e-12 * (1.0 + std::fabs(p.line))) << what;
        }
        EXPECT_NEAR(map(false, p.method, p.line, p.a, p.b), p.box, 1e-12 * (1.0 + std::fabs(p.box))) << what;
    }
}

// The line written to the report just before the fatal message (the report
// goes to standard error here, so both are seen in order).
TEST(Trafo, FatalPathsShowTheirLineFirst)
{
    struct Fatal {
        bool to_line;
        const char *method;
        real value, a, b;
        const char *shown, *message;
    };
    const char *outside = "trafo_ab_inf: Matrix has elements out of [a,b] range ";
    const char *bad_range = "trafo_ab_inf: their are range intervals [a,b] with a>=b";
    const char *bad_range_back = "trafo_inf_to_ab: their are range intervals [a,b] with a>=b";
    const std::vector<Fatal> cases = {
        {true, "sin", 10.5, 0, 10, "x:  10.500000 lower: 0.000000 upper: 10.000000 \n", outside},
        {true, "exp", NAN, 0, 1, "x:  nan lower: 0.000000 upper: 1.000000 \n", outside},
        // 2 (x - a) overflows in a box near the largest double.
        {true, "sin", 1e308, 0, 1.5e308, "arcsin argument inf \n",
         "krigfit, trafo_corpar: arcsin argument out of range"},
        {true, "square", -1.0, 0, 0, "", "trafo_ab_inf: Attempt of (inverse) transformation 'square' with x<0"},
        // The range is checked first, even before the method name.
        {true, "sin", 1.0, 3, 3, "", bad_range},
        {true, "cube", 1.0, 3, 3, "", bad_range},
        {false, "cube", 1.0, 4, 2, "", bad_range_back},
        {true, "cube", 1.0, 0, 3, "", "trafo_ab_inf: Not a valid transformation method."},
        {false, "Sin", 1.0, 0, 3, "", "trafo_inf_ab: Not a valid transformation method."},
    };
    for (const Fatal &c : cases) {
        EXPECT_EXIT(
            {
                ofp = stderr;
                map(c.to_line, c.method, c.value, c.a, c.b);
            },
            ::testing::ExitedWithCode(1), ::testing::HasSubstr(std::string(c.shown) + fatal_text(c.message)))
            << c.method << " " << c.value;
    }
}

} // namespace
