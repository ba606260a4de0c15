// Where the help file is found: the working directory first, then the installed data directory.
#pragma once

#include <QString>

namespace helpfile {

// The help file's name, in the working directory and in the data directory alike.
[[nodiscard]] QString name();

// The directory that an installation keeps the help file in, found from the running executable so
// that a moved installation still finds its own: share/barcode-analyser beside bin/ on Linux, the
// executable's own directory on Windows.
[[nodiscard]] QString installedDir();

// The file to show: the working directory's Tavik.txt whenever that name is taken there (even by
// something that cannot be read, so that what is wrong with it gets said), else the installed one;
// empty when neither is there.
[[nodiscard]] QString path();

} // namespace helpfile
