"""MORLA from Python: kriging models of computer experiments and their
minimisation, run by the MORLA executable.

- :class:`MorlaRegressor`: a scikit-learn regressor (fit, predict with
  standard errors).
- :func:`minimize`: minimise a Python function by MORLA's sequential design.
- :func:`read_matrix`, :func:`read_matrices`, :func:`write_matrix`: MORLA's
  matrix files as numpy arrays plus column names.

The executable is ``MORLA_BINARY`` if set, else the checkout's
``build/morla``, else ``morla`` on the PATH.
"""
from ._run import MorlaError, find_binary
from .matrix import Matrix, read_matrices, read_matrix, write_matrix

__all__ = ["MorlaError", "find_binary", "Matrix", "read_matrix", "read_matrices", "write_matrix",
           "MorlaRegressor", "minimize", "OptimizeResult"]
__version__ = "1.304"


def __getattr__(name):
    # scikit-learn is needed by the regressor only: import it when asked for.
    if name == "MorlaRegressor":
        from .regressor import MorlaRegressor
        return MorlaRegressor
    if name in ("minimize", "OptimizeResult"):
        from . import _minimize as _m
        return getattr(_m, name)
    raise AttributeError("module 'morla' has no attribute %r" % name)
