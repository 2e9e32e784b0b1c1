// Matrix file writer and screen printers: exact layouts (blocks, cell widths,
// long names, NA, append mode), round trips of every writer through the
// reader, the screen forms, and files that cannot be created or written.
#include "matfile/writemat.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "alloc/alloc.h"
#include "matfile/readmat.h"
#include "numeric/nrerror.h"
#include "testutil.h"

namespace {

// A real matrix and its column names, owned by the test.
struct RealTable {
    int n, m;
    real **mat = nullptr;
    string *names = nullptr;
    RealTable(int rows, int cols, const std::vector<std::string> &labels) : n(rows), m(cols)
    {
        alloc(n, m, &mat);
        if (!labels.empty()) {
            alloc(m, &names);
            for (int j = 0; j < m; j++)
                snprintf(names[j], sizeof(string), "%s", labels[j].c_str());
        }
    }
    ~RealTable()
    {
        frei(n, m, &mat);
        if (names != nullptr)
            frei(m, &names);
    }
};

struct TextTable {
    int n, m;
    string **mat = nullptr;
    string *names = nullptr;
    TextTable(int rows, int cols, const std::vector<std::string> &labels) : n(rows), m(cols)
    {
        alloc(n, m, &mat);
        alloc(m, &names);
        for (int j = 0; j < m; j++)
            snprintf(names[j], sizeof(string), "%s", labels[j].c_str());
    }
    ~TextTable()
    {
        frei(n, m, &mat);
        frei(m, &names);
    }
};

// What the reader makes of a file, released at the end of the scope.
template <typename Cell> struct ReadBack {
    int code, n = 0, m = 0;
    Cell **mat = nullptr;
    string *labels = nullptr;
    std::string report;
    explicit ReadBack(const char *file)
    {
        FILE *outer = ofp; // a capture of the test's own may be running
        {
            ReportCapture capture;
            code = read_matrix(0, 0, &mat, &n, &m, file, &labels);
            report = capture.take();
        }
        ofp = outer;
    }
    ~ReadBack()
    {
        if (mat != nullptr)
            frei(n, m, &mat);
        if (labels != nullptr)
            frei(m, &labels);
    }
};

// Deterministic test values in [-1000, 1000) with many decimals.
real test_value(unsigned *state)
{
    *state = *state * 1103515245u + 12345u;
    return ((*state >> 4) % 2000000000u) / 1e6 - 1000.0;
}

// Five decimals are written: a value read back is within half a unit of the
// fifth decimal of the value written.
const real kFiveDecimals = 0.5e-5 * (1 + 1e-9);

std::string dashes(int k) { return std::string(k, '-'); }

class WriteMatrix : public ::testing::Test {
  protected:
    ScratchDir dir;
};

TEST_F(WriteMatrix, TwoNamedColumns)
{
    RealTable t(2, 2, {"x1", "x2"});
    t.mat[0][0] = 0.5;
    t.mat[0][1] = -2.25;
    t.mat[1][0] = 10.0;
    t.mat[1][1] = 3.0;
    ReportCapture capture;
    outputmatr(2, 2, t.mat, "out.mat", t.names, "", "my comment", "w");
    EXPECT_EQ(capture.take(), "Writing to file out.mat.\n");
    EXPECT_EQ(read_file("out.mat"), "Version 1.304 \n"
                                    "my comment \n"
                                    "\n"
                                    "------------------------------\n"
                                    " Case          x1          x2 \n"
                                    "------------------------------\n"
                                    "    1     0.50000    -2.25000  \n"
                                    "    2    10.00000     3.00000  \n");
}

TEST_F(WriteMatrix, SevenColumnsMakeBlocksOfFiveAndTwo)
{
    RealTable t(2, 7, {"a", "b", "c", "d", "e", "f", "g"});
    for (int i = 0; i < 2; i++)
        for (int j = 0; j < 7; j++)
            t.mat[i][j] = 10 * i + j;
    ReportCapture capture;
    outputmatr(2, 7, t.mat, "out.mat", t.names, "", "c", "w");
    std::string expected = "Version 1.304 \nc \n";
    expected += "\n" + dashes(66) + "\n Case           a           b           c           d           e \n" +
                dashes(66) + "\n" +
                "    1     0.00000     1.00000     2.00000     3.00000     4.00000  \n"
                "    2    10.00000    11.00000    12.00000    13.00000    14.00000  \n";
    expected += "\n" + dashes(30) + "\n Case           f           g \n" + dashes(30) + "\n" +
                "    1     5.00000     6.00000  \n"
                "    2    15.00000    16.00000  \n";
    EXPECT_EQ(read_file("out.mat"), expected);
}

TEST_F(WriteMatrix, LongNamesWidenTheirColumns)
{
    // 14 characters: a 16-character column, four extra blanks per cell.
    RealTable t(1, 2, {"x", "abcdefghijklmn"});
    t.mat[0][0] = 1.0;
    t.mat[0][1] = 2.0;
    ReportCapture capture;
    outputmatr(1, 2, t.mat, "out.mat", t.names, "", "c", "w");
    EXPECT_EQ(read_file("out.mat"), "Version 1.304 \nc \n\n" + dashes(34) +
                                        "\n Case           x  abcdefghijklmn \n" + dashes(34) +
                                        "\n    1     1.00000         2.00000  \n");

    // Widths decide the blocks: 6 + 31 + 31 = 68 fits, a third 12 does not.
    RealTable w(1, 3, {std::string(29, 'p'), std::string(29, 'q'), "r"});
    w.mat[0][0] = w.mat[0][1] = w.mat[0][2] = 0.0;
    outputmatr(1, 3, w.mat, "wide.mat", w.names, "", "c", "w");
    std::string text = read_file("wide.mat");
    EXPECT_NE(text.find("\n" + dashes(68) + "\n"), std::string::npos);
    EXPECT_NE(text.find("\n" + dashes(18) + "\n Case           r \n"), std::string::npos);
}

TEST_F(WriteMatrix, NotAvailableCellsAndSpecialValues)
{
    RealTable t(1, 3, {"a", "b", "c"});
    t.mat[0][0] = -1e14;
    t.mat[0][1] = 1e14;
    t.mat[0][2] = -0.000004;
    ReportCapture capture;
    outputmatr(1, 3, t.mat, "out.mat", t.names, "", "c", "w");
    std::string text = read_file("out.mat");
    // -0.00000 would read back as 0: the fewest digits that keep the value.
    EXPECT_NE(text.find("\n    1          NA  100000000000000.00000      -4e-06  \n"), std::string::npos) << text;
    ReadBack<real> r("out.mat");
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.mat[0][0], -1e14);
    EXPECT_EQ(r.mat[0][1], 1e14);
    EXPECT_EQ(r.mat[0][2], -0.000004);
    EXPECT_NE(r.report.find("WARNING: Matrix contains NA values."), std::string::npos);
}

