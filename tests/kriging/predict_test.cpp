// Prediction on a design held apart from the model and the Predict command:
// numbers against the direct ordinary-kriging computation (in memory, and
// read back from the written file to its five decimals), the protocol of the
// prepared design, the command's token forms, its files and its messages.
#include "kriging/predict.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "alloc/alloc.h"
#include "kriging/correlation.h"
#include "kriging_reference.h"
#include "matfile/readmat.h"
#include "model/krigmodel.h"
#include "session.h"
#include "testutil.h"

namespace {

// ---------------------------------------------------------------------------
// The predictor on a foreign design.

// A model record holding only what the foreign-design predictor reads: the
// correlation parameters, the process share and the variance.
struct Parameters {
    KrigModel kr;
    explicit Parameters(const reference::Model &m)
    {
        int d = (int)m.theta.size();
        NULL_KrigModel(&kr);
        init_KrigModel(&kr, 3, d, 1);
        for (int k = 0; k < d; k++) {
            kr.theta[k] = m.theta[k];
            kr.alpha[k] = m.alpha[k];
        }
        kr.stochratio[0] = m.stochratio;
        kr.var[0] = m.var;
        kr.init.theta = kr.init.alpha = kr.init.var = TRUE;
    }
    ~Parameters() { free_KrigModel(&kr); }
};

// The design and responses of a reference model as tracked matrices.
struct Design {
    int n, d;
    real **X = NULL;
    real *y = NULL;
    explicit Design(const reference::Model &m) : n((int)m.y.size()), d((int)m.theta.size())
    {
        alloc(n, d, &X);
        alloc(n, &y);
        for (int i = 0; i < n; i++) {
            for (int k = 0; k < d; k++)
                X[i][k] = m.X[i][k];
            y[i] = m.y[i];
        }
    }
    ~Design()
    {
        frei(n, &y);
        frei(n, d, &X);
    }
};

TEST(ForeignDesign, AgreesWithDirectOrdinaryKriging)
{
    std::mt19937 gen(4242);
    std::uniform_real_distribution<double> unit(-0.1, 1.1);
    for (int d = 1; d <= 5; d++) {
        for (double stochratio : {1.0, 0.7}) {
            reference::Model m = reference::random_model(gen, 8 + 2 * d, d, stochratio);
            Parameters params(m);
            Design design(m);
            const int npred = 6;
            real **xpred = NULL, **ypred = NULL;
            alloc(npred, d, &xpred);
            alloc(npred, 2, &ypred);
            for (int i = 0; i < npred; i++)
                for (int k = 0; k < d; k++)
                    xpred[i][k] = unit(gen);
            // The last point is a design point.
            for (int k = 0; k < d; k++)
                xpred[npred - 1][k] = m.X[2][k];

            init_krigblup_anyXY(&params.kr, design.X, design.n, d, 1);
            krigblup_anyXY(&params.kr, design.X, design.y, design.n, d, npred, xpred, ypred);
            free_krigblup_anyXY(design.n, 1);

            for (int i = 0; i < npred; i++) {
                reference::Vec x(xpred[i], xpred[i] + d);
                reference::Prediction p = reference::predict(m, x);
                EXPECT_NEAR(ypred[i][0], p.value, 1e-9 * (1.0 + std::fabs(p.value)))
                    << "d=" << d << " s=" << stochratio << " point " << i;
                EXPECT_NEAR(ypred[i][1], p.se, 1e-7 * std::sqrt(m.var))
                    << "d=" << d << " s=" << stochratio << " point " << i;
            }
            if (stochratio == 1.0) {
                EXPECT_NEAR(ypred[npred - 1][0], m.y[2], 1e-9 * (1.0 + std::fabs(m.y[2])));
                EXPECT_LT(ypred[npred - 1][1], 1e-5);
            }
            frei(npred, 2, &ypred);
            frei(npred, d, &xpred);
        }
    }
}

TEST(ForeignDesign, OneDesignAfterAnother)
{
    std::mt19937 gen(77);
    reference::Model first = reference::random_model(gen, 9, 2, 1.0);
    reference::Model second = reference::random_model(gen, 14, 2, 1.0);
    second.theta = first.theta;
    second.alpha = first.alpha;
    second.var = first.var;
    Parameters params(first);
    real **xpred = NULL, **ypred = NULL;
    alloc(1, 2, &xpred);
    alloc(1, 2, &ypred);
    xpred[0][0] = 0.4;
    xpred[0][1] = 0.6;
    for (const reference::Model *m : {&first, &second}) {
        Design design(*m);
        init_krigblup_anyXY(&params.kr, design.X, design.n, 2, 1);
        krigblup_anyXY(&params.kr, design.X, design.y, design.n, 2, 1, xpred, ypred);
        free_krigblup_anyXY(design.n, 1);
        reference::Prediction p = reference::predict(*m, {0.4, 0.6});
        EXPECT_NEAR(ypred[0][0], p.value, 1e-9 * (1.0 + std::fabs(p.value)));
        EXPECT_NEAR(ypred[0][1], p.se, 1e-7);
    }
    frei(1, 2, &ypred);
    frei(1, 2, &xpred);
}

// The standard error with the correlations of the first rows handed in (as
// the staged criterion hands in those of the model's own design) is the
// standard error computed whole, to the bit, for any number of known rows,
// with and without random error, at design points and elsewhere.
TEST(ForeignDesign, KnownCorrelationsGiveTheSameStandardErrorBitForBit)
{
    std::mt19937 gen(1919);
    std::uniform_real_distribution<double> unit(-0.1, 1.1);
    for (int d = 1; d <= 4; d++) {
        for (double stochratio : {1.0, 0.7}) {
            reference::Model m = reference::random_model(gen, 10 + 3 * d, d, stochratio);
            Parameters params(m);
            Design design(m);
            std::vector<real> known(design.n);
            init_krigblup_anyXY(&params.kr, design.X, design.n, d, 1);
            for (int point = 0; point < 5; point++) {
                std::vector<real> x(d);
                for (int k = 0; k < d; k++)
                    x[k] = point == 4 ? m.X[3][k] : unit(gen);
                calcr(x.data(), known.data(), design.X, params.kr.alpha, params.kr.theta,
                      params.kr.stochratio[0], design.n, d);
                real whole = krigse_anyXY(&params.kr, design.X, design.n, d, x.data());
                for (int n_known : {0, 1, design.n / 2, design.n - 1, design.n}) {
                    real part = krigse_anyXY_known(&params.kr, design.X, design.n, d, x.data(), known.data(),
                                                   n_known);
                    EXPECT_EQ(0, std::memcmp(&part, &whole, sizeof(real)))
                        << "d=" << d << " s=" << stochratio << " point " << point << " known " << n_known
                        << ": " << part << " against " << whole;
                }
            }
            free_krigblup_anyXY(design.n, 1);
        }
    }
}

TEST(ForeignDesign, ProtocolViolationsAreFatal)
{
    std::mt19937 gen(5);
    reference::Model m = reference::random_model(gen, 6, 2, 1.0);
    Parameters params(m);
    Design design(m);
    real **ypred = NULL;
    alloc(6, 2, &ypred);
    KrigModel *kr = &params.kr;

    EXPECT_FATAL(
        {
            init_krigblup_anyXY(kr, design.X, 6, 2, 1);
            init_krigblup_anyXY(kr, design.X, 6, 2, 1);
        },
        "init_krigmse_anyX: Code Bug : krigmse_anyX already initialized");
    EXPECT_FATAL(krigblup_anyXY(kr, design.X, design.y, 6, 2, 6, design.X, ypred),
                 "krigmse_anyX: Code Bug: function call without its initialization");
    EXPECT_FATAL(free_krigblup_anyXY(6, 1), "free_krigmse_anyX: Code Bug : mse_anyX was not initialized");
    EXPECT_FATAL(
        {
            init_krigblup_anyXY(kr, design.X, 6, 2, 1);
            krigblup_anyXY(kr, design.X, design.y, 6, 3, 6, design.X, ypred);
        },
        "mse_anyX : Code Bug : ad!= *kr->d");
    EXPECT_FATAL(
        {
            init_krigblup_anyXY(kr, design.X, 6, 2, 1);
            kr->r[0] = 2;
            krigblup_anyXY(kr, design.X, design.y, 6, 2, 6, design.X, ypred);
        },
        "krigblup_anyXY(): regression model not dealt with, r>1");

    // The violations above happened in child processes: here the state is
    // still free, and a full cycle works.
    init_krigblup_anyXY(kr, design.X, 6, 2, 1);
    krigblup_anyXY(kr, design.X, design.y, 6, 2, 6, design.X, ypred);
    free_krigblup_anyXY(6, 1);
    frei(6, 2, &ypred);
}

// ---------------------------------------------------------------------------
// The command's tokens.

struct CommandTokens {
    char slots[10][150];
    char *token[10];
    int count;
    explicit CommandTokens(const std::vector<const char *> &words) : count(0)
    {
        for (const char *w : words) {
            snprintf(slots[count], sizeof slots[count], "%s", w);
            token[count] = slots[count];
            count++;
        }
    }
};

struct Parsed {
    int result;
    std::string in, out, report;
};

Parsed parse(const std::vector<const char *> &words)
{
    CommandTokens t(words);
    char in[150] = "", out[150] = "";
    ReportCapture capture;
    Parsed p;
    p.result = token_predict(t.token, t.count, in, out);
    p.in = in;
    p.out = out;
    p.report = capture.take();
    return p;
}

const std::string kDefaultIn = "Info : Default input filename is used: xpred.mat\n";
const std::string kDefaultOut = "Info : Default output filename is used: ypred.mat\n";

TEST(TokenPredict, TheFiveForms)
{
    Parsed p = parse({"Predict"});
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.in, "xpred.mat");
    EXPECT_EQ(p.out, "ypred.mat");
    EXPECT_EQ(p.report, kDefaultIn + kDefaultOut);

