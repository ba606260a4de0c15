#include "xlsxreport.h"

#include <QFile>
#include <QTemporaryDir>

#include <xlsxwriter.h>

using namespace Qt::Literals::StringLiterals;

namespace ean13 {

namespace {

WriteError libraryError(lxw_error error)
{
    return {WriteProblem::System, 0, QString::fromUtf8(lxw_strerror(error))};
}

} // namespace

WriteError saveXlsx(const QString &path, const TextTable &table, const QString &sheetName)
{
    if (table.rows > MaxXlsxRows)
        return {WriteProblem::System, 0, u"more rows than an Excel sheet holds"_s};
    // libxlsxwriter writes a file of its own: it goes into a private folder first, and from there
    // to `path` whole.
    QTemporaryDir folder;
    if (!folder.isValid())
        return {WriteProblem::System, 0, folder.errorString()};
    const QByteArray staged = QFile::encodeName(folder.filePath(u"report.xlsx"_s));
    const QByteArray scratch = QFile::encodeName(folder.path());
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;   // a row at a time: a million rows are never held
    options.tmpdir = const_cast<char *>(scratch.constData());
    lxw_workbook *book = workbook_new_opt(staged.constData(), &options);
    if (!book)
        return {WriteProblem::System, 0, u"the workbook could not be begun"_s};
    lxw_worksheet *sheet = workbook_add_worksheet(book, sheetName.left(31).toUtf8().constData());
    lxw_format *bold = workbook_add_format(book);
    format_set_bold(bold);
    lxw_error error = LXW_NO_ERROR;
    if (!sheet)
        error = LXW_ERROR_MEMORY_MALLOC_FAILED;
    for (int c = 0; sheet && table.width && c < table.columns && !error; ++c)
        error = worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c), table.width(c), nullptr);
    for (int r = 0; sheet && r < table.rows && !error; ++r) {
        for (int c = 0; c < table.columns && !error; ++c) {
            const QByteArray text = table.cell(r, c).toUtf8();
            if (text.isEmpty())
                continue;
            error = worksheet_write_string(sheet, static_cast<lxw_row_t>(r), static_cast<lxw_col_t>(c), text.constData(),
                                           r == 0 ? bold : nullptr);
        }
    }
    const lxw_error closed = workbook_close(book);   // frees the workbook whatever happened
    if (error)
        return libraryError(error);
    if (closed)
        return libraryError(closed);
    QFile file(QString::fromLocal8Bit(staged));
    if (!file.open(QIODevice::ReadOnly))
        return {WriteProblem::System, 0, file.errorString()};
    return saveWhole(path, file.readAll());
}

} // namespace ean13