// Values that are not finite numbers are written as they are, but a warning
// names the object first, on the file and on the screen.
TEST_F(WriteMatrix, NonFiniteValuesAreNamed)
{
    RealTable t(2, 2, {"a", "b"});
    t.mat[0][0] = NAN;
    t.mat[0][1] = 1.0;
    t.mat[1][0] = INFINITY;
    t.mat[1][1] = -2.0;
    ReportCapture capture;
    outputmatr(2, 2, t.mat, "bad.mat", t.names, "", "c", "w");
    printmatr(2, 2, t.mat, "Predicted:");
    real fine[2] = {1.0, 2.0};
    printvecr(2, fine, "fine:");
    std::string report = capture.take();
    EXPECT_NE(report.find("WARNING: bad.mat holds 2 values that are not a finite number (nan or inf).\n"
                          "Writing to file bad.mat."),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("WARNING: Predicted: holds 2 values"), std::string::npos) << report;
    EXPECT_EQ(report.find("WARNING: fine:"), std::string::npos) << report;
}

TEST_F(WriteMatrix, HeaderTextWithoutNames)
{
    RealTable t(2, 2, {});
    t.mat[0][0] = 1;
    t.mat[0][1] = 2;
    t.mat[1][0] = 3;
    t.mat[1][1] = 4;
    ReportCapture capture;
    outputmatr(2, 2, t.mat, "out.mat", nullptr, "  p   q", "c", "w");
    EXPECT_EQ(read_file("out.mat"), "Version 1.304 \nc \n\n" + dashes(13) + "\n Case   p   q\n" + dashes(13) +
                                        "\n    1     1.00000     2.00000  \n    2     3.00000     4.00000  \n");
    ReadBack<real> r("out.mat");
    ASSERT_EQ(r.code, 0);
    ASSERT_EQ(r.m, 2);
    EXPECT_STREQ(r.labels[1], "q");
    EXPECT_EQ(r.mat[1][1], 4.0);
}

