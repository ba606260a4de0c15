#include "listwindow.h"

#include "symbolactions.h"
#include "wholefile.h"
#include "xlsxreport.h"
#include "windows.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMimeData>
#include <QProgressBar>
#include <QScreen>
#include <QScrollBar>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QThread>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <set>

using namespace Qt::Literals::StringLiterals;

namespace {

QString number(long long n)
{
    return QLocale(QLocale::Russian).toString(n);   // 1 000 000, whatever the desktop's language
}

// Column widths that fit their texts in the window's font, measured once rather than over a
// million rows. The verdict column fits the warning on a wrong check digit; a longer error is
// cut short there and shown whole in its tool-tip.
int setColumnWidths(QTableView *table)
{
    QFont bold = table->font();
    bold.setBold(true);   // the rows of a wrong check digit, the widest
    const QFontMetrics fm(bold);
    const auto width = [&fm](const QString &sample) { return fm.horizontalAdvance(sample) + 14; };
    QHeaderView *header = table->horizontalHeader();
    const QFontMetrics headerFm(header->font());
    const auto headed = [&](int column, int cells) {
        const int w = std::max(cells, headerFm.horizontalAdvance(
                                          table->model()->headerData(column, Qt::Horizontal).toString()) + 24);
        header->resizeSection(column, w);
        return w;
    };
    return headed(ListModel::LineColumn, width(u"0000000"_s)) + headed(ListModel::CodeColumn, width(u"48200000000000"_s))
           + headed(ListModel::VerdictColumn, width(u"ВНИМАНИЕ! В коде некорректна контрольная сумма!"_s))
           + headed(ListModel::ExpectedColumn, 0) + headed(ListModel::CorrectedColumn, width(u"4820000000000"_s))
           + headed(ListModel::CountryColumn, width(u"США (Канада)"_s)) + width(u"GS1 Великобритания"_s);
}

// A field of the report as Excel reads CSV: quoted where it holds the delimiter, a quote or a line
// break; and a field that Excel would take for a formula (=, +, -, @ first) is kept as text by an
// apostrophe in front, so that a list's cell never runs as a formula in the report.
void appendCsvField(QByteArray &out, const QString &field)
{
    QString text = field;
    if (!text.isEmpty() && QStringView(u"=+-@\t\r").contains(text.front()))
        text.prepend(u'\'');
    const bool quoted = text.contains(u';') || text.contains(u'"') || text.contains(u'\n') || text.contains(u'\r');
    if (!quoted) {
        out += text.toUtf8();
        return;
    }
    out += '"';
    out += text.replace(u'"', u"\"\""_s).toUtf8();
    out += '"';
}

QString reportEntry(const ListModel *model, int row)
{
    // What the code column shows, but with the entry's own characters.
    QString shown = model->cellText(row, ListModel::CodeColumn);
    QString entry = model->entryText(row);
    if (shown.endsWith(u'…') && !entry.endsWith(u'…'))
        entry += u'…';
    return entry;
}


} // namespace

