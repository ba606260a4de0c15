// The list window, driven as a person would: opened by Ctrl+O and the file dialog, by a dropped
// file, worked with keys and clicks (filter, sort, the column, Enter on a row, Ctrl+C, Ctrl+S), a
// large file read while the keys go on working and given up with Escape; the saved report
// compared with ean13 check --json on the same file.
#include "gui.h"
#include "listwindow.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QTableView>
#include <QTemporaryDir>

#include <functional>
#include <memory>

#ifndef _WIN32
#include <sys/stat.h>
#endif

using namespace Qt::Literals::StringLiterals;

namespace {

// The texts a person reads, spelled here on their own.
const QString CorrectVerdict = u"Контрольная сумма в коде корректна!"_s;
const QString WrongVerdict = u"ВНИМАНИЕ! В коде некорректна контрольная сумма!"_s;
const QString LengthError = u"ОШИБКА! Длинна введенного кода отличается от 12-13!"_s;
const QString NonDigitError = u"ОШИБКА! В коде присутствуют символы отличные от цифр!"_s;
const QColor Red(255, 0, 0);
const QColor Blue(0, 0, 255);

// A price list as an office keeps it: a header, the codes in the third column, every kind of
// entry, and a last record that lacks the column.
const QByteArray PriceList = "N;Товар;EAN;Цена\r\n"
                             "1;Хлеб;4820000000000;25\r\n"
                             "2;Молоко;4820000000001;60\r\n"
                             "3;Сыр;036000291452;100\r\n"
                             "4;Соль;48200000000A0;12\r\n"
                             "5;Чай;12345;80\r\n"
                             "6;Вода\r\n";

QString write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// Types `path` into the file dialog's name field and presses Enter.
void answerFileDialog(const QString &path)
{
    whenOpen<QFileDialog>([path](QFileDialog *dialog) {
        auto *name = dialog->findChild<QLineEdit *>(u"fileNameEdit"_s);
        QVERIFY(name);
        QTRY_VERIFY(name->hasFocus());
        name->selectAll();
        type(path);
        press(Qt::Key_Return);
    });
}

QList<ListWindow *> listWindows()
{
    return MainForm->findChildren<ListWindow *>();
}

// The list window that the last action opened, once it has read its file.
ListWindow *openedList()
{
    if (!QTest::qWaitFor([] { return listWindows().size() == 1; }))
        return nullptr;
    ListWindow *window = listWindows().constFirst();
    if (!QTest::qWaitFor([window] { return !window->loading(); }, 20000))
        return nullptr;
    return window;
}

QStringList rowTexts(const QTableView *table, int row)
{
    QStringList cells;
    for (int c = 0; c < table->model()->columnCount(); ++c)
        cells << table->model()->index(row, c).data().toString();
    return cells;
}

QStringList columnTexts(const QTableView *table, int column)
{
    QStringList cells;
    for (int r = 0; r < table->model()->rowCount(); ++r)
        cells << table->model()->index(r, column).data().toString();
    return cells;
}

// Drags the data over the main window and lets go at `point`, as the windowing system hands a drop over.
bool drop(QMimeData *data, QPoint point)
{
    QWindow *window = MainForm->windowHandle();
    QDragEnterEvent enter(point, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    QDragMoveEvent move(point, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &move);
    if (!move.isAccepted())
        return false;
    QDropEvent dropped(QPointF(point), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &dropped);
    return dropped.isAccepted();
}

void clickHeader(QTableView *table, int column)
{
    QHeaderView *header = table->horizontalHeader();
    const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
}

// Reads a CSV report as Excel would: the byte-order mark, semicolons, quoted fields, CRLF.
QList<QStringList> readReport(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = file.readAll();
    if (!bytes.startsWith("\xEF\xBB\xBF"))
        return {{u"no byte-order mark"_s}};
    const QString text = QString::fromUtf8(bytes.mid(3));
    QList<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u';') {
            record << field;
            field.clear();
        } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            record << field;
            field.clear();
            records << record;
            record.clear();
            ++i;
        } else {
            field += c;
        }
    }
    return records;
}

} // namespace

class TestListWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void openedByCtrlO();
    void droppedFiles_data();
    void droppedFiles();
    void filterAndSort();
    void enterOnRowAnalyses_data();
    void enterOnRowAnalyses();
    void copiesSelectedRows();
    void reportMatchesTheCommandLine();
    void reportKeepsFormulasAsText();
    void reportAsXlsx();
    void savingFailsLoudly();
    void anotherColumn();
    void filesThatAreNoLists_data();
    void filesThatAreNoLists();
    void windows1251();
    void largeFileKeysAndCancel();

private:
    std::unique_ptr<Started> m_started;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestListWindow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_started = std::make_unique<Started>();
}

void TestListWindow::cleanup()
{
    m_started.reset();
    m_dir.reset();
}

void TestListWindow::openedByCtrlO()
{
    const QString path = write(m_dir->filePath(u"prices.csv"_s), PriceList);
    answerFileDialog(path);
    press(Qt::Key_O, Qt::ControlModifier);
    ListWindow *window = openedList();
    QVERIFY(window);
    QTRY_VERIFY(window->isActiveWindow());
    QCOMPARE(window->windowTitle(), u"Проверка списка: prices.csv"_s);
    QVERIFY(!window->progress->isVisible());

    const QTableView *table = window->table;
    QCOMPARE(table->model()->rowCount(), 6);
    QStringList headers;
    for (int c = 0; c < table->model()->columnCount(); ++c)
        headers << table->model()->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(headers, (QStringList{u"Строка"_s, u"Код"_s, u"Результат"_s, u"Верная цифра"_s, u"Исправленный код"_s,
                                   u"Страна"_s, u"Выдан GS1"_s}));
    QCOMPARE(rowTexts(table, 0), (QStringList{u"2"_s, u"4820000000000"_s, CorrectVerdict, u"0"_s, QString(),
                                              u"Украина"_s, u"GS1 Украина"_s}));
    QCOMPARE(rowTexts(table, 1), (QStringList{u"3"_s, u"4820000000001"_s, WrongVerdict, u"0"_s, u"4820000000000"_s,
                                              u"Украина"_s, u"GS1 Украина"_s}));
    QCOMPARE(rowTexts(table, 2), (QStringList{u"4"_s, u"036000291452"_s, CorrectVerdict, u"2"_s, QString(),
                                              u"США (Канада)"_s, u"GS1 США"_s}));
    QCOMPARE(rowTexts(table, 3), (QStringList{u"5"_s, u"48200000000A0"_s, NonDigitError, QString(), QString(), QString(), QString()}));
    QCOMPARE(rowTexts(table, 4), (QStringList{u"6"_s, u"12345"_s, LengthError, QString(), QString(), QString(), QString()}));
    QCOMPARE(rowTexts(table, 5), (QStringList{u"7"_s, QString(), u"В записи нет столбца «EAN»."_s, QString(), QString(),
                                              QString(), QString()}));
    QCOMPARE(window->summary->text(), u"Всего: 6, верных: 2, с ошибкой: 4"_s);
    QCOMPARE(window->columnBox->currentText(), u"3: EAN"_s);

    // Red for a rejected entry, blue otherwise; the wrong check digit stands out in bold.
    const QList<QColor> colours{Blue, Blue, Blue, Red, Red, Red};
    for (int r = 0; r < 6; ++r)
        QCOMPARE(table->model()->index(r, ListModel::VerdictColumn).data(Qt::ForegroundRole).value<QBrush>().color(),
                 colours[r]);
    QVERIFY(table->model()->index(1, ListModel::CodeColumn).data(Qt::FontRole).value<QFont>().bold());
    QVERIFY(!table->model()->index(0, ListModel::CodeColumn).data(Qt::FontRole).value<QFont>().bold());

    // What a person sees: red and blue text in the table.
    QImage image(table->viewport()->size(), QImage::Format_RGB32);
    table->viewport()->render(&image);
    int red = 0, blue = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            red += c.red() > 200 && c.green() < 80 && c.blue() < 80;
            blue += c.blue() > 200 && c.red() < 80 && c.green() < 80;
        }
    QVERIFY2(red > 50 && blue > 50, qPrintable(u"red %1, blue %2"_s.arg(red).arg(blue)));

    // Escape closes it; the main window goes on.
    press(Qt::Key_Escape);
    QTRY_VERIFY(listWindows().isEmpty());
    QVERIFY(MainForm->isVisible());
}