TEST_F(WriteMatrix, NoColumnsGiveOnlyTheVersionAndComment)
{
    RealTable t(2, 1, {"a"});
    ReportCapture capture;
    outputmatr(2, 0, t.mat, "out.mat", t.names, "", "nothing", "w");
    EXPECT_EQ(read_file("out.mat"), "Version 1.304 \nnothing \n");
    outputmatr(2, 0, t.mat, "out2.mat", nullptr, "", "nothing", "w");
    EXPECT_EQ(read_file("out2.mat"), "Version 1.304 \nnothing \n");
}

TEST_F(WriteMatrix, AppendAddsBlocksThatReadAsMoreColumns)
{
    RealTable first(2, 1, {"x1"});
    first.mat[0][0] = 1;
    first.mat[1][0] = 2;
    RealTable second(2, 1, {"y1"});
    second.mat[0][0] = 3;
    second.mat[1][0] = 4;
    ReportCapture capture;
    outputmatr(2, 1, first.mat, "out.mat", first.names, "", "c", "w");
    std::string before = read_file("out.mat");
    outputmatr(2, 1, second.mat, "out.mat", second.names, "", "ignored", "a");
    EXPECT_EQ(capture.take(), "Writing to file out.mat.\nWriting to file out.mat.\n");
    EXPECT_EQ(read_file("out.mat"), before + "\n" + dashes(18) + "\n Case          y1 \n" + dashes(18) +
                                        "\n    1     3.00000  \n    2     4.00000  \n");
    ReadBack<real> r("out.mat");
    ASSERT_EQ(r.code, 0);
    ASSERT_EQ(r.n, 2);
    ASSERT_EQ(r.m, 2);
    EXPECT_STREQ(r.labels[1], "y1");
    EXPECT_EQ(r.mat[1][1], 4.0);

    // Appending to a missing file creates it, without a version line.
    outputmatr(2, 1, second.mat, "new.mat", second.names, "", "ignored", "a");
    EXPECT_EQ(read_file("new.mat").substr(0, 22), "\n" + dashes(18) + "\n C");
}

TEST_F(WriteMatrix, RealRoundTripOverManyBlocks)
{
    // Names of 1 to 28 characters over several blocks, with NA cells.
    std::vector<std::string> labels;
    for (int j = 0; j < 13; j++)
        labels.push_back(std::string(1 + (j * 9) % 28, (char)('a' + j)));
    RealTable t(12, 13, labels);
    unsigned state = 7;
    for (int i = 0; i < 12; i++)
        for (int j = 0; j < 13; j++)
            t.mat[i][j] = (i + j) % 11 == 5 ? -1e14 : test_value(&state);
    ReportCapture capture;
    outputmatr(12, 13, t.mat, "out.mat", t.names, "", "round trip", "w");
    ReadBack<real> r("out.mat");
    ASSERT_EQ(r.code, 0) << r.report;
    ASSERT_EQ(r.n, 12);
    ASSERT_EQ(r.m, 13);
    for (int j = 0; j < 13; j++)
        EXPECT_EQ(std::string(r.labels[j]), labels[j]);
    for (int i = 0; i < 12; i++)
        for (int j = 0; j < 13; j++) {
            if (t.mat[i][j] == -1e14)
                EXPECT_EQ(r.mat[i][j], -1e14);
            else
                EXPECT_NEAR(r.mat[i][j], t.mat[i][j], kFiveDecimals);
        }
}