    p = parse({"Predict", ">", "out.mat"});
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.in, "xpred.mat");
    EXPECT_EQ(p.out, "out.mat");
    EXPECT_EQ(p.report, kDefaultIn);

    p = parse({"p", "<", "in.mat"});
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.in, "in.mat");
    EXPECT_EQ(p.out, "ypred.mat");
    EXPECT_EQ(p.report, kDefaultOut);

    p = parse({"Predict", ">", "out.mat", "<", "in.mat"});
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.in, "in.mat");
    EXPECT_EQ(p.out, "out.mat");
    EXPECT_EQ(p.report, "");

    p = parse({"Predict", "<", "in.mat", ">", "screen"});
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.in, "in.mat");
    EXPECT_EQ(p.out, "screen");
    EXPECT_EQ(p.report, "");
}

TEST(TokenPredict, UsageErrorsSayNothingThemselves)
{
    for (const auto &words : std::vector<std::vector<const char *>>{
             {"Predict", "in.mat"},
             {"Predict", "<"},
             {"Predict", "=", "in.mat"},
             {"Predict", "<", "in.mat", "out.mat"},
             {"Predict", ">", "a.mat", ">", "b.mat"},
             {"Predict", "<", "a.mat", "<", "b.mat"},
             {"Predict", "<", "a.mat", "=", "b.mat"},
             {"Predict", "<", "a.mat", ">", "b.mat", "c.mat"},
         }) {
        Parsed p = parse(words);
        EXPECT_EQ(p.result, 1) << words.size() << " tokens";
        EXPECT_EQ(p.report, "");
    }
}

