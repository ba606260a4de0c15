// Reading a list file for the list window, on a thread of its own: the start of the file judged
// (encoding, delimiter, the code column), then every entry checked as ean13 check checks it and
// handed over in batches, with how far the reading has come. Nothing here touches a widget: the
// window is told through the callbacks, which run on the reading thread.
#pragma once

#include "listmodel.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

struct ListReadOptions
{
    QString path;
    int column = -1;   // from 1, or 0 for the whole line; -1: found from the file
    bool header = false;   // with a column given: the first record names the columns
};

// What the start of the file said.
struct ListLayout
{
    char delimiter = ';';
    bool csv = false;
    int column = 0;           // from 1; 0: the whole line, a list of one column
    bool header = false;
    QStringList columnNames;  // one for each column: its header's name, or its first cell
};

struct ListReadCallbacks
{
    std::function<void(const ListLayout &)> layout;
    std::function<void(ListBatch &&, long long done, long long size)> batch;   // size 0: unknown
    // The end: an empty `problem` when the whole file was read (or the reading was given up).
    std::function<void(const QString &problem)> end;
};

// Files the list window reads, by their suffix.
[[nodiscard]] bool isListFile(const QString &path);
// The file dialog's filter for them.
[[nodiscard]] QString listFileFilter();

// At most this many rows, so that the table stays within the memory of an ordinary desktop.
inline constexpr long long MaxListRows = 50'000'000;

void readList(const ListReadOptions &options, const ListReadCallbacks &callbacks, const std::atomic<bool> &cancel);
