// Readers of the design, the responses and the input ranges: every result
// code with its message, the validity flags, the reshaping of every record by
// a new design, the growth of the response set by the first y file, names
// that must repeat, the range test, and round trips through the writers.
// Everything runs in tracking allocation mode: every resize and release is
// checked against the registered sizes, and the registries must balance.
#include "matfile/readdesign.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "alloc/alloc.h"
#include "matfile/objects.h"
#include "model/settings.h"
#include "model/krigmodel.h"
#include "reader_support.h"
#include "testutil.h"

namespace {

using namespace reader_support;

// The registered sizes of a record's arrays agree with its n, d and r.
void expect_shape(const KrigModel &m, int n, int d, int r)
{
    EXPECT_EQ(m.n[0], n);
    EXPECT_EQ(m.d[0], d);
    EXPECT_EQ(m.r[0], r);
    EXPECT_EQ(seek_list(d, m.alpha), 1);
    EXPECT_EQ(seek_list(d, m.theta), 1);
    EXPECT_EQ(seek_list(n, m.y), 1);
    EXPECT_EQ(seek_list(n + r, m.eigval), 1);
    EXPECT_EQ(seek_list(n + r, m.eigvalinv), 1);
    EXPECT_EQ(seek_dlist(n, m.X), 1);
    EXPECT_EQ(seek_dlist(n, m.R), 1);
    EXPECT_EQ(seek_dlist(n, m.F), 1);
    EXPECT_EQ(seek_dlist(n + r, m.U), 1);
    EXPECT_EQ(seek_dlist(d, m.range), 1);
    for (int i = 0; i < n; i++) {
        EXPECT_EQ(seek_list(d, m.X[i]), 1);
        EXPECT_EQ(seek_list(n, m.R[i]), 1);
        EXPECT_EQ(seek_list(r, m.F[i]), 1);
    }
    for (int i = 0; i < n + r; i++)
        EXPECT_EQ(seek_list(n + r, m.U[i]), 1);
    for (int k = 0; k < d; k++)
        EXPECT_EQ(seek_list(2, m.range[k]), 1);
}

const std::string kYAgain = "WARNING: You already have a y matrix. Old y-matrix will be overread.\n\n";
const std::string kOutOfRange = "WARNING: Not all x elements are within range limits.\n";

class DesignReaders : public StoreTest {
  protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        PtsOutOfRange = 0;
    }

    int x(const std::string &content)
    {
        return read_with("x.mat", content, [this](const char *f) { return read_x(kr, ka, f); });
    }
    int y(const std::string &content)
    {
        return read_with("y.mat", content, [this](const char *f) { return read_y(&kr, ka, f); });
    }
    int ranges(const std::string &content)
    {
        return read_with("r.mat", content, [this](const char *f) { return read_xdescrip(kr, ka, f); });
    }

    // The usual start: the 3-run design a, b and the responses f, g.
    void design_and_responses()
    {
        ASSERT_EQ(x(matrix("a b", {"0 0.5", "0.25 1", "1 0.75"})), 0) << report;
        ASSERT_EQ(y(matrix("f g", {"1.5 2", "2.5 -1", "3.5 4"})), 0) << report;
    }
};

// ---- design ----

TEST_F(DesignReaders, DesignOfThirtyRunsAndThreeInputsIntoTheStartUpStore)
{
    Lines rows;
    for (int i = 0; i < 30; i++)
        rows.push_back(std::to_string(i) + " " + std::to_string(-i) + ".5 " + std::to_string(i % 7));
    ASSERT_EQ(x(matrix("u v w", rows)), 0);
    EXPECT_EQ(report, "Reading from x.mat.\n");
    expect_shape(kr[0], 30, 3, 1);
    for (int k = 0; k < 3; k++) {
        EXPECT_EQ(kr->alpha[k], 0.0);
        EXPECT_EQ(kr->theta[k], 0.0);
    }
    EXPECT_STREQ(kr->xlabel[0], "u");
    EXPECT_STREQ(kr->xlabel[2], "w");
    EXPECT_EQ(kr->X[29][0], 29.0);
    EXPECT_EQ(kr->X[29][1], -29.5);
    EXPECT_EQ(kr->X[29][2], 1.0);
    EXPECT_TRUE(kr->init.X);
    EXPECT_TRUE(kr->init.n);
    EXPECT_TRUE(kr->init.d);
    EXPECT_FALSE(kr->init.R);
    EXPECT_FALSE(kr->init.U);
    EXPECT_FALSE(kr->init.y);
    EXPECT_FALSE(kr->init.range);
}

