// Matrix file reader: the grammar (preamble, blocks, case column, skipped
// lines), every error code with its message, the storage handed back on
// every return (released with the returned counts, in both allocation
// modes), hostile input, and the number conversions.
#include "matfile/readmat.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "alloc/alloc.h"
#include "reader_support.h"
#include "testutil.h"

namespace {

// One read and the storage it handed back; released with the returned
// counts, which must describe exactly what is allocated.
template <typename Cell> struct Read {
    int code = -1;
    int n = 0, m = 0;
    Cell **mat = nullptr;
    string *labels = nullptr;
    std::string report;

    ~Read() { release(); }
    void release()
    {
        EXPECT_EQ(mat != nullptr, n > 0 && m > 0) << "n " << n << " m " << m;
        EXPECT_EQ(labels != nullptr, m > 0) << "m " << m;
        if (mat != nullptr)
            frei(n, m, &mat);
        if (labels != nullptr)
            frei(m, &labels);
        mat = nullptr;
        labels = nullptr;
    }
    std::vector<std::string> names() const { return std::vector<std::string>(labels, labels + m); }
};

using RealRead = Read<real>;
using TextRead = Read<string>;

template <typename Cell> void run(Read<Cell> &r, const std::string &file)
{
    ReportCapture capture;
    r.code = read_matrix(r.n, r.m, &r.mat, &r.n, &r.m, file.c_str(), &r.labels);
    r.report = capture.take();
}

template <typename Cell> void read_text(Read<Cell> &r, const std::string &content)
{
    write_file("in.mat", content);
    run(r, "in.mat");
}

std::string reading(const std::string &error = "") { return "Reading from in.mat.\n" + error; }

const std::string kSep = "-------\n";

// Each test runs in fast mode and in tracking mode, in a scratch directory,
// and must leave the allocation registries as it found them.
using reader_support::kNaWarning;

class ReadMatrix : public reader_support::AllocationModes {};

INSTANTIATE_TEST_SUITE_P(Modes, ReadMatrix, ::testing::Values(1, 0), reader_support::mode_name);

TEST_P(ReadMatrix, WrittenLayoutWithPreambleAndCaseColumn)
{
    RealRead r;
    read_text(r, "Version 1.304 \nmy comment \n\n"
                 "------------------------------\n"
                 " Case          x1          x2 \n"
                 "------------------------------\n"
                 "    1     0.50000    -2.25000  \n"
                 "    2    10.00000     3.00000  \n");
    ASSERT_EQ(r.code, 0) << r.report;
    EXPECT_EQ(r.report, reading());
    ASSERT_EQ(r.n, 2);
    ASSERT_EQ(r.m, 2);
    EXPECT_EQ(r.names(), (std::vector<std::string>{"x1", "x2"}));
    EXPECT_EQ(r.mat[0][0], 0.5);
    EXPECT_EQ(r.mat[0][1], -2.25);
    EXPECT_EQ(r.mat[1][0], 10.0);
    EXPECT_EQ(r.mat[1][1], 3.0);
}

TEST_P(ReadMatrix, CaseColumnDecidesWhetherTheFirstTokenIsData)
{
    {
        RealRead r;
        read_text(r, kSep + "a b\n" + kSep + "7 1\n8 2\n");
        ASSERT_EQ(r.code, 0);
        ASSERT_EQ(r.n, 2);
        EXPECT_EQ(r.mat[0][0], 7.0);
        EXPECT_EQ(r.mat[1][1], 2.0);
    }
    for (const char *label : {"Case", "case", "CASE"}) {
        RealRead r;
        read_text(r, kSep + label + " a b\n" + kSep + "7 1 2\nanything 3 4\n");
        ASSERT_EQ(r.code, 0) << label;
        ASSERT_EQ(r.m, 2);
        EXPECT_EQ(r.names(), (std::vector<std::string>{"a", "b"}));
        EXPECT_EQ(r.mat[0][0], 1.0);
        EXPECT_EQ(r.mat[0][1], 2.0);
        EXPECT_EQ(r.mat[1][0], 3.0);
    }
    // Another spelling is an ordinary column name.
    RealRead r;
    read_text(r, kSep + "CaSe a\n" + kSep + "7 1\n");
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.names(), (std::vector<std::string>{"CaSe", "a"}));
}

