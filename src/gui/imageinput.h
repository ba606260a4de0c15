// Codes from pictures for the main window: an image file dropped on the window, or an image pasted
// into the field (Ctrl+V while the clipboard holds an image and no text). The code read goes into
// the field as if typed, and the analysis runs as Enter would run it.
#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

class QImage;
class QLineEdit;
class QMimeData;
class QWidget;

class ImageInput : public QObject
{
public:
    // Watches `window` and its children; `analyse` is what Enter in `field` runs.
    ImageInput(QWidget *window, QLineEdit *field, std::function<void()> analyse);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    [[nodiscard]] static QString droppedFile(const QMimeData *data);
    void readFile(const QString &path);
    void readImage(const QImage &image);
    void take(const QStringList &codes);

    QWidget *m_window;
    QLineEdit *m_field;
    std::function<void()> m_analyse;
};