void TestListWindow::droppedFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("list");
    QTest::newRow("CSV") << u"codes.csv"_s << true;
    QTest::newRow("TXT") << u"codes.txt"_s << true;
    QTest::newRow("CSV in capitals") << u"CODES.CSV"_s << true;
    QTest::newRow("a picture goes on to the image reading") << u"codes.png"_s << false;
}

void TestListWindow::droppedFiles()
{
    QFETCH(QString, name);
    QFETCH(bool, list);
    const QString path = write(m_dir->filePath(name), "4820000000000\n4820000000001\n");
    auto data = std::make_unique<QMimeData>();
    data->setUrls({QUrl::fromLocalFile(path)});
    if (list) {
        QVERIFY(drop(data.get(), QPoint(130, 100)));   // over the results list
        ListWindow *window = openedList();
        QVERIFY(window);
        QCOMPARE(columnTexts(window->table, ListModel::CodeColumn), (QStringList{u"4820000000000"_s, u"4820000000001"_s}));
        QVERIFY(!window->columnBox->isEnabled());   // one column: nothing to choose
    } else {
        // The image reading takes it and says the file is no picture.
        const SeenBox box = readMessageBoxOf([&data] { QVERIFY(drop(data.get(), QPoint(130, 100))); });
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QVERIFY(listWindows().isEmpty());
        Q_UNUSED(box);
    }
}

void TestListWindow::filterAndSort()
{
    const QString path = write(m_dir->filePath(u"prices.csv"_s), PriceList);
    MainForm->findChild<ListInput *>()->open({path});
    ListWindow *window = openedList();
    QVERIFY(window);
    QTableView *table = window->table;

    // Space on the box, reached by the mouse, as a person ticks it.
    click(window->errorsOnlyBox);
    QVERIFY(window->errorsOnlyBox->isChecked());
    QCOMPARE(columnTexts(table, ListModel::LineColumn), (QStringList{u"3"_s, u"5"_s, u"6"_s, u"7"_s}));
    QCOMPARE(window->summary->text(), u"Всего: 6, верных: 2, с ошибкой: 4"_s);   // the whole file still

    clickHeader(table, ListModel::CodeColumn);
    QCOMPARE(columnTexts(table, ListModel::CodeColumn),
             (QStringList{QString(), u"12345"_s, u"4820000000001"_s, u"48200000000A0"_s}));
    clickHeader(table, ListModel::CodeColumn);
    QCOMPARE(columnTexts(table, ListModel::CodeColumn),
             (QStringList{u"48200000000A0"_s, u"4820000000001"_s, u"12345"_s, QString()}));

    click(window->errorsOnlyBox);
    QCOMPARE(table->model()->rowCount(), 6);
    clickHeader(table, ListModel::CountryColumn);   // ascending: the rows without a country first
    QCOMPARE(columnTexts(table, ListModel::CountryColumn).mid(3),
             (QStringList{u"США (Канада)"_s, u"Украина"_s, u"Украина"_s}));
    clickHeader(table, ListModel::LineColumn);
    QCOMPARE(columnTexts(table, ListModel::LineColumn),
             (QStringList{u"2"_s, u"3"_s, u"4"_s, u"5"_s, u"6"_s, u"7"_s}));
}