TEST(TokenPredict, InputFromTheScreenIsRefused)
{
    const std::string refusal = "Sorry, cannot input from the screen\n";
    Parsed p = parse({"Predict", "<", "screen"});
    EXPECT_EQ(p.result, 1);
    EXPECT_EQ(p.report, kDefaultOut + refusal);
    p = parse({"Predict", "<", "s", ">", "out.mat"});
    EXPECT_EQ(p.result, 1);
    EXPECT_EQ(p.report, refusal);
    p = parse({"Predict", ">", "out.mat", "<", "s"});
    EXPECT_EQ(p.result, 1);
    EXPECT_EQ(p.report, refusal);
    // The output may be the screen.
    EXPECT_EQ(parse({"Predict", ">", "s"}).result, 0);
}

// The handler's own two messages go to standard output, not to the report.
TEST(InitPredict, UsageAndMissingResponsesOnStandardOutput)
{
    Session s;
    CommandTokens bad({"Predict", ">", "a.mat", ">", "b.mat"});
    CommandTokens good({"Predict", "<", "in.mat", ">", "out.mat"});
    fflush(stdout);
    testing::internal::CaptureStdout();
    init_predict(s.kr, s.ka, bad.token, bad.count);
    init_predict(s.kr, s.ka, good.token, good.count);
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Usage: Predict {<input_filename} {>output_filename}\n"
              "Sorry, no response variables.\n");
    EXPECT_EQ(s.report(), "");
    EXPECT_FALSE(file_exists("out.mat"));
}