TEST_P(ReadMatrix, LinesWithoutTokensAreNotRows)
{
    RealRead r;
    read_text(r, kSep + "Case a\n" + kSep + "\n1 1.5\n   \t \n# comment\n2 2.5 # trailing\n3\n\n3 3.5\n");
    ASSERT_EQ(r.code, 0);
    ASSERT_EQ(r.n, 3);
    EXPECT_EQ(r.mat[0][0], 1.5);
    EXPECT_EQ(r.mat[1][0], 2.5);
    EXPECT_EQ(r.mat[2][0], 3.5);
}

TEST_P(ReadMatrix, LaterBlocksAddColumnsAndMustMatchTheRows)
{
    std::string first = kSep + "Case a b\n" + kSep + "1 1 2\n2 3 4\n3 5 6\n";
    {
        RealRead r;
        read_text(r, first + kSep + "Case c d e\n" + kSep + "1 7 8 9\n2 10 11 12\n3 13 14 15\n");
        ASSERT_EQ(r.code, 0);
        ASSERT_EQ(r.n, 3);
        ASSERT_EQ(r.m, 5);
        EXPECT_EQ(r.names(), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
        for (int i = 0; i < 3; i++)
            for (int j = 0; j < 5; j++)
                EXPECT_EQ(r.mat[i][j], (j < 2 ? 1 + 2 * i + j : 7 + 3 * i + (j - 2)));
    }
    // A fourth row in the second block, or a missing one: code 8. The
    // storage then holds the columns of both blocks.
    for (const char *rows : {"1 7 8 9\n2 1 1 1\n3 1 1 1\n4 1 1 1\n", "1 7 8 9\n2 1 1 1\n"}) {
        RealRead r;
        read_text(r, first + kSep + "Case c d e\n" + kSep + rows);
        EXPECT_EQ(r.code, 8);
        EXPECT_EQ(r.report, reading("ERROR: Too few or too many rows in a data block\n"));
        EXPECT_EQ(r.n, 3);
        EXPECT_EQ(r.m, 5);
    }
}

TEST_P(ReadMatrix, NotAvailableCells)
{
    RealRead r;
    read_text(r, kSep + "a b\n" + kSep + "NA 1\n2 na\n");
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.report, reading() + kNaWarning);
    EXPECT_EQ(r.mat[0][0], -1e14);
    EXPECT_EQ(r.mat[1][1], -1e14);
    EXPECT_EQ(r.mat[0][1], 1.0);

    // Other spellings are not numbers; no warning when the read fails.
    RealRead bad;
    read_text(bad, kSep + "a b\n" + kSep + "NA 1\n2 Na\n");
    EXPECT_EQ(bad.code, 11);
    EXPECT_EQ(bad.report, reading("ERROR: Some of the Data cannot be interpreted as a number\n"));
}

