// Criterion maximisation by multistart local search.
#include "minimize/maxcrit.h"

#include <cstdio>
#include <cstring>

#include "alloc/alloc.h"
#include "minimize/criterion.h"
#include "matfile/readdesign.h"
#include "model/settings.h"
#include "numeric/matrix.h"
#include "numeric/nrerror.h"
#include "numeric/simplex.h"
#include "numeric/trafo.h"
#include "numeric/unif.h"
#include "numeric/unix.h"

namespace {

const char *const TIMER_LABEL = "Global Optimization EI";

// -1 or +1, each with probability one half.
int random_sign()
{
    return RandUnif() < 0.5 ? -1 : 1;
}

boolean inside(real v, real a, real b)
{
    return v >= a && v <= b;
}

// Vertex 0 moved in every coordinate, vertex i >= 1 in coordinate i - 1, by
// half the spacing of n evenly spread points, in a random direction (the
// other one when the first leaves the box).
void displacement(int d, int n, real **range, real **x)
{
    if (PtsOutOfRange)
        nrerror("start_values_krmin: PtsOutOfRange and displacement");
    // With a single design point there is no spacing to take half of.
    if (n < 2)
        nrerror("start_values_krmin: displacement needs at least 2 design points");
    real step = 0.5 / (n - 1);
    real *s = NULL; // the centre, row 0 on entry
    alloc(d, &s);
    copy_real_vector(d, x[0], s);
    for (int i = 0; i <= d; i++)
        for (int k = 0; k < d; k++) {
            if (i >= 1 && k != i - 1) {
                x[i][k] = s[k];
                continue;
            }
            real a = range[k][0], b = range[k][1];
            real centre = s[k];
            int sigma = random_sign();
            real v = centre + sigma * step * (b - a);
            if (!inside(v, a, b))
                v = centre - sigma * step * (b - a);
            if (!inside(v, a, b))
                nrerror("start_values: range < +-alpha%,modify start values");
            x[i][k] = v;
        }
    frei(d, &s);
}

// Each vertex halfway to the nearest other design coordinate (or boundary):
// vertex 0 against the drawn directions in every coordinate, vertex i >= 1
// along the drawn direction of coordinate i - 1.
void distance_neighbour(int d, real **range, real **x)
{
    if (PtsOutOfRange)
        nrerror("start_values_krmin: PtsOutOfRange and distanceneighbour");
    int *dir = NULL, *opposite = NULL;
    real *sm_dist = NULL, *sm_dist2 = NULL;
    alloc(d, &dir);
    alloc(d, &opposite);
    alloc(d, &sm_dist);
    alloc(d, &sm_dist2);
    for (int k = 0; k < d; k++) {
        dir[k] = random_sign();
        opposite[k] = -dir[k];
    }
    // All models share one design; the whole current design counts.
    const KrigModel *design = &krmin[kam->pvec[0]];
    min_distance_each_dim(design->n[0], d, x[0], design->X, range, dir, sm_dist);
    min_distance_each_dim(design->n[0], d, x[0], design->X, range, opposite, sm_dist2);
    for (int i = 1; i <= d; i++)
        for (int k = 0; k < d; k++) {
            if (k != i - 1) {
                x[i][k] = x[0][k];
                continue;
            }
            x[i][k] = x[0][k] + dir[k] * 0.5 * sm_dist[k];
            if (!inside(x[i][k], range[k][0], range[k][1]))
                nrerror("start_values: halfneighbour , code bug");
        }
    // Vertex 0 last: its old row is the centre of the others.
    for (int k = 0; k < d; k++) {
        x[0][k] = x[0][k] - dir[k] * 0.5 * sm_dist2[k];
        if (!inside(x[0][k], range[k][0], range[k][1]))
            nrerror("start_values: halfneighbour , code bug 2");
    }
    frei(d, &sm_dist2);
    frei(d, &sm_dist);
    frei(d, &opposite);
    frei(d, &dir);
}

// Every coordinate of every vertex uniform in the box, vertex by vertex.
void random_simplex(int d, real **range, real **x)
{
    for (int i = 0; i <= d; i++)
        for (int k = 0; k < d; k++)
            x[i][k] = range[k][0] + RandUnif() * (range[k][1] - range[k][0]);
}

} // namespace

