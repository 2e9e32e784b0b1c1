// Tanh-sinh quadrature against closed forms: smooth functions, algebraic
// behaviour at an end (t^p, exp(-theta t^p) through the incomplete gamma
// function), and kinks inside the interval handled by break points.
#include "numeric/quadrature.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

struct Power {
    double theta, p, x; // exp(-theta |u - x|^p), or |u - x|^p when theta < 0
};

double power_exp(double u, const void *context)
{
    const Power *f = (const Power *)context;
    double t = std::pow(std::fabs(u - f->x), f->p);
    return f->theta < 0 ? t : std::exp(-f->theta * t);
}

// Lower incomplete gamma function by its series,
// gamma(s, x) = x^s e^-x sum_k x^k / (s (s + 1) ... (s + k)).
double lower_gamma(double s, double x)
{
    double term = 1.0 / s, sum = term;
    for (int k = 1; k < 5000 && (k < x || term > 1e-18 * sum); k++) {
        term *= x / (s + k);
        sum += term;
    }
    return std::pow(x, s) * std::exp(-x) * sum;
}

// int_0^L exp(-theta t^p) dt = theta^(-1/p) gamma(1/p, theta L^p) / p.
double exp_power_integral(double theta, double p, double L)
{
    return std::pow(theta, -1.0 / p) * lower_gamma(1.0 / p, theta * std::pow(L, p)) / p;
}

TEST(TanhSinh, IntegratesEndPowersAndStretchedExponentialsToTwelveDigits)
{
    struct Case {
        double theta, p, L;
    } cases[] = {{0.5, 2.0, 1.0}, {3.0, 1.0, 2.0},  {3.0, 1.5, 1.0},  {10.0, 0.5, 1.0},
                 {1.0, 0.1, 1.0}, {50.0, 2.0, 1.0}, {200.0, 0.7, 3.0}, {0.01, 1.9, 5.0}};
    for (const Case &c : cases) {
        Power f = {c.theta, c.p, 0.0};
        int calls = 0;
        double got = tanh_sinh(power_exp, &f, 0.0, c.L, 1e-11, &calls);
        double want = exp_power_integral(c.theta, c.p, c.L);
        EXPECT_NEAR(got, want, 1e-12 * want) << "theta " << c.theta << " p " << c.p;
        EXPECT_LT(calls, 2000);
    }
    for (double p : {0.05, 0.3, 0.5, 1.5}) {
        Power f = {-1.0, p, 0.0};
        EXPECT_NEAR(tanh_sinh(power_exp, &f, 0.0, 1.0, 1e-11, NULL), 1.0 / (p + 1.0), 1e-12) << p;
    }
}

TEST(PanelRule, IntegratesAcrossKinksAtPanelEndsAndSortsTheBreaks)
{
    // exp(-3 |u - 0.3|^1.5) and exp(-3 |u + 0.5|^1.5) over [-1, 2], break
    // points given out of order, repeated, and outside the interval.
    double breaks[4] = {0.3, 5.0, -0.5, 0.3}, ends[6];
    int panels = panel_ends(-1.0, 2.0, breaks, 4, ends);
    ASSERT_EQ(panels, 3);
    EXPECT_EQ(ends[0], -1.0);
    EXPECT_EQ(ends[1], -0.5);
    EXPECT_EQ(ends[2], 0.3);
    EXPECT_EQ(ends[3], 2.0);
    for (int level : {3, 4}) {
        std::vector<double> node(panels * tanh_sinh_nodes(level)), weight(node.size());
        int count = panel_rule(ends, panels, level, 0.5, node.data(), weight.data());
        ASSERT_EQ(count, (int)node.size());
        Power f = {3.0, 1.5, 0.3}, g = {3.0, 1.5, -0.5};
        double sf = 0.0, sg = 0.0, sw = 0.0;
        for (int a = 0; a < count; a++) {
            EXPECT_GE(node[a], -1.0);
            EXPECT_LE(node[a], 2.0);
            sf += weight[a] * power_exp(node[a], &f);
            sg += weight[a] * power_exp(node[a], &g);
            sw += weight[a];
        }
        EXPECT_NEAR(sw, 1.5, 1e-14);
        double want_f = 0.5 * (exp_power_integral(3.0, 1.5, 1.3) + exp_power_integral(3.0, 1.5, 1.7));
        double want_g = 0.5 * (exp_power_integral(3.0, 1.5, 0.5) + exp_power_integral(3.0, 1.5, 2.5));
        EXPECT_NEAR(sf, want_f, 1e-12) << level;
        EXPECT_NEAR(sg, want_g, 1e-12) << level;
    }
}

} // namespace
