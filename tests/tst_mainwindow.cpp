// The main window driven as a person would: keys into the focused field, clicks, message boxes.
#include "gui.h"

#include "windows.h"

#include <QClipboard>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString LengthError = u"ОШИБКА! Длинна введенного кода отличается от 12-13!"_s;
const QString NonDigitError = u"ОШИБКА! В коде присутствуют символы отличные от цифр!"_s;
const QString Correct = u"Контрольная сумма в коде корректна!"_s;
const QString Wrong = u"ВНИМАНИЕ! В коде некорректна контрольная сумма!"_s;
const QString Separator = u"----------------------------------------------------------"_s;
const QColor Red(255, 0, 0);
const QColor Blue(0, 0, 255);

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init() { started = std::make_unique<Started>(); }
    void cleanup() { started.reset(); }

    void atStartOnlyTheMainWindowShows();
    void controlsAsDesigned_data();
    void controlsAsDesigned();
    void windowAndListProperties();
    void tabOrder();
    void analysis_data();
    void analysis();
    void separatorShowsOnOneRow();
    void analyseButtonDoesWhatEnterDoes();
    void errorRepeatsAndFocusComesBack();
    void fieldTakesThirteenCharacters();
    void everyChangeHidesThePictureAndEmptiesTheList_data();
    void everyChangeHidesThePictureAndEmptiesTheList();
    void clearCommand();
    void pictureCommand();
    void closingThePictureWindowReturnsTheFocus();
    void aboutBox();
    void messageBoxesOpenAboveThePicture_data();
    void messageBoxesOpenAboveThePicture();
    void aFailureIsTheOneBoxOfItsRequest();

private:
    std::unique_ptr<Started> started;
};

void TestMainWindow::atStartOnlyTheMainWindowShows()
{
    QVERIFY(MainForm->isVisible());
    QVERIFY(!HelpForm->isVisible());
    QVERIFY(!Form1->isVisible());
    QTRY_VERIFY(MainForm->Edit1->hasFocus());
    QVERIFY(MainForm->Edit1->text().isEmpty());
    QVERIFY(listLines().isEmpty());
    QVERIFY(!MainForm->Button5->isEnabled());
    // Centred on the screen.
    const QRect screen = MainForm->screen()->availableGeometry();
    QVERIFY(qAbs(MainForm->frameGeometry().center().x() - screen.center().x()) <= 2);
    QVERIFY(qAbs(MainForm->frameGeometry().center().y() - screen.center().y()) <= 2);
}

void TestMainWindow::controlsAsDesigned_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("toolTip");
    QTest::newRow("Label1") << u"Label1"_s << QRect(8, 0, 55, 13) << u"Штрих-код:"_s << QString();
    QTest::newRow("Label2") << u"Label2"_s << QRect(8, 40, 108, 13) << u"Результаты анализа:"_s << QString();
    QTest::newRow("Edit1") << u"Edit1"_s << QRect(8, 16, 89, 21) << QString() << QString();
    QTest::newRow("Memo1") << u"Memo1"_s << QRect(0, 56, 265, 89) << QString() << QString();
    QTest::newRow("Button1") << u"Button1"_s << QRect(112, 4, 75, 30) << u"Анализ"_s << u"Начать анализ"_s;
    QTest::newRow("Button2") << u"Button2"_s << QRect(96, 152, 75, 25) << u"Help"_s << u"Помощь"_s;
    QTest::newRow("Button3") << u"Button3"_s << QRect(184, 152, 75, 25) << u"About..."_s << u"О программе"_s;
    QTest::newRow("Button4") << u"Button4"_s << QRect(8, 152, 75, 25) << u"Очистить"_s << u"Очистить окно ввода"_s;
    QTest::newRow("Button5") << u"Button5"_s << QRect(192, 4, 75, 30) << u"Рисунок"_s << u"Изображение кода"_s;
}

