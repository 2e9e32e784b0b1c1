// The production eigen-decomposition against the plain column-walking form
// (tests/plain): eigenvalues and eigenvectors equal to the bit on random
// symmetric matrices of every order the benchmarks use, on correlation and
// augmented matrices, and on matrices whose rows are already reduced.
#include "numeric/eigen.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "alloc/alloc.h"
#include "plain/eigen_plain.h"

namespace {

enum Kind { UNIFORM, CORRELATION, ZERO_ROWS, AUGMENTED };

// Fills the lower triangle and the diagonal of a (n x n) with a matrix of
// the given kind and the upper triangle with noise, which neither form reads.
void fill(real **a, int n, Kind kind, std::mt19937 &gen)
{
    std::uniform_real_distribution<real> unif(-1.0, 1.0);
    std::vector<real> x(3 * n);
    for (real &v : x)
        v = (unif(gen) + 1.0) / 2.0;
    for (int i = 0; i < n; i++)
        for (int j = 0; j <= i; j++) {
            real v = unif(gen);
            if (kind == CORRELATION || kind == AUGMENTED) {
                real s = 0.0;
                for (int k = 0; k < 3; k++)
                    s += 2.0 * std::pow(std::fabs(x[3 * i + k] - x[3 * j + k]), 1.5);
                v = i == j ? 1.0 : std::exp(-s);
                if (kind == AUGMENTED && j == 0)
                    v = i == 0 ? 0.0 : 1.0;
            } else if (kind == ZERO_ROWS && i % 3 == 0 && i != j) {
                v = 0.0;
            }
            a[i][j] = v;
            if (j < i)
                a[j][i] = unif(gen);
        }
}

TEST(EigenPlain, ProductionFormIsBitIdentical)
{
    std::mt19937 gen(2024);
    const int sizes[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 16, 17, 31, 50, 100, 101, 200, 201, 400};
    for (int n : sizes)
        for (Kind kind : {UNIFORM, CORRELATION, ZERO_ROWS, AUGMENTED}) {
            int repeats = n <= 50 ? 5 : (n < 400 ? 2 : 1);
            for (int rep = 0; rep < repeats; rep++) {
                real **a = NULL, **b = NULL;
                real *da = NULL, *db = NULL;
                alloc(n, n, &a);
                alloc(n, n, &b);
                alloc(n, &da);
                alloc(n, &db);
                fill(a, n, kind, gen);
                for (int i = 0; i < n; i++)
                    memcpy(b[i], a[i], n * sizeof(real));
                plain::eigen(a, n, da);
                eigen(b, n, db);
                EXPECT_EQ(memcmp(da, db, n * sizeof(real)), 0) << "eigenvalues, n " << n << " kind " << kind;
                int rows_differ = 0;
                for (int i = 0; i < n; i++)
                    rows_differ += memcmp(a[i], b[i], n * sizeof(real)) != 0;
                EXPECT_EQ(rows_differ, 0) << "eigenvectors, n " << n << " kind " << kind;
                frei(n, &db);
                frei(n, &da);
                frei(n, n, &b);
                frei(n, n, &a);
            }
        }
}

} // namespace
