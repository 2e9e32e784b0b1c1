// Database report lines by state and option, the command list, and the
// validity checks with their display names and messages.
#include "interp/reports.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 38 + 4); // 38 texts, 4 headings after a blank line
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

} // namespace
