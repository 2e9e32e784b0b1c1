#!/usr/bin/python3
"""Maximum-likelihood fits of MORLA against its peers on standard test functions.

Usage: bench/fit_peers.py MORLA_BINARY [--quick] [--no-large] [--only=NAME ...] [--keep=DIR]

For each test function (2 to 10 inputs, all coded to [0, 1]) at 5 and 10 runs
per input, on a maximin Latin hypercube design:
  - MORLA's fit by the simplex method and by the gradient method (Tries = 3,
    the default), its held-out predictions (Predict) and its log likelihood;
  - scikit-learn's GaussianProcessRegressor (constant times anisotropic RBF,
    n_restarts_optimizer = 3), its fitted length scales mapped to MORLA's
    parameters (theta = 1 / (2 l^2), alpha = 0) and scored on the concentrated
    log likelihood written here with numpy;
  - an independent optimiser: scipy's L-BFGS-B from 40 random starts on that
    numpy likelihood, with its own analytic gradient, over alpha in [0, 2] and
    theta in [1e-9, 1e4] (MORLA's bounds for inputs of
range 1).
The numpy likelihood is checked against the value MORLA reports at its own
fitted parameters (column "check"). Held-out RMSE and the coverage of the 95 %
intervals (|y - pred| <= 1.96 se) on 500 uniform random points. Fit times are
CPU times (user + system; the machine may be shared) on one core (MORLA under
taskset -c 0, numpy's BLAS on one thread); MORLA's time is that of a whole
run that reads the data and fits.
With --keep=DIR every case's design is also written to DIR/NAME-n (x.mat,
y.mat, range.mat and fit.cmd, the gradient fit), whether or not --only
selects it, so that a fit can be timed on its own: cd DIR/NAME-n and run
MORLA_BINARY fit.cmd. The designs are those of the table (same generator).
Prints a Markdown table. Needs Debian's python3-numpy, python3-scipy,
python3-sklearn (run with /usr/bin/python3).
"""
import math
import os
import re
import resource
import shutil
import subprocess
import sys
import tempfile
import time

for var in ("OPENBLAS_NUM_THREADS", "OMP_NUM_THREADS", "MKL_NUM_THREADS"):
    os.environ[var] = "1"

import numpy as np  # noqa: E402
from scipy.optimize import minimize  # noqa: E402

# ---- test functions on [0, 1]^d ----


def scale(u, lo, hi):
    return lo + u * (hi - lo)


def branin(u):
    x1, x2 = scale(u[:, 0], -5, 10), scale(u[:, 1], 0, 15)
    return ((x2 - 5.1 / (4 * math.pi ** 2) * x1 ** 2 + 5 / math.pi * x1 - 6) ** 2
            + 10 * (1 - 1 / (8 * math.pi)) * np.cos(x1) + 10)


def ishigami(u):
    x = scale(u, -math.pi, math.pi)
    return np.sin(x[:, 0]) + 7 * np.sin(x[:, 1]) ** 2 + 0.1 * x[:, 2] ** 4 * np.sin(x[:, 0])


def hartmann(u, a, c, p):
    inner = ((u[:, None, :] - p[None, :, :]) ** 2 * a[None, :, :]).sum(axis=2)
    return -(c[None, :] * np.exp(-inner)).sum(axis=1)


H3A = np.array([[3.0, 10, 30], [0.1, 10, 35], [3.0, 10, 30], [0.1, 10, 35]])
H3P = 1e-4 * np.array([[3689, 1170, 2673], [4699, 4387, 7470], [1091, 8732, 5547], [381, 5743, 8828]])
H6A = np.array([[10, 3, 17, 3.5, 1.7, 8], [0.05, 10, 17, 0.1, 8, 14], [3, 3.5, 1.7, 10, 17, 8],
                [17, 8, 0.05, 10, 0.1, 14]])
H6P = 1e-4 * np.array([[1312, 1696, 5569, 124, 8283, 5886], [2329, 4135, 8307, 3736, 1004, 9991],
                       [2348, 1451, 3522, 2883, 3047, 6650], [4047, 8828, 8732, 5743, 1091, 381]])
HC = np.array([1.0, 1.2, 3.0, 3.2])


def hartmann3(u):
    return hartmann(u, H3A, HC, H3P)


def hartmann6(u):
    return hartmann(u, H6A, HC, H6P)


