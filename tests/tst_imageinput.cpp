// Codes from pictures in the main window: files dropped on it and images pasted into the field,
// through the toolkit's own drag-and-drop and key events, as a person would use them.
#include "gui.h"
#include "imageinput.h"
#include "painter.h"
#include "scanimages.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QDir>
#include <QDropEvent>
#include <QInputDialog>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QTemporaryDir>
#include <QUrl>

#include <functional>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString NoCode = u"В изображении не найден код EAN-13 или UPC-A."_s;
const QString Ukraine = u"Страна-производитель: Украина."_s;

QImage side(const QImage &left, const QImage &right)
{
    QImage both(left.width() + right.width() + 60, std::max(left.height(), right.height()) + 40, QImage::Format_RGB32);
    both.fill(Qt::white);
    QPainter painter(&both);
    painter.drawImage(20, 20, left);
    painter.drawImage(left.width() + 40, 20, right);
    return both;
}

// Runs `handle` on the next modal dialog of type Dialog as soon as it is open, from inside its
// own event loop; the timer goes away with the test step if no dialog comes.
template <class Dialog>
void onNextDialog(QObject *owner, std::function<void(Dialog *)> handle)
{
    auto *poll = new QTimer(owner);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, handle] {
        if (auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            handle(dialog);
        }
    });
    poll->start(10);
}

// Drags the data over the window and lets go at `point` (a point of the window), as the windowing
// system hands a drop to the program: the toolkit picks the widget under the point that takes drops.
bool drop(QMimeData *data, QPoint point)
{
    QWindow *window = MainForm->windowHandle();
    QDragEnterEvent enter(point, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    QDragMoveEvent move(point, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &move);
    if (!move.isAccepted())
        return false;
    QDropEvent dropped(QPointF(point), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &dropped);
    return dropped.isAccepted();
}

QMimeData *fileData(const QString &path)
{
    auto *data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(path)});
    return data;
}

} // namespace

class TestImageInput : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void droppedFileAnalysed_data();
    void droppedFileAnalysed();
    void dropTypesOverWhatWasThere();
    void droppedImageData();
    void pastedImage();
    void pastedTextStaysText();
    void severalCodesChooseOne();
    void severalCodesCancelled();
    void choiceOpensAboveThePicture();
    void noCodeSaysSo();
    void familyCodeAnalysed_data();
    void familyCodeAnalysed();
    void ean8NamedInAMessage_data();
    void ean8NamedInAMessage();
    void ean8BesideAnEan13();
    void unreadableFileNamedWithReason_data();
    void unreadableFileNamedWithReason();
    void otherDragsLeftAlone();
    void fieldMenuPastesImage();
    void fieldMenuPastesText();
    void hugePictureWhileTheWindowAnswers_data();
    void hugePictureWhileTheWindowAnswers();

private:
    QString saved(const QImage &image, const QString &name);
    QTemporaryDir m_dir;
    QImage m_ukraine;     // 4820000000000
    QImage m_germany;     // 4006381333931
    QImage m_upc;         // 0036000291452
};

void TestImageInput::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_ukraine = scanimages::zintSymbol(u"4820000000000"_s);
    m_germany = scanimages::zintSymbol(u"4006381333931"_s);
    m_upc = scanimages::zintSymbol(u"0036000291452"_s);
}

QString TestImageInput::saved(const QImage &image, const QString &name)
{
    const QString path = m_dir.filePath(name);
    if (!image.save(path))
        qWarning() << "cannot save" << path;
    return path;
}

void TestImageInput::droppedFileAnalysed_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("upc");
    // Each is a widget a file may be let go over; the field and the list take text of their own.
    QTest::newRow("on the field") << u"Edit1"_s << false;
    QTest::newRow("on the results list") << u"Memo1"_s << false;
    QTest::newRow("on a button") << u"Button3"_s << false;
    QTest::newRow("on a label") << u"Label2"_s << false;
    QTest::newRow("a UPC-A code on the field") << u"Edit1"_s << true;
}