TEST_P(ReadMatrix, ErrorCodesAndMessages)
{
    struct Case {
        const char *what;
        std::string content;
        int code;
        std::string message;
    };
    const std::string row_count = "ERROR: Too few or too many entries in a row \n";
    const std::string symbols = "ERROR: The symbols <,>,= are not allowed as part of variable names\n";
    const std::string no_header = "ERROR: There is no header line with variable names.\n";
    const std::vector<Case> cases = {
        {"three tokens under two names", kSep + "a b\n" + kSep + "1 2\n1 2 3\n", 3, row_count},
        {"one token under two names", kSep + "a b\n" + kSep + "1\n", 3, row_count},
        {"header of Case only", kSep + "Case\n" + kSep + "1\n", 4, "ERROR: There are no columns in header\n"},
        {"blank header", kSep + "\n" + kSep + "1\n", 4, "ERROR: There are no columns in header\n"},
        {"no data lines", kSep + "a\n" + kSep, 5, "ERROR: There are is no data in matrix\n"},
        {"only blank data lines", kSep + "a\n" + kSep + "\n\n", 5, "ERROR: There are is no data in matrix\n"},
        {"separator as last line", kSep + "a\n" + kSep + "1\n" + kSep, 9, no_header},
        {"no separator at all", "just text\n1 2\n", 9, no_header},
        {"empty file", "", 9, no_header},
        {"header not followed by a separator", kSep + "a\n1\n", 10,
         "ERROR: There is no seperator line '---' after header line.\n"},
        {"file ends after the header", kSep + "a\n", 10,
         "ERROR: There is no seperator line '---' after header line.\n"},
        {"equals sign in a header", kSep + "a = b\n" + kSep + "1 2\n", 2, symbols},
        {"equals sign in a data line", kSep + "a b\n" + kSep + "1 =\n", 2, symbols},
        {"two separators", kSep + "a b\n" + kSep + "1 < > 2\n", 2,
         "Unexpected input: \n\t(1)Input Line should not start with seperator or\n"
         "\t(2) Two seperators should not appear in sequence.\n"},
        {"word in a data cell", kSep + "a\n" + kSep + "1.5x\n", 11,
         "ERROR: Some of the Data cannot be interpreted as a number\n"},
        {"non-finite cells", kSep + "a b\n" + kSep + "1 2\n3 inf\n", 11,
         "ERROR: Some of the Data cannot be interpreted as a number\n"},
        {"nan cell", kSep + "a\n" + kSep + "nan\n", 11, "ERROR: Some of the Data cannot be interpreted as a number\n"},
        {"overflowing cell", kSep + "a\n" + kSep + "-1e400\n", 11,
         "ERROR: Some of the Data cannot be interpreted as a number\n"},
    };
    for (const Case &c : cases) {
        RealRead r;
        read_text(r, c.content);
        EXPECT_EQ(r.code, c.code) << c.what;
        EXPECT_EQ(r.report, reading(c.message)) << c.what;
    }
}

TEST_P(ReadMatrix, TokenLimitsOfALine)
{
    std::string names, row;
    for (int k = 0; k < 29; k++) {
        names += " c" + std::to_string(k);
        row += " " + std::to_string(k);
    }
    RealRead r;
    read_text(r, kSep + names + "\n" + kSep + row + "\n");
    ASSERT_EQ(r.code, 0);
    ASSERT_EQ(r.m, 29);
    EXPECT_EQ(r.mat[0][28], 28.0);

    RealRead over;
    read_text(over, kSep + names + "\n" + kSep + row + " 29\n");
    EXPECT_EQ(over.code, 2);
    EXPECT_EQ(over.report, reading("More Tokens in line than code can handle\n"));

    // A 28-character word is a name; a 29-character one is refused with the
    // file, its line and the limit, and nothing is stored.
    RealRead wide;
    read_text(wide, kSep + std::string(28, 'w') + "\n" + kSep + "1\n");
    ASSERT_EQ(wide.code, 0);
    EXPECT_EQ(wide.names()[0], std::string(28, 'w'));
    RealRead long_name;
    read_text(long_name, "title\n" + kSep + std::string(29, 'w') + "\n" + kSep + "1\n");
    EXPECT_EQ(long_name.code, 2);
    EXPECT_EQ(long_name.report,
              reading("ERROR: Line 3 of in.mat holds a name or value longer than 28 characters. Nothing stored.\n"));
    RealRead long_value;
    read_text(long_value, kSep + "a b\n" + kSep + "1 2\n3 " + std::string(40, '4') + "\n");
    EXPECT_EQ(long_value.code, 2);
    EXPECT_EQ(long_value.report,
              reading("ERROR: Line 5 of in.mat holds a name or value longer than 28 characters. Nothing stored.\n"));
}

TEST_P(ReadMatrix, HeaderAndDataLinesHoldAtMost148Characters)
{
    // 147 characters and the newline.
    std::string header = "a" + std::string(145, ' ') + "b\n";
    std::string data = "1" + std::string(145, ' ') + "2\n";
    ASSERT_EQ(header.size(), 148u);
    RealRead r;
    read_text(r, kSep + header + kSep + data);
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.m, 2);

    const std::string too_long = "ERROR: Input line contains too many characters.\n";
    RealRead h;
    read_text(h, kSep + " " + header + kSep + data);
    EXPECT_EQ(h.code, 43);
    EXPECT_EQ(h.report, reading(too_long));
    RealRead d;
    read_text(d, kSep + header + kSep + data + " " + data);
    EXPECT_EQ(d.code, 43);
    EXPECT_EQ(d.report, reading(too_long));
    // A huge line of short tokens is too long before it is too many tokens.
    std::string huge;
    for (int k = 0; k < 50000; k++)
        huge += "1 ";
    RealRead big;
    read_text(big, kSep + "a b\n" + kSep + "1 2\n" + huge + "\n");
    EXPECT_EQ(big.code, 43);
    // A last line without newline is measured the same way.
    RealRead last;
    read_text(last, kSep + "a b\n" + kSep + data.substr(0, 147));
    EXPECT_EQ(last.code, 0);
}

