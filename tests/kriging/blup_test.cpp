// Prediction at design and new points through the augmented decomposition,
// checked against a direct ordinary-kriging computation; the bands of the
// negative mean-squared-error guard.
#include "kriging/blup.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>

#include "alloc/alloc.h"
#include "kriging/correlation.h"
#include "kriging_reference.h"
#include "numeric/nrerror.h"
#include "model/krigmodel.h"
#include "testutil.h"

namespace {

// A seeded random model: n points in [0,1]^d, a smooth response, parameters
// in ranges that keep R well conditioned.
reference::Model random_model(std::mt19937 &gen, int n, int d, double stochratio)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    reference::Model m;
    m.X.assign(n, reference::Vec(d));
    for (auto &row : m.X)
        for (auto &v : row)
            v = unit(gen);
    for (int i = 0; i < n; i++) {
        double s = 0;
        for (int k = 0; k < d; k++)
            s += std::sin(3.0 * m.X[i][k] + k);
        m.y.push_back(10.0 + s);
    }
    for (int k = 0; k < d; k++) {
        m.theta.push_back(0.5 + 4.5 * unit(gen));
        m.alpha.push_back(1.5 * unit(gen));
    }
    m.stochratio = stochratio;
    m.var = 0.5 + 2.0 * unit(gen);
    return m;
}

// The same model as a record, with its decomposition brought up to date.
KrigModel *make_record(const reference::Model &m)
{
    int n = (int)m.y.size(), d = (int)m.theta.size();
    KrigModel *kr = (KrigModel *)malloc(sizeof(KrigModel));
    NULL_KrigModel(kr);
    init_KrigModel(kr, n, d, 1);
    for (int i = 0; i < n; i++) {
        for (int k = 0; k < d; k++)
            kr->X[i][k] = m.X[i][k];
        kr->y[i] = m.y[i];
    }
    for (int k = 0; k < d; k++) {
        kr->theta[k] = m.theta[k];
        kr->alpha[k] = m.alpha[k];
    }
    kr->stochratio[0] = m.stochratio;
    kr->var[0] = m.var;
    kr->init.X = kr->init.y = kr->init.theta = kr->init.alpha = kr->init.var = TRUE;
    kr_calcR(kr);
    kr_calcF(kr);
    kr_cover_augmR(kr);
    return kr;
}

void free_record(KrigModel *kr)
{
    free_KrigModel(kr);
    free(kr);
}

TEST(KrigBlup, AgreesWithDirectOrdinaryKriging)
{
    std::mt19937 gen(20261208);
    std::uniform_real_distribution<double> unit(-0.2, 1.2);
    for (int d = 1; d <= 8; d++) {
        for (double stochratio : {1.0, 0.9, 0.5}) {
            int n = 6 + 3 * d;
            reference::Model m = random_model(gen, n, d, stochratio);
            KrigModel *kr = make_record(m);
            const int npred = 7;
            real **xpred = NULL, **ypred = NULL;
            alloc(npred, d, &xpred);
            alloc(npred, 2, &ypred);
            std::vector<reference::Vec> points(npred, reference::Vec(d));
            for (int i = 0; i < npred; i++)
                for (int k = 0; k < d; k++)
                    xpred[i][k] = points[i][k] = unit(gen);
            krigblup(kr, npred, xpred, ypred, -1);
            for (int i = 0; i < npred; i++) {
                reference::Prediction p = reference::predict(m, points[i]);
                EXPECT_NEAR(ypred[i][0], p.value, 1e-9 * std::fabs(p.value))
                    << "d=" << d << " s=" << stochratio << " point " << i;
                // Relative to the process standard deviation, the scale of the
                // standard error.
                EXPECT_NEAR(ypred[i][1], p.se, 1e-9 * std::sqrt(m.var))
                    << "d=" << d << " s=" << stochratio << " point " << i;
            }
            frei(npred, 2, &ypred);
            frei(npred, d, &xpred);
            free_record(kr);
        }
    }
}

