// CPU timer formats and shell commands run in a child process.
#include "numeric/unix.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "numeric/nrerror.h"
#include "testutil.h"

namespace {

TEST(CpuTime, ReportFormats)
{
    ReportCapture capture;
    cputime(1, "");
    cputime(2, "Program");
    EXPECT_EQ(capture.take(), "Program Seconds: 0.0  \n ");
    cputime(11, "");
    cputime(12, "Fitting");
    EXPECT_EQ(capture.take(), "Fitting Seconds: 0.0\n");
}

TEST(CpuTime, StepTimerIsIndependentOfProgramTimer)
{
    ReportCapture capture;
    cputime(1, "");
    volatile double sink = 0;
    for (long i = 0; i < 300000000L; i++)
        sink = sink + 1e-9;
    cputime(11, "");
    cputime(12, "Step");
    cputime(2, "Program");
    std::string out = capture.take();
    double program = -1.0;
    int used = 0;
    ASSERT_EQ(sscanf(out.c_str(), "Step Seconds: 0.0\nProgram Seconds: %lf  \n %n", &program, &used), 1) << out;
    EXPECT_EQ(used, (int)out.size()) << out;
    EXPECT_GT(program, 0.0);
}

TEST(CpuTime, UnknownModeIsFatal)
{
    EXPECT_FATAL(cputime(3, "x"), "cputime : unknown argument");
}

TEST(ExecSystem, RunsTheCommandOnceAndWaits)
{
    ScratchDir dir;
    exec_system("echo >> ran.txt");
    exec_system("echo >> ran.txt");
    EXPECT_EQ(read_file("ran.txt"), "\n\n");
}

TEST(ExecSystem, PrintedWordsAreRunAsAFurtherCommand)
{
    ScratchDir dir;
    // The command prints "touch made.txt", which the shell then runs.
    exec_system("echo touch made.txt");
    EXPECT_TRUE(file_exists("made.txt"));
}

TEST(ExecSystem, PendingReportIsNotWrittenTwice)
{
    ScratchDir dir;
    FILE *report = fopen("report.txt", "w");
    FILE *saved = ofp;
    ofp = report;
    fprintf(ofp, "pending line\n");
    exec_system("true");
    ofp = saved;
    fclose(report);
    EXPECT_EQ(read_file("report.txt"), "pending line\n");
}

} // namespace
