#!/usr/bin/python3
"""Every command of MORLA timed as the design grows (8 inputs).

For each size n the script writes, in a scratch folder, a random design of n
runs in [0, 1]^8 (seeded by n), the responses of a smooth test function, the
input ranges, and a model with fixed parameters (theta 1, alpha 0.5, process
variance 1, error variance 1e-6), then runs one MORLA process per command:

  load         reading the objects and nothing else (the base of every line)
  Fit          MleOptimMethod = gradient, from the design and responses only
  CrossValidate  with CrossValidateMethod = closed when `Info` lists it
  Predict      10 000 random points
  MainEffects, JointEffects   GridSize 10
  MinimizeStage 1, MinimizeStage 10
  (NAME@T, such as MinimizeStage1@20: the command with CriterionOptimTries = T)

Every command but Fit reads the fixed model, so Fit is timed on its own. Each
process is measured with GNU time (/usr/bin/time; else wait4()): wall time,
CPU time (user + system) and peak resident memory. A command whose process ends with another status than 0, or
that prints a "Sorry" line, is reported as such.

Usage: bench/scale.py MORLA_BINARY [--sizes 100,300,1000] [--commands Fit,Predict]
                      [--timeout SECONDS] [--keep DIR]
Prints one line per command and size (tab-separated, for the table in
docs/performance.md) and, at the end, the slope of log CPU time against
log n over the sizes from 300 on. Exit status 1 when a command failed or was
refused (a timeout is not a failure).
"""
import argparse
import math
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time

D = 8
PREDICT_POINTS = 10000


def write_matrix(path, title, names, rows, labels=None, fmt="%.17g"):
    with open(path, "w") as f:
        f.write(title + "\n")
        f.write("-" * 30 + "\n")
        f.write(" ".join(names) + "\n")
        f.write("-" * 30 + "\n")
        for i, row in enumerate(rows):
            head = [labels[i]] if labels else []
            f.write(" ".join(head + [fmt % v for v in row]) + "\n")


def response(x):
    # Smooth, with every input active and two interactions.
    s = math.sin(3.0 * x[0]) * math.cos(2.0 * x[1]) + x[2] * x[3]
    for k in range(D):
        s += (k + 1) * 0.1 * (x[k] - 0.5) ** 2
    return s


def make_inputs(folder, n):
    rng = random.Random(n)
    # Ten decimals keep a row of 8 inputs within the 129 characters of a line.
    xs = [[round(rng.random(), 10) for _ in range(D)] for _ in range(n)]
    xnames = ["x%d" % (k + 1) for k in range(D)]
    write_matrix(os.path.join(folder, "design.mat"), "Random design", ["Case"] + xnames,
                 xs, [str(i + 1) for i in range(n)], "%.10f")
    write_matrix(os.path.join(folder, "responses.mat"), "Responses", ["Case", "y"],
                 [[response(x)] for x in xs], [str(i + 1) for i in range(n)])
    write_matrix(os.path.join(folder, "ranges.mat"), "Input ranges", ["Variable", "Min", "Max"],
                 [[0.0, 1.0]] * D, xnames)
    write_matrix(os.path.join(folder, "corpar.mat"), "Fixed correlation parameters",
                 ["Variable", "Theta.y", "Alpha.y"], [[1.0, 0.5]] * D, xnames)
    write_matrix(os.path.join(folder, "regression.mat"), "Constant mean",
                 ["Variable", "Term", "Coefficients"], [[1, 0.5]], ["y"])
    write_matrix(os.path.join(folder, "ydescrip.mat"), "Variances",
                 ["Variable", "StochasticProcessVariance", "ErrorVariance"], [[1.0, 1e-6]], ["y"])
    prng = random.Random(1000003 + n)
    write_matrix(os.path.join(folder, "xpred.mat"), "Points to predict", ["Case"] + xnames,
                 [[prng.random() for _ in range(D)] for _ in range(PREDICT_POINTS)],
                 [str(i + 1) for i in range(PREDICT_POINTS)], "%.10f")


DATA = ["X < design.mat", "y < responses.mat", "XDescription < ranges.mat"]
MODEL = ["StochasticProcessModel < corpar.mat", "RegressionModel < regression.mat",
         "YDescription < ydescrip.mat"]


def command_lines(name, closed_cv):
    # NAME@T: the command with CriterionOptimTries = T instead of twice the runs.
    if "@" in name:
        base, tries = name.split("@")
        lines = command_lines(base, closed_cv)
        return lines[:-1] + ["CriterionOptimTries = %d" % int(tries)] + lines[-1:]
    if name == "load":
        return DATA + MODEL
    if name == "Fit":
        return DATA + ["MleOptimMethod = gradient", "Fit"]
    if name == "CrossValidate":
        return DATA + MODEL + (["CrossValidateMethod = closed"] if closed_cv else []) + \
            ["CrossValidate > cv.mat"]
    if name == "Predict":
        return DATA + MODEL + ["Predict < xpred.mat > ypred.mat"]
    if name == "MainEffects":
        return DATA + MODEL + ["MainEffects > main.mat"]
    if name == "JointEffects":
        return DATA + MODEL + ["JointEffects > joint.mat"]
    if name == "MinimizeStage1":
        return DATA + MODEL + ["MinimizeStage 1 > stage1.mat"]
    if name == "MinimizeStage10":
        return DATA + MODEL + ["MinimizeStage 10 > stage10.mat"]
    raise SystemExit("unknown command " + name)