TEST(KrigBlup, InterpolatesAtDesignPointsWithoutRandomError)
{
    std::mt19937 gen(7);
    reference::Model m = random_model(gen, 12, 3, 1.0);
    KrigModel *kr = make_record(m);
    real **ypred = NULL;
    alloc(12, 2, &ypred);
    ReportCapture capture;
    krigblup(kr, 12, kr->X, ypred, -1);
    for (int i = 0; i < 12; i++) {
        EXPECT_NEAR(ypred[i][0], m.y[i], 1e-9 * std::fabs(m.y[i]));
        EXPECT_LT(ypred[i][1], 1e-5) << "standard error at a design point";
    }
    // Rounding can make the mse slightly negative; that is set to 0 silently.
    EXPECT_EQ(capture.take(), "");
    frei(12, 2, &ypred);
    free_record(kr);
}

TEST(KrigBlup, SmoothsAtDesignPointsWithRandomError)
{
    std::mt19937 gen(11);
    reference::Model m = random_model(gen, 10, 2, 0.8);
    KrigModel *kr = make_record(m);
    real **ypred = NULL;
    alloc(10, 2, &ypred);
    krigblup(kr, 10, kr->X, ypred, -1);
    for (int i = 0; i < 10; i++) {
        reference::Prediction p = reference::predict(m, m.X[i]);
        EXPECT_NE(ypred[i][0], m.y[i]);
        EXPECT_NEAR(ypred[i][0], p.value, 1e-9 * std::fabs(p.value));
        EXPECT_GT(ypred[i][1], 1e-3);
        EXPECT_NEAR(ypred[i][1], p.se, 1e-9);
    }
    frei(10, 2, &ypred);
    free_record(kr);
}

TEST(KrigBlup, NoPointsNoWork)
{
    std::mt19937 gen(3);
    reference::Model m = random_model(gen, 5, 2, 1.0);
    KrigModel *kr = make_record(m);
    kr->r[0] = 2; // never examined without a point
    ReportCapture capture;
    krigblup(kr, 0, NULL, NULL, -1);
    EXPECT_EQ(capture.take(), "");
    kr->r[0] = 1;
    free_record(kr);
}

TEST(KrigBlup, OnlyTheConstantMean)
{
    std::mt19937 gen(5);
    reference::Model m = random_model(gen, 5, 2, 1.0);
    KrigModel *kr = make_record(m);
    kr->r[0] = 2;
    EXPECT_FATAL(krigblup(kr, 1, kr->X, kr->X, -1), "krigblup(): regression model not dealt with, r>1");
    kr->r[0] = 1;
    free_record(kr);
}

TEST(VarianceCheck, Bands)
{
    std::mt19937 gen(9);
    reference::Model m = random_model(gen, 4, 1, 1.0);
    KrigModel *kr = make_record(m);
    ReportCapture capture;
    EXPECT_EQ(variance_check(kr, -1e-8, 0), 0.0);
    EXPECT_EQ(variance_check(kr, -1e-7, 0), 0.0);
    EXPECT_EQ(capture.take(), "");
    EXPECT_EQ(variance_check(kr, -0.05, 4), 0.0);
    EXPECT_EQ(capture.take(), "WARNING : MSE for obs. 5 is -0.050000.Set to zero.\n");
    EXPECT_EQ(variance_check(kr, -0.1, 0), 0.0);
    EXPECT_EQ(capture.take(), "WARNING : MSE for obs. 1 is -0.100000.Set to zero.\n");
    EXPECT_EQ(variance_check(kr, 0.25, 0), 0.25);
    free_record(kr);
}

