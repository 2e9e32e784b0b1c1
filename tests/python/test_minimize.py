"""morla.minimize: a Python function minimised by MORLA's Minimize loop."""
import math
import os

import numpy as np
import pytest

import morla
from morla import _minimize

BRANIN_MIN = 0.397887


def test_branin_within_one_percent_in_40_runs(branin):
    calls = []

    def fun(x):
        calls.append(np.array(x))
        return branin(x)

    res = morla.minimize(fun, [(-5, 10), (0, 15)], random_seed=1, max_evals=40)
    assert res.nfev == len(calls) == len(res.X) == len(res.y) <= 40
    assert res.status == 1 and not res.success and "budget" in res.message
    # Every run is reported as evaluated, in order, and the best is the best.
    assert np.array_equal(res.X, np.array(calls))
    assert all(res.y[i] == branin(res.X[i]) for i in range(res.nfev))
    assert res.fun == res.y.min() and np.array_equal(res.x, res.X[np.argmin(res.y)])
    assert np.all((res.X >= [-5, 0]) & (res.X <= [10, 15]))
    assert res.fun <= BRANIN_MIN * 1.01
    assert "Minimize" in res.report


def test_same_seed_same_runs(branin):
    a = morla.minimize(branin, [(-5, 10), (0, 15)], random_seed=4, max_evals=14, n_initial=10)
    b = morla.minimize(branin, [(-5, 10), (0, 15)], random_seed=4, max_evals=14, n_initial=10)
    assert np.array_equal(a.X, b.X) and np.array_equal(a.y, b.y) and a.nfev == 14 and a.nit == 4


def test_budget_kept_without_the_option(branin, monkeypatch):
    # An executable without MaximumSample: the budget is kept here.
    monkeypatch.setitem(_minimize._supports_budget, morla.find_binary(), False)
    res = morla.minimize(branin, [(-5, 10), (0, 15)], random_seed=2, max_evals=13, n_initial=10)
    assert res.nfev == 13 and res.status == 1 and "budget" in res.message


def test_long_temporary_folder(monkeypatch, tmp_path):
    deep = tmp_path / ("d" * 60) / ("e" * 60)
    deep.mkdir(parents=True)
    monkeypatch.setattr(morla._minimize.tempfile, "tempdir", str(deep))
    res = morla.minimize(lambda x: (x[0] - 0.3) ** 2, [(0, 1)], n_initial=4, max_evals=6)
    assert res.nfev == 6


def test_converges_without_budget():
    res = morla.minimize(lambda x: (x[0] - 0.3) ** 2, [(0, 1)], random_seed=1, n_initial=5)
    assert res.status == 0 and res.success and "converged" in res.message
    assert abs(res.x[0] - 0.3) < 0.01 and res.fun < 1e-4


def test_constraints_as_further_outputs():
    # Minimise x1 + x2 on [0, 1]^2 with x1^2 + x2^2 >= 0.5: the minimum is
    # sqrt(0.5) = 0.7071 at (0, 0.7071) and (0.7071, 0).
    def fun(x):
        return [x[0] + x[1], x[0] ** 2 + x[1] ** 2]

    res = morla.minimize(fun, [(0, 1), (0, 1)], constraints=[(0.5, None)], random_seed=3, max_evals=30)
    assert res.constraint_values.shape == (res.nfev, 1)
    assert np.array_equal(res.feasible, res.constraint_values[:, 0] >= 0.5)
    assert res.feasible[np.argmin(np.where(res.feasible, res.y, np.inf))]
    assert res.x[0] ** 2 + res.x[1] ** 2 >= 0.5
    assert res.fun == min(res.y[res.feasible])
    assert res.fun < math.sqrt(0.5) * 1.03


def test_errors_of_the_function_reach_the_caller():
    class Boom(Exception):
        pass

    count = []

    def fun(x):
        count.append(1)
        if len(count) > 5:  # the first run MORLA asks for
            raise Boom("simulator failed")
        return float(x[0] ** 2)

    with pytest.raises(Boom, match="simulator failed"):
        morla.minimize(fun, [(-1, 1)], n_initial=5, max_evals=20)
    with pytest.raises(ValueError, match="infinite value"):
        morla.minimize(lambda x: math.inf if x[0] > 0.5 else x[0], [(0, 1)], n_initial=5)


def test_missing_values_are_left_out():
    # The function fails (nan) right of 0.6; its minimum 0 is at x = 0.8 but
    # the runs with a value reach down to (0.6 - 0.8)^2 = 0.04.
    def fun(x):
        return math.nan if x[0] > 0.6 else (x[0] - 0.8) ** 2

    res = morla.minimize(fun, [(0, 1)], random_seed=2, n_initial=6, max_evals=14)
    missing = np.isnan(res.y)
    assert missing.any() and not missing.all()
    assert not np.isnan(res.fun) and res.fun == res.y[~missing].min() and res.x[0] <= 0.6
    assert res.fun < 0.045
    assert res.status in (1, 3)


def test_outputs_without_two_values_are_refused():
    with pytest.raises(morla.MorlaError, match="at least 2 runs with a value"):
        morla.minimize(lambda x: [x[0], math.nan], [(0, 1)], constraints=[(0, 1)], n_initial=4)


def test_infeasible_start_is_refused():
    with pytest.raises(morla.MorlaError, match="initial design meets the constraints"):
        morla.minimize(lambda x: [x[0], 1.0], [(0, 1)], constraints=[(2, 3)], n_initial=4)


@pytest.mark.parametrize("kwargs, message", [
    ({"bounds": [(1, 0)]}, "low < high"),
    ({"bounds": [(0, math.inf)]}, "finite"),
    ({"bounds": [0, 1]}, "pairs"),
    ({"max_evals": 2}, "max_evals"),
    ({"n_initial": 30, "max_evals": 20}, "exceeds"),
    ({"random_seed": 0}, "random_seed"),
    ({"constraints": [(None, None)]}, "finite bound"),
    ({"options": {"Tries": "3 4"}}, "option line"),
])
def test_bad_arguments(kwargs, message):
    args = dict(fun=lambda x: x[0], bounds=[(0, 1)])
    args.update(kwargs)
    with pytest.raises(ValueError, match=message):
        morla.minimize(**args)


def test_wrong_number_of_values():
    with pytest.raises(ValueError, match="2 values"):
        morla.minimize(lambda x: x[0], [(0, 1)], constraints=[(0, 1)], n_initial=4)


def test_maximin_design_is_latin():
    u = _minimize.maximin_lhs(9, 3, np.random.default_rng(0))
    for k in range(3):
        assert sorted(np.floor(u[:, k] * 9).astype(int)) == list(range(9))
    assert os.path.basename(_minimize._BRIDGE) == "_bridge.py"


def test_target_option_stops_at_the_first_run_below_it(branin):
    res = morla.minimize(branin, [(-5, 10), (0, 15)], random_seed=1, max_evals=40,
                         options={"MinimizationTarget": 1.0})
    assert res.status == 0 and res.success and "MinimizationTarget" in res.message
    assert res.y[-1] <= 1.0 < res.y[:-1].min() and res.fun == res.y[-1]
