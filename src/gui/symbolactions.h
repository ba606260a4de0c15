// What the picture window offers beyond its own drawing: the standard symbol of its code copied to
// the clipboard, saved as SVG, PNG or PDF, and printed at its true size.
#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QAction;
class QWidget;

namespace ean13 {
struct WriteError;
}

// Why a file was not saved, in the words of the windows (the list window's report too).
[[nodiscard]] QString writeReason(const ean13::WriteError &error);

class SymbolActions : public QObject
{
    Q_OBJECT

public:
    // Adds the actions and their keys to `window`, with a context menu of them; `code` gives the
    // code the window shows.
    SymbolActions(QWidget *window, std::function<QString()> code);

    void copy();
    void saveAs();
    void print();

    QAction *copyAction;
    QAction *saveAction;
    QAction *printAction;
    QAction *hideAction;   // Escape: as the close box

private:
    // The 13 digits when they make a symbol; otherwise says why not and gives nothing.
    [[nodiscard]] QString digitsOrRefuse();
    void showContextMenu(const QPoint &at);

    QWidget *m_window;
    std::function<QString()> m_code;
};
