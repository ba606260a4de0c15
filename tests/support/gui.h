// What the GUI tests share: the three windows of a fresh start, and typing as a person would.
#pragma once

#include "startup.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <QtTest>

#include <memory>

// A fresh start of the program for each test: the windows in their order, the main one shown and active.
class Started
{
public:
    Started()
    {
        forms = std::make_unique<Forms>();
        forms->mainForm.show();
        forms->mainForm.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&forms->mainForm));
    }
    ~Started() { CodeText.clear(); }
    std::unique_ptr<Forms> forms;
};

// Keys go to whatever has the focus, as they would for a person at the keyboard.
inline void type(const QString &text)
{
    QTest::keyClicks(static_cast<QWidget *>(nullptr), text);
}
inline void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(static_cast<QWidget *>(nullptr), key, modifiers);
}
inline void click(QWidget *button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

// Types a code, analyses it with Enter and opens the picture window.
inline void showPictureOf(const QString &code)
{
    type(code);
    press(Qt::Key_Return);
    QVERIFY(MainForm->Button5->isEnabled());
    click(MainForm->Button5);
    QTRY_VERIFY(Form1->isVisible());
    QTRY_VERIFY(Form1->isActiveWindow());   // on a real X server the activation comes a little later
}

inline QStringList listLines()
{
    const QString text = MainForm->Memo1->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(u'\n');
}
inline QColor listColour()
{
    return MainForm->Memo1->palette().color(QPalette::Text);
}

// Runs `act` once a modal window or a popup is open: polled, since a dialog may be built (and
// events processed) well before it opens.
template <class Window = QWidget, class Act>
void whenOpen(Act act)
{
    auto *poll = new QTimer(qApp);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act, tries = 0]() mutable {
        auto *w = qobject_cast<Window *>(QApplication::activePopupWidget() ? QApplication::activePopupWidget()
                                                                           : QApplication::activeModalWidget());
        if (!w && ++tries < 1000)
            return;
        poll->stop();
        poll->deleteLater();
        if (w)
            act(w);
    });
    poll->start();
}

struct SeenBox
{
    bool shown = false;
    QString title;
    QString text;
    int buttons = 0;
    bool tookFocus = false;    // the box became the active window, with the keyboard focus in it
    bool staysOnTop = false;   // asks the desktop to keep it above the program's stay-on-top window
    QWindow *owner = nullptr;  // the window the desktop keeps it with (its transient parent)
};

// Does `action`, reads the modal message box it opens and dismisses it with Enter, pressed as a
// person would: into whatever has the focus, which must be the box.
template <typename Action>
SeenBox readMessageBoxOf(Action action)
{
    SeenBox seen;
    QTimer::singleShot(0, [&seen] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen.shown = true;
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.buttons = static_cast<int>(box->buttons().size());
        seen.staysOnTop = box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        seen.owner = box->windowHandle() ? box->windowHandle()->transientParent() : nullptr;
        seen.tookFocus = QTest::qWaitFor([box] {
            return box->isActiveWindow() && box->isAncestorOf(QApplication::focusWidget());
        });
        if (seen.tookFocus)
            QTest::keyClick(static_cast<QWidget *>(nullptr), Qt::Key_Return);
        else
            QTest::keyClick(box, Qt::Key_Return);   // still closed, or the test would wait for ever
    });
    action();
    QCoreApplication::processEvents();   // no box: the timer still runs while `seen` lives
    return seen;
}

// Clicks `trigger`, reads the modal message box it opens and dismisses it with Enter.
inline SeenBox readMessageBox(QWidget *trigger)
{
    return readMessageBoxOf([trigger] { click(trigger); });
}