TEST_P(ReadMatrix, PreambleAndSeparatorLinesAreReadWholeWhateverTheirLength)
{
    // A piece of a long preamble line must not pass for a separator, and the
    // rest of a long separator must not pass for a header.
    std::string long_preamble = std::string(148, 'x') + "-- a b\n" + std::string(5000, 'y') + "\n";
    std::string long_sep = std::string(300, '-') + "\n";
    RealRead r;
    read_text(r, long_preamble + long_sep + "Case a b\n" + long_sep + "1 1 2\n");
    ASSERT_EQ(r.code, 0) << r.report;
    EXPECT_EQ(r.names(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(r.mat[0][1], 2.0);
    // A separator is any line whose first two characters are dashes.
    RealRead s;
    read_text(s, "--x\nb\n--\n5\n");
    ASSERT_EQ(s.code, 0);
    EXPECT_EQ(s.mat[0][0], 5.0);
    RealRead one_dash;
    read_text(one_dash, "-\nb\n--\n5\n");
    EXPECT_EQ(one_dash.code, 10);
}

TEST_P(ReadMatrix, FirstBlockGrowsByTenRowsThenByHalfAndIsTrimmedOnce)
{
    std::string rows;
    for (int i = 0; i < 60; i++)
        rows += std::to_string(i) + " " + std::to_string(2 * i) + "\n";
    RealRead r;
    read_text(r, kSep + "a b\n" + kSep + rows.substr(0, rows.find("25 50")));
    ASSERT_EQ(r.code, 0);
    ASSERT_EQ(r.n, 25);
    for (int i = 0; i < 25; i++)
        EXPECT_EQ(r.mat[i][1], 2.0 * i);
    if (SPEED == 0) {
        EXPECT_EQ(seek_dlist(25, r.mat), 1);
    }

    // A failure in row 13 hands back the 20 rows allocated so far.
    RealRead bad;
    read_text(bad, kSep + "a b\n" + kSep + rows.substr(0, rows.find("12 24")) + "12 x\n");
    EXPECT_EQ(bad.code, 11);
    EXPECT_EQ(bad.n, 20);
    EXPECT_EQ(bad.m, 2);
    if (SPEED == 0) {
        EXPECT_EQ(seek_dlist(20, bad.mat), 1);
    }

    // Beyond 20 rows the storage grows by half: 30, 45, 67 rows.
    RealRead later;
    read_text(later, kSep + "a b\n" + kSep + rows.substr(0, rows.find("50 100")) + "50 x\n");
    EXPECT_EQ(later.code, 11);
    EXPECT_EQ(later.n, 67);
}

TEST_P(ReadMatrix, ThousandsOfColumnsOverManyBlocks)
{
    // 2000 columns in blocks of 1 to 7 columns, 3 rows each; the last block
    // fails in a second pass, after the storage has been widened.
    std::string text = "Version 1.304 \n\n";
    int col = 0, size = 1;
    std::string good_end;
    while (col < 2000) {
        int k = size < 2000 - col ? size : 2000 - col;
        std::string header = "Case", r0 = "1", r1 = "2", r2 = "3";
        for (int j = col; j < col + k; j++) {
            header += " v" + std::to_string(j);
            r0 += " " + std::to_string(j);
            r1 += " " + std::to_string(-j);
            r2 += " " + std::to_string(j) + ".5";
        }
        text += "\n" + kSep + header + "\n" + kSep + r0 + "\n" + r1 + "\n" + r2 + "\n";
        col += k;
        size = size % 7 + 1;
    }
    RealRead r;
    read_text(r, text);
    ASSERT_EQ(r.code, 0);
    ASSERT_EQ(r.n, 3);
    ASSERT_EQ(r.m, 2000);
    for (int j = 0; j < 2000; j++) {
        ASSERT_EQ(std::string(r.labels[j]), "v" + std::to_string(j));
        ASSERT_EQ(r.mat[0][j], j);
        ASSERT_EQ(r.mat[1][j], -j);
        ASSERT_EQ(r.mat[2][j], j + 0.5);
    }
    RealRead bad;
    read_text(bad, text + kSep + "Case w0 w1 w2\n" + kSep + "1 0 0 0\n");
    EXPECT_EQ(bad.code, 8);
    EXPECT_EQ(bad.n, 3);
    EXPECT_EQ(bad.m, 2003);
    EXPECT_EQ(std::string(bad.labels[2002]), "w2");
}

TEST_P(ReadMatrix, ReuseResizesTheStorageHandedIn)
{
    // A 4 x 3 matrix with labels; the file is 15 x 2.
    RealRead r;
    r.n = 4;
    r.m = 3;
    alloc(4, 3, &r.mat);
    alloc(3, &r.labels);
    std::string rows;
    for (int i = 0; i < 15; i++)
        rows += std::to_string(i) + " " + std::to_string(i) + " " + std::to_string(i * i) + "\n";
    read_text(r, kSep + "case p q\n" + kSep + rows);
    ASSERT_EQ(r.code, 0);
    ASSERT_EQ(r.n, 15);
    ASSERT_EQ(r.m, 2);
    EXPECT_EQ(r.names(), (std::vector<std::string>{"p", "q"}));
    EXPECT_EQ(r.mat[14][1], 196.0);

    // A smaller file shrinks it; a file without separators leaves it alone.
    read_text(r, kSep + "a b c d\n" + kSep + "1 2 3 4\n");
    ASSERT_EQ(r.code, 0);
    ASSERT_EQ(r.n, 1);
    ASSERT_EQ(r.m, 4);
    EXPECT_EQ(r.mat[0][3], 4.0);
    read_text(r, "no blocks\n");
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.n, 1);
    EXPECT_EQ(r.m, 4);
    EXPECT_EQ(r.names()[3], "d");

    // A failure in the first block leaves the storage resized and described:
    // the second row grows the one row handed in by ten.
    read_text(r, kSep + "a b\n" + kSep + "1 2\n1\n");
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.n, 11);
    EXPECT_EQ(r.m, 2);
}

