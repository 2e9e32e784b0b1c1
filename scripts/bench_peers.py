"""The peers' side of scripts/bench-peers: measures LAPACK (through scipy)
and scikit-learn on the same kinds of data as MORLA's benchmarks, one core
each, and prints the table with MORLA's medians read from the benchmark
program's JSON output (the file named on the command line)."""
import json
import os
import platform
import statistics
import sys
import time

# One core for the peers, set before numpy loads its BLAS.
for var in ("OPENBLAS_NUM_THREADS", "OMP_NUM_THREADS", "MKL_NUM_THREADS"):
    os.environ[var] = "1"

notes = []


def morla_medians(path):
    """Median wall time in milliseconds of every benchmark, by name."""
    with open(path) as f:
        data = json.load(f)
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}
    out = {}
    for b in data["benchmarks"]:
        if b.get("aggregate_name", "median") != "median":
            continue
        name = b.get("run_name", b["name"])
        out[name] = b["real_time"] * scale[b["time_unit"]]
    return out, data.get("context", {})


def find(medians, prefix):
    for name, value in medians.items():
        if name.startswith(prefix):
            return value
    return None


def median_ms(fn, repeats):
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        fn()
        times.append((time.perf_counter() - start) * 1e3)
    return statistics.median(times)


def peers():
    """The peers' medians in milliseconds, None where a library is missing."""
    got = {}
    try:
        import numpy as np
    except ImportError:
        notes.append("numpy not installed: every peer skipped")
        return got
    rng = np.random.default_rng(10)

    def correlation(n):
        x = rng.random((n, 4))
        dist = np.abs(x[:, None, :] - x[None, :, :]) ** 1.5
        return np.exp(-2.0 * dist.sum(axis=2))

    try:
        import scipy.linalg as la
        for n in (100, 200, 400):
            r = correlation(n)
            got[("dsyev", n)] = median_ms(lambda: la.eigh(r, driver="ev"), 7)
            got[("dsyevd", n)] = median_ms(lambda: la.eigh(r, driver="evd"), 7)
    except ImportError:
        notes.append("scipy not installed: LAPACK through scipy skipped")
    try:
        from sklearn.gaussian_process import GaussianProcessRegressor
        from sklearn.gaussian_process.kernels import RBF, ConstantKernel
        x = rng.random((200, 4))
        y = (x * x * np.arange(1, 5)).sum(axis=1)
        xnew = rng.random((10000, 4))
        kernel = ConstantKernel(1.5, "fixed") * RBF([0.5] * 4, "fixed")
        gp = GaussianProcessRegressor(kernel, optimizer=None).fit(x, y)
        got["predict"] = median_ms(lambda: gp.predict(xnew, return_std=True), 5)
        x = rng.random((100, 4))
        y = (np.sin(x * np.arange(1, 5)) + x * x).sum(axis=1)
        kernel = ConstantKernel(1.0) * RBF([1.0] * 4, (1e-3, 1e3))
        fit = GaussianProcessRegressor(kernel, n_restarts_optimizer=2, random_state=0)
        got["fit"] = median_ms(lambda: fit.fit(x, y), 3)
    except ImportError:
        notes.append("scikit-learn not installed: prediction and fit peers skipped")
    try:
        import threadpoolctl
        for info in threadpoolctl.threadpool_info():
            notes.append("BLAS: %s %s (%s), %s thread(s)" % (info.get("internal_api"), info.get("version"),
                                                             info.get("architecture"), info.get("num_threads")))
    except ImportError:
        pass
    return got


def cpu_name():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.machine()


def fmt(ms):
    return "—" if ms is None else ("%.2f ms" % ms if ms < 100 else "%.0f ms" % ms)


def ratio(a, b):
    return "—" if a is None or b is None else "%.2fx" % (a / b)


def main():
    medians, context = morla_medians(sys.argv[1])
    p = peers()
    print("# MORLA against its plain forms and its peers")
    print()
    print("%s, %s, %s CPUs at %s MHz, load average %s; MORLA built Release; medians of wall times" % (
        time.strftime("%Y-%m-%d"), cpu_name(), context.get("num_cpus", "?"), context.get("mhz_per_cpu", "?"),
        " ".join("%.1f" % v for v in os.getloadavg())))
    print()
    print("| work | MORLA, 1 core | MORLA, all cores | plain form | reference | ratio to reference |")
    print("|---|---|---|---|---|---|")
    for n in (100, 200, 400):
        ours = find(medians, "BM_Eigen/%d" % n)
        plain = find(medians, "BM_EigenPlain/%d" % n)
        lapack = find(medians, "BM_Dsyev/%d" % n)
        ref = lapack if lapack is not None else p.get(("dsyev", n))
        where = "dsyev (linked)" if lapack is not None else "dsyev (scipy)"
        extra = ""
        if lapack is not None and ("dsyev", n) in p:
            extra += "; dsyev (scipy) %s" % fmt(p[("dsyev", n)])
        if ("dsyevd", n) in p:
            extra += "; dsyevd (scipy) %s" % fmt(p[("dsyevd", n)])
        print("| eigen-decomposition with vectors, order %d | %s | — | %s | %s %s%s | %s |" % (
            n, fmt(ours), fmt(plain), where, fmt(ref), extra, ratio(ours, ref)))
    one = find(medians, "BM_Predict10000From200Runs/form:1")
    every = find(medians, "BM_Predict10000From200Runs/form:0")
    plain = find(medians, "BM_Predict10000From200Runs/form:2")
    print("| 10 000 predictions with standard errors, 200 runs, 4 inputs | %s | %s | %s | scikit-learn GPR %s | %s (1 core), %s (all) |" % (
        fmt(one), fmt(every), fmt(plain), fmt(p.get("predict")), ratio(one, p.get("predict")),
        ratio(every, p.get("predict"))))
    one = find(medians, "BM_Fit100x4/cores1:1")
    every = find(medians, "BM_Fit100x4/cores1:0")
    print("| Fit, 100 runs, 4 inputs, 3 tries | %s | %s | — | scikit-learn GPR, 2 restarts %s | %s (1 core), %s (all) |" % (
        fmt(one), fmt(every), fmt(p.get("fit")), ratio(one, p.get("fit")), ratio(every, p.get("fit"))))
    if "BM_Dsyev/200" not in " ".join(medians):
        notes.append("LAPACK not linked into the benchmark program: dsyev measured through scipy")
    notes.append("scikit-learn: prediction with a fixed constant times anisotropic RBF kernel (return_std=True); "
                 "fit of the same kernel by L-BFGS-B with analytic gradients, 1 + 2 restarts. MORLA: power-"
                 "exponential correlation with exponent 1.5 (alpha 0.5), fit by Nelder-Mead (3 tries). "
                 "The peers use other data of the same sizes and kinds.")
    print()
    for note in notes:
        print("Note: " + note)


main()
