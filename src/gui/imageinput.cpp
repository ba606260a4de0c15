#include "imageinput.h"

#include "ean13.h"
#include "reader.h"
#include "upce.h"
#include "windows.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QImage>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QThread>
#include <QUrl>
#include <QWidget>

#include <algorithm>
#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace {

QString reason(const reader::LoadedImage &loaded)
{
    switch (loaded.error) {
    case reader::LoadError::None: break;
    case reader::LoadError::Missing: return u"файл не найден"_s;
    case reader::LoadError::Directory: return u"это папка, а не файл"_s;
    case reader::LoadError::NotAFile: return u"это не обычный файл"_s;
    case reader::LoadError::Empty: return u"файл пуст"_s;
    case reader::LoadError::NotAnImage: return u"это не изображение, или его формат не поддерживается"_s;
    case reader::LoadError::TooLarge:
        if (!loaded.size.isValid())
            return u"изображение слишком велико"_s;
        return u"изображение слишком велико (%1 на %2 точек)"_s.arg(loaded.size.width()).arg(loaded.size.height());
    case reader::LoadError::Damaged: return u"файл повреждён или обрезан"_s;
    case reader::LoadError::TooComplex: return u"рисунок слишком сложен: в нём слишком много фигур или текста"_s;
    }
    return {};
}

} // namespace

// While a picture is read, Escape anywhere in the program gives the reading up; every other key
// goes where it always goes.
class ImageInput::EscapeWatch : public QObject
{
public:
    explicit EscapeWatch(ImageInput *input) : QObject(input), m_input(input) { qApp->installEventFilter(this); }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent *>(event)->key() != Qt::Key_Escape)
            return false;
        m_input->giveUp();
        return true;
    }

private:
    ImageInput *m_input;
};

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

ImageInput::~ImageInput()
{
    m_next = nullptr;
    if (m_thread) {
        m_givenUp->store(true);
        m_thread->wait();   // the reading gives up between its passes: a second or two at most
    }
    if (m_busyCursor)
        QApplication::restoreOverrideCursor();
}

bool ImageInput::reading() const
{
    return m_thread != nullptr;
}

QString ImageInput::droppedFile(const QMimeData *data)
{
    for (const QUrl &url : data->urls())
        if (url.isLocalFile())
            return url.toLocalFile();
    return {};
}

// Image data as another program offers it: an image file's bytes (image/png, image/jpeg, ...),
// or an image of this program's own.
bool ImageInput::holdsImage(const QMimeData *data)
{
    if (data->hasImage())
        return true;
    const QStringList formats = data->formats();
    return std::any_of(formats.begin(), formats.end(), [](const QString &f) { return f.startsWith(u"image/"_s); });
}

bool ImageInput::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDropEvent *>(event);
        if (droppedFile(drag->mimeData()).isEmpty() && !holdsImage(drag->mimeData()))
            return false;
        drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const QString file = droppedFile(drop->mimeData());
        if (file.isEmpty() && !holdsImage(drop->mimeData()))
            return false;
        drop->acceptProposedAction();
        if (!file.isEmpty())
            readCodesFrom(file);
        else
            readData(drop->mimeData());
        return true;
    }
    case QEvent::KeyPress: {
        if (watched != m_field || !static_cast<QKeyEvent *>(event)->matches(QKeySequence::Paste))
            return false;
        const QMimeData *clipboard = QGuiApplication::clipboard()->mimeData();
        if (!clipboard || clipboard->hasText() || !holdsImage(clipboard))
            return false;   // text is pasted as the field pastes it
        pasteImage();
        return true;
    }
    case QEvent::ContextMenu: {
        if (watched != m_field)
            return false;
        showFieldMenu(static_cast<QContextMenuEvent *>(event)->globalPos());
        return true;
    }
    default:
        return false;
    }
}

// The field's own menu, whose Paste knows only text: with an image on the clipboard and no text,
// its Paste reads the image, as Ctrl+V does.
void ImageInput::showFieldMenu(QPoint globalPos)
{
    const std::unique_ptr<QMenu> menu(m_field->createStandardContextMenu());
    const QMimeData *clipboard = QGuiApplication::clipboard()->mimeData();
    if (clipboard && !clipboard->hasText() && holdsImage(clipboard) && !m_field->isReadOnly()) {
        // Qt 6.4 names none of the menu's actions; each shows its shortcut after a tab.
        const QString pasteKey = u'\t' + QKeySequence(QKeySequence::Paste).toString(QKeySequence::NativeText);
        for (QAction *action : menu->actions()) {
            if (action->objectName() != u"edit-paste"_s && !action->text().endsWith(pasteKey))
                continue;
            action->disconnect();
            action->setEnabled(true);
            connect(action, &QAction::triggered, this, &ImageInput::pasteImage);
        }
    }
    menu->exec(globalPos);
}

void ImageInput::pasteImage()
{
    if (const QMimeData *clipboard = QGuiApplication::clipboard()->mimeData())
        readData(clipboard);
}

void ImageInput::readCodesFrom(const QString &path)
{
    start([path](const std::function<bool()> &givenUp) { return reader::readCodes(path, givenUp); }, path);
}