void TestListWindow::enterOnRowAnalyses_data()
{
    QTest::addColumn<bool>("doubleClick");
    QTest::newRow("Enter") << false;
    QTest::newRow("double-click") << true;
}

void TestListWindow::enterOnRowAnalyses()
{
    QFETCH(bool, doubleClick);
    const QString path = write(m_dir->filePath(u"prices.csv"_s), PriceList);
    MainForm->findChild<ListInput *>()->open({path});
    ListWindow *window = openedList();
    QVERIFY(window);
    QTRY_VERIFY(window->table->hasFocus());
    press(Qt::Key_Home, Qt::ControlModifier);   // the first row
    press(Qt::Key_Down);                        // the second: the wrong check digit
    QCOMPARE(window->table->currentIndex().row(), 1);
    if (doubleClick) {
        QTableView *table = window->table;
        const QPoint at = table->visualRect(table->model()->index(1, ListModel::CodeColumn)).center();
        // Through the window system, which turns two clicks into a double-click as a mouse would.
        QTest::mouseDClick(window->windowHandle(), Qt::LeftButton, {}, table->viewport()->mapTo(window, at));
    } else {
        press(Qt::Key_Return);
    }
    QCOMPARE(MainForm->Edit1->text(), u"4820000000001"_s);
    QCOMPARE(listLines(), (QStringList{WrongVerdict, u"----------------------------------------------------------"_s,
                                       u"Страна-производитель: Украина."_s}));
    QCOMPARE(listColour(), Blue);
    QVERIFY(MainForm->Button5->isEnabled());
    QTRY_VERIFY(MainForm->Edit1->hasFocus());
}

void TestListWindow::copiesSelectedRows()
{
    const QString path = write(m_dir->filePath(u"prices.csv"_s), PriceList);
    MainForm->findChild<ListInput *>()->open({path});
    ListWindow *window = openedList();
    QVERIFY(window);
    QTRY_VERIFY(window->table->hasFocus());
    press(Qt::Key_Home, Qt::ControlModifier);
    press(Qt::Key_Down, Qt::ShiftModifier);
    press(Qt::Key_Down, Qt::ShiftModifier);   // rows 1 to 3
    QGuiApplication::clipboard()->clear();
    press(Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(),
             u"2\t4820000000000\t%1\t0\t\tУкраина\tGS1 Украина\n"
             u"3\t4820000000001\t%2\t0\t4820000000000\tУкраина\tGS1 Украина\n"
             u"4\t036000291452\t%1\t2\t\tСША (Канада)\tGS1 США\n"_s.arg(CorrectVerdict, WrongVerdict));
}

