"""Shared set-up of the Python package's tests: the package from the
checkout, the executable from MORLA_BINARY (set by tests/python/run.sh)."""
import os
import sys

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "python"))


def pytest_configure(config):
    config.addinivalue_line("markers", "long: runs for minutes (ctest label long)")


@pytest.fixture
def branin():
    def f(x):
        x1, x2 = x
        return ((x2 - 5.1 / (4 * 3.141592653589793 ** 2) * x1 ** 2 + 5 / 3.141592653589793 * x1 - 6) ** 2
                + 10 * (1 - 1 / (8 * 3.141592653589793)) * __import__("math").cos(x1) + 10)
    return f
