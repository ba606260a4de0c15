// The picture window's menu and keys as a person uses them: the standard symbol copied, saved
// through the file dialog and printed through the print dialog; Escape; a wrong check digit refused.
#include "gui.h"
#include "symbolwriter.h"

#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QMenu>
#include <QMimeData>
#include <QPrintDialog>

#include <csignal>
#include <sys/resource.h>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString WrongCheckDigit = u"Контрольная цифра неверна: последней цифрой должна быть 0 (4820000000000). "
                                u"Штрих-код с неверной контрольной цифрой не создаётся."_s;
const QString NotReadBack = u"Проверка не прошла: декодер не прочитал нарисованный штрих-код. Ничего не записано."_s;

QString readBack(const QImage &image)
{
    return QString::fromStdString(ean13::readEan13(image));
}

// Through the window system, as a real click comes, so that the toolkit turns it into a context menu request.
void rightClick()
{
    QTest::mouseClick(Form1->windowHandle(), Qt::RightButton, {}, QPoint(60, 30));
}

QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files);
}

} // namespace

class TestSymbolMenu : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        started = std::make_unique<Started>();
        QGuiApplication::clipboard()->clear();
        QVERIFY(work.isValid());
        QDir::setCurrent(work.path());
        for (const QString &f : filesIn(work.path()))
            QFile::remove(work.filePath(f));
    }
    void cleanup() { started.reset(); }

    void menuByMouseCopies();
    void menuByKeysCopies();
    void saveThroughTheFileDialog_data();
    void saveThroughTheFileDialog();
    void printTrueSizeToAPdfFile();
    void wrongCheckDigitIsRefused_data();
    void wrongCheckDigitIsRefused();
    void aSymbolThatDoesNotReadBackIsNotSaved();
    void aFullDiskKeepsTheOldFileAndSaysWhy_data();
    void aFullDiskKeepsTheOldFileAndSaysWhy();
    void escapeHidesAsTheCloseBoxDoes();

private:
    void checkClipboard();
    std::unique_ptr<Started> started;
    QTemporaryDir work;
};

void TestSymbolMenu::checkClipboard()
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    QVERIFY(data);
    QCOMPARE(data->text(), u"4820000000000"_s);
    const QImage image = qvariant_cast<QImage>(data->imageData());
    QCOMPARE(image.width(), 113 * 8);   // 600 dpi: 8 pixels a module
    QCOMPARE(readBack(image), u"4820000000000"_s);
    const QByteArray svg = data->data(u"image/svg+xml"_s);
    QVERIFY(svg.contains("<svg width=\"37.29mm\" height=\"25.93mm\""));
}

void TestSymbolMenu::menuByMouseCopies()
{
    showPictureOf(u"4820000000000"_s);
    QStringList items;
    whenOpen([&items](QWidget *w) {
        auto *menu = qobject_cast<QMenu *>(w);
        QVERIFY(menu);
        for (QAction *a : menu->actions())
            items << a->text() + u'\t' + a->shortcut().toString();
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(menu->actions().at(0)).center());
    });
    rightClick();
    QTRY_VERIFY(!QApplication::activePopupWidget());
    QCOMPARE(items, (QStringList{u"Копировать\tCtrl+C"_s, u"Сохранить как…\tCtrl+S"_s, u"Печать…\tCtrl+P"_s}));
    checkClipboard();
}

void TestSymbolMenu::menuByKeysCopies()
{
    showPictureOf(u"4820000000000"_s);
    press(Qt::Key_C, Qt::ControlModifier);
    checkClipboard();

    // And in the menu: Down to its first item, then Enter.
    QGuiApplication::clipboard()->clear();
    whenOpen([](QWidget *) {
        press(Qt::Key_Down);
        press(Qt::Key_Return);
    });
    rightClick();
    QTRY_VERIFY(!QApplication::activePopupWidget());
    checkClipboard();
}

void TestSymbolMenu::saveThroughTheFileDialog_data()
{
    QTest::addColumn<QString>("typed");   // empty: the suggested name is taken as it stands
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("header");
    QTest::newRow("suggested name") << QString() << u"4820000000000.svg"_s << u"<?xml"_s;
    QTest::newRow("png") << u"label.png"_s << u"label.png"_s << u"\x89PNG"_s;
    QTest::newRow("pdf") << u"label.pdf"_s << u"label.pdf"_s << u"%PDF"_s;
}