// The report saved through the dialog says of every entry what ean13 check --json says.
void TestListWindow::reportMatchesTheCommandLine()
{
    // Every kind of entry, quotes and a delimiter inside a field, a UTF-8 byte-order mark.
    const QByteArray list = "\xEF\xBB\xBF"
                            "Наименование;Штрихкод\r\n"
                            "\"Хлеб; нарезной\";4820000000000\r\n"
                            "\"Сок \"\"Яблочный\"\"\";4820000000001\r\n"
                            "Сыр;036000291452\r\n"
                            "Соль;48200000000A0\r\n"
                            "Чай;12345\r\n"
                            "Мёд;48200000000000000\r\n"
                            "Вода\r\n"
                            "Рис;4600000000008\r\n"
                            "Кофе; 4820000000000\r\n";
    const QString path = write(m_dir->filePath(u"goods.csv"_s), list);
    MainForm->findChild<ListInput *>()->open({path});
    ListWindow *window = openedList();
    QVERIFY(window);
    QCOMPARE(window->model()->total(), 9);

    const QString report = m_dir->filePath(u"goods-report.csv"_s);
    answerFileDialog(report);
    press(Qt::Key_S, Qt::ControlModifier);
    QTRY_VERIFY(QFile::exists(report));
    const QList<QStringList> rows = readReport(report);
    QCOMPARE(rows.size(), 10);
    QCOMPARE(rows[0], (QStringList{u"Строка"_s, u"Код"_s, u"Результат"_s, u"Верная цифра"_s, u"Исправленный код"_s,
                                   u"Страна"_s, u"Выдан GS1"_s}));

    QProcess ean13;
    ean13.start(QStringLiteral(EAN13_EXE), {u"check"_s, u"--json"_s, u"--csv"_s, u"--header"_s, u"--column"_s,
                                            u"Штрихкод"_s, u"-i"_s, path});
    QVERIFY(ean13.waitForFinished(30000));
    const QList<QByteArray> records = ean13.readAllStandardOutput().trimmed().split('\n');
    QCOMPARE(records.size(), 9);
    for (int i = 0; i < records.size(); ++i) {
        const QJsonObject r = QJsonDocument::fromJson(records[i]).object();
        const QStringList &row = rows[i + 1];
        QCOMPARE(row.size(), 7);
        QCOMPARE(row[0], QString::number(r[u"line"_s].toInt()));
        if (r[u"status"_s].toString() == u"missing-column"_s) {
            QCOMPARE(row[2], u"В записи нет столбца «%1»."_s.arg(r[u"column"_s].toString()));
            continue;
        }
        QCOMPARE(row[1], r[u"entry"_s].toString());
        QCOMPARE(row[2], r[u"lines"_s].toArray().first().toString());
        QCOMPARE(row[3], r.contains(u"expected_check_digit"_s) ? QString::number(r[u"expected_check_digit"_s].toInt()) : QString());
        const QString code = r[u"code"_s].toString();
        QCOMPARE(row[4], r[u"status"_s].toString() == u"bad-check-digit"_s ? code.left(12) + row[3] : QString());
        QCOMPARE(row[5], r[u"country"_s].toString());
        QCOMPARE(row[6], r[u"issuer"_s].toString());
    }

    // And the check digits against python-stdnum, which owes nothing to our own reading.
    QStringList codes, expected;
    for (int i = 1; i < rows.size(); ++i) {
        if (rows[i][2] != CorrectVerdict && rows[i][2] != WrongVerdict)
            continue;
        codes << rows[i][1];
        expected << u"%1 %2"_s.arg(rows[i][2] == CorrectVerdict ? u"True"_s : u"False"_s, rows[i][3]);
    }
    QProcess stdnum;
    stdnum.start(u"/usr/bin/python3"_s, QStringList{u"-c"_s, u"import sys\n"
                                                              u"from stdnum import ean\n"
                                                              u"for code in sys.argv[1:]:\n"
                                                              u"    print(ean.is_valid(code), ean.calc_check_digit(code[:-1]))\n"_s}
                                             + codes);
    if (!stdnum.waitForFinished(30000) || stdnum.exitCode() != 0)
        QSKIP("python3-stdnum is not there to compare with");
    QCOMPARE(codes.size(), 4);
    QCOMPARE(QString::fromUtf8(stdnum.readAllStandardOutput()).trimmed().split(u'\n'), expected);
}

// A cell that Excel would run as a formula is saved as text.
void TestListWindow::reportKeepsFormulasAsText()
{
    const QString path = write(m_dir->filePath(u"bad.txt"_s), "=1+2\n-1+2\n@SUM(A1)\n");
    MainForm->findChild<ListInput *>()->open({path});
    ListWindow *window = openedList();
    QVERIFY(window);
    const QString report = m_dir->filePath(u"report.csv"_s);
    answerFileDialog(report);
    press(Qt::Key_S, Qt::ControlModifier);
    QTRY_VERIFY(QFile::exists(report));
    const QList<QStringList> rows = readReport(report);
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows[1][1], u"'=1+2"_s);
    QCOMPARE(rows[2][1], u"'-1+2"_s);
    QCOMPARE(rows[3][1], u"'@SUM(A1)"_s);
    QCOMPARE(window->model()->index(0, ListModel::CodeColumn).data().toString(), u"=1+2"_s);   // the table shows it as read
    // Copied, it is text for a spreadsheet as well.
    QTRY_VERIFY(window->table->hasFocus());
    press(Qt::Key_Home, Qt::ControlModifier);
    press(Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text().section(u'\t', 0, 1), u"1\t'=1+2"_s);
}

