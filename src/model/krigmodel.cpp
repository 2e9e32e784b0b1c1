// Lifecycle of the model records and the response set.
#include "model/krigmodel.h"

#include <cstdlib>
#include <cstring>

#include "alloc/alloc.h"
#include "numeric/nrerror.h"

void NULL_KrigModel(KrigModel *kr)
{
    kr->n = kr->d = kr->r = NULL;
    kr->var = kr->stochratio = kr->loglike = NULL;
    kr->beta = kr->alpha = kr->theta = kr->y = kr->eigval = kr->eigvalinv = NULL;
    kr->F = kr->X = kr->R = kr->U = kr->range = NULL;
    kr->xlabel = NULL;
}

void NULL_KrigArray(KrigArray *ka)
{
    ka->pvec = NULL;
    ka->cvec = NULL;
    ka->ydescrip = NULL;
}

static void clear_matrix(int m, int n, real **mat)
{
    for (int i = 0; i < m; i++)
        memset(mat[i], 0, (size_t)n * sizeof(real));
}

void init_KrigModel(KrigModel *kr, int n, int d, int r)
{
    alloc(d, &kr->theta);
    alloc(d, &kr->alpha);
    alloc(r, &kr->beta);
    alloc(n, &kr->y);
    alloc(n + r, &kr->eigval);
    alloc(n + r, &kr->eigvalinv);
    alloc(n, d, &kr->X);
    alloc(n, n, &kr->R);
    alloc(n + r, n + r, &kr->U);
    alloc(n, r, &kr->F);
    alloc(1, &kr->d);
    alloc(1, &kr->n);
    alloc(1, &kr->r);
    alloc(1, &kr->var);
    alloc(1, &kr->stochratio);
    alloc(1, &kr->loglike);
    alloc(d, 2, &kr->range);
    alloc(d, &kr->xlabel);

    memset(&kr->init, 0, sizeof kr->init);
    kr->init.d = TRUE;
    kr->init.n = TRUE;

    kr->n[0] = n;
    kr->d[0] = d;
    kr->r[0] = r;
    kr->stochratio[0] = 1.0;
    kr->loglike[0] = NA_VALUE;
    strcpy(kr->ylabel, "EMPTY");
    for (int k = 0; k < d; k++) {
        kr->alpha[k] = 0.0;
        kr->theta[k] = 0.0;
    }
    for (int k = 0; k < r; k++)
        kr->beta[k] = 0.0;

    // Objects not yet valid still get defined contents, so that nothing
    // printed by mistake can depend on the heap.
    kr->var[0] = NA_VALUE;
    memset(kr->y, 0, (size_t)n * sizeof(real));
    memset(kr->eigval, 0, (size_t)(n + r) * sizeof(real));
    memset(kr->eigvalinv, 0, (size_t)(n + r) * sizeof(real));
    clear_matrix(n, d, kr->X);
    clear_matrix(n, n, kr->R);
    clear_matrix(n + r, n + r, kr->U);
    clear_matrix(n, r, kr->F);
    clear_matrix(d, 2, kr->range);
    memset(kr->xlabel, 0, (size_t)d * sizeof(string));
}

void init_KrigArray(KrigArray *ka)
{
    ka->init = FALSE;
    ka->ydescrip_init = FALSE;
    ka->p = 0;
    ka->c = 0;
    NULL_KrigArray(ka);
}

void default_KrigArray(int oldn, KrigArray *ka, int newn)
{
    ka->init = TRUE;
    if (newn <= 0)
        nrerror("default_KrigArray: Code Bug n<=0");
    if (oldn == 0) {
        alloc(newn, 3, &ka->ydescrip);
        alloc(newn, &ka->pvec);
        alloc(newn, &ka->cvec);
    } else if (oldn > 0) {
        morealloc(oldn, 3, &ka->ydescrip, newn, 3);
        morealloc(oldn, &ka->pvec, newn);
        morealloc(oldn, &ka->cvec, newn);
    } else {
        nrerror("default_KrigArray: Code Bug , oldn<0");
    }
    for (int i = 0; i < newn; i++) {
        ka->ydescrip[i][YDESC_MIN] = NA_VALUE;
        ka->ydescrip[i][YDESC_MAX] = NO_UPPER_BOUND;
        ka->ydescrip[i][YDESC_CONSTRAINT] = 0.0;
    }
    ka->p = newn;
    ka->c = 0;
    for (int i = 0; i < newn; i++)
        ka->pvec[i] = i;
}

