// Vector and matrix utilities: argument orders, the sense of each dimension,
// the fatal checks and the text conversions.
#include "numeric/matrix.h"

#include <gtest/gtest.h>

#include <cstring>

#include "alloc/alloc.h"
#include "testutil.h"

namespace {

// A small matrix of real rows for the tests.
struct RealRows {
    real **m = NULL;
    int rows, cols;
    RealRows(int r, int c, std::initializer_list<real> values = {}) : rows(r), cols(c)
    {
        alloc(r, c, &m);
        int k = 0;
        for (int i = 0; i < r; i++)
            for (int j = 0; j < c; j++)
                m[i][j] = k < (int)values.size() ? values.begin()[k++] : -99.0;
    }
    ~RealRows() { frei(rows, cols, &m); }
};

TEST(MatrixUtilities, ProductsFollowTheirArgumentOrders)
{
    RealRows a(2, 3, {1, 2, 3, 4, 5, 6});
    RealRows b(3, 2, {7, 8, 9, 10, 11, 12});
    RealRows c(2, 2);
    MatMultMatReal(2, a.m, 3, b.m, 2, c.m);
    EXPECT_EQ(c.m[0][0], 58);
    EXPECT_EQ(c.m[0][1], 64);
    EXPECT_EQ(c.m[1][0], 139);
    EXPECT_EQ(c.m[1][1], 154);
    MatMultMatReal(2, a.m, 0, b.m, 2, c.m);
    EXPECT_EQ(c.m[1][1], 0.0) << "r = 0 leaves zeros";

    real v2[3] = {1, -1, 0};
    real out3[3];
    VecMultMatReal(v2, 2, a.m, 3, out3); // (1,-1) * a
    EXPECT_EQ(out3[0], -3);
    EXPECT_EQ(out3[2], -3);
    real v3[3] = {1, 0, 2};
    real out2[2];
    MatMultVecReal(2, a.m, 3, v3, out2); // a * (1,0,2)
    EXPECT_EQ(out2[0], 7);
    EXPECT_EQ(out2[1], 16);

    RealRows t(3, 2);
    TransRealMat(2, 3, a.m, t.m);
    EXPECT_EQ(t.m[2][0], 3);
    EXPECT_EQ(t.m[0][1], 4);

    RealRows d(2, 3);
    real diag[3] = {2, 0, -1};
    MatMultDiagMatReal(2, a.m, 3, diag, d.m);
    EXPECT_EQ(d.m[1][0], 8);
    EXPECT_EQ(d.m[1][1], 0);
    EXPECT_EQ(d.m[1][2], -6);

    EXPECT_EQ(VecMultVecReal(v3, 3, v3), 5);
    real prod[3] = {2, 3, 4};
    EXPECT_EQ(ProdVecReal(3, prod), 24);
    EXPECT_EQ(ProdVecReal(0, prod), 1);
}

TEST(MatrixUtilities, ElementwiseOperations)
{
    real a[3] = {1, 2, 3}, b[3] = {4, 5, 6}, c[3];
    VecAddVecNewReal(0.5, a, 3, b, c);
    EXPECT_EQ(c[2], 6);
    VecEwMultVecNewReal(a, 3, b, c);
    EXPECT_EQ(c[1], 10);
    VecEwMultVecReal(a, 3, b);
    EXPECT_EQ(b[2], 18);
    EXPECT_EQ(a[2], 3) << "the first argument is not changed";
    EXPECT_EQ(maximum_two(1, 2), 2);
    EXPECT_EQ(maximum_two(3, 2), 3);
}

TEST(MatrixUtilities, CopiesWithOffsetsAndOmissions)
{
    RealRows src(2, 4, {1, 2, 3, 4, 5, 6, 7, 8});
    RealRows dst(2, 5, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    copy_matrix(2, 2, src.m, 1, dst.m, 3);
    EXPECT_EQ(dst.m[0][3], 2);
    EXPECT_EQ(dst.m[1][4], 7);
    EXPECT_EQ(dst.m[1][2], 0);
    EXPECT_FATAL(copy_matrix(2, 2, src.m, -1, dst.m, 0), "copy_matrix with offsets: one of the  offset <0 ");

    real orig[4] = {10, 11, 12, 13}, copy[4] = {0, 0, 0, 0};
    copy_real_vector_minus_one(4, orig, 3, copy);
    EXPECT_EQ(copy[2], 12);
    copy_real_vector_minus_one(4, orig, 0, copy);
    EXPECT_EQ(copy[0], 11);
    EXPECT_EQ(copy[2], 13);
    EXPECT_FATAL(copy_real_vector_minus_one(4, orig, 4, copy),
                 "copy_real_vector_minus_one:(omit index>vector length)or <0");

    RealRows rows(3, 2, {1, 2, 3, 4, 5, 6});
    RealRows fewer(2, 2);
    copy_real_matrix_minus_1row(3, 2, rows.m, 1, fewer.m);
    EXPECT_EQ(fewer.m[1][0], 5);
    EXPECT_FATAL(copy_real_matrix_minus_1row(3, 2, rows.m, -1, fewer.m),
                 "copy_real_matrix_minus_1row:(omit index>vector length)or <0");
}

TEST(MatrixUtilities, RealToText)
{
    RealRows src(1, 3, {0.0, -1.25, 2.5});
    string **text = NULL;
    alloc(1, 4, &text);
    copy_matrix(1, 3, src.m, 0, text, 1);
    EXPECT_STREQ(text[0][1], "0.000000");
    EXPECT_STREQ(text[0][2], "-1.250000");
    EXPECT_STREQ(text[0][3], "2.500000");
    // Too long for a word of a matrix file (28 characters) with six decimals:
    // the fewest digits that read back, same value.
    src.m[0][0] = 1e22;
    src.m[0][1] = -3.5e21;
    copy_matrix(1, 2, src.m, 0, text, 0);
    EXPECT_STREQ(text[0][0], "1e+22");
    EXPECT_STREQ(text[0][1], "-3.5e+21");
    // Six decimals that lose digits: as many as it takes, at any magnitude.
    src.m[0][0] = 5.3123e-5;
    src.m[0][1] = 1.0 / 3.0;
    src.m[0][2] = -2.5e-300;
    copy_matrix(1, 3, src.m, 0, text, 0);
    EXPECT_STREQ(text[0][0], "5.3123e-05");
    EXPECT_STREQ(text[0][1], "0.3333333333333333");
    EXPECT_STREQ(text[0][2], "-2.5e-300");
    src.m[0][0] = 9.99e20; // "%f" still fits: 28 characters
    copy_matrix(1, 1, src.m, 0, text, 0);
    EXPECT_EQ(strlen(text[0][0]), 28u);
    src.m[0][0] = 8e21; // 29 characters would not read back
    copy_matrix(1, 1, src.m, 0, text, 0);
    EXPECT_STREQ(text[0][0], "8e+21");
    EXPECT_FATAL(copy_matrix(1, 1, src.m, 0, text, -2),
                 "copy_matrix real to string with offsets: one of the  offset <0 ");
    frei(1, 4, &text);
}

TEST(MatrixUtilities, ConcatString)
{
    string words[3] = {"ab", "cdefghijk", "z"};
    char line[32];
    EXPECT_EQ(concat_string(3, words, 20, line), 1);
    EXPECT_STREQ(line, "ab   cdefghijk   ");
    EXPECT_EQ(concat_string(2, words, 20, line), 0);
    EXPECT_EQ(concat_string(0, words, 20, line), 0);
    EXPECT_STREQ(line, "");
}

TEST(MatrixUtilities, SearchAndMinimum)
{
    string names[2] = {"x1", "x2"};
    int index = 0;
    EXPECT_EQ(matchvecs("x2", 2, names, &index), 0);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(matchvecs("X2", 2, names, &index), 1);
    EXPECT_EQ(index, -1);

    real v[3] = {3, 1, 1};
    EXPECT_EQ(RealMinimumIndex(3, v, &index), 1);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(Real_Minimum(3, v), 1);
    EXPECT_FATAL(Real_Minimum(0, v), "Real_Minimum: Minimum of empty set of numbers");
    EXPECT_FATAL(RealMinimumIndex(0, v, &index), "Real_Minimum: Minimum of empty set of numbers");
}

TEST(MatrixUtilities, FillsAndComparisons)
{
    real v[3];
    init_real_vec(2.5, 3, v);
    EXPECT_EQ(v[2], 2.5);
    EXPECT_FATAL(init_real_vec(1.0, 0, v), "init_real_vec: Vector has n==0");
    RealRows m(3, 3);
    init_diag_mat(4.0, 3, m.m);
    EXPECT_EQ(m.m[1][1], 4.0);
    EXPECT_EQ(m.m[1][2], 0.0);
    EXPECT_FATAL(init_diag_mat(1.0, 0, m.m), "init_diag_mat: Matrix has n==0");

    real w[3] = {2.5, 2.5, 2.5};
    EXPECT_TRUE(identical_vec(3, v, w));
    w[2] = 2.5000000000000004;
    EXPECT_FALSE(identical_vec(3, v, w));
    EXPECT_TRUE(identical_vec(0, v, w));
}

} // namespace
