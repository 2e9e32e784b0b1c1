// Evaluation of the objective by real outside scripts through the exchange
// file, in both ways of starting them, and every way the exchange can fail.
#include "minimize/objective.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
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
        // A progress line on standard output is shown, never run.
        {FALSE, "echo touch harmed; printf ' -2.5e3 0' >> \"$1\"", {1.0}, {-2500.0, 0.0}, "touch harmed\n", 0, 0},
        // Ready at the first poll: the poll command never runs.
        {TRUE, "printf ' 4.25' >> morla.temp", {1.0, 2.0}, {4.25}, "", 0, 0},
        // Returns at once, like a job submission; the values come a second later.
        {TRUE, "(sleep 1; printf ' 2.5 NA' >> morla.temp) &", {0.0}, {2.5, -1e14}, "", 2, MAX_TRIES},
    };
    for (const Case &c : cases) {
        script(c.body);
        SystemCommandFunction = c.command_form;
        objective_poll_command = "sleep 0.1; echo >> polls";
        remove("polls");
        std::vector<real> y(c.expected.size(), 123.0);
        ReportCapture report;
        testing::internal::CaptureStderr();
        sample_new_y(c.command_form ? "./sim   " : "./sim", (int)c.x.size(), c.x.data(), (int)y.size(), y.data());
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.printed) << c.body;
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

TEST_F(Objective, FaultyExchangesAreFatal)
{
    const char *too_few = "sample_new_y: Possible reasons:\n\t(1) Minimization Function File does not exist in "
                          "directory supplied. \n\t(2) Not enough values in  morla.temp for reading.\n\t(3) Number "
                          "of x-vars in Minimization Function and Program Database \n\t  don't match.";
    const char *not_number = "Sample New Points: Not all new points can be interpreted as a number";
    const std::string values[][2] = {
        {" 1.0", too_few},
        {" abc 1.0", not_number},
        {" 1.0 nan", not_number},
        {" 1.0 " + std::string(150, '1'), "sample_new_y: A token in morla.temp is longer than 149 characters."},
    };
    const real x[1] = {0.5};
    real y[2];
    for (const auto &v : values) {
        script("printf '" + v[0] + "' >> \"$1\"");
        EXPECT_FATAL(sample_new_y("./sim", 1, x, 2, y), v[1]) << v[0];
    }
    EXPECT_FATAL(sample_new_y(("./" + std::string(137, 's')).c_str(), 1, x, 2, y),
                 "sample_new_y: ObjectiveFunction name longer than 138 characters.");
    script("printf ' 1.0 " + std::string(149, '1') + "' >> \"$1\""); // 149 characters still fit
    sample_new_y("./sim", 1, x, 2, y);
    EXPECT_DOUBLE_EQ(y[1], 1.1111111111111111e148);

    SystemCommandFunction = TRUE;
    objective_poll_command = "echo >> polls";
    objective_max_tries = 3;
    EXPECT_EXIT(sample_new_y("true", 1, x, 1, y), ::testing::ExitedWithCode(2),
                ::testing::HasSubstr("MORLA error ... \n (real time secs) 30.000000 \nwait_morlatemp: morla.temp "
                                     "does not have enough values.\n May be the system command takes longer "
                                     "than anticipated.  \n"));
    EXPECT_EQ(read_file("polls"), "\n\n\n");
    EXPECT_FATAL(sample_new_y("rm morla.temp", 1, x, 1, y), "wait_morlatemp: Can't open  morla.temp for reading. ");
}

} // namespace