TEST_F(DesignReaders, SameShapeKeepsParametersAndResponsesButNotTheCorrelationMatrix)
{
    design_and_responses();
    for (int j = 0; j < 2; j++) {
        kr[j].theta[0] = 1.5;
        kr[j].alpha[1] = 0.25;
        kr[j].init.theta = kr[j].init.alpha = TRUE;
        kr[j].init.R = kr[j].init.U = kr[j].init.F = TRUE;
    }
    ASSERT_EQ(x(matrix("a b", {"9 8", "7 6", "5 4"})), 0);
    EXPECT_EQ(report, "Reading from x.mat.\n");
    for (int j = 0; j < 2; j++) {
        expect_shape(kr[j], 3, 2, 1);
        EXPECT_EQ(kr[j].theta[0], 1.5);
        EXPECT_EQ(kr[j].alpha[1], 0.25);
        EXPECT_TRUE(kr[j].init.theta && kr[j].init.alpha && kr[j].init.y && kr[j].init.F);
        EXPECT_FALSE(kr[j].init.R);
        EXPECT_FALSE(kr[j].init.U);
        EXPECT_EQ(kr[j].X[2][0], 5.0) << "every record holds the new design";
        EXPECT_EQ(kr[j].X[0][1], 8.0);
    }
    EXPECT_EQ(kr[1].y[2], 4.0);
}

TEST_F(DesignReaders, RefusedDesignChangesNothing)
{
    design_and_responses();
    ASSERT_EQ(ranges(matrix("Variable Min Max", {"a 0 1", "b 0 1"})), 0);
    std::string before = snapshot(kr, ka);

    // Unreadable: missing file, and a file of another shape that breaks off
    // after its first rows were stored.
    {
        ReportCapture capture;
        EXPECT_EQ(read_x(kr, ka, "missing.mat"), 10);
        EXPECT_EQ(capture.take(), "Reading from missing.mat.\nERROR: Can't open this file. Does it exist?\n");
    }
    EXPECT_EQ(snapshot(kr, ka), before);
    EXPECT_EQ(x(matrix("p q r", {"1 2 3", "4 5 6", "7 8 9", "1 2 3", "4 5"})), 10);
    EXPECT_EQ(report, "Reading from x.mat.\nERROR: Too few or too many entries in a row \n");
    EXPECT_EQ(snapshot(kr, ka), before);
    for (int j = 0; j < 2; j++)
        expect_shape(kr[j], 3, 2, 1);
}