TEST_F(WriteMatrix, RealRoundTripBeyondFourDigitRowNumbers)
{
    RealTable t(10001, 3, {"u", "v", "w"});
    unsigned state = 99;
    for (int i = 0; i < t.n; i++)
        for (int j = 0; j < 3; j++)
            t.mat[i][j] = test_value(&state);
    ReportCapture capture;
    outputmatr(t.n, 3, t.mat, "big.mat", t.names, "", "c", "w");
    EXPECT_NE(read_file("big.mat").find("\n 10001 "), std::string::npos);
    ReadBack<real> r("big.mat");
    ASSERT_EQ(r.code, 0);
    ASSERT_EQ(r.n, 10001);
    for (int i = 0; i < t.n; i += 997)
        EXPECT_NEAR(r.mat[i][2], t.mat[i][2], kFiveDecimals);
    EXPECT_NEAR(r.mat[10000][0], t.mat[10000][0], kFiveDecimals);
}

// Every number written reads back as exactly the same double, at every
// magnitude, in the widest blocks (five cells a line) and in the vector and
// range files: the fixed layout where it is exact, the fewest digits that are
// otherwise.
TEST_F(WriteMatrix, EveryMagnitudeReadsBack)
{
    const real mantissa[5] = {1.0, -1.0, 1.2345678901234567, -9.876543210987654, 5.5};
    std::vector<real> values;
    for (int e = -300; e <= 300; e++)
        for (real m : mantissa)
            values.push_back(m * std::pow(10.0, e));
    for (real extreme : {DBL_MAX, -DBL_MAX, DBL_MIN, -4.9e-324, 0.0})
        values.push_back(extreme);
    while (values.size() % 5 != 0)
        values.push_back(1.0);
    RealTable t((int)values.size() / 5, 5, {"aaaaaaaaaa", "bbbbbbbbbb", "cccccccccc", "dddddddddd", "eeeeeeeeee"});
    for (int i = 0; i < t.n; i++)
        for (int j = 0; j < 5; j++)
            t.mat[i][j] = values[5 * i + j];
    ReportCapture capture;
    outputmatr(t.n, 5, t.mat, "out.mat", t.names, "", "magnitudes", "w");
    EXPECT_NE(read_file("out.mat").find("      1e+15      -1e+15 "), std::string::npos);
    EXPECT_NE(read_file("out.mat").find(" 100000000000000.00000 "), std::string::npos);
    ReadBack<real> r("out.mat");
    ASSERT_EQ(r.code, 0) << r.report;
    ASSERT_EQ(r.n, t.n);
    for (int i = 0; i < t.n; i++)
        for (int j = 0; j < 5; j++)
            ASSERT_EQ(r.mat[i][j], t.mat[i][j]) << i << "," << j;

    std::vector<real> column(values.begin(), values.begin() + 400);
    outputvecr((int)column.size(), column.data(), "vec.mat", "y", "c", "w");
    ReadBack<real> v("vec.mat");
    ASSERT_EQ(v.code, 0) << v.report;
    for (size_t i = 0; i < column.size(); i++)
        ASSERT_EQ(v.mat[i][0], column[i]) << i;

    int d = 2;
    KrigModel kr{};
    kr.d = &d;
    alloc(2, 2, &kr.range);
    string names[2] = {"a", "b"};
    kr.xlabel = names;
    kr.range[0][0] = -DBL_MAX;
    kr.range[0][1] = 1e300;
    kr.range[1][0] = -1e22;
    kr.range[1][1] = 1e-300;
    output_range(&kr, "range.mat", "ranges");
    ReadBack<string> rr("range.mat");
    ASSERT_EQ(rr.code, 0) << rr.report;
    for (int k = 0; k < 2; k++)
        for (int side = 0; side < 2; side++) {
            real back = 0.0;
            ASSERT_EQ(str_to_real(rr.mat[k][1 + side], &back), 0) << rr.mat[k][1 + side];
            EXPECT_EQ(back, kr.range[k][side]);
        }
    frei(2, 2, &kr.range);
}

