// What the toolkit draws for the program speaks Russian too: the context menus of the field and
// the help text, the file dialog, the print dialog, the buttons of a message box. Started as the
// program starts, with the toolkit's Russian loaded, then driven by mouse and keys.
#include "gui.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QMenu>

using namespace Qt::Literals::StringLiterals;

namespace {

// Escape, pressed as a person would once the dialog has the keys; closed all the same if it never
// gets them, or the test would wait for ever.
void dismiss(QWidget *dialog)
{
    if (QTest::qWaitFor([dialog] { return dialog->isActiveWindow() && dialog->isAncestorOf(QApplication::focusWidget()); }))
        press(Qt::Key_Escape);
    if (dialog->isVisible())
        dialog->close();
}

QStringList buttonTexts(QWidget *dialog)
{
    QStringList texts;
    if (auto *box = dialog->findChild<QDialogButtonBox *>())
        for (QAbstractButton *b : box->buttons())
            texts << b->text();
    texts.sort();
    return texts;
}

} // namespace

class TestToolkitTexts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { started = std::make_unique<Started>(); }
    void cleanup() { started.reset(); }

    void contextMenu_data();
    void contextMenu();
    void saveDialog();
    void printDialog();
    void messageBoxButton();

private:
    std::unique_ptr<Started> started;
    QTemporaryDir work;
};

void TestToolkitTexts::initTestCase()
{
    QVERIFY2(loadToolkitTranslations(), "qtbase_ru.qm not found: install qt6-translations-l10n");
    QVERIFY(work.isValid());
    QDir::setCurrent(work.path());
}

void TestToolkitTexts::contextMenu_data()
{
    QTest::addColumn<bool>("helpText");   // else the code field
    QTest::addColumn<QStringList>("items");
    QTest::newRow("code field") << false
                                << QStringList{u"&Отменить действие"_s, u"&Повторить действие"_s, u"&Вырезать"_s,
                                               u"&Копировать"_s, u"В&ставить"_s, u"Удалить"_s, u"Выделить всё"_s};
    // Read-only: only what reads.
    QTest::newRow("help text") << true << QStringList{u"&Копировать"_s, u"Выделить всё"_s};
}

void TestToolkitTexts::contextMenu()
{
    QFETCH(bool, helpText);
    QFETCH(QStringList, items);
    QWidget *target = MainForm->Edit1;
    if (helpText) {
        QFile help(u"Tavik.txt"_s);
        QVERIFY(help.open(QIODevice::WriteOnly | QIODevice::Truncate));
        help.write("help\n");
        help.close();
        click(MainForm->Button2);
        QTRY_VERIFY(HelpForm->RichEdit1->hasFocus());
        target = HelpForm->RichEdit1->viewport();
    } else {
        type(u"4820000000000"_s);   // something to cut and copy
    }
    QStringList seen;
    whenOpen([&seen](QWidget *w) {
        auto *menu = qobject_cast<QMenu *>(w);
        if (!menu) {
            dismiss(w);
            return;
        }
        for (QAction *a : menu->actions())
            if (!a->isSeparator())
                seen << a->text().section(u'\t', 0, 0);   // the keys beside it are the platform's
        press(Qt::Key_Escape);
    });
    // A right click through the window system, as a mouse gives it, so that the toolkit asks for the menu.
    QWidget *window = target->window();
    QTest::mouseClick(window->windowHandle(), Qt::RightButton, {}, target->mapTo(window, QPoint(20, 10)));
    QTRY_VERIFY(!QApplication::activePopupWidget());
    QCOMPARE(seen, items);
    if (helpText)
        HelpForm->close();
}

// The picture window's Save dialog, the toolkit's own (not the desktop's) on every platform.
void TestToolkitTexts::saveDialog()
{
    // A folder and a symbol saved before, in the folder the dialog opens on: the list names their
    // types.
    QDir dir(work.path());
    QVERIFY(dir.mkpath(u"Ранее"_s));
    QFile earlier(dir.filePath(u"Ранее/4820000000000.svg"_s));
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    QVERIFY(earlier.write("<svg xmlns=\"http://www.w3.org/2000/svg\"/>\n") > 0);
    earlier.close();
    showPictureOf(u"4820000000000"_s);
    QStringList buttons;
    QStringList labels;
    QStringList types;
    whenOpen([&](QWidget *w) {
        auto *dialog = qobject_cast<QFileDialog *>(w);
        if (!dialog) {   // no texts read: the comparisons below say so
            dismiss(w);
            return;
        }
        buttons = buttonTexts(dialog);
        for (const char *name : {"lookInLabel", "fileNameLabel", "fileTypeLabel"}) {
            auto *label = dialog->findChild<QLabel *>(QString::fromLatin1(name));
            labels << (label ? label->text() : QString());
        }
        // The type column of the list, for the folder and, inside it, the symbol.
        if (auto *list = dialog->findChild<QFileSystemModel *>()) {
            for (const QString &path : {dir.filePath(u"Ранее"_s), dir.filePath(u"Ранее/4820000000000.svg"_s)}) {
                list->setRootPath(QFileInfo(path).path());
                if (QTest::qWaitFor([&] { return list->index(path).isValid(); }))
                    types << list->index(path).siblingAtColumn(2).data().toString();
            }
        }
        dismiss(dialog);
    });
    press(Qt::Key_S, Qt::ControlModifier);
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QCOMPARE(buttons, (QStringList{u"&Сохранить"_s, u"Отмена"_s}));
    QCOMPARE(labels, (QStringList{u"Перейти к:"_s, u"&Имя файла:"_s, u"Типы файлов:"_s}));
    QCOMPARE(types.size(), 2);
    QCOMPARE(types[0], u"Папка"_s);
    QVERIFY2(!types[1].contains(u"image"_s, Qt::CaseInsensitive), qPrintable(types[1]));   // "SVG image" once
    QCOMPARE(dir.entryList({u"*.svg"_s}), QStringList());   // cancelled: nothing saved
}

void TestToolkitTexts::printDialog()
{
    showPictureOf(u"4820000000000"_s);
    QStringList buttons;
    whenOpen([&buttons](QWidget *w) {
        buttons = buttonTexts(w);
        dismiss(w);
    });
    press(Qt::Key_P, Qt::ControlModifier);
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QCOMPARE(buttons, (QStringList{u"&Параметры >>"_s, u"&Печать"_s, u"Отмена"_s}));
}

// Qt's Russian keeps "OK" in Latin letters, as it is; the box has that one button and no other.
void TestToolkitTexts::messageBoxButton()
{
    QStringList buttons;
    whenOpen([&buttons](QWidget *w) {
        if (auto *box = qobject_cast<QMessageBox *>(w))
            for (QAbstractButton *b : box->buttons())
                buttons << b->text();
        dismiss(w);
    });
    click(MainForm->Button3);
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QCOMPARE(buttons, QStringList{u"OK"_s});
    QTRY_VERIFY(MainForm->Edit1->hasFocus());
}

QTEST_MAIN(TestToolkitTexts)
#include "tst_toolkittexts.moc"