TEST_F(DesignReaders, MoreRunsReshapeEveryRecordAndInvalidateTheResponses)
{
    design_and_responses();
    kr[1].theta[1] = 3.0;
    kr[1].init.theta = TRUE;
    ASSERT_EQ(x(matrix("a b", {"0 0", "1 1", "2 2", "3 3", "4 4"})), 0);
    EXPECT_EQ(report, "Reading from x.mat.\n"
                      "WARNING: The number of observations has changed: y must be read again.\n");
    for (int j = 0; j < 2; j++) {
        expect_shape(kr[j], 5, 2, 1);
        EXPECT_FALSE(kr[j].init.y);
        EXPECT_TRUE(kr[j].init.X && kr[j].init.n);
        EXPECT_EQ(kr[j].X[4][1], 4.0);
    }
    EXPECT_EQ(kr[1].theta[1], 3.0) << "the number of inputs did not change";
    EXPECT_TRUE(kr[1].init.theta);
    EXPECT_STREQ(kr[1].ylabel, "g");

    // The responses are read again for the new runs, under the same names.
    EXPECT_EQ(y(matrix("f g", {"1 2", "3 4", "5 6"})), 6);
    EXPECT_EQ(report, "Reading from y.mat.\nERROR: Number of rows does not match with database. Matrix ignored.\n");
    ASSERT_EQ(y(matrix("f g", {"1 2", "3 4", "5 6", "7 8", "9 10"})), 0) << report;
    EXPECT_EQ(report, "Reading from y.mat.\n") << "no old responses to overwrite";
    EXPECT_EQ(kr[1].y[4], 10.0);

    // Fewer runs again: the responses are dropped once more.
    ASSERT_EQ(x(matrix("a b", {"0 0", "1 1"})), 0);
    for (int j = 0; j < 2; j++) {
        expect_shape(kr[j], 2, 2, 1);
        EXPECT_FALSE(kr[j].init.y);
    }
}

TEST_F(DesignReaders, OtherInputsInvalidateParametersAndRanges)
{
    design_and_responses();
    ASSERT_EQ(ranges(matrix("Variable Min Max", {"a -1 1", "b -2 2"})), 0);
    for (int j = 0; j < 2; j++) {
        kr[j].theta[0] = kr[j].alpha[0] = 1.0;
        kr[j].init.theta = kr[j].init.alpha = TRUE;
    }
    ASSERT_EQ(x(matrix("a b c", {"0 0 0", "1 1 1", "5 5 5"})), 0);
    EXPECT_EQ(report, "Reading from x.mat.\n"
                      "WARNING: The number of x variables has changed: XDescription must be read again.\n")
        << "no range test while the ranges are invalid";
    for (int j = 0; j < 2; j++) {
        expect_shape(kr[j], 3, 3, 1);
        EXPECT_FALSE(kr[j].init.theta);
        EXPECT_FALSE(kr[j].init.alpha);
        EXPECT_FALSE(kr[j].init.range);
        EXPECT_TRUE(kr[j].init.y) << "the number of runs did not change";
        for (int k = 0; k < 3; k++) {
            EXPECT_EQ(kr[j].theta[k], 0.0);
            EXPECT_EQ(kr[j].alpha[k], 0.0);
        }
        EXPECT_STREQ(kr[j].xlabel[2], "c");
    }
    // The bounds of the inputs that were kept are still there for the next
    // XDescription to replace.
    EXPECT_EQ(kr[0].range[1][1], 2.0);

    // Fewer inputs without ranges set: no warning about them.
    ASSERT_EQ(x(matrix("a", {"0", "1", "2"})), 0);
    EXPECT_EQ(report, "Reading from x.mat.\n");
    expect_shape(kr[1], 3, 1, 1);
}

TEST_F(DesignReaders, RangeTestAfterEveryDesign)
{
    ASSERT_EQ(x(matrix("a b", {"0 0", "1 1"})), 0);
    ASSERT_EQ(ranges(matrix("Variable Min Max", {"a 0 1", "b 0 1"})), 0);
    EXPECT_EQ(PtsOutOfRange, 0);
    EXPECT_EQ(x(matrix("a b", {"0 0", "1 1.5"})), 0);
    EXPECT_EQ(report, "Reading from x.mat.\n" + kOutOfRange);
    EXPECT_EQ(PtsOutOfRange, 1);
    EXPECT_EQ(x(matrix("a b", {"-0.001 0", "1 1"})), 0);
    EXPECT_EQ(PtsOutOfRange, 1);
    // Values on the limits are inside.
    EXPECT_EQ(x(matrix("a b", {"0 1", "1 0"})), 0);
    EXPECT_EQ(report, "Reading from x.mat.\n");
    EXPECT_EQ(PtsOutOfRange, 0);
}

