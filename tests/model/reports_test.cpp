// Database report lines by state and option, the command list, and the
// validity checks with their display names and messages.
#include "interp/info.h"
#include "kriging/correlation.h"
#include "model/reports.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "interp/options.h"
#include "model/krigmodel.h"
#include "testutil.h"

namespace {

const std::string kDashes(45, '-');

// The start-up model (21 observations, 2 inputs, 1 term), an empty response
// set, and every option put back to its default afterwards.
class Report : public ::testing::Test {
  protected:
    void SetUp() override
    {
        NULL_KrigModel(&kr);
        init_KrigModel(&kr, 21, 2, 1);
        init_KrigArray(&ka);
    }
    void TearDown() override
    {
        free_KrigModel(&kr);
        MleTries = 3;
        FuncName[0] = '\0';
        init_FuncName = SystemCommandFunction = FALSE;
        MinimizationMleFrequency = 1;
        MinimizationMlePerc = 0.0;
        MinTarget = 0.0;
        init_MinTarget = FALSE;
        GlobalEiParam = 1;
        CriterionOptimTries = -1;
        StopTolAbs = StopTolRel = 0.001;
        strcpy(StopCrit, "tolerance");
        strcpy(CriterionOptimMethod, "simplex");
        strcpy(MleOptimMethod, "simplex");
        strcpy(CriterionOptimStart, "distanceneighbour");
        RandomError = FALSE;
        GridSize = 10;
        MaxObsForMle = 200;
    }
    std::string report()
    {
        database(&kr, &ka);
        return capture.take();
    }

