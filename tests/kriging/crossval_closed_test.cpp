// The closed-form leave-one-out cross-validation against the computation by
// one reduced design per left-out run: random models with and without random
// error, repeated design points and missing responses agree to 1e-9 relative
// in the prediction, the standard error and the expected improvement; where
// the closed form does not apply it says why and CrossValidate falls back to
// the per-run computation, bit for bit.
#include "kriging/crossval_closed.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "alloc/alloc.h"
#include "kriging/crossval.h"
#include "kriging_reference.h"
#include "matfile/readmat.h"
#include "model/krigmodel.h"
#include "model/settings.h"
#include "session.h"

namespace {

// A model record holding the reference model's parameters and data.
struct CvModel {
    KrigModel kr;
    int n, d;
    CvModel(const reference::Model &m) : n((int)m.y.size()), d((int)m.X[0].size())
    {
        NULL_KrigModel(&kr);
        init_KrigModel(&kr, n, d, 1);
        for (int i = 0; i < n; i++)
            std::copy(m.X[i].begin(), m.X[i].end(), kr.X[i]);
        std::copy(m.y.begin(), m.y.end(), kr.y);
        std::copy(m.theta.begin(), m.theta.end(), kr.theta);
        std::copy(m.alpha.begin(), m.alpha.end(), kr.alpha);
        kr.stochratio[0] = m.stochratio;
        kr.var[0] = m.var;
        kr.init.X = kr.init.y = kr.init.theta = kr.init.alpha = kr.init.beta = kr.init.var = TRUE;
        snprintf(kr.ylabel, sizeof(string), "y1");
    }
    ~CvModel() { free_KrigModel(&kr); }
};

// Cross-validation of the model on its own data by the given method.
void crossvalidate(CvModel &m, const char *method, real **cv)
{
    char saved[sizeof(string)];
    strcpy(saved, CrossValidateMethod);
    strcpy(CrossValidateMethod, method);
    krigcv_anyXY(&m.kr, m.kr.X, m.kr.y, m.n, m.d, cv, 3);
    strcpy(CrossValidateMethod, saved);
}

// |a - b| within `tol` of the larger magnitude.
::testing::AssertionResult agree(double closed, double direct, double tol = 1e-9)
{
    double scale = std::max(std::fabs(closed), std::fabs(direct));
    if (std::fabs(closed - direct) <= tol * scale)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << closed << " against " << direct << ", relative "
                                         << std::fabs(closed - direct) / scale;
}

// The three columns of one row. Far in the tail (z = (ymin - mu) / s well
// below 0) the expected improvement s (z Phi(z) + phi(z)) ~ s phi(z) / z^2
// turns a relative change e of mu or s into about z^2 e: there the
// tolerance grows by that factor (at EI = 1e-100 s, z^2 is about 460).
::testing::AssertionResult agree_row(const real *closed, const real *direct, double ymin)
{
    ::testing::AssertionResult r = agree(closed[0], direct[0]);
    if (r)
        r = agree(closed[1], direct[1]);
    if (r) {
        double z = direct[1] > 0.0 ? (ymin - direct[0]) / direct[1] : 0.0;
        r = agree(closed[2], direct[2], 1e-9 * (1.0 + z * z));
    }
    return r;
}

struct CvCase {
    const char *name;
    int n, d;
    double stochratio;
    int repeats;  // runs copied onto the point of an earlier run
    int missing;  // responses set to NA
};

// The closed form is taken (krigcv_closed succeeds) and agrees with the
// per-run computation in all three columns.
TEST(KrigCvClosed, AgreesWithOneDecompositionPerRun)
{
    Session s;
    const CvCase cases[] = {
        {"no random error", 40, 3, 1.0, 0, 0},
        {"two runs", 2, 2, 1.0, 0, 0},
        {"three runs, random error", 3, 1, 0.5, 0, 0},
        {"one input", 25, 1, 1.0, 0, 0},
        {"random error", 40, 3, 0.7, 0, 0},
        {"much random error", 30, 2, 0.2, 0, 0},
        {"repeated points with random error", 40, 2, 0.8, 5, 0},
        // With one missing response the prediction of its run is of the
        // size of the others, while the response is -1e14.
        {"one missing response", 40, 3, 1.0, 0, 1},
        {"one missing response, random error", 30, 2, 0.7, 0, 1},
        {"missing responses", 40, 3, 1.0, 0, 3},
        {"missing responses, random error", 35, 4, 0.9, 2, 2},
    };
    std::mt19937 gen(1919);
    for (const CvCase &c : cases) {
        for (int rep = 0; rep < 3; rep++) {
            reference::Model model = reference::random_model(gen, c.n, c.d, c.stochratio);
            for (int k = 0; k < c.repeats; k++)
                model.X[c.n - 1 - k] = model.X[k];
            for (int k = 0; k < c.missing; k++)
                model.y[3 + 7 * k] = NA_VALUE;
            CvModel m(model);
            real **closed = NULL, **direct = NULL;
            alloc(c.n, 3, &closed);
            alloc(c.n, 3, &direct);
            EXPECT_EQ(krigcv_closed(&m.kr, m.kr.X, m.kr.y, c.n, c.d, closed), nullptr) << c.name;
            crossvalidate(m, "closed", closed);
            crossvalidate(m, "direct", direct);
            double ymin = *std::min_element(model.y.begin(), model.y.end());
            for (int i = 0; i < c.n; i++)
                EXPECT_TRUE(agree_row(closed[i], direct[i], ymin)) << c.name << " " << rep << " run " << i;
            frei(c.n, 3, &direct);
            frei(c.n, 3, &closed);
        }
    }
}

// A data set read from files (fewer rows than the model) goes the same way.
TEST(KrigCvClosed, OtherDataSet)
{
    Session s;
    std::mt19937 gen(77);
    reference::Model model = reference::random_model(gen, 30, 2, 0.85);
    reference::Model other = reference::random_model(gen, 20, 2, 0.85);
    CvModel m(model);
    real **X = NULL, **closed = NULL, **direct = NULL;
    alloc(20, 2, &X);
    alloc(20, 3, &closed);
    alloc(20, 3, &direct);
    for (int i = 0; i < 20; i++)
        std::copy(other.X[i].begin(), other.X[i].end(), X[i]);
    EXPECT_EQ(krigcv_closed(&m.kr, X, other.y.data(), 20, 2, closed), nullptr);
    strcpy(CrossValidateMethod, "direct");
    krigcv_anyXY(&m.kr, X, other.y.data(), 20, 2, direct, 3);
    strcpy(CrossValidateMethod, "closed");
    krigcv_anyXY(&m.kr, X, other.y.data(), 20, 2, closed, 3);
    strcpy(CrossValidateMethod, "auto");
    double ymin = *std::min_element(model.y.begin(), model.y.end());
    for (int i = 0; i < 20; i++)
        EXPECT_TRUE(agree_row(closed[i], direct[i], ymin)) << i;
    frei(20, 3, &direct);
    frei(20, 3, &closed);
    frei(20, 2, &X);
}

// Where the closed form does not apply: its reason, the information line of
// CrossValidate, and the per-run result bit for bit.
TEST(KrigCvClosed, FallsBackWhereItDoesNotApply)
{
    Session s;
    struct Refusal {
        const char *name;
        const char *reason;
        bool pseudo_inverse; // the per-run computation drops a reciprocal: (T1)
        void (*make)(reference::Model &);
    };
    const Refusal refusals[] = {
        {"repeated point without random error", "not positive definite", true,
         [](reference::Model &m) { m.X[9] = m.X[2]; }},
        // Two runs 1e-7 apart with a Gaussian correlation: R is positive
        // definite, but its smallest eigenvalue is about 1e-14, inside the
        // band where the pseudo-inverse drops reciprocals.
        {"near-singular", "too close to singular", true,
         [](reference::Model &m) {
             m.X[9] = m.X[2];
             m.X[9][0] += 1e-7;
             std::fill(m.alpha.begin(), m.alpha.end(), 0.0);
         }},
        {"alpha 2 with a repeated point and random error", "two runs at one point", false,
         [](reference::Model &m) {
             m.stochratio = 0.5;
             m.alpha[0] = 2.0;
             m.X[9] = m.X[2];
         }},
        {"negative variance", "variance is negative", false, [](reference::Model &m) { m.var = -1e-9; }},
    };
    std::mt19937 gen(4242);
    for (const Refusal &r : refusals) {
        reference::Model model = reference::random_model(gen, 15, 2, 1.0);
        r.make(model);
        CvModel m(model);
        real **closed = NULL, **direct = NULL;
        alloc(15, 3, &closed);
        alloc(15, 3, &direct);
        const char *reason = krigcv_closed(&m.kr, m.kr.X, m.kr.y, 15, 2, closed);
        ASSERT_NE(reason, nullptr) << r.name;
        EXPECT_NE(strstr(reason, r.reason), nullptr) << r.name << ": " << reason;
        std::string out;
        {
            ReportCapture capture;
            crossvalidate(m, "closed", closed);
            out = capture.take();
        }
        EXPECT_NE(out.find(std::string("Info : y1: no closed-form cross-validation, ") + reason +
                           "; every left-out run is decomposed on its own."),
                  std::string::npos)
            << out;
        EXPECT_EQ(out.find("(T1)") != std::string::npos, r.pseudo_inverse) << r.name;
        crossvalidate(m, "direct", direct);
        for (int i = 0; i < 15; i++)
            for (int j = 0; j < 3; j++)
                EXPECT_EQ(memcmp(&closed[i][j], &direct[i][j], sizeof(real)), 0) << r.name << " " << i << " " << j;
        frei(15, 3, &direct);
        frei(15, 3, &closed);
    }
}

// The switch of CrossValidateMethod: "auto" keeps the per-run computation up
// to 200 runs. At 201 runs "auto" is the closed form, bit for bit.
TEST(KrigCvClosed, MethodChoosesTheComputation)
{
    Session s;
    struct Choice {
        const char *method;
        int runs;
        boolean closed;
    } choices[] = {{"auto", 2, FALSE},    {"auto", 200, FALSE}, {"auto", 201, TRUE},  {"direct", 201, FALSE},
                   {"direct", 5000, FALSE}, {"closed", 2, TRUE}, {"closed", 200, TRUE}};
    KrigModel kr;
    NULL_KrigModel(&kr);
    init_KrigModel(&kr, 2, 1, 1);
    for (const Choice &c : choices) {
        strcpy(CrossValidateMethod, c.method);
        EXPECT_EQ(cv_closed_form_wanted(&kr, c.runs), c.closed) << c.method << " " << c.runs;
    }
    strcpy(CrossValidateMethod, "auto");
    free_KrigModel(&kr);

    std::mt19937 gen(201);
    reference::Model model = reference::random_model(gen, 201, 2, 0.9);
    CvModel m(model);
    real **a = NULL, **b = NULL;
    alloc(201, 3, &a);
    alloc(201, 3, &b);
    crossvalidate(m, "auto", a);
    crossvalidate(m, "closed", b);
    for (int i = 0; i < 201; i++)
        for (int j = 0; j < 3; j++)
            ASSERT_EQ(memcmp(&a[i][j], &b[i][j], sizeof(real)), 0) << i << " " << j;
    frei(201, 3, &b);
    frei(201, 3, &a);
}

// The two files of the end-to-end case crossvalidate_method (the same model
// cross-validated by the closed form and by the per-run computation) differ
// only in the last digits.
TEST(KrigCvClosed, EndToEndFilesAgree)
{
    Session s;
    std::string dir = std::string(getenv("MORLA_TEST_DATA")) + "/e2e/cases/crossvalidate_method/expected/files/";
    real **closed = NULL, **direct = NULL;
    string *lc = NULL, *ld = NULL;
    int nc = 0, mc = 0, nd = 0, md = 0;
    ASSERT_EQ(read_matrix(0, 0, &closed, &nc, &mc, (dir + "closed.mat").c_str(), &lc), 0);
    ASSERT_EQ(read_matrix(0, 0, &direct, &nd, &md, (dir + "direct.mat").c_str(), &ld), 0);
    ASSERT_EQ(nc, 10);
    ASSERT_EQ(nd, 10);
    ASSERT_EQ(mc, 3);
    ASSERT_EQ(md, 3);
    int differ = 0;
    for (int i = 0; i < 10; i++) {
        EXPECT_TRUE(agree_row(closed[i], direct[i], 0.15944)) << i; // the smallest response
        for (int j = 0; j < 3; j++)
            differ += closed[i][j] != direct[i][j];
    }
    EXPECT_GT(differ, 0); // two computations, not one file twice
    frei(nc, mc, &closed);
    frei(nd, md, &direct);
    frei(mc, &lc);
    frei(md, &ld);
}

} // namespace
