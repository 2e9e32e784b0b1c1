// The criterion: the generalised expected improvement against a direct
// numerical integration over the normal density, its closed values at the
// edges, and the constraint probability of a model predicted without error.
#include "minimize/criterion.h"

#include <gtest/gtest.h>

#include <cmath>

#include "model/settings.h"
#include "testutil.h"

namespace {

// E[max(0, z - U)^g]^(1/g) for a standard normal U, by Simpson's rule over
// [z - 40, z] with 200 000 intervals.
double integrated_improvement(double z, int g)
{
    const int m = 200000;
    const double a = z - 40.0, step = 40.0 / m;
    double sum = 0.0;
    for (int i = 0; i <= m; i++) {
        double u = a + i * step;
        double w = (i == 0 || i == m) ? 1.0 : (i % 2 ? 4.0 : 2.0);
        sum += w * std::pow(z - u, g) * std::exp(-0.5 * u * u) / std::sqrt(2.0 * M_PI);
    }
    return std::pow(sum * step / 3.0, 1.0 / g);
}

TEST(Criterion, AgreesWithNumericalIntegration)
{
    for (int g = 1; g <= 4; g++)
        for (double z : {-3.0, -1.2, 0.0, 0.7, 2.5}) {
            double scale = 1.7;
            double expected = scale * integrated_improvement(z, g);
            EXPECT_NEAR(generalised_improvement(z, scale, g), expected, 1e-7 * std::max(1.0, expected))
                << "g=" << g << " z=" << z;
        }
}

TEST(Criterion, EdgeValues)
{
    // g = 1 at z = 0: φ(0); g = 2 at z = 0: sqrt(Φ(0)).
    EXPECT_NEAR(generalised_improvement(0.0, 1.0, 1), 0.398942280401, 1e-9);
    EXPECT_NEAR(generalised_improvement(0.0, 1.0, 2), std::sqrt(0.5), 1e-9);
    // g = 0: the probability of improvement, and -ln(-z) where it is 0.
    EXPECT_NEAR(generalised_improvement(1.96, 1.0, 0), 0.975002, 1e-6);
    EXPECT_NEAR(generalised_improvement(-40.0, 1.0, 0), -std::log(40.0), 1e-12);
    // Far below the target the g >= 2 sum cancels to rounding noise: 0, never NaN.
    for (int g = 2; g <= 10; g++) {
        double v = generalised_improvement(-30.0, 1.0, g);
        EXPECT_FALSE(std::isnan(v));
        EXPECT_GE(v, 0.0);
    }
}

TEST(Criterion, RecurseIntegralIsTheTruncatedMoment)
{
    // T_2(z) = Φ(z) - z φ(z); T_3(z) = -(z² + 2) φ(z).
    double z = 0.8, pdf = std::exp(-0.32) / std::sqrt(2.0 * M_PI), cdf = 0.788144601416603;
    EXPECT_NEAR(recurse_integral(2, pdf, cdf, z), cdf - z * pdf, 1e-15);
    EXPECT_NEAR(recurse_integral(3, pdf, cdf, z), -(z * z + 2.0) * pdf, 1e-15);
}

TEST(CriterionDeathTest, ExponentOutOfRange)
{
    EXPECT_FATAL(generalised_improvement(0.0, 1.0, -1), "ExpectedImprovement: GlobalEiParam<0 ");
    EXPECT_FATAL(generalised_improvement(0.0, 1.0, 11), "choose: rewrite procedure, can't handle n>10");
    EXPECT_FATAL(recurse_integral(-1, 0.0, 0.0, 0.0), "recurse_integral: p<0");
}

} // namespace