def friedman(u):
    return 10 * np.sin(math.pi * u[:, 0] * u[:, 1]) + 20 * (u[:, 2] - 0.5) ** 2 + 10 * u[:, 3] + 5 * u[:, 4]


def borehole(u):
    rw, r = scale(u[:, 0], 0.05, 0.15), scale(u[:, 1], 100, 50000)
    tu, hu = scale(u[:, 2], 63070, 115600), scale(u[:, 3], 990, 1110)
    tl, hl = scale(u[:, 4], 63.1, 116), scale(u[:, 5], 700, 820)
    length, kw = scale(u[:, 6], 1120, 1680), scale(u[:, 7], 9855, 12045)
    lnr = np.log(r / rw)
    return 2 * math.pi * tu * (hu - hl) / (lnr * (1 + 2 * length * tu / (lnr * rw ** 2 * kw) + tu / tl))


def wing_weight(u):
    sw, wfw, a = scale(u[:, 0], 150, 200), scale(u[:, 1], 220, 300), scale(u[:, 2], 6, 10)
    lam, q, taper = np.radians(scale(u[:, 3], -10, 10)), scale(u[:, 4], 16, 45), scale(u[:, 5], 0.5, 1)
    tc, nz = scale(u[:, 6], 0.08, 0.18), scale(u[:, 7], 2.5, 6)
    wdg, wp = scale(u[:, 8], 1700, 2500), scale(u[:, 9], 0.025, 0.08)
    return (0.036 * sw ** 0.758 * wfw ** 0.0035 * (a / np.cos(lam) ** 2) ** 0.6 * q ** 0.006 * taper ** 0.04
            * (100 * tc / np.cos(lam)) ** -0.3 * (nz * wdg) ** 0.49 + sw * wp)


FUNCTIONS = [("branin", 2, branin), ("ishigami", 3, ishigami), ("hartmann3", 3, hartmann3),
             ("friedman", 5, friedman), ("hartmann6", 6, hartmann6), ("borehole", 8, borehole),
             ("wing weight", 10, wing_weight)]

# ---- designs ----


def maximin_lhs(n, d, rng, candidates=200):
    best, gap = None, -1.0
    for _ in range(candidates):
        x = (np.argsort(rng.random((d, n)), axis=1).T + rng.random((n, d))) / n
        dist = np.sqrt(((x[:, None, :] - x[None, :, :]) ** 2).sum(axis=2))
        g = dist[np.triu_indices(n, 1)].min()
        if g > gap:
            best, gap = x, g
    return best

# ---- the concentrated log likelihood, with its gradient ----


def loglike(x, y, alpha, theta, grad=False):
    """-(n ln var + ln det R) / 2 of the power-exponential model with a
    constant mean, and its gradient in (alpha, theta)."""
    n, d = x.shape
    diff = np.abs(x[:, None, :] - x[None, :, :])
    p = 2.0 - alpha
    with np.errstate(divide="ignore", invalid="ignore"):
        powd = np.where(diff > 0, diff ** p, np.where(p == 0, 1.0, 0.0))
    r = np.exp(-(powd * theta).sum(axis=2))
    np.fill_diagonal(r, 1.0)
    try:
        chol = np.linalg.cholesky(r)
    except np.linalg.LinAlgError:
        return (-np.inf, None) if grad else -np.inf
    def solve(b):
        return np.linalg.solve(chol.T, np.linalg.solve(chol, b))
    one = np.ones(n)
    a1, ay = solve(one), solve(y)
    beta = ay.sum() / a1.sum()
    a = ay - beta * a1
    var = (y - beta) @ a / n
    value = -0.5 * (n * math.log(var) + 2 * np.log(np.diag(chol)).sum())
    if not grad:
        return value
    w = np.outer(a, a) / var - solve(np.eye(n))
    np.fill_diagonal(w, 0.0)
    with np.errstate(divide="ignore", invalid="ignore"):
        lnd = np.where(diff > 0, np.log(diff), 0.0)
    wr = w * r
    g_theta = -0.5 * np.einsum("ij,ijk->k", wr, powd)
    g_alpha = 0.5 * np.einsum("ij,ijk->k", wr, powd * lnd) * theta
    return value, (g_alpha, g_theta)


