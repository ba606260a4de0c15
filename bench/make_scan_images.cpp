// Writes the reader's test pictures to a directory, with a list of what each holds:
// make_scan_images DIR PER_KIND SEED  ->  DIR/*.png|jpg and DIR/expected.tsv (file, kind, codes).
#include "scanimages.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_scan_images DIR PER_KIND SEED\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(dir.path());
    QFile list(dir.filePath(QStringLiteral("expected.tsv")));
    if (!list.open(QIODevice::WriteOnly))
        return 2;
    for (const scanimages::Sample &s : scanimages::makeSamples(scanimages::kinds() + scanimages::photoKinds(), atoi(argv[2]),
                                                                             static_cast<unsigned>(atol(argv[3])))) {
        const QString name = s.name + u'.' + s.suffix;
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(s.file) != s.file.size())
            return 2;
        list.write((name + u'\t' + s.kind + u'\t' + s.codes.join(u' ') + u'\n').toUtf8());
    }
    return 0;
}
