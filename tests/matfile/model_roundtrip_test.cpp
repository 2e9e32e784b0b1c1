// A model saved with the three object commands (StochasticProcessModel,
// RegressionModel, YDescription) and read back is the same model: the same
// doubles in its records and, bit for bit, the same predictions, at every
// magnitude of the correlation parameters.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "alloc/alloc.h"
#include "kriging/predict.h"
#include "matfile/readmat.h"
#include "session.h"
#include "testutil.h"

namespace {

std::string exact(double x)
{
    char text[64];
    snprintf(text, sizeof text, "%.17g", x);
    return text;
}

// Every cell of a real matrix file, read back.
std::vector<double> cells(const char *file)
{
    Quiet quiet;
    real **mat = NULL;
    string *names = NULL;
    int n = 0, m = 0;
    EXPECT_EQ(read_matrix(0, 0, &mat, &n, &m, file, &names), 0) << file;
    std::vector<double> all;
    for (int i = 0; i < n; i++)
        for (int j = 0; j < m; j++)
            all.push_back(mat[i][j]);
    if (mat != NULL)
        frei(n, m, &mat);
    if (names != NULL)
        frei(m, &names);
    return all;
}

TEST(ModelFiles, ReadBackPredictsBitForBitAtEveryMagnitudeOfTheta)
{
    const int n = 12, d = 3;
    std::mt19937 gen(16);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    // Physical units: inputs of very different scales, a response of small
    // magnitude, values with every digit a double holds.
    const double scale[d] = {1e-4, 1.0, 350.0};
    std::vector<Row> x_rows, new_rows, y_rows;
    for (int i = 0; i < n; i++) {
        Row row;
        double sum = 0.0;
        for (int k = 0; k < d; k++) {
            double v = scale[k] * unit(gen);
            sum += v / scale[k];
            row.push_back(exact(v));
        }
        x_rows.push_back(row);
        y_rows.push_back({exact(1e-5 * std::sin(3.0 * sum)), exact(2.5e3 + sum * sum)});
    }
    for (int i = 0; i < 7; i++) {
        Row row;
        for (int k = 0; k < d; k++)
            row.push_back(exact(scale[k] * unit(gen)));
        new_rows.push_back(row);
    }

    for (int e = -9; e <= 3; e++) {
        SCOPED_TRACE("theta of magnitude 1e" + std::to_string(e));
        Session s;
        write_file("x.mat", matrix_text("design", {"a", "b", "c"}, x_rows));
        write_file("y.mat", matrix_text("responses", {"small", "big"}, y_rows));
        write_file("new.mat", matrix_text("new points", {"a", "b", "c"}, new_rows));
        s.read("X", "x.mat");
        s.read("y", "y.mat");
        ASSERT_EQ(s.ka->p + s.ka->c, 2) << s.report();
        const double mantissa[d] = {1.2345678901234567, 0.3141592653589793, 7.389056098930651};
        for (int j = 0; j < 2; j++) {
            KrigModel *m = &s.kr[j];
            for (int k = 0; k < d; k++) {
                m->theta[k] = mantissa[(k + j) % d] * std::pow(10.0, e) / std::pow(scale[k], 1.5);
                m->alpha[k] = 0.123456789012345 * (k + 1);
            }
            m->beta[0] = j == 0 ? 3.3333333333333335e-7 : 2500.123456789;
            m->var[0] = j == 0 ? 4.4444444444444447e-11 : 1.2345678e4;
            m->stochratio[0] = 1.0;
            m->loglike[0] = -123.45678901234;
            m->init.theta = m->init.alpha = m->init.beta = m->init.var = TRUE;
        }
        krigpredict(s.kr, s.ka, "new.mat", "before.mat");
        s.write("StochasticProcessModel", "corpar.mat");
        s.write("RegressionModel", "beta.mat");
        s.write("YDescription", "ydescrip.mat");

        // The records as they were, then spoilt, then read back.
        std::vector<double> saved;
        for (int j = 0; j < 2; j++) {
            KrigModel *m = &s.kr[j];
            for (int k = 0; k < d; k++) {
                saved.push_back(m->theta[k]);
                saved.push_back(m->alpha[k]);
                m->theta[k] = m->alpha[k] = 0.5;
            }
            saved.push_back(m->beta[0]);
            saved.push_back(m->var[0]);
            m->beta[0] = m->var[0] = 1.0;
        }
        s.read("StochasticProcessModel", "corpar.mat");
        s.read("RegressionModel", "beta.mat");
        s.read("YDescription", "ydescrip.mat");
        std::vector<double> back;
        for (int j = 0; j < 2; j++) {
            KrigModel *m = &s.kr[j];
            for (int k = 0; k < d; k++) {
                back.push_back(m->theta[k]);
                back.push_back(m->alpha[k]);
            }
            back.push_back(m->beta[0]);
            back.push_back(m->var[0]);
        }
        EXPECT_EQ(back, saved) << s.report();
        // Recomputed from the parameters read back, not reused.
        s.kr[0].init.R = s.kr[0].init.U = FALSE;
        krigpredict(s.kr, s.ka, "new.mat", "after.mat");
        std::vector<double> before = cells("before.mat"), after = cells("after.mat");
        ASSERT_EQ(before.size(), 7u * 4u);
        EXPECT_EQ(before, after);
        s.report();
    }
}

} // namespace
