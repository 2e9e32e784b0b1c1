// Normal distribution: reference values in the centre and both tails, the
// cut-offs, and the density.
#include "numeric/gauss.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Relative error, so that tiny tail probabilities are checked as closely as
// central ones.
double rel(double a, double b) { return std::fabs(a - b) / std::fabs(b); }

TEST(CdfGauss, AgreesWithTheComplementaryErrorFunction)
{
    // AS 66 is accurate to about 1e-9 relative in the body and in the
    // computed tail (upper tail up to 37.32).
    for (double z = -8.0; z <= 8.0; z += 0.0625) {
        double lower = 0.5 * std::erfc(-z / std::sqrt(2.0));
        double upper = 0.5 * std::erfc(z / std::sqrt(2.0));
        EXPECT_LT(rel(cdfgauss(z, 1), lower), 1e-9) << z;
        EXPECT_LT(rel(cdfgauss(z, 0), upper), 1e-9) << z;
    }
    for (double z = 8.0; z <= 37.0; z += 0.5) {
        double upper = 0.5 * std::erfc(z / std::sqrt(2.0));
        EXPECT_LT(rel(cdfgauss(z, 0), upper), 1e-9) << z;
        EXPECT_LT(rel(cdfgauss(-z, 1), upper), 1e-9) << z;
    }
}

TEST(CdfGauss, TextbookValues)
{
    EXPECT_EQ(cdfgauss(0.0, 1), 0.5);
    EXPECT_NEAR(cdfgauss(1.96, 1), 0.9750021048517795, 1e-9);
    EXPECT_NEAR(cdfgauss(-1.96, 1), 0.024997895148220435, 1e-10);
    EXPECT_NEAR(cdfgauss(1.96, 0), 0.024997895148220435, 1e-10);
}

TEST(CdfGauss, CutOffs)
{
    EXPECT_EQ(cdfgauss(9.0, 1), 1.0);
    EXPECT_LT(rel(cdfgauss(9.0, 0), 1.1285884059538408e-19), 1e-8);
    EXPECT_LT(rel(cdfgauss(-9.0, 1), 1.1285884059538408e-19), 1e-8);
    EXPECT_EQ(cdfgauss(40.0, 0), 0.0);
    EXPECT_EQ(cdfgauss(-40.0, 1), 0.0);
    EXPECT_EQ(cdfgauss(-40.0, 0), 1.0);
}

TEST(PdfGauss, DensityAndCutOff)
{
    EXPECT_EQ(pdfgauss(0.0), 0.3989422804014327);
    EXPECT_LT(rel(pdfgauss(1.5), std::exp(-1.125) / std::sqrt(2.0 * M_PI)), 1e-15);
    EXPECT_EQ(pdfgauss(38.0), 0.0);
    EXPECT_EQ(pdfgauss(-37.7), 0.0);
    EXPECT_GT(pdfgauss(37.5), 0.0);
}

} // namespace
