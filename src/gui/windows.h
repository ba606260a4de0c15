// What the three windows share: the font they are designed for, centring at the first showing,
// and handing the keyboard focus to a widget of another window.
#pragma once

#include "ean13.h"

#include <QFont>
#include <QString>
#include <string_view>

class QWidget;

// "MS Sans Serif" 8 pt, 13 pixels a line. Where it is missing, DejaVu Sans at 11 pixels has the same
// line height and digits narrower than 8 pixels; it is named so that no other font wins the fallback.
[[nodiscard]] QFont designFont(bool bold = false);

// A top-level window with a system menu and a minimise box, and no maximise box.
inline constexpr Qt::WindowFlags FixedWindow = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                                               | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                                               | Qt::WindowCloseButtonHint;

// Moves a window to the centre of its screen the first time it is shown; afterwards it stays where
// it was left. Call once, from the window's constructor.
void centreOnFirstShow(QWidget *window);

// After another window hides, no window is active: activate the target's window first, or the
// focus never lands.
void giveFocus(QWidget *widget);

[[nodiscard]] QString fromUtf8(std::string_view text);
[[nodiscard]] QString toQString(const ean13::Code &code);
[[nodiscard]] ean13::Code toCode(const QString &text);

// The title of the application, the caption of its message boxes.
extern const QString ApplicationTitle;

// A shown window that stays on top of the others (the picture window), else the caller's: the
// owner a modal dialog needs to show above every window of the program.
[[nodiscard]] QWidget *dialogOwner(QWidget *caller);
// Every message box of the program goes through here: a modal box with one OK button, the
// application's title and `text`, above every window of the program (the stay-on-top picture
// window included, to which it then belongs) and with the focus; it returns once the box is
// dismissed, with `parent`'s window active again, so the caller's focus rules go on from there.
void showMessage(QWidget *parent, const QString &text);
// A failure beneath whatever the person asked for (a part of the program that cannot be loaded),
// shown as showMessage shows a box. It is the one box for that request: until the program is back
// in its event loop, the boxes the same request would show after it (its caller's own account of
// the same failure, or a second call that fails alike) are left out, and failureShown() is true,
// so that a caller can give up quietly.
void showFailure(QWidget *parent, const QString &text);
[[nodiscard]] bool failureShown();
