// Codes from pictures for the main window: an image file dropped on the window, or an image pasted
// into the field (Ctrl+V, or Paste in the field's menu, while the clipboard holds an image and no
// text). The code read goes into the field as if typed (a UPC-E code as the 12 digits of its UPC-A
// number), and the analysis runs as Enter would run it; an EAN-8 code, which the window does not
// analyse, is named in a message. Pictures are read on a thread of their own: the window keeps answering, the cursor shows
// that a reading runs, and Escape gives it up.
#pragma once

#include <QObject>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

class QImage;
class QLineEdit;
class QMimeData;
class QThread;
class QWidget;

namespace reader {
struct Code;
struct FileCodes;
}

class ImageInput : public QObject
{
public:
    // Watches `window` and its children; `analyse` is what Enter in `field` runs.
    ImageInput(QWidget *window, QLineEdit *field, std::function<void()> analyse);
    ~ImageInput() override;

    // True while a picture is being read.
    [[nodiscard]] bool reading() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    [[nodiscard]] static QString droppedFile(const QMimeData *data);
    [[nodiscard]] static bool holdsImage(const QMimeData *data);
    void readCodesFrom(const QString &path);
    void readData(const QMimeData *data);
    void pasteImage();
    void showFieldMenu(QPoint globalPos);
    // Runs `read` on the reading thread, once any reading before it has given up.
    void start(std::function<reader::FileCodes(const std::function<bool()> &giveUp)> read, QString path);
    void giveUp();
    void finished(const reader::FileCodes &read, const QString &path);
    [[nodiscard]] static QString entryOf(const reader::Code &code);
    void take(const QList<reader::Code> &codes);

    class EscapeWatch;

    QWidget *m_window;
    QLineEdit *m_field;
    std::function<void()> m_analyse;
    std::unique_ptr<QThread> m_thread;
    std::shared_ptr<std::atomic<bool>> m_givenUp;
    std::function<void()> m_next;   // the reading asked for while another was giving up
    EscapeWatch *m_escape = nullptr;
    bool m_busyCursor = false;
};
