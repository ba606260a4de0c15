// Unit helper: the help window, which shows the help file of the working directory, or else the
// one installed with the program.
#pragma once

#include <QWidget>

class QPlainTextEdit;
class QPushButton;

class THelpForm : public QWidget
{
    Q_OBJECT

public:
    explicit THelpForm(QWidget *parent = nullptr);

    QPlainTextEdit *RichEdit1;
    QPushButton *Button1;   // finish

    void FormShow();
    void Button1Click();
    void FormClose();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
};

extern THelpForm *HelpForm;

// The help command of the main window.
void ShowHelp();
