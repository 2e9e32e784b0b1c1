// Helpers shared by the unit tests: capturing the report stream and working
// in a scratch directory.
#ifndef MORLA_TESTUTIL_H
#define MORLA_TESTUTIL_H

#include <string>

// Sends the report stream to a temporary file until `take` is called.
class ReportCapture {
  public:
    ReportCapture();
    ~ReportCapture();
    // Everything written since the capture began (or since the last take).
    std::string take();

  private:
    FILE *file_;
};

// Creates a fresh directory, makes it the working directory, and removes it
// (and goes back) at the end of the scope.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    const std::string &path() const { return path_; }

  private:
    std::string path_;
    std::string previous_;
};

void write_file(const std::string &name, const std::string &content);
std::string read_file(const std::string &name);
bool file_exists(const std::string &name);

#include <gmock/gmock.h>

// The three lines that the fatal-error routine writes for `message`.
std::string fatal_text(const std::string &message);

// The statement ends the process through the fatal-error routine with the
// given message (exit status 1).
#define EXPECT_FATAL(statement, message)                                                                  \
    EXPECT_EXIT(statement, ::testing::ExitedWithCode(1), ::testing::HasSubstr(fatal_text(message)))

#endif