void TestImageInput::droppedFileAnalysed()
{
    QFETCH(QString, target);
    QFETCH(bool, upc);
    Started started;
    const QString path = saved(upc ? m_upc : m_ukraine, u"dropped.png"_s);
    auto *widget = MainForm->findChild<QWidget *>(target);
    QVERIFY(widget);
    const std::unique_ptr<QMimeData> data(fileData(path));
    QVERIFY(drop(data.get(), widget->mapTo(MainForm, widget->rect().center())));

    const QString code = upc ? u"0036000291452"_s : u"4820000000000"_s;
    QTRY_COMPARE(MainForm->Edit1->text(), code);
    const QString country = upc ? u"Страна-производитель: США (Канада)."_s : Ukraine;
    QTRY_COMPARE(listLines(), (QStringList{u"Контрольная сумма в коде корректна!"_s, QString(58, u'-'), country}));
    QCOMPARE(listColour(), QColor(0, 0, 255));
    QVERIFY(MainForm->Button5->isEnabled());   // all 13 digits are in the field
    QVERIFY(MainForm->Edit1->hasFocus());
}

// Whatever the field held, the code replaces it as typing over it would: the picture of the old
// code goes away, even when the picture's code is the one read.
void TestImageInput::dropTypesOverWhatWasThere()
{
    for (const QString &before : {u"4006381333931"_s, u"4820000000000"_s}) {
        Started started;
        showPictureOf(before);
        const std::unique_ptr<QMimeData> data(fileData(saved(m_ukraine, u"over.png"_s)));
        QSignalSpy changes(MainForm->Edit1, &QLineEdit::textChanged);
        QVERIFY(drop(data.get(), QPoint(30, 100)));
        QTRY_VERIFY(!changes.isEmpty());
        QTRY_COMPARE(listLines().value(2), Ukraine);
        QCOMPARE(MainForm->Edit1->text(), u"4820000000000"_s);
        QVERIFY(!Form1->isVisible());
        QVERIFY(MainForm->Button5->isEnabled());
    }
}

// A picture dragged out of another program comes as image data, without a file.
void TestImageInput::droppedImageData()
{
    Started started;
    auto data = std::make_unique<QMimeData>();
    data->setImageData(m_germany);
    QVERIFY(drop(data.get(), QPoint(130, 100)));
    QTRY_COMPARE(MainForm->Edit1->text(), u"4006381333931"_s);
    QCOMPARE(listLines().value(2), u"Страна-производитель: Германия."_s);
}

void TestImageInput::pastedImage()
{
    Started started;
    type(u"123"_s);
    QGuiApplication::clipboard()->setImage(m_ukraine);
    press(Qt::Key_V, Qt::ControlModifier);
    QTRY_COMPARE(MainForm->Edit1->text(), u"4820000000000"_s);
    QCOMPARE(listLines().value(2), Ukraine);
    QVERIFY(MainForm->Button5->isEnabled());
    QVERIFY(MainForm->Edit1->hasFocus());
}

// With text on the clipboard, Ctrl+V pastes the text, as it always did, even beside an image.
void TestImageInput::pastedTextStaysText()
{
    Started started;
    auto *data = new QMimeData;
    data->setText(u"48200"_s);
    data->setImageData(m_germany);
    QGuiApplication::clipboard()->setMimeData(data);
    press(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(MainForm->Edit1->text(), u"48200"_s);
    QVERIFY(listLines().isEmpty());
}

void TestImageInput::severalCodesChooseOne()
{
    Started started;
    QStringList offered;
    QString title;
    onNextDialog<QInputDialog>(this, [&](QInputDialog *dialog) {
        title = dialog->windowTitle();
        auto *list = dialog->findChild<QListView *>();
        QVERIFY(list);
        for (int row = 0; row < list->model()->rowCount(); ++row)
            offered.append(list->model()->index(row, 0).data().toString());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(1, 0)).center());
        auto *buttons = dialog->findChild<QDialogButtonBox *>();
        QVERIFY(buttons);
        QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    });
    const std::unique_ptr<QMimeData> data(fileData(saved(side(m_germany, m_ukraine), u"two.png"_s)));
    QVERIFY(drop(data.get(), QPoint(30, 100)));
    QTRY_COMPARE(MainForm->Edit1->text(), u"4820000000000"_s);
    QCOMPARE(offered, (QStringList{u"4006381333931"_s, u"4820000000000"_s}));   // left to right
    QCOMPARE(title, u"Анализатор штрих-кодов"_s);
    QCOMPARE(listLines().value(2), Ukraine);
}