void min_distance_each_dim(int n, int d, const real *pt, real **all_pts, real **range, const int *direction,
                           real *sm_dist)
{
    int pt_index = -1;
    for (int r = 0; r < n; r++)
        if (identical_vec(d, pt, all_pts[r])) {
            pt_index = r;
            break;
        }
    if (pt_index < 0)
        nrinfo("min_distance_each_dim: No point contained");
    for (int j = 0; j < d; j++) {
        real temp;
        if (direction[j] == 1)
            temp = range[j][1] - pt[j];
        else if (direction[j] == -1)
            temp = pt[j] - range[j][0];
        else
            nrerror("min_distance_each_dim: Code Bug , direction!= -1,1");
        if (temp < 0)
            nrerror("min_distance_each_dim: Code Bug, temp<0");
        for (int r = 0; r < n; r++) {
            if (r == pt_index)
                continue;
            real diff = all_pts[r][j] - pt[j];
            if (direction[j] == 1 && diff >= 0 && diff < temp)
                temp = diff;
            else if (direction[j] == -1 && diff <= 0 && pt[j] - all_pts[r][j] < temp)
                temp = pt[j] - all_pts[r][j];
        }
        sm_dist[j] = temp;
    }
}

void start_values_krmin(int d, int n, real **range, real **startx, real *startei, const char *method)
{
    if (strcmp(method, "displacement") == 0)
        displacement(d, n, range, startx);
    else if (strcmp(method, "distanceneighbour") == 0)
        distance_neighbour(d, range, startx);
    else if (strcmp(method, "random") == 0)
        random_simplex(d, range, startx);
    else
        nrerror("start_values: Unrecognized Method");

    real **mapped = NULL;
    alloc(d + 1, d, &mapped);
    trafo_ab_inf(d + 1, d, startx, range, mapped, trafo_method);
    copy_real_matrix(d + 1, d, mapped, startx);
    frei(d + 1, d, &mapped);
    for (int i = 0; i <= d; i++)
        startei[i] = ExpectedImprovement(startx[i], d);
}

int MaximalExpectedImprovement(KrigModel *kr, real *MaxExpImp, real *xbest)
{
    int d = kr->d[0], n = kr->n[0];
    *MaxExpImp = 0.0;
    int status = 1;
    if (CriterionOptimTries == -1)
        CriterionOptimTries = 2 * n;
    if (PtsOutOfRange && strcmp(CriterionOptimStart, "random") != 0) {
        refuse("ERROR: When one or more X points are outside of the optimization range,\n"
                     "    CriterionOptimStart=random needed.\n");
        return 3;
    }

    real **startx = NULL;
    real *startExpImp = NULL, *trafo_xbest = NULL;
    alloc(d + 1, d, &startx);
    alloc(d + 1, &startExpImp);
    alloc(d, &trafo_xbest);
    init_real_vec(-1.0, d, trafo_xbest);
    char MaxMethod[STRING_LEN] = "";
    int count_maxiter_reached = 0, search_local_opt = 0, search_not_started = 0;

    cputime(11, TIMER_LABEL);
    int l = 0;
    do {
        copy_real_vector(d, kr->X[l % n], startx[0]);
        start_values_krmin(d, initial_des_n, kr->range, startx, startExpImp,
                           l < n ? CriterionOptimStart : "random");
        int result = Minimize(ExpectedImprovement, OptTolAbs, StopTolRel / 100, MAX_ITER, d, startx, startExpImp,
                              CriterionOptimMethod);
        if (result >= MAX_ITER)
            count_maxiter_reached++;
        if (result > 0)
            search_local_opt++;
        if (result == 0)
            search_not_started++;
        if (-startExpImp[0] > *MaxExpImp) {
            status = 0;
            *MaxExpImp = -startExpImp[0];
            copy_real_vector(d, startx[0], trafo_xbest);
            snprintf(MaxMethod, sizeof MaxMethod, "%s", l < n ? "original" : "random");
        }
        if (l % 100 == 0 && l > 2 * n) {
            nrwarning("Optimization has difficulties finding local optima.");
            if (OptTolAbs > 3e-14) {
                OptTolAbs /= 10;
                OptTolRel /= 10;
            }
        }
        l++;
    } while ((l < CriterionOptimTries || search_local_opt <= 2) && l < MAX_ITER);

    if (strcmp(MaxMethod, "random") == 0)
        fprintf(ofp, "INFO: Method 'random' found MaxExpImp\n");
    if (count_maxiter_reached > 0 || search_not_started > 0) {
        fprintf(ofp, "INFO: %d Optimization Tries.\n", CriterionOptimTries);
        if (count_maxiter_reached > 0)
            fprintf(ofp, "\t %d tries interrupted. (MAXITER=%d)\n", count_maxiter_reached, MAX_ITER);
        if (search_not_started > 0)
            fprintf(ofp, "\t %d tries failed to start.\n", search_not_started);
    }
    if (search_local_opt <= 2) {
        nrwarning("Optimization explored less than 3 tries.");
        status = 2;
    }
    real *in[1] = {trafo_xbest};
    real *out[1] = {xbest};
    trafo_inf_ab(1, d, in, kr->range, out, trafo_method);

    frei(d, &trafo_xbest);
    frei(d + 1, &startExpImp);
    frei(d + 1, d, &startx);
    cputime(12, TIMER_LABEL);
    return status;
}
