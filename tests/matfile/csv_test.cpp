// Matrix files as CSV: round trips through the writers and the reader (every
// magnitude, NA, names that need quotes), the grammar of the files read, the
// storage handed back in both allocation modes, and the refusals' result
// codes. The exact messages are checked by the end-to-end case csv_refusals.
#include "matfile/csv.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "alloc/alloc.h"
#include "matfile/readmat.h"
#include "matfile/writemat.h"
#include "reader_support.h"
#include "testutil.h"

namespace {

class Csv : public reader_support::AllocationModes {};

INSTANTIATE_TEST_SUITE_P(Modes, Csv, ::testing::Values(1, 0), reader_support::mode_name);

// A read through the matrix reader's entry point, released on destruction
// with the counts it handed back.
template <typename Cell> struct CsvRead {
    int code = -1;
    int n = 0, m = 0;
    Cell **mat = nullptr;
    string *labels = nullptr;
    std::string report;
    explicit CsvRead(const std::string &file, int oldn = 0, int oldm = 0, Cell **old = nullptr,
                  string *old_labels = nullptr)
    {
        n = oldn;
        m = oldm;
        mat = old;
        labels = old_labels;
        ReportCapture capture;
        code = read_matrix(n, m, &mat, &n, &m, file.c_str(), &labels);
        report = capture.take();
    }
    ~CsvRead()
    {
        EXPECT_EQ(mat != nullptr, n > 0 && m > 0);
        EXPECT_EQ(labels != nullptr, m > 0);
        if (mat != nullptr)
            frei(n, m, &mat);
        if (labels != nullptr)
            frei(m, &labels);
    }
};

TEST(CsvName, OnlyNamesEndingInCsvAreCsv)
{
    EXPECT_TRUE(is_csv_file("a.csv"));
    EXPECT_TRUE(is_csv_file("dir/B.CSV"));
    EXPECT_FALSE(is_csv_file(".csv"));
    EXPECT_FALSE(is_csv_file("a.csv.mat"));
    EXPECT_FALSE(is_csv_file("acsv"));
    EXPECT_FALSE(is_csv_file("screen"));
}

// Every magnitude a real can hold, its negatives, values that need all 17
// digits, and NA, written by the matrix writer and read back bit for bit.
TEST_P(Csv, RealMatrixRoundTripIsExact)
{
    std::vector<real> values = {0.0,       1e-300,  -1e-300, 4.9406564584124654e-324, 2.2250738585072014e-308,
                                1e300,     -1e300,  1.7976931348623157e308, 0.1, 1.0 / 3.0, -2.0 / 7.0,
                                123456789.0, 1e15, 1e16 + 2, 0.30000000000000004, 1e-5, NA_VALUE, 42.0};
    int n = (int)values.size() / 3, m = 3;
    real **mat = nullptr;
    alloc(n, m, &mat);
    for (int i = 0; i < n; i++)
        for (int j = 0; j < m; j++)
            mat[i][j] = values[i * m + j];
    string names[3] = {"a", "with,comma", "q\"uote"};
    {
        ReportCapture capture;
        outputmatr(n, m, mat, "round.csv", names, NULL, "ignored comment", "w");
        EXPECT_EQ(capture.take(), "Writing to file round.csv.\n");
    }
    CsvRead<real> r("round.csv");
    ASSERT_EQ(r.code, 0) << r.report;
    ASSERT_EQ(r.n, n);
    ASSERT_EQ(r.m, m);
    for (int j = 0; j < m; j++)
        EXPECT_STREQ(r.labels[j], names[j]);
    for (int i = 0; i < n; i++)
        for (int j = 0; j < m; j++) {
            // Same value and same sign, zero included.
            EXPECT_EQ(r.mat[i][j], mat[i][j]) << i << "," << j;
            EXPECT_EQ(std::signbit(r.mat[i][j]), std::signbit(mat[i][j]));
        }
    EXPECT_NE(r.report.find("WARNING: Matrix contains NA values."), std::string::npos);
    // The header quotes the names that need it; NA stays NA.
    std::string text = read_file("round.csv");
    EXPECT_EQ(text.substr(0, text.find('\n')), "a,\"with,comma\",\"q\"\"uote\"");
    EXPECT_NE(text.find(",NA,"), std::string::npos);
    frei(n, m, &mat);
}

// A header text instead of names gives one name per word (the responses,
// the effects tables); appending continues the table without a header.
TEST_P(Csv, HeaderTextAndAppendedRows)
{
    real **mat = nullptr;
    alloc(2, 2, &mat);
    mat[0][0] = 1.5;
    mat[0][1] = -2;
    mat[1][0] = 3;
    mat[1][1] = 4e-7;
    {
        ReportCapture capture;
        outputmatr(2, 2, mat, "y.csv", NULL, "y1     g     ", "y Matrix", "w");
        outputmatr(2, 2, mat, "y.csv", NULL, "y1     g     ", "y Matrix", "a");
        outputmatr(1, 2, mat, "f.csv", NULL, "F", "F Matrix", "w");
        real v[3] = {1, 0.5, NA_VALUE};
        outputvecr(3, v, "v.csv", "yield", "y Matrix", "w");
    }
    EXPECT_EQ(read_file("y.csv"), "y1,g\n1.5,-2\n3,4e-07\n1.5,-2\n3,4e-07\n");
    EXPECT_EQ(read_file("f.csv"), "V1,V2\n1.5,-2\n");
    EXPECT_EQ(read_file("v.csv"), "yield\n1\n0.5\nNA\n");
    frei(2, 2, &mat);
}

// Text tables: every word of a cell is a cell, as the matrix reader would
// take it; read back in the text form.
TEST_P(Csv, TextTableRoundTrip)
{
    string **table = nullptr;
    alloc(2, 2, &table);
    snprintf(table[0][0], STRING_LEN, "x1  x2");
    snprintf(table[0][1], STRING_LEN, "0.25");
    snprintf(table[1][0], STRING_LEN, "x1  x3");
    snprintf(table[1][1], STRING_LEN, "NA");
    {
        ReportCapture capture;
        outputmats(2, 2, table, "joint.csv", NULL, "  Term1 Term2  Effect", "JointEffects", "w");
    }
    EXPECT_EQ(read_file("joint.csv"), "Term1,Term2,Effect\nx1,x2,0.25\nx1,x3,NA\n");
    CsvRead<string> r("joint.csv");
    ASSERT_EQ(r.code, 0) << r.report;
    ASSERT_EQ(r.n, 2);
    ASSERT_EQ(r.m, 3);
    EXPECT_STREQ(r.mat[1][1], "x3");
    EXPECT_STREQ(r.mat[1][2], "NA");
    frei(2, 2, &table);
}

// The grammar: blanks around cells, quotes, CRLF, a byte order mark, blank
// lines, a case column, a last line without a line end, long lines.
TEST_P(Csv, GrammarOfTheFilesRead)
{
    std::string wide = "c0";
    std::string row = "0";
    for (int j = 1; j < 60; j++) {
        wide += ",c" + std::to_string(j);
        row += "," + std::to_string(j) + ".0000000001";
    }
    struct Row {
        std::string text;
        int n, m;
        real last; // the last cell of the last row
    } rows[] = {
        {"a,b\n1,2\n", 1, 2, 2},
        {"\xEF\xBB\xBF a , \"b\" \r\n 1 ,\t\"2.5\" \r\n\r\n3,4", 2, 2, 4},
        {"Case,a\n7,1\n8,-1e-300\n", 2, 1, -1e-300},
        {"case,a,b\n\n\n1,2,na\n", 1, 2, NA_VALUE},
        {wide + "\n" + row + "\n" + row + "\n", 2, 60, 59.0000000001},
    };
    for (const Row &c : rows) {
        write_file("g.csv", c.text);
        CsvRead<real> r("g.csv");
        ASSERT_EQ(r.code, 0) << c.text << r.report;
        EXPECT_EQ(r.n, c.n);
        EXPECT_EQ(r.m, c.m);
        EXPECT_EQ(r.mat[r.n - 1][r.m - 1], c.last) << c.text;
    }
}

// Refusals give the reader's codes and hand back nothing (a fresh read) or
// the storage handed in, unchanged (reuse).
TEST_P(Csv, RefusalsKeepTheStorageHandedIn)
{
    struct Row {
        const char *text;
        int code;
    } rows[] = {
        {"", 9},
        {"\n \n", 9},
        {"a,b\n", 5},
        {"a,b\n1,2\n3\n", 3},
        {"a,b\n1,2,3\n", 3},
        {"a,b\n1,x\n", 11},
        {"a,b\n1,\n", 11},
        {"a,b\n1,nan\n", 11},
        {"a,b\n1,1e400\n", 11},
        {"a,\"b\n1,2\n", 2},
        {"a,\"b\"c\n1,2\n", 2},
        {"a,b c\n1,2\n", 2},
        {"a,b=c\n1,2\n", 2},
        {"a,abcdefghijklmnopqrstuvwxyz123\n1,2\n", 2},
        {",b\n1,2\n", 4},
        {"Case\n1\n", 4},
    };
    for (const Row &c : rows) {
        write_file("bad.csv", c.text);
        {
            CsvRead<real> r("bad.csv");
            EXPECT_EQ(r.code, c.code) << c.text << r.report;
            EXPECT_EQ(r.mat, nullptr);
        }
        real **old = nullptr;
        string *old_labels = nullptr;
        alloc(3, 2, &old);
        alloc(2, &old_labels);
        old[2][1] = 7.5;
        CsvRead<real> r("bad.csv", 3, 2, old, old_labels);
        EXPECT_EQ(r.code, c.code) << c.text;
        EXPECT_EQ(r.mat, old);
        EXPECT_EQ(r.n, 3);
        EXPECT_EQ(r.m, 2);
        EXPECT_EQ(r.mat[2][1], 7.5);
    }
    // A NUL byte in a line.
    write_file("nul.csv", std::string("a,b\n1,\0" "2\n", 8));
    CsvRead<real> r("nul.csv");
    EXPECT_EQ(r.code, 2) << r.report;
    EXPECT_NE(r.report.find("Line 2 of nul.csv holds a NUL byte"), std::string::npos) << r.report;
}

// Reuse mode: the storage handed in is replaced by the file's shape.
TEST_P(Csv, ReuseReplacesTheStorage)
{
    write_file("x.csv", "p,q,r\n1,2,3\n4,5,6\n7,8,9\n10,11,12\n");
    real **old = nullptr;
    string *old_labels = nullptr;
    alloc(2, 5, &old);
    alloc(5, &old_labels);
    CsvRead<real> r("x.csv", 2, 5, old, old_labels);
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.n, 4);
    EXPECT_EQ(r.m, 3);
    EXPECT_EQ(r.mat[3][2], 12.0);
    EXPECT_STREQ(r.labels[2], "r");
}

} // namespace