void adjust_KrigArray(KrigArray *ka)
{
    if (!ka->init)
        nrerror("Code Bug :adjust_KrigArray, ka not initialized");
    int m = ka->p + ka->c;
    ka->p = 0;
    ka->c = 0;
    for (int i = 0; i < m; i++) {
        if (ka->ydescrip[i][YDESC_CONSTRAINT] == 1.0)
            ka->cvec[ka->c++] = i;
        else
            ka->pvec[ka->p++] = i;
    }
    if (ka->p == 0)
        nrwarning("There are no reponses among the y-variables (only constraints).");
}

void copy_KrigModel(const KrigModel *from, KrigModel *to)
{
    if (!from->init.X)
        nrerror("copy_KrigModel: X in o-KrigModel not initialized , why ? ");
    int n = from->n[0];
    int d = from->d[0];
    for (int i = 0; i < n; i++)
        for (int k = 0; k < d; k++)
            to->X[i][k] = from->X[i][k];
    for (int k = 0; k < d; k++)
        strcpy(to->xlabel[k], from->xlabel[k]);
    to->init.X = TRUE;
    if (from->init.range) {
        for (int k = 0; k < d; k++) {
            to->range[k][0] = from->range[k][0];
            to->range[k][1] = from->range[k][1];
        }
        to->init.range = TRUE;
    }
}

int change_krig_p(KrigArray *ka, KrigModel **kr, int newn)
{
    int oldn = ka->init ? ka->p + ka->c : 0;
    default_KrigArray(oldn, ka, newn);
    if (oldn == 0)
        oldn = 1;
    if (newn != oldn) {
        // Records beyond the new count would be lost by the reallocation.
        for (int i = newn; i < oldn; i++)
            free_KrigModel(&(*kr)[i]);
        KrigModel *moved = (KrigModel *)realloc(*kr, (size_t)newn * sizeof(KrigModel));
        if (moved == NULL)
            nrerror("change_krig_p: Reallocation of KrigModel failure");
        for (int i = oldn; i < newn; i++)
            NULL_KrigModel(&moved[i]);
        *kr = moved;
    }
    return 0;
}

int model_count(const KrigArray *ka)
{
    return ka->init ? ka->p + ka->c : 1;
}

void free_KrigModel(KrigModel *kr)
{
    int n = kr->n[0];
    int d = kr->d[0];
    int r = kr->r[0];
    frei(d, &kr->theta);
    frei(d, &kr->alpha);
    frei(r, &kr->beta);
    frei(n, &kr->y);
    frei(n + r, &kr->eigval);
    frei(n + r, &kr->eigvalinv);
    frei(n, d, &kr->X);
    frei(n, n, &kr->R);
    frei(n + r, n + r, &kr->U);
    frei(n, r, &kr->F);
    frei(d, 2, &kr->range);
    frei(d, &kr->xlabel);
    frei(1, &kr->var);
    frei(1, &kr->stochratio);
    frei(1, &kr->loglike);
    frei(1, &kr->d);
    frei(1, &kr->n);
    frei(1, &kr->r);
}

void free_KrigArray(KrigArray *ka, int count)
{
    if (ka->init) {
        frei(count, 3, &ka->ydescrip);
        frei(count, &ka->pvec);
        frei(count, &ka->cvec);
    }
    free(ka);
}

void free_Krig_cover(KrigArray *ka, KrigModel *kr)
{
    int count = model_count(ka);
    for (int i = 0; i < count; i++)
        free_KrigModel(&kr[i]);
    free(kr);
    free_KrigArray(ka, ka->p + ka->c);
}