// ---- responses ----

TEST_F(DesignReaders, FirstResponsesCreateOneRecordPerColumn)
{
    ASSERT_EQ(x(matrix("a b", {"0 0.5", "0.25 1", "1 0.75"})), 0);
    ASSERT_EQ(ranges(matrix("Variable Min Max", {"a 0 1", "b 0 2"})), 0);
    ASSERT_EQ(y(matrix("f g h", {"1.5 2 NA", "2.5 -1 0", "3.5 4 1e3"})), 0);
    EXPECT_EQ(report, "Reading from y.mat.\n" + kNaWarning);
    EXPECT_TRUE(ka->init);
    EXPECT_FALSE(ka->ydescrip_init);
    ASSERT_EQ(ka->p, 3);
    EXPECT_EQ(ka->c, 0);
    const char *names[] = {"f", "g", "h"};
    for (int j = 0; j < 3; j++) {
        EXPECT_EQ(ka->pvec[j], j);
        EXPECT_EQ(ka->ydescrip[j][0], NA_VALUE);
        EXPECT_EQ(ka->ydescrip[j][1], NO_UPPER_BOUND);
        EXPECT_EQ(ka->ydescrip[j][2], 0.0);
        expect_shape(kr[j], 3, 2, 1);
        EXPECT_STREQ(kr[j].ylabel, names[j]);
        EXPECT_TRUE(kr[j].init.y && kr[j].init.X && kr[j].init.range);
        EXPECT_STREQ(kr[j].xlabel[1], "b");
        EXPECT_EQ(kr[j].X[1][0], 0.25);
        EXPECT_EQ(kr[j].range[1][1], 2.0);
        EXPECT_EQ(kr[j].stochratio[0], 1.0);
        EXPECT_EQ(kr[j].loglike[0], NA_VALUE);
    }
    EXPECT_EQ(kr[0].y[2], 3.5);
    EXPECT_EQ(kr[1].y[1], -1.0);
    EXPECT_EQ(kr[2].y[0], NA_VALUE);
    EXPECT_EQ(kr[2].y[2], 1000.0);
}

TEST_F(DesignReaders, LaterResponsesMustRepeatTheNamesInOrder)
{
    design_and_responses();
    std::string before = snapshot(kr, ka);

    EXPECT_EQ(y(matrix("g f", {"1 2", "3 4", "5 6"})), 9);
    EXPECT_EQ(report, kYAgain + "Reading from y.mat.\n"
                                "ERROR: The variable names do not match with earlier variable names.\n");
    EXPECT_EQ(snapshot(kr, ka), before);

    EXPECT_EQ(y(matrix("f g h", {"1 2 3", "3 4 5", "5 6 7"})), 7);
    EXPECT_EQ(report, kYAgain + "Reading from y.mat.\n"
                                "ERROR: Number of columns does not match with database. Matrix ignored.\n");
    EXPECT_EQ(y(matrix("f", {"1", "3", "5"})), 7);
    EXPECT_EQ(y(matrix("f x", {"1 1", "3 1", "5 1"})), 9) << "a wrong name comes before the count";
    EXPECT_EQ(snapshot(kr, ka), before);

    ASSERT_EQ(y(matrix("f g", {"10 20", "30 40", "50 60"})), 0);
    EXPECT_EQ(report, kYAgain + "Reading from y.mat.\n");
    EXPECT_EQ(kr[0].y[2], 50.0);
    EXPECT_EQ(kr[1].y[0], 20.0);
}

