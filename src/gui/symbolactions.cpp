#include "symbolactions.h"

#include "printing.h"
#include "symbolwriter.h"
#include "wholefile.h"
#include "windows.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QWidget>

#include <algorithm>
#include <cerrno>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString NameFilters[] = {u"SVG (*.svg)"_s, u"PNG (*.png)"_s, u"PDF (*.pdf)"_s};

QAction *makeAction(QWidget *window, const QString &text, const QKeySequence &keys)
{
    auto *action = new QAction(text, window);
    action->setShortcut(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    window->addAction(action);
    return action;
}


const QString NotReadBack = u"Проверка не прошла: декодер не прочитал нарисованный штрих-код. Ничего не записано."_s;

} // namespace

// Why a file was not saved, in the words of the rest of the window; the system's own words for
// anything rarer.
QString writeReason(const ean13::WriteError &e)
{
    switch (e.problem) {
    case ean13::WriteProblem::None: return {};
    case ean13::WriteProblem::DanglingLink: return u"это ссылка на файл, которого нет"_s;
    case ean13::WriteProblem::Directory: return u"это папка, а не файл"_s;
    case ean13::WriteProblem::LinkInFolder: return u"это символическая ссылка"_s;
    case ean13::WriteProblem::NotRegularInFolder: return u"это не обычный файл, а канал, устройство или сокет"_s;
    case ean13::WriteProblem::System: break;
    }
    switch (e.code) {
    case ENOSPC: return u"на диске нет места"_s;
#ifdef EDQUOT
    case EDQUOT: return u"исчерпана дисковая квота"_s;
#endif
    case EFBIG: return u"файл больше, чем разрешено"_s;
    case EACCES:
    case EPERM: return u"нет прав на запись"_s;
    case EROFS: return u"диск доступен только для чтения"_s;
    case ENOENT: return u"такой папки нет"_s;
    case ENOTDIR: return u"часть пути не папка"_s;
    case EIO: return u"ошибка ввода-вывода"_s;
    case ENAMETOOLONG: return u"слишком длинное имя"_s;
    default: return e.systemText;
    }
}

SymbolActions::SymbolActions(QWidget *window, std::function<QString()> code)
    : QObject(window),
      copyAction(makeAction(window, u"Копировать"_s, QKeySequence(Qt::CTRL | Qt::Key_C))),
      saveAction(makeAction(window, u"Сохранить как…"_s, QKeySequence(Qt::CTRL | Qt::Key_S))),
      printAction(makeAction(window, u"Печать…"_s, QKeySequence(Qt::CTRL | Qt::Key_P))),
      hideAction(makeAction(window, u"Скрыть"_s, QKeySequence(Qt::Key_Escape))),
      m_window(window),
      m_code(std::move(code))
{
    connect(copyAction, &QAction::triggered, this, &SymbolActions::copy);
    connect(saveAction, &QAction::triggered, this, &SymbolActions::saveAs);
    connect(printAction, &QAction::triggered, this, &SymbolActions::print);
    connect(hideAction, &QAction::triggered, window, &QWidget::close);   // the close box's way, focus rules included
    window->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(window, &QWidget::customContextMenuRequested, this, &SymbolActions::showContextMenu);
}

void SymbolActions::showContextMenu(const QPoint &at)
{
    QMenu menu(m_window);
    menu.setObjectName(u"SymbolMenu"_s);
    menu.addAction(copyAction);
    menu.addAction(saveAction);
    menu.addAction(printAction);
    menu.exec(m_window->mapToGlobal(at));
}

QString SymbolActions::digitsOrRefuse()
{
    const ean13::Analysis a = ean13::analyse(toCode(m_code()));
    if (a.status == ean13::Status::Ok)
        return toQString(a.entry.code);
    if (a.status == ean13::Status::BadCheckDigit) {
        const QString right = toQString(*ean13::correctedCode(a));
        showMessage(m_window, u"Контрольная цифра неверна: последней цифрой должна быть %1 (%2). "
                              u"Штрих-код с неверной контрольной цифрой не создаётся."_s
                                  .arg(*a.expectedCheckDigit)
                                  .arg(right));
    }
    return {};   // the window shows no other code
}

void SymbolActions::copy()
{
    const QString digits = digitsOrRefuse();
    if (digits.isEmpty())
        return;
    const ean13::RenderSettings settings;
    ean13::Rendered image = ean13::renderImage(toCode(digits), settings);
    ean13::Rendered svg = ean13::renderSymbol(toCode(digits), ean13::SymbolFormat::Svg, settings);
    if (image.error != ean13::RenderError::None || svg.error != ean13::RenderError::None) {
        showMessage(m_window, NotReadBack);
        return;
    }
    auto *data = new QMimeData;
    data->setImageData(image.image);
    data->setData(u"image/svg+xml"_s, svg.bytes);
    data->setText(digits);
    QGuiApplication::clipboard()->setMimeData(data);
}

void SymbolActions::saveAs()
{
    const QString digits = digitsOrRefuse();
    if (digits.isEmpty())
        return;
    QFileDialog dialog(m_window, u"Сохранить штрих-код"_s);
    dialog.setObjectName(u"SaveSymbolDialog"_s);
    dialog.setOption(QFileDialog::DontUseNativeDialog);   // the same dialog on every desktop, and in tests
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(QStringList(std::begin(NameFilters), std::end(NameFilters)));
    dialog.setDirectory(QDir::currentPath());
    dialog.selectFile(digits + u".svg"_s);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    QString path = dialog.selectedFiles().constFirst();
    std::optional<ean13::SymbolFormat> format = ean13::symbolFormat(QFileInfo(path).suffix());
    if (!format) {   // no known extension: the chosen filter's
        const int filter = static_cast<int>(std::find(std::begin(NameFilters), std::end(NameFilters), dialog.selectedNameFilter())
                                            - std::begin(NameFilters));
        format = filter == 1 ? ean13::SymbolFormat::Png : filter == 2 ? ean13::SymbolFormat::Pdf : ean13::SymbolFormat::Svg;
        path += u'.' + ean13::suffix(*format);
    }
    const ean13::Rendered r = ean13::renderSymbol(toCode(digits), *format, ean13::RenderSettings{});
    if (r.error != ean13::RenderError::None) {
        showMessage(m_window, NotReadBack);
        return;
    }
    if (const ean13::WriteError e = ean13::saveWhole(path, r.bytes); !e.ok())
        showMessage(m_window, u"Не удалось сохранить файл %1: %2"_s.arg(QDir::toNativeSeparators(path), writeReason(e)));
}

void SymbolActions::print()
{
    const QString digits = digitsOrRefuse();
    if (digits.isEmpty())
        return;
    const ean13::RenderSettings settings;
    const std::optional<ean13::Symbol> symbol = ean13::layoutSymbol(toCode(digits), settings.symbol);
    if (!symbol || ean13::renderImage(toCode(digits), settings).error != ean13::RenderError::None) {
        showMessage(m_window, NotReadBack);
        return;
    }
    // True size: a module is X millimetres on paper, whatever the printer's resolution.
    if (ean13::printSymbol(m_window, digits, *symbol, settings.symbol.xMm) == ean13::PrintResult::NotStarted)
        showMessage(m_window, u"Не удалось начать печать."_s);
}
