#include "wholefile.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <io.h>
#else
#include <QFile>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace ean13 {

#ifndef Q_OS_WIN

namespace {

WriteError systemError(int code)
{
    return {WriteProblem::System, code, QString::fromLocal8Bit(std::strerror(code))};
}

// A size limit (ulimit -f) would end the process in the middle of a file with SIGXFSZ; ignored,
// the write fails with EFBIG and is reported like a full disk.
void ignoreFileSizeSignal()
{
    static const bool once = [] {
        struct sigaction now {};
        if (sigaction(SIGXFSZ, nullptr, &now) == 0 && now.sa_handler == SIG_DFL)
            std::signal(SIGXFSZ, SIG_IGN);
        return true;
    }();
    (void)once;
}

int writeAll(int fd, const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<std::size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return EIO;
        p += n;
        left -= n;
    }
    return 0;
}

// The descriptor that a name such as /dev/stdout or /proc/self/fd/1 stands for, or -1. Opening
// such a name anew would start a file that the shell opened for appending from its beginning.
int descriptorNamed(const std::string &path)
{
    if (path == "/dev/stdout")
        return 1;
    if (path == "/dev/stderr")
        return 2;
    for (const char *prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        const std::size_t n = std::strlen(prefix);
        if (path.compare(0, n, prefix) == 0 && path.size() > n && path.size() < n + 9
            && path.find_first_not_of("0123456789", n) == std::string::npos)
            return std::atoi(path.c_str() + n);
    }
    // The same file as standard output by another name (/proc/PID/fd/1, say).
    struct stat named {}, out {};
    if (::stat(path.c_str(), &named) == 0 && ::fstat(1, &out) == 0 && named.st_dev == out.st_dev
        && named.st_ino == out.st_ino && !S_ISREG(named.st_mode))
        return 1;
    return -1;
}

std::string randomSuffix()
{
    static thread_local std::mt19937 random{std::random_device{}()};
    static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string s(8, 'x');
    for (char &c : s)
        c = Letters[random() % (sizeof Letters - 1)];
    return s;
}

// A new file of our own beside `name` in the folder: created, never opened through a link.
int createTemporary(int dirFd, const std::string &name, std::string &temporary, int &error)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = "." + name.substr(0, 200) + "." + randomSuffix() + ".part";
        const int fd = ::openat(dirFd, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0)
            return fd;
        if (errno != EEXIST) {
            error = errno;
            return -1;
        }
    }
    error = EEXIST;
    return -1;
}

// Keeps the permissions (and, for root, the owner) of the file that is replaced.
void takeOver(int fd, const struct stat &old)
{
    (void)::fchmod(fd, old.st_mode & 07777);
    if (::geteuid() == 0)
        (void)::fchown(fd, old.st_uid, old.st_gid);
}

// A rename that fails when the name has come into being meanwhile (a link planted since it was
// looked at): Linux's renameat2, else link and unlink.
int renameNoReplace(int dirFd, const char *from, const char *to)
{
#if defined(__linux__) && defined(SYS_renameat2)
    constexpr unsigned RenameNoReplace = 1;
    if (::syscall(SYS_renameat2, dirFd, from, dirFd, to, RenameNoReplace) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
#endif
    if (::linkat(dirFd, from, dirFd, to, 0) != 0)
        return errno;
    ::unlinkat(dirFd, from, 0);
    return 0;
}

// A folder's fsync fails with EINVAL on some file systems that keep no such entries to flush.
int syncFolder(int dirFd)
{
    if (::fsync(dirFd) == 0 || errno == EINVAL || errno == ENOTSUP)
        return 0;
    return errno;
}

WriteError writeIntoNode(const std::string &path, const QByteArray &bytes)
{
    // As cp does: opened for writing, never replaced; a pipe waits for its reader.
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return systemError(errno);
    int error = writeAll(fd, bytes);
    if (::close(fd) != 0 && !error && errno != EINTR)
        error = errno;
    return error ? systemError(error) : WriteError{};
}

WriteError replaceRegular(const std::string &path, const QByteArray &bytes, const struct stat *old)
{
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return systemError(errno);
    std::string temporary;
    int error = 0;
    const int fd = createTemporary(dirFd, name, temporary, error);
    if (fd >= 0) {
        if (old)
            takeOver(fd, *old);
        error = writeAll(fd, bytes);
        if (!error && ::fsync(fd) != 0)
            error = errno;
        if (::close(fd) != 0 && !error && errno != EINTR)
            error = errno;
        if (!error && ::renameat(dirFd, temporary.c_str(), dirFd, name.c_str()) != 0)
            error = errno;
        if (error)
            ::unlinkat(dirFd, temporary.c_str(), 0);
        else
            error = syncFolder(dirFd);
    }
    ::close(dirFd);
    return error ? systemError(error) : WriteError{};
}

} // namespace