void TestSymbolMenu::saveThroughTheFileDialog()
{
    QFETCH(QString, typed);
    QFETCH(QString, file);
    QFETCH(QString, header);
    showPictureOf(u"4820000000000"_s);
    QString suggested;
    whenOpen([&suggested, typed](QWidget *w) {
        auto *dialog = qobject_cast<QFileDialog *>(w);
        QVERIFY(dialog);
        auto *name = dialog->findChild<QLineEdit *>(u"fileNameEdit"_s);
        QVERIFY(name);
        suggested = name->text();
        QTRY_VERIFY(name->hasFocus());
        if (!typed.isEmpty()) {
            name->selectAll();
            type(typed);
        }
        press(Qt::Key_Return);
    });
    press(Qt::Key_S, Qt::ControlModifier);
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QCOMPARE(suggested, u"4820000000000.svg"_s);
    QCOMPARE(filesIn(work.path()), QStringList{file});
    QFile f(work.filePath(file));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromLatin1(f.read(header.size())), header);
    if (file.endsWith(u".png"_s))
        QCOMPARE(readBack(QImage(f.fileName())), u"4820000000000"_s);
}

void TestSymbolMenu::printTrueSizeToAPdfFile()
{
    if (QStandardPaths::findExecutable(u"pdftoppm"_s).isEmpty())
        QSKIP("pdftoppm (poppler-utils) is not installed");
    showPictureOf(u"4820000000000"_s);
    const QString pdf = work.filePath(u"printed.pdf"_s);
    whenOpen([pdf](QWidget *w) {
        auto *dialog = qobject_cast<QPrintDialog *>(w);
        QVERIFY(dialog);
        // The output-file setting as a person makes it: the file printer, then the file's name.
        auto *printers = dialog->findChild<QComboBox *>(u"printers"_s);
        QVERIFY(printers);
        printers->setCurrentIndex(printers->count() - 1);   // "Print to File (PDF)"
        auto *name = dialog->findChild<QLineEdit *>(u"filename"_s);
        QVERIFY(name);
        QTRY_VERIFY(name->isEnabled());
        name->setText(pdf);
        dialog->accept();
    });
    press(Qt::Key_P, Qt::ControlModifier);
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QVERIFY(QFile::exists(pdf));

    // At 254 dpi a millimetre is 10 pixels: from the first bar to the last, 95 modules of 0.33 mm.
    QProcess::execute(u"pdftoppm"_s, {u"-r"_s, u"254"_s, u"-png"_s, u"-singlefile"_s, pdf, work.filePath(u"page"_s)});
    const QImage page(work.filePath(u"page.png"_s));
    QVERIFY(!page.isNull());
    int first = page.width(), last = -1;   // in the first row that has bars
    for (int row = 0; row < page.height() && last < 0; ++row)
        for (int x = 0; x < page.width(); ++x)
            if (qGray(page.pixel(x, row)) < 128) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
    QVERIFY2(qAbs((last - first + 1) - 313.5) <= 2, qPrintable(QString::number(last - first + 1)));
    // The symbol with its quiet zones, cut from the page, reads back.
    int top = 0;
    while (top < page.height() && qGray(page.pixel(first, top)) >= 128)
        ++top;
    QCOMPARE(readBack(page.copy(first - 120, top, 314 + 240, 250)), u"4820000000000"_s);
}

void TestSymbolMenu::wrongCheckDigitIsRefused_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("copy") << int(Qt::Key_C);
    QTest::newRow("save") << int(Qt::Key_S);
    QTest::newRow("print") << int(Qt::Key_P);
}

