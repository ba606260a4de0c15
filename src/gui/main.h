// Unit main: the main window and the analysis run.
#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The normalised code of the last analysis run: its first 13 characters, with "0" in front of
// a 12-character entry. Written only by the analysis run, whatever its outcome.
extern QString CodeText;

class TMainForm : public QWidget
{
    Q_OBJECT

public:
    explicit TMainForm(QWidget *parent = nullptr);

    QLabel *Label1;
    QLabel *Label2;
    QLineEdit *Edit1;
    QPlainTextEdit *Memo1;
    QPushButton *Button1;   // analyse
    QPushButton *Button2;   // help
    QPushButton *Button3;   // about
    QPushButton *Button4;   // clear
    QPushButton *Button5;   // picture

    void setResultsColour(const QColor &colour);
    void focusEdit1();

    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void Edit1Change();
    void Edit1KeyPress();

};

extern TMainForm *MainForm;

void ReportError(int kind);
[[nodiscard]] bool HasNonDigit();
void ReportCountry(const QString &country);
void CheckControlSum();
[[nodiscard]] QString LookupCountry();
