// Closed-form leave-one-out cross-validation from one Cholesky factorisation.
#include "kriging/crossval_closed.h"

#include <cfloat>
#include <cmath>
#include <vector>

#include <Eigen/Cholesky>
#include <Eigen/Dense>

#include "kriging/correlation.h"
#include "numeric/matrix.h"

namespace {

// Columns of L^-1 formed together by one triangular solve.
const int INVERSE_BLOCK = 64;

const char *const NOT_DEFINITE = "the correlation matrix is not positive definite";
const char *const NEAR_SINGULAR = "the correlation matrix is too close to singular";

// The entries below the diagonal of column i of the correlation matrix, as
// the reduced predictor sees them: the correlation vector of run i with the
// runs after it (calcr). FALSE when a pair of runs at one point gets another
// value there than in the correlation matrix of a reduced design (calcR):
// then the reduced designs are not all submatrices of one matrix.
boolean fill_column(const KrigModel *kr, real **X, int n, int d, int i, Eigen::MatrixXd &M)
{
    real sr = kr->stochratio[0];
    real *col = M.col(i).data();
    col[i] = 1.0;
    calcr(X[i], col + i + 1, X + i + 1, kr->alpha, kr->theta, sr, n - i - 1, d);
    if (sr == 1.0)
        return TRUE;
    for (int j = i + 1; j < n; j++) {
        if (col[j] != sr || !identical_vec(d, X[i], X[j]))
            continue;
        real pair[2][2];
        real *rows[2] = {pair[0], pair[1]};
        real *points[2] = {X[i], X[j]};
        calcR(points, kr->alpha, kr->theta, sr, 2, d, rows);
        if (pair[0][1] != col[j])
            return FALSE;
    }
    return TRUE;
}

// Q_ii = ||L^-1 e_i||^2 for every i, a block of columns of L^-1 at a time;
// column i of L^-1 is zero above row i, so each block is solved with the
// trailing part of L only.
void inverse_diagonal(const Eigen::Ref<Eigen::MatrixXd> &L, int n, std::vector<real> &diagQ)
{
    Eigen::MatrixXd B;
    for (int c = 0; c < n; c += INVERSE_BLOCK) {
        int m = n - c, b = m < INVERSE_BLOCK ? m : INVERSE_BLOCK;
        B.setZero(m, b);
        for (int t = 0; t < b; t++)
            B(t, t) = 1.0;
        L.bottomRightCorner(m, m).triangularView<Eigen::Lower>().solveInPlace(B);
        for (int t = 0; t < b; t++)
            diagQ[c + t] = B.col(t).squaredNorm();
    }
}

} // namespace

const char *krigcv_closed(KrigModel *kr, real **anyX, const real *anyY, int an, int ad, real **cvmat)
{
    real var = kr->var[0];
    // A negative variance goes through the guard on negative mean squared
    // errors, run by run, in the per-run computation.
    if (!(var >= 0.0))
        return "the variance is negative";
    int n = an;

    // The lower triangle of R, and the column sums of |A| for the norm of
    // the augmented matrix A = [[0, 1'], [1, R]].
    Eigen::MatrixXd M(n, n);
    std::vector<real> colsum(n, 2.0); // the 1 of F and the diagonal 1
    for (int i = 0; i < n; i++) {
        if (!fill_column(kr, anyX, n, ad, i, M))
            return "two runs at one point are correlated unlike in the correlation matrix";
        for (int j = i + 1; j < n; j++) {
            real a = fabs(M(j, i));
            colsum[i] += a;
            colsum[j] += a;
        }
    }
    real normA = n;
    for (int i = 0; i < n; i++)
        if (!(colsum[i] <= normA))
            normA = colsum[i]; // also takes a sum that is not a number
    if (!std::isfinite(normA))
        return NOT_DEFINITE;

    Eigen::LLT<Eigen::Ref<Eigen::MatrixXd>, Eigen::Lower> llt(M);
    if (llt.info() != Eigen::Success)
        return NOT_DEFINITE;
    std::vector<real> diagQ(n);
    inverse_diagonal(M, n, diagQ);

    // Applicability. With λ the smallest eigenvalue of R, λ >= 1 / trace(Q).
    // Every reduced augmented matrix A_i (run i left out) has one negative
    // eigenvalue of magnitude above 0.6 (the Schur complement
    // -1' R_i^-1 1 with λmax(R_i) <= n) and positive ones that are at
    // least the smallest eigenvalue of R_i, itself at least λ (interlacing).
    // The eigen-decomposition returns each eigenvalue of A_i within about
    // n · eps · ||A_i|| of the exact one (a classical bound for Householder
    // reduction and QL, pessimistic in n), and ||A_i||_2 <= ||A||_1. So
    // when λ - n eps ||A||_1 stays above the band of 3e-14 no reciprocal is
    // dropped, and the per-run computation inverts exactly the matrices
    // whose inverses the formulas below use. The factor 2 covers the
    // rounding of trace(Q) itself: the test bounds the condition number of R
    // by ||A||_1 trace(Q) <= 1 / (2 n eps), so the usual bound n eps cond(R)
    // on the relative error of the computed inverse stays below 1/2.
    real traceQ = 0.0;
    for (int i = 0; i < n; i++)
        traceQ += diagQ[i];
    real margin = SINGULAR_EIGVAL + n * DBL_EPSILON * normA;
    if (!(traceQ > 0.0) || !(2.0 * margin * traceQ <= 1.0))
        return NEAR_SINGULAR;

    // The finite responses; a missing one enters through its column of P.
    Eigen::VectorXd ones = Eigen::VectorXd::Ones(n), yf(n);
    std::vector<int> missing;
    for (int i = 0; i < n; i++) {
        yf(i) = anyY[i] == NA_VALUE ? 0.0 : anyY[i];
        if (anyY[i] == NA_VALUE)
            missing.push_back(i);
    }
    Eigen::VectorXd q1 = llt.solve(ones), qy = llt.solve(yf);
    real s11 = q1.sum(), s1y = q1.dot(yf);
    if (!(s11 > 0.0) || !std::isfinite(s1y))
        return NEAR_SINGULAR;

    // (P y)_i - P_ii y_i: the sum over the other runs. For the finite part
    // the difference is taken as y_i - (P yf)_i / P_ii; each missing run k
    // adds P_ik · NA (never for i = k).
    std::vector<real> pii(n), off(n, 0.0);
    for (int i = 0; i < n; i++) {
        pii[i] = diagQ[i] - q1(i) * q1(i) / s11;
        if (!(pii[i] > 0.0) || !std::isfinite(pii[i]))
            return NEAR_SINGULAR;
    }
    Eigen::VectorXd ek = Eigen::VectorXd::Zero(n);
    for (int k : missing) {
        ek(k) = 1.0;
        Eigen::VectorXd qk = llt.solve(ek);
        ek(k) = 0.0;
        for (int i = 0; i < n; i++)
            if (i != k)
                off[i] += (qk(i) - q1(i) * q1(k) / s11) * NA_VALUE;
    }
    for (int i = 0; i < n; i++) {
        real py = qy(i) - q1(i) * s1y / s11;
        real pred = yf(i) - py / pii[i] - off[i] / pii[i];
        real se = sqrt(var / pii[i]);
        if (!std::isfinite(pred) || !std::isfinite(se))
            return NEAR_SINGULAR;
        cvmat[i][0] = pred;
        cvmat[i][1] = se;
    }
    return NULL;
}
