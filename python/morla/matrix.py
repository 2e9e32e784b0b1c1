"""MORLA's matrix files from Python: numpy arrays plus column names.

A matrix file is a preamble (MORLA writes a "Version" line and a title), then
one or more column blocks: a line starting with two dashes, a header line of
column names (a first name "Case" marks a case-number column, which is
dropped), another dashed line, and data rows up to the next dashed line. Later
blocks add columns to the right. Files that hold several matrices (the
effects commands append one per response) start each with a "Version" line.
"NA" (or "na") is a missing value, read as nan and written from nan.
"""
import collections
import math
import os

import numpy as np

__all__ = ["Matrix", "read_matrix", "read_matrices", "write_matrix"]

#: One matrix of a file: ``data`` (a 2-D float array, or an object array of
#: strings when read with ``text=True``), ``names`` (list of column names) and
#: ``title`` (the first line of the preamble after the "Version" line).
Matrix = collections.namedtuple("Matrix", ["data", "names", "title"])

# What MORLA's reader accepts in one line (including its newline), per name,
# and per line in tokens; the writer stays within these.
MAX_LINE = 148
MAX_NAME = 28
MAX_TOKENS = 29
_FORBIDDEN = set("<>=#")


def _is_separator(line):
    return line.startswith("--")


def _tokens(line):
    return line.split("#", 1)[0].split()


def _cell(token, text, path, lineno):
    if text:
        return token
    if token in ("NA", "na"):
        return math.nan
    try:
        value = float(token)
    except ValueError:
        value = math.nan
        ok = False
    else:
        ok = math.isfinite(value)
    if not ok:
        raise ValueError("%s, line %d: %r is not a number" % (path, lineno, token))
    return value


def _parse(lines, first_lineno, text, path):
    """One matrix from the lines of one section of a file."""
    title, i = "", 0
    while i < len(lines) and not _is_separator(lines[i]):
        line = lines[i].strip()
        if line and not title and not line.startswith("Version"):
            title = line
        i += 1
    names, rows, first = [], [], True
    while i < len(lines):  # lines[i] is a separator that opens a block
        where = first_lineno + i
        if i + 1 >= len(lines) or not lines[i + 1].strip():
            raise ValueError("%s, line %d: a separator line without a header line after it" % (path, where))
        header = _tokens(lines[i + 1])
        if i + 2 >= len(lines) or not _is_separator(lines[i + 2]):
            raise ValueError("%s, line %d: no separator line after the header line" % (path, where + 1))
        case = bool(header) and header[0] in ("Case", "case", "CASE")
        block_names = header[1:] if case else header
        if not block_names:
            raise ValueError("%s, line %d: no column names in the header line" % (path, where + 1))
        i += 3
        block = []
        while i < len(lines) and not _is_separator(lines[i]):
            cells = _tokens(lines[i])[1 if case else 0:]
            if cells:
                if len(cells) != len(block_names):
                    raise ValueError("%s, line %d: %d values under %d column names"
                                     % (path, first_lineno + i, len(cells), len(block_names)))
                block.append([_cell(c, text, path, first_lineno + i) for c in cells])
            i += 1
        if first:
            if not block:
                raise ValueError("%s: a matrix without data rows" % path)
            rows = block
        elif len(block) != len(rows):
            raise ValueError("%s: a column block of %d rows after one of %d rows" % (path, len(block), len(rows)))
        else:
            rows = [a + b for a, b in zip(rows, block)]
        names += block_names
        first = False
    data = np.array(rows, dtype=object if text else float).reshape(len(rows), len(names))
    return Matrix(data, names, title)


def read_matrices(path, text=False):
    """Read every matrix of a MORLA matrix file.

    Parameters
    ----------
    path : str or os.PathLike
        The file.
    text : bool, default False
        Keep the cells as strings (for MORLA's model files, whose cells hold
        names and words) instead of converting them to floats.

    Returns
    -------
    list of Matrix
        One ``Matrix(data, names, title)`` per matrix, in file order; a file
        with several "Version" sections holds several matrices.

    Raises
    ------
    ValueError
        When the file is not a well-formed matrix file or a cell is neither a
        finite number nor NA (unless ``text`` is set).
    """
    path = os.fspath(path)
    with open(path) as f:
        lines = f.read().split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    sections, start = [], 0
    for k, line in enumerate(lines):
        if line.startswith("Version ") and any(_is_separator(l) for l in lines[start:k]):
            sections.append((start, lines[start:k]))
            start = k
    sections.append((start, lines[start:]))
    found = [_parse(s, start + 1, text, path) for start, s in sections if any(_is_separator(l) for l in s)]
    if not found:
        raise ValueError("%s: no matrix (no line starting with dashes)" % path)
    return found


