"""MorlaRegressor: a scikit-learn regressor that fits and predicts with MORLA.

Each fit and each prediction runs the MORLA executable on a command file in a
temporary folder: the data are written as matrix files with every number
exact, the fitted model comes back as MORLA's three model files, and a
prediction reads those files back (with the training data) and runs Predict.
"""
import tempfile
import warnings

import numpy as np
from sklearn.base import BaseEstimator, RegressorMixin
from sklearn.exceptions import DataConversionWarning
from sklearn.utils.validation import check_is_fitted

from . import matrix
from ._run import run_commands

__all__ = ["MorlaRegressor"]

# MORLA's missing value: a data value equal to it would be taken as missing.
_MORLA_NA = -1e14
_Y_NAME = "y"
_METHODS = ("simplex", "gradient")


def _feature_names(d):
    return ["x%d" % (k + 1) for k in range(d)]


class MorlaRegressor(RegressorMixin, BaseEstimator):
    """Kriging (Gaussian-process) regression by MORLA.

    The model has a constant mean and a stationary Gaussian process with the
    power-exponential correlation
    ``c(u, v) = prod_k exp(-theta_k |u_k - v_k|^(2 - alpha_k))``, optionally
    with a share of random error; its parameters are fitted by maximum
    likelihood. Each ``fit`` and ``predict`` runs the MORLA executable (found
    through ``MORLA_BINARY``, the checkout's ``build/morla`` or the PATH).
    Inputs of similar ranges (for example scaled to [0, 1]) suit the fit best.

    Parameters
    ----------
    tries : int, default 3
        Number of likelihood searches from random starts (MORLA's option
        ``Tries``); the best wins.
    random_seed : int or None, default None
        Seed of MORLA's random numbers (option ``RandomSeed``, > 0); None keeps
        MORLA's own start-up seed. Fits are reproducible either way.
    random_error : bool, default False
        Fit a share of random error (option ``RandomError``): the model then
        smooths the data instead of interpolating them.
    mle_optim_method : {"simplex", "gradient"} or None, default None
        The likelihood search method (option ``MleOptimMethod``), passed only
        when set; None keeps MORLA's default.

    Attributes
    ----------
    theta_ : ndarray of shape (n_features_in_,)
        Fitted theta of every input.
    alpha_ : ndarray of shape (n_features_in_,)
        Fitted alpha of every input (in [0, 2]; 0 is the Gaussian correlation).
    beta_ : float
        The fitted constant mean.
    process_variance_ : float
        The fitted variance of the stochastic process.
    error_variance_ : float
        The fitted random-error variance (0.0 without random error).
    log_likelihood_ : float
        The maximised log likelihood.
    n_features_in_ : int
        Number of inputs seen in ``fit``.
    X_fit_, y_fit_ : ndarray
        The training data (a prediction needs them).

    Notes
    -----
    The fitted parameters carry as many digits as MORLA writes into its model
    files, and predictions as many as its prediction files hold.

    Examples
    --------
    >>> import numpy as np
    >>> from morla import MorlaRegressor
    >>> X = np.linspace(0, 1, 8).reshape(-1, 1)
    >>> model = MorlaRegressor(random_seed=1).fit(X, np.sin(6 * X).ravel())
    >>> mean, std = model.predict([[0.5]], return_std=True)
    """

    def __init__(self, tries=3, random_seed=None, random_error=False, mle_optim_method=None):
        self.tries = tries
        self.random_seed = random_seed
        self.random_error = random_error
        self.mle_optim_method = mle_optim_method

    # -- validation -------------------------------------------------------

    def _option_lines(self):
        lines = []
        tries = self.tries
        if isinstance(tries, bool) or not isinstance(tries, (int, np.integer)) or tries < 1:
            raise ValueError("tries must be an integer >= 1, got %r" % (tries,))
        lines.append("Tries = %d" % tries)
        seed = self.random_seed
        if seed is not None:
            if isinstance(seed, bool) or not isinstance(seed, (int, np.integer)) or not 1 <= seed <= 2**31 // 100 - 1:
                raise ValueError("random_seed must be None or an integer from 1 to %d, got %r"
                                 % (2**31 // 100 - 1, seed))
            lines.append("RandomSeed = %d" % seed)
        if self.random_error not in (True, False):
            raise ValueError("random_error must be True or False, got %r" % (self.random_error,))
        if self.random_error:
            lines.append("RandomError = TRUE")
        if self.mle_optim_method is not None:
            if self.mle_optim_method not in _METHODS:
                raise ValueError("mle_optim_method must be None, 'simplex' or 'gradient', got %r"
                                 % (self.mle_optim_method,))
            lines.append("MleOptimMethod = %s" % self.mle_optim_method)
        return lines

    def _validate(self, X, y=None, reset=True):
        kwargs = dict(dtype=np.float64, ensure_min_samples=2 if y is not None else 1)
        if hasattr(self, "_validate_data"):  # scikit-learn before 1.6
            if y is None:
                return self._validate_data(X, reset=reset, **kwargs)
            return self._validate_data(X, y, reset=reset, y_numeric=True, **kwargs)
        from sklearn.utils.validation import validate_data  # scikit-learn 1.6 and later
        if y is None:
            return validate_data(self, X, reset=reset, **kwargs)
        return validate_data(self, X, y, reset=reset, y_numeric=True, **kwargs)

    @staticmethod
    def _check_na(a, what):
        if np.any(a == _MORLA_NA):
            raise ValueError("%s holds -1e14, the value MORLA reads as missing" % what)

    # -- fit --------------------------------------------------------------

    def fit(self, X, y):
        """Fit the model by maximum likelihood.

        Parameters
        ----------
        X : array_like of shape (n_samples, n_features)
            The design: at least 2 runs, finite values.
        y : array_like of shape (n_samples,)
            The response at each run, finite values.

        Returns
        -------
        self : MorlaRegressor
            The fitted estimator.

        Raises
        ------
        ValueError
            For invalid parameters or data.
        morla.MorlaError
            When MORLA cannot fit the data.
        """
        options = self._option_lines()
        if y is None:
            raise ValueError("MorlaRegressor requires y to be passed, but the target y is None")
        y_in = np.asarray(y) if not hasattr(y, "shape") else y
        if getattr(y_in, "ndim", 1) == 2 and y_in.shape[1] == 1:
            warnings.warn("A column-vector y was passed when a 1d array was expected. Please change "
                          "the shape of y to (n_samples,), for example using ravel().",
                          DataConversionWarning, stacklevel=2)
            y = np.asarray(y_in).ravel()
        X, y = self._validate(X, y)
        self._check_na(X, "X")
        self._check_na(y, "y")
        d = X.shape[1]
        with tempfile.TemporaryDirectory(prefix="morla-fit-") as work:
            matrix.write_matrix(work + "/x.mat", X, _feature_names(d), "Design")
            matrix.write_matrix(work + "/y.mat", y, [_Y_NAME], "Responses")
            run_commands(work, options + [
                "X < x.mat", "y < y.mat", "Fit",
                "StochasticProcessModel > corpar.mat",
                "RegressionModel > beta.mat",
                "YDescription > ydescrip.mat"])
            self._read_model(work, d)
        self.X_fit_ = X.copy()
        self.y_fit_ = y.copy()
        return self

    def _read_model(self, work, d):
        corpar = matrix.read_matrix(work + "/corpar.mat", text=True)
        beta = matrix.read_matrix(work + "/beta.mat", text=True)
        ydes = matrix.read_matrix(work + "/ydescrip.mat", text=True)

        def column(m, name):
            return np.array([float(v) for v in m.data[:, m.names.index(name)]])

        self.theta_ = column(corpar, "Theta." + _Y_NAME)
        self.alpha_ = column(corpar, "Alpha." + _Y_NAME)
        if self.theta_.shape != (d,):
            raise RuntimeError("MORLA's model file has %d rows for %d inputs" % (len(self.theta_), d))
        self.beta_ = float(column(beta, "Coefficients")[0])
        self.process_variance_ = float(column(ydes, "StochasticProcessVariance")[0])
        self.error_variance_ = (float(column(ydes, "ErrorVariance")[0])
                                if "ErrorVariance" in ydes.names else 0.0)
        self.log_likelihood_ = float(column(ydes, "LogLikelihood")[0])

    # -- predict ----------------------------------------------------------

    def _write_model(self, work):
        d = self.n_features_in_
        names = _feature_names(d)
        matrix.write_matrix(work + "/x.mat", self.X_fit_, names, "Design")
        matrix.write_matrix(work + "/y.mat", self.y_fit_, [_Y_NAME], "Responses")
        corpar = np.empty((d, 3), dtype=object)
        corpar[:, 0] = names
        corpar[:, 1] = [matrix.number_text(v) for v in self.theta_]
        corpar[:, 2] = [matrix.number_text(v) for v in self.alpha_]
        matrix.write_matrix(work + "/corpar.mat", corpar,
                            ["Variable", "Theta." + _Y_NAME, "Alpha." + _Y_NAME], "CorrelationParameters")
        beta = np.array([[_Y_NAME, "1", matrix.number_text(self.beta_)]], dtype=object)
        matrix.write_matrix(work + "/beta.mat", beta, ["Variable", "Term", "Coefficients"], "RegressionModel")
        names = ["Variable", "LogLikelihood", "StochasticProcessVariance"]
        row = [_Y_NAME, matrix.number_text(self.log_likelihood_), matrix.number_text(self.process_variance_)]
        if self.error_variance_ > 0:
            names.append("ErrorVariance")
            row.append(matrix.number_text(self.error_variance_))
        matrix.write_matrix(work + "/ydescrip.mat", np.array([row], dtype=object), names, "YDescription")

    def predict(self, X, return_std=False):
        """Predict the response at new points.

        Parameters
        ----------
        X : array_like of shape (n_samples, n_features)
            The points.
        return_std : bool, default False
            Also return the standard error of each prediction.

        Returns
        -------
        y_mean : ndarray of shape (n_samples,)
            The predictions.
        y_std : ndarray of shape (n_samples,)
            Their standard errors; only with ``return_std=True``.
        """
        check_is_fitted(self, "theta_")
        X = self._validate(X, reset=False)
        self._check_na(X, "X")
        with tempfile.TemporaryDirectory(prefix="morla-predict-") as work:
            self._write_model(work)
            matrix.write_matrix(work + "/new.mat", X, _feature_names(X.shape[1]), "Points")
            run_commands(work, [
                "RandomError = TRUE" if self.error_variance_ > 0 else "# no random error",
                "X < x.mat", "y < y.mat",
                "StochasticProcessModel < corpar.mat",
                "RegressionModel < beta.mat",
                "YDescription < ydescrip.mat",
                "Predict < new.mat > predicted.mat"])
            pred = matrix.read_matrix(work + "/predicted.mat")
        mean = pred.data[:, pred.names.index("Pred." + _Y_NAME)]
        if return_std:
            # "-0.00000" in the file is a standard error of 0
            return mean, pred.data[:, pred.names.index("SE." + _Y_NAME)] + 0.0
        return mean
