// Evaluation of the objective by real outside scripts through the exchange
// file, in both ways of starting them, and every way the exchange can fail.
#include "minimize/objective.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "model/settings.h"
#include "testutil.h"

namespace {

struct Objective : ::testing::Test {
    void TearDown() override
    {
        SystemCommandFunction = FALSE;
        objective_poll_command = "sleep 10";
        objective_max_tries = MAX_TRIES;
        remove_exchange_file();
    }
    static void script(const std::string &body)
    {
        write_file("sim", "#!/bin/sh\n" + body + "\n");
        chmod("sim", 0755);
    }
    ScratchDir dir_;
};

TEST_F(Objective, ProgramOrCommandAppendsValuesThatAreReadBack)
{
    struct Case {
        boolean command_form;
        const char *body;
        std::vector<real> x, expected;
        const char *printed; // on standard error
        int min_polls, max_polls;
    };
    const Case cases[] = {
        // Reads the point, appends the sum of squares and a missing constraint.
        {FALSE,
         "cp \"$1\" sent; v=$(awk '{for (i = 2; i <= $1 + 1; i++) s += $i * $i; printf \"%.6f\", s}' \"$1\")\n"
         "printf ' %s NA\\n' \"$v\" >> \"$1\"",
         {0.5, 0.25}, {0.3125, -1e14}, "", 0, 0},
        // Rewrites the file; tokens after the values are ignored.
        {FALSE, "printf '3 0.1 0.2\\n0.3\\t17.5 na 99 junk\\n' > \"$1\"", {0.1, 0.2, 0.3}, {17.5, -1e14}, "", 0, 0},
        // A progress line on standard output is shown, never run; the program
        // form needs no line end after the values.
        {FALSE, "echo touch harmed; printf ' -2.5e3 0' >> \"$1\"", {1.0}, {-2500.0, 0.0}, "touch harmed\n", 0, 0},
        // Ready at the first poll: the poll command never runs.
        {TRUE, "printf ' 4.25\\n' >> morla.temp", {1.0, 2.0}, {4.25}, "", 0, 0},
        // Returns at once, like a job submission; the values come a second later.
        {TRUE, "(sleep 1; printf ' 2.5 NA\\n' >> morla.temp) &", {0.0}, {2.5, -1e14}, "", 2, MAX_TRIES},
        // A value written in two pieces counts only once its line is complete.
        {TRUE, "(printf ' 2.8108' >> morla.temp; sleep 1; printf '124442\\n' >> morla.temp) &", {0.0}, {2.8108124442},
         "", 2, MAX_TRIES},
    };
    for (const Case &c : cases) {
        script(c.body);
        SystemCommandFunction = c.command_form;
        objective_poll_command = "sleep 0.1; echo >> polls";
        remove("polls");
        std::vector<real> y(c.expected.size(), 123.0);
        ReportCapture report;
        testing::internal::CaptureStderr();
        int result = sample_new_y(c.command_form ? "./sim   " : "./sim", (int)c.x.size(), c.x.data(), (int)y.size(),
                                  y.data());
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.printed) << c.body;
        EXPECT_EQ(result, 0) << c.body;
        EXPECT_EQ(y, c.expected) << c.body;
        int polls = (int)read_file("polls").size();
        EXPECT_TRUE(polls >= c.min_polls && polls <= c.max_polls) << c.body;
        EXPECT_EQ(report.take(), c.command_form ? "Execution of System Command : " + std::to_string(polls) +
                                                      " cycles of 10 real time seconds\n"
                                                : "");
    }
    EXPECT_EQ(read_file("sent"), "2  0.500000  0.250000 ");
    EXPECT_FALSE(file_exists("harmed"));
}

TEST_F(Objective, ThePointSentReadsBackAsTheSameNumbers)
{
    // Coordinates that "%f" would round: the text sent must parse to the very
    // same doubles (checked with strtod, independently of the writer).
    const real x[3] = {0.1 + 0.2, 1e-4 * 0.123456789, 0.25};
    script("cp \"$1\" sent; printf ' 1\\n' >> \"$1\"");
    real y[1];
    ReportCapture report;
    ASSERT_EQ(sample_new_y("./sim", 3, x, 1, y), 0);
    std::string sent = read_file("sent");
    char *p = &sent[0];
    EXPECT_EQ(strtol(p, &p, 10), 3);
    for (real v : x)
        EXPECT_EQ(strtod(p, &p), v);
    EXPECT_EQ(sent.substr(sent.size() - 10), " 0.250000 ") << "exact values keep their six decimals";
}

