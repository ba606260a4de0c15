// Unit painter: the module encoder and the picture window.
#pragma once

#include <QString>
#include <QWidget>

// The data modules of the code last encoded, "1" a bar and "0" a space, seven per digit of
// positions 2 to 13 and no guard modules; and that code's first character.
extern QString ModuleBits;
extern QString FirstDigit;

void EncodeModules(QString code);

class QPainter;
// Draws the barcode of a first digit and a module string with its top-left at the painter's origin,
// one pixel column per module. Any module string is safe: nothing is drawn past `width`.
void drawBarcode(QPainter &painter, const QString &firstDigit, const QString &modules, int width);

class TForm1 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm1(QWidget *parent = nullptr);

    void FormPaint();
    void Button1Click();   // draws from FirstDigit and ModuleBits
    void FormClose();

protected:
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
};

extern TForm1 *Form1;
