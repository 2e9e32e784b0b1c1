// The up-front size checks of the analysis commands: the refusal and its
// message, and the largest design the gradient fit can tabulate.
#include "model/sizeguard.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>

#include "model/settings.h"
#include "session.h"

namespace {

TEST(SizeGuard, GradientFitTablesStayWithinTheIntegerRange)
{
    for (int d : {1, 2, 8, 40}) {
        long long n = gradient_fit_max_runs(d);
        EXPECT_LE(n * (n - 1) / 2 * d + 1, (long long)INT_MAX) << d;
        EXPECT_GT((n + 1) * n / 2 * d + 1, (long long)INT_MAX) << d;
    }
    EXPECT_EQ(gradient_fit_max_runs(8), 23170);
}

TEST(SizeGuard, ADesignBeyondMemoryIsRefusedNamingCommandAndSize)
{
    Session s;
    s.report();
    EXPECT_TRUE(command_fits("Predict", 1000, 8, 1));
    EXPECT_EQ(s.report(), "");
    // 5 matrices of order 10^6 + 1: 40 TB.
    EXPECT_FALSE(command_fits("Predict", 1000000, 8, 1));
    std::string text = s.report();
    EXPECT_EQ(text.rfind("Sorry, command ignored. Predict on 1000000 runs needs about 4e+04 GB, more than the "
                         "machine's memory (",
                         0),
              0u)
        << text;
    EXPECT_TRUE(command_fits("Database", 1000000, 8, 1));
    EXPECT_EQ(s.report(), "");

    string saved;
    snprintf(saved, sizeof saved, "%s", MleOptimMethod);
    snprintf(MleOptimMethod, sizeof MleOptimMethod, "gradient");
    EXPECT_FALSE(command_fits("Fit", 23171, 8, 1));
    EXPECT_EQ(s.report(), "Sorry, command ignored. Fit by the gradient method handles at most 23170 runs of 8 "
                          "inputs, not 23171.\n");
    snprintf(MleOptimMethod, sizeof MleOptimMethod, "%s", saved);
}

} // namespace