TEST_F(DesignReaders, ResponsesOfAnotherRowCountOrUnreadableAreRefused)
{
    ASSERT_EQ(x(matrix("a b", {"0 0.5", "0.25 1", "1 0.75"})), 0);
    std::string before = snapshot(kr, ka);
    EXPECT_EQ(y(matrix("f g", {"1 2", "3 4"})), 6);
    EXPECT_EQ(report, "Reading from y.mat.\nERROR: Number of rows does not match with database. Matrix ignored.\n");
    EXPECT_EQ(snapshot(kr, ka), before) << "the response set is not fixed by a refused file";
    EXPECT_EQ(y(matrix("f g", {"1 2", "3 x", "5 6"})), 4);
    EXPECT_EQ(report, "Reading from y.mat.\nERROR: Some of the Data cannot be interpreted as a number\n");
    EXPECT_EQ(snapshot(kr, ka), before);
}

// ---- input ranges ----

TEST_F(DesignReaders, RangesInTheOrderOfTheDesignAreStoredInEveryRecord)
{
    design_and_responses();
    ASSERT_EQ(ranges(matrix("Variable NumberLevels Min Max Comment", {"a 3 -1 1 first", "b 5 0.5 2.5e1 second"})),
              0);
    EXPECT_EQ(report, "Reading from r.mat.\n");
    for (int j = 0; j < 2; j++) {
        EXPECT_TRUE(kr[j].init.range);
        EXPECT_EQ(kr[j].range[0][0], -1.0);
        EXPECT_EQ(kr[j].range[0][1], 1.0);
        EXPECT_EQ(kr[j].range[1][0], 0.5);
        EXPECT_EQ(kr[j].range[1][1], 25.0);
    }
    EXPECT_EQ(PtsOutOfRange, 0);
    // Lower-case names; an input out of its new range.
    ASSERT_EQ(ranges(matrix("variable max min", {"a 0.5 0", "b 1 0"})), 0);
    EXPECT_EQ(report, "Reading from r.mat.\n" + kOutOfRange);
    EXPECT_EQ(PtsOutOfRange, 1);
    EXPECT_EQ(kr[1].range[0][1], 0.5);
    EXPECT_EQ(kr[1].range[1][0], 0.0);
}

TEST_F(DesignReaders, RangesWithoutVariableColumnAreTakenInDesignOrder)
{
    ASSERT_EQ(x(matrix("a b", {"0 0", "1 1"})), 0);
    ASSERT_EQ(ranges(matrix("Min Max", {"0 1", "0 1"})), 0);
    EXPECT_EQ(report, "Reading from r.mat.\n"
                      "WARNING: Assuming xdescription contains variables in same order as x matrix\n");
    EXPECT_TRUE(kr->init.range);
    EXPECT_EQ(kr->range[1][1], 1.0);
}

TEST_F(DesignReaders, RangesMissingABoundAreIgnored)
{
    design_and_responses();
    ASSERT_EQ(ranges(matrix("Variable Min Max", {"a 0 1", "b 0 1"})), 0);
    std::string before = snapshot(kr, ka);
    EXPECT_EQ(ranges(matrix("Variable Min", {"a -5", "b -5"})), 0);
    EXPECT_EQ(report, "Reading from r.mat.\nWARNING: 'Min' or/and  'Max' column are missing. Command ignored.\n");
    EXPECT_EQ(snapshot(kr, ka), before);

    // Without ranges before, the flag stays unset.
    ASSERT_EQ(x(matrix("a b c", {"0 0 0", "1 1 1", "2 2 2"})), 0);
    EXPECT_EQ(ranges(matrix("Max", {"1", "1", "1"})), 0);
    EXPECT_EQ(report, "Reading from r.mat.\nWARNING: 'Min' or/and  'Max' column are missing. Command ignored.\n"
                      "WARNING: Assuming xdescription contains variables in same order as x matrix\n");
    EXPECT_FALSE(kr[0].init.range);
    EXPECT_FALSE(kr[1].init.range);
}