TEST_F(WriteMatrix, TextMatrixLayoutAndRoundTrip)
{
    TextTable t(2, 7, {"a", "b", "c", "d", "e", "f", "name_of_twelve"});
    for (int i = 0; i < 2; i++)
        for (int j = 0; j < 7; j++)
            snprintf(t.mat[i][j], sizeof(string), "%c%d", 'a' + j, i);
    strcpy(t.mat[1][6], "a_cell_of_twenty_chars");
    ReportCapture capture;
    outputmats(2, 7, t.mat, "out.mat", t.names, "", "texts", "w");
    EXPECT_EQ(capture.take(), "Writing to file out.mat.\n");
    std::string expected = "Version 1.304 \ntexts \n" + dashes(66) +
                           "\n Case           a           b           c           d           e \n" + dashes(66) +
                           "\n    1          a0          b0          c0          d0          e0  \n"
                           "    2          a1          b1          c1          d1          e1  \n" +
                           dashes(34) + "\n Case           f  name_of_twelve \n" + dashes(34) +
                           // Four extra blanks before the cells under the 14-character name.
                           "\n    1          f0 " + "    " + "         g0 " + " \n" +
                           "    2          f1 " + "    " + " a_cell_of_twenty_chars " + " \n";
    EXPECT_EQ(read_file("out.mat"), expected);

    ReadBack<string> r("out.mat");
    ASSERT_EQ(r.code, 0);
    ASSERT_EQ(r.n, 2);
    ASSERT_EQ(r.m, 7);
    for (int i = 0; i < 2; i++)
        for (int j = 0; j < 7; j++)
            EXPECT_STREQ(r.mat[i][j], t.mat[i][j]);
    EXPECT_STREQ(r.labels[6], "name_of_twelve");

    // The version and comment lines are written in append mode too.
    outputmats(1, 1, t.mat, "out.mat", t.names, "", "again", "a");
    EXPECT_EQ(read_file("out.mat"),
              expected + "Version 1.304 \nagain \n" + dashes(18) + "\n Case           a \n" + dashes(18) +
                  "\n    1          a0  \n");
}

TEST_F(WriteMatrix, VectorFile)
{
    real v[3] = {1.5, -20.125, 1e-6};
    outputvecr(3, v, "vec.mat", "yname", "a vector", "w");
    EXPECT_EQ(read_file("vec.mat"), "Version 1.304 \na vector \n-------\n Case yname \n-------\n"
                                    "   1      1.50000 \n"
                                    "   2    -20.12500 \n"
                                    "   3        1e-06 \n");
    ReadBack<real> r("vec.mat");
    ASSERT_EQ(r.code, 0);
    ASSERT_EQ(r.n, 3);
    ASSERT_EQ(r.m, 1);
    EXPECT_STREQ(r.labels[0], "yname");
    EXPECT_EQ(r.mat[1][0], -20.125);
    EXPECT_EQ(r.mat[2][0], 1e-6);

    // Appending writes the version line again.
    outputvecr(1, v, "vec.mat", "z", "more", "a");
    EXPECT_NE(read_file("vec.mat").find(" \nVersion 1.304 \nmore \n-------\n Case z \n"), std::string::npos);
}

TEST_F(WriteMatrix, RangeFile)
{
    int d = 2;
    KrigModel kr{};
    kr.d = &d;
    alloc(2, 2, &kr.range);
    string names[2] = {"speed", "x2"};
    kr.xlabel = names;
    kr.range[0][0] = 0.0;
    kr.range[0][1] = 1.0;
    kr.range[1][0] = -2.5;
    kr.range[1][1] = 1234.5678912;
    output_range(&kr, "range.mat", "ranges");
    std::string rule = dashes(58) + "\n";
    EXPECT_EQ(read_file("range.mat"), "Version 1.304 \nranges \n" + rule + " Case Variable Min        Max\n" + rule +
                                          "  1     speed      0.000000  1.000000 \n"
                                          "  2     x2      -2.500000  1234.5678912 \n");
    ReadBack<string> r("range.mat");
    ASSERT_EQ(r.code, 0);
    ASSERT_EQ(r.n, 2);
    ASSERT_EQ(r.m, 3);
    EXPECT_STREQ(r.labels[0], "Variable");
    EXPECT_STREQ(r.labels[2], "Max");
    EXPECT_STREQ(r.mat[0][0], "speed") << "the design's own names, so that the file reads back";
    EXPECT_STREQ(r.mat[1][0], "x2");
    EXPECT_NEAR(atof(r.mat[1][2]), 1234.5678912, 0.5e-6);
    frei(2, 2, &kr.range);
}

