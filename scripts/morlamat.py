"""Reads and writes MORLA matrix files from Python (used by scripts/plot and
the examples' helper scripts).

A file holds one or more matrices. Each matrix is a preamble (a "Version"
line and a title), then column blocks: a dashed separator line, a header of
column names, another separator, data rows. A first header word "Case" marks
a case column, which is dropped. Later blocks add columns to the right. The
effects commands append one matrix per response model to one file, each
starting with its own "Version" line; read() returns them as a list.
"""
import sys

NA = None


class Matrix:
    """A title, column names and rows of text cells (as written)."""

    def __init__(self, title, names, rows):
        self.title, self.names, self.rows = title, names, rows

    def column(self, name_or_index):
        """The cells of one column as floats (None for NA)."""
        j = name_or_index if isinstance(name_or_index, int) else self.names.index(name_or_index)
        return [number(r[j]) for r in self.rows]

    def text(self, j):
        return [r[j] for r in self.rows]


def number(cell):
    if cell in ("NA", "na"):
        return NA
    return float(cell)


def _is_separator(line):
    return line.startswith("--")


def _tokens(line):
    return line.split("#", 1)[0].split()


def _parse_one(lines):
    """One matrix from the lines of one "Version" section."""
    title, i = "", 0
    while i < len(lines) and not _is_separator(lines[i]):
        text = lines[i].strip()
        if text and not text.startswith("Version") and not title:
            title = text
        i += 1
    names, rows, first = [], [], True
    while i < len(lines):  # lines[i] is a separator opening a block
        if i + 2 >= len(lines) or not _is_separator(lines[i + 2]):
            raise ValueError("malformed block header near line: %r" % lines[min(i + 1, len(lines) - 1)])
        header = _tokens(lines[i + 1])
        case = header and header[0] in ("Case", "case", "CASE")
        block_names = header[1:] if case else header
        i += 3
        block = []
        while i < len(lines) and not _is_separator(lines[i]):
            cells = _tokens(lines[i])[1 if case else 0:]
            if cells:
                if len(cells) != len(block_names):
                    raise ValueError("row with %d cells under %d names" % (len(cells), len(block_names)))
                block.append(cells)
            i += 1
        if first:
            rows = block
        elif len(block) != len(rows):
            raise ValueError("column block with another number of rows")
        else:
            rows = [a + b for a, b in zip(rows, block)]
        names += block_names
        first = False
    return Matrix(title, names, rows)


def read(path):
    """All matrices of a file, in file order."""
    with open(path) as f:
        lines = f.read().split("\n")
    sections, current = [], []
    for line in lines:
        if line.startswith("Version ") and any(_is_separator(l) for l in current):
            sections.append(current)
            current = []
        current.append(line)
    sections.append(current)
    return [_parse_one(s) for s in sections if any(_is_separator(l) for l in s)]


def read_one(path):
    return read(path)[0]


def write(out, title, names, rows, fmt="%14.6f"):
    """Writes rows of numbers (None as NA) with a case column."""
    width = max([14] + [len(n) for n in names])
    dash = "-" * (8 + (width + 1) * len(names))
    out.write("%s\n%s\n  Case%s\n%s\n" % (title, dash, "".join(" %*s" % (width, n) for n in names), dash))
    for i, row in enumerate(rows):
        cells = ["NA" if v is None else (fmt % v).strip() for v in row]
        out.write("%6d%s\n" % (i + 1, "".join(" %*s" % (width, c) for c in cells)))


def write_file(path, title, names, rows, fmt="%14.6f"):
    with open(path, "w") as f:
        write(f, title, names, rows, fmt)




if __name__ == "__main__":
    for m in read(sys.argv[1]):
        print(m.title, m.names, len(m.rows))
