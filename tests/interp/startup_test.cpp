// Start-up pieces: the banner, the signals that end the process with their
// number as status, and the command-line forms.
#include "interp/startup.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "alloc/alloc.h"
#include "matfile/writemat.h"

#include "numeric/nrerror.h"
#include "testutil.h"

namespace {

TEST(Startup, Banner)
{
    ReportCapture capture;
    output_header();
    EXPECT_EQ(capture.take(), "      MORLA - Orvandel \n                       (Version 1.304)\n\n");
}

// The names in the working directory, sorted.
std::vector<std::string> directory()
{
    std::vector<std::string> names;
    DIR *dir = opendir(".");
    while (struct dirent *entry = readdir(dir))
        if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0)
            names.push_back(entry->d_name);
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// A signal in the middle of writing a file: the exit status is the signal's
// number, the line-buffered report holds every complete line, the file being
// written keeps its old content and no temporary file is left behind.
TEST(Startup, SignalsEndWithTheirNumberAndLeaveNoHalfWrittenFile)
{
    for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGTERM, SIGINT, SIGHUP}) {
        ScratchDir dir;
        write_file("effects.mat", "old\n");
        EXPECT_EXIT(
            {
                avoid_coredump();
                ofp = fopen("report.txt", "w");
                setvbuf(ofp, NULL, _IOLBF, 0);
                fprintf(ofp, "complete\n");
                string **table = NULL;
                alloc(2, 1, &table);
                strcpy(table[0][0], "1.5");
                strcpy(table[1][0], "2.5");
                output_begin("effects.mat");
                outputmats(2, 1, table, "effects.mat", NULL, "x", "first", "w");
                outputmats(1, 1, table, "effects.mat", NULL, "x", "second", "a");
                raise(sig);
            },
            ::testing::ExitedWithCode(sig), "")
            << sig;
        EXPECT_EQ(read_file("report.txt"), "complete\nWriting to file effects.mat.\nWriting to file effects.mat.\n");
        EXPECT_EQ(read_file("effects.mat"), "old\n");
        EXPECT_EQ(directory(), (std::vector<std::string>{"effects.mat", "report.txt"}));
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
