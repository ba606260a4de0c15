#include "deferred.h"

#include "windows.h"

#include <QApplication>
#include <QDir>
#include <QLibrary>
#include <QThread>

using namespace Qt::Literals::StringLiterals;

namespace deferred {

namespace {

struct LoadedModule
{
    const Features *features = nullptr;
    QString error;
};

bool loadedYet = false;

LoadedModule load()
{
    loadedYet = true;
    QLibrary library(modulePath());
    // Every symbol now: a module with a missing library says so here, not in the middle of a call.
    library.setLoadHints(QLibrary::ResolveAllSymbolsHint);
    const auto entry = reinterpret_cast<Entry>(library.resolve(EntryPoint));
    if (!entry)
        return {nullptr, library.errorString()};
    const Features *features = entry();
    const Features expected;
    if (!features || features->size != expected.size || features->version != expected.version)
        return {nullptr, u"модуль от другой версии программы"_s};
    return {features, {}};   // stays loaded for the rest of the run
}

// The module, loaded on the first call; null when it cannot be, which the person is told once for
// each request that needs it (copy, save, a picture to read), and the request's own boxes left out.
const Features *features()
{
    static const LoadedModule loaded = load();
    // Pictures are read on a thread of their own, which must not open windows; the window's side
    // loads the module on its own thread first, and is told there.
    if (!loaded.features && QThread::currentThread() == QCoreApplication::instance()->thread())
        showFailure(QApplication::activeWindow(),
                    u"Не удалось загрузить модуль программы %1: %2. Переустановите программу."_s.arg(
                        QDir::toNativeSeparators(modulePath()), loaded.error));
    return loaded.features;
}

} // namespace

QString modulePath()
{
    // The whole name, so that no other file name is tried in its place.
#ifdef Q_OS_WIN
    const QString name = u"barcode-analyser-features.dll"_s;
#else
    const QString name = u"barcode-analyser-features.so"_s;
#endif
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + u'/' + QStringLiteral(FEATURES_DIR_FROM_EXECUTABLE)
                           + u'/' + name);
}

bool moduleLoaded()
{
    return loadedYet;
}

} // namespace deferred

// The functions the windows call, each going through the module.

reader::Codes reader::findCodes(const QImage &image, const GiveUp &giveUp)
{
    const deferred::Features *f = deferred::features();
    return f ? f->findCodes(image, giveUp) : Codes();
}

reader::FileCodes reader::readCodes(const QString &path, const GiveUp &giveUp)
{
    const deferred::Features *f = deferred::features();
    return f ? f->readCodes(path, giveUp) : FileCodes();
}

reader::LoadedImage reader::loadImageData(const QByteArray &bytes)
{
    const deferred::Features *f = deferred::features();
    return f ? f->loadImageData(bytes) : LoadedImage();
}

ean13::Rendered ean13::renderSymbol(const Code &code, SymbolFormat format, const RenderSettings &settings)
{
    const deferred::Features *f = deferred::features();
    return f ? f->renderSymbol(code, format, settings) : Rendered{RenderError::NotReadBack, {}, {}};
}

ean13::Rendered ean13::renderImage(const Code &code, const RenderSettings &settings)
{
    const deferred::Features *f = deferred::features();
    return f ? f->renderImage(code, settings) : Rendered{RenderError::NotReadBack, {}, {}};
}

void ean13::paintSymbol(QPainter &painter, const Symbol &symbol, double bwr)
{
    if (const deferred::Features *f = deferred::features())
        f->paintSymbol(painter, symbol, bwr);
}

ean13::WriteError ean13::saveWhole(const QString &path, const QByteArray &bytes)
{
    if (const deferred::Features *f = deferred::features())
        return f->saveWhole(path, bytes);
    return {WriteProblem::System, 0, deferred::modulePath()};
}

std::optional<ean13::SymbolFormat> ean13::symbolFormat(QStringView name)
{
    const deferred::Features *f = deferred::features();
    return f ? f->symbolFormat(name) : std::nullopt;
}

QString ean13::suffix(SymbolFormat format)
{
    const deferred::Features *f = deferred::features();
    return f ? f->suffix(format) : QString();
}

ean13::PrintResult ean13::printSymbol(QWidget *parent, const QString &docName, const Symbol &symbol, double xMm)
{
    const deferred::Features *f = deferred::features();
    return f ? f->printSymbol(parent, docName, symbol, xMm) : PrintResult::Cancelled;
}
