// The criterion search and the pieces of the Minimize loop: the search finds
// at least the best criterion of a dense grid of the box, the constraint
// probability of a model known without error is a step at its bounds, the
// best feasible value leaves out infeasible and missing runs, and the refit
// and stopping rules follow their tables.
#include "minimize/krigmin.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "alloc/alloc.h"
#include "kriging/blup.h"
#include "kriging/correlation.h"
#include "kriging/predict.h"
#include "minimize/criterion.h"
#include "minimize/maxcrit.h"
#include "minimize/minstage.h"
#include "matfile/readmat.h"
#include "matfile/readdesign.h"
#include "numeric/trafo.h"
#include "session.h"

namespace {

// f(x1, x2) = (x1 - 0.3)² + (x2 - 0.6)² at 9 runs of [0, 1]², with a second
// y-variable c = x1 + x2 that may be marked a constraint, prescribed
// Gaussian correlation parameters and variances.
const double design[9][2] = {{0.05, 0.1}, {0.5, 0.05}, {0.95, 0.2}, {0.1, 0.5}, {0.55, 0.45},
                             {0.9, 0.6}, {0.15, 0.95}, {0.45, 0.9}, {0.85, 0.85}};

void load(Session &s, const std::string &cons_min, const std::string &cons_max, const std::string &flag)
{
    std::vector<Row> x, y;
    for (const auto &p : design) {
        x.push_back({fixed5(p[0]), fixed5(p[1])});
        y.push_back({fixed5(pow(p[0] - 0.3, 2) + pow(p[1] - 0.6, 2)), fixed5(p[0] + p[1])});
    }
    write_file("x.mat", matrix_text("x", {"x1", "x2"}, x));
    write_file("y.mat", matrix_text("y", {"f", "c"}, y));
    write_file("r.mat", "r\n---\n Variable Min Max\n---\n x1 0 1\n x2 0 1\n");
    write_file("cp.mat", "c\n---\n Variable Theta.f Alpha.f Theta.c Alpha.c\n---\n"
                         " x1 3.0 0.0 1.0 0.0\n x2 3.0 0.0 1.0 0.0\n");
    write_file("b.mat", "b\n---\n Variable Term Coefficients\n---\n f 1 0.3\n c 1 1.0\n");
    write_file("d.mat", "d\n---\n Variable StochasticProcessVariance ErrorVariance Min Max Constraint\n---\n"
                        " f 0.1 0 NA NA FALSE\n c 0.5 0 " +
                            cons_min + " " + cons_max + " " + flag + "\n");
    s.read("X", "x.mat");
    s.read("y", "y.mat");
    s.read("XDescription", "r.mat");
    s.read("StochasticProcessModel", "cp.mat");
    s.read("RegressionModel", "b.mat");
    s.read("YDescription", "d.mat");
    for (int q = 0; q < 2; q++) {
        ensure_init(&s.kr[q], "R");
        ensure_init(&s.kr[q], "F");
        ensure_init(&s.kr[q], "U");
    }
    krmin = s.kr;
    kam = s.ka;
    des_to_min = 0;
    constraint = s.ka->c >= 1;
    initial_des_n = 9;
    criterion_prepare(s.kr, s.ka);
}

// The criterion at a point of the box.
double criterion_at(double x1, double x2, real **range)
{
    real box[2] = {x1, x2}, free_pt[2];
    real *in[1] = {box}, *out[1] = {free_pt};
    trafo_ab_inf(1, 2, in, range, out, "sin");
    return -ExpectedImprovement(free_pt, 2);
}

TEST(MaximalExpectedImprovement, AtLeastTheBestOfADenseGrid)
{
    Session s;
    load(s, "NA", "NA", "FALSE");
    calc_ymin(s.ka, s.kr);
    MinTarget = ymin;
    KrigModel *target = &s.kr[0];
    real MaxExpImp, xbest[2];
    CriterionOptimTries = -1;
    s.report();
    EXPECT_EQ(MaximalExpectedImprovement(target, &MaxExpImp, xbest), 0);
    EXPECT_EQ(CriterionOptimTries, 18); // twice the design points, kept
    double grid_best = 0.0;
    for (int i = 0; i <= 200; i++)
        for (int j = 0; j <= 200; j++)
            grid_best = std::max(grid_best, criterion_at(i / 200.0, j / 200.0, target->range));
    EXPECT_GT(grid_best, 0.0);
    EXPECT_GE(MaxExpImp, grid_best * (1 - 1e-6));
    EXPECT_NEAR(criterion_at(xbest[0], xbest[1], target->range), MaxExpImp, 1e-9 * MaxExpImp);
    criterion_release();
    CriterionOptimTries = -1;
    MinTarget = 0.0;
}

TEST(ConstraintProb, StepAtTheBoundsWhereThePredictionIsExact)
{
    // At design point 5, (0.55, 0.45), the constraint c = 1.0 is predicted
    // exactly (standard error 0, taken as 3e-14).
    const struct {
        const char *min, *max;
        double prob;
    } cases[] = {{"0.5", "1.5", 1.0}, {"1.2", "NA", 0.0}, {"NA", "0.9", 0.0}, {"NA", "NA", 1.0}};
    for (const auto &c : cases) {
        Session s;
        load(s, c.min, c.max, "TRUE");
        real point[2] = {0.55, 0.45};
        real *row[1] = {point};
        EXPECT_NEAR(ConstraintProb(row, 2), c.prob, 1e-12) << c.min << " " << c.max;
        criterion_release();
    }
}

TEST(CalcYmin, OnlyFeasibleRunsWithATargetValue)
{
    Session s;
    // c <= 0.9 leaves runs 1, 2, 4 (c = 0.15, 0.55, 0.6); run 4 is the best.
    load(s, "NA", "0.9", "TRUE");
    calc_ymin(s.ka, s.kr);
    EXPECT_NEAR(ymin, pow(0.1 - 0.3, 2) + pow(0.5 - 0.6, 2), 1e-5);
    double before = ymin;
    real missing_target[2] = {NA_VALUE, 0.1}, infeasible[2] = {0.0, 2.0}, missing_constraint[2] = {0.0, NA_VALUE};
    for (real *newy : {missing_target, infeasible, missing_constraint}) {
        update_ymin(s.ka, newy);
        EXPECT_EQ(ymin, before);
    }
    real better[2] = {0.01, 0.5};
    update_ymin(s.ka, better);
    EXPECT_EQ(ymin, 0.01);
    // A missing target value in the design never becomes the best value.
    s.kr[0].y[3] = NA_VALUE;
    calc_ymin(s.ka, s.kr);
    EXPECT_NEAR(ymin, pow(0.05 - 0.3, 2) + pow(0.1 - 0.6, 2), 1e-5);
    criterion_release();
}

TEST(DoMle, RefitPolicy)
{
    const struct {
        int i, n, last, freq;
        double perc;
        bool refit;
        int freq_after;
    } cases[] = {
        {0, 300, 1, 1, 0.0, true, 1},    {3, 50, 49, 1, 0.0, true, 1},    {3, 50, 49, 2, 0.0, false, 2},
        {4, 50, 48, 2, 0.0, true, 2},    {1, 100, 99, 1, 0.0, false, 10}, {10, 100, 99, 5, 0.0, true, 10},
        {10, 100, 99, 12, 0.0, false, 12}, {5, 200, 150, 1, 0.0, false, 1}, {5, 54, 50, 1, 0.1, false, 1},
        // The percentage is held as the option reads it, in single precision:
        // 10 % of 50 runs is 55, 30 % of 10 runs is 13.
        {5, 55, 50, 1, 0.1, true, 1},    {5, 12, 10, 1, 0.3, false, 1},   {5, 13, 10, 1, 0.3, true, 1},
    };
    for (const auto &c : cases) {
        MinimizationMleFrequency = c.freq;
        MinimizationMlePerc = (float)c.perc;
        EXPECT_EQ(do_mle(c.i, c.n, c.last), c.refit) << "i=" << c.i << " n=" << c.n;
        EXPECT_EQ(MinimizationMleFrequency, c.freq_after);
    }
    MinimizationMleFrequency = 1;
    MinimizationMlePerc = 0.0;
    EXPECT_FATAL(do_mle(1, 10, 0), "do_mle: Code Bug , last_mle_n==0");
}

TEST(ConvergeCrit, ToleranceRule)
{
    const struct {
        double y, delta;
        bool converged;
    } cases[] = {{5.0, 0.0009, true}, {5.0, 0.002, true}, {5.0, 0.006, false}, {0.0, 0.0009, true},
                 {0.0, 0.002, false}, {-5.0, 0.004, true}};
    for (const auto &c : cases)
        EXPECT_EQ(ConvergeCrit(c.y, c.delta), c.converged) << c.y << " " << c.delta;
}

TEST(CriterionStart, NeighbourDistancesAndDisplacementSteps)
{
    Session s;
    load(s, "NA", "NA", "FALSE");
    // Design point 5, (0.55, 0.45): upwards the nearest x1 is 0.85, x2 0.5;
    // downwards x1 0.5 and x2 0.2.
    int up[2] = {1, 1}, down[2] = {-1, -1};
    real dist[2];
    real pt[2] = {0.55, 0.45};
    min_distance_each_dim(9, 2, pt, s.kr[0].X, s.kr[0].range, up, dist);
    EXPECT_NEAR(dist[0], 0.3, 1e-12);
    EXPECT_NEAR(dist[1], 0.05, 1e-12);
    min_distance_each_dim(9, 2, pt, s.kr[0].X, s.kr[0].range, down, dist);
    EXPECT_NEAR(dist[0], 0.05, 1e-12);
    EXPECT_NEAR(dist[1], 0.25, 1e-12);

    // Displacement with 11 points: steps of 0.05 of the range.
    real **startx = NULL;
    real ei[3];
    alloc(3, 2, &startx);
    startx[0][0] = 0.55;
    startx[0][1] = 0.45;
    MinTarget = 0.0;
    start_values_krmin(2, 11, s.kr[0].range, startx, ei, "displacement");
    real **box = NULL;
    alloc(3, 2, &box);
    trafo_inf_ab(3, 2, startx, s.kr[0].range, box, "sin");
    for (int i = 0; i < 3; i++)
        for (int k = 0; k < 2; k++) {
            bool moved = i == 0 || k == i - 1;
            EXPECT_NEAR(fabs(box[i][k] - pt[k]), moved ? 0.05 : 0.0, 1e-12) << i << " " << k;
        }
    frei(3, 2, &box);
    frei(3, 2, &startx);
    criterion_release();
}

} // namespace