def read_matrix(path, text=False):
    """Read the first (usually the only) matrix of a MORLA matrix file.

    Parameters
    ----------
    path : str or os.PathLike
        The file.
    text : bool, default False
        Keep the cells as strings instead of converting them to floats.

    Returns
    -------
    Matrix
        ``Matrix(data, names, title)``: ``data`` is an array of shape
        (rows, columns), float with nan for NA (object array of strings with
        ``text=True``); ``names`` the column names; ``title`` the file's title
        line. It unpacks: ``data, names, title = read_matrix(path)``.

    Raises
    ------
    ValueError
        As :func:`read_matrices`.
    """
    return read_matrices(path, text)[0]


def number_text(value):
    """The shortest text that reads back as the same double ("NA" for nan)."""
    value = float(value)
    if math.isnan(value):
        return "NA"
    if math.isinf(value):
        raise ValueError("MORLA's files hold finite numbers only, not %r" % value)
    return repr(value)


def _check_name(name):
    if not isinstance(name, str) or not name:
        raise ValueError("a column name must be a non-empty string, not %r" % (name,))
    if len(name) > MAX_NAME:
        raise ValueError("column name %r is longer than %d characters" % (name, MAX_NAME))
    if any(c.isspace() for c in name) or _FORBIDDEN & set(name):
        raise ValueError("column name %r holds a blank or one of < > = #" % name)
    if name.startswith("--"):
        raise ValueError("column name %r starts with two dashes" % name)


def write_matrix(path, data, names=None, title="Matrix"):
    """Write a matrix as a MORLA matrix file that reads back exactly.

    Numbers are written as the shortest text that reads back as the same
    double (up to 17 significant digits), nan as NA. Columns are split into
    blocks so that no line exceeds the 148 characters (and 29 words) that
    MORLA reads per line. Every row starts with its case number.

    Parameters
    ----------
    path : str or os.PathLike
        The file, created or replaced.
    data : array_like of shape (n_rows, n_columns) or (n_rows,)
        Finite numbers or nan; a 1-D array is written as one column. An
        object array may also hold strings (cells of text, as in MORLA's
        model files).
    names : list of str, optional
        Column names (default x1, x2, ...): at most 28 characters, without
        blanks or the characters < > = #.
    title : str, default "Matrix"
        The title line.

    Raises
    ------
    ValueError
        For an empty matrix, infinite values, names that MORLA cannot read,
        or a number of names other than the number of columns.
    """
    arr = np.asarray(data)
    if arr.ndim == 1:
        arr = arr.reshape(-1, 1)
    if arr.ndim != 2 or arr.shape[0] == 0 or arr.shape[1] == 0:
        raise ValueError("write_matrix needs a non-empty 2-D array, got shape %s" % (arr.shape,))
    if names is None:
        names = ["x%d" % (j + 1) for j in range(arr.shape[1])]
    names = list(names)
    if len(names) != arr.shape[1]:
        raise ValueError("%d names for %d columns" % (len(names), arr.shape[1]))
    for name in names:
        _check_name(name)
    if "\n" in title or title.startswith("--"):
        raise ValueError("the title must be one line that does not start with two dashes")
    cells = [[c if isinstance(c, str) else number_text(c) for c in row] for row in arr.tolist()]
    for row in cells:
        for c in row:
            if isinstance(c, str) and (not c or len(c) > MAX_NAME or any(ch.isspace() for ch in c)):
                raise ValueError("cell %r cannot be written as one word of at most %d characters" % (c, MAX_NAME))
    case_width = max(5, len(str(len(cells))) + 1)
    widths = [max(len(n), max(len(r[j]) for r in cells)) + 1 for j, n in enumerate(names)]
    blocks, start = [], 0
    while start < len(names):  # greedy: as many columns as fit one line
        end, length = start, case_width
        while end < len(names) and end - start < MAX_TOKENS - 1 and length + widths[end] + 1 <= MAX_LINE:
            length += widths[end]
            end += 1
        blocks.append((start, end, length))
        start = end
    out = ["Version 1.304", title, ""]
    for start, end, length in blocks:
        dash = "-" * length
        out.append(dash)
        out.append("Case".rjust(case_width) + "".join(names[j].rjust(widths[j]) for j in range(start, end)))
        out.append(dash)
        for i, row in enumerate(cells):
            out.append(str(i + 1).rjust(case_width) + "".join(row[j].rjust(widths[j]) for j in range(start, end)))
    with open(os.fspath(path), "w") as f:
        f.write("\n".join(out) + "\n")
