// Object output beyond the command loop's reach: the gathered y file in all
// its widths (header text while the reader accepts the lines, column names
// otherwise; every file reads back), the forms used without a response set
// (the dumps), the labels of the correlation matrix, and the programming
// errors of menu_print.
#include "interp/inout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "alloc/alloc.h"
#include "kriging/correlation.h"
#include "model/reports.h"
#include "matfile/readmat.h"
#include "session.h"
#include "testutil.h"

namespace {

// A y file of three rows with the given names; the columns are split into
// blocks of three so that long names stay within the reader's line length.
// Cell (i, j) holds base + i + j / 100.
std::string y_file(const std::vector<std::string> &names, double base)
{
    std::string text = "responses\n";
    for (size_t first = 0; first < names.size(); first += 3) {
        text += "-----\n Case";
        for (size_t j = first; j < names.size() && j < first + 3; j++)
            text += " " + names[j];
        text += "\n-----\n";
        for (int i = 0; i < 3; i++) {
            text += std::to_string(i + 1);
            for (size_t j = first; j < names.size() && j < first + 3; j++)
                text += " " + fixed5(base + i + j / 100.0);
            text += "\n";
        }
    }
    return text;
}

// A session with a three-run design and the y-variables of y_file.
void load(Session &s, const std::vector<std::string> &names, double base = 0.5)
{
    write_file("x.mat", matrix_text("design", {"a", "b"}, {{"0.1", "0.2"}, {"0.3", "0.4"}, {"0.5", "0.6"}}));
    write_file("y.mat", y_file(names, base));
    s.read("X", "x.mat");
    s.read("y", "y.mat");
    ASSERT_EQ(s.report(), "Reading from x.mat.\nReading from y.mat.\n");
    ASSERT_EQ(s.ka->p, (int)names.size());
}

// Names of `count` characters: a letter followed by digits.
std::vector<std::string> names_of_length(const std::vector<int> &lengths)
{
    std::vector<std::string> names;
    for (size_t j = 0; j < lengths.size(); j++) {
        std::string name(1, (char)('a' + j));
        while ((int)name.size() < lengths[j])
            name += std::to_string(name.size() % 10);
        names.push_back(name);
    }
    return names;
}

// The y file written by "y > out.mat" reads back with the y-variables' names
// and values, whichever header form it has. Returns the file's text.
std::string write_and_read_back(Session &s, const std::vector<std::string> &names, double base = 0.5)
{
    s.write("y", "out.mat");
    EXPECT_EQ(s.report(), "Writing to file out.mat.\n");
    real **mat = NULL;
    string *labels = NULL;
    int n = 0, m = 0;
    {
        Quiet quiet;
        EXPECT_EQ(read_matrix(0, 0, &mat, &n, &m, "out.mat", &labels), 0) << read_file("out.mat");
    }
    EXPECT_EQ(n, 3);
    EXPECT_EQ(m, (int)names.size());
    if (n == 3 && m == (int)names.size()) {
        for (int j = 0; j < m; j++) {
            EXPECT_EQ(labels[j], names[j]);
            for (int i = 0; i < 3; i++)
                EXPECT_EQ(fixed5(mat[i][j]), fixed5(base + i + j / 100.0)) << i << "," << j;
        }
    }
    if (mat != NULL)
        frei(n, m, &mat);
    if (labels != NULL)
        frei(m, &labels);
    return read_file("out.mat");
}

// The header line of the first block of a written file.
std::string header_line(const std::string &file)
{
    size_t dashes = file.find("\n-");
    size_t start = file.find('\n', dashes + 1) + 1;
    return file.substr(start, file.find('\n', start) - start + 1);
}

TEST(GatheredY, LabelLineAsHeaderText)
{
    Session s;
    load(s, {"f", "g"});
    std::string file = write_and_read_back(s, {"f", "g"});
    EXPECT_EQ(file, "Version 1.304 \n"
                    "y Matrix \n"
                    "\n"
                    "------------------\n"
                    " Case f     g     \n"
                    "------------------\n"
                    "    1     0.50000     0.51000  \n"
                    "    2     1.50000     1.51000  \n"
                    "    3     2.50000     2.51000  \n");
    s.print("y");
    EXPECT_EQ(s.report(), "y Label: f     g     \n"
                          "y: \n"
                          "    0.50000     0.51000 , \n"
                          "    1.50000     1.51000 , \n"
                          "    2.50000     2.51000 \n");
}

TEST(GatheredY, HeaderOfAtMost148CharactersKeepsTheLabelLine)
{
    // Label line of 141 characters: " Case ", the line and its newline make
    // 148.
    std::vector<std::string> names = names_of_length({24, 23, 23, 23, 23});
    Session s;
    load(s, names);
    std::string header = header_line(write_and_read_back(s, names));
    EXPECT_EQ(header.size(), 148u);
    EXPECT_EQ(header.substr(0, 6 + 29), " Case " + names[0] + "     ");
}

TEST(GatheredY, LongerHeaderGivesColumnNames)
{
    // Label line of 146 characters: it fits its buffer but not the reader.
    std::vector<std::string> names = names_of_length({25, 24, 24, 24, 24});
    Session s;
    load(s, names);
    std::string header = header_line(write_and_read_back(s, names));
    EXPECT_EQ(header, " Case  " + names[0] + "  " + names[1] + " \n");
}

TEST(GatheredY, LabelLineBeyondItsBufferIsPrintedWhole)
{
    std::vector<std::string> names = names_of_length({28, 28, 28, 28, 28, 28});
    Session s;
    load(s, names);
    write_and_read_back(s, names);
    s.print("y");
    std::string expected = "y Label: ";
    for (const auto &name : names)
        expected += name + "     ";
    std::string shown = s.report();
    EXPECT_EQ(shown.substr(0, shown.find('\n') + 1), expected + "\n");
}

TEST(GatheredY, ElevenColumnsFitTwelveDoNot)
{
    std::vector<std::string> names;
    for (int j = 0; j < 12; j++)
        names.push_back("v" + std::to_string(j));
    {
        // Rows of 6 + 11 * 12 + 2 = 140 characters.
        std::vector<std::string> eleven(names.begin(), names.begin() + 11);
        Session s;
        load(s, eleven);
        std::string header = header_line(write_and_read_back(s, eleven));
        EXPECT_EQ(header.substr(0, 12), " Case v0    ");
    }
    {
        // 152 characters: column names, in blocks of five.
        Session s;
        load(s, names);
        std::string header = header_line(write_and_read_back(s, names));
        EXPECT_EQ(header, " Case          v0          v1          v2          v3          v4 \n");
    }
}

TEST(GatheredY, ValuesWiderThanTheirFieldGiveColumnNames)
{
    // Eleven columns of values above a million: 15-character cells, rows of
    // 173 characters that the header-text form could not read back.
    std::vector<std::string> names;
    for (int j = 0; j < 11; j++)
        names.push_back("v" + std::to_string(j));
    Session s;
    load(s, names, 1234567.0);
    std::string header = header_line(write_and_read_back(s, names, 1234567.0));
    EXPECT_EQ(header, " Case          v0          v1          v2          v3          v4 \n");
}

TEST(WithoutResponseSet, OneModelAsItsOwnSet)
{
    Session s;
    load(s, {"f", "g"});
    // The second model alone, as the dumps write it.
    KrigModel *second = &s.kr[1];
    menu_print(&second, NULL, ACTION_PRINT, "y", "screen");
    EXPECT_EQ(s.report(), "y Label: g\n"
                          "y:     0.51000     1.51000     2.51000 \n");
    menu_print(&second, NULL, ACTION_OUTPUT, "y", "g.mat");
    EXPECT_EQ(s.report(), "");
    EXPECT_EQ(read_file("g.mat"), "Version 1.304 \n"
                                  "y Matrix \n"
                                  "-------\n"
                                  " Case g \n"
                                  "-------\n"
                                  "   1      0.51000 \n"
                                  "   2      1.51000 \n"
                                  "   3      2.51000 \n");

    write_file("corpar.mat", matrix_text("parameters", {"Variable", "Theta.f", "Alpha.f", "Theta.g", "Alpha.g"},
                                         {{"a", "1", "0", "2", "0.5"}, {"b", "3", "1", "4", "1.5"}}));
    s.read("corpar", "corpar.mat");
    s.report();
    menu_print(&second, NULL, ACTION_PRINT, "StochasticProcessModel", "screen");
    EXPECT_EQ(s.report(), "Sorry, no labels at this time \n"
                          "a 2.000000 0.500000 , \n"
                          "b 4.000000 1.500000 \n");
    // With the set, both pairs.
    s.print("corpar");
    EXPECT_EQ(s.report(), "Sorry, no labels at this time \n"
                          "a 1.000000 0.000000 2.000000 0.500000 , \n"
                          "b 3.000000 1.000000 4.000000 1.500000 \n");
}

TEST(CorrelationMatrixFile, OneColumnPerObservation)
{
    Session s;
    load(s, {"f"});
    s.kr[0].theta[0] = 1.0;
    s.kr[0].theta[1] = 2.0;
    s.kr[0].init.theta = s.kr[0].init.alpha = TRUE;
    ensure_init(&s.kr[0], "R");
    s.write("R", "r.mat");
    real **mat = NULL;
    string *labels = NULL;
    int n = 0, m = 0;
    ASSERT_EQ(read_matrix(0, 0, &mat, &n, &m, "r.mat", &labels), 0);
    ASSERT_EQ(n, 3);
    ASSERT_EQ(m, 3);
    for (int j = 0; j < 3; j++) {
        EXPECT_EQ(std::string(labels[j]), "Obs." + std::to_string(j + 1));
        for (int i = 0; i < 3; i++)
            EXPECT_EQ(fixed5(mat[i][j]), fixed5(s.kr[0].R[i][j]));
    }
    EXPECT_EQ(fixed5(mat[0][1]), fixed5(std::exp(-1.0 * 0.04 - 2.0 * 0.04)));
    frei(n, m, &mat);
    frei(m, &labels);
    EXPECT_EQ(read_file("r.mat").substr(0, 35), "Version 1.304 \nCorrelation Matrix \n");
}

TEST(MenuPrint, ProgrammingErrorsAreFatal)
{
    Session s;
    EXPECT_FATAL(menu_print(&s.kr, NULL, ACTION_READ, "X", "x.mat"), "menu_print: Code Bug , ka==NULL");
    EXPECT_FATAL(menu_print(&s.kr, s.ka, ACTION_PRINT, "Z", "screen"), "menu_print: Code Bug, unknown object");
}

} // namespace
