// A program run as a child of the test with what QProcess cannot give: its standard input from a
// file of any size, a limit on the size of the files it writes (RLIMIT_FSIZE: a disk that fills
// up, for an ordinary user), and its peak memory afterwards. POSIX only.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

// AddressSanitizer's shadow memory and quarantine multiply what a program holds: a bound on
// peak memory is scaled by this in a sanitizer build.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr long SanitizerMemoryFactor = 6;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr long SanitizerMemoryFactor = 6;
#else
inline constexpr long SanitizerMemoryFactor = 1;
#endif
#else
inline constexpr long SanitizerMemoryFactor = 1;
#endif

struct ChildRun
{
    int exitCode = -1;      // -1 when it did not end normally
    int signal = 0;         // the signal that ended it, if one did
    long peakRssKiB = 0;    // its largest resident size
    QByteArray out;
    QByteArray err;
};

struct ChildSetup
{
    QString stdinFile;              // empty: /dev/null
    QString stdoutFile;             // empty: captured into `out`
    bool appendStdout = false;      // stdoutFile opened as `>>` opens it
    long long fileSizeLimit = -1;   // bytes; -1 none
    QString workingDirectory;
};

inline ChildRun runChild(const QString &program, const QStringList &args, const ChildSetup &setup = {})
{
    ChildRun result;
    char outTemplate[] = "/tmp/childoutXXXXXX";
    char errTemplate[] = "/tmp/childerrXXXXXX";
    const int outFd = setup.stdoutFile.isEmpty() ? mkstemp(outTemplate) : -1;
    const int errFd = mkstemp(errTemplate);
    std::vector<std::string> argStrings{program.toStdString()};
    for (const QString &a : args)
        argStrings.push_back(a.toStdString());
    std::vector<char *> argv;
    for (std::string &a : argStrings)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string in = setup.stdinFile.isEmpty() ? std::string("/dev/null") : setup.stdinFile.toStdString();
    const std::string outName = setup.stdoutFile.toStdString();
    const std::string dir = setup.workingDirectory.toStdString();

    const pid_t pid = fork();
    if (pid == 0) {
        const int inFd = open(in.c_str(), O_RDONLY);
        const int o = outFd >= 0 ? outFd : open(outName.c_str(), O_WRONLY | O_CREAT | (setup.appendStdout ? O_APPEND : O_TRUNC), 0644);
        if (inFd < 0 || o < 0 || dup2(inFd, 0) < 0 || dup2(o, 1) < 0 || dup2(errFd, 2) < 0)
            _exit(126);
        if (!dir.empty() && chdir(dir.c_str()) != 0)
            _exit(126);
        if (setup.fileSizeLimit >= 0) {
            const rlimit limit{static_cast<rlim_t>(setup.fileSizeLimit), static_cast<rlim_t>(setup.fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        signal(SIGXFSZ, SIG_DFL);   // as a shell leaves it: the program must cope by itself
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid > 0 && wait4(pid, &status, 0, &usage) == pid) {
        if (WIFEXITED(status))
            result.exitCode = WEXITSTATUS(status);
        else if (WIFSIGNALED(status))
            result.signal = WTERMSIG(status);
        result.peakRssKiB = usage.ru_maxrss;
    }
    auto slurp = [](int fd, const char *name) {
        QFile f(QString::fromLocal8Bit(name));
        QByteArray bytes;
        if (f.open(QIODevice::ReadOnly))
            bytes = f.readAll();
        close(fd);
        unlink(name);
        return bytes;
    };
    if (outFd >= 0)
        result.out = slurp(outFd, outTemplate);
    result.err = slurp(errFd, errTemplate);
    return result;
}
