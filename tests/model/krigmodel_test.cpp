// Model records and the response set: creation, sizing, the constraint split,
// copying and the growth of the model array.
#include "model/krigmodel.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "alloc/alloc.h"
#include "testutil.h"

namespace {

KrigModel *new_model_array()
{
    KrigModel *kr = (KrigModel *)malloc(sizeof(KrigModel));
    NULL_KrigModel(kr);
    init_KrigModel(kr, 21, 2, 1);
    return kr;
}

KrigArray *new_response_set()
{
    KrigArray *ka = (KrigArray *)malloc(sizeof(KrigArray));
    init_KrigArray(ka);
    return ka;
}

TEST(KrigModel, StartUpRecord)
{
    SPEED = 0;
    int before = size_list;
    KrigModel *kr = new_model_array();
    EXPECT_STREQ(kr->ylabel, "EMPTY");
    EXPECT_EQ(kr->stochratio[0], 1.0);
    EXPECT_EQ(kr->loglike[0], -1e14);
    EXPECT_EQ(kr->n[0], 21);
    EXPECT_EQ(kr->d[0], 2);
    EXPECT_EQ(kr->r[0], 1);
    for (int k = 0; k < 2; k++) {
        EXPECT_EQ(kr->alpha[k], 0.0);
        EXPECT_EQ(kr->theta[k], 0.0);
    }
    EXPECT_EQ(kr->beta[0], 0.0);
    InitStruct expected;
    memset(&expected, 0, sizeof expected);
    expected.d = expected.n = TRUE;
    EXPECT_EQ(memcmp(&kr->init, &expected, sizeof expected), 0);
    // Registered with the record's dimensions: the release verifies them.
    EXPECT_EQ(seek_list(22, kr->eigval), 1);
    EXPECT_EQ(seek_dlist(22, kr->U), 1);
    KrigArray *ka = new_response_set();
    free_Krig_cover(ka, kr);
    EXPECT_EQ(size_list, before);
    SPEED = 1;
}

TEST(KrigArray, ChangeCountOnFreshSet)
{
    KrigModel *kr = new_model_array();
    KrigModel *first = kr;
    KrigArray *ka = new_response_set();
    EXPECT_EQ(change_krig_p(ka, &kr, 1), 0);
    EXPECT_EQ(kr, first) << "one record already there";
    EXPECT_TRUE(ka->init);
    EXPECT_EQ(ka->p, 1);
    EXPECT_EQ(ka->c, 0);
    EXPECT_EQ(ka->pvec[0], 0);
    EXPECT_EQ(ka->ydescrip[0][YDESC_MIN], -1e14);
    EXPECT_EQ(ka->ydescrip[0][YDESC_MAX], 1e14);
    EXPECT_EQ(ka->ydescrip[0][YDESC_CONSTRAINT], 0.0);
    free_Krig_cover(ka, kr);
}

TEST(KrigArray, GrowingTheArrayKeepsTheFirstRecordAndClearsTheNewOnes)
{
    KrigModel *kr = new_model_array();
    kr->X[3][1] = 7.25;
    KrigArray *ka = new_response_set();
    change_krig_p(ka, &kr, 3);
    EXPECT_EQ(kr[0].X[3][1], 7.25);
    for (int i = 1; i < 3; i++) {
        EXPECT_EQ(kr[i].X, nullptr);
        EXPECT_EQ(kr[i].n, nullptr);
        EXPECT_EQ(kr[i].xlabel, nullptr);
        init_KrigModel(&kr[i], 21, 2, 1);
    }
    EXPECT_EQ(ka->p, 3);
    EXPECT_EQ(ka->pvec[2], 2);
    free_Krig_cover(ka, kr);
}

TEST(KrigArray, ConstraintSplit)
{
    KrigModel *kr = new_model_array();
    KrigArray *ka = new_response_set();
    change_krig_p(ka, &kr, 3);
    for (int i = 1; i < 3; i++)
        init_KrigModel(&kr[i], 21, 2, 1);

    ka->ydescrip[0][YDESC_CONSTRAINT] = 0.0;
    ka->ydescrip[1][YDESC_CONSTRAINT] = 1.0;
    ka->ydescrip[2][YDESC_CONSTRAINT] = 0.5; // only exactly 1.0 is a constraint
    adjust_KrigArray(ka);
    EXPECT_EQ(ka->p, 2);
    EXPECT_EQ(ka->pvec[0], 0);
    EXPECT_EQ(ka->pvec[1], 2);
    EXPECT_EQ(ka->c, 1);
    EXPECT_EQ(ka->cvec[0], 1);

    for (int i = 0; i < 3; i++)
        ka->ydescrip[i][YDESC_CONSTRAINT] = 1.0;
    ReportCapture capture;
    adjust_KrigArray(ka);
    EXPECT_EQ(capture.take(), "WARNING: There are no reponses among the y-variables (only constraints).\n");
    EXPECT_EQ(ka->p, 0);
    EXPECT_EQ(ka->c, 3);

    // Sizing again resets every row, old rows included.
    ka->ydescrip[0][YDESC_MIN] = 5.0;
    default_KrigArray(3, ka, 3);
    EXPECT_EQ(ka->ydescrip[0][YDESC_MIN], -1e14);
    EXPECT_EQ(ka->ydescrip[1][YDESC_CONSTRAINT], 0.0);
    EXPECT_EQ(ka->p, 3);
    EXPECT_EQ(ka->c, 0);
    free_Krig_cover(ka, kr);
}

TEST(KrigArray, FatalMisuse)
{
    KrigArray *ka = new_response_set();
    EXPECT_FATAL(adjust_KrigArray(ka), "Code Bug :adjust_KrigArray, ka not initialized");
    EXPECT_FATAL(default_KrigArray(0, ka, 0), "default_KrigArray: Code Bug n<=0");
    EXPECT_FATAL(default_KrigArray(-1, ka, 2), "default_KrigArray: Code Bug , oldn<0");
    free(ka);
}

TEST(KrigModel, CopyDesignAndRanges)
{
    KrigModel *kr = (KrigModel *)malloc(2 * sizeof(KrigModel));
    for (int i = 0; i < 2; i++) {
        NULL_KrigModel(&kr[i]);
        init_KrigModel(&kr[i], 3, 2, 1);
    }
    EXPECT_FATAL(copy_KrigModel(&kr[0], &kr[1]), "copy_KrigModel: X in o-KrigModel not initialized , why ? ");
    for (int i = 0; i < 3; i++)
        for (int k = 0; k < 2; k++)
            kr[0].X[i][k] = i + 0.5 * k;
    strcpy(kr[0].xlabel[0], "a");
    strcpy(kr[0].xlabel[1], "b");
    kr[0].init.X = TRUE;
    copy_KrigModel(&kr[0], &kr[1]);
    EXPECT_TRUE(kr[1].init.X);
    EXPECT_FALSE(kr[1].init.range);
    EXPECT_EQ(kr[1].X[2][1], 2.5);
    EXPECT_STREQ(kr[1].xlabel[1], "b");

    kr[0].range[1][0] = -1.0;
    kr[0].range[1][1] = 4.0;
    kr[0].init.range = TRUE;
    copy_KrigModel(&kr[0], &kr[1]);
    EXPECT_TRUE(kr[1].init.range);
    EXPECT_EQ(kr[1].range[1][1], 4.0);
    for (int i = 0; i < 2; i++)
        free_KrigModel(&kr[i]);
    free(kr);
}

} // namespace
