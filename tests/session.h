// A run of the program in miniature for the tests of the commands: the model
// array and the response set created as the entry point creates them, in
// tracking allocation mode, inside a scratch directory, with objects moved in
// and out through the object commands. Also a writer of small matrix files
// whose cells are given as texts.
#ifndef MORLA_TEST_SESSION_H
#define MORLA_TEST_SESSION_H

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "alloc/alloc.h"
#include "matfile/objects.h"
#include "model/settings.h"
#include "matfile/readdesign.h"
#include "model/krigmodel.h"
#include "numeric/nrerror.h"
#include "testutil.h"

using Row = std::vector<std::string>;

// A matrix file: a title line, then one block with a case column. Cells are
// written as given.
inline std::string matrix_text(const std::string &title, const Row &names, const std::vector<Row> &rows)
{
    std::string text = title + "\n-----\n Case";
    for (const auto &name : names)
        text += " " + name;
    text += "\n-----\n";
    for (size_t i = 0; i < rows.size(); i++) {
        text += std::to_string(i + 1);
        for (const auto &cell : rows[i])
            text += " " + cell;
        text += "\n";
    }
    return text;
}

// "%.5f" of x: a number written this way reads back as exactly the double
// that strtod gives for the same text.
inline std::string fixed5(double x)
{
    char text[64];
    snprintf(text, sizeof text, "%.5f", x);
    return text;
}

inline double rounded5(double x) { return strtod(fixed5(x).c_str(), NULL); }

// Silences the report stream for its lifetime and then gives the stream back
// as it was (a ReportCapture would leave it on standard output).
class Quiet {
  public:
    Quiet() : saved(ofp) { ofp = fopen("/dev/null", "w"); }
    ~Quiet()
    {
        fclose(ofp);
        ofp = saved;
    }

  private:
    FILE *saved;
};

class Session {
  public:
    // Start-up records (21 observations, 2 inputs, 1 term, empty response
    // set) in tracking mode.
    Session()
    {
        SPEED = 0;
        start_real = size_list;
        start_rows = size_dlist;
        start_int = size_int_list;
        kr = (KrigModel *)malloc(sizeof(KrigModel));
        NULL_KrigModel(kr);
        ka = (KrigArray *)malloc(sizeof(KrigArray));
        NULL_KrigArray(ka);
        init_KrigModel(kr, 21, 2, 1);
        init_KrigArray(ka);
    }
    // Releases the records; every block obtained since start-up must have
    // been released. Fast mode and the option read from files are restored.
    ~Session()
    {
        free_Krig_cover(ka, kr);
        EXPECT_EQ(size_list, start_real) << "real vectors left allocated";
        EXPECT_EQ(size_dlist, start_rows) << "real matrices left allocated";
        EXPECT_EQ(size_int_list, start_int) << "int vectors left allocated";
        SPEED = 1;
        RandomError = FALSE;
        PtsOutOfRange = 0;
    }

    // The object commands "object < file", "object > file" and
    // "object > screen".
    void read(const char *object, const std::string &file) { menu_print(&kr, ka, ACTION_READ, object, file.c_str()); }
    void write(const char *object, const std::string &file)
    {
        menu_print(&kr, ka, ACTION_OUTPUT, object, file.c_str());
    }
    void print(const char *object) { menu_print(&kr, ka, ACTION_PRINT, object, "screen"); }

    // Everything written to the report stream since the last call.
    std::string report() { return capture.take(); }

    ScratchDir dir;
    ReportCapture capture;
    KrigModel *kr;
    KrigArray *ka;

  private:
    int start_real, start_rows, start_int;
};

#endif
