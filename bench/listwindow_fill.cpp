// The list window filling from a list file, offscreen, as a person would open it: the time until
// every row is in the table, how late the window's event loop answered meanwhile (a timer due
// every 5 ms, its lateness measured), and the memory a row takes (the table's own count, and the
// process's resident memory before and after), and the processor time of the window's own thread
// (on a busy machine the lateness is mostly the wait for a processor; this says what the window
// itself spent).
// usage: listwindow_fill FILE [RUNS]   prints one line of key=value figures for each run
#include "listwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

#include <sys/resource.h>

namespace {

// The processor time of the calling thread (the window's), in seconds.
double threadSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long long residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * 4096;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fputs("usage: listwindow_fill FILE [RUNS]\n", stderr);
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const int runs = argc > 2 ? std::atoi(argv[2]) : 1;
    for (int run = 0; run < runs; ++run) {
        const long long before = residentBytes();
        std::vector<qint64> lateness;
        QElapsedTimer clock;
        qint64 due = 0;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        tick.setInterval(5);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            lateness.push_back(std::max<qint64>(0, now - due));
            due = now + 5'000'000;
        });

        const double cpuBefore = threadSeconds();
        clock.start();
        auto *window = new ListWindow(path, {});
        window->show();
        due = clock.nsecsElapsed() + 5'000'000;
        tick.start();
        // The program's own event loop, as a person's keys would meet it, until the last row is in.
        QEventLoop loop;
        QTimer done;
        QObject::connect(&done, &QTimer::timeout, &loop, [&] {
            if (!window->loading())
                loop.quit();
        });
        done.start(1);
        loop.exec();
        const double seconds = clock.nsecsElapsed() / 1e9;
        tick.stop();
        const double windowCpu = threadSeconds() - cpuBefore;
        const long long rows = window->model()->total();
        const long long resident = residentBytes() - before;
        std::sort(lateness.begin(), lateness.end());
        const auto at = [&](double q) {
            return lateness.empty() ? 0.0 : lateness[static_cast<std::size_t>(q * (lateness.size() - 1))] / 1e6;
        };
        std::printf("run=%d rows=%lld seconds=%.3f latency_median_ms=%.1f latency_p99_ms=%.1f latency_max_ms=%.1f "
                    "model_bytes_per_row=%.1f resident_bytes_per_row=%.1f window_thread_cpu_seconds=%.3f\n",
                    run + 1, rows, seconds, at(0.5), at(0.99), at(1.0),
                    rows ? static_cast<double>(window->model()->memoryUsed()) / rows : 0.0,
                    rows ? static_cast<double>(resident) / rows : 0.0, windowCpu);
        std::fflush(stdout);
        delete window;
    }
    return 0;
}