void TestImageInput::severalCodesCancelled()
{
    Started started;
    type(u"12345"_s);
    press(Qt::Key_Return);
    const QStringList before = listLines();
    bool asked = false;
    onNextDialog<QInputDialog>(this, [&](QInputDialog *dialog) {
        asked = true;
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    QGuiApplication::clipboard()->setImage(side(m_ukraine, m_germany));
    press(Qt::Key_V, Qt::ControlModifier);
    QTRY_VERIFY(asked);
    QCOMPARE(MainForm->Edit1->text(), u"12345"_s);
    QCOMPARE(listLines(), before);
    QTRY_VERIFY(MainForm->Edit1->hasFocus());
}

void TestImageInput::choiceOpensAboveThePicture()
{
    Started started;
    showPictureOf(u"4820000000000"_s);
    bool asked = false;
    bool staysOnTop = false;
    QWidget *owner = nullptr;
    onNextDialog<QInputDialog>(this, [&](QInputDialog *dialog) {
        asked = true;
        staysOnTop = dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        owner = dialog->parentWidget();
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    const std::unique_ptr<QMimeData> data(fileData(saved(side(m_germany, m_ukraine), u"two-over-picture.png"_s)));
    QVERIFY(drop(data.get(), QPoint(30, 100)));
    QTRY_VERIFY(asked);   // the file is read once the drop is over
    // Beneath the stay-on-top picture window the choice would hold up the program out of sight.
    QVERIFY(staysOnTop);
    QCOMPARE(owner, static_cast<QWidget *>(Form1));
    QVERIFY(Form1->isVisible());   // cancelled: nothing changed
}

void TestImageInput::noCodeSaysSo()
{
    Started started;
    type(u"48"_s);
    SeenBox seen;
    onNextDialog<QMessageBox>(this, [&](QMessageBox *box) {
        seen = {true, box->windowTitle(), box->text(), static_cast<int>(box->buttons().size())};
        QTest::keyClick(box, Qt::Key_Return);
    });
    QImage blank(300, 200, QImage::Format_RGB32);
    blank.fill(Qt::white);
    QPainter(&blank).drawText(20, 100, u"4820000000000"_s);   // digits are no barcode
    QGuiApplication::clipboard()->setImage(blank);
    press(Qt::Key_V, Qt::ControlModifier);
    QTRY_VERIFY(seen.shown);
    QCOMPARE(seen.text, NoCode);
    QCOMPARE(seen.title, u"Анализатор штрих-кодов"_s);
    QCOMPARE(seen.buttons, 1);
    QCOMPARE(MainForm->Edit1->text(), u"48"_s);
    QTRY_VERIFY(MainForm->Edit1->hasFocus());
    type(u"2"_s);   // the keys reach the field again
    QCOMPARE(MainForm->Edit1->text(), u"482"_s);
}

// A UPC-E code goes into the field as the 12 digits of the UPC-A number it stands for, and an add-on
// stays out of it: the field holds the code the window analyses.
void TestImageInput::familyCodeAnalysed_data()
{
    QTest::addColumn<QString>("barcode");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("country");
    QTest::addColumn<bool>("picture");
    QTest::newRow("upc-e") << u"UPCE"_s << u"0123456"_s << u"012345000065"_s << u"Страна-производитель: США (Канада)."_s << false;
    QTest::newRow("upc-e, last digit 3") << u"UPCE"_s << u"0123453"_s << u"012300000451"_s
                                         << u"Страна-производитель: США (Канада)."_s << false;
    QTest::newRow("ean-13 with an add-on") << u"EANX"_s << u"482000000000+12345"_s << u"4820000000000"_s << Ukraine << true;
    QTest::newRow("upc-a with an add-on") << u"UPCA"_s << u"03600029145+12"_s << u"0036000291452"_s
                                          << u"Страна-производитель: США (Канада)."_s << true;
}

void TestImageInput::familyCodeAnalysed()
{
    QFETCH(QString, barcode);
    QFETCH(QString, data);
    QFETCH(QString, entry);
    QFETCH(QString, country);
    QFETCH(bool, picture);
    Started started;
    type(u"1"_s);
    const std::unique_ptr<QMimeData> dropped(fileData(saved(scanimages::zintFamilySymbol(barcode, data, 3), u"family.png"_s)));
    QVERIFY(drop(dropped.get(), QPoint(30, 100)));
    QTRY_COMPARE(MainForm->Edit1->text(), entry);
    QTRY_COMPARE(listLines(), (QStringList{u"Контрольная сумма в коде корректна!"_s, QString(58, u'-'), country}));
    QCOMPARE(listColour(), QColor(0, 0, 255));
    QCOMPARE(MainForm->Button5->isEnabled(), picture);   // the picture is of 13 digits typed whole
    QVERIFY(MainForm->Edit1->hasFocus());
}

// The window analyses EAN-13 and UPC-A numbers: an EAN-8 code is named, and the field keeps what
// it held.
void TestImageInput::ean8NamedInAMessage_data()
{
    QTest::addColumn<QStringList>("data");
    QTest::addColumn<QString>("said");
    QTest::newRow("one") << QStringList{u"9638507"_s}
                         << u"В изображении найден код EAN-8 96385074. Программа анализирует коды EAN-13 и UPC-A; "
                            u"код EAN-8 анализирует команда «ean13 check --gtin»."_s;
    QTest::newRow("two") << QStringList{u"9638507"_s, u"2012345"_s}
                         << u"В изображении найдены коды EAN-8: 96385074, 20123451. Программа анализирует коды EAN-13 "
                            u"и UPC-A; коды EAN-8 анализирует команда «ean13 check --gtin»."_s;
}

void TestImageInput::ean8NamedInAMessage()
{
    QFETCH(QStringList, data);
    QFETCH(QString, said);
    Started started;
    type(u"48"_s);
    SeenBox seen;
    onNextDialog<QMessageBox>(this, [&](QMessageBox *box) {
        seen = {true, box->windowTitle(), box->text(), static_cast<int>(box->buttons().size())};
        QTest::keyClick(box, Qt::Key_Return);
    });
    QImage picture = scanimages::zintFamilySymbol(u"EANX"_s, data.front(), 3);
    if (data.size() > 1)
        picture = side(picture, scanimages::zintFamilySymbol(u"EANX"_s, data.back(), 3));
    QGuiApplication::clipboard()->setImage(picture);
    press(Qt::Key_V, Qt::ControlModifier);
    QTRY_VERIFY(seen.shown);
    QCOMPARE(seen.text, said);
    QCOMPARE(seen.title, u"Анализатор штрих-кодов"_s);
    QCOMPARE(seen.buttons, 1);
    QCOMPARE(MainForm->Edit1->text(), u"48"_s);
    QVERIFY(listLines().isEmpty());
    QTRY_VERIFY(MainForm->Edit1->hasFocus());
    type(u"2"_s);   // the keys reach the field again
    QCOMPARE(MainForm->Edit1->text(), u"482"_s);
}

// Beside a code the window analyses, an EAN-8 code is no choice to offer: the other code is taken.
void TestImageInput::ean8BesideAnEan13()
{
    Started started;
    const std::unique_ptr<QMimeData> dropped(fileData(
        saved(side(scanimages::zintFamilySymbol(u"EANX"_s, u"9638507"_s, 2), m_ukraine), u"ean8-and-ean13.png"_s)));
    QVERIFY(drop(dropped.get(), QPoint(30, 100)));
    QTRY_COMPARE(MainForm->Edit1->text(), u"4820000000000"_s);
    QTRY_COMPARE(listLines().value(2), Ukraine);
    QVERIFY(!QApplication::activeModalWidget());
}

void TestImageInput::unreadableFileNamedWithReason_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");
    auto write = [this](const QString &name, const QByteArray &bytes) {
        QFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qWarning() << "cannot write" << name;
        return file.fileName();
    };
    QTest::newRow("text named .png") << write(u"notes.png"_s, "4820000000000\n")
                                     << u"это не изображение, или его формат не поддерживается"_s;
    QTest::newRow("zero bytes") << write(u"empty.jpg"_s, {}) << u"файл пуст"_s;
    QFile png(saved(m_ukraine.convertToFormat(QImage::Format_RGB32).scaled(900, 700), u"full.png"_s));
    QVERIFY(png.open(QIODevice::ReadOnly));
    QTest::newRow("truncated") << write(u"cut.png"_s, png.readAll().left(3000)) << u"файл повреждён или обрезан"_s;
    QTest::newRow("gone") << m_dir.filePath(u"gone.png"_s) << u"файл не найден"_s;
    QTest::newRow("too large") << write(u"huge.png"_s, scanimages::pngDeclaring(60000, 60000))
                               << u"изображение слишком велико (60000 на 60000 точек)"_s;
}

void TestImageInput::unreadableFileNamedWithReason()
{
    QFETCH(QString, path);
    QFETCH(QString, reason);
    Started started;
    SeenBox seen;
    onNextDialog<QMessageBox>(this, [&](QMessageBox *box) {
        seen = {true, box->windowTitle(), box->text(), static_cast<int>(box->buttons().size())};
        box->button(QMessageBox::Ok)->click();
    });
    const std::unique_ptr<QMimeData> data(fileData(path));
    QVERIFY(drop(data.get(), QPoint(130, 100)));
    QTRY_VERIFY(seen.shown);
    QCOMPARE(seen.text, u"Не удалось прочитать изображение из файла «%1»: %2."_s.arg(QDir::toNativeSeparators(path), reason));
    QCOMPARE(seen.buttons, 1);
    QVERIFY(MainForm->Edit1->text().isEmpty());
    QVERIFY(listLines().isEmpty());
}

// Text dragged onto the field is the field's business; a web address is nothing to read.
void TestImageInput::otherDragsLeftAlone()
{
    Started started;
    auto text = std::make_unique<QMimeData>();
    text->setText(u"4006381333931"_s);
    QVERIFY(!drop(text.get(), QPoint(130, 100)));   // over the list: nobody takes it
    auto web = std::make_unique<QMimeData>();
    web->setUrls({QUrl(u"https://example.com/code.png"_s)});
    QVERIFY(!drop(web.get(), QPoint(130, 100)));
    QCoreApplication::processEvents();
    QVERIFY(MainForm->Edit1->text().isEmpty());
    QVERIFY(!QApplication::activeModalWidget());
}

namespace {

// Opens the field's context menu as a right click does and clicks its Paste.
bool pasteFromFieldMenu(QObject *owner, bool *pasteEnabled)
{
    bool shown = false;
    auto *poll = new QTimer(owner);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, &shown, pasteEnabled] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        poll->stop();
        poll->deleteLater();
        shown = true;
        QAction *paste = nullptr;
        for (QAction *action : menu->actions())
            if (action->text() == u"&Paste\tCtrl+V"_s)
                paste = action;
        *pasteEnabled = paste && paste->isEnabled();
        if (*pasteEnabled)
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(paste).center());
        else
            QTest::keyClick(menu, Qt::Key_Escape);
    });
    poll->start(10);
    QWidget *field = MainForm->Edit1;
    const QPoint at = field->rect().center();
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, at, field->mapToGlobal(at));
    QCoreApplication::sendEvent(field, &rightClick);   // returns once the menu is closed
    return shown;
}

