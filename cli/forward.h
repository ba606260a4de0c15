// ean13 render and ean13 scan are programs of their own (they need the GUI toolkit, which
// ean13 check must not start): ean13 hands such a command line on to them.
#pragma once

#include <string_view>

namespace ean13::cli {

// Runs the program ean13-SUBCOMMAND, found beside the running ean13 or in
// ../libexec/barcode-analyser/ from there, with `args` unchanged and standard input, output
// and error shared, and gives its exit status (2 with a message when it is missing).
int forward(const char *argv0, std::string_view subcommand, int argc, char **args);

} // namespace ean13::cli