ListWindow::ListWindow(const QString &path, std::function<void(const QString &)> useCode, QWidget *parent)
    : QWidget(parent, Qt::Window),
      fileLabel(new QLabel(this)),
      columnBox(new QComboBox(this)),
      errorsOnlyBox(new QCheckBox(u"Только ошибки"_s, this)),
      table(new QTableView(this)),
      progress(new QProgressBar(this)),
      cancelButton(new QPushButton(u"Отменить"_s, this)),
      summary(new QLabel(this)),
      note(new QLabel(this)),
      m_path(QFileInfo(path).absoluteFilePath()),
      m_useCode(std::move(useCode)),
      m_model(new ListModel(this))
{
    setObjectName(u"ListWindow"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(u"Проверка списка: %1"_s.arg(QFileInfo(path).fileName()));
    fileLabel->setObjectName(u"fileLabel"_s);
    columnBox->setObjectName(u"columnBox"_s);
    errorsOnlyBox->setObjectName(u"errorsOnlyBox"_s);
    table->setObjectName(u"table"_s);
    progress->setObjectName(u"progress"_s);
    cancelButton->setObjectName(u"cancelButton"_s);
    summary->setObjectName(u"summary"_s);
    note->setObjectName(u"note"_s);

    fileLabel->setText(QDir::toNativeSeparators(m_path));
    fileLabel->setTextFormat(Qt::PlainText);
    columnBox->setToolTip(u"Столбец файла, в котором записаны коды"_s);
    columnBox->setEnabled(false);
    columnBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto *columnLabel = new QLabel(u"Столбец с кодами:"_s, this);
    columnLabel->setBuddy(columnBox);
    errorsOnlyBox->setToolTip(u"Показывать только записи с ошибкой"_s);

    table->setModel(m_model);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setWordWrap(false);
    table->setTextElideMode(Qt::ElideRight);
    table->verticalHeader()->hide();
    // Every row as high as the font: the view then never measures a million rows.
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->horizontalHeader()->setStretchLastSection(true);
    table->horizontalHeader()->setSortIndicator(ListModel::LineColumn, Qt::AscendingOrder);
    const int tableWidth = setColumnWidths(table) + 2 * table->frameWidth() + table->verticalScrollBar()->sizeHint().width();

    progress->setRange(0, 1000);
    progress->setFormat(u"Прочитано %p%"_s);
    note->setTextFormat(Qt::PlainText);
    note->setWordWrap(true);
    note->hide();

    auto *top = new QHBoxLayout;
    top->addWidget(fileLabel, 1);
    top->addWidget(columnLabel);
    top->addWidget(columnBox);
    top->addWidget(errorsOnlyBox);
    auto *reading = new QHBoxLayout;
    reading->addWidget(progress, 1);
    reading->addWidget(cancelButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(reading);
    layout->addWidget(table, 1);
    layout->addWidget(note);
    layout->addWidget(summary);
    const QRect screen = this->screen()->availableGeometry();
    resize(std::min(tableWidth + 2 * layout->contentsMargins().left(), screen.width() - 40),
           std::min(560, screen.height() - 80));
    centreOnFirstShow(this);

    connect(cancelButton, &QPushButton::clicked, this, &ListWindow::cancelReading);
    connect(errorsOnlyBox, &QCheckBox::toggled, m_model, &ListModel::setErrorsOnly);
    connect(columnBox, &QComboBox::activated, this, &ListWindow::columnChosen);
    connect(table, &QTableView::activated, this, &ListWindow::useRow);   // double-click or Enter
    connect(m_model, &ListModel::countsChanged, this, &ListWindow::showSummary);
    auto *save = new QShortcut(QKeySequence::Save, this);
    connect(save, &QShortcut::activated, this, &ListWindow::saveReport);
    auto *copy = new QShortcut(QKeySequence::Copy, this);
    connect(copy, &QShortcut::activated, this, &ListWindow::copyRows);

    showSummary();
    start(ListReadOptions{m_path});
    table->setFocus();
}

ListWindow::~ListWindow()
{
    stopThread();
}

void ListWindow::stopThread()
{
    if (!m_thread)
        return;
    m_cancel->store(true);
    m_thread->wait();   // the reading looks at the flag after every piece it reads
    m_thread.reset();
}

void ListWindow::start(ListReadOptions options)
{
    stopThread();
    const int generation = ++m_generation;
    m_cancelled = false;
    m_model->clear();
    table->setSortingEnabled(false);   // the rows come in the file's order until the end
    table->horizontalHeader()->setSortIndicator(ListModel::LineColumn, Qt::AscendingOrder);
    progress->setValue(0);
    progress->show();
    cancelButton->show();
    cancelButton->setEnabled(true);
    note->hide();
    m_cancel = std::make_shared<std::atomic<bool>>(false);

    // The callbacks run on the reading thread: each hands its news to the window's thread, where a
    // reading that has been replaced meanwhile is recognised by its generation.
    auto callbacks = std::make_shared<ListReadCallbacks>();
    callbacks->layout = [this, generation](const ListLayout &layout) {
        QMetaObject::invokeMethod(this, [this, generation, layout] {
            if (generation == m_generation)
                layoutKnown(layout);
        }, Qt::QueuedConnection);
    };
    callbacks->batch = [this, generation](ListBatch &&batch, long long done, long long size) {
        auto shared = std::make_shared<ListBatch>(std::move(batch));
        QMetaObject::invokeMethod(this, [this, generation, shared, done, size] {
            if (generation == m_generation)
                takeBatch(std::move(*shared), done, size);
        }, Qt::QueuedConnection);
    };
    callbacks->end = [this, generation](const QString &problem) {
        QMetaObject::invokeMethod(this, [this, generation, problem] {
            if (generation == m_generation)
                finished(problem);
        }, Qt::QueuedConnection);
    };
    m_thread.reset(QThread::create([options = std::move(options), callbacks, cancel = m_cancel] {
        readList(options, *callbacks, *cancel);
    }));
    m_thread->start();
}

void ListWindow::cancelReading()
{
    if (!m_thread)
        return;
    m_cancelled = true;
    m_cancel->store(true);
    cancelButton->setEnabled(false);
}

void ListWindow::layoutKnown(const ListLayout &layout)
{
    m_layout = layout;
    columnBox->clear();
    for (int i = 0; i < layout.columnNames.size(); ++i) {
        const QString name = layout.columnNames[i].left(40);
        columnBox->addItem(name.isEmpty() ? u"%1"_s.arg(i + 1) : u"%1: %2"_s.arg(i + 1).arg(name));
    }
    columnBox->setEnabled(layout.columnNames.size() > 1);
    if (layout.column > 0)
        columnBox->setCurrentIndex(layout.column - 1);
    // A record without the column names it as the header does, or by its number.
    const QString name = layout.header && layout.column > 0 && layout.column <= layout.columnNames.size()
                             ? layout.columnNames[layout.column - 1] : QString();
    m_model->setMissingColumnName(name.isEmpty() ? QString::number(layout.column) : name);
}

void ListWindow::takeBatch(ListBatch &&batch, long long done, long long size)
{
    m_model->append(std::move(batch));
    if (size > 0)
        progress->setValue(static_cast<int>(std::min<long long>(1000, done * 1000 / size)));
    else
        progress->setRange(0, 0);   // a file that does not say how long it is: the bar just moves
}

void ListWindow::finished(const QString &problem)
{
    m_thread->wait();
    m_thread.reset();
    progress->hide();
    cancelButton->hide();
    m_model->inFileOrder();
    table->horizontalHeader()->setSortIndicator(ListModel::LineColumn, Qt::AscendingOrder);
    table->setSortingEnabled(true);   // by the line, as read
    QString text;
    if (m_cancelled)
        text = u"Чтение прервано: показаны первые %1 записей файла."_s.arg(number(m_model->total()));
    else if (!problem.isEmpty())
        text = u"Файл %1: %2."_s.arg(QDir::toNativeSeparators(m_path), problem);
    note->setText(text);
    note->setVisible(!text.isEmpty());
    if (!m_cancelled && !problem.isEmpty() && m_model->total() == 0 && isVisible())
        showMessage(this, u"Не удалось прочитать список %1: %2."_s.arg(QDir::toNativeSeparators(m_path), problem));
}

void ListWindow::showSummary()
{
    summary->setText(u"Всего: %1, верных: %2, с ошибкой: %3"_s.arg(number(m_model->total()), number(m_model->correct()),
                                                                    number(m_model->wrong())));
}

void ListWindow::columnChosen(int index)
{
    if (index < 0 || index + 1 == m_layout.column)
        return;
    ListReadOptions options{m_path};
    options.column = index + 1;
    options.header = m_layout.header;
    start(options);
}

void ListWindow::useRow(const QModelIndex &index)
{
    if (index.isValid() && m_useCode)
        m_useCode(m_model->entryText(index.row()));
}

void ListWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        if (loading())
            cancelReading();
        else
            close();
        return;
    }
    QWidget::keyPressEvent(event);
}