// ---------------------------------------------------------------------------
// The command on files.

// Two y-variables in the order of the y file: a constraint "c" with random
// error, then a response "y" without. 14 runs in 3 inputs, values written
// with five decimals.
struct Problem {
    static constexpr int n = 14, d = 3;
    reference::Model c, y; // the two models as the reference sees them
    std::vector<reference::Vec> points;

    Problem()
    {
        std::mt19937 gen(2024);
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        reference::Mat X(n, reference::Vec(d));
        for (auto &row : X)
            for (auto &v : row)
                v = rounded5(unit(gen));
        c.X = y.X = X;
        for (int i = 0; i < n; i++) {
            c.y.push_back(rounded5(1.0 + X[i][0] * X[i][1] + 0.1 * unit(gen)));
            y.y.push_back(rounded5(std::sin(3.0 * X[i][0]) + X[i][2] * X[i][2]));
        }
        c.theta = {1.5, 0.75, 3.0};
        c.alpha = {0.5, 0.25, 0.0};
        y.theta = {4.0, 2.0, 1.25};
        y.alpha = {0.0, 1.0, 0.5};
        // Process variance 0.6 and error variance 0.2 for c; 0.75 for y.
        c.stochratio = 0.6 / (0.2 + 0.6);
        c.var = 0.6 + 0.2;
        y.stochratio = 1.0;
        y.var = 0.75;
        for (int i = 0; i < 9; i++)
            points.push_back({rounded5(unit(gen)), rounded5(unit(gen)), rounded5(1.2 * unit(gen) - 0.1)});
    }

    void write_files() const
    {
        std::vector<Row> rows;
        for (const auto &x : c.X)
            rows.push_back({fixed5(x[0]), fixed5(x[1]), fixed5(x[2])});
        write_file("x.mat", matrix_text("design", {"u", "v", "w"}, rows));
        rows.clear();
        for (int i = 0; i < n; i++)
            rows.push_back({fixed5(c.y[i]), fixed5(y.y[i])});
        write_file("y.mat", matrix_text("responses", {"c", "y"}, rows));
        rows.clear();
        const char *input[] = {"u", "v", "w"};
        for (int k = 0; k < d; k++)
            rows.push_back({input[k], std::to_string(c.theta[k]), std::to_string(c.alpha[k]),
                            std::to_string(y.theta[k]), std::to_string(y.alpha[k])});
        write_file("corpar.mat",
                   matrix_text("parameters", {"Variable", "Theta.c", "Alpha.c", "Theta.y", "Alpha.y"}, rows));
        write_file("beta.mat",
                   matrix_text("means", {"Variable", "Term", "Coefficients"}, {{"c", "1", "1.5"}, {"y", "1", "0.9"}}));
        write_file("ydescrip.mat",
                   matrix_text("descriptions",
                               {"Variable", "StochasticProcessVariance", "ErrorVariance", "Min", "Max", "Constraint"},
                               {{"c", "0.6", "0.2", "NA", "1.8", "TRUE"}, {"y", "0.75", "0", "NA", "NA", "FALSE"}}));
        rows.clear();
        for (const auto &x : points)
            rows.push_back({fixed5(x[0]), fixed5(x[1]), fixed5(x[2])});
        write_file("new.mat", matrix_text("new points", {"u", "v", "w"}, rows));
    }

