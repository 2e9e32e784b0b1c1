// Labels and description tables: label lines and their limit, table columns
// by state, shortened labels and numbers, the range and constraint checks.
#include "model/labels.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "alloc/alloc.h"
#include "model/settings.h"
#include "model/krigmodel.h"
#include "testutil.h"

namespace {

using Row = std::vector<std::string>;

// A model array of m y-variables named as given, n observations, d inputs,
// in tracking mode; everything is released and the registries must balance.
class Models : public ::testing::Test {
  protected:
    void SetUp() override
    {
        SPEED = 0;
        start_real = size_list;
        start_dlist = size_dlist;
    }
    void TearDown() override
    {
        if (ka != NULL)
            free_Krig_cover(ka, kr);
        RandomError = FALSE;
        EXPECT_EQ(size_list, start_real);
        EXPECT_EQ(size_dlist, start_dlist);
        SPEED = 1;
    }
    void make(int n, int d, const std::vector<std::string> &names)
    {
        kr = (KrigModel *)malloc(sizeof(KrigModel));
        NULL_KrigModel(kr);
        init_KrigModel(kr, n, d, 1);
        ka = (KrigArray *)malloc(sizeof(KrigArray));
        init_KrigArray(ka);
        if (names.empty())
            return;
        change_krig_p(ka, &kr, (int)names.size());
        for (size_t j = 0; j < names.size(); j++) {
            if (j > 0)
                init_KrigModel(&kr[j], n, d, 1);
            strcpy(kr[j].ylabel, names[j].c_str());
        }
    }
    static Row row(string *cells, int count) { return Row(cells, cells + count); }

