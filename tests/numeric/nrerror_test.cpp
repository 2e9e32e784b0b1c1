// Fatal errors, warnings and information lines: exact texts and exit statuses.
#include "numeric/nrerror.h"

#include <gtest/gtest.h>

#include "testutil.h"

namespace {

TEST(NrError, TextFormEndsWithStatusOne)
{
    EXPECT_EXIT(nrerror("something broke"), ::testing::ExitedWithCode(1),
                ::testing::StrEq("MORLA ERROR... \nsomething broke \nNow exiting to system ... \n "));
}

TEST(NrError, ValueFormEndsWithStatusTwo)
{
    EXPECT_EXIT(nrerror("calcR: stochratio not within [0,1]", 1.5, "stochratio:"), ::testing::ExitedWithCode(2),
                ::testing::StrEq("MORLA error ... \nstochratio: 1.500000 \ncalcR: stochratio not within [0,1] \n"
                                 "Now exiting to system ... \n "));
}

TEST(NrError, ReportWrittenBeforeTheErrorSurvives)
{
    ScratchDir dir;
    EXPECT_EXIT(
        {
            ofp = fopen("report.txt", "w");
            fprintf(ofp, "before the failure\n");
            nrerror("late failure");
        },
        ::testing::ExitedWithCode(1), "");
    EXPECT_EQ(read_file("report.txt"), "before the failure\n");
}

TEST(NrError, InfoAndWarningLines)
{
    ReportCapture capture;
    nrinfo("Default input filename is used: xpred.mat");
    nrwarning("careful");
    EXPECT_EQ(capture.take(), "Info : Default input filename is used: xpred.mat\nWARNING: careful\n");
}

} // namespace