TEST_F(WriteMatrix, CoverWritersGoToTheScreenOrToAFile)
{
    RealTable t(22, 2, {"a", "b"});
    for (int i = 0; i < 22; i++) {
        t.mat[i][0] = i;
        t.mat[i][1] = 0.5 * i;
    }
    ReportCapture capture;
    outputmatr_cover(22, 2, t.mat, "screen", t.names, "c");
    EXPECT_EQ(capture.take(), "Sorry, Matrix is to big to be displayed on screen\n");
    outputmatr_cover(2, 2, t.mat, "s", t.names, "c");
    EXPECT_EQ(capture.take(), "sorry, no labels at this time \n"
                              "    0.00000     0.00000 , \n"
                              "    1.00000     0.50000 \n");
    outputmatr_cover(21, 2, t.mat, "screen", t.names, "c");
    std::string shown = capture.take();
    int row_ends = 0;
    for (size_t at = shown.find(", \n"); at != std::string::npos; at = shown.find(", \n", at + 1))
        row_ends++;
    EXPECT_EQ(row_ends, 20);
    EXPECT_NE(shown.find("   20.00000    10.00000 \n"), std::string::npos);

    outputmatr_cover(22, 2, t.mat, "cover.mat", t.names, "cover");
    EXPECT_EQ(capture.take(), "Writing to file cover.mat.\n");
    ReadBack<real> r("cover.mat");
    ASSERT_EQ(r.code, 0);
    ASSERT_EQ(r.n, 22);
    EXPECT_EQ(r.mat[21][1], 10.5);
    EXPECT_EQ(read_file("cover.mat").substr(0, 22), "Version 1.304 \ncover \n");

    TextTable s(22, 2, {"p", "q"});
    for (int i = 0; i < 22; i++) {
        snprintf(s.mat[i][0], sizeof(string), "r%d", i);
        strcpy(s.mat[i][1], "x");
    }
    outputmats_cover(22, 2, s.mat, "s", s.names, "c");
    EXPECT_EQ(capture.take(), "Sorry, Matrix is to big to be displayed on screen\n");
    outputmats_cover(2, 2, s.mat, "screen", s.names, "c");
    EXPECT_EQ(capture.take(), "Sorry, no labels at this time \nr0 x , \nr1 x \n");
    outputmats_cover(22, 2, s.mat, "texts.mat", s.names, "c");
    ReadBack<string> rs("texts.mat");
    ASSERT_EQ(rs.code, 0);
    ASSERT_EQ(rs.n, 22);
    EXPECT_STREQ(rs.mat[21][0], "r21");
}

