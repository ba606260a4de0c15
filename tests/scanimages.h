// Pictures of EAN-13 and UPC-A codes, made afresh from a seed: symbols of zint (an independent
// generator) and symbols drawn here from the core's module string, clean or put through what
// photos and scans do to them. The reader's tests and the reading benchmark share them.
// Needs a QGuiApplication (the busy backgrounds carry text).
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace scanimages {

struct Sample
{
    QString kind;        // clean-1px, rotated-90, jpeg, two-codes, none, ...
    QString name;        // kind and number, unique: a file name without its suffix
    QString suffix;      // "png" or "jpg"
    QByteArray file;     // the image file's bytes
    QStringList codes;   // what a reader must find, 13 digits each, in reading order
};

[[nodiscard]] QStringList kinds();

// `perKind` samples of every kind, the same for the same seed. Symbols alternate between zint's
// and our own drawing; without zint this stops the program.
[[nodiscard]] std::vector<Sample> makeSamples(int perKind, unsigned seed, const QString &zintProgram = QStringLiteral("zint"));

} // namespace scanimages
