"""morla.minimize: minimise a Python function by MORLA's sequential design.

The function is evaluated first on a maximin Latin hypercube design, then
MORLA's Minimize loop chooses every further run by expected improvement and
asks for it through its outside-objective protocol: MORLA runs a small bridge
script (as ObjectiveFunction) that hands the point in the exchange file to
this process over a Unix socket and writes the values back. MORLA works on
the unit cube; points are mapped to the bounds here, so the function always
sees the point whose values MORLA receives.
"""
import math
import os
import shlex
import socket
import subprocess
import sys
import tempfile
import time

import numpy as np

from . import matrix
from ._run import MorlaError, find_binary

__all__ = ["minimize", "OptimizeResult", "maximin_lhs"]

try:  # scipy's own result type where scipy is installed
    from scipy.optimize import OptimizeResult
except ImportError:  # pragma: no cover - depends on the installation
    class OptimizeResult(dict):
        """A dict whose keys are also attributes, like scipy's OptimizeResult."""

        def __getattr__(self, name):
            try:
                return self[name]
            except KeyError:
                raise AttributeError(name) from None

        __setattr__ = dict.__setitem__
        __delattr__ = dict.__delitem__

        def __dir__(self):
            return list(self.keys())


_BRIDGE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "_bridge.py")
_supports_budget = {}


def maximin_lhs(n, d, rng, candidates=200):
    """A maximin Latin hypercube of n points in [0, 1]^d.

    Each input's range is cut into n equal slices, each holding one point at a
    random place; of ``candidates`` such designs the one whose two closest
    points lie farthest apart is kept.

    Parameters
    ----------
    n, d : int
        Number of points and of inputs.
    rng : numpy.random.Generator
        The random numbers (seeded by the caller).
    candidates : int, default 200
        Number of random designs compared.

    Returns
    -------
    ndarray of shape (n, d)
    """
    best, best_gap = None, -1.0
    for _ in range(candidates):
        u = (np.argsort(rng.random((n, d)), axis=0) + rng.random((n, d))) / n
        if n > 1:
            diff = u[:, None, :] - u[None, :, :]
            dist = np.sqrt((diff ** 2).sum(axis=2))
            gap = dist[np.triu_indices(n, 1)].min()
        else:
            gap = 0.0
        if gap > best_gap:
            best, best_gap = u, gap
    return best


def _has_budget_option(binary):
    """Whether this MORLA knows the option MaximumSample."""
    if binary not in _supports_budget:
        with tempfile.TemporaryDirectory(prefix="morla-probe-") as work:
            with open(os.path.join(work, "probe.cmd"), "w") as f:
                f.write("MaximumSample = 5\nQuit\n")
            out = subprocess.run([binary, "probe.cmd"], cwd=work, stdout=subprocess.PIPE,
                                 stderr=subprocess.DEVNULL).stdout.decode(errors="replace")
        _supports_budget[binary] = "Cannot parse" not in out and "Sorry" not in out
    return _supports_budget[binary]


def _values(fun, x, n_out):
    """fun(x) as a vector of n_out floats: finite, or nan for a missing value."""
    out = np.atleast_1d(np.asarray(fun(x.copy()), dtype=float)).ravel()
    if out.shape != (n_out,):
        raise ValueError("fun must return %d value%s (the objective%s), got %d"
                         % (n_out, "s" if n_out > 1 else "",
                            " then one per constraint" if n_out > 1 else "", out.size))
    if np.any(np.isinf(out)):
        raise ValueError("fun returned an infinite value at x=%r: %r (nan marks a missing value)"
                         % (x.tolist(), out.tolist()))
    return out


def _check_bounds(bounds):
    b = np.asarray(bounds, dtype=float)
    if b.ndim != 2 or b.shape[1] != 2 or b.shape[0] < 1:
        raise ValueError("bounds must be a sequence of (low, high) pairs, one per input")
    if not np.all(np.isfinite(b)) or np.any(b[:, 0] >= b[:, 1]):
        raise ValueError("every bound must be finite with low < high")
    return b


def _check_constraints(constraints):
    out = []
    for k, c in enumerate(constraints or []):
        try:
            lo, hi = c
        except (TypeError, ValueError):
            raise ValueError("constraint %d must be a (low, high) pair" % (k + 1)) from None
        lo = -math.inf if lo is None else float(lo)
        hi = math.inf if hi is None else float(hi)
        if math.isnan(lo) or math.isnan(hi) or lo > hi or (lo == -math.inf and hi == math.inf):
            raise ValueError("constraint %d needs low <= high and at least one finite bound" % (k + 1))
        out.append((lo, hi))
    return out