TEST_P(ReadMatrix, TextCellsKeepTheirTokens)
{
    TextRead r;
    read_text(r, "Version 1.304 \ncomment \n" + kSep + " Case Variable Min Max\n" + kSep +
                     "  1     x1      0.000000  1.000000 \n  2 x2 NA word\n");
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.report, reading());
    ASSERT_EQ(r.n, 2);
    ASSERT_EQ(r.m, 3);
    EXPECT_EQ(r.names(), (std::vector<std::string>{"Variable", "Min", "Max"}));
    EXPECT_STREQ(r.mat[0][0], "x1");
    EXPECT_STREQ(r.mat[0][2], "1.000000");
    EXPECT_STREQ(r.mat[1][1], "NA");
    EXPECT_STREQ(r.mat[1][2], "word");

    // Text cells share the grammar, its errors and its storage rules.
    TextRead bad;
    read_text(bad, kSep + "a b\n" + kSep + "1 2\n3\n");
    EXPECT_EQ(bad.code, 3);
    EXPECT_EQ(bad.n, 10);
    TextRead blocks;
    read_text(blocks, kSep + "a\n" + kSep + "x\ny\n" + kSep + "b c\n" + kSep + "p q\nr s\n");
    ASSERT_EQ(blocks.code, 0);
    ASSERT_EQ(blocks.m, 3);
    EXPECT_STREQ(blocks.mat[1][2], "s");
}