def forty_starts(x, y, rng, starts=40, draws_only=False):
    """The best log likelihood of L-BFGS-B searches from `starts` random
    starts (with draws_only, only the random draws, so that the cases that
    follow see the same designs)."""
    n, d = x.shape
    lo = np.r_[np.zeros(d), np.full(d, math.log(1e-9))]
    hi = np.r_[np.full(d, 2.0), np.full(d, math.log(1e4))]

    def f(z):
        v, g = loglike(x, y, z[:d], np.exp(z[d:]), grad=True)
        if not np.isfinite(v):
            return 1e10, np.zeros(2 * d)
        return -v, -np.r_[g[0], g[1] * np.exp(z[d:])]
    best = -np.inf
    for _ in range(starts):
        z0 = np.r_[rng.uniform(0, 2, d), rng.uniform(math.log(1e-3), math.log(1e3), d)]
        if draws_only:
            continue
        res = minimize(f, z0, jac=True, method="L-BFGS-B", bounds=list(zip(lo, hi)))
        best = max(best, -res.fun)
    if draws_only:
        return -np.inf
    return best

# ---- MORLA ----


def write_mat(path, names, rows, fmt="%.8f"):
    """A matrix file; lines stay within the reader's 129 characters."""
    with open(path, "w") as f:
        f.write("bench\n\n" + "-" * 30 + "\n Case " + " ".join(names) + "\n" + "-" * 30 + "\n")
        for i, row in enumerate(rows):
            f.write("%d %s\n" % (i + 1, " ".join(fmt % v for v in row)))


def read_columns(path):
    lines = open(path).read().splitlines()
    seps = [i for i, line in enumerate(lines) if line.startswith("--")]
    names = lines[seps[0] + 1].split()[1:]
    rows = [line.split()[1:] for line in lines[seps[1] + 1:] if line.strip()]
    out = {}
    for j, name in enumerate(names):
        try:
            out[name] = np.array([float(r[j]) for r in rows])
        except ValueError:
            out[name] = [r[j] for r in rows]
    return out


def write_case(x, y, method, work):
    """The design, responses, ranges and the fit's command file in work;
    returns the command lines that read them and fit."""
    d = x.shape[1]
    names = ["x%d" % (k + 1) for k in range(d)]
    write_mat(os.path.join(work, "x.mat"), names, x)
    write_mat(os.path.join(work, "y.mat"), ["f"], y[:, None], "%.17g")
    write_mat(os.path.join(work, "range.mat"), ["Min", "Max"], [[0.0, 1.0]] * d)
    head = "X < x.mat\ny < y.mat\nXDescription < range.mat\nMleOptimMethod = %s\nFit\n" % method
    with open(os.path.join(work, "fit.cmd"), "w") as f:
        f.write(head + "Quit\n")
    return head


def morla(binary, x, y, xtest, method, work, pin=True):
    d = x.shape[1]
    names = ["x%d" % (k + 1) for k in range(d)]
    head = write_case(x, y, method, work)
    if xtest is not None:
        write_mat(os.path.join(work, "test.mat"), names, xtest)
    with open(os.path.join(work, "predict.cmd"), "w") as f:
        f.write(head + "StochasticProcessModel > corpar.mat\nPredict < test.mat > pred.mat\nQuit\n")
    pin_cmd = ["taskset", "-c", "0"] if pin and shutil.which("taskset") else []
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run(pin_cmd + [binary, "fit.cmd", "fit.out"], cwd=work, check=True)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    seconds = after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime
    if xtest is None:
        return {"seconds": seconds}
    subprocess.run([binary, "predict.cmd", "predict.out"], cwd=work, check=True)
    report = open(os.path.join(work, "predict.out")).read()
    ll = float(re.search(r"LogLikelihood:(\S+)", report).group(1))
    corpar = read_columns(os.path.join(work, "corpar.mat"))
    pred = read_columns(os.path.join(work, "pred.mat"))
    return {"seconds": seconds, "loglike": ll, "alpha": corpar["Alpha.f"], "theta": corpar["Theta.f"],
            "pred": pred["Pred.f"], "se": pred["SE.f"],
            "interrupted": "interrupted" in report}

# ---- scikit-learn ----


def sklearn_fit(x, y):
    from sklearn.gaussian_process import GaussianProcessRegressor
    from sklearn.gaussian_process.kernels import RBF, ConstantKernel
    d = x.shape[1]
    kernel = ConstantKernel(1.0, (1e-3, 1e3)) * RBF([0.5] * d, (1e-3, 1e3))
    gp = GaussianProcessRegressor(kernel, n_restarts_optimizer=3, normalize_y=True, random_state=0)
    start = time.process_time()
    gp.fit(x, y)
    seconds = time.process_time() - start
    scales = np.atleast_1d(gp.kernel_.k2.length_scale)
    return gp, seconds, 1.0 / (2.0 * scales ** 2)


