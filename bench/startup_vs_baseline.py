#!/usr/bin/python3
"""Start-up of the window program against the same program at an older commit (bench/baseline.sh
builds its start-up probe from git), on a real X server: the time from process start to the main
window's first paint, the processor time of the whole run and the peak memory.

usage: startup_vs_baseline.py PATH-TO-startup_probe PATH-TO-old-startup_probe [RUNS]
Run it under an X server (bench/run.sh uses xvfb-run). Both probes are taken in turn, RUNS times
each, so that the machine's moods fall on both alike. Time and memory are medians; the fastest
time is shown too, since a shared machine only ever adds to it.
"""
import os
import statistics
import sys

from probe import start_once

probe, old = sys.argv[1], sys.argv[2]
runs = int(sys.argv[3]) if len(sys.argv) > 3 else 21
env = dict(os.environ)
env.pop("QT_QPA_PLATFORM", None)   # the X server in DISPLAY
if not env.get("DISPLAY"):
    sys.exit("no DISPLAY: run under an X server, e.g. xvfb-run -a")


results = {probe: [], old: []}
for i in range(runs):
    for exe in ((probe, old) if i % 2 else (old, probe)):
        results[exe].append(start_once(exe, env))


def figures(exe):
    times, cpu, rss = zip(*results[exe])
    return statistics.median(times), min(times), statistics.median(cpu), statistics.median(rss) / 1024


new_t, new_min, new_cpu, new_m = figures(probe)
old_t, old_min, old_cpu, old_m = figures(old)
print(f"{'start-up on X, ' + str(runs) + ' runs each':<32}{'to first paint':>16}{'(fastest)':>12}{'processor':>12}{'peak memory':>14}")
for name, t, fastest, cpu, m in (("older commit", old_t, old_min, old_cpu, old_m), ("this tree", new_t, new_min, new_cpu, new_m)):
    print(f"{name:<32}{t * 1000:>13.1f} ms{fastest * 1000:>9.1f} ms{cpu * 1000:>9.1f} ms{m:>10.1f} MiB")
print(f"this tree against the older commit: time {new_t / old_t:.2f} (fastest {new_min / old_min:.2f}), "
      f"processor {new_cpu / old_cpu:.2f}, memory {new_m / old_m:.2f} (goal: at most 1.05 in time and memory)")
