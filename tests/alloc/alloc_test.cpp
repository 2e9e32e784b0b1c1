// Tracked allocation: registry bookkeeping and order, the fatal messages of
// tracking mode, and resizing that keeps values, in both modes.
#include "alloc/alloc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "testutil.h"

namespace {

std::pair<void *, int> entry(int k)
{
    void *address = nullptr;
    int n = -1;
    registered_entry('r', k, &address, &n);
    return {address, n};
}

// Runs each test in the given mode and checks that it leaves no block
// registered behind.
class Tracking : public ::testing::Test {
  protected:
    void SetUp() override
    {
        SPEED = 0;
        start_real = size_list;
        start_int = size_int_list;
        start_rows = size_dlist;
    }
    void TearDown() override
    {
        EXPECT_EQ(size_list, start_real);
        EXPECT_EQ(size_int_list, start_int);
        EXPECT_EQ(size_dlist, start_rows);
        SPEED = 1;
    }
    int start_real = 0, start_int = 0, start_rows = 0;
};

TEST_F(Tracking, VectorsAreRegisteredWithTheirCountsInOrder)
{
    real *a = NULL, *b = NULL, *c = NULL;
    alloc(3, &a);
    alloc(5, &b);
    alloc(7, &c);
    ASSERT_EQ(size_list, start_real + 3);
    EXPECT_EQ(entry(start_real), std::make_pair((void *)a, 3));
    EXPECT_EQ(entry(start_real + 1), std::make_pair((void *)b, 5));
    EXPECT_EQ(seek_list(5, b), 1);
    EXPECT_EQ(seek_list(4, b), 2);

    // Removing the middle entry closes the gap, keeping the order.
    frei(5, &b);
    EXPECT_EQ(b, nullptr);
    ASSERT_EQ(size_list, start_real + 2);
    EXPECT_EQ(entry(start_real), std::make_pair((void *)a, 3));
    EXPECT_EQ(entry(start_real + 1), std::make_pair((void *)c, 7));
    EXPECT_EQ(seek_list(5, b), 0);

    // A released variable may be allocated again.
    alloc(2, &b);
    frei(2, &b);
    frei(3, &a);
    frei(7, &c);
}

TEST_F(Tracking, EmptiedRegistryStartsAgain)
{
    ASSERT_EQ(size_int_list, 0);
    int *v = NULL;
    alloc(4, &v);
    EXPECT_EQ(size_int_list, 1);
    frei(4, &v);
    EXPECT_EQ(size_int_list, 0);
    void *address;
    int n;
    EXPECT_FALSE(registered_entry('i', 0, &address, &n));
    alloc(2, &v);
    EXPECT_EQ(seek_int_list(2, v), 1);
    frei(2, &v);
}

// Many blocks released and reallocated in mixed order: the registry (which
// grows and compacts on the way) keeps every live block with its count, in
// order of registration, a reallocated block counting as registered anew.
TEST_F(Tracking, ManyEntriesKeepTheirOrderAndCounts)
{
    const int N = 5000;
    std::vector<real *> v(N, nullptr);
    std::vector<int> size(N);
    std::vector<std::pair<void *, int>> model; // live entries in order
    auto forget = [&model](void *address) {
        model.erase(std::find_if(model.begin(), model.end(), [address](auto &e) { return e.first == address; }));
    };
    for (int i = 0; i < N; i++) {
        size[i] = 1 + i % 7;
        alloc(size[i], &v[i]);
        model.push_back({v[i], size[i]});
    }
    unsigned state = 3;
    for (int round = 0; round < 3; round++)
        for (int i = 0; i < N; i++) {
            state = state * 1103515245u + 12345u;
            if (v[i] == nullptr || (state >> 16) % 3 != 0)
                continue;
            forget(v[i]);
            if ((state >> 8) % 2 == 0) {
                frei(size[i], &v[i]);
            } else {
                morealloc(size[i], &v[i], size[i] + 1);
                size[i]++;
                model.push_back({v[i], size[i]});
            }
        }
    ASSERT_EQ(size_list, start_real + (int)model.size());
    for (size_t k = 0; k < model.size(); k++)
        ASSERT_EQ(entry(start_real + (int)k), model[k]) << k;
    for (int i = 0; i < N; i++)
        if (v[i] != nullptr) {
            EXPECT_EQ(seek_list(size[i] + 1, v[i]), 2);
            frei(size[i], &v[i]);
        }
}

TEST_F(Tracking, MatrixRegistersRowArrayAndEveryRow)
{
    real **m = NULL;
    alloc(4, 3, &m);
    EXPECT_EQ(size_dlist, start_rows + 1);
    EXPECT_EQ(size_list, start_real + 4);
    EXPECT_EQ(seek_dlist(4, m), 1);
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(seek_list(3, m[i]), 1);
    frei(4, 3, &m);
    EXPECT_EQ(m, nullptr);
}

TEST_F(Tracking, DoubleAllocationIntoLiveVariableIsFatal)
{
    real *v = NULL;
    alloc(3, &v);
    EXPECT_FATAL(alloc(3, &v), "generic_alloc: (1) Trying to allocate existing pointer. \n \t (2) Pointer not "
                               "initialized to NULL");
    int *iv = NULL;
    alloc(2, &iv);
    EXPECT_FATAL(alloc(2, &iv),
                 "generic_alloc i: (1) Trying to allocate existing pointer. \n (2) Pointer not initialized to NULL ");
    real **m = NULL;
    alloc(2, 2, &m);
    EXPECT_FATAL(alloc(2, 2, &m), "alloc_real_matrix:Trying to allocate existing matrix pointer.");
    frei(2, 2, &m);
    frei(2, &iv);
    frei(3, &v);
}

TEST_F(Tracking, WrongOldCountsAreFatal)
{
    real *v = NULL;
    alloc(3, &v);
    EXPECT_FATAL(frei(4, &v), "generic_alloc: Trying to free pointer with incorrect old n");
    EXPECT_FATAL(morealloc(2, &v, 6), "generic_alloc: Trying to reallocate with incorrect old n");
    int *iv = NULL;
    alloc(3, &iv);
    EXPECT_FATAL(frei(1, &iv), "generic_alloc i: Trying to free pointer with incorrect old n");
    EXPECT_FATAL(morealloc(1, &iv, 6), "generic_alloc i: Trying to reallocate with incorrect old n");
    frei(3, &iv);
    frei(3, &v);
}

TEST_F(Tracking, MatrixResizeWithWrongRowCountListsTheRegistry)
{
    real **m = NULL;
    alloc(2, 3, &m);
    char expected[256];
    snprintf(expected, sizeof expected, "dpointer: %p old n %d #elem %d\nDouble Pointer List:   \n", (void *)m, 2,
             size_dlist);
    EXPECT_EXIT(morealloc(5, 3, &m, 6, 3), ::testing::ExitedWithCode(1),
                ::testing::HasSubstr("generic_alloc dr: Trying to reallocate with incorrect old n"));
    // The listing goes to standard output, before the message.
    EXPECT_EXIT(
        {
            fflush(stdout);
            dup2(2, 1);
            morealloc(5, 3, &m, 6, 3);
        },
        ::testing::ExitedWithCode(1), ::testing::HasSubstr(expected));
    frei(2, 3, &m);
}

TEST_F(Tracking, FreeingUnknownBlocksIsFatal)
{
    real stray[2];
    real *v = stray;
    EXPECT_FATAL(frei(2, &v), "generic_alloc: (1) Trying to free nonexisting pointer. \n \t (2) Pointer "
                              "reAssignment without change in list");
    real *null_vec = NULL;
    EXPECT_FATAL(frei(2, &null_vec), "generic_alloc: (1) Trying to free nonexisting pointer. \n \t (2) Pointer "
                                     "reAssignment without change in list");
    int istray[2];
    int *iv = istray;
    EXPECT_FATAL(frei(2, &iv), "generic_alloc i: (1) Trying to free nonexisting pointer. \n (2) Pointer "
                               "reassignment without change in list ");
    int *inull = NULL;
    EXPECT_FATAL(frei(2, &inull), "generic_alloc i: Code Bug");
    EXPECT_FATAL(morealloc(2, &v, 3), "generic_alloc: Trying to reallocate nonexisting pointer.");
}

TEST_F(Tracking, InconsistentRequestsAreFatal)
{
    real *v = NULL;
    EXPECT_EXIT(frei(0, &v), ::testing::ExitedWithCode(1),
                ::testing::HasSubstr("oldn: 0 newn: 0 vec address: (nil) seek: 0\n" + fatal_text("generic_alloc: Code Bug")));
    real **m = NULL;
    EXPECT_FATAL(alloc(0, 3, &m), "generic_alloc dr: Code Bug.");
    EXPECT_FATAL(alloc(3, 0, &m), "generic_alloc: Code Bug");
}

TEST_F(Tracking, GrowingFromNullBehavesLikeAllocation)
{
    real *v = NULL;
    morealloc(0, &v, 4);
    EXPECT_EQ(seek_list(4, v), 1);
    frei(4, &v);
}

void fill(int m, int n, real **mat)
{
    for (int i = 0; i < m; i++)
        for (int j = 0; j < n; j++)
            mat[i][j] = 10 * i + j;
}

void check_kept(int m, int n, real **mat)
{
    for (int i = 0; i < m; i++)
        for (int j = 0; j < n; j++)
            EXPECT_EQ(mat[i][j], 10 * i + j) << i << "," << j;
}

void resize_keeps_values()
{
    real **m = NULL;
    alloc(2, 3, &m);
    fill(2, 3, m);
    morealloc(2, 3, &m, 4, 5);
    check_kept(2, 3, m);
    fill(4, 5, m);
    morealloc(4, 5, &m, 2, 2);
    check_kept(2, 2, m);
    morealloc(2, 2, &m, 7, 1);
    check_kept(2, 1, m);
    frei(7, 1, &m);

    real *v = NULL;
    alloc(3, &v);
    v[0] = 1.5, v[1] = 2.5, v[2] = 3.5;
    morealloc(3, &v, 10);
    EXPECT_EQ(v[2], 3.5);
    morealloc(10, &v, 2);
    EXPECT_EQ(v[1], 2.5);
    frei(2, &v);

    string **s = NULL;
    alloc(2, 2, &s);
    strcpy(s[1][1], "corner");
    morealloc(2, 2, &s, 3, 4);
    EXPECT_STREQ(s[1][1], "corner");
    morealloc(3, 4, &s, 2, 2);
    EXPECT_STREQ(s[1][1], "corner");
    frei(2, 2, &s);

    string *sv = NULL;
    alloc(2, &sv);
    strcpy(sv[1], "x2");
    morealloc(2, &sv, 5);
    EXPECT_STREQ(sv[1], "x2");
    frei(5, &sv);
}

TEST_F(Tracking, ResizeKeepsValues)
{
    resize_keeps_values();
}

TEST(FastMode, ResizeKeepsValues)
{
    ASSERT_EQ(SPEED, 1);
    int before = size_list;
    resize_keeps_values();
    EXPECT_EQ(size_list, before) << "fast mode registers nothing";
}

TEST(FastMode, ZeroDimensionsAreFatal)
{
    real *v = NULL;
    EXPECT_FATAL(alloc(0, &v), "alloc_real_vector: dimensions == 0");
    int *iv = NULL;
    EXPECT_FATAL(alloc(0, &iv), "alloc_int_vector: dimensions == 0");
    char *cv = NULL;
    EXPECT_FATAL(alloc(0, &cv), "alloc_char_vector: dimensions == 0");
    string *sv = NULL;
    EXPECT_FATAL(alloc(0, &sv), "alloc string vector: dimensions == 0");
    EXPECT_FATAL(morealloc(3, &v, 0), "morealloc: dimensions == 0");
    EXPECT_FATAL(morealloc(3, &iv, 0), "realloc_int_vector: dimensions == 0");
    EXPECT_FATAL(morealloc(3, &sv, 0), "realloc_string_vector: dimensions == 0");
    real **m = NULL;
    EXPECT_FATAL(morealloc(0, 3, &m, 2, 2), "realloc real matrix: 0 columns and / or 0 rows");
    string **sm = NULL;
    EXPECT_FATAL(morealloc(2, 2, &sm, 2, 0), "realloc  string matrix: 0 columns and / or 0 rows");
}

TEST(FastMode, CharAndStringBlocksAreNeverRegistered)
{
    SPEED = 0;
    int before = size_list;
    char **cm = NULL;
    alloc(10, 150, &cm);
    string *sv = NULL;
    alloc(4, &sv);
    EXPECT_EQ(size_list, before);
    EXPECT_EQ(size_dlist, 0);
    frei(10, 150, &cm);
    frei(4, &sv);
    EXPECT_EQ(cm, nullptr);
    SPEED = 1;
}

} // namespace