QByteArray ListWindow::csvReport() const
{
    QByteArray out("\xEF\xBB\xBF");   // the byte-order mark: Excel reads UTF-8 only with it
    for (int c = 0; c < ListModel::ColumnCount; ++c) {
        if (c)
            out += ';';
        appendCsvField(out, m_model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
    }
    out += "\r\n";
    const int rows = m_model->rowCount();
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < ListModel::ColumnCount; ++c) {
            if (c)
                out += ';';
            appendCsvField(out, c == ListModel::CodeColumn ? reportEntry(m_model, r) : m_model->cellText(r, c));
        }
        out += "\r\n";
    }
    return out;
}

void ListWindow::saveReport()
{
    const QStringList filters{u"Таблица CSV для Excel (*.csv)"_s, u"Книга Excel (*.xlsx)"_s};
    QFileDialog dialog(this, u"Сохранить отчёт"_s);
    dialog.setObjectName(u"SaveReportDialog"_s);
    dialog.setOption(QFileDialog::DontUseNativeDialog);   // the same dialog on every desktop, and in tests
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(filters);
    const QFileInfo source(m_path);
    dialog.setDirectory(source.absolutePath());
    dialog.selectFile(source.completeBaseName() + u"-отчёт.csv"_s);
    const bool accepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    giveFocus(table);   // the dialog gone, no window would be active
    if (!accepted)
        return;
    QString path = dialog.selectedFiles().constFirst();
    QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix.isEmpty() && !QFileInfo::exists(path)) {   // a device or a file named so stays as named
        suffix = dialog.selectedNameFilter() == filters[1] ? u"xlsx"_s : u"csv"_s;
        path += u'.' + suffix;
    }
    const bool xlsx = suffix == u"xlsx"_s;
    if (xlsx && m_model->rowCount() + 1 > ean13::MaxXlsxRows) {
        showMessage(this, u"В листе Excel помещается не больше %1 строк, а в отчёте их %2: сохраните его как CSV "
                          u"или оставьте только ошибки."_s.arg(number(ean13::MaxXlsxRows - 1), number(m_model->rowCount())));
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ean13::WriteError e;
    if (xlsx) {
        ean13::TextTable report;
        report.rows = m_model->rowCount() + 1;
        report.columns = ListModel::ColumnCount;
        report.cell = [this](int row, int column) {
            if (row == 0)
                return m_model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
            return column == ListModel::CodeColumn ? reportEntry(m_model, row - 1) : m_model->cellText(row - 1, column);
        };
        report.width = [](int column) {
            static const int Widths[ListModel::ColumnCount] = {8, 16, 52, 13, 17, 22, 22};
            return Widths[column];
        };
        e = ean13::saveXlsx(path, report, u"Отчёт"_s);
    } else {
        e = ean13::saveWhole(path, csvReport());
    }
    QApplication::restoreOverrideCursor();
    if (!e.ok())
        showMessage(this, u"Не удалось сохранить файл %1: %2"_s.arg(QDir::toNativeSeparators(path), writeReason(e)));
}

