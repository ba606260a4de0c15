// Reading a file that a person put in place, whatever it turns out to be: only a regular file is
// opened, the common reasons for failing are told in Russian, and no open or read can hold the
// program up for long.
#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>

class QIODevice;

namespace fileaccess {

enum class Problem {
    None,
    Missing,        // nothing by that name
    DanglingLink,   // a link to something that does not exist
    LinkLoop,       // links that lead round in a circle, or too many of them in a row
    Directory,
    NotRegular,     // a pipe, a device, a socket: opening or reading it may wait for ever, or never end
    NoPermission,
    NotAnswering,   // opening or reading did not come back in time
    ReadError,
    Other,          // the system's own words say what
};

struct Outcome
{
    Problem problem = Problem::None;
    QString systemText;   // the system's own words, where it gave any
    [[nodiscard]] bool ok() const { return problem == Problem::None; }
};

// What stands in the way of reading `path` as a regular file, found out without opening it.
// Links are followed.
[[nodiscard]] Outcome inspect(const QString &path);

// The reason in Russian, to follow the file's name in a message ("... файл Tavik.txt: <reason>").
// Only Problem::Other gives the system's own words.
[[nodiscard]] QString reason(const Outcome &outcome);

struct Contents
{
    bool opened = false;   // false: `outcome` says why it could not be opened
    QByteArray bytes;      // what was read
    bool more = false;     // the file goes on past the limit
    Outcome outcome;       // why reading stopped early; ok() when it did not
};

// Reads a device to its end or up to `limit` bytes, stopping at a read error. `step`, if given,
// is called after every piece read.
[[nodiscard]] Contents readAll(QIODevice &device, qint64 limit, const std::function<void()> &step = {});

// How long opening, or any one read, may take before the file counts as not answering.
inline constexpr std::chrono::milliseconds Patience{500};

// Opens `path` and reads it as readAll does, on a thread of its own, and waits at most `patience`
// for each step. So a file that was inspected and then replaced by a pipe without a writer, or a
// share that hangs, costs the caller half a second, not the rest of the run; the thread that
// waits for it ends by itself when the system answers at last. A file that turns out not to be
// regular once open (replaced since it was inspected) is not read.
[[nodiscard]] Contents readRegularFile(const QString &path, qint64 limit, std::chrono::milliseconds patience = Patience);

} // namespace fileaccess