// The same report as an Excel workbook, read back by openpyxl: every cell text, the codes too.
void TestListWindow::reportAsXlsx()
{
    if (!QFile::exists(u"/usr/bin/python3"_s)
        || QProcess::execute(u"/usr/bin/python3"_s, {u"-c"_s, u"import openpyxl"_s}) != 0)
        QSKIP("python3-openpyxl is not installed");
    const QString path = write(m_dir->filePath(u"prices.csv"_s), PriceList + "7;Сок;=1+2;5\r\n");
    MainForm->findChild<ListInput *>()->open({path});
    ListWindow *window = openedList();
    QVERIFY(window);
    const QString csv = m_dir->filePath(u"report.csv"_s);
    answerFileDialog(csv);
    press(Qt::Key_S, Qt::ControlModifier);
    QTRY_VERIFY(QFile::exists(csv));
    // Without a suffix, by the dialog's filter for Excel.
    const QString xlsx = m_dir->filePath(u"report"_s);
    whenOpen<QFileDialog>([xlsx](QFileDialog *dialog) {
        auto *name = dialog->findChild<QLineEdit *>(u"fileNameEdit"_s);
        QTRY_VERIFY(name->hasFocus());
        dialog->selectNameFilter(u"Книга Excel (*.xlsx)"_s);
        name->setFocus();
        name->selectAll();
        type(xlsx);
        press(Qt::Key_Return);
    });
    press(Qt::Key_S, Qt::ControlModifier);
    QTRY_VERIFY(QFile::exists(xlsx + u".xlsx"_s));

    QProcess python;
    python.start(u"/usr/bin/python3"_s, {u"-c"_s, u"import sys, openpyxl\n"
                                                  u"sheet = openpyxl.load_workbook(sys.argv[1]).active\n"
                                                  u"print(sheet.title)\n"
                                                  u"for row in sheet.iter_rows(values_only=True):\n"
                                                  u"    print('\\t'.join('' if v is None else repr(v) for v in row))\n"_s,
                                         xlsx + u".xlsx"_s});
    QVERIFY(python.waitForFinished(30000));
    QCOMPARE(python.exitCode(), 0);
    QStringList lines = QString::fromUtf8(python.readAllStandardOutput()).split(u'\n');
    lines.removeLast();   // after the last line end
    QCOMPARE(lines.first(), u"Отчёт"_s);
    QList<QStringList> fromCsv = readReport(csv);
    QCOMPARE(lines.size() - 1, fromCsv.size());
    for (int r = 0; r < fromCsv.size(); ++r) {
        QStringList expected;
        for (QString cell : fromCsv[r]) {
            if (cell.startsWith(u'\''))   // CSV's guard against formulas; the workbook's cells are text anyway
                cell.remove(0, 1);
            expected << (cell.isEmpty() ? QString() : u"'%1'"_s.arg(cell));   // every cell a string
        }
        QCOMPARE(lines[r + 1].split(u'\t'), expected);
    }
}

