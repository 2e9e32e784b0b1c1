// Fatal errors, warnings and information lines: exact texts and exit statuses.
#include "numeric/nrerror.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

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

TEST(NrError, TrappedErrorIsHeldBackAndReplayedAsItWouldHaveBeen)
{
    // In a thread with a trap, each form is recorded without a word and the
    // thread stops; the replay writes what the error would have written,
    // with its status.
    struct Row {
        boolean with_value;
        int status;
        const char *expected;
    } rows[] = {{FALSE, 1, "MORLA ERROR... \nToo many iterations in tqli \nNow exiting to system ... \n "},
                {TRUE, 2, "MORLA error ... \nDeterminant R -0.500000 \nloglike: detR<0.0 , R is negative definite \n"
                          "Now exiting to system ... \n "}};
    for (const Row &r : rows)
        EXPECT_EXIT(
            {
                static FatalTrap trap;
                static std::atomic<bool> told{false};
                trap.on_raise = [](void *) { told = true; };
                std::thread([&r] {
                    set_fatal_trap(&trap);
                    if (r.with_value)
                        nrerror("loglike: detR<0.0 , R is negative definite", -0.5, "Determinant R");
                    nrerror("Too many iterations in tqli");
                }).detach();
                while (!told)
                    std::this_thread::yield();
                if (!trap.raised || trap.with_value != r.with_value)
                    exit(9);
                replay_fatal(&trap);
            },
            ::testing::ExitedWithCode(r.status), ::testing::StrEq(r.expected));
}

} // namespace