WriteError writeToDescriptor(int fd, const QByteArray &bytes)
{
    ignoreFileSizeSignal();
    const int error = writeAll(fd, bytes);
    return error ? systemError(error) : WriteError{};
}

WriteError saveWhole(const QString &path, const QByteArray &bytes)
{
    ignoreFileSizeSignal();
    std::string target = QFile::encodeName(path).toStdString();
    if (const int fd = descriptorNamed(target); fd >= 0)
        return writeToDescriptor(fd, bytes);
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0) {
        if (errno != ENOENT)
            return systemError(errno);
        return replaceRegular(target, bytes, nullptr);
    }
    if (S_ISLNK(st.st_mode)) {
        // A link the user named is followed, as cp follows it; one to nothing is not written through.
        if (::stat(target.c_str(), &st) != 0)
            return errno == ENOENT ? WriteError{WriteProblem::DanglingLink, 0, {}} : systemError(errno);
        char *real = ::realpath(target.c_str(), nullptr);
        if (!real)
            return systemError(errno);
        target = real;
        std::free(real);
    }
    if (S_ISDIR(st.st_mode))
        return {WriteProblem::Directory, EISDIR, {}};
    if (!S_ISREG(st.st_mode))
        return writeIntoNode(target, bytes);
    return replaceRegular(target, bytes, &st);
}

FolderWriter::FolderWriter(const QString &folder) : m_folder(folder) {}

FolderWriter::~FolderWriter()
{
    if (m_dirFd >= 0)
        ::close(m_dirFd);
}