COMMANDS = ["load", "Fit", "CrossValidate", "Predict", "MainEffects", "JointEffects",
            "MinimizeStage1", "MinimizeStage10"]


def knows_closed_cv(morla):
    out = subprocess.run([morla], input="Info\nQuit\n", capture_output=True, text=True).stdout
    return "CrossValidateMethod" in out


GNU_TIME = "/usr/bin/time"


def run(morla, folder, name, lines, timeout):
    """Wall and CPU seconds and peak resident MB of one MORLA process, and its
    status: the exit status, "refused" or "timeout". GNU time measures the
    process itself; without it, wait4() does, and its peak then includes the
    memory of this Python process at the fork (about 17 MB)."""
    cmd = os.path.join(folder, name + ".cmd")
    with open(cmd, "w") as f:
        f.write("\n".join(lines + ["Quit"]) + "\n")
    report = os.path.join(folder, name + ".out")
    timefile = os.path.join(folder, name + ".time")
    argv = [morla, cmd]
    if os.access(GNU_TIME, os.X_OK):
        argv = [GNU_TIME, "-f", "%e %U %S %M %x", "-o", timefile] + argv
    start = time.monotonic()
    with open(report, "w") as out, open(os.path.join(folder, name + ".err"), "w") as err:
        proc = subprocess.Popen(argv, cwd=folder, stdout=out, stderr=err, start_new_session=True)
        while True:
            pid, status, usage = os.wait4(proc.pid, os.WNOHANG)
            if pid:
                break
            if timeout and time.monotonic() - start > timeout:
                os.killpg(proc.pid, signal.SIGTERM)
                pid, status, usage = os.wait4(proc.pid, 0)
                status = "timeout"
                break
            time.sleep(0.05)
    proc.returncode = 0
    wall = time.monotonic() - start
    cpu = usage.ru_utime + usage.ru_stime
    peak = usage.ru_maxrss / 1024.0
    if status != "timeout":
        status = os.waitstatus_to_exitcode(status)
        if argv[0] == GNU_TIME:
            with open(timefile) as f:
                fields = f.read().split()[-5:]
            wall, cpu = float(fields[0]), float(fields[1]) + float(fields[2])
            peak, status = float(fields[3]) / 1024.0, int(fields[4])
        with open(report) as f:
            if status == 0 and any("Sorry," in line for line in f):
                status = "refused"
    return wall, cpu, peak, status


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("morla")
    ap.add_argument("--sizes", default="100,300,1000,2000,5000")
    ap.add_argument("--commands", default=",".join(COMMANDS))
    ap.add_argument("--timeout", type=float, default=0.0, help="seconds per process, 0 none")
    ap.add_argument("--keep", help="folder to keep the inputs and reports in")
    args = ap.parse_args()
    morla = os.path.abspath(args.morla)
    sizes = [int(s) for s in args.sizes.split(",")]
    names = args.commands.split(",")
    closed_cv = knows_closed_cv(morla)
    base = args.keep or tempfile.mkdtemp(prefix="morla-scale-")
    print("# %s, closed-form cross-validation: %s, load %.2f" %
          (time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime()), "yes" if closed_cv else "no",
           os.getloadavg()[0]))
    print("command\tn\twall_s\tcpu_s\tpeak_MB\tstatus", flush=True)
    cpu = {}
    failed = 0
    for n in sizes:
        folder = os.path.join(base, "n%d" % n)
        os.makedirs(folder, exist_ok=True)
        make_inputs(folder, n)
        for name in names:
            wall, cpu_s, peak, status = run(morla, folder, name, command_lines(name, closed_cv),
                                            args.timeout)
            print("%s\t%d\t%.2f\t%.2f\t%.0f\t%s" % (name, n, wall, cpu_s, peak, status), flush=True)
            if status == 0:
                cpu[(name, n)] = cpu_s
            elif status != "timeout":
                failed += 1
    print("# growth exponent: slope of log CPU time against log n, sizes from 300 on")
    for name in names:
        pts = [(math.log(n), math.log(cpu[(name, n)])) for n in sizes
               if n >= 300 and (name, n) in cpu and cpu[(name, n)] > 0]
        if len(pts) < 2:
            continue
        mx = sum(p[0] for p in pts) / len(pts)
        my = sum(p[1] for p in pts) / len(pts)
        sxx = sum((p[0] - mx) ** 2 for p in pts)
        sxy = sum((p[0] - mx) * (p[1] - my) for p in pts)
        print("%s\t%.2f" % (name, sxy / sxx))
    if not args.keep:
        shutil.rmtree(base)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
