#include "printing.h"

#include "symbolwriter.h"

#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

using namespace Qt::Literals::StringLiterals;

namespace ean13 {

PrintResult printSymbol(QWidget *parent, const QString &docName, const Symbol &symbol, double xMm)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(docName);
    QPrintDialog dialog(&printer, parent);
    dialog.setObjectName(u"PrintSymbolDialog"_s);
    if (dialog.exec() != QDialog::Accepted)
        return PrintResult::Cancelled;
    QPainter painter;
    if (!painter.begin(&printer))
        return PrintResult::NotStarted;
    const double unitsPerModule = xMm / 25.4 * printer.resolution();
    painter.scale(unitsPerModule, unitsPerModule);
    paintSymbol(painter, symbol, 0);
    return PrintResult::Printed;
}

} // namespace ean13