ImageInput *imageInput()
{
    for (QObject *child : MainForm->children())
        if (auto *input = dynamic_cast<ImageInput *>(child))
            return input;
    return nullptr;
}

} // namespace

// The field's own menu offered Paste greyed out while the clipboard held only an image.
void TestImageInput::fieldMenuPastesImage()
{
    Started started;
    QGuiApplication::clipboard()->setImage(m_germany);
    bool pasteEnabled = false;
    QVERIFY(pasteFromFieldMenu(this, &pasteEnabled));
    QVERIFY(pasteEnabled);
    QTRY_COMPARE(MainForm->Edit1->text(), u"4006381333931"_s);
    QCOMPARE(listLines().value(2), u"Страна-производитель: Германия."_s);
}

// Text on the clipboard is pasted by the menu as text, as it always was.
void TestImageInput::fieldMenuPastesText()
{
    Started started;
    auto *data = new QMimeData;
    data->setText(u"48200"_s);
    data->setImageData(m_germany);
    QGuiApplication::clipboard()->setMimeData(data);
    bool pasteEnabled = false;
    QVERIFY(pasteFromFieldMenu(this, &pasteEnabled));
    QVERIFY(pasteEnabled);
    QCOMPARE(MainForm->Edit1->text(), u"48200"_s);
    QVERIFY(listLines().isEmpty());
}

