// Start-up: the three windows, created in their order, and the About message.
#pragma once

#include "helper.h"
#include "main.h"
#include "painter.h"

class QWidget;

// Owns the windows for the whole run. Members are built in declaration order, so the main window
// comes first, then the help window, then the picture window; the globals point at them meanwhile.
struct Forms
{
    Forms();
    ~Forms();
    Forms(const Forms &) = delete;
    Forms &operator=(const Forms &) = delete;

    TMainForm mainForm;
    THelpForm helpForm;
    TForm1 pictureForm;
};

// Shows the About message, modal, and returns once it is dismissed.
void ShowAbout(QWidget *parent);

// --help and --version, answered on standard output before any window exists, so that they work
// where there is no display; ends the process when it answers. Any other command line passes on.
void answerCommandLine(int &argc, char **argv);

// Whether the toolkit will find a screen to show the windows on: a desktop, an X display that
// answers, or a platform that the person chose (QT_QPA_PLATFORM, -platform). Always true on
// Windows and macOS.
[[nodiscard]] bool displayAvailable(int argc, char **argv);

// What the desktop shows of the running program: its name, version, icon and menu entry.
void setApplicationIdentity();

// The toolkit's own texts in Russian: message box buttons, the file and print dialogs, the field's
// context menu. Looks in Qt's translations folder, then in a translations folder beside the program
// (where a Windows installation keeps it). Returns whether they were found; if not, those texts
// stay in English and the program goes on.
bool loadToolkitTranslations();

class QObject;
// Creates the windows, shows the main one and runs until it is closed; without a display, says so
// on standard error and returns 1. A watcher, if given, sees the main window's events from the
// start (the start-up benchmark uses it to see the first paint).
int runAnalyser(int &argc, char **argv, QObject *mainWindowWatcher = nullptr);