TEST_P(ReadMatrix, LineEndingsAndControlBytes)
{
    // CRLF line ends read as plain ones, in both forms; a line of 147
    // characters with CRLF is within the limit.
    std::string crlf = "Version\r\n-----\r\nCase a b\r\n-----\r\n1 1 2\r\n2 3 4.5\r\n";
    RealRead r;
    read_text(r, crlf);
    ASSERT_EQ(r.code, 0) << r.report;
    ASSERT_EQ(r.n, 2);
    EXPECT_EQ(r.names()[1], "b");
    EXPECT_EQ(r.mat[1][1], 4.5);
    TextRead t;
    read_text(t, crlf);
    ASSERT_EQ(t.code, 0);
    EXPECT_EQ(t.names()[1], "b");
    EXPECT_STREQ(t.mat[1][1], "4.5");
    RealRead wide;
    read_text(wide, "-----\r\na" + std::string(145, ' ') + "b\r\n-----\r\n1 2\r\n");
    EXPECT_EQ(wide.code, 0) << wide.report;

    // A missing final newline still ends the last row.
    RealRead no_newline;
    read_text(no_newline, kSep + "a\n" + kSep + "1\n2");
    ASSERT_EQ(no_newline.code, 0);
    ASSERT_EQ(no_newline.n, 2);
    EXPECT_EQ(no_newline.mat[1][0], 2.0);

    // A NUL byte ends what the tokenizer sees of a line.
    RealRead nul;
    read_text(nul, kSep + "a b\n" + kSep + std::string("1 2\0 garbage 9\n", 15) + std::string("3 4\0\n", 5));
    ASSERT_EQ(nul.code, 0);
    ASSERT_EQ(nul.n, 2);
    EXPECT_EQ(nul.mat[1][1], 4.0);

    // Bytes above 127 are parts of words.
    RealRead high;
    read_text(high, kSep + "a \xff\xfe\n" + kSep + "1 \x80\n");
    EXPECT_EQ(high.code, 11);
}

TEST_P(ReadMatrix, FilesThatCannotBeRead)
{
    const std::string cannot = "ERROR: Can't open this file. Does it exist?\n";
    RealRead missing;
    run(missing, "no_such.mat");
    EXPECT_EQ(missing.code, 1);
    EXPECT_EQ(missing.report, "Reading from no_such.mat.\n" + cannot);
    EXPECT_EQ(missing.n, 0);

    ASSERT_EQ(mkdir("folder", 0755), 0);
    TextRead folder;
    run(folder, "folder");
    EXPECT_EQ(folder.code, 1);
    EXPECT_EQ(folder.report, "Reading from folder.\n" + cannot);
}

// Truncations and byte mutations of a valid file: every outcome is a
// result code, the storage is described by the counts, and the sanitizer
// build sees no access outside it. Words are kept under 29 characters,
// where the tokenizer would end the program.
TEST_P(ReadMatrix, TruncatedAndMutatedFilesNeverBreakTheReader)
{
    const std::string base = "Version 1.304 \ncomment \n\n" + std::string(20, '-') +
                             "\n Case          x1          x2 \n" + std::string(20, '-') +
                             "\n    1     0.50000    -2.25000  \n    2          NA     3.00000  \n\n" +
                             std::string(18, '-') + "\n Case          y1 \n" + std::string(18, '-') +
                             "\n    1     1.00000  \n    2     2.00000  \n";
    const std::vector<int> codes = {0, 2, 3, 4, 5, 8, 9, 10, 11};
    auto longest_word = [](const std::string &s) {
        size_t best = 0, run_len = 0;
        for (char c : s) {
            bool word = c != ' ' && c != '\t' && c != '\n' && c != '#' && c != '\0' && c != '<' && c != '>' &&
                        c != '=';
            run_len = word ? run_len + 1 : 0;
            best = run_len > best ? run_len : best;
        }
        return best;
    };
    std::vector<std::string> inputs;
    for (size_t cut = 0; cut <= base.size(); cut++)
        inputs.push_back(base.substr(0, cut));
    const char bytes[] = {'\0', '\r', '\n', '-', '#', '=', '<', ' ', 'N', 'A', '.', 'e', '9', '\xff', '\t'};
    unsigned state = 12345;
    for (int k = 0; k < 1500; k++) {
        std::string s = base;
        for (int edits = 0; edits < 3; edits++) {
            state = state * 1103515245u + 12345u;
            size_t pos = (state >> 8) % s.size();
            state = state * 1103515245u + 12345u;
            s[pos] = bytes[(state >> 8) % sizeof bytes];
        }
        if (longest_word(s) < 29)
            inputs.push_back(s);
    }
    ASSERT_GT(inputs.size(), 1500u);
    std::set<int> seen;
    for (const std::string &s : inputs) {
        {
            RealRead r;
            read_text(r, s);
            EXPECT_NE(std::find(codes.begin(), codes.end(), r.code), codes.end()) << r.code;
            if (r.code == 0) {
                EXPECT_TRUE(r.n > 0 && r.m > 0);
            }
            seen.insert(r.code);
        }
        TextRead t;
        read_text(t, s);
        EXPECT_NE(std::find(codes.begin(), codes.end(), t.code), codes.end()) << t.code;
        seen.insert(t.code);
    }
    // The inputs reach every outcome.
    EXPECT_EQ(seen, std::set<int>(codes.begin(), codes.end()));
}

