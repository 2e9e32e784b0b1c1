// Vector and matrix utilities.
#include "numeric/matrix.h"

#include <cstdio>
#include <cstring>

#include "numeric/multiarch.h"
#include "numeric/nrerror.h"
#include "numeric/numtext.h"

void init_real_vec(real x, int n, real *vec)
{
    if (n == 0)
        nrerror("init_real_vec: Vector has n==0");
    for (int i = 0; i < n; i++)
        vec[i] = x;
}

void init_diag_mat(real x, int n, real **mat)
{
    if (n == 0)
        nrerror("init_diag_mat: Matrix has n==0");
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++)
            mat[i][j] = (i == j) ? x : 0.0;
}

boolean identical_vec(int n, const real *vec1, const real *vec2)
{
    for (int i = 0; i < n; i++)
        if (vec1[i] != vec2[i])
            return FALSE;
    return TRUE;
}

void copy_real_matrix(int n, int m, real **mat, real **mat_copy)
{
    for (int i = 0; i < n; i++)
        for (int j = 0; j < m; j++)
            mat_copy[i][j] = mat[i][j];
}

void copy_matrix(int n, int m, real **mat, int offset, real **mat_copy, int cp_offset)
{
    if (offset < 0 || cp_offset < 0)
        nrerror("copy_matrix with offsets: one of the  offset <0 ");
    for (int i = 0; i < n; i++)
        for (int j = 0; j < m; j++)
            mat_copy[i][j + cp_offset] = mat[i][j + offset];
}

void real_to_cell(real x, char *cell)
{
    exact_real_text_within(x, "%f", MAX_FILE_WORD, cell, STRING_LEN);
}

void copy_matrix(int n, int m, real **mat, int offset, string **mat_copy, int cp_offset)
{
    if (offset < 0 || cp_offset < 0)
        nrerror("copy_matrix real to string with offsets: one of the  offset <0 ");
    for (int i = 0; i < n; i++)
        for (int j = 0; j < m; j++)
            real_to_cell(mat[i][j + offset], mat_copy[i][j + cp_offset]);
}

void copy_real_vector(int p, const real *vec1, real *vec2)
{
    for (int i = 0; i < p; i++)
        vec2[i] = vec1[i];
}

void copy_real_vector_minus_one(int p, const real *orig, int omit, real *copy)
{
    if (omit >= p || omit < 0)
        nrerror("copy_real_vector_minus_one:(omit index>vector length)or <0");
    int k = 0;
    for (int i = 0; i < p; i++)
        if (i != omit)
            copy[k++] = orig[i];
}

void copy_real_matrix_minus_1row(int n, int p, real **orig, int omit, real **copy)
{
    if (omit >= n || omit < 0)
        nrerror("copy_real_matrix_minus_1row:(omit index>vector length)or <0");
    int k = 0;
    for (int i = 0; i < n; i++) {
        if (i == omit)
            continue;
        for (int j = 0; j < p; j++)
            copy[k][j] = orig[i][j];
        k++;
    }
}

void copy_string(int n, const string *orig, string *copy)
{
    for (int i = 0; i < n; i++)
        strcpy(copy[i], orig[i]);
}

template <typename Texts> static int concat_texts(int n, Texts vec, int maxline, char *line)
{
    line[0] = '\0';
    size_t len = 0;
    for (int i = 0; i < n; i++) {
        size_t add = strlen(vec[i]);
        if ((long)(len + add + 5) > (long)maxline - 1)
            return 1;
        memcpy(line + len, vec[i], add);
        memcpy(line + len + add, "   ", 4);
        len += add + 3;
    }
    return 0;
}

int concat_string(int n, const string *vec, int maxline, char *line)
{
    return concat_texts(n, vec, maxline, line);
}

int concat_string(int n, char **vec, int maxline, char *line)
{
    return concat_texts(n, vec, maxline, line);
}

void VecAddVecNewReal(real s, const real *a, int n, const real *b, real *c)
{
    for (int i = 0; i < n; i++)
        c[i] = a[i] + s * b[i];
}

void VecEwMultVecReal(const real *a, int n, real *b)
{
    for (int i = 0; i < n; i++)
        b[i] = b[i] * a[i];
}

void VecEwMultVecNewReal(const real *a, int n, const real *b, real *c)
{
    for (int i = 0; i < n; i++)
        c[i] = a[i] * b[i];
}

real ProdVecReal(int n, const real *vec)
{
    real prod = 1.0;
    for (int i = 0; i < n; i++)
        prod *= vec[i];
    return prod;
}

void TransRealMat(int n, int m, real **mat, real **tmat)
{
    for (int i = 0; i < n; i++)
        for (int j = 0; j < m; j++)
            tmat[j][i] = mat[i][j];
}

// Rows of M1 taken a few at a time and columns of M2 a tile at a time, so
// that a tile of M2 is read once for several rows of the result while those
// rows stay in the cache. Every M[i][j] still adds its terms in increasing k.
static const int PRODUCT_ROWS = 8;
static const int PRODUCT_COLUMNS = 256;