void TestMainWindow::controlsAsDesigned()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, caption);
    QFETCH(QString, toolTip);
    auto *w = MainForm->findChild<QWidget *>(name);
    QVERIFY(w);
    if (auto *l = qobject_cast<QLabel *>(w)) {
        // A label keeps its place and grows to show its whole text in a wider fallback font.
        QCOMPARE(w->pos(), geometry.topLeft());
        QCOMPARE(w->height(), geometry.height());
        QVERIFY(w->width() >= geometry.width());
        QVERIFY(w->width() >= l->fontMetrics().horizontalAdvance(caption));
    } else {
        QCOMPARE(w->geometry(), geometry);
    }
    QCOMPARE(w->toolTip(), toolTip);
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        QCOMPARE(b->text(), caption);
    if (auto *l = qobject_cast<QLabel *>(w))
        QCOMPARE(l->text(), caption);
    // The design font, or a fallback of the same 13-pixel line.
    QCOMPARE(QFontMetrics(w->font()).height(), 13);
    QCOMPARE(w->font().families().first(), u"MS Sans Serif"_s);
}

void TestMainWindow::windowAndListProperties()
{
    QCOMPARE(MainForm->windowTitle(), u"Анализатор штрих-кодов."_s);
    QCOMPARE(MainForm->size(), QSize(267, 177));
    QCOMPARE(MainForm->minimumSize(), MainForm->maximumSize());   // not resizable
    QVERIFY(!(MainForm->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(MainForm->windowFlags() & Qt::WindowMinimizeButtonHint);
    QCOMPARE(MainForm->Edit1->maxLength(), 13);
    // All 13 digits fit the field at once (frame and margins take 4 pixels a side).
    QVERIFY(MainForm->Edit1->fontMetrics().horizontalAdvance(u"4888888888888"_s) <= 89 - 8);

    QPlainTextEdit *memo = MainForm->Memo1;
    QVERIFY(memo->isReadOnly());
    QVERIFY(memo->font().bold());
    QCOMPARE(memo->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    QCOMPARE(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(memo->palette().color(QPalette::Base), memo->palette().color(QPalette::ToolTipBase));

    // Digits of the font are narrower than the 8 columns a digit has in the picture.
    const QFontMetrics fm(Form1->font());
    QCOMPARE(fm.height(), 13);
    for (char d = '0'; d <= '9'; ++d)
        QVERIFY(fm.horizontalAdvance(QChar::fromLatin1(d)) < 8);
}

void TestMainWindow::tabOrder()
{
    QTRY_VERIFY(MainForm->Edit1->hasFocus());
    const QList<QWidget *> expected = {MainForm->Memo1, MainForm->Button1, MainForm->Button2,
                                       MainForm->Button3, MainForm->Button4, MainForm->Edit1};
    for (QWidget *next : expected) {
        press(Qt::Key_Tab);
        QTRY_COMPARE(QApplication::focusWidget(), next);   // Button5 is disabled and skipped
    }
}

void TestMainWindow::analysis_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<bool>("picture");
    const QString ukraine = u"Страна-производитель: Украина."_s;
    QTest::newRow("empty field") << QString() << QStringList{LengthError} << Red << false;
    QTest::newRow("11 digits") << u"48200000000"_s << QStringList{LengthError} << Red << false;
    QTest::newRow("13 digits, correct") << u"4820000000000"_s << QStringList{Correct, Separator, ukraine} << Blue << true;
    QTest::newRow("13 digits, wrong check digit, still blue and offered")
        << u"4820000000003"_s << QStringList{Wrong, Separator, ukraine} << Blue << true;
    QTest::newRow("12 digits: UPC-A, no picture")
        << u"100000000007"_s << QStringList{Correct, Separator, u"Страна-производитель: США (Канада)."_s} << Blue << false;
    QTest::newRow("12 with a letter") << u"10000000000x"_s << QStringList{NonDigitError} << Red << false;
    QTest::newRow("13 with a space") << u"482000 000000"_s << QStringList{NonDigitError} << Red << false;
    QTest::newRow("unknown prefix") << u"2000000000008"_s
                                    << QStringList{Correct, Separator, u"Страна-производитель: Не могу распознать!."_s}
                                    << Blue << true;
}

void TestMainWindow::analysis()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, lines);
    QFETCH(QColor, colour);
    QFETCH(bool, picture);
    type(typed);
    press(Qt::Key_Return);
    QCOMPARE(listLines(), lines);
    QCOMPARE(listColour(), colour);
    QCOMPARE(MainForm->Button5->isEnabled(), picture);
    QVERIFY(MainForm->Edit1->hasFocus());
    QCOMPARE(MainForm->Edit1->text(), typed);   // the field keeps what was typed
    // What the person sees is the list's text colour: count its pixels on the rendered list.
    const QImage shot = MainForm->Memo1->viewport()->grab().toImage();
    int matching = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            matching += shot.pixelColor(x, y) == colour ? 1 : 0;
    QVERIFY2(matching > 20, qPrintable(QString::number(matching)));
}

void TestMainWindow::separatorShowsOnOneRow()
{
    type(u"4820000000000"_s);
    press(Qt::Key_Return);
    QCOMPARE(listLines().size(), 3);
    // Three lines of text, so three bands of rows with ink in them; the separator, the middle one,
    // nearly as wide as the list.
    const QImage shot = MainForm->Memo1->viewport()->grab().toImage();
    const auto inked = [](QColor c) { return c.blue() - qMax(c.red(), c.green()) > 60; };   // blue text on pale yellow
    QList<std::pair<int, int>> bands;   // first and last row
    QList<int> bandWidths;
    bool inBand = false;
    for (int y = 0; y < shot.height(); ++y) {
        int left = shot.width();
        int right = -1;
        for (int x = 0; x < shot.width(); ++x) {
            if (inked(shot.pixelColor(x, y))) {
                left = qMin(left, x);
                right = x;
            }
        }
        if (right >= 0 && !inBand) {
            bands.append({y, y});
            bandWidths.append(0);
        }
        if (right >= 0) {
            bands.last().second = y;
            bandWidths.last() = qMax(bandWidths.last(), right - left + 1);
        }
        inBand = right >= 0;
    }
    QCOMPARE(bands.size(), 3);
    QVERIFY2(bandWidths[1] > 220, qPrintable(QString::number(bandWidths[1])));
    QVERIFY(bands[1].second - bands[1].first < 6);   // a row of hyphens, not two
}

void TestMainWindow::analyseButtonDoesWhatEnterDoes()
{
    type(u"4820000000000"_s);
    press(Qt::Key_Return);
    const QStringList byEnter = listLines();
    click(MainForm->Button1);
    QCOMPARE(listLines(), byEnter);
    QCOMPARE(listLines().size(), 3);   // emptied first, not appended to
    QVERIFY(MainForm->Button5->isEnabled());
    QCOMPARE(CodeText, u"4820000000000"_s);
}

void TestMainWindow::errorRepeatsAndFocusComesBack()
{
    type(u"123"_s);
    click(MainForm->Button1);   // the click puts the focus on the button; the error takes it back
    QCOMPARE(listLines(), QStringList{LengthError});
    QTRY_VERIFY(MainForm->Edit1->hasFocus());
    press(Qt::Key_Return);
    QCOMPARE(listLines(), QStringList{LengthError});
    QCOMPARE(listColour(), Red);

    // After a success the focus stays where it was.
    MainForm->Edit1->setText(u"4820000000000"_s);
    click(MainForm->Button1);
    QCOMPARE(listColour(), Blue);
    QVERIFY(MainForm->Button1->hasFocus());
}

void TestMainWindow::fieldTakesThirteenCharacters()
{
    type(u"48200000000001"_s);
    QCOMPARE(MainForm->Edit1->text(), u"4820000000000"_s);
    press(Qt::Key_A, Qt::ControlModifier);
    press(Qt::Key_Delete);
    QGuiApplication::clipboard()->setText(u"99999999999999999999"_s);
    press(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(MainForm->Edit1->text(), u"9999999999999"_s);
}

void TestMainWindow::everyChangeHidesThePictureAndEmptiesTheList_data()
{
    QTest::addColumn<int>("change");
    QTest::newRow("typing") << 0;
    QTest::newRow("Backspace") << 1;
    QTest::newRow("pasting") << 2;
}

void TestMainWindow::everyChangeHidesThePictureAndEmptiesTheList()
{
    QFETCH(int, change);
    showPictureOf(u"482000000000"_s + u"0"_s);
    giveFocus(MainForm->Edit1);
    QTRY_VERIFY(MainForm->Edit1->hasFocus());
    QGuiApplication::clipboard()->setText(u"1"_s);
    switch (change) {
    case 0: press(Qt::Key_A, Qt::ControlModifier); type(u"7"_s); break;   // typed over the selection
    case 1: press(Qt::Key_Backspace); break;
    case 2: press(Qt::Key_Home); press(Qt::Key_Delete); press(Qt::Key_V, Qt::ControlModifier); break;
    }
    QVERIFY(!Form1->isVisible());
    QVERIFY(!MainForm->Button5->isEnabled());
    QVERIFY(listLines().isEmpty());
}

void TestMainWindow::clearCommand()
{
    // On a field with text: everything goes, and the focus is back in the field.
    showPictureOf(u"4820000000000"_s);
    click(MainForm->Button4);
    QVERIFY(MainForm->Edit1->text().isEmpty());
    QVERIFY(listLines().isEmpty());
    QVERIFY(!MainForm->Button5->isEnabled());
    QVERIFY(!Form1->isVisible());
    QTRY_VERIFY(MainForm->Edit1->hasFocus());

    // On an empty field the list stays as it was: setting the same text is no change.
    press(Qt::Key_Return);
    QCOMPARE(listLines(), QStringList{LengthError});
    click(MainForm->Button4);
    QCOMPARE(listLines(), QStringList{LengthError});
    QCOMPARE(listColour(), Red);
    QTRY_VERIFY(MainForm->Edit1->hasFocus());
}

void TestMainWindow::pictureCommand()
{
    QVERIFY(!MainForm->Button5->isEnabled());
    showPictureOf(u"4820000000000"_s);
    QTRY_VERIFY(Form1->isActiveWindow());
    QTRY_VERIFY(Form1->hasFocus());
    QCOMPARE(Form1->windowTitle(), u"Изображение"_s);
    QCOMPARE(Form1->windowType(), Qt::Tool);
    QVERIFY(Form1->windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(Form1->size(), QSize(123, 76));
    QCOMPARE(Form1->minimumSize(), Form1->maximumSize());

    // Centred at its first showing; afterwards where it was left.
    const QRect screen = Form1->screen()->availableGeometry();
    QVERIFY(qAbs(Form1->frameGeometry().center().x() - screen.center().x()) <= 2);
    Form1->move(40, 30);
    const QPoint moved = Form1->pos();
    Form1->close();
    QVERIFY(MainForm->Button5->isEnabled());   // hiding the window leaves the command alone
    click(MainForm->Button5);
    QTRY_VERIFY(Form1->isVisible());
    QCOMPARE(Form1->pos(), moved);

    // Analysing the same text again keeps the command enabled; a 12-digit entry never enables it.
    click(MainForm->Button1);
    QVERIFY(MainForm->Button5->isEnabled());
    MainForm->Edit1->setText(u"482000000000"_s);
    click(MainForm->Button1);
    QCOMPARE(listColour(), Blue);
    QVERIFY(!MainForm->Button5->isEnabled());
}

void TestMainWindow::closingThePictureWindowReturnsTheFocus()
{
    showPictureOf(u"4820000000000"_s);
    QTRY_VERIFY(Form1->hasFocus());
    Form1->close();   // as the close box does
    QVERIFY(!Form1->isVisible());
    QTRY_VERIFY(MainForm->Edit1->hasFocus());
    QVERIFY(MainForm->isActiveWindow());
    type(u"1"_s);   // and the keys really arrive there
    QCOMPARE(MainForm->Edit1->text(), u"48200000000001"_s.left(13));
}

void TestMainWindow::aboutBox()
{
    click(MainForm->Button4);   // any control may hold the focus before
    MainForm->Button3->setFocus();
    const SeenBox box = readMessageBox(MainForm->Button3);
    QVERIFY(box.shown);
    QCOMPARE(box.title, u"Анализатор штрих-кодов"_s);
    QCOMPARE(box.buttons, 1);
    const QStringList lines = box.text.split(u'\r');
    QCOMPARE(lines.size(), 2);
    QVERIFY(!box.text.contains(u'\n'));
    QVERIFY(lines[0].startsWith(u"Анализатор штрих-кодов v1.1. Автор "_s));
    QVERIFY(lines[0].endsWith(u'.'));
    QVERIFY(lines[0].size() > u"Анализатор штрих-кодов v1.1. Автор ."_s.size());
    QVERIFY(lines[1].startsWith(u"Home page: "_s));
    QVERIFY(lines[1].size() > u"Home page: "_s.size());
    QCOMPARE(box.owner, MainForm->windowHandle());   // without the picture, the main window's box
    QVERIFY(box.tookFocus);
    QVERIFY(!QApplication::activeModalWidget());
    QTRY_VERIFY(MainForm->Edit1->hasFocus());
}

void TestMainWindow::messageBoxesOpenAboveThePicture_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("focusInField");   // About puts it there; the missing help file leaves it be
    QTest::newRow("About") << u"Button3"_s << true;
    QTest::newRow("help without its file") << u"Button2"_s << false;
}

void TestMainWindow::messageBoxesOpenAboveThePicture()
{
    QFETCH(QString, button);
    QFETCH(bool, focusInField);
    QTemporaryDir emptyDir;   // no help file here
    const QString previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(emptyDir.path()));
    showPictureOf(u"4820000000000"_s);
    QTRY_VERIFY(Form1->hasFocus());

    const SeenBox box = readMessageBox(MainForm->findChild<QPushButton *>(button));
    QDir::setCurrent(previousDir);
    QVERIFY(box.shown);
    // As high as the stay-on-top picture window, and its own box, which the desktop keeps above
    // it. (Whether a window manager really stacks it so is checked on a real one by
    // box_over_picture.sh.)
    QVERIFY(box.staysOnTop);
    QCOMPARE(box.owner, Form1->windowHandle());
    QVERIFY(box.tookFocus);   // Enter closed it
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(Form1->isVisible());
    QTRY_VERIFY(MainForm->isActiveWindow());
    if (focusInField)
        QTRY_VERIFY(MainForm->Edit1->hasFocus());
}

void TestMainWindow::aFailureIsTheOneBoxOfItsRequest()
{
    // A part of the program that cannot be loaded says so, and the request that needed it (the
    // caller's "not read back", the next call into the same part) shows nothing more; the next
    // request is told again.
    const QString missing = u"Не удалось загрузить модуль программы."_s;
    const QString callersOwn = u"Штрих-код не прочитан."_s;
    QStringList seen;
    QTimer closer;
    closer.setInterval(10);
    connect(&closer, &QTimer::timeout, &closer, [&seen] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            seen << box->text();
            box->button(QMessageBox::Ok)->click();
        }
    });
    closer.start();
    auto request = [&] {
        showFailure(MainForm, missing);
        QVERIFY(failureShown());
        showMessage(MainForm, callersOwn);
        showFailure(MainForm, missing);
    };
    request();
    QCOMPARE(seen, QStringList{missing});
    QTRY_VERIFY(!failureShown());   // back in the event loop
    request();
    QCOMPARE(seen, (QStringList{missing, missing}));
    QTRY_VERIFY(!failureShown());
    showMessage(MainForm, callersOwn);   // a box of its own, with no failure before it
    QCOMPARE(seen, (QStringList{missing, missing, callersOwn}));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
