// CPU timer formats and shell commands run in a child process.
#include "numeric/unix.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <cstdio>
#include <string>

#include <pthread.h>

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

TEST(ExecSystem, PrintedLinesGoToStandardErrorAndAreNeverRun)
{
    ScratchDir dir;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    exec_system("echo touch harmed; echo progress 50%");
    std::string err = testing::internal::GetCapturedStderr();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(file_exists("harmed"));
    EXPECT_EQ(err, "touch harmed\nprogress 50%\n");
    EXPECT_EQ(out, "");
}

TEST(ExecSystem, LongCommandRunsInFull)
{
    ScratchDir dir;
    std::string command = "true";
    while (command.size() < 400)
        command += " && true";
    command += " && echo done > ran.txt";
    exec_system(command.c_str());
    EXPECT_EQ(read_file("ran.txt"), "done\n");
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

TEST(ExecSystem, ReturnsTheExitStatusOrTheSignalInWords)
{
    ScratchDir dir;
    struct Case {
        const char *command;
        int status;
        const char *words;
    };
    const Case cases[] = {
        {"true", 0, "exit status 0"},
        {"exit 3", 3, "exit status 3"},
        {"kill -9 $$", -9, "signal 9 (Killed)"},
        {"sh -c 'kill -15 $$'", 143, "exit status 143 (the shell's report of signal 15, Terminated)"},
        {"./absent", 127, "exit status 127 (command not found)"},
        {"./plain", 126, "exit status 126 (command not executable)"},
    };
    write_file("plain", "#!/bin/sh\n");
    for (const Case &c : cases) {
        testing::internal::CaptureStderr();
        int status = exec_system(c.command);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, c.status) << c.command;
        char words[120];
        describe_exec_status(status, words, sizeof words);
        EXPECT_STREQ(words, c.words) << c.command;
    }
    char words[120];
    describe_exec_status(EXEC_NOT_STARTED, words, sizeof words);
    EXPECT_STREQ(words, "no process could be started");
}

// A signal sent during the hold waits (pending, not delivered) until the
// hold ends, and the end restores the mask the thread had: a thread that
// leaves the stop signals to the main thread keeps them blocked.
TEST(HoldStopSignals, DelaysTheSignalAndRestoresTheMask)
{
    sigset_t hup, mask, pending;
    sigemptyset(&hup);
    sigaddset(&hup, SIGHUP);
    for (int blocked_before = 0; blocked_before < 2; blocked_before++) {
        pthread_sigmask(blocked_before ? SIG_BLOCK : SIG_UNBLOCK, &hup, NULL);
        hold_stop_signals(TRUE);
        pthread_sigmask(SIG_BLOCK, NULL, &mask);
        EXPECT_TRUE(sigismember(&mask, SIGTERM) && sigismember(&mask, SIGHUP) && sigismember(&mask, SIGINT));
        if (!blocked_before) {
            // Sent to this thread during the hold: pending, not yet handled.
            struct sigaction ignore, old;
            memset(&ignore, 0, sizeof ignore);
            ignore.sa_handler = SIG_IGN;
            pthread_kill(pthread_self(), SIGHUP);
            sigpending(&pending);
            EXPECT_TRUE(sigismember(&pending, SIGHUP));
            // Discarded before the hold ends, so that the test process lives on.
            sigaction(SIGHUP, &ignore, &old);
            sigaction(SIGHUP, &old, NULL);
        }
        hold_stop_signals(FALSE);
        pthread_sigmask(SIG_BLOCK, NULL, &mask);
        EXPECT_EQ(sigismember(&mask, SIGHUP), blocked_before) << "mask before the hold: " << blocked_before;
        EXPECT_FALSE(sigismember(&mask, SIGTERM));
    }
    pthread_sigmask(SIG_UNBLOCK, &hup, NULL);
}

} // namespace