    KrigModel *kr = NULL;
    KrigArray *ka = NULL;
    int start_real = 0, start_dlist = 0;
};

TEST_F(Models, GatheredResponsesAndLabelLine)
{
    make(3, 2, {"y1", "y2"});
    for (int i = 0; i < 3; i++) {
        kr[0].y[i] = i + 0.5;
        kr[1].y[i] = -10.0 * i;
    }
    real **ymat = NULL;
    alloc(3, 2, &ymat);
    char label[150];
    EXPECT_EQ(construct_ymat(kr, ka, ymat, label, 150), 0);
    EXPECT_STREQ(label, "y1     y2     ");
    EXPECT_EQ(ymat[2][0], 2.5);
    EXPECT_EQ(ymat[2][1], -20.0);
    EXPECT_EQ(ymat[0][1], 0.0);
    frei(3, 2, &ymat);
}

TEST_F(Models, LabelLineLimitIs149Characters)
{
    // Five names of 20 and one of 19 characters: 5 * 25 + 24 = 149.
    std::string a(20, 'a'), b(19, 'b');
    make(1, 1, {a, a, a, a, a, b});
    real **ymat = NULL;
    alloc(1, 6, &ymat);
    char label[150];
    EXPECT_EQ(construct_ymat(kr, ka, ymat, label, 150), 0);
    EXPECT_EQ(strlen(label), 149u);
    strcat(kr[5].ylabel, "b"); // now 150 with its blanks
    EXPECT_EQ(construct_ymat(kr, ka, ymat, label, 150), 1);
    EXPECT_EQ(strlen(label), 125u);
    EXPECT_FATAL(construct_ymat(kr, NULL, ymat, label, 150), "Code Bug construct_ymat : ka == NULL");
    frei(1, 6, &ymat);
}

TEST_F(Models, CorrelationTableForTwoResponses)
{
    make(4, 2, {"y1", "y2"});
    for (int j = 0; j < 2; j++) {
        strcpy(kr[j].xlabel[0], "x1");
        strcpy(kr[j].xlabel[1], "x2");
        for (int i = 0; i < 2; i++) {
            kr[j].theta[i] = 0.25 * (i + 1) + j;
            kr[j].alpha[i] = 1.5 - 0.5 * i;
        }
    }
    string **table = NULL, *names = NULL;
    alloc(2, 5, &table);
    alloc(5, &names);
    // Parameters not estimated are written as missing.
    kr[1].init.theta = TRUE;
    construct_cormat(kr, ka, table, names);
    EXPECT_EQ(row(table[0], 5), (Row{"x1", "NA", "NA", "1.250000", "NA"}));
    for (int j = 0; j < 2; j++)
        kr[j].init.theta = kr[j].init.alpha = TRUE;
    construct_cormat(kr, ka, table, names);
    EXPECT_EQ(row(names, 5), (Row{"Variable", "Theta.y1", "Alpha.y1", "Theta.y2", "Alpha.y2"}));
    EXPECT_EQ(row(table[0], 5), (Row{"x1", "0.250000", "1.500000", "1.250000", "1.500000"}));
    EXPECT_EQ(row(table[1], 5), (Row{"x2", "0.500000", "1.000000", "1.500000", "1.000000"}));

    // Without a response set: the single model given.
    construct_cormat(kr, NULL, table, names);
    EXPECT_EQ(row(names, 3), (Row{"Variable", "Theta.y1", "Alpha.y1"}));
    frei(2, 5, &table);
    frei(5, &names);
}

TEST_F(Models, LongNamesAreShortenedAndStayDistinct)
{
    // Names of 25 characters that agree in their first 24.
    std::string stem = "abcdefghijklmnopqrstuvwx";
    make(2, 1, {stem + "1", stem + "2"});
    string **table = NULL, *names = NULL;
    alloc(1, 5, &table);
    alloc(5, &names);
    construct_cormat(kr, ka, table, names);
    // 6 prefix characters + 20 of the name + "~k" = 28, the longest word a
    // matrix file may hold.
    EXPECT_EQ(row(names, 5), (Row{"Variable", "Theta.abcdefghijklmnopqrst~1", "Alpha.abcdefghijklmnopqrst~1",
                                  "Theta.abcdefghijklmnopqrst~2", "Alpha.abcdefghijklmnopqrst~2"}));
    frei(1, 5, &table);
    frei(5, &names);

    // A name that fits exactly is kept whole: 6 + 22 = 28; one more is cut.
    strcpy(kr[0].ylabel, std::string(22, 'z').c_str());
    string labels[4] = {"Theta", "Alpha", "", ""};
    label_suffix(kr, 2, 2, labels);
    EXPECT_EQ(std::string(labels[0]), "Theta." + std::string(22, 'z'));
    EXPECT_EQ(std::string(labels[3]), "Alpha.abcdefghijklmnopqrst~2");
    strcpy(kr[0].ylabel, std::string(23, 'z').c_str());
    strcpy(labels[0], "Theta");
    strcpy(labels[1], "Alpha");
    label_suffix(kr, 2, 2, labels);
    EXPECT_EQ(std::string(labels[0]), "Theta." + std::string(20, 'z') + "~1");
}

TEST_F(Models, LabelSuffixRepeatsTheBasesPerResponse)
{
    make(2, 1, {"y1", "y2"});
    string labels[6] = {"CvPred", "CvSe", "CvEi"};
    label_suffix(kr, 2, 3, labels);
    EXPECT_EQ(row(labels, 6), (Row{"CvPred.y1", "CvSe.y1", "CvEi.y1", "CvPred.y2", "CvSe.y2", "CvEi.y2"}));

    string names[2];
    assemble_ylab(ka, kr, names);
    EXPECT_EQ(row(names, 2), (Row{"y1", "y2"}));
}

TEST_F(Models, RegressionTable)
{
    make(3, 1, {});
    string **table = NULL, *names = NULL;
    int rows = -1, cols = -1;
    // No y file read yet: nothing to show, nothing allocated.
    EXPECT_EQ(construct_beta(ka, kr, &table, &names, &rows, &cols), 1);
    EXPECT_EQ(table, nullptr);
    free_Krig_cover(ka, kr);

    make(3, 1, {"y1", "y2"});
    kr[1].beta[0] = 2.5;
    kr[1].init.beta = TRUE;
    ASSERT_EQ(construct_beta(ka, kr, &table, &names, &rows, &cols), 0);
    ASSERT_EQ(rows, 2);
    ASSERT_EQ(cols, 3);
    EXPECT_EQ(row(names, 3), (Row{"Variable", "Term", "Coefficients"}));
    EXPECT_EQ(row(table[0], 3), (Row{"y1", "1", "NA"}));
    EXPECT_EQ(row(table[1], 3), (Row{"y2", "1", "2.500000"}));
    frei(rows, cols, &table);
    frei(cols, &names);

    // A coefficient too long for "%f" in a cell: the fewest digits that read back.
    kr[0].beta[0] = -1e25;
    kr[0].init.beta = TRUE;
    ASSERT_EQ(construct_beta(NULL, kr, &table, &names, &rows, &cols), 0);
    EXPECT_EQ(rows, 1);
    EXPECT_STREQ(table[0][2], "-1e+25");
    EXPECT_EQ(strtod(table[0][2], NULL), -1e25);
    frei(rows, cols, &table);
    frei(cols, &names);
}

TEST_F(Models, DescriptionColumnsFollowTheState)
{
    make(5, 1, {"y1", "y2"});
    string **table = NULL, *names = NULL;
    int rows = 0, cols = 0;
    auto build = [&]() {
        if (table != NULL) {
            frei(rows, cols, &table);
            frei(cols, &names);
        }
        EXPECT_EQ(construct_ydescrip(ka, kr, &table, &names, &rows, &cols), 0);
    };

    kr[0].init.y = kr[1].init.y = TRUE;
    build();
    EXPECT_EQ(row(names, cols), (Row{"Variable", "NumberObs"}));
    EXPECT_EQ(row(table[1], cols), (Row{"y2", "5"}));

    RandomError = TRUE;
    build();
    EXPECT_EQ(row(names, cols), (Row{"Variable", "ErrorVariance", "NumberObs"}));
    EXPECT_EQ(row(table[0], cols), (Row{"y1", "NA", "5"}));

    // After a fit: process variance 0.8 * 2 and error variance (1 - 0.8) * 2,
    // which in doubles is 0.3999999999999999 (1 - 0.8 = 0.19999999999999996):
    // the table holds the very number, not "0.400000".
    for (int j = 0; j < 2; j++) {
        kr[j].var[0] = 2.0;
        kr[j].stochratio[0] = 0.8;
        kr[j].init.var = TRUE;
    }
    kr[0].loglike[0] = -12.25;
    build();
    EXPECT_EQ(row(names, cols),
              (Row{"Variable", "LogLikelihood", "StochasticProcessVariance", "ErrorVariance", "NumberObs"}));
    EXPECT_EQ(row(table[0], cols), (Row{"y1", "-12.250000", "1.600000", "0.3999999999999999", "5"}));
    EXPECT_EQ(row(table[1], cols), (Row{"y2", "NA", "1.600000", "0.3999999999999999", "5"}));

    RandomError = FALSE;
    ka->ydescrip_init = TRUE;
    ka->ydescrip[1][YDESC_MIN] = 0.0;
    ka->ydescrip[1][YDESC_CONSTRAINT] = 1.0;
    build();
    EXPECT_EQ(cols, 7);
    EXPECT_EQ(row(names, cols).back(), "Constraint");
    EXPECT_EQ(row(table[0], cols), (Row{"y1", "-12.250000", "1.600000", "5", "NA", "NA", "FALSE"}));
    EXPECT_EQ(row(table[1], cols), (Row{"y2", "NA", "1.600000", "5", "0.000000", "NA", "TRUE"}));

    ka->ydescrip[0][YDESC_CONSTRAINT] = 0.5;
    EXPECT_FATAL(build(), "construct_ydescrip : Code BUG, ka->ydescrip!=0 or 1");
    frei(rows, cols, &table);
    frei(cols, &names);
}

TEST_F(Models, DescriptionWithoutResponses)
{
    make(2, 1, {});
    string **table = NULL, *names = NULL;
    int rows = 0, cols = 0;
    EXPECT_EQ(construct_ydescrip(ka, kr, &table, &names, &rows, &cols), 1);
    EXPECT_EQ(construct_ydescrip(NULL, kr, &table, &names, &rows, &cols), 1);
    EXPECT_EQ(names, nullptr);
}

TEST(RangeTest, LimitsAreInside)
{
    real lo_hi[2][2] = {{0.0, 1.0}, {-2.0, 2.0}};
    real *range[2] = {lo_hi[0], lo_hi[1]};
    real pts[2][2] = {{1.0, -2.0}, {0.0, 2.0}};
    real *X[2] = {pts[0], pts[1]};
    EXPECT_EQ(test_X_in_range(2, 2, X, range), 0);
    pts[1][1] = 2.0000001;
    EXPECT_EQ(test_X_in_range(2, 2, X, range), 1);
    pts[1][1] = 0.0;
    pts[0][0] = -1e-12;
    EXPECT_EQ(test_X_in_range(2, 2, X, range), 1);
}

TEST(ConstraintCheck, OnlyConstrainedColumnsAgainstTheirBounds)
{
    // Column 0: constraint with lower bound 0 only; column 1: the same bound
    // but unconstrained; column 2: constraint with upper bound 5.
    real desc[3][3] = {{0.0, NO_UPPER_BOUND, 1.0}, {0.0, NO_UPPER_BOUND, 0.0}, {NA_VALUE, 5.0, 1.0}};
    real *ydesc[3] = {desc[0], desc[1], desc[2]};
    real vals[1][3] = {{3.0, -0.5, 5.0}};
    real *y[1] = {vals[0]};
    EXPECT_EQ(check_constraints(1, 3, y, ydesc), 0);
    vals[0][0] = -0.5;
    EXPECT_EQ(check_constraints(1, 3, y, ydesc), 1);
    vals[0][0] = 3.0;
    vals[0][2] = 5.5;
    EXPECT_EQ(check_constraints(1, 3, y, ydesc), 1);
    vals[0][2] = -1e13; // no lower bound on column 2
    EXPECT_EQ(check_constraints(1, 3, y, ydesc), 0);
    vals[0][1] = NA_VALUE; // unconstrained: not looked at
    EXPECT_EQ(check_constraints(1, 3, y, ydesc), 0);
    vals[0][0] = NA_VALUE;
    EXPECT_FATAL(check_constraints(1, 3, y, ydesc), "ERROR : y contains NA values when checked for constraints");
}

} // namespace