WriteError FolderWriter::open()
{
    ignoreFileSizeSignal();
    m_dirFd = ::open(QFile::encodeName(m_folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return m_dirFd < 0 ? systemError(errno) : WriteError{};
}

FolderWriter::Staged FolderWriter::stage(const QString &name, const QByteArray &bytes)
{
    Staged s;
    s.name = name;
    const std::string base = QFile::encodeName(name).toStdString();
    struct stat st {};
    if (::fstatat(m_dirFd, base.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(st.st_mode))
            s.error = {WriteProblem::LinkInFolder, 0, {}};
        else if (S_ISDIR(st.st_mode))
            s.error = {WriteProblem::Directory, EISDIR, {}};
        else if (!S_ISREG(st.st_mode))
            s.error = {WriteProblem::NotRegularInFolder, 0, {}};
        if (!s.error.ok())
            return s;
        s.replaces = true;
    } else if (errno != ENOENT) {
        s.error = systemError(errno);
        return s;
    }
    int error = 0;
    s.fd = createTemporary(m_dirFd, base, s.temporary, error);
    if (s.fd < 0) {
        s.temporary.clear();
        s.error = systemError(error);
        return s;
    }
    if (s.replaces)
        takeOver(s.fd, st);
    if ((error = writeAll(s.fd, bytes)) != 0)
        s.error = systemError(error);
    return s;
}

void FolderWriter::commit(std::vector<Staged> &staged)
{
    // One wait for the disk for all of them: the first fdatasync commits the journal that holds
    // every one's entry, and the others find little left to do.
    for (Staged &s : staged) {
        if (s.fd < 0)
            continue;
        if (s.error.ok() && ::fdatasync(s.fd) != 0)
            s.error = systemError(errno);
        if (::close(s.fd) != 0 && s.error.ok() && errno != EINTR)
            s.error = systemError(errno);
        s.fd = -1;
    }
    for (Staged &s : staged) {
        if (s.temporary.empty())
            continue;
        const std::string base = QFile::encodeName(s.name).toStdString();
        if (s.error.ok()) {
            struct stat st {};
            // Looked at again: something may have taken the name since it was staged.
            const bool there = ::fstatat(m_dirFd, base.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
            if (there && S_ISLNK(st.st_mode))
                s.error = {WriteProblem::LinkInFolder, 0, {}};
            else if (there && !S_ISREG(st.st_mode))
                s.error = {WriteProblem::NotRegularInFolder, 0, {}};
            else if (there ? ::renameat(m_dirFd, s.temporary.c_str(), m_dirFd, base.c_str()) != 0
                           : (errno = renameNoReplace(m_dirFd, s.temporary.c_str(), base.c_str())) != 0)
                s.error = errno == EEXIST ? WriteError{WriteProblem::LinkInFolder, 0, {}} : systemError(errno);
        }
        if (s.error.ok())
            ++m_written;
        else
            ::unlinkat(m_dirFd, s.temporary.c_str(), 0);
        s.temporary.clear();
    }
}

WriteError FolderWriter::finish()
{
    if (m_dirFd < 0 || m_written == 0)
        return {};
    const int error = syncFolder(m_dirFd);
    return error ? systemError(error) : WriteError{};
}

#else // Q_OS_WIN: no devices, pipes or links a user names as files; the toolkit's whole-file writer.

namespace {

WriteError qtError(const QSaveFile &file)
{
    return {WriteProblem::System, 0, file.errorString()};
}

} // namespace

WriteError writeToDescriptor(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const int n = ::_write(fd, bytes.constData() + done, static_cast<unsigned>(qMin<qsizetype>(bytes.size() - done, 1 << 20)));
        if (n <= 0)
            return {WriteProblem::System, errno, {}};
        done += n;
    }
    return {};
}

WriteError saveWhole(const QString &path, const QByteArray &bytes)
{
    if (QFileInfo(path).isDir())
        return {WriteProblem::Directory, 0, {}};
    QSaveFile file(path);
    // Unbuffered: a failed write is seen at once, and the commit then keeps the old file.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || file.write(bytes) != bytes.size() || !file.commit())
        return qtError(file);
    return {};
}

FolderWriter::FolderWriter(const QString &folder) : m_folder(folder) {}
FolderWriter::~FolderWriter() = default;

WriteError FolderWriter::open()
{
    return QFileInfo(m_folder).isDir() ? WriteError{} : WriteError{WriteProblem::System, 0, u"not a folder"_qs};
}

FolderWriter::Staged FolderWriter::stage(const QString &name, const QByteArray &bytes)
{
    Staged s;
    s.name = name;
    const QFileInfo info(QDir(m_folder).filePath(name));
    if (info.isSymLink() || info.isJunction())
        s.error = {WriteProblem::LinkInFolder, 0, {}};
    else
        s.error = saveWhole(info.filePath(), bytes);
    return s;
}

void FolderWriter::commit(std::vector<Staged> &staged)
{
    for (const Staged &s : staged)
        m_written += s.error.ok();
}

WriteError FolderWriter::finish()
{
    return {};
}

#endif

std::string describe(const WriteError &error)
{
    switch (error.problem) {
    case WriteProblem::None: return {};
    case WriteProblem::DanglingLink: return "a symbolic link to nothing; not written through";
    case WriteProblem::Directory: return "a directory";
    case WriteProblem::LinkInFolder: return "a symbolic link; not written through, left as it is";
    case WriteProblem::NotRegularInFolder: return "not a regular file (a device, a pipe or a socket); left as it is";
    case WriteProblem::System: break;
    }
    return error.systemText.toStdString();
}

} // namespace ean13
