#include "imageinput.h"

#include "ean13.h"
#include "reader.h"
#include "windows.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QImage>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

using namespace Qt::Literals::StringLiterals;

namespace {

QString reason(const reader::Loaded &loaded)
{
    switch (loaded.error) {
    case reader::LoadError::None: break;
    case reader::LoadError::Missing: return u"файл не найден"_s;
    case reader::LoadError::Empty: return u"файл пуст"_s;
    case reader::LoadError::NotAnImage: return u"это не изображение, или его формат не поддерживается"_s;
    case reader::LoadError::TooLarge:
        return u"изображение слишком велико (%1 на %2 точек)"_s.arg(loaded.size.width()).arg(loaded.size.height());
    case reader::LoadError::Damaged: return u"файл повреждён или обрезан"_s;
    }
    return {};
}

// Reading a large photo takes a moment: show that the program is busy meanwhile.
class BusyCursor
{
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

} // namespace

ImageInput::ImageInput(QWidget *window, QLineEdit *field, std::function<void()> analyse)
    : QObject(window), m_window(window), m_field(field), m_analyse(std::move(analyse))
{
    // A drop goes to the widget under the pointer that takes drops: the window itself, or the
    // field and the list, which take only text of their own accord.
    window->setAcceptDrops(true);
    window->installEventFilter(this);
    for (QWidget *child : window->findChildren<QWidget *>())
        if (child->acceptDrops())
            child->installEventFilter(this);
}

QString ImageInput::droppedFile(const QMimeData *data)
{
    for (const QUrl &url : data->urls())
        if (url.isLocalFile())
            return url.toLocalFile();
    return {};
}

bool ImageInput::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDropEvent *>(event);
        if (droppedFile(drag->mimeData()).isEmpty() && !drag->mimeData()->hasImage())
            return false;
        drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const QString file = droppedFile(drop->mimeData());
        if (file.isEmpty() && !drop->mimeData()->hasImage())
            return false;
        drop->acceptProposedAction();
        // Read once the drop is over: while it lasts, the program the picture came from waits
        // (on Windows its whole window), and a message box would keep it waiting.
        if (!file.isEmpty())
            QMetaObject::invokeMethod(this, [this, file] { readFile(file); }, Qt::QueuedConnection);
        else
            QMetaObject::invokeMethod(this, [this, image = qvariant_cast<QImage>(drop->mimeData()->imageData())] { readImage(image); },
                                      Qt::QueuedConnection);
        return true;
    }
    case QEvent::KeyPress: {
        if (watched != m_field || !static_cast<QKeyEvent *>(event)->matches(QKeySequence::Paste))
            return false;
        const QMimeData *clipboard = QGuiApplication::clipboard()->mimeData();
        if (!clipboard || clipboard->hasText() || !clipboard->hasImage())
            return false;   // text is pasted as the field pastes it
        readImage(qvariant_cast<QImage>(clipboard->imageData()));
        return true;
    }
    default:
        return false;
    }
}

void ImageInput::readFile(const QString &path)
{
    reader::FileCodes read;
    {
        BusyCursor busy;
        read = reader::readFile(path);
    }
    if (read.loaded.error != reader::LoadError::None) {
        showMessage(m_window, u"Не удалось прочитать изображение из файла «%1»: %2."_s.arg(QDir::toNativeSeparators(path),
                                                                                           reason(read.loaded)));
        return;
    }
    take(read.codes);
}

void ImageInput::readImage(const QImage &image)
{
    QStringList codes;
    {
        BusyCursor busy;
        codes = reader::findCodes(image);
    }
    take(codes);
}

void ImageInput::take(const QStringList &codes)
{
    QString code;
    if (codes.isEmpty()) {
        showMessage(m_window, fromUtf8(ean13::NoCodeInImage));
        return;
    }
    if (codes.size() == 1) {
        code = codes.front();
    } else {
        QInputDialog choice(dialogOwner(m_window));   // above the picture window, as a message box
        choice.setWindowFlag(Qt::WindowStaysOnTopHint);
        choice.setWindowTitle(ApplicationTitle);
        choice.setLabelText(u"В изображении несколько кодов. Выберите один:"_s);
        choice.setComboBoxItems(codes);
        choice.setOption(QInputDialog::UseListViewForComboBoxItems);
        const bool chosen = choice.exec() == QDialog::Accepted;
        m_window->activateWindow();
        if (!chosen)
            return;
        code = choice.textValue();
    }
    // As if typed over whatever the field held (select all, delete, type): every change rule of the
    // field applies, even when it held this very code.
    giveFocus(m_field);
    m_field->selectAll();
    m_field->del();
    m_field->insert(code);
    m_analyse();
}