    KrigModel kr;
    KrigArray ka;
    ReportCapture capture;
};

const char *kDefaultOptions = "RandomError:                          FALSE\n"
                              "Tries:                                    3\n"
                              "StoppingCriterion:                tolerance\n"
                              "MleMaxObs:\t\t \t        200\n"
                              "StoppingAbsoluteTolerance:          1.0e-03\n"
                              "StoppingRelativeTolerance:          1.0e-03\n";

TEST_F(Report, DatabaseAtStartUp)
{
    EXPECT_EQ(report(), kDashes + "\nDatabase :\n" + kDefaultOptions + kDashes + "\n");
    // A missing response set is one that is not yet sized.
    database(&kr, NULL);
    EXPECT_EQ(capture.take(), kDashes + "\nDatabase :\n" + kDefaultOptions + kDashes + "\n");
}

TEST_F(Report, DatabaseShowsTheSizesOfLoadedData)
{
    kr.init.X = TRUE;
    ka.init = TRUE;
    ka.p = 2;
    ka.c = 1;
    kr.r[0] = 2; // only the count is read; no array is resized here
    EXPECT_EQ(report(), kDashes + "\nDatabase :\n"
                                  "Number of Observations :                 21\n"
                                  "Number of x Variables  :                  2\n"
                                  "Number of y Variables  :                  2\n"
                                  "Number of Constrained y Variables  :      1\n"
                                  "Number of Regression Terms:               2\n" +
                            kDefaultOptions + kDashes + "\n");
    kr.r[0] = 1;
}

// The full command list and the option lines away from their defaults are
// compared byte for byte by the end-to-end cases info_list and database_*.
TEST_F(Report, InfoWithSurplusTokensShowsOnlyTheMessage)
{
    info(1);
    std::string list = capture.take();
    EXPECT_EQ(list.rfind("List of valid commands: \n\nIN/OUTPUT:\n", 0), 0u);
    EXPECT_EQ(list.substr(list.size() - 14), "Database\nQuit\n");
    info(2);
    EXPECT_EQ(capture.take(), "Unexpected input. No tokens should follow 'info' (other than comments)\n");
}

TEST_F(Report, DisplayNamesOfObjects)
{
    struct {
        const char *name, *display;
    } cases[] = {{"X", "X"},
                 {"y", "y"},
                 {"R", "Correlation Matrix"},
                 {"F", "F"},
                 {"beta", "Regression Matrix"},
                 {"alpha", "alpha"},
                 {"theta", "theta"},
                 {"U", "U"},
                 {"range", "Range for X"},
                 {"var", "Stochastic Process Variance"},
                 {"FuncName", "Objective Function"}};
    for (const auto &c : cases) {
        string display = "";
        EXPECT_FALSE(initialized_check(&kr.init, c.name, display)) << c.name;
        EXPECT_STREQ(display, c.display);
    }
    kr.init.range = TRUE;
    string display;
    EXPECT_TRUE(initialized_check(&kr.init, "range", display));
    EXPECT_FATAL(initialized_check(&kr.init, "Y", display), "initialized_check code bug. Unrecognized option.");
}

TEST_F(Report, InitializedReportsEveryMissingObject)
{
    EXPECT_FALSE(initialized(&kr.init, "theta", NULL, "alpha", NULL, NULL, TRUE));
    EXPECT_EQ(capture.take(), "Sorry, can't do that. theta is not initialized.\n"
                              "Sorry, can't do that. alpha is not initialized.\n");
    EXPECT_FALSE(initialized(&kr.init, "X", "R", NULL, NULL, NULL, FALSE));
    EXPECT_EQ(capture.take(), "");

    kr.init.theta = kr.init.alpha = TRUE;
    EXPECT_TRUE(initialized(&kr.init, "theta", "alpha", NULL, NULL, NULL, TRUE));
    EXPECT_TRUE(initialized(&kr.init, NULL, NULL, NULL, NULL, NULL, TRUE));
    init_FuncName = TRUE;
    EXPECT_TRUE(initialized(&kr.init, "FuncName", NULL, NULL, NULL, NULL, TRUE));
    EXPECT_EQ(capture.take(), "");
}

TEST_F(Report, ResponseSetNeedsAResponse)
{
    EXPECT_FALSE(initialized(&ka));
    ka.init = TRUE;
    ka.c = 2; // constraints only
    EXPECT_FALSE(initialized(&ka));
    EXPECT_EQ(capture.take(), "Sorry, there are no response variables.\n"
                              "Sorry, there are no response variables.\n");
    ka.p = 1;
    EXPECT_TRUE(initialized(&ka));
    EXPECT_EQ(capture.take(), "");
}

TEST_F(Report, MissingResponseNamesTheModelAndItsFirstMissingRun)
{
    for (int i = 0; i < 21; i++)
        kr.y[i] = i;
    snprintf(kr.ylabel, sizeof(string), "cost");
    kr.y[6] = NA_VALUE;
    EXPECT_FALSE(warn_missing_response(&kr)) << "responses not loaded";
    kr.init.y = TRUE;
    EXPECT_TRUE(warn_missing_response(&kr));
    kr.y[20] = NA_VALUE;
    kr.y[2] = NA_VALUE;
    EXPECT_TRUE(warn_missing_response(&kr));
    EXPECT_EQ(capture.take(), "WARNING: Model cost: the response of run 7 is missing (NA) and is used as -1e14.\n"
                              "WARNING: Model cost: the response of run 3 is missing (NA) and is used as -1e14.\n");
    kr.y[2] = kr.y[6] = kr.y[20] = -1e14 * (1 + 1e-15);
    EXPECT_FALSE(warn_missing_response(&kr));
    EXPECT_EQ(capture.take(), "");
}

// ensure_init on the start-up model with a design and parameters: each
// derived matrix is computed when its flag is off and left alone when on.
class EnsureInit : public Report {
  protected:
    void SetUp() override
    {
        Report::SetUp();
        for (int i = 0; i < 21; i++) {
            kr.X[i][0] = 0.05 * i;
            kr.X[i][1] = std::fmod(0.37 * i, 1.0);
        }
        kr.theta[0] = 2.0;
        kr.theta[1] = 0.5;
        kr.alpha[0] = 0.5;
        kr.alpha[1] = 1.0;
        kr.stochratio[0] = 0.5;
        kr.init.X = kr.init.theta = kr.init.alpha = TRUE;
    }
    double correlation(int i, int j) const
    {
        if (i == j)
            return 1.0;
        double s = 0.0;
        for (int k = 0; k < 2; k++)
            s += kr.theta[k] * std::pow(std::fabs(kr.X[i][k] - kr.X[j][k]), 2.0 - kr.alpha[k]);
        return 0.5 * std::exp(-s);
    }
};

TEST_F(EnsureInit, ComputesTheCorrelationMatrixOnce)
{
    ensure_init(&kr, "R");
    EXPECT_TRUE(kr.init.R);
    for (int i = 0; i < 21; i++)
        for (int j = 0; j < 21; j++)
            EXPECT_NEAR(kr.R[i][j], correlation(i, j), 1e-15) << i << "," << j;
    kr.R[0][1] = 42.0;
    ensure_init(&kr, "R");
    EXPECT_EQ(kr.R[0][1], 42.0) << "a valid matrix is not computed again";
    EXPECT_EQ(capture.take(), "");
}

TEST_F(EnsureInit, RegressionMatrixOfOnes)
{
    ensure_init(&kr, "F");
    EXPECT_TRUE(kr.init.F);
    for (int i = 0; i < 21; i++)
        EXPECT_EQ(kr.F[i][0], 1.0);
    kr.F[3][0] = 7.0;
    ensure_init(&kr, "F");
    EXPECT_EQ(kr.F[3][0], 7.0);
}

TEST_F(EnsureInit, DecomposesTheAugmentedMatrix)
{
    ensure_init(&kr, "R");
    ensure_init(&kr, "F");
    ensure_init(&kr, "U");
    EXPECT_TRUE(kr.init.U);
    // Every column u of U with its eigenvalue l satisfies A u = l u, A the
    // augmented matrix [[0, 1'], [1, R]] built here from the formula.
    auto A = [&](int i, int j) -> double {
        if (i == 0 && j == 0)
            return 0.0;
        if (i == 0 || j == 0)
            return 1.0;
        return correlation(i - 1, j - 1);
    };
    for (int c = 0; c < 22; c++) {
        double norm = 0.0;
        for (int i = 0; i < 22; i++) {
            double Au = 0.0;
            for (int j = 0; j < 22; j++)
                Au += A(i, j) * kr.U[j][c];
            EXPECT_NEAR(Au, kr.eigval[c] * kr.U[i][c], 1e-12) << "column " << c << " row " << i;
            norm += kr.U[i][c] * kr.U[i][c];
        }
        EXPECT_NEAR(norm, 1.0, 1e-12);
        EXPECT_DOUBLE_EQ(kr.eigvalinv[c], 1.0 / kr.eigval[c]);
    }
    kr.U[0][0] = 42.0;
    ensure_init(&kr, "U");
    EXPECT_EQ(kr.U[0][0], 42.0);
    EXPECT_EQ(capture.take(), "");
}

TEST_F(EnsureInit, OnlyDerivedMatricesCanBeComputed)
{
    // A valid object is left as it is, whatever it is.
    ensure_init(&kr, "X");
    EXPECT_FATAL(ensure_init(&kr, "beta"), "ensure_init: This option is not recognized");
    EXPECT_FATAL(ensure_init(&kr, "Q"), "initialized_check code bug. Unrecognized option.");
    kr.init.theta = FALSE;
    EXPECT_FATAL(ensure_init(&kr, "R"), "calcR: alpha or theta not initialized");
}

} // namespace