TEST(ReadMatrixCodeBug, NegativeCountsEndTheProgram)
{
    ScratchDir dir;
    write_file("in.mat", kSep + "a b c\n" + kSep + "1 2 3\n");
    real **mat = nullptr;
    string *labels = nullptr;
    int n, m;
    ReportCapture capture;
    EXPECT_FATAL(read_matrix(0, -1, &mat, &n, &m, "in.mat", &labels),
                 "read_matrix: Code Bug , Unrecognized option (1)");
    alloc(3, &labels);
    EXPECT_FATAL(read_matrix(-1, 3, &mat, &n, &m, "in.mat", &labels),
                 "read_matrix: Code Bug, Unrecognized option (2)");
    frei(3, &labels);
}

TEST(StrToReal, ResultCodes)
{
    real v = 99.0;
    EXPECT_EQ(str_to_real("1.5", &v), 0);
    EXPECT_EQ(v, 1.5);
    EXPECT_EQ(str_to_real("-2e-3", &v), 0);
    EXPECT_EQ(v, -0.002);
    EXPECT_EQ(str_to_real("4 ", &v), 0);
    EXPECT_EQ(v, 4.0);
    EXPECT_EQ(str_to_real("5  \t\n ", &v), 0);
    EXPECT_EQ(v, 5.0);
    // The value is stored in every case: strtod gives 0 when nothing is read.
    EXPECT_EQ(str_to_real("abc", &v), 1);
    EXPECT_EQ(v, 0.0);
    EXPECT_EQ(str_to_real("", &v), 1);
    EXPECT_EQ(str_to_real("1.5x", &v), 3);
    EXPECT_EQ(v, 1.5);
    EXPECT_EQ(str_to_real("6\t", &v), 3);
    EXPECT_EQ(str_to_real("6\n", &v), 3);
    EXPECT_EQ(str_to_real("7 x", &v), 2);
    EXPECT_EQ(v, 7.0);
    EXPECT_EQ(str_to_real("7  \t 8", &v), 2);
    // No non-finite value is a number: not as text, not by overflow.
    for (const char *text : {"nan", "NAN", "-nan", "inf", "-Infinity", "1e400", "-1e309", "0x1p1024"})
        EXPECT_EQ(str_to_real(text, &v), 1) << text;
    // Underflow gives a finite number.
    EXPECT_EQ(str_to_real("1e-400", &v), 0);
    EXPECT_EQ(str_to_real("-1.7e308", &v), 0);
}

TEST(StrToReal, NotAvailableSpellings)
{
    real v = 0.0;
    EXPECT_EQ(na_str_to_real("3.25", &v, -1e14), 0);
    EXPECT_EQ(v, 3.25);
    EXPECT_EQ(na_str_to_real("NA", &v, -1e14), 0);
    EXPECT_EQ(v, -1e14);
    v = 0.0;
    EXPECT_EQ(na_str_to_real("na", &v, -7.0), 0);
    EXPECT_EQ(v, -7.0);
    EXPECT_EQ(na_str_to_real("Na", &v, -1e14), 1);
    EXPECT_EQ(na_str_to_real("NA ", &v, -1e14), 1);
    EXPECT_EQ(na_str_to_real("1 x", &v, -1e14), 1);
}

} // namespace