static inline void product_rows(int i0, int i1, real **M1, int r, real **M2, int j0, int j1, real **M)
{
    for (int i = i0; i < i1; i++)
        for (int j = j0; j < j1; j++)
            M[i][j] = 0.0;
    for (int k = 0; k < r; k++) {
        const real *__restrict row = M2[k];
        for (int i = i0; i < i1; i++) {
            const real v = M1[i][k];
            real *__restrict out = M[i];
            for (int j = j0; j < j1; j++)
                out[j] += v * row[j];
        }
    }
}

#if defined(__GNUC__)
// Four reals as one: an operation on it is that operation on each element;
// a real operand stands for four copies of itself.
typedef real real4 __attribute__((vector_size(4 * sizeof(real))));

// M[i0..i0+3][j0..j0+7] = M1[i0..i0+3] M2[.][j0..j0+7], the 32 sums held in
// registers while k runs, each adding M1[i][k]·M2[k][j] in increasing k.
static inline void product_block(int i0, real **M1, int r, real **M2, int j0, real **M)
{
    real4 acc[4][2];
    for (int q = 0; q < 4; q++)
        acc[q][0] = acc[q][1] = (real4){0.0, 0.0, 0.0, 0.0};
    for (int k = 0; k < r; k++) {
        real4 u0, u1;
        memcpy(&u0, M2[k] + j0, sizeof u0);
        memcpy(&u1, M2[k] + j0 + 4, sizeof u1);
        for (int q = 0; q < 4; q++) {
            const real v = M1[i0 + q][k];
            acc[q][0] += v * u0;
            acc[q][1] += v * u1;
        }
    }
    for (int q = 0; q < 4; q++) {
        memcpy(M[i0 + q] + j0, &acc[q][0], sizeof acc[q][0]);
        memcpy(M[i0 + q] + j0 + 4, &acc[q][1], sizeof acc[q][1]);
    }
}
#endif

MULTIARCH void MatMultMatReal(int q, real **M1, int r, real **M2, int s, real **M)
{
    int i0 = 0;
#if defined(__GNUC__)
    // Blocks of 4 rows by 8 columns with their sums in registers.
    for (; i0 + 4 <= q; i0 += 4) {
        int j0 = 0;
        for (; j0 + 8 <= s; j0 += 8)
            product_block(i0, M1, r, M2, j0, M);
        if (j0 < s)
            product_rows(i0, i0 + 4, M1, r, M2, j0, s, M);
    }
#endif
    for (; i0 < q; i0 += PRODUCT_ROWS) {
        int i1 = i0 + PRODUCT_ROWS < q ? i0 + PRODUCT_ROWS : q;
        for (int j0 = 0; j0 < s; j0 += PRODUCT_COLUMNS)
            product_rows(i0, i1, M1, r, M2, j0, j0 + PRODUCT_COLUMNS < s ? j0 + PRODUCT_COLUMNS : s, M);
    }
}

// Rows of mat in increasing order, columns within a row in increasing order:
// every vec2[i] still adds its terms in increasing j, and the matrix is read
// row by row as it is stored.
MULTIARCH void VecMultMatReal(const real *vec, int n, real **mat, int m, real *__restrict vec2)
{
    for (int i = 0; i < m; i++)
        vec2[i] = 0.0;
    for (int j = 0; j < n; j++) {
        const real v = vec[j];
        const real *__restrict row = mat[j];
        for (int i = 0; i < m; i++)
            vec2[i] += v * row[i];
    }
}

void MatMultVecReal(int m, real **mat, int n, const real *vec, real *vec2)
{
    for (int i = 0; i < m; i++) {
        real sum = 0.0;
        for (int j = 0; j < n; j++)
            sum += vec[j] * mat[i][j];
        vec2[i] = sum;
    }
}

void MatMultDiagMatReal(int n, real **mat, int m, const real *vec, real **mat2)
{
    for (int i = 0; i < n; i++)
        for (int j = 0; j < m; j++)
            mat2[i][j] = mat[i][j] * vec[j];
}

real VecMultVecReal(const real *vec1, int n, const real *vec2)
{
    real sum = 0.0;
    for (int i = 0; i < n; i++)
        sum += vec1[i] * vec2[i];
    return sum;
}

int matchvecs(const char *word, int length, const string *vec, int *index)
{
    for (int i = 0; i < length; i++)
        if (strcmp(word, vec[i]) == 0) {
            *index = i + 1;
            return 0;
        }
    *index = -1;
    return 1;
}

real Real_Minimum(int n, const real *vec)
{
    int index;
    return RealMinimumIndex(n, vec, &index);
}

real RealMinimumIndex(int n, const real *vec, int *index)
{
    if (n == 0)
        nrerror("Real_Minimum: Minimum of empty set of numbers");
    real min = vec[0];
    *index = 1;
    for (int i = 0; i < n; i++)
        if (vec[i] < min) {
            min = vec[i];
            *index = i + 1;
        }
    return min;
}

real maximum_two(real a, real b)
{
    return a > b ? a : b;
}