void TestListWindow::savingFailsLoudly()
{
    const QString path = write(m_dir->filePath(u"prices.csv"_s), PriceList);
    MainForm->findChild<ListInput *>()->open({path});
    ListWindow *window = openedList();
    QVERIFY(window);
    // A folder where the report should go: refused in words, nothing changed.
    const QString folder = m_dir->filePath(u"folder.csv"_s);
    QVERIFY(QDir().mkdir(folder));
    whenOpen<QFileDialog>([folder](QFileDialog *dialog) {
        auto *name = dialog->findChild<QLineEdit *>(u"fileNameEdit"_s);
        QTRY_VERIFY(name->hasFocus());
        name->selectAll();
        type(folder);
        // The dialog opens the folder rather than saving into it; then it is cancelled.
        press(Qt::Key_Return);
        QTimer::singleShot(50, dialog, [dialog] { dialog->reject(); });
    });
    press(Qt::Key_S, Qt::ControlModifier);
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QVERIFY(QFileInfo(folder).isDir());

#ifndef _WIN32
    // A full disk: the box says so. (/dev/full is a device, written into rather than replaced.)
    answerFileDialog(u"/dev/full"_s);
    QStringList seen;
    const auto answer = [&seen](QMessageBox *box) {
        seen << box->text();
        if (QAbstractButton *yes = box->button(QMessageBox::Yes))
            yes->click();   // replace it: asked by the dialog
        else
            QTest::keyClick(box, Qt::Key_Return);
    };
    whenOpen<QMessageBox>([&](QMessageBox *box) {
        answer(box);
        whenOpen<QMessageBox>(answer);
    });
    press(Qt::Key_S, Qt::ControlModifier);
    QTRY_COMPARE(seen.size(), 2);
    QCOMPARE(seen.last(), u"Не удалось сохранить файл /dev/full: на диске нет места"_s);
#endif
}

// The column with the codes can be chosen instead of the one found.
void TestListWindow::anotherColumn()
{
    const QString path = write(m_dir->filePath(u"two.csv"_s), "Артикул;ШК\r\n46000000;4820000000000\r\n96385074;4820000000001\r\n");
    MainForm->findChild<ListInput *>()->open({path});
    ListWindow *window = openedList();
    QVERIFY(window);
    QCOMPARE(window->columnBox->currentText(), u"2: ШК"_s);
    QCOMPARE(columnTexts(window->table, ListModel::CodeColumn), (QStringList{u"4820000000000"_s, u"4820000000001"_s}));

    window->columnBox->setFocus();
    QTRY_VERIFY(window->columnBox->hasFocus());
    press(Qt::Key_Up);   // the first column, by the keyboard
    QTRY_VERIFY(!window->loading());
    QTRY_COMPARE(columnTexts(window->table, ListModel::CodeColumn), (QStringList{u"46000000"_s, u"96385074"_s}));
    QCOMPARE(columnTexts(window->table, ListModel::VerdictColumn), (QStringList{LengthError, LengthError}));
    QCOMPARE(window->columnBox->currentText(), u"1: Артикул"_s);
}

void TestListWindow::filesThatAreNoLists_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << u"missing.csv"_s << u"файл не найден"_s;
    QTest::newRow("a folder") << u"folder.csv"_s << u"это папка, а не файл"_s;
    QTest::newRow("a spreadsheet") << u"book.csv"_s
                                   << u"это таблица XLSX или ODS либо другой архив ZIP, а не список: сохраните лист таблицы как CSV"_s;
#ifndef _WIN32
    QTest::newRow("a pipe, which would never end") << u"pipe.csv"_s << u"это не обычный файл"_s;
#endif
}

void TestListWindow::filesThatAreNoLists()
{
    QFETCH(QString, name);
    QFETCH(QString, reason);
    const QString path = m_dir->filePath(name);
    if (name == u"folder.csv"_s)
        QVERIFY(QDir().mkdir(path));
    if (name == u"book.csv"_s)
        write(path, QByteArray("PK\x03\x04", 4) + QByteArray(200, '\0'));
#ifndef _WIN32
    if (name == u"pipe.csv"_s)
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
#endif
    QString seen;
    whenOpen<QMessageBox>([&seen](QMessageBox *box) {
        seen = box->text();
        QTest::keyClick(box, Qt::Key_Return);
    });
    MainForm->findChild<ListInput *>()->open({path});
    QTRY_VERIFY(!seen.isEmpty());
    QCOMPARE(seen, u"Не удалось прочитать список %1: %2."_s.arg(QDir::toNativeSeparators(path), reason));
    ListWindow *window = listWindows().constFirst();
    QCOMPARE(window->model()->total(), 0);
    QCOMPARE(window->note->text(), u"Файл %1: %2."_s.arg(QDir::toNativeSeparators(path), reason));
}

