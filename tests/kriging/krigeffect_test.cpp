// Main and joint effects: the main effects of a model of an additive function
// follow each one-input function, and joint-effect rows come pair by pair
// with the second input fastest and the other inputs at their midpoints.
#include "kriging/krigeffect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "model/krigmodel.h"
#include "session.h"

namespace {

using Rows = std::vector<std::vector<double>>;

// A record of n runs in d inputs over [0, 1]^d with Gaussian correlation,
// marked fitted; the caller fills the design and the responses.
KrigModel *make_record(int n, int d)
{
    KrigModel *kr = (KrigModel *)malloc(sizeof(KrigModel));
    NULL_KrigModel(kr);
    init_KrigModel(kr, n, d, 1);
    for (int k = 0; k < d; k++) {
        kr->theta[k] = 1.0;
        kr->range[k][0] = 0.0;
        kr->range[k][1] = 1.0;
    }
    kr->var[0] = 1.0;
    kr->init.X = kr->init.y = kr->init.alpha = kr->init.theta = kr->init.beta = TRUE;
    kr->init.var = kr->init.range = TRUE;
    return kr;
}

void release_model(KrigModel *kr)
{
    free_KrigModel(kr);
    free(kr);
}

// The effects of kr printed to the screen, read back: one row per point with
// the d inputs, the effect and its standard error.
Rows screen_effects(Session &s, KrigModel *kr, void (*effects)(KrigModel *, const char *, char))
{
    s.report();
    effects(kr, "screen", 'w');
    std::string report = s.report();
    size_t start = report.find(" \n", report.find("Labels:")) + 2;
    std::istringstream in(report.substr(start, report.find("Effects Seconds") - start));
    Rows rows(1);
    std::string word;
    while (in >> word && word != "Main" && word != "Joint") {
        if (word == ",")
            rows.emplace_back();
        else
            rows.back().push_back(strtod(word.c_str(), NULL));
    }
    return rows;
}

TEST(MainEffects, FollowEachInputOfAnAdditiveFunctionUpToAConstant)
{
    Session s;
    // f(x1, x2) = sin(x1) + x2^2 on an 8 x 8 grid of [0, 3] x [-1, 1].
    const int levels = 8, n = levels * levels, G = 10;
    KrigModel *kr = make_record(n, 2);
    kr->range[0][1] = 3.0;
    kr->range[1][0] = -1.0;
    for (int i = 0; i < n; i++) {
        kr->X[i][0] = 3.0 * (i / levels) / (levels - 1);
        kr->X[i][1] = -1.0 + 2.0 * (i % levels) / (levels - 1);
        kr->y[i] = sin(kr->X[i][0]) + kr->X[i][1] * kr->X[i][1];
    }
    kr->theta[0] = 0.2;
    kr->theta[1] = 0.5;

    Rows rows = screen_effects(s, kr, MainEffects);
    ASSERT_EQ(rows.size(), 2u * G);
    // Differences from the first level cancel the constant: the mean and the
    // other input's part at its midpoint.
    for (int i = 0; i < 2; i++) {
        const std::vector<double> &ref = rows[i * G];
        for (int k = 0; k < G; k++) {
            const std::vector<double> &row = rows[i * G + k];
            ASSERT_EQ(row.size(), 4u);
            EXPECT_EQ(row[1 - i], i == 0 ? 0.0 : 1.5) << "the other input at its midpoint";
            double x = row[i], x0 = ref[i];
            double expected = i == 0 ? sin(x) - sin(x0) : x * x - x0 * x0;
            EXPECT_NEAR(row[2] - ref[2], expected, 1e-3) << "input " << i << " level " << k;
            EXPECT_GE(row[3], 0.0);
        }
    }
    release_model(kr);
}

TEST(JointEffects, PairsInOrderSecondInputFastestOthersAtTheirMidpoints)
{
    Session s;
    const int n = 12, d = 3, G = 3;
    KrigModel *kr = make_record(n, d);
    const double lower[d] = {0.0, 10.0, -4.0}, upper[d] = {1.0, 20.0, -2.0};
    for (int k = 0; k < d; k++) {
        kr->range[k][0] = lower[k];
        kr->range[k][1] = upper[k];
        kr->theta[k] = 0.5 / ((upper[k] - lower[k]) * (upper[k] - lower[k]));
    }
    for (int i = 0; i < n; i++) { // scattered points of the box
        for (int k = 0; k < d; k++)
            kr->X[i][k] = lower[k] + (upper[k] - lower[k]) * fmod(0.37 * (i + 1) * (k + 2), 1.0);
        kr->y[i] = cos(i);
    }
    GridSize = G;
    Rows rows = screen_effects(s, kr, JointEffects);
    GridSize = 10;
    ASSERT_EQ(rows.size(), 27u);
    const int pairs[3][2] = {{0, 1}, {0, 2}, {1, 2}};
    for (int q = 0; q < 3; q++) {
        int j = pairs[q][0], k = pairs[q][1];
        for (int r = 0; r < G * G; r++) {
            for (int v = 0; v < d; v++) {
                double expected = (lower[v] + upper[v]) / 2.0;
                if (v == j)
                    expected = lower[v] + (r / G) * (upper[v] - lower[v]) / (G - 1);
                if (v == k)
                    expected = lower[v] + (r % G) * (upper[v] - lower[v]) / (G - 1);
                EXPECT_NEAR(rows[q * G * G + r][v], expected, 1e-5) << "pair " << q << " row " << r;
            }
        }
    }
    release_model(kr);
}

} // namespace