TEST_F(WriteMatrix, ScreenPrinters)
{
    ReportCapture capture;
    real v[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    printvecr(8, v, "vals");
    EXPECT_EQ(capture.take(), "vals \n"
                              "    1.00000     2.00000     3.00000     4.00000     5.00000     6.00000 \n"
                              "    7.00000     8.00000 \n");
    printvecr(2, v, "two");
    EXPECT_EQ(capture.take(), "two     1.00000     2.00000 \n");
    printvecr(6, v, "six");
    EXPECT_EQ(capture.take(), "six     1.00000     2.00000     3.00000     4.00000     5.00000     6.00000 \n\n");

    string names[7] = {"a", "b", "c", "d", "e", "f", "long_name_here"};
    printvecs(7, names, "names");
    EXPECT_EQ(capture.take(), "names           a           b           c           d           e           f \n"
                              " long_name_here \n");

    RealTable t(2, 7, {});
    for (int i = 0; i < 2; i++)
        for (int j = 0; j < 7; j++)
            t.mat[i][j] = i + 0.25 * j;
    printmatr(2, 7, t.mat, "mat");
    EXPECT_EQ(capture.take(), "mat \n"
                              "    0.00000     0.25000     0.50000     0.75000     1.00000     1.25000 \n"
                              "    1.50000 , \n"
                              "    1.00000     1.25000     1.50000     1.75000     2.00000     2.25000 \n"
                              "    2.50000 \n");

    string row0[2] = {"a", "bb"}, row1[2] = {"ccc", "d"};
    string *rows[2] = {row0, row1};
    printmats(2, 2, rows, "texts");
    EXPECT_EQ(capture.take(), "texts \na bb , \nccc d \n");
}

TEST_F(WriteMatrix, FilesThatCannotBeCreatedEndTheProgram)
{
    RealTable t(1, 1, {"a"});
    t.mat[0][0] = 1.0;
    EXPECT_EXIT(outputmatr(1, 1, t.mat, "no_dir/x.mat", t.names, "", "c", "w"), ::testing::ExitedWithCode(1),
                ::testing::HasSubstr("\n writemat: Can't open/create file no_dir/x.mat. Exit(1) \n"));
    EXPECT_EXIT(outputmats(1, 1, nullptr, "no_dir/x.mat", t.names, "", "c", "a"), ::testing::ExitedWithCode(1),
                ::testing::HasSubstr("\n writemat: Can't open/create file no_dir/x.mat. Exit(1) \n"));
    EXPECT_EXIT(outputvecr(1, t.mat[0], "no_dir/v.mat", "a", "c", "w"), ::testing::ExitedWithCode(1),
                ::testing::HasSubstr("\n writevec: Can't open/create file no_dir/v.mat. Exit(1) \n"));
    int d = 1;
    RealTable range(1, 2, {});
    range.mat[0][0] = 0.0;
    range.mat[0][1] = 1.0;
    KrigModel kr{};
    kr.d = &d;
    kr.range = range.mat;
    EXPECT_FATAL(output_range(&kr, "no_dir/r.mat", "c"), "output_summary: Can't open/create file corpar.mat.");
    EXPECT_FALSE(file_exists("no_dir"));
}

TEST_F(WriteMatrix, OutputThatCannotBeWrittenEndsTheProgram)
{
    // /dev/full accepts the open and refuses every write.
    RealTable t(1, 1, {"a"});
    t.mat[0][0] = 1.0;
    EXPECT_EXIT(outputmatr(1, 1, t.mat, "/dev/full", t.names, "", "c", "w"), ::testing::ExitedWithCode(1),
                ::testing::HasSubstr("\n writemat: Can't write file /dev/full. Exit(1) \n"));
    EXPECT_EXIT(outputvecr(1, t.mat[0], "/dev/full", "a", "c", "a"), ::testing::ExitedWithCode(1),
                ::testing::HasSubstr("\n writevec: Can't write file /dev/full. Exit(1) \n"));
    int d = 1;
    RealTable range(1, 2, {});
    range.mat[0][0] = 0.0;
    range.mat[0][1] = 1.0;
    KrigModel kr{};
    kr.d = &d;
    kr.range = range.mat;
    EXPECT_FATAL(output_range(&kr, "/dev/full", "c"), "output_range: Can't write file /dev/full.");
}

} // namespace

