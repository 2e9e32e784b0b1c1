// Readers of the correlation parameters, the regression model and the
// response descriptions: every result code with its message, files checked
// whole before anything is stored, NA cells, the growth of the response set by
// a first description, the random-error split of the variance, bounds and the
// constraint split, and round trips through the writers. Everything runs in
// tracking allocation mode and the registries must balance.
#include "matfile/readmodel.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "alloc/alloc.h"
#include "matfile/objects.h"
#include "model/settings.h"
#include "matfile/readdesign.h"
#include "model/krigmodel.h"
#include "reader_support.h"
#include "testutil.h"

namespace {

using namespace reader_support;

const std::string kNotNumeric = "ERROR: Some of the input data is not numeric where it ought to be.\n";
const std::string kTerm = "WARNING: Term should be 1 for intercept, nothing else is implemented right now\n";

class ModelReaders : public StoreTest {
  protected:
    int corpar(const std::string &content)
    {
        return read_with("c.mat", content, [this](const char *f) { return read_corpar(kr, ka, f); });
    }
    int beta(const std::string &content)
    {
        return read_with("b.mat", content, [this](const char *f) { return read_beta(&kr, ka, f); });
    }
    int ydescrip(const std::string &content)
    {
        return read_with("d.mat", content, [this](const char *f) { return read_ydescrip(&kr, ka, f); });
    }
    void design(const std::string &content)
    {
        write_file("x.mat", content);
        ReportCapture capture;
        ASSERT_EQ(read_x(kr, ka, "x.mat"), 0);
    }
    void responses(const std::string &content)
    {
        write_file("y.mat", content);
        ReportCapture capture;
        ASSERT_EQ(read_y(&kr, ka, "y.mat"), 0) << capture.take();
    }
    // The 3-run design a, b and the responses f, g.
    void design_and_responses()
    {
        design(matrix("a b", {"0 0.5", "0.25 1", "1 0.75"}));
        responses(matrix("f g", {"1.5 2", "2.5 -1", "3.5 4"}));
    }
    std::string reading(const char *file, const std::string &rest = "")
    {
        return std::string("Reading from ") + file + ".\n" + rest;
    }
};

// ---- correlation parameters ----

TEST(ReadCorpar, NoResponseSetIsFatal)
{
    KrigModel *kr = (KrigModel *)malloc(sizeof(KrigModel));
    NULL_KrigModel(kr);
    init_KrigModel(kr, 3, 2, 1);
    EXPECT_FATAL(read_corpar(kr, NULL, "c.mat"), "read_corpar: code bug : ka==NULL");
    free_KrigModel(kr);
    free(kr);
}

TEST_F(ModelReaders, CorrelationParametersOfOneResponse)
{
    design(matrix("a b", {"0 0.5", "0.25 1", "1 0.75"}));
    responses(matrix("y", {"1", "2", "3"}));
    kr->init.R = kr->init.U = TRUE;
    ASSERT_EQ(corpar(matrix("Variable Theta.y Alpha.y", {"a 0.5 1.75", "b 2e-3 0"})), 0);
    EXPECT_EQ(report, reading("c.mat"));
    EXPECT_TRUE(kr->init.theta && kr->init.alpha);
    EXPECT_FALSE(kr->init.R);
    EXPECT_FALSE(kr->init.U);
    EXPECT_EQ(kr->theta[0], 0.5);
    EXPECT_EQ(kr->theta[1], 0.002);
    EXPECT_EQ(kr->alpha[0], 1.75);
    EXPECT_EQ(kr->alpha[1], 0.0);
}

TEST_F(ModelReaders, CorrelationColumnsFindTheirModelByName)
{
    design_and_responses();
    kr[1].init.R = kr[1].init.U = TRUE;
    ASSERT_EQ(corpar(matrix("alpha.g Term Theta.g theta.f Alpha.f", {"2 a 20 10 1", "1.5 b 21 11 0.5"})), 0);
    EXPECT_EQ(report, reading("c.mat"));
    EXPECT_EQ(kr[0].theta[0], 10.0);
    EXPECT_EQ(kr[0].theta[1], 11.0);
    EXPECT_EQ(kr[0].alpha[1], 0.5);
    EXPECT_EQ(kr[1].theta[1], 21.0);
    EXPECT_EQ(kr[1].alpha[0], 2.0);
    EXPECT_EQ(kr[1].alpha[1], 1.5);
    for (int j = 0; j < 2; j++) {
        EXPECT_TRUE(kr[j].init.theta && kr[j].init.alpha);
        EXPECT_FALSE(kr[j].init.R || kr[j].init.U) << "stale correlation matrix of model " << j;
    }
}

TEST_F(ModelReaders, RefusedCorrelationFilesStoreNothing)
{
    design(matrix("a b", {"0 0.5", "0.25 1", "1 0.75"}));
    responses(matrix("y", {"1", "2", "3"}));
    ASSERT_EQ(corpar(matrix("Variable Theta.y Alpha.y", {"a 1 1", "b 1 1"})), 0);
    kr->init.R = kr->init.U = TRUE;

    struct Case {
        std::string file;
        int code;
        std::string message;
    };
    const Case cases[] = {
        {matrix("Variable Theta.z Alpha.y", {"a 5 1", "b 5 1"}), 10,
         "ERROR: Name of a response variable (appended to Theta) unknown\n"},
        {matrix("Variable Theta.y Alpha.z", {"a 5 1", "b 5 1"}), 11,
         "ERROR: Name of a response variable (appended to Alpha) unknown\n"},
        {matrix("Variable Theta Alpha.y", {"a 5 1", "b 5 1"}), 10,
         "ERROR: Name of a response variable (appended to Theta) unknown\n"},
        {matrix("Variable Theta.y Alpha", {"a 5 1", "b 5 1"}), 11,
         "ERROR: Name of a response variable (appended to Alpha) unknown\n"},
        {matrix("Variable Theta.y Scale.y", {"a 5 1", "b 5 1"}), 12, "ERROR: Couldn't identify label Scale.y .\n"},
        {matrix("Variable Theta.y Alpha.y", {"b 5 1", "a 5 1"}), 2,
         "ERROR: Variables in Matrix do not appear in same order as in x matrix\n"},
        {matrix("term Theta.y Alpha.y", {"a 5 1", "c 5 1"}), 2,
         "ERROR: Variables in Matrix do not appear in same order as in x matrix\n"},
        {matrix("Variable Theta.y Alpha.y", {"a 5 1"}), 5, "ERROR: Matrix contains too few or too many rows.\n"},
        {matrix("Variable Theta.y Alpha.y", {"a 5 1", "b 5 1", "c 5 1"}), 5,
         "ERROR: Matrix contains too few or too many rows.\n"},
        {matrix("Variable Theta.y", {"a 5", "b 5"}), 1, "ERROR: Matrix contains too few or too many columns.\n"},
        {matrix("Variable Theta.y Alpha.y Theta.y", {"a 5 5 5", "b 5 5 5"}), 1,
         "ERROR: Matrix contains too few or too many columns.\n"},
        // The second row fails: its first row is not stored either.
        {matrix("Variable Theta.y Alpha.y", {"a 5 1", "b 5 five"}), 4, kNotNumeric},
        {matrix("Variable Theta.y Alpha.y", {"a 5 1", "b 5 5x"}), 4, kNotNumeric},
        {matrix("Variable Theta.y Alpha.y", {"a 5 1", "b 5"}), 4, "ERROR: Too few or too many entries in a row \n"},
        {matrix("Variable Theta.y Alpha.y", {"a 5 1", "b inf 1"}), 4, kNotNumeric},
        {matrix("Variable Theta.y Alpha.y", {"a 5 nan", "b 5 1"}), 4, kNotNumeric},
        // Parameters outside the domain of the correlation function.
        {matrix("Variable Theta.y Alpha.y", {"a 5 1", "b 5 2.5"}), 13,
         "ERROR: Alpha.y = 2.5 for input variable b: alpha must lie in [0, 2]. Nothing stored.\n"},
        {matrix("Alpha.y Theta.y term", {"-1e-09 5 a", "1 5 b"}), 13,
         "ERROR: Alpha.y = -1e-09 for input variable a: alpha must lie in [0, 2]. Nothing stored.\n"},
        {matrix("Variable Theta.y Alpha.y", {"a -0.25 1", "b 5 1"}), 13,
         "ERROR: Theta.y = -0.25 for input variable a: theta must not be negative. Nothing stored.\n"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(corpar(c.file), c.code) << c.file;
        EXPECT_EQ(report, reading("c.mat", c.message)) << c.file;
        // The parameters stay as they were, but are no longer valid.
        EXPECT_EQ(kr->theta[0], 1.0);
        EXPECT_EQ(kr->theta[1], 1.0);
        EXPECT_EQ(kr->alpha[1], 1.0);
        EXPECT_FALSE(kr->init.theta || kr->init.alpha || kr->init.R || kr->init.U) << c.file;
    }
    {
        ReportCapture capture;
        EXPECT_EQ(read_corpar(kr, ka, "missing.mat"), 4);
    }
}

TEST_F(ModelReaders, CorrelationColumnsOfNaAreNotStored)
{
    design_and_responses();
    // Model g was estimated before; the file has its parameters as NA (as
    // the writer shows parameters that are not valid).
    kr[1].theta[0] = 7.0;
    kr[1].init.theta = kr[1].init.alpha = TRUE;
    ASSERT_EQ(corpar(matrix("Variable Theta.f Alpha.f Theta.g Alpha.g", {"a 1 2 NA 1", "b 3 0.4 5 na"})), 0);
    EXPECT_EQ(report, reading("c.mat"));
    EXPECT_EQ(kr[0].theta[1], 3.0);
    EXPECT_EQ(kr[0].alpha[1], 0.4);
    EXPECT_TRUE(kr[0].init.theta && kr[0].init.alpha);
    EXPECT_EQ(kr[1].theta[0], 7.0) << "a column with NA sets nothing";
    EXPECT_EQ(kr[1].theta[1], 0.0);
    EXPECT_EQ(kr[1].alpha[0], 0.0);
    EXPECT_TRUE(kr[1].init.theta && kr[1].init.alpha);

    // In the first model, whose flags are cleared on entry, NA leaves the
    // parameters invalid.
    ASSERT_EQ(corpar(matrix("Variable Theta.f Alpha.f Theta.g Alpha.g", {"a NA NA 1 1", "b NA NA 1 1"})), 0);
    EXPECT_FALSE(kr[0].init.theta || kr[0].init.alpha);
    EXPECT_EQ(kr[0].theta[1], 3.0);
    EXPECT_EQ(kr[1].theta[0], 1.0);
}

TEST_F(ModelReaders, CorrelationNamesAreNotCheckedWithoutADesign)
{
    // The start-up record has no design; its response set is fixed by a
    // first description of one y-variable named y.
    ASSERT_EQ(ydescrip(matrix("Variable", {"y"})), 0);
    ASSERT_EQ(corpar(matrix("Variable Theta.y Alpha.y", {"anything 1 2", "else 3 0.4"})), 0) << report;
    EXPECT_EQ(kr->theta[1], 3.0);
}

// ---- regression model ----

TEST_F(ModelReaders, FirstRegressionModelFixesTheResponseSetAndCopiesTheDesign)
{
    design(matrix("a b", {"0 0.5", "0.25 1", "1 0.75"}));
    write_file("r.mat", matrix("Variable Min Max", {"a 0 1", "b 0 1"}));
    {
        ReportCapture capture;
        ASSERT_EQ(read_xdescrip(kr, ka, "r.mat"), 0);
    }
    ASSERT_EQ(beta(matrix("Variable Term Coefficients", {"f 1 0.5", "g 1 -2", "h 1 NA"})), 0);
    EXPECT_EQ(report, reading("b.mat"));
    ASSERT_TRUE(ka->init);
    EXPECT_EQ(ka->p, 3);
    EXPECT_EQ(ka->c, 0);
    const char *names[] = {"f", "g", "h"};
    for (int j = 0; j < 3; j++) {
        EXPECT_STREQ(kr[j].ylabel, names[j]);
        EXPECT_FALSE(kr[j].init.n);
        EXPECT_TRUE(kr[j].init.d);
        EXPECT_FALSE(kr[j].init.y);
        EXPECT_EQ(kr[j].n[0], 3);
        EXPECT_TRUE(kr[j].init.X && kr[j].init.range);
        EXPECT_EQ(kr[j].X[2][1], 0.75);
        EXPECT_STREQ(kr[j].xlabel[1], "b");
        EXPECT_EQ(kr[j].range[1][1], 1.0);
    }
    EXPECT_EQ(kr[0].beta[0], 0.5);
    EXPECT_EQ(kr[1].beta[0], -2.0);
    EXPECT_TRUE(kr[0].init.beta && kr[1].init.beta);
    EXPECT_FALSE(kr[2].init.beta) << "an NA coefficient is not estimated";

    // The responses must then come under those names, in that order.
    write_file("y.mat", matrix("f h g", {"1 2 3", "4 5 6", "7 8 9"}));
    {
        ReportCapture capture;
        EXPECT_EQ(read_y(&kr, ka, "y.mat"), 9);
    }
    responses(matrix("f g h", {"1 2 3", "4 5 6", "7 8 9"}));
    for (int j = 0; j < 3; j++)
        EXPECT_TRUE(kr[j].init.n && kr[j].init.y);
    EXPECT_EQ(kr[2].y[2], 9.0);
    EXPECT_EQ(kr[0].beta[0], 0.5);
}

TEST_F(ModelReaders, FirstRegressionModelWithoutDesign)
{
    ASSERT_EQ(beta(matrix("Variable Coefficients", {"f 1", "g 2"})), 0);
    ASSERT_EQ(ka->p, 2);
    EXPECT_FALSE(kr[1].init.X);
    EXPECT_EQ(kr[1].n[0], 21);
    EXPECT_EQ(kr[1].d[0], 2);
    EXPECT_EQ(kr[1].beta[0], 2.0);
    // A design read now reshapes both records.
    design(matrix("a b c", {"0 0 0", "1 1 1"}));
    for (int j = 0; j < 2; j++) {
        EXPECT_EQ(kr[j].n[0], 2);
        EXPECT_EQ(kr[j].d[0], 3);
        EXPECT_TRUE(kr[j].init.X);
        EXPECT_EQ(seek_dlist(2, kr[j].X), 1);
        EXPECT_EQ(seek_list(3, kr[j].theta), 1);
    }
    responses(matrix("f g", {"1 2", "3 4"}));
    EXPECT_EQ(kr[1].y[1], 4.0);
}

TEST_F(ModelReaders, RegressionTermsAndColumnNames)
{
    design_and_responses();
    ASSERT_EQ(beta(matrix("term variable coefficients", {"2 f 1.5", "1 g 2.5"})), 0);
    EXPECT_EQ(report, reading("b.mat", kTerm));
    EXPECT_EQ(kr[0].beta[0], 1.5) << "the coefficient is stored all the same";
    EXPECT_EQ(kr[1].beta[0], 2.5);
    ASSERT_EQ(beta(matrix("Term Variable Beta", {"0 f 3", "3 g 4"})), 0);
    EXPECT_EQ(report, reading("b.mat", kTerm + kTerm));
    EXPECT_EQ(kr[1].beta[0], 4.0);
    ASSERT_EQ(beta(matrix("Variable Intercept Coef", {"f 9 5", "g 9 6"})), 0) << "other names are ignored";
    EXPECT_EQ(report, reading("b.mat"));
    EXPECT_EQ(kr[0].beta[0], 5.0);
}

TEST_F(ModelReaders, RegressionModelWithoutNamesOrCoefficients)
{
    design_and_responses();
    EXPECT_EQ(beta(matrix("Term Coefficients", {"1 0.25", "1 0.75"})), 22);
    EXPECT_EQ(report, reading("b.mat", "WARNING: No names for response variables given.\n"));
    EXPECT_EQ(kr[0].beta[0], 0.25);
    EXPECT_EQ(kr[1].beta[0], 0.75);
    EXPECT_TRUE(kr[0].init.beta && kr[1].init.beta);

    EXPECT_EQ(beta(matrix("Variable Term", {"f 1", "g 1"})), 0);
    EXPECT_EQ(report,
              reading("b.mat", "WARNING: Matrix did not contain a `beta` column and could not be read.\n\n"));
    EXPECT_FALSE(kr[0].init.beta);
    EXPECT_TRUE(kr[1].init.beta) << "only the first model's flag is cleared on entry";
    EXPECT_EQ(kr[1].beta[0], 0.75);
}

TEST_F(ModelReaders, RefusedRegressionFilesStoreNothing)
{
    design_and_responses();
    ASSERT_EQ(beta(matrix("Variable Coefficients", {"f 1", "g 2"})), 0);
    std::string before_second = std::to_string(kr[1].beta[0]);

    EXPECT_EQ(beta(matrix("Variable Coefficients", {"g 5", "f 6"})), 21);
    EXPECT_EQ(report, reading("b.mat", "ERROR: Unsuspected Variable names for reponse(s).\n"
                                       "ERROR: Unsuspected Variable names for reponse(s).\n"));
    EXPECT_FALSE(kr[0].init.beta);
    EXPECT_EQ(kr[0].beta[0], 1.0);
    EXPECT_EQ(kr[1].beta[0], 2.0);
    EXPECT_TRUE(kr[1].init.beta);
    EXPECT_STREQ(kr[0].ylabel, "f");

    EXPECT_EQ(beta(matrix("Variable Term Coefficients X", {"f 1 5 0", "g 1 6 0"})), 4);
    EXPECT_EQ(report, reading("b.mat", "ERROR: Matrix contains too many columns.\n"));
    EXPECT_EQ(beta(matrix("Variable Coefficients", {"f 5"})), 7);
    EXPECT_EQ(report, reading("b.mat", "ERROR: Number of rows in matrix does not match with database.\n"));
    EXPECT_EQ(beta(matrix("Variable Coefficients", {"f 5", "g 6", "h 7"})), 7);
    EXPECT_EQ(beta(matrix("Variable Coefficients", {"f 5", "g six"})), 4);
    EXPECT_EQ(report, reading("b.mat", kNotNumeric));
    EXPECT_EQ(beta(matrix("Variable Coefficients", {"f 5", "g"})), 4);
    {
        ReportCapture capture;
        EXPECT_EQ(read_beta(&kr, ka, "missing.mat"), 4);
    }
    EXPECT_EQ(kr[0].beta[0], 1.0);
    EXPECT_EQ(kr[1].beta[0], 2.0);
    EXPECT_FALSE(kr[0].init.beta);
}

TEST_F(ModelReaders, RefusedFirstRegressionModelLeavesTheResponseSetUnfixed)
{
    EXPECT_EQ(beta(matrix("Variable Coefficients", {"f 5", "g x"})), 4);
    EXPECT_FALSE(ka->init);
    EXPECT_EQ(model_count(ka), 1);
    EXPECT_STREQ(kr->ylabel, "EMPTY");
}

// ---- response descriptions ----

TEST_F(ModelReaders, ProcessAndErrorVarianceGiveTotalVarianceAndShare)
{
    design_and_responses();
    ASSERT_EQ(ydescrip(matrix("Variable StochasticProcessVariance ErrorVariance LogLikelihood",
                              {"f 3 1 -12.5", "g 2 NA NA"})),
              0);
    EXPECT_EQ(report, reading("d.mat"));
    EXPECT_EQ(kr[0].var[0], 3.0 + 1.0);
    EXPECT_EQ(kr[0].stochratio[0], 3.0 / (3.0 + 1.0));
    EXPECT_EQ(kr[0].loglike[0], -12.5);
    EXPECT_EQ(kr[1].var[0], 2.0);
    EXPECT_EQ(kr[1].stochratio[0], 1.0);
    EXPECT_EQ(kr[1].loglike[0], NA_VALUE);
    EXPECT_TRUE(kr[0].init.var && kr[1].init.var);
    EXPECT_TRUE(RandomError);
    EXPECT_FALSE(ka->ydescrip_init) << "no bound or constraint column";

    // 1.6 and 0.4, as written for var 2 and share 0.8.
    ASSERT_EQ(ydescrip(matrix("Variable StochasticProcessVariance ErrorVariance", {"f 1.6 0.4", "g 1 0"})), 0);
    EXPECT_DOUBLE_EQ(kr[0].var[0], 2.0);
    EXPECT_DOUBLE_EQ(kr[0].stochratio[0], 0.8);
    EXPECT_EQ(kr[1].var[0], 1.0);
}

TEST_F(ModelReaders, ErrorVarianceWithoutUsableProcessVariance)
{
    design_and_responses();
    ASSERT_EQ(ydescrip(matrix("Variable ErrorVariance", {"f 1", "g -2"})), 0);
    EXPECT_EQ(report, reading("d.mat", "ErrorVariance ignored since no StochasticProcess Variance present\n"
                                       "ERROR: Error Variance negative. Ignored."));
    EXPECT_TRUE(RandomError) << "a positive error variance switches random error on";
    EXPECT_FALSE(kr[0].init.var);
    EXPECT_EQ(kr[0].stochratio[0], 1.0);

    ASSERT_EQ(ydescrip(matrix("Variable StochasticProcessVariance ErrorVariance", {"f NA 1", "g 2 -1e14"})), 0);
    EXPECT_EQ(report, reading("d.mat", "ErrorVariance ignored since no StochasticProcess Variance present\n"));
    EXPECT_TRUE(kr[0].init.var) << "an NA variance is set, as NA";
    EXPECT_EQ(kr[0].var[0], NA_VALUE);
    EXPECT_EQ(kr[1].var[0], 2.0);

    // A process variance of 0 beside an error variance is a model of pure
    // random error.
    ASSERT_EQ(ydescrip(matrix("Variable StochasticProcessVariance ErrorVariance", {"f 0 1", "g 2 NA"})), 0);
    EXPECT_EQ(report, reading("d.mat"));
    EXPECT_EQ(kr[0].var[0], 1.0);
    EXPECT_EQ(kr[0].stochratio[0], 0.0);
}

TEST_F(ModelReaders, ErrorVarianceUsesTheVarianceAlreadyHeld)
{
    design_and_responses();
    ASSERT_EQ(ydescrip(matrix("Variable StochasticProcessVariance", {"f 6", "g 1"})), 0);
    EXPECT_FALSE(RandomError);
    ASSERT_EQ(ydescrip(matrix("Variable ErrorVariance", {"f 2", "g 0"})), 0);
    EXPECT_EQ(report, reading("d.mat"));
    EXPECT_EQ(kr[0].var[0], 8.0);
    EXPECT_EQ(kr[0].stochratio[0], 6.0 / 8.0);
    EXPECT_EQ(kr[1].var[0], 1.0);
}

// An error variance of 0 is the limit of the same formula: the whole
// variance is process variance, whatever share the model held before (as in a
// file written for a model without random error, read into one with it).
TEST_F(ModelReaders, ZeroErrorVarianceLeavesNoRandomError)
{
    design_and_responses();
    ASSERT_EQ(ydescrip(matrix("Variable StochasticProcessVariance ErrorVariance", {"f 3 1", "g 1 3"})), 0);
    ASSERT_EQ(kr[0].stochratio[0], 0.75);
    ASSERT_EQ(ydescrip(matrix("Variable StochasticProcessVariance ErrorVariance", {"f 2.5 0", "g 1 NA"})), 0);
    EXPECT_EQ(report, reading("d.mat"));
    EXPECT_EQ(kr[0].var[0], 2.5);
    EXPECT_EQ(kr[0].stochratio[0], 1.0);
    EXPECT_EQ(kr[1].var[0], 1.0) << "an NA error variance tells nothing about the share";
    EXPECT_EQ(kr[1].stochratio[0], 0.25);
    EXPECT_TRUE(RandomError);
}

TEST_F(ModelReaders, BoundsNaRulesAndTheConstraintSplit)
{
    design(matrix("a b", {"0 0.5", "0.25 1", "1 0.75"}));
    responses(matrix("f g h k", {"1 2 3 4", "1 2 3 4", "1 2 3 4"}));
    ASSERT_EQ(ydescrip(matrix("Variable Min Max Constraint",
                              {"f NA NA FALSE", "g 0 na TRUE", "h na 5 false", "k -1 1 true"})),
              0);
    EXPECT_EQ(report, reading("d.mat"));
    EXPECT_TRUE(ka->ydescrip_init);
    EXPECT_EQ(ka->ydescrip[0][0], NA_VALUE);
    EXPECT_EQ(ka->ydescrip[0][1], NO_UPPER_BOUND) << "NA as upper bound is no upper bound";
    EXPECT_EQ(ka->ydescrip[1][0], 0.0);
    EXPECT_EQ(ka->ydescrip[1][1], NO_UPPER_BOUND);
    EXPECT_EQ(ka->ydescrip[2][0], NA_VALUE);
    EXPECT_EQ(ka->ydescrip[2][1], 5.0);
    EXPECT_EQ(ka->ydescrip[3][0], -1.0);
    const real flags[] = {0.0, 1.0, 0.0, 1.0};
    for (int j = 0; j < 4; j++)
        EXPECT_EQ(ka->ydescrip[j][2], flags[j]);
    ASSERT_EQ(ka->p, 2);
    ASSERT_EQ(ka->c, 2);
    EXPECT_EQ(ka->pvec[0], 0);
    EXPECT_EQ(ka->pvec[1], 2);
    EXPECT_EQ(ka->cvec[0], 1);
    EXPECT_EQ(ka->cvec[1], 3);
    EXPECT_EQ(model_count(ka), 4);

    // All constraints: the split warns that no response is left.
    ASSERT_EQ(ydescrip(matrix("Variable Constraint", {"f TRUE", "g TRUE", "h TRUE", "k TRUE"})), 0);
    EXPECT_EQ(report, reading("d.mat", "Info : Lower bounds on responses are assumed to be -infinity\n"
                                       "Info : Upper bounds on responses are assumed to be +infinity\n"
                                       "WARNING: There are no reponses among the y-variables (only constraints).\n"));
    EXPECT_EQ(ka->p, 0);
    EXPECT_EQ(ka->c, 4);
    EXPECT_EQ(ka->ydescrip[3][0], NA_VALUE);
    EXPECT_EQ(ka->ydescrip[2][1], NO_UPPER_BOUND);
}

TEST_F(ModelReaders, MissingBoundColumnsAreAssumed)
{
    design_and_responses();
    ASSERT_EQ(ydescrip(matrix("Variable Min Max Constraint", {"f 1 2 TRUE", "g 3 4 FALSE"})), 0);
    ASSERT_EQ(ydescrip(matrix("Variable MIN", {"f 0.5", "g NA"})), 0);
    EXPECT_EQ(report, reading("d.mat", "Info : Upper bounds on responses are assumed to be +infinity\n"
                                       "Info : Assuming that none of the responses is a constraint.\n"));
    EXPECT_TRUE(ka->ydescrip_init);
    EXPECT_EQ(ka->ydescrip[0][0], 0.5);
    EXPECT_EQ(ka->ydescrip[1][0], NA_VALUE);
    EXPECT_EQ(ka->ydescrip[0][1], NO_UPPER_BOUND);
    EXPECT_EQ(ka->ydescrip[0][2], 0.0);
    EXPECT_EQ(ka->p, 2);
    EXPECT_EQ(ka->c, 0);

    // One column only: no Variable column, no constraint assumption.
    ASSERT_EQ(ydescrip(matrix("max", {"9", "NA"})), 0);
    EXPECT_EQ(report, reading("d.mat", "ERROR: No 'Variable' column. Cannot check variable names."
                                       "Info : Lower bounds on responses are assumed to be -infinity\n"));
    EXPECT_EQ(ka->ydescrip[0][1], 9.0);
    EXPECT_EQ(ka->ydescrip[1][1], NO_UPPER_BOUND);
    EXPECT_EQ(ka->ydescrip[0][0], NA_VALUE);

    // No bound column at all: the bounds stay, but are no longer shown.
    ASSERT_EQ(ydescrip(matrix("Variable NumberObs", {"f 3", "g 3"})), 0);
    EXPECT_EQ(report, reading("d.mat"));
    EXPECT_FALSE(ka->ydescrip_init);
    EXPECT_EQ(ka->ydescrip[0][1], 9.0);
}

TEST_F(ModelReaders, OtherColumnsAndNumberObs)
{
    design_and_responses();
    ASSERT_EQ(ydescrip(matrix("Variable Mean variable NumberObs", {"f 1 x 3", "g 2 y 4"})), 0);
    EXPECT_EQ(report, reading("d.mat", "WARNING: Label Mean ignored.\n"
                                       "WARNING: Label variable ignored.\n"
                                       "WARNING: NumberObs does not match with database.\n"));
    EXPECT_FALSE(ka->ydescrip_init);
}

TEST_F(ModelReaders, RefusedDescriptionsStoreNothing)
{
    design_and_responses();
    ASSERT_EQ(ydescrip(matrix("Variable StochasticProcessVariance Min Max Constraint",
                              {"f 1 0 1 FALSE", "g 2 0 1 TRUE"})),
              0);
    std::string before = snapshot(kr, ka);

    struct Case {
        std::string file;
        int code;
        std::string message;
    };
    const Case cases[] = {
        {matrix("Variable Constraint", {"f FALSE", "g yes"}), 3,
         "ERROR: Label for column 'constraint' must be 'TRUE' or 'FALSE'.\n"},
        {matrix("Variable Min", {"f 5", "h 5"}), 1, "ERROR: Label for y does not match label used earlier\n"},
        {matrix("Variable StochasticProcessVariance ErrorVariance", {"f 5 5", "g 5 five"}), 1, kNotNumeric},
        {matrix("Variable LogLikelihood", {"f -", "g 1"}), 1, kNotNumeric},
        {matrix("Variable Min", {"f 1", "g 1", "h 1"}), 2,
         "ERROR: Number of rows (y variables) does not match database\n"},
        {matrix("Variable Min", {"f 1"}), 2, "ERROR: Number of rows (y variables) does not match database\n"},
        {matrix("Variable Max", {"f 1", "g"}), 4, "ERROR: Too few or too many entries in a row \n"},
        {matrix("Variable StochasticProcessVariance", {"f 5", "g inf"}), 1, kNotNumeric},
        {matrix("Variable Min", {"f nan", "g 1"}), 1, kNotNumeric},
        // A negative process variance is refused, with an error variance too
        // (the message names the value, not a missing variance).
        {matrix("StochasticProcessVariance ErrorVariance Variable", {"1 1 f", "-0.5 1 g"}), 5,
         "ERROR: StochasticProcessVariance = -0.5 for y-variable g: a variance must not be negative. "
         "Nothing stored.\n"},
        {matrix("StochasticProcessVariance", {"-2e-07", "1"}), 5,
         "ERROR: StochasticProcessVariance = -2e-07 for y-variable 1: a variance must not be negative. "
         "Nothing stored.\n"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(ydescrip(c.file), c.code) << c.file;
        EXPECT_EQ(report, reading("d.mat", c.message)) << c.file;
        EXPECT_EQ(snapshot(kr, ka), before) << c.file;
    }
    // A positive error variance in a refused file does not switch random
    // error on.
    EXPECT_EQ(ydescrip(matrix("Variable ErrorVariance Constraint", {"f 1 TRUE", "g 1 maybe"})), 3);
    EXPECT_EQ(snapshot(kr, ka), before);
}

TEST_F(ModelReaders, FirstDescriptionCreatesTheRecords)
{
    ASSERT_EQ(ydescrip(matrix("Variable StochasticProcessVariance Constraint",
                              {"u 1 FALSE", "v 2 TRUE", "w 3 FALSE"})),
              0);
    EXPECT_EQ(report, reading("d.mat", "Info : Lower bounds on responses are assumed to be -infinity\n"
                                       "Info : Upper bounds on responses are assumed to be +infinity\n"));
    EXPECT_EQ(model_count(ka), 3);
    EXPECT_EQ(ka->p, 2);
    EXPECT_EQ(ka->c, 1);
    EXPECT_EQ(ka->cvec[0], 1);
    const char *names[] = {"u", "v", "w"};
    for (int j = 0; j < 3; j++) {
        EXPECT_STREQ(kr[j].ylabel, names[j]);
        EXPECT_FALSE(kr[j].init.n);
        EXPECT_FALSE(kr[j].init.X);
        EXPECT_EQ(kr[j].n[0], 21);
        EXPECT_EQ(kr[j].var[0], j + 1.0);
        EXPECT_TRUE(kr[j].init.var);
        EXPECT_EQ(seek_list(22, kr[j].eigval), 1);
    }
    // The design then reaches every record; the responses must use the names.
    design(matrix("a", {"1", "2"}));
    responses(matrix("u v w", {"1 2 3", "4 5 6"}));
    for (int j = 0; j < 3; j++) {
        EXPECT_TRUE(kr[j].init.n && kr[j].init.X && kr[j].init.y);
        EXPECT_EQ(kr[j].X[1][0], 2.0);
    }
    EXPECT_EQ(ka->c, 1) << "the split survives the responses";
}

TEST_F(ModelReaders, FirstDescriptionAfterTheDesignCopiesIt)
{
    design(matrix("a b c", {"0 0 0", "1 2 3"}));
    ASSERT_EQ(ydescrip(matrix("Variable", {"u", "v"})), 0);
    EXPECT_EQ(report, reading("d.mat"));
    EXPECT_FALSE(ka->ydescrip_init);
    for (int j = 0; j < 2; j++) {
        EXPECT_TRUE(kr[j].init.X);
        EXPECT_FALSE(kr[j].init.range);
        EXPECT_EQ(kr[j].X[1][2], 3.0);
        EXPECT_STREQ(kr[j].xlabel[2], "c");
        EXPECT_EQ(seek_dlist(2, kr[j].X), 1);
    }
    // The count is fixed: responses of three columns are refused.
    write_file("y.mat", matrix("u v w", {"1 2 3", "4 5 6"}));
    {
        ReportCapture capture;
        EXPECT_EQ(read_y(&kr, ka, "y.mat"), 7);
    }
    EXPECT_EQ(model_count(ka), 2);
}

// ---- round trips through the output commands ----

TEST_F(ModelReaders, DescriptionsReadBackUnchanged)
{
    design_and_responses();
    ASSERT_EQ(corpar(matrix("Variable Theta.f Alpha.f Theta.g Alpha.g", {"a 0.5 1.9 10 0", "b 2.25 1 0.001 2"})),
              0);
    ASSERT_EQ(beta(matrix("Variable Term Coefficients", {"f 1 -0.125", "g 1 42"})), 0);
    ASSERT_EQ(ydescrip(matrix("Variable LogLikelihood StochasticProcessVariance ErrorVariance Min Max Constraint",
                              {"f -3.25 3 1 NA 10 FALSE", "g NA 2 0 0 NA TRUE"})),
              0);
    std::string before = snapshot(kr, ka);

    output("StochasticProcessModel", "c_out.mat");
    ASSERT_EQ(corpar(read_file("c_out.mat")), 0) << report;
    EXPECT_EQ(report, reading("c.mat"));
    EXPECT_EQ(snapshot(kr, ka), before);

    output("RegressionModel", "b_out.mat");
    ASSERT_EQ(beta(read_file("b_out.mat")), 0) << report;
    EXPECT_EQ(report, reading("b.mat"));
    EXPECT_EQ(snapshot(kr, ka), before);

    output("YDescription", "d_out.mat");
    ASSERT_EQ(ydescrip(read_file("d_out.mat")), 0) << report;
    EXPECT_EQ(report, reading("d.mat"));
    EXPECT_EQ(snapshot(kr, ka), before);
}

// Parameters not estimated are written as NA and read back as not valid.
TEST_F(ModelReaders, DescriptionsOfAnUnfittedModelReadBackUnchanged)
{
    design_and_responses();
    ASSERT_EQ(corpar(matrix("Variable Theta.f Alpha.f Theta.g Alpha.g", {"a 10 0 NA NA", "b 0.001 2 NA NA"})), 0);
    EXPECT_FALSE(kr[1].init.theta);
    std::string before = snapshot(kr, ka);

    output("StochasticProcessModel", "c_out.mat");
    ASSERT_EQ(corpar(read_file("c_out.mat")), 0) << report;
    EXPECT_EQ(snapshot(kr, ka), before);

    output("RegressionModel", "b_out.mat");
    ASSERT_EQ(beta(read_file("b_out.mat")), 0) << report;
    EXPECT_EQ(report, reading("b.mat", "WARNING: Matrix did not contain a `beta` column and could not be read.\n\n"));
    EXPECT_EQ(snapshot(kr, ka), before);

    output("YDescription", "d_out.mat");
    ASSERT_EQ(ydescrip(read_file("d_out.mat")), 0) << report;
    EXPECT_EQ(snapshot(kr, ka), before);
}

} // namespace