void TestSymbolMenu::wrongCheckDigitIsRefused()
{
    QFETCH(int, key);
    showPictureOf(u"4820000000001"_s);   // the picture is shown by design
    SeenBox seen;
    bool otherDialog = false;
    whenOpen([&](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        otherDialog = !box;
        if (!box) {
            w->close();
            return;
        }
        seen.shown = true;
        seen.title = box->windowTitle();
        seen.text = box->text();
        QTest::keyClick(box, Qt::Key_Return);
    });
    press(Qt::Key(key), Qt::ControlModifier);
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QVERIFY(!otherDialog);
    QVERIFY(seen.shown);
    QCOMPARE(seen.title, u"Анализатор штрих-кодов"_s);
    QCOMPARE(seen.text, WrongCheckDigit);
    const QMimeData *clip = QGuiApplication::clipboard()->mimeData();
    QVERIFY(!clip || clip->formats().isEmpty());
    QCOMPARE(filesIn(work.path()), QStringList());
    QTRY_VERIFY(Form1->isActiveWindow());   // back to the picture, its keys work on
}

void TestSymbolMenu::aSymbolThatDoesNotReadBackIsNotSaved()
{
    showPictureOf(u"4820000000000"_s);
    ean13::setRasterFaultForTesting([](QImage &img) { img.fill(Qt::white); });
    QString text;
    whenOpen<QFileDialog>([&text](QFileDialog *dialog) {
        whenOpen<QMessageBox>([&text](QMessageBox *box) {
            text = box->text();
            QTest::keyClick(box, Qt::Key_Return);
        });
        QTRY_VERIFY(dialog->findChild<QLineEdit *>(u"fileNameEdit"_s)->hasFocus());
        press(Qt::Key_Return);   // the suggested name
    });
    press(Qt::Key_S, Qt::ControlModifier);
    QTRY_VERIFY(!QApplication::activeModalWidget());
    ean13::setRasterFaultForTesting({});
    QCOMPARE(text, NotReadBack);
    QCOMPARE(filesIn(work.path()), QStringList());
}

void TestSymbolMenu::aFullDiskKeepsTheOldFileAndSaysWhy_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("svg") << u"label.svg"_s;
    QTest::newRow("png") << u"label.png"_s;
    QTest::newRow("pdf") << u"label.pdf"_s;
}

// A limit on the size of files (ulimit -f) fails every write past it, as a full disk does.
void TestSymbolMenu::aFullDiskKeepsTheOldFileAndSaysWhy()
{
    QFETCH(QString, file);
    {
        QFile old(work.filePath(file));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("the old symbol");
    }
    showPictureOf(u"4820000000000"_s);
    QStringList boxes;
    whenOpen<QFileDialog>([&boxes, file](QFileDialog *dialog) {
        auto *name = dialog->findChild<QLineEdit *>(u"fileNameEdit"_s);
        QTRY_VERIFY(name->hasFocus());
        name->selectAll();
        type(file);
        // The dialog asks whether to replace the file; then the program says what became of it.
        auto answer = [&boxes](QMessageBox *box) {
            boxes << box->text();
            if (QAbstractButton *yes = box->button(QMessageBox::Yes))
                yes->click();
            else
                QTest::keyClick(box, Qt::Key_Return);
        };
        whenOpen<QMessageBox>([answer](QMessageBox *box) {
            whenOpen<QMessageBox>(answer);
            answer(box);
        });
        press(Qt::Key_Return);
    });
    rlimit before{};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &before) == 0);
    rlimit small = before;
    small.rlim_cur = 1000;   // less than any symbol
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);
    press(Qt::Key_S, Qt::ControlModifier);
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &before) == 0);
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes.at(1), u"Не удалось сохранить файл "_s + QDir::toNativeSeparators(work.filePath(file))
                              + u": файл больше, чем разрешено"_s);
    QFile old(work.filePath(file));
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("the old symbol"));
    QCOMPARE(QDir(work.path()).entryList(QDir::Files | QDir::Hidden), QStringList{file});   // no temporary left
}

void TestSymbolMenu::escapeHidesAsTheCloseBoxDoes()
{
    showPictureOf(u"4820000000000"_s);
    press(Qt::Key_Escape);
    QTRY_VERIFY(!Form1->isVisible());
    QTRY_VERIFY(MainForm->Edit1->hasFocus());   // as after the close box, the field takes the keys again
}

QTEST_MAIN(TestSymbolMenu)
#include "tst_symbolmenu.moc"