namespace {

// The names in the working directory, sorted.
std::vector<std::string> listing()
{
    std::vector<std::string> names;
    DIR *d = opendir(".");
    while (struct dirent *e = readdir(d))
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
            names.push_back(e->d_name);
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}


// A write that fails part-way (here: the file-size limit, as on a full disk)
// ends the program and leaves the old file as it was, with no temporary file.
TEST_F(WriteMatrix, FailedWriteLeavesTheOldFile)
{
    write_file("x.mat", "old content\n");
    RealTable t(2000, 3, {"a", "b", "c"});
    for (int i = 0; i < t.n; i++)
        for (int j = 0; j < 3; j++)
            t.mat[i][j] = 1.0 / (i + j + 3);
    auto write_beyond_the_limit = [&]() {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit;
        limit.rlim_cur = limit.rlim_max = 4096;
        setrlimit(RLIMIT_FSIZE, &limit);
        ofp = fopen("/dev/null", "w");
        outputmatr(t.n, 3, t.mat, "x.mat", t.names, "", "c", "w");
    };
    EXPECT_EXIT(write_beyond_the_limit(),
        ::testing::ExitedWithCode(1),
        ::testing::HasSubstr("x.mat was not replaced: the file, if any, is as it was before.\n"
                             " writemat: Can't write file x.mat. Exit(1) \n"));
    EXPECT_EQ(read_file("x.mat"), "old content\n");
    EXPECT_EQ(listing(), (std::vector<std::string>{"x.mat"}));
}

// Several writes grouped by one command appear together, at output_end; an
// append outside a group keeps what the file held.
TEST_F(WriteMatrix, GroupedWritesAppearTogether)
{
    write_file("e.mat", "old\n");
    TextTable t(1, 1, {"a"});
    strcpy(t.mat[0][0], "v");
    ReportCapture capture;
    ASSERT_TRUE(output_begin("e.mat"));
    outputmats(1, 1, t.mat, "e.mat", NULL, "a", "first", "w");
    outputmats(1, 1, t.mat, "e.mat", NULL, "a", "second", "a");
    EXPECT_EQ(read_file("e.mat"), "old\n");
    EXPECT_EQ(listing().size(), 2u) << "the file and its temporary";
    output_end();
    // No column names: one block, 6 + strlen("a") dashes wide.
    std::string block = dashes(7) + "\n Case a\n" + dashes(7) + "\n    1           v  \n";
    std::string both = "Version 1.304 \nfirst \n" + block + "Version 1.304 \nsecond \n" + block;
    EXPECT_EQ(read_file("e.mat"), both);
    outputmats(1, 1, t.mat, "e.mat", NULL, "a", "third", "a");
    EXPECT_EQ(read_file("e.mat"), both + "Version 1.304 \nthird \n" + block);
    EXPECT_EQ(listing(), (std::vector<std::string>{"e.mat"}));
    // A group without any write leaves nothing.
    ASSERT_TRUE(output_begin("none.mat"));
    output_end();
    EXPECT_FALSE(file_exists("none.mat"));
}

// The command file and the report are never replaced; a symbolic link is
// followed; a replaced file keeps its permissions.
TEST_F(WriteMatrix, ProtectedFilesLinksAndPermissions)
{
    write_file("commands.cmd", "X < x.mat\n");
    FILE *commands = fopen("commands.cmd", "r");
    protect_from_output(commands);
    ASSERT_EQ(link("commands.cmd", "alias.mat"), 0);
    RealTable t(1, 1, {"a"});
    t.mat[0][0] = 2.0;
    ReportCapture capture;
    for (const char *name : {"commands.cmd", "alias.mat", "./commands.cmd"}) {
        outputmatr(1, 1, t.mat, name, t.names, "", "c", "w");
        EXPECT_EQ(capture.take(), std::string("Sorry, ") + name +
                                      " is the command file or the report of this run. Nothing written.\n");
        EXPECT_FALSE(output_begin(name));
        capture.take();
    }
    EXPECT_EQ(read_file("commands.cmd"), "X < x.mat\n");
    fclose(commands);

    write_file("target.mat", "old\n");
    chmod("target.mat", 0640);
    ASSERT_EQ(symlink("target.mat", "link.mat"), 0);
    outputmatr(1, 1, t.mat, "link.mat", t.names, "", "c", "w");
    struct stat st;
    ASSERT_EQ(lstat("link.mat", &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat("target.mat", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_NE(read_file("target.mat").find("2.00000"), std::string::npos);
    EXPECT_EQ(listing(), (std::vector<std::string>{"alias.mat", "commands.cmd", "link.mat", "target.mat"}));
}

} // namespace