def _feasible(values, constraints):
    """A run that counts: its objective is there and every constraint value
    lies within its bounds (a missing one does not)."""
    return not math.isnan(values[0]) and all(lo <= v <= hi for v, (lo, hi) in zip(values[1:], constraints))


def _option_line(key, value):
    if not key.isidentifier() or isinstance(value, (list, tuple, dict)):
        raise ValueError("options: %r = %r is not a MORLA option line" % (key, value))
    text = value if isinstance(value, str) else ("TRUE" if value is True else "FALSE" if value is False
                                                 else repr(value))
    line = "%s = %s" % (key, text)
    if len(text.split()) != 1 or len(line) > 129 or any(c in text for c in "<>=#"):
        raise ValueError("options: %r is not a MORLA option line" % line)
    return line


def minimize(fun, bounds, *, random_seed=1, n_initial=None, max_evals=None, constraints=None,
             tries=3, options=None, callback=None, timeout=None):
    """Minimise a function by MORLA's sequential design (expected improvement).

    The function is first evaluated on a maximin Latin hypercube of
    ``n_initial`` points; then MORLA fits a kriging model of the objective
    (and of every constraint), runs the function where the expected
    improvement times the probability that the constraints hold is largest,
    refits, and repeats until the criterion has been small three times in a
    row or ``max_evals`` runs are made.

    Parameters
    ----------
    fun : callable
        ``fun(x) -> float`` with x a 1-D array of the inputs; with
        constraints it returns the objective followed by one value per
        constraint. nan marks a missing value (a failed run): MORLA leaves
        it out of the model of that output; infinite values are refused.
    bounds : sequence of (low, high)
        The box of the inputs, one pair per input.
    random_seed : int, default 1
        Seeds the initial design and MORLA's random numbers (option
        ``RandomSeed``): the same call gives the same runs.
    n_initial : int, optional
        Size of the initial design; default ``min(10 * d, max(d + 2, max_evals // 2))``
        with d inputs (``10 * d`` without ``max_evals``), at least 3.
    max_evals : int, optional
        The run budget, initial design included (MORLA's option
        ``MaximumSample``); default: no budget, MORLA's stopping rule alone.
    constraints : sequence of (low, high), optional
        Bounds of the further outputs of ``fun``; None for a missing bound.
        A run is feasible when every constraint output lies within its bounds.
    tries : int, default 3
        Likelihood searches per fit (option ``Tries``).
    options : dict, optional
        Further MORLA options as keyword: value, for example
        ``{"StoppingAbsoluteTolerance": 1e-4}``.
    callback : callable, optional
        Called as ``callback(x, values)`` after every run of the loop.
    timeout : float, optional
        Seconds after which MORLA is stopped.

    Returns
    -------
    OptimizeResult
        ``x`` (the best feasible run), ``fun`` (its objective value),
        ``nfev`` (number of runs), ``nit`` (runs chosen by MORLA),
        ``status`` (0: converged, the criterion was small three times in a
        row, or the option MinimizationTarget was reached; 1: the budget
        ``max_evals`` is spent; 2: the criterion search found no expected
        improvement left, the model being certain everywhere; 3: MORLA
        stopped Minimize, for example after three missing values in a row),
        ``success`` (True for status 0 and 2: MORLA's own stopping rules, as
        scipy reports a spent budget as no success), ``message``, every run as ``X``
        (nfev x d) and ``y`` (nfev objective values), with constraints also
        ``constraint_values`` (nfev x k) and ``feasible`` (nfev booleans),
        and MORLA's ``report``.

    Raises
    ------
    ValueError
        For invalid arguments or an infinite function value.
    morla.MorlaError
        When MORLA fails, an output has fewer than 2 values in the initial
        design, or no initial run meets the constraints.
    """
    b = _check_bounds(bounds)
    d = b.shape[0]
    cons = _check_constraints(constraints)
    n_out = 1 + len(cons)
    if isinstance(random_seed, bool) or not isinstance(random_seed, (int, np.integer)) \
            or not 1 <= random_seed <= 2**31 // 100 - 1:
        raise ValueError("random_seed must be an integer from 1 to %d" % (2**31 // 100 - 1))
    if max_evals is not None and (isinstance(max_evals, bool) or not isinstance(max_evals, (int, np.integer))
                                  or max_evals < 3):
        raise ValueError("max_evals must be None or an integer >= 3")
    if n_initial is None:
        n_initial = 10 * d if max_evals is None else min(10 * d, max(d + 2, max_evals // 2))
        n_initial = max(3, n_initial)
    if isinstance(n_initial, bool) or not isinstance(n_initial, (int, np.integer)) or n_initial < 2:
        raise ValueError("n_initial must be an integer >= 2")
    if max_evals is not None and n_initial > max_evals:
        raise ValueError("n_initial (%d) exceeds max_evals (%d)" % (n_initial, max_evals))
    if isinstance(tries, bool) or not isinstance(tries, (int, np.integer)) or tries < 1:
        raise ValueError("tries must be an integer >= 1")
    extra = [_option_line(k, v) for k, v in (options or {}).items()]
    binary = find_binary()
    budget_option = max_evals is not None and _has_budget_option(binary)

    lo, width = b[:, 0], b[:, 1] - b[:, 0]
    U = maximin_lhs(n_initial, d, np.random.default_rng(random_seed))
    X = [lo + u * width for u in U]
    Y = [_values(fun, x, n_out) for x in X]
    present = np.sum(~np.isnan(np.array(Y)), axis=0)
    if np.any(present < 2):
        raise MorlaError("the initial design needs at least 2 runs with a value of every output, got %s: "
                         "give a larger n_initial" % present.tolist())
    if not any(_feasible(v, cons) for v in Y):
        raise MorlaError("no run of the initial design meets the constraints: give a larger n_initial "
                         "or check the constraint bounds")
    if max_evals is not None and n_initial == max_evals:
        return _result(X, Y, cons, 1, "the run budget is spent by the initial design", "", 0)

    names = ["x%d" % (k + 1) for k in range(d)]
    ynames = ["f"] + ["c%d" % (k + 1) for k in range(len(cons))]
    with tempfile.TemporaryDirectory(prefix="morla-minimize-") as work:
        matrix.write_matrix(os.path.join(work, "x.mat"), U, names, "Initial design on the unit cube")
        matrix.write_matrix(os.path.join(work, "y.mat"), np.array(Y), ynames, "Responses")
        ranges = np.empty((d, 3), dtype=object)
        ranges[:, 0], ranges[:, 1], ranges[:, 2] = names, "0", "1"
        matrix.write_matrix(os.path.join(work, "ranges.mat"), ranges, ["Variable", "Min", "Max"], "Unit cube")
        commands = ["RandomSeed = %d" % random_seed, "Tries = %d" % tries] + extra + [
            "X < x.mat", "y < y.mat", "XDescription < ranges.mat"]
        if cons:
            ydes = [["f", "NA", "NA", "FALSE"]] + [
                [ynames[k + 1], "NA" if lo_ == -math.inf else matrix.number_text(lo_),
                 "NA" if hi_ == math.inf else matrix.number_text(hi_), "TRUE"]
                for k, (lo_, hi_) in enumerate(cons)]
            matrix.write_matrix(os.path.join(work, "ydescrip.mat"), np.array(ydes, dtype=object),
                                ["Variable", "Min", "Max", "Constraint"], "Constraints")
            commands.append("YDescription < ydescrip.mat")
        if budget_option:
            commands.append("MaximumSample = %d" % max_evals)
        sock_path = os.path.join(work, "bridge.sock")
        if len(sock_path.encode()) > 100:  # a Unix socket's path holds at most 107 bytes
            sock_path = os.path.join(tempfile.mkdtemp(prefix="morla-", dir="/tmp"), "bridge.sock")
        with open(os.path.join(work, "bridge"), "w") as f:
            f.write("#!/bin/sh\nexec %s %s %s \"$1\"\n"
                    % (shlex.quote(sys.executable), shlex.quote(_BRIDGE), shlex.quote(sock_path)))
        os.chmod(os.path.join(work, "bridge"), 0o755)
        commands += ["ObjectiveFunction = ./bridge", "Minimize", "Quit"]
        with open(os.path.join(work, "commands.cmd"), "w") as f:
            f.write("\n".join(commands) + "\n")
        status, message, report = _serve(binary, work, sock_path, fun, lo, width, n_out,
                                         X, Y, max_evals, budget_option, callback, timeout)
    return _result(X, Y, cons, status, message, report, len(X) - n_initial)


def _serve(binary, work, sock_path, fun, lo, width, n_out, X, Y, max_evals, budget_option,
           callback, timeout):
    """Runs MORLA and answers its bridge until MORLA ends; appends the runs to X and Y."""
    server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    server.bind(sock_path)
    server.listen(1)
    server.settimeout(0.2)
    log = open(os.path.join(work, "stderr.txt"), "w")
    proc = subprocess.Popen([binary, "commands.cmd", "report.txt"], cwd=work, stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=log)
    started = time.monotonic()
    failure, stopped_by_budget = None, False
    try:
        while proc.poll() is None:
            if timeout is not None and time.monotonic() - started > timeout:
                failure = MorlaError("MORLA did not finish within %g seconds" % timeout)
                break
            try:
                conn, _ = server.accept()
            except socket.timeout:
                continue
            with conn:
                conn.settimeout(None)
                request = b""
                while not request.endswith(b"\n"):
                    part = conn.recv(65536)
                    if not part:
                        break
                    request += part
                if max_evals is not None and not budget_option and len(X) >= max_evals:
                    conn.sendall(b"STOP\n")
                    stopped_by_budget = True
                    break
                try:
                    u = np.array([float(t) for t in request.split()])
                    x = lo + u * width
                    values = _values(fun, x, n_out)
                except BaseException as exc:  # the caller's error ends the run: raised below
                    conn.sendall(b"STOP\n")
                    failure = exc
                    break
                conn.sendall(("OK " + " ".join(matrix.number_text(v) for v in values) + "\n").encode())
                X.append(x)
                Y.append(values)
                if callback is not None:
                    callback(x.copy(), values.copy())
    finally:
        if proc.poll() is None:
            proc.terminate()
        proc.wait()
        server.close()
        log.close()
        os.unlink(sock_path)
        if not os.path.dirname(sock_path) == work:
            os.rmdir(os.path.dirname(sock_path))
    report = ""
    if os.path.exists(os.path.join(work, "report.txt")):
        with open(os.path.join(work, "report.txt"), errors="replace") as f:
            report = f.read()
    if failure is not None:
        raise failure
    if stopped_by_budget:
        return 1, "the run budget (max_evals=%d) is spent" % max_evals, report
    # A Minimize stopped by a failure (of the objective, or of a fit) ends the
    # run with status 1; the runs made are the result.
    if "Minimize stopped after" in report:
        lines = [line.strip() for line in report.splitlines()]
        why = [line for line in lines if line.startswith("ERROR")] or \
              [line for line in lines if line.startswith("WARNING")]
        return 3, "MORLA stopped Minimize: %s" % (why[-1] if why else "see the report"), report
    if proc.returncode != 0:
        with open(os.path.join(work, "stderr.txt"), errors="replace") as f:
            err = f.read().strip()
        raise MorlaError("MORLA ended with status %d:\n%s\n%s" % (proc.returncode, err,
                                                                "\n".join(report.splitlines()[-10:])))
    if "MaximumSample reached" in report or (max_evals is not None and len(X) >= max_evals):
        return 1, "the run budget (max_evals=%d) is spent" % max_evals, report
    if "MinimizationTarget reached" in report:
        return 0, "the target given as the option MinimizationTarget is reached", report
    for text in ("Couldn't find Expected Improvement > 0.0", "Local Optimizer failed to make 3 successful searches"):
        if text in report:
            return 2, "the criterion search stopped: " + text, report
    if "Final MaxCriterion" in report:
        return 0, "converged: the expected improvement was small three times in a row", report
    raise MorlaError("MORLA's Minimize did not run:\n%s" % "\n".join(report.splitlines()[-10:]))


def _result(X, Y, cons, status, message, report, nit):
    X, Y = np.array(X), np.array(Y)
    feasible = np.array([_feasible(v, cons) for v in Y], dtype=bool)  # not for a missing objective
    f = np.where(feasible, Y[:, 0], np.inf)
    best = int(np.argmin(f))
    res = OptimizeResult(x=X[best].copy(), fun=float(Y[best, 0]), nfev=len(X), nit=nit,
                         success=status in (0, 2), status=status, message=message,
                         X=X, y=Y[:, 0].copy(), report=report)
    if cons:
        res["constraint_values"] = Y[:, 1:].copy()
        res["feasible"] = feasible
    return res