TEST_F(DesignReaders, RefusedRangesStoreNothing)
{
    design_and_responses();
    ASSERT_EQ(ranges(matrix("Variable Min Max", {"a 0 1", "b 0 1"})), 0);
    std::string before = snapshot(kr, ka);

    // Min and Max come before the Variable column that fails.
    EXPECT_EQ(ranges(matrix("Min Max Variable", {"-7 7 b", "-7 7 a"})), 1);
    EXPECT_EQ(report, "Reading from r.mat.\nERROR: Variables in matrix are not in same order as in x matrix\n");
    EXPECT_EQ(snapshot(kr, ka), before);

    // Names the system gives by default match only a design named so.
    EXPECT_EQ(ranges(matrix("Variable Min Max", {"x1 -7 7", "x2 -7 7"})), 1);
    EXPECT_EQ(snapshot(kr, ka), before);

    EXPECT_EQ(ranges(matrix("Variable Min Max", {"a -7 7", "b -7 seven"})), 1);
    EXPECT_EQ(report, "Reading from r.mat.\nERROR: Some of the input data is not numeric where it ought to be.\n");
    EXPECT_EQ(ranges(matrix("Variable Min Max", {"a NA 7", "b -7 7"})), 1);
    EXPECT_EQ(snapshot(kr, ka), before);

    EXPECT_EQ(ranges(matrix("Variable Min Max", {"a 0 1", "b 0 1", "c 0 1"})), 4);
    EXPECT_EQ(report,
              "Reading from r.mat.\nERROR: Number of columns in matrix does not match number of x variables\n");
    EXPECT_EQ(ranges(matrix("Variable Min Max", {"a 0 1"})), 4);
    EXPECT_EQ(ranges(matrix("Variable Min Max", {})), 4);
    EXPECT_EQ(report, "Reading from r.mat.\nERROR: There are is no data in matrix\n");
    EXPECT_EQ(snapshot(kr, ka), before);
}

TEST_F(DesignReaders, DefaultNamesReadBackAgainstADesignNamedSo)
{
    ASSERT_EQ(x(matrix("x1 x2", {"0 0", "1 1"})), 0);
    EXPECT_EQ(ranges(matrix("Variable Min Max", {"x1 -7 7", "x2 -7 7"})), 0);
    EXPECT_EQ(kr->range[1][0], -7.0);
}

// ---- round trips through the output commands ----

TEST_F(DesignReaders, DesignResponsesAndRangesReadBackUnchanged)
{
    ASSERT_EQ(x(matrix("alpha_1 b", {"0.12345 -3.5", "1e-5 100", "-0.00001 2", "12345.6789 0"})), 0);
    ASSERT_EQ(ranges(matrix("Variable Min Max", {"alpha_1 -1.25 20000", "b -3.5 100.000001"})), 0);
    ASSERT_EQ(y(matrix("first second third", {"1 2 3", "-0.5 NA 0.03125", "7 8 9", "1e4 2e-5 -3"})), 0);
    std::string before = snapshot(kr, ka);

    output("X", "x_out.mat");
    ASSERT_EQ(x(read_file("x_out.mat")), 0) << report;
    EXPECT_EQ(report, "Reading from x.mat.\n");
    EXPECT_EQ(snapshot(kr, ka), before);

    output("y", "y_out.mat");
    ASSERT_EQ(y(read_file("y_out.mat")), 0) << report;
    EXPECT_EQ(report, kYAgain + "Reading from y.mat.\n" + kNaWarning);
    EXPECT_EQ(snapshot(kr, ka), before);

    output("XDescription", "r_out.mat");
    ASSERT_EQ(ranges(read_file("r_out.mat")), 0) << report;
    EXPECT_EQ(report, "Reading from r.mat.\n");
    EXPECT_EQ(snapshot(kr, ka), before);
}

TEST_F(DesignReaders, OneResponseReadsBack)
{
    ASSERT_EQ(x(matrix("a", {"1", "2"})), 0);
    ASSERT_EQ(y(matrix("response", {"0.5", "-0.25"})), 0);
    std::string before = snapshot(kr, ka);
    output("y", "y_out.mat");
    ASSERT_EQ(y(read_file("y_out.mat")), 0) << report;
    EXPECT_EQ(snapshot(kr, ka), before);
}

} // namespace
