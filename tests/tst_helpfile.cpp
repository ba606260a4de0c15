// The help as installed: this binary is built into bin/ of a prefix whose share/barcode-analyser
// holds the shipped help file, as an installation does; the working directory is an empty one.
#include "gui.h"

#include "helpfile.h"
#include "windows.h"

#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTemporaryDir>

using namespace Qt::Literals::StringLiterals;

namespace {

QStringList linesOf(const QString &text)
{
    return text.isEmpty() ? QStringList() : text.split(u'\n');
}

QStringList shippedLines()
{
    QFile f(QStringLiteral(SHIPPED_HELP));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(f.readAll());
    if (text.endsWith(u'\n'))
        text.chop(1);
    return linesOf(text);
}

} // namespace

class TestHelpFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void installedHelpFromAnyDirectory();
    void workingDirectoryComesFirst_data();
    void workingDirectoryComesFirst();
    void neitherThere();
    void shippedHelpIsUtf8AndFitsTheViewer();
    void windowsCarryTheIcon();
    void iconIsTheDesktopsSvg_data();
    void iconIsTheDesktopsSvg();

private:
    QString installed() const { return helpfile::installedDir() + u"/Tavik.txt"_s; }
    std::unique_ptr<QTemporaryDir> dir;
    QString previousDir;
    std::unique_ptr<Started> started;
};

void TestHelpFile::initTestCase()
{
    QVERIFY2(QFile::exists(installed()), qPrintable(installed()));
    QVERIFY(!shippedLines().isEmpty());
    setApplicationIdentity();
}

void TestHelpFile::init()
{
    previousDir = QDir::currentPath();
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir::setCurrent(dir->path()));
    started = std::make_unique<Started>();
}

void TestHelpFile::cleanup()
{
    started.reset();
    QDir::setCurrent(previousDir);
    dir.reset();
}

void TestHelpFile::installedHelpFromAnyDirectory()
{
    QCOMPARE(QFileInfo(helpfile::installedDir()).fileName(), u"barcode-analyser"_s);
    QCOMPARE(QFileInfo(helpfile::installedDir() + u"/.."_s).canonicalFilePath(),
             QFileInfo(QCoreApplication::applicationDirPath() + u"/../share"_s).canonicalFilePath());
    click(MainForm->Button2);
    QTRY_VERIFY(HelpForm->isVisible());
    QCOMPARE(linesOf(HelpForm->RichEdit1->toPlainText()), shippedLines());
    QCOMPARE(HelpForm->RichEdit1->textCursor().position(), 0);
}

void TestHelpFile::workingDirectoryComesFirst_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("a file of one's own") << QByteArray("Своя справка\n") << QStringList{u"Своя справка"_s};
    QTest::newRow("even an empty one") << QByteArray() << QStringList();
}

void TestHelpFile::workingDirectoryComesFirst()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, shown);
    QFile f(u"Tavik.txt"_s);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    click(MainForm->Button2);
    QTRY_VERIFY(HelpForm->isVisible());
    QCOMPARE(linesOf(HelpForm->RichEdit1->toPlainText()), shown);
}

void TestHelpFile::neitherThere()
{
    const QString aside = installed() + u".aside"_s;
    QVERIFY(QFile::rename(installed(), aside));
    const SeenBox box = readMessageBox(MainForm->Button2);
    QVERIFY(QFile::rename(aside, installed()));
    QVERIFY(box.shown);
    QCOMPARE(box.text, u"-= Отсутствует файл Tavik.txt =-"_s);
    QVERIFY(!HelpForm->isVisible());
}

void TestHelpFile::shippedHelpIsUtf8AndFitsTheViewer()
{
    QFile f(QStringLiteral(SHIPPED_HELP));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    QVERIFY(!utf8.hasError());
    QVERIFY(!bytes.startsWith("\xEF\xBB\xBF"));
    QVERIFY(!bytes.contains('\r'));
    QVERIFY(text.contains(u"Tavik.txt"_s));

    // Written to be read as it stands: no line is long enough for the viewer to break it.
    click(MainForm->Button2);
    QTRY_VERIFY(HelpForm->isVisible());
    QPlainTextEdit *view = HelpForm->RichEdit1;
    const qreal room = view->viewport()->width() - 2 * view->document()->documentMargin();
    const QFontMetricsF metrics(view->font());
    QStringList tooLong;
    for (const QString &line : shippedLines()) {
        if (metrics.horizontalAdvance(line) > room)
            tooLong << u"%1 > %2: %3"_s.arg(metrics.horizontalAdvance(line)).arg(room).arg(line);
    }
    QCOMPARE(tooLong, QStringList());
}

void TestHelpFile::windowsCarryTheIcon()
{
    const QIcon icon = QGuiApplication::windowIcon();
    QVERIFY(!icon.isNull());
    QCOMPARE(MainForm->windowIcon().cacheKey(), icon.cacheKey());
    const QImage image = icon.pixmap(QSize(32, 32)).toImage();
    QCOMPARE(image.size(), QSize(32, 32));
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            dark += qAlpha(image.pixel(x, y)) > 128 && qGray(image.pixel(x, y)) < 64;
    QVERIFY2(dark > 32, "the bars are drawn");
    QCOMPARE(QGuiApplication::desktopFileName(), u"example.barcode_analyser.BarcodeAnalyser"_s);
}

// The windows carry the desktop's SVG icon as pixels drawn beforehand: they must still be that icon.
void TestHelpFile::iconIsTheDesktopsSvg_data()
{
    QTest::addColumn<int>("size");
    for (int size : {16, 32, 64, 128})
        QTest::addRow("%d px", size) << size;
}

void TestHelpFile::iconIsTheDesktopsSvg()
{
    QFETCH(int, size);
    QCOMPARE(QGuiApplication::windowIcon().availableSizes().count(QSize(size, size)), 1);
    const QImage carried = QGuiApplication::windowIcon().pixmap(QSize(size, size)).toImage()
                               .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QSvgRenderer svg(QStringLiteral(SHIPPED_ICON));
    QVERIFY(svg.isValid());
    QImage drawn(size, size, QImage::Format_ARGB32_Premultiplied);
    drawn.fill(Qt::transparent);
    QPainter painter(&drawn);
    svg.render(&painter);
    painter.end();
    QCOMPARE(carried.size(), drawn.size());
    // Two renderers antialias edges a little differently; a changed drawing differs by far more.
    qint64 difference = 0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const QRgb a = carried.pixel(x, y), b = drawn.pixel(x, y);
            difference += qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b))
                          + qAbs(qAlpha(a) - qAlpha(b));
        }
    const double mean = double(difference) / (size * size * 4);
    QVERIFY2(mean < 4, qPrintable(u"mean difference %1 of 255"_s.arg(mean)));
}

QTEST_MAIN(TestHelpFile)
#include "tst_helpfile.moc"