    void load(Session &s, bool parameters = true) const
    {
        s.read("X", "x.mat");
        s.read("y", "y.mat");
        if (parameters) {
            s.read("StochasticProcessModel", "corpar.mat");
            s.read("RegressionModel", "beta.mat");
            s.read("YDescription", "ydescrip.mat");
        }
        s.report();
    }
};

// A prediction file read back.
struct Output {
    int code = -1, n = 0, m = 0;
    real **mat = NULL;
    string *names = NULL;
    explicit Output(const char *file)
    {
        Quiet quiet;
        code = read_matrix(0, 0, &mat, &n, &m, file, &names);
    }
    ~Output()
    {
        if (mat != NULL)
            frei(n, m, &mat);
        if (names != NULL)
            frei(m, &names);
    }
    std::vector<std::string> labels() const { return std::vector<std::string>(names, names + m); }
};

// The file holds the reference values rounded to five decimals.
void expect_written(real written, double exact, const std::string &what)
{
    EXPECT_NEAR(written, exact, 0.5e-5 + 1e-9 * std::fabs(exact)) << what;
}

const std::string kPredicting = "Predicting c ... \nPredicting y ... \n";

TEST(Predict, FileAgreesWithDirectKrigingInModelOrder)
{
    Session s;
    Problem problem;
    problem.write_files();
    problem.load(s);
    ASSERT_EQ(s.ka->p, 1);
    ASSERT_EQ(s.ka->c, 1);
    ASSERT_EQ(s.ka->cvec[0], 0) << "c, the first column, is the constraint";

    krigpredict(s.kr, s.ka, "new.mat", "out.mat");
    EXPECT_EQ(s.report(), "Reading from new.mat.\n" + kPredicting + "Writing to file out.mat.\n");

    Output out("out.mat");
    ASSERT_EQ(out.code, 0);
    ASSERT_EQ(out.n, (int)problem.points.size());
    EXPECT_EQ(out.labels(), (std::vector<std::string>{"Pred.c", "SE.c", "Pred.y", "SE.y"}));
    for (int i = 0; i < out.n; i++) {
        reference::Prediction pc = reference::predict(problem.c, problem.points[i]);
        reference::Prediction py = reference::predict(problem.y, problem.points[i]);
        std::string row = " row " + std::to_string(i + 1);
        expect_written(out.mat[i][0], pc.value, "Pred.c" + row);
        expect_written(out.mat[i][1], pc.se, "SE.c" + row);
        expect_written(out.mat[i][2], py.value, "Pred.y" + row);
        expect_written(out.mat[i][3], py.se, "SE.y" + row);
    }
}

TEST(Predict, DesignPointsWithoutRandomErrorGiveTheResponsesBack)
{
    Session s;
    Problem problem;
    problem.write_files();
    problem.load(s);
    krigpredict(s.kr, s.ka, "x.mat", "out.mat");
    Output out("out.mat");
    ASSERT_EQ(out.code, 0);
    ASSERT_EQ(out.n, Problem::n);
    for (int i = 0; i < Problem::n; i++) {
        EXPECT_EQ(fixed5(out.mat[i][2]), fixed5(problem.y.y[i])) << "row " << i + 1;
        EXPECT_EQ(fixed5(out.mat[i][3]), "0.00000") << "row " << i + 1;
        // With random error the constraint is smoothed, not reproduced.
        EXPECT_GT(out.mat[i][1], 0.1);
        expect_written(out.mat[i][0], reference::predict(problem.c, problem.c.X[i]).value, "smoothed c");
    }
}