// A design point repeated with the same response makes the augmented matrix
// singular: the decomposition warns once for the zero eigenvalue, and the
// pseudo-inverse predicts exactly as the design without the repeat does.
TEST(KrigBlup, RepeatedDesignPointPredictsAsWithoutIt)
{
    std::mt19937 gen(31);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (double stochratio : {1.0, 0.8}) {
        reference::Model unique = random_model(gen, 9, 2, stochratio);
        reference::Model repeated = unique;
        repeated.X.push_back(unique.X[4]);
        repeated.y.push_back(unique.y[4]);
        ReportCapture capture;
        KrigModel *kr = make_record(repeated);
        std::string warnings = capture.take();
        if (stochratio == 1.0)
            EXPECT_EQ(warnings, "WARNING: Correlation Matrix is singular. Proceed with fingers crossed. (T1)\n");
        else
            EXPECT_EQ(warnings, "") << "random error keeps the matrix regular";
        real **xpred = NULL, **ypred = NULL;
        alloc(5, 2, &xpred);
        alloc(5, 2, &ypred);
        for (int i = 0; i < 5; i++)
            for (int k = 0; k < 2; k++)
                xpred[i][k] = unit(gen);
        krigblup(kr, 5, xpred, ypred, -1);
        for (int i = 0; i < 5; i++) {
            reference::Prediction p = reference::predict(unique, {xpred[i][0], xpred[i][1]});
            if (stochratio == 1.0) {
                EXPECT_NEAR(ypred[i][0], p.value, 1e-8 * (1.0 + std::fabs(p.value))) << "point " << i;
                EXPECT_NEAR(ypred[i][1], p.se, 1e-6 * std::sqrt(unique.var)) << "point " << i;
            } else {
                // With random error the repeat is a second observation and
                // does change the prediction: the regular matrix of the
                // repeated design gives it.
                reference::Prediction q = reference::predict(repeated, {xpred[i][0], xpred[i][1]});
                EXPECT_NEAR(ypred[i][0], q.value, 1e-9 * (1.0 + std::fabs(q.value))) << "point " << i;
                EXPECT_NEAR(ypred[i][1], q.se, 1e-9 * std::sqrt(unique.var)) << "point " << i;
            }
        }
        EXPECT_EQ(capture.take(), "");
        frei(5, 2, &ypred);
        frei(5, 2, &xpred);
        free_record(kr);
    }
}

// A negative variance turns every mean squared error negative; small ones
// are warned about and set to zero, at a design point they vanish silently.
TEST(KrigBlup, NegativeVarianceThroughTheBands)
{
    std::mt19937 gen(13);
    reference::Model m = random_model(gen, 8, 2, 1.0);
    m.var = 1.0;
    KrigModel *kr = make_record(m);
    kr->var[0] = -1e-3;
    real **xpred = NULL, **ypred = NULL;
    alloc(2, 2, &xpred);
    alloc(2, 2, &ypred);
    xpred[0][0] = m.X[3][0];
    xpred[0][1] = m.X[3][1];
    xpred[1][0] = 1.5;
    xpred[1][1] = -0.5;
    ReportCapture capture;
    krigblup(kr, 2, xpred, ypred, -1);
    reference::Prediction far = reference::predict(m, {1.5, -0.5});
    char expected[100];
    snprintf(expected, sizeof expected, "WARNING : MSE for obs. 2 is %f.Set to zero.\n", -1e-3 * far.se * far.se);
    EXPECT_EQ(capture.take(), expected);
    EXPECT_EQ(ypred[0][1], 0.0);
    EXPECT_EQ(ypred[1][1], 0.0);
    frei(2, 2, &ypred);
    frei(2, 2, &xpred);
    kr->var[0] = 1.0;
    free_record(kr);
}

// Below -0.1 the run ends after the emergency dump of the model (in a child
// process; its report goes to a file read afterwards).
TEST(VarianceCheck, FarBelowZeroEndsTheRunWithTheDump)
{
    ScratchDir dir;
    std::mt19937 gen(17);
    reference::Model m = random_model(gen, 4, 1, 1.0);
    KrigModel *kr = make_record(m);
    snprintf(kr->ylabel, sizeof(string), "resp");
    snprintf(kr->xlabel[0], sizeof(string), "in");
    EXPECT_EXIT(
        {
            ofp = fopen("report.txt", "w");
            variance_check(kr, -0.5, 2);
        },
        ::testing::ExitedWithCode(1),
        ::testing::StrEq("Brix's runtime errors ... \n"
                         "krigblup,krigcov or mse_anyX: MSE in covariance is negative, possibly due to scaling. \n"
                         "Emergency output of X,y,RegressionModel,StochasticProcessModeland yDescription\n"
                         "Now exiting to system ... \n "));
    EXPECT_EQ(read_file("report.txt"), "Observation Number  3\n"
                                       "mse : -0.500000\n"
                                       "Writing to file error_x.mat.\n"
                                       "Writing to file error_beta.mat.\n"
                                       "Writing to file error_corpar.mat.\n"
                                       "Writing to file error_ydescrip.mat.\n");
    for (const char *file : {"error_x.mat", "error_y.mat", "error_beta.mat", "error_corpar.mat", "error_ydescrip.mat"})
        EXPECT_TRUE(file_exists(file)) << file;
    // The record has no regression coefficient: it is written as missing.
    EXPECT_NE(read_file("error_beta.mat").find("    1        resp           1            NA  \n"), std::string::npos);
    free_record(kr);
}

} // namespace
