#!/usr/bin/python3
"""Start-up of the program against the floor of any Qt Widgets program: the time from process
start to the main window's first paint, and the peak memory, side by side in one run.

usage: startup.py PATH-TO-startup_probe PATH-TO-bare_window PATH-TO-bare_label [RUNS]
All three are built the same way (bench preset) and run offscreen. bare_label is the bare window
with one label in it: any window that shows text pays for starting the font database, which the
empty window never does. RUNS runs each, taken in turn so that the machine's moods fall on all
alike; the time is the fastest run (a shared machine only ever adds to it), the memory the median.
"""
import os
import statistics
import sys

from probe import start_once

probe, bare, label = sys.argv[1], sys.argv[2], sys.argv[3]
runs = int(sys.argv[4]) if len(sys.argv) > 4 else 30
env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=os.environ.get("XDG_RUNTIME_DIR", "/tmp"))


results = {probe: [], bare: [], label: []}
for _ in range(runs):
    for exe in (bare, label, probe):
        shown, _, rss = start_once(exe, env)
        results[exe].append((shown, rss))


def figures(exe):
    times, rss = zip(*results[exe])
    return min(times), statistics.median(rss)


t_probe, m_probe = figures(probe)
t_bare, m_bare = figures(bare)
t_label, m_label = figures(label)
print(f"{'start-up, ' + str(runs) + ' runs each':<40}{'to first paint':>16}{'peak memory':>14}")
print(f"{'bare Qt Widgets window (the floor)':<40}{t_bare * 1000:>13.1f} ms{m_bare / 1024:>11.1f} MB")
print(f"{'bare window with one label':<40}{t_label * 1000:>13.1f} ms{m_label / 1024:>11.1f} MB")
print(f"{'Barcode Analyser':<40}{t_probe * 1000:>13.1f} ms{m_probe / 1024:>11.1f} MB")
print(f"against the empty window:    time {t_probe / t_bare:.2f} (goal: at most 1.15), memory {m_probe / m_bare:.2f} (goal: at most 1.10)")
print(f"against the window with text: time {t_probe / t_label:.2f}, memory {m_probe / m_label:.2f}")