// The bytes of an image file are decoded on the reading thread, within the reader's limits; only
// an image that is already one (this program's own) is taken as it is.
void ImageInput::readData(const QMimeData *data)
{
    QByteArray bytes;
    for (const QString &format : data->formats())
        if (format.startsWith(u"image/"_s) && !(bytes = data->data(format)).isEmpty())
            break;
    if (!bytes.isEmpty()) {
        start([bytes](const std::function<bool()> &givenUp) {
            reader::FileCodes read{reader::loadImageData(bytes), {}};
            read.codes = reader::findCodes(read.loaded.image, givenUp);
            read.loaded.image = QImage();
            return read;
        }, {});
        return;
    }
    const QImage image = qvariant_cast<QImage>(data->imageData());
    start([image](const std::function<bool()> &givenUp) {
        return reader::FileCodes{{}, reader::findCodes(image, givenUp)};
    }, {});
}

void ImageInput::start(std::function<reader::FileCodes(const std::function<bool()> &)> read, QString path)
{
    if (m_thread) {   // the newest picture is the one wanted
        m_givenUp->store(true);
        m_next = [this, read = std::move(read), path = std::move(path)]() mutable { start(std::move(read), std::move(path)); };
        return;
    }
    // The reader may be a module loaded on first use: loaded here, on the window's thread, which
    // may tell the person that it cannot be; then that is all they hear of this picture.
    Q_UNUSED(reader::findCodes(QImage()));
    if (failureShown())
        return;
    if (!m_busyCursor) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_busyCursor = true;
    }
    if (!m_escape)
        m_escape = new EscapeWatch(this);
    m_givenUp = std::make_shared<std::atomic<bool>>(false);
    const std::shared_ptr<std::atomic<bool>> givenUp = m_givenUp;
    m_thread.reset(QThread::create([this, read = std::move(read), path = std::move(path), givenUp] {
        reader::FileCodes result = read([givenUp] { return givenUp->load(); });
        // Handed back on the window's thread; if the window is gone by then, so is this.
        QMetaObject::invokeMethod(this, [this, result = std::move(result), path] { finished(result, path); }, Qt::QueuedConnection);
    }));
    m_thread->start();
}

void ImageInput::giveUp()
{
    if (!m_thread)
        return;
    m_givenUp->store(true);
    m_next = nullptr;
    if (m_busyCursor) {   // at once: the reading ends at its next pass, and its answer is dropped
        QApplication::restoreOverrideCursor();
        m_busyCursor = false;
    }
    delete m_escape;
    m_escape = nullptr;
}

void ImageInput::finished(const reader::FileCodes &read, const QString &path)
{
    m_thread->wait();
    m_thread.reset();
    const bool givenUp = m_givenUp->load();
    if (m_next) {
        std::exchange(m_next, nullptr)();
        return;
    }
    if (m_busyCursor) {
        QApplication::restoreOverrideCursor();
        m_busyCursor = false;
    }
    delete m_escape;
    m_escape = nullptr;
    if (givenUp)
        return;
    if (read.loaded.error != reader::LoadError::None) {
        if (path.isEmpty())
            showMessage(m_window, u"Не удалось прочитать изображение: %1."_s.arg(reason(read.loaded)));
        else
            showMessage(m_window, u"Не удалось прочитать изображение из файла «%1»: %2."_s.arg(QDir::toNativeSeparators(path),
                                                                                               reason(read.loaded)));
        return;
    }
    take(read.codes);
}

// What the field takes of a code read: an EAN-13 or UPC-A code as its 13 digits, a UPC-E code as
// the 12 digits of the UPC-A number it stands for; nothing of an EAN-8 code.
QString ImageInput::entryOf(const reader::Code &code)
{
    switch (code.symbology) {
    case reader::Symbology::Ean13:
    case reader::Symbology::UpcA:
        return code.digits;
    case reader::Symbology::UpcE:
        if (const auto upcA = ean13::expandUpcE(code.digits.left(7).toStdString()))
            return QString::fromStdString(*upcA) + code.digits.back();
        return {};
    case reader::Symbology::Ean8:
        return {};
    }
    return {};
}

void ImageInput::take(const reader::Codes &codes)
{
    QStringList entries, ean8;
    for (const reader::Code &code : codes) {
        if (code.symbology == reader::Symbology::Ean8)
            ean8.append(code.digits);
        else if (const QString entry = entryOf(code); !entry.isEmpty())
            entries.append(entry);
    }
    if (entries.isEmpty()) {
        if (ean8.isEmpty())
            showMessage(m_window, fromUtf8(ean13::NoCodeInImage));
        else if (ean8.size() == 1)
            showMessage(m_window, u"В изображении найден код EAN-8 %1. Программа анализирует коды EAN-13 и UPC-A; "
                                  u"код EAN-8 анализирует команда «ean13 check --gtin»."_s.arg(ean8.front()));
        else
            showMessage(m_window, u"В изображении найдены коды EAN-8: %1. Программа анализирует коды EAN-13 и UPC-A; "
                                  u"коды EAN-8 анализирует команда «ean13 check --gtin»."_s.arg(ean8.join(u", "_s)));
        return;
    }
    QString code;
    if (entries.size() == 1) {
        code = entries.front();
    } else {
        QInputDialog choice(dialogOwner(m_window));   // above the picture window, as a message box
        choice.setWindowFlag(Qt::WindowStaysOnTopHint);
        choice.setWindowTitle(ApplicationTitle);
        choice.setLabelText(u"В изображении несколько кодов. Выберите один:"_s);
        choice.setComboBoxItems(entries);
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
