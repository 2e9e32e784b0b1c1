"""MORLA's matrix files from Python: exact round trips, NA, column blocks,
files written by MORLA itself, and refusals."""
import os
import subprocess

import numpy as np
import pytest

import morla
from morla import matrix


def test_round_trip_is_exact_for_every_magnitude(tmp_path):
    rng = np.random.default_rng(3)
    values = np.concatenate([
        [0.0, -0.0, 0.1, 1 / 3, 2 / 3, -1e-300, 5e-324, 1.7976931348623157e308, -2.2250738585072014e-308,
         123456789012345.67, 1e14, -99999999999999.98, 0.30000000000000004],
        rng.standard_normal(17) * 10.0 ** rng.integers(-200, 200, 17)])
    data = values.reshape(6, 5)
    data[2, 3] = np.nan
    path = tmp_path / "m.mat"
    morla.write_matrix(path, data, ["a", "b", "a_long_name_of_28_characters", "NA_here", "e"], "Title line")
    back = morla.read_matrix(path)
    assert back.names == ["a", "b", "a_long_name_of_28_characters", "NA_here", "e"]
    assert back.title == "Title line"
    assert back.data.shape == (6, 5)
    same = (back.data == data) | (np.isnan(back.data) & np.isnan(data))
    assert same.all()
    assert np.signbit(back.data[0, 1])  # -0.0 keeps its sign
    assert "NA" in path.read_text().split()


def test_lines_stay_within_what_morla_reads(tmp_path):
    data = np.full((3, 23), -1.2345678901234567e-300)
    names = ["column_name_number_%02d" % j for j in range(23)]
    morla.write_matrix(tmp_path / "wide.mat", data, names)
    lines = (tmp_path / "wide.mat").read_text().split("\n")[:-1]
    assert max(len(line) + 1 for line in lines) <= 148  # with its newline
    assert max(len(line.split()) for line in lines) <= 29
    assert sum(line.startswith("--") for line in lines) > 2  # several column blocks
    back = morla.read_matrix(tmp_path / "wide.mat")
    assert back.names == names and (back.data == data).all()


def _run_morla(folder, commands):
    (folder / "cmd").write_text("\n".join(commands + ["Quit"]) + "\n")
    out = subprocess.run([morla.find_binary(), "cmd"], cwd=folder, stdout=subprocess.PIPE,
                         stderr=subprocess.STDOUT, check=True).stdout.decode()
    assert "ERROR" not in out and "Sorry" not in out, out
    return out


def test_morla_reads_what_python_writes_and_the_reverse(tmp_path):
    # 12 columns of 17-digit numbers need three column blocks; MORLA reads
    # them and writes them back in its own layout (five decimals).
    rng = np.random.default_rng(5)
    x = rng.uniform(-1000, 1000, (7, 12))
    y = np.arange(7.0).reshape(-1, 1) * 0.5
    y[3, 0] = np.nan
    morla.write_matrix(tmp_path / "x.mat", x, ["input_%d" % k for k in range(12)])
    morla.write_matrix(tmp_path / "y.mat", y, ["out"])
    _run_morla(tmp_path, ["X < x.mat", "y < y.mat", "X > x_back.mat", "y > y_back.mat"])
    xb = morla.read_matrix(tmp_path / "x_back.mat")
    assert xb.names == ["input_%d" % k for k in range(12)] and xb.title == "X Matrix"
    assert np.allclose(xb.data, x, rtol=0, atol=5.1e-6)
    yb = morla.read_matrix(tmp_path / "y_back.mat")
    assert np.isnan(yb.data[3, 0]) and yb.data[4, 0] == 2.0


def test_files_with_several_matrices(tmp_path):
    # The effects commands append one matrix per response, each with its own
    # "Version" line; read_matrices returns them in order.
    text = ("Version 1.304 \nEffects of f \n\n---------\n Case a b\n---------\n 1 1 2\n 2 3 4\n"
            "Version 1.304 \nEffects of g \n\n---------\n Case a\n---------\n 1 5\n"
            "---------\n Case c\n---------\n 1 na\n")
    (tmp_path / "two.mat").write_text(text)
    first, second = morla.read_matrices(tmp_path / "two.mat")
    assert first.title == "Effects of f" and first.names == ["a", "b"]
    assert first.data.tolist() == [[1, 2], [3, 4]]
    assert second.names == ["a", "c"] and second.data[0, 0] == 5 and np.isnan(second.data[0, 1])
    assert morla.read_matrix(tmp_path / "two.mat").title == "Effects of f"


def test_text_cells(tmp_path):
    cells = np.array([["x1", "0.5", "TRUE"], ["x2", "NA", "FALSE"]], dtype=object)
    morla.write_matrix(tmp_path / "t.mat", cells, ["Variable", "Min", "Constraint"])
    back = morla.read_matrix(tmp_path / "t.mat", text=True)
    assert back.data.tolist() == cells.tolist()


@pytest.mark.parametrize("content, message", [
    ("---\n Case a b\n---\n 1 2\n", "1 values under 2"),
    ("---\n Case a\n---\n 1 abc\n", "not a number"),
    ("---\n Case a\n---\n 1 inf\n", "not a number"),
    ("---\n Case a\n 1 2\n", "no separator line after the header"),
    ("---\n a\n---\n 1\n---\n b\n---\n 2\n 3\n", "a column block of 2 rows"),
    ("---\n Case a\n---\n", "without data rows"),
    ("no dashes at all\n", "no matrix"),
])
def test_malformed_files_are_refused(tmp_path, content, message):
    (tmp_path / "bad.mat").write_text(content)
    with pytest.raises(ValueError, match=message):
        morla.read_matrix(tmp_path / "bad.mat")


@pytest.mark.parametrize("data, names, message", [
    ([[1.0, np.inf]], None, "finite"),
    ([[1.0]], ["two words"], "blank"),
    ([[1.0]], ["a=b"], "blank or one of"),
    ([[1.0]], ["x" * 29], "longer than 28"),
    ([[1.0]], ["a", "b"], "2 names for 1 columns"),
    (np.zeros((0, 2)), None, "non-empty"),
])
def test_what_morla_cannot_read_is_refused(tmp_path, data, names, message):
    with pytest.raises(ValueError, match=message):
        morla.write_matrix(tmp_path / "w.mat", data, names)
    assert not (tmp_path / "w.mat").exists()


def test_number_text_is_shortest_exact():
    for v in (0.1, 1e-5, 2.0 ** -1074, 1 / 3):
        assert float(matrix.number_text(v)) == v
        assert len(matrix.number_text(v)) <= 24
    assert matrix.number_text(float("nan")) == "NA"


def test_effects_file_written_by_morla():
    # One matrix per model (response y, then constraint), text cells for the
    # term names: the file of an end-to-end case.
    path = os.path.join(os.path.dirname(__file__), "..", "e2e", "cases", "effects_response_and_constraint",
                        "expected", "files", "effects.mat")
    first, second = morla.read_matrices(path, text=True)
    assert first.title == second.title == "MainEffects"
    assert first.names == ["Term", "Value", "Effect", "StandardError"] == second.names
    assert first.data.shape == second.data.shape == (6, 4)
    assert first.data[:, 0].tolist() == ["x1"] * 3 + ["x2"] * 3
    assert [float(v) for v in first.data[:3, 1]] == [0.0, 0.5, 1.0]
    assert float(first.data[0, 2]) == pytest.approx(2.842566, abs=5e-7)
