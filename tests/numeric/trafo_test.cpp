// Interval transformations: the textbook points of each mapping, round trips
// through random boxes, and every fatal path with the line it shows first.
#include "numeric/trafo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "numeric/nrerror.h"
#include "testutil.h"

namespace {

// One coordinate: a 1 x 1 point and a 1 x 2 range on the stack.
struct Cell {
    real value[1], out[1], bounds[2];
    real *x[1] = {value}, *t[1] = {out}, *range[1] = {bounds};
    Cell(real v, real a, real b) : value{v}, out{0.0}, bounds{a, b} {}
};

real forward(const char *method, real v, real a, real b)
{
    Cell c(v, a, b);
    trafo_ab_inf(1, 1, c.x, c.range, c.t, method);
    return c.out[0];
}

real back(const char *method, real v, real a, real b)
{
    Cell c(v, a, b);
    trafo_inf_ab(1, 1, c.x, c.range, c.t, method);
    return c.out[0];
}

struct Point {
    const char *method;
    real a, b, box, line; // box <-> line
    bool forward, back;   // which directions hold this pair
};

TEST(Trafo, KnownPoints)
{
    const real h = M_PI / 2.0;
    const real e1 = 4.0 / (1.0 + std::exp(-1.0)) - 2.0; // box point of 100 in [-2, 2]
    const std::vector<Point> points = {
        {"sin", 0, 10, 0.0, -h, true, true},
        {"sin", 0, 10, 5.0, 0.0, true, true},
        {"sin", 0, 10, 10.0, h, true, true},
        {"sin", 0, 10, 0.0, 3.0 * h, false, true},
        {"exp", 0, 1, 0.5, 0.0, true, true},
        {"exp", 0, 1, 1.0, 1e7, true, true},
        {"exp", 0, 1, 0.0, -1e7, true, true},
        {"exp", -2, 2, e1, 100.0, true, true},
        {"square", 0, 0, 2.5, 5.0, true, true},
        {"square", 7, 3, 0.0, 0.0, true, true},
    };
    for (const Point &p : points) {
        std::string what = std::string(p.method) + " [" + std::to_string(p.a) + ", " + std::to_string(p.b) + "] " +
                           std::to_string(p.box) + " <-> " + std::to_string(p.line);
        if (p.forward) {
            EXPECT_NEAR(forward(p.method, p.box, p.a, p.b), p.line, 1e-12 * (1.0 + std::fabs(p.line))) << what;
        }
        if (p.back) {
            EXPECT_NEAR(back(p.method, p.line, p.a, p.b), p.box, 1e-12 * (1.0 + std::fabs(p.box))) << what;
        }
    }
}

TEST(Trafo, RoundTripsThroughRandomBoxes)
{
    std::mt19937 gen(8686);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const int n = 40, d = 3;
    real data[3][n][d], range_data[d][2];
    real *x[n], *t[n], *y[n], *range[d];
    for (int i = 0; i < n; i++) {
        x[i] = data[0][i];
        t[i] = data[1][i];
        y[i] = data[2][i];
    }
    for (int j = 0; j < d; j++) {
        range[j] = range_data[j];
        range[j][0] = -50.0 + 100.0 * unit(gen);
        range[j][1] = range[j][0] + 1e-3 + 20.0 * unit(gen);
    }
    for (const char *method : {"exp", "sin", "square"}) {
        for (int i = 0; i < n; i++)
            for (int j = 0; j < d; j++) {
                real a = std::string(method) == "square" ? 0.0 : range[j][0];
                real b = std::string(method) == "square" ? 30.0 : range[j][1];
                x[i][j] = a + (b - a) * (i + 0.5) / n;
            }
        trafo_ab_inf(n, d, x, range, t, method);
        trafo_inf_ab(n, d, t, range, y, method);
        for (int i = 0; i < n; i++)
            for (int j = 0; j < d; j++)
                EXPECT_NEAR(y[i][j], x[i][j], 1e-10 * (1.0 + std::fabs(x[i][j]))) << method << " " << i << "," << j;
    }
    // Any unbounded point lands inside the box.
    for (const char *method : {"exp", "sin"}) {
        for (int i = 0; i < n; i++)
            for (int j = 0; j < d; j++)
                t[i][j] = (unit(gen) - 0.5) * std::pow(10.0, 8.0 * unit(gen));
        trafo_inf_ab(n, d, t, range, y, method);
        for (int i = 0; i < n; i++)
            for (int j = 0; j < d; j++) {
                EXPECT_GE(y[i][j], range[j][0]) << method << " " << t[i][j];
                EXPECT_LE(y[i][j], range[j][1]) << method << " " << t[i][j];
            }
    }
}

// Fatal paths: the line written to the report just before the fatal message
// (the report goes to standard error here, so both are seen in order).
struct Fatal {
    bool to_line;
    const char *method;
    real value, a, b;
    const char *shown;
    const char *message;
};

TEST(Trafo, FatalPathsShowTheirLineFirst)
{
    const real inf = HUGE_VAL;
    const std::vector<Fatal> cases = {
        {true, "sin", 10.5, 0, 10, "x:  10.500000 lower: 0.000000 upper: 10.000000 \n",
         "trafo_ab_inf: Matrix has elements out of [a,b] range "},
        {true, "exp", -0.25, 0, 1, "x:  -0.250000 lower: 0.000000 upper: 1.000000 \n",
         "trafo_ab_inf: Matrix has elements out of [a,b] range "},
        {true, "exp", NAN, 0, 1, "x:  nan lower: 0.000000 upper: 1.000000 \n",
         "trafo_ab_inf: Matrix has elements out of [a,b] range "},
        // 2 (x - a) overflows in a box near the largest double.
        {true, "sin", 1e308, 0, 1.5e308, "arcsin argument inf \n",
         "krigfit, trafo_corpar: arcsin argument out of range"},
        {true, "square", -1.0, 0, 0, "", "trafo_ab_inf: Attempt of (inverse) transformation 'square' with x<0"},
        // The range is checked first, even before the method name.
        {true, "sin", 1.0, 3, 3, "", "trafo_ab_inf: their are range intervals [a,b] with a>=b"},
        {true, "cube", 1.0, 3, 3, "", "trafo_ab_inf: their are range intervals [a,b] with a>=b"},
        {true, "sin", 1.0, NAN, 3, "", "trafo_ab_inf: their are range intervals [a,b] with a>=b"},
        {false, "exp", 1.0, 4, 2, "", "trafo_inf_to_ab: their are range intervals [a,b] with a>=b"},
        {false, "cube", 1.0, 4, 2, "", "trafo_inf_to_ab: their are range intervals [a,b] with a>=b"},
        {true, "cube", 1.0, 0, 3, "", "trafo_ab_inf: Not a valid transformation method."},
        {false, "Sin", inf, 0, 3, "", "trafo_inf_ab: Not a valid transformation method."},
    };
    for (const Fatal &c : cases) {
        std::string expected = std::string(c.shown) + fatal_text(c.message);
        EXPECT_EXIT(
            {
                ofp = stderr;
                if (c.to_line)
                    forward(c.method, c.value, c.a, c.b);
                else
                    back(c.method, c.value, c.a, c.b);
            },
            ::testing::ExitedWithCode(1), ::testing::HasSubstr(expected))
            << c.method << " " << c.value;
    }
}

TEST(Trafo, SquareIgnoresTheRange)
{
    EXPECT_EQ(back("square", -3.0, 5, 5), 0.9);
    real one = 1.6, out = 0.0;
    real *x[1] = {&one}, *t[1] = {&out};
    trafo_ab_inf(1, 1, x, NULL, t, "square");
    EXPECT_EQ(out, 4.0);
}

} // namespace
