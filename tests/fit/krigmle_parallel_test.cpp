// Fits whose tries run side by side: a set of models fitted at once gives
// the parameters and the report of fitting them one after another, on every
// processor as on one, warnings raised inside the tries included.
#include "fit/krigmle.h"

#include <gtest/gtest.h>

#include <sched.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "likelihood_reference.h"
#include "numeric/unif.h"
#include "session.h"

namespace {

using likelihood::Mat;
using likelihood::Params;
using likelihood::Vec;

struct Outcome {
    std::string report;
    std::vector<real> numbers; // alpha, theta, beta, var, loglike of every model
};

// Three models on 12 runs in 2 inputs, the third with a repeated run (its
// correlation matrix singular, so its tries warn), fitted either as one set
// or one by one, from seed 10, 20, 1000.
Outcome fit_three(bool as_set)
{
    std::mt19937 gen(21);
    Mat X = likelihood::random_design(12, 2, gen);
    Session session;
    std::vector<std::unique_ptr<DataModel>> models;
    for (int m = 0; m < 3; m++) {
        Mat Xm = X;
        if (m == 2)
            Xm[5] = Xm[2];
        Vec y = likelihood::sample(Xm, Params{{0.5, 1.0}, {2.0, 1.0 + m}, 1.0}, 0.0, 1.0, gen);
        if (m == 2)
            y[5] = y[2];
        models.emplace_back(new DataModel(Xm, y));
    }
    KrigModel *set[3] = {&models[0]->kr, &models[1]->kr, &models[2]->kr};
    const char *lines[3] = {"Fitting a ... \n", "Fitting b ... \n", "Fitting c ... \n"};
    RandInit(10, 20, 1000);
    if (as_set) {
        krig_mle_set(set, lines, 3, 1);
    } else {
        for (int m = 0; m < 3; m++) {
            fputs(lines[m], ofp);
            krig_mle(set[m], 1);
        }
    }
    Outcome out;
    for (std::string report = session.report(); !report.empty();) {
        // Every line but the CPU times.
        size_t end = report.find('\n') + 1;
        std::string line = report.substr(0, end);
        if (line.find("Seconds:") == std::string::npos)
            out.report += line;
        report.erase(0, end);
    }
    for (KrigModel *kr : set) {
        out.numbers.insert(out.numbers.end(), kr->alpha, kr->alpha + 2);
        out.numbers.insert(out.numbers.end(), kr->theta, kr->theta + 2);
        out.numbers.insert(out.numbers.end(), {kr->beta[0], kr->var[0], kr->loglike[0]});
    }
    return out;
}

TEST(KrigMleSet, SetOnAnyNumberOfProcessorsEqualsOneModelAfterAnother)
{
    Outcome one_by_one = fit_three(false);
    Outcome as_set = fit_three(true);
    EXPECT_EQ(as_set.report, one_by_one.report);
    EXPECT_EQ(memcmp(as_set.numbers.data(), one_by_one.numbers.data(), as_set.numbers.size() * sizeof(real)), 0);
    // The warning raised inside the first try of c comes before that try's
    // line, and so does the one of its search stopped at the limit.
    EXPECT_NE(one_by_one.report.find("Fitting c ... \nWARNING: Correlation Matrix is singular. Proceed with fingers "
                                     "crossed. (T2)\nWARNING: MLE try was interrupted when max iteration was "
                                     "reached\nMLE-Try  1"),
              std::string::npos)
        << one_by_one.report;

    // Held to the first processor, the tries run one at a time.
    cpu_set_t all, first;
    ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
    CPU_ZERO(&first);
    for (int cpu = 0; cpu < CPU_SETSIZE; cpu++)
        if (CPU_ISSET(cpu, &all)) {
            CPU_SET(cpu, &first);
            break;
        }
    ASSERT_EQ(sched_setaffinity(0, sizeof first, &first), 0);
    Outcome single = fit_three(true);
    sched_setaffinity(0, sizeof all, &all);
    EXPECT_EQ(single.report, one_by_one.report);
    EXPECT_EQ(memcmp(single.numbers.data(), one_by_one.numbers.data(), single.numbers.size() * sizeof(real)), 0);
}

} // namespace