void ListWindow::copyRows()
{
    std::set<int> rows;
    for (const QModelIndex &index : table->selectionModel()->selectedIndexes())
        rows.insert(index.row());
    if (rows.empty() && table->currentIndex().isValid())
        rows.insert(table->currentIndex().row());   // the row the cursor is on, where none is selected
    if (rows.empty())
        return;
    QString text;
    for (int r : rows) {
        for (int c = 0; c < ListModel::ColumnCount; ++c) {
            if (c)
                text += u'\t';
            QString cell = c == ListModel::CodeColumn ? reportEntry(m_model, r) : m_model->cellText(r, c);
            cell.replace(u'\t', u' ').replace(u'\n', u' ').replace(u'\r', u' ');
            if (!cell.isEmpty() && QStringView(u"=+-@").contains(cell.front()))
                cell.prepend(u'\'');   // pasted into a spreadsheet, text rather than a formula
            text += cell;
        }
        text += u'\n';
    }
    QGuiApplication::clipboard()->setText(text);
}

// ---- The ways in ------------------------------------------------------------------------------

ListInput::ListInput(QWidget *window, QLineEdit *field, std::function<void()> analyse)
    : QObject(window), m_window(window), m_field(field), m_analyse(std::move(analyse))
{
    // Installed after the image reading's filter, so seen first: lists stop here, the rest goes on.
    window->setAcceptDrops(true);
    window->installEventFilter(this);
    for (QWidget *child : window->findChildren<QWidget *>())
        if (child->acceptDrops())
            child->installEventFilter(this);
    auto *openKey = new QShortcut(QKeySequence::Open, window);
    connect(openKey, &QShortcut::activated, this, &ListInput::openWithDialog);
}

QStringList ListInput::droppedLists(const QMimeData *data)
{
    QStringList lists;
    for (const QUrl &url : data->urls())
        if (url.isLocalFile() && isListFile(url.toLocalFile()))
            lists << url.toLocalFile();
    return lists;
}

bool ListInput::eventFilter(QObject *, QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDropEvent *>(event);
        if (droppedLists(drag->mimeData()).isEmpty())
            return false;
        drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const QStringList lists = droppedLists(drop->mimeData());
        if (lists.isEmpty())
            return false;
        drop->acceptProposedAction();
        open(lists);
        return true;
    }
    default:
        return false;
    }
}

void ListInput::open(const QStringList &paths)
{
    for (const QString &path : paths) {
        const auto open = m_window->findChildren<ListWindow *>(Qt::FindDirectChildrenOnly);
        auto *window = new ListWindow(path, [this](const QString &code) { useCode(code); }, m_window);
        window->show();   // centred
        // Several at once lie over each other a little down and to the right, each title in sight.
        const int step = 28 * static_cast<int>(open.size() % 8);
        window->move(window->pos() + QPoint(step, step));
        window->activateWindow();
    }
}

void ListInput::openWithDialog()
{
    QFileDialog dialog(m_window, u"Открыть список кодов"_s);
    dialog.setObjectName(u"OpenListDialog"_s);
    dialog.setOption(QFileDialog::DontUseNativeDialog);   // the same dialog on every desktop, and in tests
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters(listFileFilter().split(u";;"_s));
    dialog.setDirectory(QDir::currentPath());
    if (dialog.exec() != QDialog::Accepted) {
        giveFocus(m_field);   // the dialog gone, no window would be active
        return;
    }
    open(dialog.selectedFiles());
}

void ListInput::useCode(const QString &code)
{
    m_field->setText(code);   // as if typed: the field takes its first 13 characters
    m_analyse();
    giveFocus(m_field);
}