// While any model lacks a part, nothing is read, predicted or written: a
// file with columns of nothing would pass for a result.
TEST(Predict, ModelsWithoutParametersAreRefused)
{
    Session s;
    Problem problem;
    problem.write_files();
    problem.load(s, false);
    krigpredict(s.kr, s.ka, "new.mat", "out.mat");
    const std::string missing = "Sorry, can't do that. alpha is not initialized.\n"
                                "Sorry, can't do that. theta is not initialized.\n"
                                "Sorry, can't do that. Regression Matrix is not initialized.\n";
    EXPECT_EQ(s.report(), missing + missing);
    EXPECT_FALSE(file_exists("out.mat"));
    // No derived matrix was computed for them.
    EXPECT_FALSE(s.kr[0].init.R);
    EXPECT_FALSE(s.kr[0].init.U);
}

TEST(Predict, VarianceReadAsMissingIsNotUsed)
{
    Session s;
    Problem problem;
    problem.write_files();
    write_file("ydescrip.mat",
               matrix_text("descriptions",
                           {"Variable", "StochasticProcessVariance", "ErrorVariance", "Min", "Max", "Constraint"},
                           {{"c", "0.6", "0.2", "NA", "1.8", "TRUE"}, {"y", "NA", "0", "NA", "NA", "FALSE"}}));
    problem.load(s);
    krigpredict(s.kr, s.ka, "new.mat", "out.mat");
    EXPECT_EQ(s.report(), "Sorry, can't do that. Stochastic Process Variance is not initialized.\n");
    EXPECT_FALSE(file_exists("out.mat"));
}

// A point with a missing input is predicted as NA, with a warning; the other
// points are predicted as they would be alone.
TEST(Predict, PointsWithAMissingInputArePredictedAsMissing)
{
    Session s;
    Problem problem;
    problem.write_files();
    std::vector<Row> rows;
    for (size_t i = 0; i < problem.points.size(); i++) {
        const auto &x = problem.points[i];
        rows.push_back({fixed5(x[0]), i == 2 || i == 5 ? "NA" : fixed5(x[1]), i == 5 ? "na" : fixed5(x[2])});
    }
    write_file("gaps.mat", matrix_text("new points", {"u", "v", "w"}, rows));
    problem.load(s);
    krigpredict(s.kr, s.ka, "gaps.mat", "out.mat");
    EXPECT_NE(s.report().find("WARNING: 2 points of gaps.mat have a missing input (NA), the first in row 3: "
                              "predicted as NA.\n"),
              std::string::npos);
    Output out("out.mat");
    ASSERT_EQ(out.code, 0);
    ASSERT_EQ(out.n, (int)problem.points.size());
    for (int i = 0; i < out.n; i++) {
        if (i == 2 || i == 5) {
            for (int j = 0; j < 4; j++)
                EXPECT_EQ(out.mat[i][j], NA_VALUE) << i;
            continue;
        }
        reference::Prediction py = reference::predict(problem.y, problem.points[i]);
        expect_written(out.mat[i][2], py.value, "Pred.y row " + std::to_string(i + 1));
        expect_written(out.mat[i][3], py.se, "SE.y row " + std::to_string(i + 1));
    }
    EXPECT_NE(read_file("out.mat").find("\n    3          NA          NA          NA          NA  \n"),
              std::string::npos);
}

// The output never replaces the input, by either name.
TEST(Predict, OutputOverTheInputIsRefused)
{
    Session s;
    Problem problem;
    problem.write_files();
    problem.load(s);
    std::string before = read_file("new.mat");
    ASSERT_EQ(link("new.mat", "same.mat"), 0);
    for (const char *out : {"new.mat", "same.mat", "./new.mat"}) {
        krigpredict(s.kr, s.ka, "new.mat", out);
        EXPECT_EQ(s.report(), std::string("Sorry, ") + out + " is the input file of this command. Nothing written.\n");
        EXPECT_EQ(read_file("new.mat"), before);
    }
}

