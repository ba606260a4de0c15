#include "windows.h"

#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QScreen>
#include <QWidget>

using namespace Qt::Literals::StringLiterals;

const QString ApplicationTitle = u"Анализатор штрих-кодов"_s;

QFont designFont(bool bold)
{
    QFont font;
    font.setFamilies({u"MS Sans Serif"_s, u"DejaVu Sans"_s});
    font.setPixelSize(11);   // height -11 at 96 pixels per inch
    font.setBold(bold);
    return font;
}

namespace {

// Sees the window's first Show event, which comes before the window reaches the screen, and then
// goes away.
class FirstShowCentring : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            auto *window = static_cast<QWidget *>(watched);
            if (const QScreen *screen = window->screen())
                window->move(screen->availableGeometry().center() - window->rect().center());
            window->removeEventFilter(this);
            deleteLater();
        }
        return false;
    }
};

} // namespace

void centreOnFirstShow(QWidget *window)
{
    window->installEventFilter(new FirstShowCentring(window));
}

void giveFocus(QWidget *widget)
{
    widget->window()->activateWindow();
    widget->setFocus(Qt::OtherFocusReason);
}

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString toQString(const ean13::Code &code)
{
    return QString::fromUcs4(code.begin(), code.size());
}

ean13::Code toCode(const QString &text)
{
    return ean13::Code::fromUtf16(std::u16string_view(reinterpret_cast<const char16_t *>(text.utf16()),
                                                      static_cast<std::size_t>(text.size())));
}

QWidget *dialogOwner(QWidget *caller)
{
    for (QWidget *window : QApplication::topLevelWidgets())
        if (window->isVisible() && window->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
            return window;
    return caller;
}

namespace {

bool failureTold = false;

} // namespace

void showMessage(QWidget *parent, const QString &text)
{
    if (failureTold)
        return;
    // The picture window stays on top of the other windows; a box beneath it would wait out of
    // sight while it holds up the whole program. So the box stays on top as well, and belongs to
    // the picture window while that shows: a desktop keeps a window's boxes above it, even when
    // the window itself is raised (clicked, or activated late). It takes the focus as a new modal
    // box does (seen under openbox, on a bare X server and offscreen).
    QMessageBox box(QMessageBox::NoIcon, ApplicationTitle, text, QMessageBox::Ok, dialogOwner(parent));
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
    // Not every platform gives the activation back when a modal box closes, and the box may have
    // belonged to another window; without this the next keystrokes would go nowhere.
    if (parent)
        parent->window()->activateWindow();
}

void showFailure(QWidget *parent, const QString &text)
{
    if (failureTold)
        return;
    showMessage(parent, text);
    failureTold = true;
    // Everything the request does after the box runs before this: it ends with the request.
    QMetaObject::invokeMethod(qApp, [] { failureTold = false; }, Qt::QueuedConnection);
}

bool failureShown()
{
    return failureTold;
}
