// Files that are whole or absent, where they were asked for, and never in place of something else.
//
// A file a person names is treated as cp treats its destination: a regular file (or a link to one)
// is replaced through a temporary file in its own folder, so that it keeps its old bytes when
// anything fails; a device, a pipe or a socket is written into, never replaced; /dev/stdout and
// its kin are the program's own descriptors, written as they stand (appending where the shell
// opened them so). In a folder of many files, a name that is a symbolic link, a device, a pipe or a
// socket is refused and left as it is.
#pragma once

#include <QByteArray>
#include <QString>

#include <string>
#include <vector>

namespace ean13 {

enum class WriteProblem {
    None,
    System,         // the system refused: `code` is its error number
    DanglingLink,   // the named file is a symbolic link to nothing: not written through
    Directory,      // the named file is a directory
    LinkInFolder,   // a name in a folder that is a symbolic link: never written through
    NotRegularInFolder,   // a name in a folder that is a device, a pipe or a socket
};

struct WriteError
{
    WriteProblem problem = WriteProblem::None;
    int code = 0;          // the system's error number, for WriteProblem::System
    QString systemText;    // the system's own words, where it gave any
    [[nodiscard]] bool ok() const { return problem == WriteProblem::None; }
};

// The reason in English, to follow "cannot write FILE: ".
[[nodiscard]] std::string describe(const WriteError &error);

// Writes `bytes` as the file `path`, as described above. The file is on disk before this returns.
[[nodiscard]] WriteError saveWhole(const QString &path, const QByteArray &bytes);

// Writes all of `bytes` to an open descriptor (standard output: 1).
[[nodiscard]] WriteError writeToDescriptor(int fd, const QByteArray &bytes);

// Many files into one folder. Each is written under a temporary name (stage), and a group of them
// is made durable together and given their names (commit); the folder's own entries are made
// durable once, at the end (finish). After a crash each file is whole or absent, at the cost of
// one wait for the disk a group instead of one a file.
class FolderWriter
{
public:
    explicit FolderWriter(const QString &folder);
    ~FolderWriter();
    FolderWriter(const FolderWriter &) = delete;
    FolderWriter &operator=(const FolderWriter &) = delete;

    [[nodiscard]] WriteError open();

    struct Staged
    {
        QString name;
        WriteError error;
        std::string temporary;
        int fd = -1;
        bool replaces = false;   // a regular file of that name was there
    };
    // Safe to call from several threads at once.
    [[nodiscard]] Staged stage(const QString &name, const QByteArray &bytes);
    // Gives the staged files their names, in order; their errors come back in `staged`. Every
    // staged file must come here, failed ones too: their temporaries are removed here.
    void commit(std::vector<Staged> &staged);
    [[nodiscard]] WriteError finish();
    [[nodiscard]] long long written() const { return m_written; }

private:
    QString m_folder;
    int m_dirFd = -1;
    long long m_written = 0;
};

} // namespace ean13
