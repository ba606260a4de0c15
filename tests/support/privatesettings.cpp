// Linked into every test program: before main runs, the process gets configuration, data, cache
// and state folders of its own (XDG_CONFIG_HOME and the others), removed again when it ends, and
// its child processes inherit them. The toolkit writes into the user's own folders by itself:
// QFileDialog keeps the folder last visited in QtProject.conf of the configuration folder, and a
// test saving into a temporary folder would leave that folder's name there after it is deleted.
// QStandardPaths' test mode is no help: it writes into ~/.qttest, still the user's home.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

using namespace Qt::Literals::StringLiterals;

namespace {

struct PrivateFolders {
    QTemporaryDir root{QDir::tempPath() + u"/barcode-analyser-test-XXXXXX"_s};

    PrivateFolders()
    {
        if (!root.isValid()) {
            // Going on would write into the user's own settings.
            std::fprintf(stderr, "cannot make private settings folders in %s\n", qPrintable(QDir::tempPath()));
            std::exit(2);
        }
        for (const char *variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"}) {
            const QString folder = root.filePath(QString::fromLatin1(variable).toLower());
            QDir().mkpath(folder);
            qputenv(variable, QFile::encodeName(folder));
        }
    }
};

const PrivateFolders privateFolders;

} // namespace
