#include "helper.h"

#include "fileaccess.h"
#include "helpfile.h"
#include "helptext.h"
#include "main.h"
#include "windows.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace Qt::Literals::StringLiterals;

THelpForm *HelpForm = nullptr;

namespace {

QString cannotOpen(const QString &fileName, const fileaccess::Outcome &outcome)
{
    return u"Не удалось открыть файл %1: %2"_s.arg(QDir::toNativeSeparators(fileName), fileaccess::reason(outcome));
}

} // namespace

THelpForm::THelpForm(QWidget *parent)
    : QWidget(parent, FixedWindow),
      RichEdit1(new QPlainTextEdit(this)),
      Button1(new QPushButton(u"Закончить"_s, this))
{
    setObjectName(u"HelpForm"_s);
    setWindowTitle(u"Помощь"_s);
    setFont(designFont());
    setFixedSize(449, 273);
    centreOnFirstShow(this);
    setAttribute(Qt::WA_QuitOnClose, false);

    RichEdit1->setObjectName(u"RichEdit1"_s);
    RichEdit1->setGeometry(0, 0, 449, 241);
    RichEdit1->setReadOnly(true);
    RichEdit1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette p = RichEdit1->palette();
    p.setColor(QPalette::Base, p.color(QPalette::Window));   // the menu colour of the desktop
    RichEdit1->setPalette(p);

    Button1->setObjectName(u"Button1"_s);
    Button1->setGeometry(184, 248, 75, 25);
    setTabOrder(RichEdit1, Button1);

    connect(Button1, &QPushButton::clicked, this, &THelpForm::Button1Click);

    // Escape closes the window as its close box does, as it hides the picture window: the keys go
    // back to the field.
    auto *closeAction = new QAction(this);
    closeAction->setShortcut(QKeySequence(Qt::Key_Escape));
    closeAction->setShortcutContext(Qt::WindowShortcut);
    addAction(closeAction);
    connect(closeAction, &QAction::triggered, this, &QWidget::close);
}

void THelpForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())   // shown by the program, not just restored by the desktop
        FormShow();
}

void THelpForm::closeEvent(QCloseEvent *event)
{
    event->accept();   // hidden, never destroyed; the text stays until the next help command
    hide();
    FormClose();
}

void THelpForm::FormShow()
{
    QString fileName = helpfile::path();
    if (fileName.isEmpty())
        fileName = helpfile::name();   // gone since the help command looked: opening it says so
    const QString shownName = QDir::toNativeSeparators(fileName);
    const fileaccess::Contents contents = fileaccess::readRegularFile(fileName, helptext::ShownBytes);
    if (!contents.opened) {
        showMessage(this, cannotOpen(fileName, contents.outcome));
        return;
    }
    const helptext::ShownText loaded = helptext::textOf(contents.bytes, contents.more);
    RichEdit1->setPlainText(loaded.text);   // one call, not one append a line: large files stay quick
    if (!contents.outcome.ok()) {
        showMessage(this, u"Ошибка чтения файла %1: %2"_s.arg(shownName, fileaccess::reason(contents.outcome)));
        return;
    }
    if (loaded.cut) {
        RichEdit1->appendPlainText(u"[Показано только начало файла %1: в нём больше %2 МБ или больше %3 строк.]"_s
                                       .arg(shownName)
                                       .arg(helptext::ShownBytes / (1024 * 1024))
                                       .arg(helptext::ShownLines));
    }
    RichEdit1->moveCursor(QTextCursor::Start);   // the view begins at the first line
}

void THelpForm::Button1Click()
{
    hide();
    RichEdit1->clear();
    MainForm->focusEdit1();
}

void THelpForm::FormClose()
{
    MainForm->focusEdit1();
}

void ShowHelp()
{
    const QString fileName = helpfile::path();
    if (fileName.isEmpty()) {
        showMessage(MainForm, u"-= Отсутствует файл Tavik.txt =-"_s);
        return;
    }
    const fileaccess::Outcome outcome = fileaccess::inspect(fileName);
    switch (outcome.problem) {
    case fileaccess::Problem::DanglingLink:
    case fileaccess::Problem::LinkLoop:
    case fileaccess::Problem::NotRegular:
        // Nothing that could hold a help text: the window is not shown.
        showMessage(MainForm, cannotOpen(fileName, outcome));
        return;
    default:
        break;   // a file that cannot be opened is reported by the loading, and the window shows all the same
    }
    HelpForm->RichEdit1->clear();
    if (HelpForm->isVisible())
        HelpForm->FormShow();   // showing a shown window loads nothing, and the text was just emptied
    else
        HelpForm->show();
    giveFocus(HelpForm->RichEdit1);   // the reader starts in the text, whichever control had it last
}
