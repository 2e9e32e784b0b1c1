// Leave-one-out cross-validation against brute force: each row equals the
// direct ordinary-kriging prediction from the data without that row, and the
// expected improvement (cvei) equals its closed form. The command's texts and
// files, and a standard error of exactly 0, are pinned by end-to-end cases.
#include "kriging/crossval.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "alloc/alloc.h"
#include "kriging_reference.h"
#include "model/krigmodel.h"
#include "session.h"

namespace {

// Expected improvement over ymin of a normal prediction (mu, s), from the
// complementary error function.
double closed_form_ei(double mu, double s, double ymin)
{
    if (s == 0.0)
        return 0.0;
    double z = (ymin - mu) / s;
    double cdf = 0.5 * std::erfc(-z / std::sqrt(2.0));
    double pdf = std::exp(-0.5 * z * z) / std::sqrt(2.0 * M_PI);
    return (ymin - mu) * cdf + s * pdf;
}

// The model without observation i.
reference::Model without(const reference::Model &m, size_t i)
{
    reference::Model rest = m;
    rest.X.erase(rest.X.begin() + i);
    rest.y.erase(rest.y.begin() + i);
    return rest;
}

// Every row against the reference model without that row; the data set is
// the model's own 12 runs or 7 runs of another sample, the improvement always
// over the minimum of the model's own responses.
TEST(KrigCv, EveryRowIsThePredictionWithoutIt)
{
    Session s; // tracking mode: every temporary is released with its size
    std::mt19937 gen(3131);
    for (int d : {1, 2, 4}) {
        for (double stochratio : {1.0, 0.6}) {
            reference::Model model = reference::random_model(gen, 12, d, stochratio);
            KrigModel kr;
            NULL_KrigModel(&kr);
            init_KrigModel(&kr, 12, d, 1);
            std::copy(model.y.begin(), model.y.end(), kr.y);
            std::copy(model.theta.begin(), model.theta.end(), kr.theta);
            std::copy(model.alpha.begin(), model.alpha.end(), kr.alpha);
            kr.stochratio[0] = stochratio;
            kr.var[0] = model.var;
            kr.init.theta = kr.init.alpha = kr.init.beta = kr.init.var = TRUE;
            double ymin = *std::min_element(model.y.begin(), model.y.end());
            for (bool own : {true, false}) {
                reference::Model data = model;
                if (!own) {
                    reference::Model other = reference::random_model(gen, 7, d, stochratio);
                    data.X = other.X;
                    data.y = other.y;
                }
                int an = (int)data.y.size();
                real **X = NULL, **cv = NULL;
                alloc(an, d, &X);
                alloc(an, 3, &cv);
                for (int i = 0; i < an; i++)
                    std::copy(data.X[i].begin(), data.X[i].end(), X[i]);
                krigcv_anyXY(&kr, X, data.y.data(), an, d, cv, 3);
                for (int i = 0; i < an; i++) {
                    reference::Prediction p = reference::predict(without(data, i), data.X[i]);
                    double ei = closed_form_ei(cv[i][0], cv[i][1], ymin);
                    EXPECT_NEAR(cv[i][0], p.value, 1e-9 * (1.0 + std::fabs(p.value))) << d << own << i;
                    EXPECT_NEAR(cv[i][1], p.se, 1e-7 * std::sqrt(model.var)) << d << own << i;
                    EXPECT_NEAR(cv[i][2], ei, 1e-9 * (1.0 + ei)) << d << own << i;
                }
                frei(an, 3, &cv);
                frei(an, d, &X);
            }
            free_KrigModel(&kr);
        }
    }
}

} // namespace
