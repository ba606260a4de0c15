#include "fileaccess.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

using namespace Qt::Literals::StringLiterals;

namespace fileaccess {

namespace {

// Follows a link one step at a time, as the system does, up to the system's own limit (40 on Linux).
bool leadsRoundInACircle(const QFileInfo &link)
{
    constexpr int MaxLinks = 40;
    QSet<QString> seen;
    QFileInfo at = link;
    for (int i = 0; i < MaxLinks && at.isSymLink(); ++i) {
        const QString next = at.symLinkTarget();
        if (seen.contains(next))
            return true;
        seen.insert(next);
        at = QFileInfo(next);
    }
    return at.isSymLink();
}

} // namespace

Outcome inspect(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists()) {   // follows links: a link to nothing does not exist either
        if (!info.isSymLink())
            return {Problem::Missing, {}};
        return {leadsRoundInACircle(info) ? Problem::LinkLoop : Problem::DanglingLink, {}};
    }
    if (info.isDir())
        return {Problem::Directory, {}};
    if (!info.isFile())   // a pipe, a device or a socket
        return {Problem::NotRegular, {}};
    if (!info.isReadable())
        return {Problem::NoPermission, {}};
    return {};
}

QString reason(const Outcome &outcome)
{
    switch (outcome.problem) {
    case Problem::None: return QString();
    case Problem::Missing: return u"такого файла нет"_s;
    case Problem::DanglingLink: return u"это ссылка на файл, которого нет"_s;
    case Problem::LinkLoop: return u"ссылки ведут по кругу (слишком много уровней ссылок)"_s;
    case Problem::Directory: return u"это папка, а не файл"_s;
    case Problem::NotRegular: return u"это не обычный файл, а канал, устройство или сокет"_s;
    case Problem::NoPermission: return u"нет прав на чтение"_s;
    case Problem::NotAnswering: return u"файл не отвечает"_s;
    case Problem::ReadError: return u"система не смогла прочитать файл до конца"_s;
    case Problem::Other: break;
    }
    return outcome.systemText;
}

Contents readAll(QIODevice &device, qint64 limit, const std::function<void()> &step)
{
    Contents contents;
    contents.opened = true;
    QByteArray chunk(64 * 1024, Qt::Uninitialized);
    while (contents.bytes.size() < limit) {
        const qint64 n = device.read(chunk.data(), qMin<qint64>(chunk.size(), limit - contents.bytes.size()));
        if (n < 0) {
            contents.outcome = {Problem::ReadError, device.errorString()};
            return contents;
        }
        if (n == 0)
            break;
        contents.bytes.append(chunk.constData(), static_cast<qsizetype>(n));
        if (step)
            step();
    }
    contents.more = contents.bytes.size() >= limit && !device.atEnd();
    return contents;
}

namespace {

// What the reading thread and the waiting caller share; whichever of them lets go last frees it.
struct Shared
{
    std::mutex mutex;
    std::condition_variable changed;
    quint64 steps = 0;
    bool done = false;
    Contents result;
};

void readOnItsOwnThread(const std::shared_ptr<Shared> &shared, const QString &path, qint64 limit)
{
    const auto step = [&shared] {
        const std::lock_guard<std::mutex> lock(shared->mutex);
        ++shared->steps;
        shared->changed.notify_all();
    };
    Contents contents;
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            contents.outcome = inspect(path);   // the common reasons in our own words
            if (contents.outcome.ok())
                contents.outcome = {Problem::Other, file.errorString()};
        } else if (file.isSequential()) {   // not what was inspected: replaced by a pipe or a device
            contents.outcome = {Problem::NotRegular, {}};
        } else {
            step();
            contents = readAll(file, limit, step);
        }
    }
    const std::lock_guard<std::mutex> lock(shared->mutex);
    shared->result = std::move(contents);
    shared->done = true;
    shared->changed.notify_all();
}

} // namespace

Contents readRegularFile(const QString &path, qint64 limit, std::chrono::milliseconds patience)
{
    auto shared = std::make_shared<Shared>();
    std::thread(readOnItsOwnThread, shared, path, limit).detach();
    std::unique_lock<std::mutex> lock(shared->mutex);
    quint64 seen = 0;
    while (!shared->done) {
        if (!shared->changed.wait_for(lock, patience, [&] { return shared->done || shared->steps != seen; })) {
            Contents late;
            late.opened = seen > 0;
            late.outcome = {Problem::NotAnswering, {}};
            return late;
        }
        seen = shared->steps;
    }
    return std::move(shared->result);
}

} // namespace fileaccess