namespace {

TEST(MinimizeStage, ABatchOfDistinctPointsAwayFromTheDesign)
{
    Session s;
    load(s, "NA", "NA", "FALSE");
    criterion_release();
    s.report();
    ASSERT_EQ(MinimizeStage(s.kr, s.ka, 3, "batch.mat"), 0);
    real **m = NULL;
    string *names = NULL;
    int rows = 0, cols = 0;
    ASSERT_EQ(read_matrix(0, 0, &m, &rows, &cols, "batch.mat", &names), 0);
    ASSERT_EQ(rows, 12);
    ASSERT_EQ(cols, 2);
    for (int i = 0; i < 9; i++)
        for (int k = 0; k < 2; k++)
            EXPECT_NEAR(m[i][k], design[i][k], 1e-5);
    // Each new point keeps a distance from every earlier point, old or new:
    // the criterion collapses near the points already chosen.
    for (int i = 9; i < 12; i++)
        for (int j = 0; j < i; j++)
            EXPECT_GT(hypot(m[i][0] - m[j][0], m[i][1] - m[j][1]), 0.05) << i << " " << j;
    frei(rows, cols, &m);
    frei(cols, &names);
    MinTarget = 0.0;
    CriterionOptimTries = -1;
}

// The staged criterion, which takes the correlations with the model's own
// runs from the target's prediction, equals to the bit the criterion put
// together from its plain pieces: the target's prediction, the standard
// error on the whole augmented design, and the improvement formula; also
// when the augmented design does not begin with the model's runs.
TEST(MinimizeStage, StagedCriterionEqualsItsPlainPiecesBitForBit)
{
    Session s;
    load(s, "NA", "NA", "FALSE");
    criterion_release();
    KrigModel *t = &s.kr[s.ka->pvec[0]];
    real saved_target = MinTarget;
    MinTarget = 0.01;
    for (bool own_runs_first : {true, false}) {
        const int rows = 11;
        real **aug = NULL;
        alloc(rows, 2, &aug);
        for (int i = 0; i < 9; i++)
            for (int k = 0; k < 2; k++)
                aug[own_runs_first ? i : 8 - i][k] = t->X[i][k];
        aug[9][0] = 0.3, aug[9][1] = 0.7;
        aug[10][0] = 0.72, aug[10][1] = 0.31;
        anyX = aug;
        anyX_rows = rows;
        anyX_cols = 2;
        criterion_state(s.kr, s.ka, 1);
        criterion_prepare(s.kr, s.ka);
        ASSERT_TRUE(init_krigblup_anyXY(t, anyX, rows, 2, 1));
        for (double u : {0.02, 0.31, 0.5, 0.77, 0.98})
            for (double v : {0.13, 0.6, 0.9}) {
                real box[2] = {u, v}, free_pt[2], back[2];
                real *in[1] = {box}, *mid[1] = {free_pt}, *out[1] = {back};
                trafo_ab_inf(1, 2, in, t->range, mid, "sin");
                real fast = ExpectedImprovement(free_pt, 2);
                trafo_inf_ab(1, 2, mid, t->range, out, "sin");
                real **pt = out, **pred = NULL;
                alloc(1, 2, &pred);
                krigblup(t, 1, pt, pred, -1);
                real se_aug = krigse_anyXY(t, anyX, rows, 2, back);
                real plain = pred[0][1] == 0.0
                                 ? -0.0
                                 : -generalised_improvement((MinTarget - pred[0][0]) / pred[0][1], se_aug,
                                                            GlobalEiParam);
                EXPECT_EQ(std::memcmp(&fast, &plain, sizeof(real)), 0)
                    << u << " " << v << " own runs first " << own_runs_first << ": " << fast << " " << plain;
                frei(1, 2, &pred);
            }
        free_krigblup_anyXY(rows, 1);
        criterion_release();
        frei(rows, 2, &aug);
        anyX = NULL;
    }
    des_to_min = 0;
    MinTarget = saved_target;
}

TEST(MinimizeStage, ACountBeyondMemoryIsRefusedBeforeAnythingIsChosen)
{
    Session s;
    load(s, "NA", "NA", "FALSE");
    criterion_release();
    s.report();
    for (const char *count : {"1000000", "2147483647"}) {
        char command[] = "MinimizeStage", number[16], arrow[] = ">", file[] = "batch.mat";
        snprintf(number, sizeof number, "%s", count);
        char *token[] = {command, number, arrow, file};
        init_MinStage(s.kr, s.ka, token, 4);
        std::string text = s.report();
        EXPECT_EQ(text.rfind(std::string("Sorry, command ignored. MinimizeStage ") + count + " needs about ", 0), 0u)
            << text;
        EXPECT_NE(text.find("more than the machine's memory"), std::string::npos) << text;
        EXPECT_FALSE(file_exists("batch.mat"));
    }
}

} // namespace
