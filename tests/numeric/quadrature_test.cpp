// Tanh-sinh quadrature against closed forms: smooth functions, algebraic
// behaviour at an end (t^p, exp(-theta t^p) through the incomplete gamma
// function), and kinks inside the interval handled by break points.
#include "numeric/quadrature.h"

#include <gtest/gtest.h>

#include <cmath>

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

TEST(IntegratePanels, SplitsAtKinksInsideTheIntervalOnly)
{
    // exp(-3 |u - 0.3|^1.5) over [-1, 2]: the two sides of the kink.
    Power f = {3.0, 1.5, 0.3};
    double want = exp_power_integral(3.0, 1.5, 1.3) + exp_power_integral(3.0, 1.5, 1.7);
    double breaks[3] = {5.0, 0.3, 0.3}; // outside, and a repeat
    EXPECT_NEAR(integrate_panels(power_exp, &f, -1.0, 2.0, breaks, 3, 1e-11), want, 1e-12 * want);
    // Two break points given in decreasing order.
    double both[2] = {0.3, -0.5};
    EXPECT_NEAR(integrate_panels(power_exp, &f, -1.0, 2.0, both, 2, 1e-11), want, 1e-12 * want);
    // Nothing to integrate on an empty interval.
    EXPECT_EQ(integrate_panels(power_exp, &f, 1.0, 1.0, both, 2, 1e-11), 0.0);
}

} // namespace