// A picture that takes seconds to read (white, 110000 by 290 pixels: 31 KB as a PNG file, which
// took 40 s and 3 GB and in a larger size took the program down) is read while the window goes on
// answering: keys reach the field, the cursor says the program is busy, and Escape gives up.
void TestImageInput::hugePictureWhileTheWindowAnswers_data()
{
    QTest::addColumn<bool>("dropped");   // as a file; else pasted as another program's PNG data
    QTest::addColumn<bool>("escape");
    QTest::newRow("dropped, read to the end") << true << false;
    QTest::newRow("dropped, given up") << true << true;
    QTest::newRow("pasted, read to the end") << false << false;
    QTest::newRow("pasted, given up") << false << true;
}

void TestImageInput::hugePictureWhileTheWindowAnswers()
{
    QFETCH(bool, dropped);
    QFETCH(bool, escape);
    Started started;
    ImageInput *input = imageInput();
    QVERIFY(input);
    const QByteArray png = scanimages::whitePng(110000, 290);
    SeenBox seen;
    onNextDialog<QMessageBox>(this, [&](QMessageBox *box) {
        seen = {true, box->windowTitle(), box->text(), static_cast<int>(box->buttons().size())};
        QTest::keyClick(box, Qt::Key_Return);
    });
    if (dropped) {
        QFile file(m_dir.filePath(u"wide.png"_s));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(png) == png.size());
        file.close();
        const std::unique_ptr<QMimeData> data(fileData(file.fileName()));
        QVERIFY(drop(data.get(), QPoint(130, 100)));
        click(MainForm->Edit1);   // back into the field, as after letting go of a drag
    } else {
        auto *data = new QMimeData;
        data->setData(u"image/png"_s, png);
        QGuiApplication::clipboard()->setMimeData(data);
        press(Qt::Key_V, Qt::ControlModifier);
    }
    QVERIFY(input->reading());
    QVERIFY(QApplication::overrideCursor());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    type(u"48"_s);
    QCOMPARE(MainForm->Edit1->text(), u"48"_s);
    if (escape) {
        press(Qt::Key_Escape);
        QVERIFY(!QApplication::overrideCursor());   // at once, though the reading ends at its next pass
        QTRY_VERIFY_WITH_TIMEOUT(!input->reading(), 30000);
        QTest::qWait(50);
        QVERIFY(!seen.shown);
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(seen.shown, 30000);
        QCOMPARE(seen.text, NoCode);
        QVERIFY(!QApplication::overrideCursor());
    }
    QCOMPARE(MainForm->Edit1->text(), u"48"_s);
    QTRY_VERIFY(MainForm->Edit1->hasFocus());
    type(u"2"_s);
    QCOMPARE(MainForm->Edit1->text(), u"482"_s);
}

QTEST_MAIN(TestImageInput)
#include "tst_imageinput.moc"
