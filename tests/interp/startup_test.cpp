// Start-up pieces: the banner, the signals that end the process with their
// number as status, and the command-line forms.
#include "interp/startup.h"

#include <gtest/gtest.h>

#include <csignal>

#include "numeric/nrerror.h"
#include "testutil.h"

namespace {

TEST(Startup, Banner)
{
    ReportCapture capture;
    output_header();
    EXPECT_EQ(capture.take(), "      MORLA - Orvandel \n                       (Version 1.304)\n\n");
}

TEST(Startup, SignalsEndWithTheirNumberAndFlushTheReport)
{
    for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGTERM}) {
        ScratchDir dir;
        EXPECT_EXIT(
            {
                avoid_coredump();
                ofp = fopen("report.txt", "w");
                fprintf(ofp, "buffered\n");
                raise(sig);
            },
            ::testing::ExitedWithCode(sig), "")
            << sig;
        EXPECT_EQ(read_file("report.txt"), "buffered\n");
    }
}

TEST(Startup, UsageForThreeArguments)
{
    char prog[] = "morla", a[] = "a", b[] = "b", c[] = "c";
    char *argv[] = {prog, a, b, c, nullptr};
    EXPECT_EXIT(
        {
            dup2(2, 1);
            main_init(4, argv);
        },
        ::testing::ExitedWithCode(1), ::testing::StrEq("Usage:  morla <inputfile  outputfile> \n"));
}

} // namespace
