// Support of the reader tests: small matrix files written from text, and a
// text snapshot of everything a reader may change in the model store.
#ifndef MORLA_READER_SUPPORT_H
#define MORLA_READER_SUPPORT_H

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <cstdlib>

#include "alloc/alloc.h"
#include "matfile/objects.h"
#include "model/settings.h"
#include "model/krigmodel.h"
#include "testutil.h"

namespace reader_support {

// The reader's warning after a matrix holding NA values.
inline const std::string kNaWarning = "WARNING: Matrix contains NA values. Operations on NA values other than \n\tin- and "
                               "output will result into errors.\n\n";

// A test run in fast mode and in tracking mode (the parameter is SPEED), in a
// scratch directory; it must leave the allocation registries as it found
// them.
class AllocationModes : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override
    {
        SPEED = GetParam();
        start_real = size_list;
        start_rows = size_dlist;
    }
    void TearDown() override
    {
        EXPECT_EQ(size_list, start_real);
        EXPECT_EQ(size_dlist, start_rows);
        SPEED = 1;
    }
    ScratchDir dir;
    int start_real = 0, start_rows = 0;
};

inline std::string mode_name(const ::testing::TestParamInfo<int> &p) { return p.param ? "Fast" : "Tracking"; }

// A matrix file: a separator, the header, a separator and the data lines.
using Lines = std::vector<std::string>;

inline std::string matrix(const std::string &header, const Lines &rows)
{
    std::string text = "----------\n" + header + "\n----------\n";
    for (const std::string &row : rows)
        text += row + "\n";
    return text;
}

inline std::string real_text(real x)
{
    char buf[40];
    snprintf(buf, sizeof buf, "%.17g", x);
    return buf;
}

// Everything a reader may change in the store, as text: the records'
// dimensions, flags, labels, design, responses, parameters and ranges, the
// response set and the random-error switch. Two equal snapshots mean an
// unchanged store.
inline std::string snapshot(const KrigModel *kr, const KrigArray *ka)
{
    std::string s;
    int count = model_count(ka);
    for (int i = 0; i < count; i++) {
        const KrigModel &m = kr[i];
        int n = m.n[0], d = m.d[0], r = m.r[0];
        const InitStruct &f = m.init;
        s += "record " + std::to_string(i) + " n " + std::to_string(n) + " d " + std::to_string(d) + " r " +
             std::to_string(r) + " ylabel " + m.ylabel + "\n flags";
        for (int flag : {f.X, f.y, f.R, f.F, f.beta, f.alpha, f.theta, f.U, f.var, f.range, f.d, f.n})
            s += " " + std::to_string(flag);
        s += "\n var " + real_text(m.var[0]) + " stochratio " + real_text(m.stochratio[0]) + " loglike " +
             real_text(m.loglike[0]) + "\n beta";
        for (int k = 0; k < r; k++)
            s += " " + real_text(m.beta[k]);
        s += "\n xlabel";
        for (int k = 0; k < d; k++)
            s += std::string(" ") + m.xlabel[k];
        s += "\n alpha theta range";
        for (int k = 0; k < d; k++)
            s += " " + real_text(m.alpha[k]) + "/" + real_text(m.theta[k]) + "/" + real_text(m.range[k][0]) +
                 ":" + real_text(m.range[k][1]);
        s += "\n X y";
        for (int i2 = 0; i2 < n; i2++) {
            s += " |";
            for (int k = 0; k < d; k++)
                s += " " + real_text(m.X[i2][k]);
            s += " ; " + real_text(m.y[i2]);
        }
        s += "\n";
    }
    s += "set init " + std::to_string(ka->init) + " ydescrip_init " + std::to_string(ka->ydescrip_init) +
         " p " + std::to_string(ka->p) + " c " + std::to_string(ka->c) + "\n";
    if (ka->init) {
        for (int j = 0; j < ka->p; j++)
            s += " p" + std::to_string(ka->pvec[j]);
        for (int j = 0; j < ka->c; j++)
            s += " c" + std::to_string(ka->cvec[j]);
        for (int j = 0; j < ka->p + ka->c; j++)
            s += " [" + real_text(ka->ydescrip[j][0]) + " " + real_text(ka->ydescrip[j][1]) + " " +
                 real_text(ka->ydescrip[j][2]) + "]";
        s += "\n";
    }
    s += "RandomError " + std::to_string(RandomError) + "\n";
    return s;
}

// The start-up store (one record of 21 runs, 2 inputs, 1 term, and an empty
// response set) in a scratch directory, in tracking allocation mode; at the
// end every block must have been released.
class StoreTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        SPEED = 0;
        start_real = size_list;
        start_int = size_int_list;
        start_rows = size_dlist;
        kr = (KrigModel *)malloc(sizeof(KrigModel));
        NULL_KrigModel(kr);
        init_KrigModel(kr, 21, 2, 1);
        ka = (KrigArray *)malloc(sizeof(KrigArray));
        init_KrigArray(ka);
        RandomError = FALSE;
    }
    void TearDown() override
    {
        free_Krig_cover(ka, kr);
        RandomError = FALSE;
        EXPECT_EQ(size_list, start_real);
        EXPECT_EQ(size_int_list, start_int);
        EXPECT_EQ(size_dlist, start_rows);
        SPEED = 1;
    }

    // Writes `content` to `file` and reads it with `reader` (called with the
    // file name); the report is kept in `report`.
    template <typename Reader> int read_with(const char *file, const std::string &content, Reader reader)
    {
        write_file(file, content);
        ReportCapture capture;
        int code = reader(file);
        report = capture.take();
        return code;
    }
    // Writes an object with the output command's writer.
    void output(const char *object, const char *file)
    {
        ReportCapture capture;
        menu_print(&kr, ka, ACTION_OUTPUT, object, file);
    }

    ScratchDir dir;
    KrigModel *kr = NULL;
    KrigArray *ka = NULL;
    std::string report;
    int start_real = 0, start_int = 0, start_rows = 0;
};

} // namespace reader_support

#endif