TEST(Predict, PredictionBringsTheDerivedMatricesUpToDate)
{
    Session s;
    Problem problem;
    problem.write_files();
    problem.load(s);
    EXPECT_FALSE(s.kr[0].init.R);
    krigpredict(s.kr, s.ka, "new.mat", "out.mat");
    for (int j = 0; j < 2; j++) {
        const KrigModel &m = s.kr[j];
        EXPECT_TRUE(m.init.R && m.init.F && m.init.U) << "model " << j;
        const reference::Model &ref = j == 0 ? problem.c : problem.y;
        for (int a = 0; a < Problem::n; a++)
            for (int b = 0; b < Problem::n; b++) {
                double expected = a == b ? 1.0 : ref.stochratio * reference::corr(ref, ref.X[a], ref.X[b]);
                EXPECT_NEAR(m.R[a][b], expected, 1e-14) << "model " << j << " R[" << a << "][" << b << "]";
            }
    }
}

TEST(Predict, InputOfAnotherWidthWritesNothing)
{
    Session s;
    Problem problem;
    problem.write_files();
    problem.load(s);
    write_file("wide.mat", matrix_text("four inputs", {"u", "v", "w", "z"}, {{"0.1", "0.2", "0.3", "0.4"}}));
    krigpredict(s.kr, s.ka, "wide.mat", "out.mat");
    EXPECT_EQ(s.report(),
              "Reading from wide.mat.\nERROR: Number of columns in matrix does not match the number of variables\n");
    write_file("narrow.mat", matrix_text("two inputs", {"u", "v"}, {{"0.1", "0.2"}}));
    krigpredict(s.kr, s.ka, "narrow.mat", "out.mat");
    EXPECT_EQ(s.report(),
              "Reading from narrow.mat.\nERROR: Number of columns in matrix does not match the number of variables\n");
    krigpredict(s.kr, s.ka, "absent.mat", "out.mat");
    EXPECT_EQ(s.report(), "Reading from absent.mat.\nERROR: Can't open this file. Does it exist?\n");
    write_file("empty.mat", "title\n-----\n Case u v w\n-----\n");
    krigpredict(s.kr, s.ka, "empty.mat", "out.mat");
    EXPECT_EQ(s.report(), "Reading from empty.mat.\nERROR: There are is no data in matrix\n");
    EXPECT_FALSE(file_exists("out.mat"));
}

TEST(Predict, ScreenShowsAtMostTwentyOneRows)
{
    Session s;
    Problem problem;
    problem.write_files();
    problem.load(s);
    for (int rows : {21, 22}) {
        std::vector<Row> cells(rows, Row{"0.5", "0.5", "0.5"});
        write_file("many.mat", matrix_text("many", {"u", "v", "w"}, cells));
        krigpredict(s.kr, s.ka, "many.mat", "screen");
        std::string report = s.report();
        std::string head = "Reading from many.mat.\n" + kPredicting;
        ASSERT_EQ(report.substr(0, head.size()), head);
        std::string shown = report.substr(head.size());
        if (rows == 22) {
            EXPECT_EQ(shown, "Sorry, Matrix is to big to be displayed on screen\n");
        } else {
            // The title, then one line per row.
            EXPECT_EQ(shown.substr(0, 31), "sorry, no labels at this time \n");
            EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 1 + 21);
        }
    }
}

TEST(Predict, SavedModelPredictsTheSameAfterReloading)
{
    const char *objects[] = {"X", "y", "StochasticProcessModel", "RegressionModel", "YDescription"};
    Problem problem;
    std::map<std::string, std::string> saved;
    std::string first, second;
    {
        Session s;
        problem.write_files();
        problem.load(s);
        krigpredict(s.kr, s.ka, "new.mat", "first.mat");
        first = read_file("first.mat");
        for (const char *object : objects) {
            s.write(object, "saved.mat");
            saved[object] = read_file("saved.mat");
        }
    }
    {
        // A fresh run in a fresh directory, options back at their defaults.
        Session s;
        ASSERT_FALSE(RandomError);
        problem.write_files(); // only the new points are used
        for (const char *object : objects) {
            write_file("saved.mat", saved[object]);
            s.read(object, "saved.mat");
        }
        EXPECT_EQ(s.report().find("ERROR"), std::string::npos);
        EXPECT_TRUE(RandomError);
        EXPECT_EQ(s.ka->c, 1);
        krigpredict(s.kr, s.ka, "new.mat", "second.mat");
        second = read_file("second.mat");
    }
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(second, first);
}

} // namespace
