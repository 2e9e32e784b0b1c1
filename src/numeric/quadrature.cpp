// Tanh-sinh quadrature on panels.
#include "numeric/quadrature.h"

#include <algorithm>
#include <cmath>

#include "numeric/repmath.h"

namespace {

const real HALF_PI = 1.57079632679489661923;
// Nodes run over t in [-T_MAX, T_MAX]; beyond, the weights are below 1e-34
// of the panel length, far under any tolerance for a bounded function.
const real T_MAX = 4.0;
const int MIN_LEVEL = 3;
const int MAX_LEVEL = 10;

// The node pair of t >= 0 and its weight: u_right = b - delta and
// u_left = a + delta, delta the distance of both from their ends, formed
// without cancellation so that nodes close to an end keep their distance.
struct Node {
    real delta;
    real weight;
};

// sinh and cosh of x >= 0 from the reproducible exp, so that the nodes are
// the same on every processor. The difference in sinh loses a few bits for
// the smallest t of the finest level; the rule stays exact for its own
// nodes, as each weight is formed from the same s.
real sinh_pos(real x)
{
    real e = rep_exp(x);
    return 0.5 * (e - 1.0 / e);
}

real cosh_pos(real x)
{
    real e = rep_exp(x);
    return 0.5 * (e + 1.0 / e);
}

Node node_at(real t, real half)
{
    real s = HALF_PI * sinh_pos(t);
    real e = rep_exp(-2.0 * s);
    real c = cosh_pos(s);
    Node nd;
    nd.delta = 2.0 * half * e / (1.0 + e);
    nd.weight = half * HALF_PI * cosh_pos(t) / (c * c);
    return nd;
}

// The sum over the nodes t = k * step of one level (every k when `all`,
// the odd k otherwise), with the sum of |f| alongside.
void level_sums(QuadFunction f, const void *context, real a, real b, real step, boolean all, real *sum,
                real *abs_sum, int *calls)
{
    real half = 0.5 * (b - a);
    real s = 0.0, sa = 0.0;
    if (all) {
        real v = f(a + half, context);
        s += HALF_PI * half * v;
        sa += HALF_PI * half * fabs(v);
        (*calls)++;
    }
    int k_max = (int)(T_MAX / step);
    for (int k = 1; k <= k_max; k += all ? 1 : 2) {
        Node nd = node_at(k * step, half);
        if (nd.delta <= 0.0)
            break;
        real right = f(b - nd.delta, context);
        real left = f(a + nd.delta, context);
        s += nd.weight * (right + left);
        sa += nd.weight * (fabs(right) + fabs(left));
        *calls += 2;
    }
    *sum += s;
    *abs_sum += sa;
}

} // namespace

real tanh_sinh(QuadFunction f, const void *context, real a, real b, real rel_tol, int *evaluations)
{
    int calls = 0;
    real result = 0.0;
    if (b > a) {
        // The raw sums over all nodes so far; a level's estimate is the raw
        // sum times its step.
        real sum = 0.0, abs_sum = 0.0, step = 1.0;
        level_sums(f, context, a, b, step, TRUE, &sum, &abs_sum, &calls);
        result = sum * step;
        for (int level = 1; level <= MAX_LEVEL; level++) {
            step *= 0.5;
            level_sums(f, context, a, b, step, FALSE, &sum, &abs_sum, &calls);
            real next = sum * step;
            real change = fabs(next - result);
            result = next;
            if (level >= MIN_LEVEL && change <= rel_tol * abs_sum * step)
                break;
        }
    }
    if (evaluations != NULL)
        *evaluations = calls;
    return result;
}

int tanh_sinh_nodes(int level)
{
    return 2 * (int)(T_MAX * (1 << level)) + 1;
}

int panel_ends(real a, real b, const real *breaks, int nbreaks, real *ends)
{
    int count = 0;
    ends[count++] = a;
    for (int i = 0; i < nbreaks; i++)
        if (breaks[i] > a && breaks[i] < b)
            ends[count++] = breaks[i];
    std::sort(ends + 1, ends + count);
    count = (int)(std::unique(ends, ends + count) - ends);
    ends[count++] = b;
    return count - 1;
}

int panel_rule(const real *ends, int panels, int level, real scale, real *node, real *weight)
{
    real step = 1.0 / (1 << level);
    int k_max = (int)(T_MAX * (1 << level)), count = 0;
    for (int p = 0; p < panels; p++) {
        real a = ends[p], b = ends[p + 1], half = 0.5 * (b - a);
        node[count] = a + half;
        weight[count++] = scale * step * HALF_PI * half;
        for (int k = 1; k <= k_max; k++) {
            Node nd = node_at(k * step, half);
            node[count] = a + nd.delta;
            weight[count++] = scale * step * nd.weight;
            node[count] = b - nd.delta;
            weight[count++] = scale * step * nd.weight;
        }
    }
    return count;
}
