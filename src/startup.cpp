#include "startup.h"

#include "windows.h"

#include <QApplication>

using namespace Qt::Literals::StringLiterals;

Forms::Forms()
{
    MainForm = &mainForm;
    HelpForm = &helpForm;
    Form1 = &pictureForm;
}

Forms::~Forms()
{
    Form1 = nullptr;
    HelpForm = nullptr;
    MainForm = nullptr;
}

void ShowAbout(QWidget *parent)
{
    // Two lines parted by a lone carriage return, which the box shows as a line break.
    showMessage(parent, u"Анализатор штрих-кодов v1.1. Автор команда Barcode Analyser.\r"
                        u"Home page: https://barcode-analyser.example/"_s);
}

int runProgram(int &argc, char **argv, QObject *mainWindowWatcher)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(ApplicationTitle);
    Forms forms;
    if (mainWindowWatcher)
        forms.mainForm.installEventFilter(mainWindowWatcher);
    forms.mainForm.show();
    // The other two windows do not keep the program running: closing the main window ends it.
    return app.exec() == 0 ? 0 : 1;
}