def rmse(a, b):
    return float(np.sqrt(np.mean((a - b) ** 2)))


def coverage(y, pred, se):
    return float(np.mean(np.abs(y - pred) <= 1.96 * se))


def cpu_name():
    for line in open("/proc/cpuinfo"):
        if line.startswith("model name"):
            return line.split(":", 1)[1].strip()
    return "?"


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    binary = os.path.abspath(sys.argv[1])
    quick = "--quick" in sys.argv
    rng = np.random.default_rng(2026)
    work = tempfile.mkdtemp()
    print("%s, %s, %d CPUs, load average %s" % (time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime()), cpu_name(),
                                                 os.cpu_count(), " ".join("%.1f" % v for v in os.getloadavg())))
    print()
    print("| function | d | n | logL simplex | logL gradient | logL sklearn | logL 40 starts | gradient - best | "
          "check | RMSE simplex / gradient / sklearn | coverage simplex / gradient / sklearn | "
          "time gradient / sklearn (s) |")
    print("|---|---|---|---|---|---|---|---|---|---|---|---|")
    ratios, misses = [], []
    only = [a.split("=", 1)[1] for a in sys.argv if a.startswith("--only=")]
    keep = [a.split("=", 1)[1] for a in sys.argv if a.startswith("--keep=")]
    for name, d, fn in FUNCTIONS:
        for per in (5, 10):
            n = per * d
            # Inputs as written to MORLA's files (8 decimals).
            x = np.round(maximin_lhs(n, d, rng), 8)
            y = fn(x)
            xt = np.round(rng.random((500, d)), 8)
            if keep:
                case = os.path.join(keep[-1], "%s-%d" % (name.replace(" ", "_"), n))
                os.makedirs(case, exist_ok=True)
                write_case(x, y, "gradient", case)
            if only and name not in only:
                forty_starts(x, y, rng, draws_only=True)  # the next designs stay as they are
                continue
            yt = fn(xt)
            simplex = morla(binary, x, y, xt, "simplex", work)
            grad = morla(binary, x, y, xt, "gradient", work)
            gp, sk_seconds, sk_theta = sklearn_fit(x, y)
            sk_pred, sk_se = gp.predict(xt, return_std=True)
            sk_ll = loglike(x, y, np.zeros(d), sk_theta)
            best = forty_starts(x, y, rng, draws_only=quick)
            check = abs(loglike(x, y, grad["alpha"], grad["theta"]) - grad["loglike"])
            top = max(sk_ll, best)
            if grad["loglike"] < sk_ll or grad["loglike"] < best - 0.1:
                misses.append("%s n=%d" % (name, n))
            if d >= 6:
                ratios.append(grad["seconds"] / sk_seconds)
            print("| %s | %d | %d | %.2f | %.2f | %.2f | %.2f | %+.2f | %.1e | %.3g / %.3g / %.3g | "
                  "%.2f / %.2f / %.2f | %.2f / %.2f |" % (
                      name, d, n, simplex["loglike"], grad["loglike"], sk_ll, best, grad["loglike"] - top, check,
                      rmse(simplex["pred"], yt), rmse(grad["pred"], yt), rmse(sk_pred, yt),
                      coverage(yt, simplex["pred"], simplex["se"]), coverage(yt, grad["pred"], grad["se"]),
                      coverage(yt, sk_pred, sk_se), grad["seconds"], sk_seconds), flush=True)
    print()
    if ratios:
        print("Fit time gradient / scikit-learn at 6 or more inputs: median %.2f, max %.2f (%d cases)" % (
            float(np.median(ratios)), max(ratios), len(ratios)))
    print("Cases where the gradient method misses a target: %s" % (", ".join(misses) if misses else "none"))
    if "--no-large" not in sys.argv:
        x = np.round(maximin_lhs(1000, 8, rng, candidates=5), 8)
        y = borehole(x)
        grad = morla(binary, x, y, None, "gradient", work)
        gp, sk_seconds, _ = sklearn_fit(x, y)
        print("Borehole, 1000 runs, 8 inputs: fit gradient %.1f s, scikit-learn %.1f s, ratio %.2f" % (
            grad["seconds"], sk_seconds, grad["seconds"] / sk_seconds))
    shutil.rmtree(work)


main()