// Russian Excel and Notepad save Windows-1251: its names read as they were written.
void TestListWindow::windows1251()
{
    // "Штрихкод;Товар" and "Хлеб" in Windows-1251.
    const QByteArray list = QByteArray::fromHex("d8f2f0e8f5eaeee43bd2eee2e0f0") + "\r\n4820000000000;"
                            + QByteArray::fromHex("d5ebe5e1") + "\r\n";
    const QString path = write(m_dir->filePath(u"ansi.csv"_s), list);
    MainForm->findChild<ListInput *>()->open({path});
    ListWindow *window = openedList();
    QVERIFY(window);
    QCOMPARE(window->columnBox->itemText(0), u"1: Штрихкод"_s);
    QCOMPARE(window->columnBox->itemText(1), u"2: Товар"_s);
    QCOMPARE(rowTexts(window->table, 0).mid(0, 3), (QStringList{u"2"_s, u"4820000000000"_s, CorrectVerdict}));
}

// A file too large to wait for: a thousand codes, then a line of zeros many gigabytes long (a
// sparse file: it takes no room on the disk). The bar shows how far the reading has come, the
// table and the filter answer meanwhile, and Escape gives the reading up with what was read kept.
void TestListWindow::largeFileKeysAndCancel()
{
    constexpr int Codes = 1000;
    QByteArray bytes;
    for (int i = 0; i < Codes; ++i)
        bytes += i % 10 == 9 ? "4820000000001\r\n" : "4820000000000\r\n";   // every tenth one wrong
    const QString path = write(m_dir->filePath(u"large.txt"_s), bytes);
    QFile file(path);
    QVERIFY(file.resize(qint64(64) << 30));
    file.close();

    MainForm->findChild<ListInput *>()->open({path});
    QTRY_COMPARE(listWindows().size(), 1);
    ListWindow *window = listWindows().constFirst();
    QVERIFY(window->loading());
    QTRY_VERIFY(window->table->hasFocus());
    QTRY_COMPARE(window->model()->total(), Codes);
    QVERIFY(window->progress->isVisible());
    QCOMPARE(window->cancelButton->text(), u"Отменить"_s);
    QTRY_VERIFY(window->progress->value() > 0);

    // Keys and clicks while it reads: along the table, then the filter.
    press(Qt::Key_Home, Qt::ControlModifier);
    press(Qt::Key_Down);
    press(Qt::Key_Down);
    QCOMPARE(window->table->currentIndex().row(), 2);
    click(window->errorsOnlyBox);
    QCOMPARE(window->table->model()->rowCount(), Codes / 10);
    QCOMPARE(window->table->model()->index(0, ListModel::LineColumn).data().toString(), u"10"_s);
    window->table->setFocus();
    QTRY_VERIFY(window->table->hasFocus());
    QVERIFY(window->loading());
    QVERIFY(window->progress->value() < 1000);

    press(Qt::Key_Escape);
    QTRY_VERIFY(!window->loading());
    QVERIFY(window->isVisible());   // Escape during the reading gives the reading up, not the window
    QCOMPARE(window->model()->total(), Codes);
    QCOMPARE(window->note->text(), u"Чтение прервано: показаны первые 1\u00A0000 записей файла."_s);
    QCOMPARE(window->summary->text(), u"Всего: 1\u00A0000, верных: 900, с ошибкой: 100"_s);
    QCOMPARE(window->table->model()->rowCount(), Codes / 10);   // the filter still holds
    QVERIFY(!window->progress->isVisible());
    press(Qt::Key_Escape);   // and now the window
    QTRY_VERIFY(listWindows().isEmpty());
}

QTEST_MAIN(TestListWindow)
#include "tst_listwindow.moc"
