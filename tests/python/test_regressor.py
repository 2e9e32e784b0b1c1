"""MorlaRegressor: scikit-learn's own estimator checks, and the fitted model
and its predictions against the kriging formulas computed here with numpy."""
import pickle

import numpy as np
import pytest
from sklearn.utils.estimator_checks import check_estimator

import morla
from morla import MorlaRegressor

# The checks that fit 200 runs of 10 inputs take minutes each: they run in
# the long test only.
SLOW_CHECKS = {"check_regressors_train", "check_regressor_data_not_an_array"}


def _checks(slow):
    for estimator, check in check_estimator(MorlaRegressor(tries=1), generate_only=True):
        name = getattr(check, "func", check).__name__
        if (name in SLOW_CHECKS) == slow:
            yield pytest.param(estimator, check, id=name)


@pytest.mark.parametrize("estimator, check", list(_checks(slow=False)))
def test_sklearn_estimator_checks(estimator, check):
    check(estimator)


# The full run, the slow checks included, fits by the gradient method: the
# simplex takes over a minute for each fit of 200 runs in 10 inputs, the
# gradient method a few seconds; the quick checks above use the simplex.
@pytest.mark.long
def test_sklearn_check_estimator_in_full():
    check_estimator(MorlaRegressor(tries=1, mle_optim_method="gradient"))


def _design():
    rng = np.random.default_rng(7)
    X = rng.uniform(0, 1, (14, 2))
    y = np.sin(5 * X[:, 0]) + X[:, 1] ** 2 + 0.5 * X[:, 0] * X[:, 1]
    return X, y


def _kriging(model, X, y, Xnew):
    """The kriging predictor with the model's parameters, straight from the
    formulas: R_ij = prod_k exp(-theta_k |x_ik - x_jk|^(2 - alpha_k))."""
    def corr(A, B):
        diff = np.abs(A[:, None, :] - B[None, :, :])
        return np.exp(-(model.theta_ * diff ** (2 - model.alpha_)).sum(axis=2))
    R = corr(X, X)
    one = np.ones(len(y))
    Ri_y, Ri_1 = np.linalg.solve(R, y), np.linalg.solve(R, one)
    beta = one @ Ri_y / (one @ Ri_1)
    resid = y - beta
    var = resid @ np.linalg.solve(R, resid) / len(y)
    loglike = -0.5 * len(y) * np.log(var) - 0.5 * np.linalg.slogdet(R)[1]
    r = corr(Xnew, X)
    Ri_r = np.linalg.solve(R, r.T)
    mean = beta + r @ np.linalg.solve(R, resid)
    mse = var * (1 - np.sum(r.T * Ri_r, axis=0) + (1 - one @ Ri_r) ** 2 / (one @ Ri_1))
    return beta, var, loglike, mean, np.sqrt(np.maximum(mse, 0))


def test_fit_and_predict_agree_with_the_formulas():
    X, y = _design()
    model = MorlaRegressor(random_seed=3).fit(X, y)
    assert model.n_features_in_ == 2 and model.theta_.shape == (2,) and model.alpha_.shape == (2,)
    assert np.all(model.theta_ >= 0) and np.all((model.alpha_ >= 0) & (model.alpha_ <= 2))
    assert model.error_variance_ == 0.0
    Xnew = np.array([[0.5, 0.5], [0.1, 0.9], [0.95, 0.05], X[3]])
    beta, var, loglike, mean, se = _kriging(model, X, y, Xnew)
    # MORLA's model files carry six decimals: theta rounded by 4e-7 of its
    # value moves the mean and variance of this nearly singular R (condition
    # about 1e8) by some 1e-5. Predictions use the parameters as read back,
    # here as in MORLA, and agree to the five decimals of MORLA's file.
    assert model.beta_ == pytest.approx(beta, rel=1e-4)
    assert model.process_variance_ == pytest.approx(var, rel=1e-4)
    assert model.log_likelihood_ == pytest.approx(loglike, abs=1e-3)
    got_mean, got_se = model.predict(Xnew, return_std=True)
    assert got_mean == pytest.approx(mean, abs=2e-5)
    assert got_se == pytest.approx(se, abs=2e-5)
    assert got_mean[3] == pytest.approx(y[3], abs=1e-5) and got_se[3] == pytest.approx(0, abs=1e-5)
    # The fit is a maximum: nearby parameters have a smaller likelihood.
    for k in range(2):
        for step in (0.9, 1.1):
            other = pickle.loads(pickle.dumps(model))
            other.theta_ = model.theta_.copy()
            other.theta_[k] *= step
            assert _kriging(other, X, y, Xnew)[2] < loglike + 1e-6


def test_options_reach_morla():
    X, y = _design()
    a = MorlaRegressor(random_seed=5, tries=2).fit(X, y)
    b = MorlaRegressor(random_seed=5, tries=2).fit(X, y)
    assert (a.theta_ == b.theta_).all() and a.log_likelihood_ == b.log_likelihood_
    noisy = y + np.random.default_rng(1).normal(0, 0.05, len(y))
    c = MorlaRegressor(random_error=True, random_seed=5).fit(X, noisy)
    assert c.error_variance_ > 0
    mean, se = c.predict(X, return_std=True)
    assert np.any(np.abs(mean - noisy) > 1e-4)  # smooths instead of interpolating
    assert pickle.loads(pickle.dumps(c)).predict(X[:3]) == pytest.approx(mean[:3])


def test_fitted_pipeline_and_score():
    from sklearn.pipeline import make_pipeline
    from sklearn.preprocessing import MinMaxScaler
    X, y = _design()
    pipe = make_pipeline(MinMaxScaler(), MorlaRegressor(random_seed=2)).fit(X[:10], y[:10])
    assert pipe.score(X[10:], y[10:]) > 0.5


@pytest.mark.parametrize("params, message", [
    ({"tries": 0}, "tries"),
    ({"tries": 2.5}, "tries"),
    ({"random_seed": 0}, "random_seed"),
    ({"random_error": "yes"}, "random_error"),
    ({"mle_optim_method": "powell"}, "mle_optim_method"),
])
def test_bad_parameters_are_refused_at_fit(params, message):
    X, y = _design()
    with pytest.raises(ValueError, match=message):
        MorlaRegressor(**params).fit(X, y)


def test_constant_response():
    X, _ = _design()
    model = MorlaRegressor().fit(X, np.full(len(X), 2.5))
    mean, se = model.predict(X[:4], return_std=True)
    # The generalised least-squares mean of a constant is the constant, to
    # rounding; the files carry MORLA's own numbers exactly.
    assert model.beta_ == pytest.approx(2.5, rel=1e-12) and mean == pytest.approx(2.5, rel=1e-12)
    assert (se <= 1e-12).all() and not np.signbit(se).any()


def test_morla_missing_value_is_refused():
    X, y = _design()
    y[0] = -1e14
    with pytest.raises(ValueError, match="missing"):
        MorlaRegressor().fit(X, y)


def test_refusals_name_the_command(tmp_path):
    (tmp_path / "x.mat").write_text("---\n a\n---\n 1\n")
    with pytest.raises(morla.MorlaError, match=r"Cannot parse this line\. \(on the line 'Fti'\)"):
        morla._run.run_commands(str(tmp_path), ["X < x.mat", "Fti"])


def test_binary_from_the_environment(monkeypatch, tmp_path):
    monkeypatch.setenv("MORLA_BINARY", str(tmp_path / "nothing"))
    with pytest.raises(morla.MorlaError, match="MORLA_BINARY"):
        morla.find_binary()