TEST_F(Objective, FailuresAreReportedAndReturned)
{
    struct Case {
        boolean command_form;
        const char *body;     // of the simulator ./sim, or NULL for none
        const char *funcname; // the objective
        std::string message;  // the first line of the report
        std::string holds;    // what the report says the file holds ("" for no such line)
    };
    const std::string longest(149, '1');
    const Case cases[] = {
        {FALSE, "printf ' 1.0 2.0\\n' >> \"$1\"; exit 3", "./sim",
         "ERROR: The objective command './sim morla.temp' ended with exit status 3.", "1 0.500000 1.0 2.0"},
        {FALSE, "kill -9 $$", "./sim",
         "ERROR: The objective command './sim morla.temp' ended with exit status 137 (the shell's report of signal "
         "9, Killed).", "1 0.500000"},
        {FALSE, NULL, "./absent", "ERROR: The objective command './absent morla.temp' ended with exit status 127 "
                                 "(command not found).", "1 0.500000"},
        {FALSE, "", "./plain", "ERROR: The objective command './plain morla.temp' ended with exit status 126 "
                              "(command not executable).", "1 0.500000"},
        {FALSE, "printf ' 1.0\\n' >> \"$1\"", "./sim",
         "ERROR: morla.temp holds 3 of the 4 tokens expected after the objective command './sim morla.temp' (the "
         "number of inputs, 1 coordinate, 2 values).", "1 0.500000 1.0"},
        {FALSE, "printf ' 1.5abc 1.0\\n' >> \"$1\"", "./sim",
         "ERROR: Value 1 of morla.temp after the objective command './sim morla.temp' cannot be interpreted as a "
         "number.", "1 0.500000 1.5abc 1.0"},
        {FALSE, "printf ' 1.0 1.5\\000abc\\n' >> \"$1\"", "./sim",
         "ERROR: Value 2 of morla.temp after the objective command './sim morla.temp' cannot be interpreted as a "
         "number.", "1 0.500000 1.0 1.5\\0abc"},
        {FALSE, "printf ' 1.0 nan\\n' >> \"$1\"", "./sim",
         "ERROR: Value 2 of morla.temp after the objective command './sim morla.temp' cannot be interpreted as a "
         "number.", "1 0.500000 1.0 nan"},
        {FALSE, "printf ' 1.0 1%s\\n' \"$(printf '%0149d' 0)\" >> \"$1\"", "./sim",
         "ERROR: A value in morla.temp after the objective command './sim morla.temp' is longer than 149 "
         "characters.", ""},
        // The values never stand on a complete line: three polls, then give up.
        {TRUE, "printf ' 1.0 2.0' >> morla.temp", "./sim",
         "ERROR: morla.temp does not hold 4 values on complete lines after 30 real time seconds: the system "
         "command './sim' takes longer than anticipated.", "1 0.500000 1.0 2.0"},
        {TRUE, "rm morla.temp", "./sim",
         "ERROR: Can't open morla.temp for reading after the objective command './sim' (No such file or "
         "directory).", ""},
        // A link planted by the simulator is not followed at the next write.
        {FALSE, "ln -sf victim \"$1\"", "./sim", "", ""},
    };
    const real x[1] = {0.5};
    real y[2];
    for (const Case &c : cases) {
        if (c.body != NULL)
            script(c.body);
        write_file("plain", "#!/bin/sh\n");
        remove("polls");
        SystemCommandFunction = c.command_form;
        objective_poll_command = "echo >> polls";
        objective_max_tries = 3;
        ReportCapture report;
        testing::internal::CaptureStderr();
        int result = sample_new_y(c.funcname, 1, x, 2, y);
        testing::internal::GetCapturedStderr();
        std::string text = report.take();
        EXPECT_EQ(result, 1) << c.message;
        if (c.message.empty()) {
            // The link case: the second write is refused, the target untouched.
            write_file("victim", "precious\n");
            EXPECT_EQ(sample_new_y(c.funcname, 1, x, 2, y), 1);
            EXPECT_EQ(report.take(), "ERROR: Can't open/create morla.temp for writing: morla.temp is a symbolic "
                                     "link, which is never followed.\n");
            EXPECT_EQ(read_file("victim"), "precious\n");
            remove("morla.temp");
            continue;
        }
        std::string expected = c.message + "\n" + (c.holds.empty() ? "" : "morla.temp holds: " + c.holds + "\n");
        EXPECT_EQ(text, expected) << c.body;
        if (c.command_form && c.holds.size() > 0) {
            EXPECT_EQ(read_file("polls"), "\n\n\n");
        }
    }
}

TEST_F(Objective, OnlyARegularFileIsUsedAndOnlyAFileWrittenIsRemoved)
{
    ReportCapture report;
    real y[1];
    const real x[1] = {0.5};
    script("printf ' 1\\n' >> \"$1\"");

    // A FIFO of that name is refused at once (neither opened for writing nor
    // waited on), as is a directory.
    ASSERT_EQ(mkfifo("morla.temp", 0600), 0);
    EXPECT_FALSE(objective_ready("./sim"));
    EXPECT_EQ(sample_new_y("./sim", 1, x, 1, y), 1);
    EXPECT_EQ(report.take(), "Sorry, can't do that. morla.temp is not a regular file.\n"
                             "ERROR: Can't open/create morla.temp for writing: morla.temp is not a regular file.\n");
    remove_exchange_file();
    struct stat st;
    EXPECT_EQ(lstat("morla.temp", &st), 0) << "a file Minimize did not write is not removed";
    remove("morla.temp");
    ASSERT_EQ(symlink("elsewhere", "morla.temp"), 0);
    EXPECT_FALSE(objective_ready("./sim"));
    EXPECT_EQ(report.take(), "Sorry, can't do that. morla.temp is a symbolic link, which is never followed.\n");
    remove("morla.temp");

    // A user's file of that name stays until an evaluation writes it.
    write_file("morla.temp", "mine\n");
    EXPECT_TRUE(objective_ready("./sim"));
    remove_exchange_file();
    EXPECT_TRUE(file_exists("morla.temp"));
    EXPECT_EQ(sample_new_y("./sim", 1, x, 1, y), 0);
    EXPECT_EQ(y[0], 1.0);
    remove_exchange_file();
    EXPECT_FALSE(file_exists("morla.temp"));

    // A second name of a user's file is replaced, never written through.
    write_file("victim", "precious\n");
    ASSERT_EQ(link("victim", "morla.temp"), 0);
    EXPECT_EQ(sample_new_y("./sim", 1, x, 1, y), 0);
    EXPECT_EQ(read_file("victim"), "precious\n");
    EXPECT_EQ(read_file("morla.temp"), "1  0.500000  1\n");

    EXPECT_FALSE(objective_ready(("./" + std::string(137, 's')).c_str()));
    EXPECT_EQ(report.take(), "Sorry, can't do that. The ObjectiveFunction name is longer than 138 characters.\n");
}

} // namespace
