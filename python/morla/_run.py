"""Finding the MORLA executable and running it on a command file."""
import os
import shutil
import subprocess

__all__ = ["MorlaError", "find_binary", "run_commands"]


class MorlaError(RuntimeError):
    """MORLA refused a command or ended with an error; the message quotes it."""


def find_binary():
    """The MORLA executable to run.

    The environment variable ``MORLA_BINARY`` if set, else the checkout's
    ``build/morla`` (two folders above this package), else ``morla`` on the
    PATH.

    Raises
    ------
    MorlaError
        When none of these is an executable file.
    """
    env = os.environ.get("MORLA_BINARY")
    if env:
        if not (os.path.isfile(env) and os.access(env, os.X_OK)):
            raise MorlaError("MORLA_BINARY=%s is not an executable file" % env)
        return os.path.abspath(env)
    here = os.path.dirname(os.path.abspath(__file__))
    built = os.path.join(here, "..", "..", "build", "morla")
    if os.path.isfile(built) and os.access(built, os.X_OK):
        return os.path.normpath(built)
    found = shutil.which("morla")
    if found:
        return found
    raise MorlaError("cannot find the morla executable: set MORLA_BINARY, build the checkout "
                     "(build/morla) or put morla on the PATH")


# Report lines by which MORLA says that a command was refused or failed. The
# command files written by this package never expect any of them.
_REFUSALS = ("Sorry", "ERROR", "Error:", "Unexpected input", "Unexpected Input", "Cannot parse",
             "Usage:")


def run_commands(workdir, commands, binary=None, stdin=None, timeout=None):
    """Run MORLA on a command file in ``workdir`` and return its report.

    Parameters
    ----------
    workdir : str
        The folder the command file and every data file live in.
    commands : list of str
        The command lines (without newlines); "Quit" is added.
    binary : str, optional
        The executable (default :func:`find_binary`).
    stdin, timeout :
        Passed to :func:`subprocess.run`.

    Returns
    -------
    str
        The report.

    Raises
    ------
    MorlaError
        When MORLA ends with a status other than 0 or its report holds a
        refusal; the message quotes the offending lines and standard error.
    """
    binary = binary or find_binary()
    for line in commands:
        if len(line) > 129 or "\n" in line:
            raise MorlaError("command line too long for MORLA: %r" % line)
    with open(os.path.join(workdir, "commands.cmd"), "w") as f:
        f.write("\n".join(list(commands) + ["Quit"]) + "\n")
    proc = subprocess.run([binary, "commands.cmd", "report.txt"], cwd=workdir, stdin=stdin,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout)
    report_path = os.path.join(workdir, "report.txt")
    report = ""
    if os.path.exists(report_path):
        with open(report_path, errors="replace") as f:
            report = f.read()
    stderr = proc.stderr.decode(errors="replace")
    refused, command = [], ""
    for line in report.splitlines():
        if line.startswith("morla> "):
            command = line.rsplit("morla> ", 1)[1].strip()
        elif line.lstrip().startswith(_REFUSALS):
            refused.append("%s (on the line %r)" % (line.strip(), command) if command else line.strip())
    if proc.returncode != 0 or refused:
        what = "MORLA ended with status %d" % proc.returncode if proc.returncode else "MORLA refused a command"
        detail = "\n".join(refused + [stderr.strip()]).strip()
        if not detail:
            detail = "\n".join(report.splitlines()[-10:])
        raise MorlaError("%s:\n%s" % (what, detail))
    return report
