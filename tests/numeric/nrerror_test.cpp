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

namespace {

// Repeated warnings within a command: the first five of each text shown, the
// rest counted, one summary line per text at the end of the command in the
// order of first appearance; warnings outside a command are never held back.
TEST(NrError, RepeatedWarningsOfACommandAreCountedAfterFive)
{
    struct Row {
        int singular, other; // warnings given, interleaved
        const char *summary; // expected summary lines
    } rows[] = {
        {0, 0, ""},
        {5, 1, ""},
        {6, 0, "WARNING: repeated 1 more times in this command (the first 5 are shown): singular (T1)\n"},
        {12, 7,
         "WARNING: repeated 7 more times in this command (the first 5 are shown): singular (T1)\n"
         "WARNING: repeated 2 more times in this command (the first 5 are shown): two\n"},
    };
    for (const Row &r : rows) {
        ReportCapture capture;
        warnings_begin_command();
        std::string expected;
        int shown_singular = 0, shown_other = 0;
        for (int i = 0; i < r.singular || i < r.other; i++) {
            if (i < r.singular) {
                nrwarning("singular (T1)");
                if (++shown_singular <= 5)
                    expected += "WARNING: singular (T1)\n";
            }
            if (i < r.other) {
                nrwarning("two\n\tlines");
                if (++shown_other <= 5)
                    expected += "WARNING: two\n\tlines\n";
            }
        }
        warnings_end_command();
        EXPECT_EQ(capture.take(), expected + r.summary) << r.singular << " " << r.other;
    }
    // A new command starts afresh; outside a command nothing is held back.
    ReportCapture capture;
    for (int i = 0; i < 7; i++)
        nrwarning("outside");
    warnings_end_command();
    std::string seven;
    for (int i = 0; i < 7; i++)
        seven += "WARNING: outside\n";
    EXPECT_EQ(capture.take(), seven);
}

// Report text collected by another thread: its warning lines count with the
// ones given directly, and the other lines pass unchanged.
TEST(NrError, CollectedReportTextCountsItsWarnings)
{
    ReportCapture capture;
    warnings_begin_command();
    for (int i = 0; i < 3; i++)
        nrwarning("singular (T2)");
    std::string collected = "try 1\n";
    for (int i = 0; i < 4; i++)
        collected += "WARNING: singular (T2)\n";
    collected += "WARNING: only once\nlast line without newline";
    write_report_text(collected.data(), collected.size());
    warnings_end_command();
    EXPECT_EQ(capture.take(), "WARNING: singular (T2)\nWARNING: singular (T2)\nWARNING: singular (T2)\n"
                              "try 1\nWARNING: singular (T2)\nWARNING: singular (T2)\nWARNING: only once\n"
                              "last line without newline"
                              "WARNING: repeated 2 more times in this command (the first 5 are shown): "
                              "singular (T2)\n");
}

// A fatal error in the middle of a command still reports the count.
TEST(NrError, FatalErrorReportsTheCountFirst)
{
    ScratchDir dir;
    EXPECT_EXIT(
        {
            ofp = fopen("report.txt", "w");
            warnings_begin_command();
            for (int i = 0; i < 8; i++)
                nrwarning("again");
            nrerror("late failure");
        },
        ::testing::ExitedWithCode(1), "");
    std::string five;
    for (int i = 0; i < 5; i++)
        five += "WARNING: again\n";
    EXPECT_EQ(read_file("report.txt"),
              five + "WARNING: repeated 3 more times in this command (the first 5 are shown): again\n");
}

} // namespace
