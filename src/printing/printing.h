// The standard symbol on paper, at its true size, through the system's print dialog.
#pragma once

#include "symbol.h"

#include <QString>

class QWidget;

namespace ean13 {

enum class PrintResult { Printed, Cancelled, NotStarted };

// Asks for a printer with a dialog over `parent` and prints the symbol with one module `xMm`
// millimetres wide, whatever the printer's resolution.
[[nodiscard]] PrintResult printSymbol(QWidget *parent, const QString &docName, const Symbol &symbol, double xMm);

} // namespace ean13
