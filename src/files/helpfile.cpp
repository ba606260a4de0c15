#include "helpfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

using namespace Qt::Literals::StringLiterals;

#ifndef HELP_DIR_FROM_EXECUTABLE
#define HELP_DIR_FROM_EXECUTABLE "../share/barcode-analyser"
#endif

namespace helpfile {

QString name()
{
    return u"Tavik.txt"_s;
}

QString installedDir()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + u'/' + QLatin1StringView(HELP_DIR_FROM_EXECUTABLE));
}

QString path()
{
    const QFileInfo here(name());   // relative: the working directory, as it always was
    if (here.exists() || here.isSymLink())
        return name();
    const QFileInfo installed(installedDir() + u'/' + name());
    if (installed.exists())
        return installed.filePath();
    return {};
}

} // namespace helpfile
