// ean13-sheets: ean13 check with XLSX and ODS inputs. ean13 runs it, with its own command line,
// when an input is a spreadsheet, so that only such a check maps the zip and XML libraries.
#include "check.h"
#include "checkargs.h"
#include "sheetinput.h"
#include "status.h"

int main(int argc, char **argv)
{
    return ean13::cli::runParsed(ean13::cli::parseCheckArguments(argc, argv), [](ean13::cli::CheckOptions options) {
        options.readSheet = ean13::cli::readSheetInput;
        return ean13::cli::runCheck(options);
    });
}
