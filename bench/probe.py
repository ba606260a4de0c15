"""One start of a start-up probe (bench/startup_probe.cpp and its bare builds), as startup.py and
startup_vs_baseline.py time it: the probe says "shown" on standard output at its window's first
paint and ends."""
import os
import subprocess
import sys
import time


def start_once(exe, env):
    """Seconds to the first paint, seconds of processor of the whole run, peak memory in kilobytes."""
    start = time.perf_counter()
    p = subprocess.Popen([exe], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env)
    line = p.stdout.readline()
    shown = time.perf_counter() - start
    _, status, usage = os.wait4(p.pid, 0)
    if line.strip() != b"shown" or status != 0:
        sys.exit(f"{exe} did not show its window")
    return shown, usage.ru_utime + usage.ru_stime, usage.ru_maxrss   # kilobytes on Linux
