// Helpers shared by the unit tests.
#include "testutil.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "numeric/nrerror.h"

ReportCapture::ReportCapture() : file_(tmpfile())
{
    ofp = file_;
}

ReportCapture::~ReportCapture()
{
    ofp = stdout;
    fclose(file_);
}

std::string ReportCapture::take()
{
    fflush(file_);
    std::string text;
    rewind(file_);
    int c;
    while ((c = fgetc(file_)) != EOF)
        text.push_back((char)c);
    fclose(file_);
    file_ = tmpfile();
    ofp = file_;
    return text;
}

ScratchDir::ScratchDir()
{
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) != NULL)
        previous_ = cwd;
    char tmpl[] = "/tmp/morla_test_XXXXXX";
    char *dir = mkdtemp(tmpl);
    if (dir == NULL)
        abort();
    path_ = dir;
    if (chdir(dir) != 0)
        abort();
}

ScratchDir::~ScratchDir()
{
    if (chdir(previous_.c_str()) != 0)
        abort();
    std::string cmd = "rm -rf '" + path_ + "'";
    if (system(cmd.c_str()) != 0)
        abort();
}

void write_file(const std::string &name, const std::string &content)
{
    std::ofstream out(name, std::ios::binary);
    out << content;
}

std::string read_file(const std::string &name)
{
    std::ifstream in(name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool file_exists(const std::string &name)
{
    struct stat st;
    return stat(name.c_str(), &st) == 0;
}

std::string fatal_text(const std::string &message)
{
    return "MORLA ERROR... \n" + message + " \nNow exiting to system ... \n ";
}
