#include "main.h"

#include "helper.h"
#include "imageinput.h"
#include "listwindow.h"
#include "painter.h"
#include "startup.h"
#include "windows.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>

#include <cmath>
#include <initializer_list>

using namespace Qt::Literals::StringLiterals;

QString CodeText;
TMainForm *MainForm = nullptr;

namespace {

QColor toColour(ean13::Rgb rgb)
{
    return QColor(rgb.red, rgb.green, rgb.blue);
}

QPushButton *makeButton(QWidget *parent, const QString &name, const QRect &geometry, const QString &caption,
                        const QString &toolTip)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setToolTip(toolTip);
    return button;
}

QLabel *makeLabel(QWidget *parent, const QString &name, const QRect &geometry, const QString &caption)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setFont(designFont());
    // A label is as wide as its text, as on the desktop it was designed for: where the fallback font
    // runs wider, it grows to the right instead of cutting its last letters off.
    label->setGeometry(geometry.x(), geometry.y(), qMax(geometry.width(), label->sizeHint().width()), geometry.height());
    return label;
}

// The fallback font's digits are a pixel wider than the design font's; without closing them up,
// 13 of them do not fit the 89-pixel field and the first one scrolls out of sight.
QFont fieldFont()
{
    constexpr int TextRoom = 89 - 2 * 4;   // the frame and the margins take 4 pixels a side
    QFont font = designFont();
    if (QFontMetrics(font).horizontalAdvance(u"0000000000000"_s) > TextRoom)
        font.setLetterSpacing(QFont::AbsoluteSpacing, -1);
    return font;
}

void setUpField(QLineEdit *edit)
{
    edit->setObjectName(u"Edit1"_s);
    edit->setGeometry(8, 16, 89, 21);
    edit->setMaxLength(ean13::CodeLength);
    edit->setFont(fieldFont());
}

// The bold fallback font's hyphens run wider than the design font's: the 58 of the separator
// would not fit the list's width and would break onto a second row. Where that is so, the
// letters close up by just enough (a fifth of a pixel each in DejaVu Sans Bold).
QFont resultsFont(const QPlainTextEdit *list)
{
    QFont font = designFont(true);
    const QString separator = fromUtf8(ean13::Separator);
    // The frame and the text's margin take their share a side, and a pixel is kept to spare.
    const qreal textRoom = 265 - 2 * list->frameWidth() - 2 * list->document()->documentMargin() - 1;
    const qreal separatorWidth = QFontMetricsF(font).horizontalAdvance(separator);
    if (separatorWidth > textRoom)
        font.setLetterSpacing(QFont::AbsoluteSpacing, -std::ceil((separatorWidth - textRoom) / separator.size() * 64) / 64);
    return font;
}

void setUpResultsList(QPlainTextEdit *list)
{
    list->setObjectName(u"Memo1"_s);
    list->setGeometry(0, 56, 265, 89);
    list->setReadOnly(true);
    list->setFont(resultsFont(list));
    list->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette palette = list->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::ToolTipBase));
    list->setPalette(palette);
}

void chainTabOrder(std::initializer_list<QWidget *> order)
{
    for (auto it = order.begin(); it + 1 != order.end(); ++it)
        QWidget::setTabOrder(*it, *(it + 1));
}

} // namespace

TMainForm::TMainForm(QWidget *parent)
    : QWidget(parent, FixedWindow),
      Label1(makeLabel(this, u"Label1"_s, {8, 0, 55, 13}, u"Штрих-код:"_s)),
      Label2(makeLabel(this, u"Label2"_s, {8, 40, 108, 13}, u"Результаты анализа:"_s)),
      Edit1(new QLineEdit(this)),
      Memo1(new QPlainTextEdit(this)),
      Button1(makeButton(this, u"Button1"_s, {112, 4, 75, 30}, u"Анализ"_s, u"Начать анализ"_s)),
      Button2(makeButton(this, u"Button2"_s, {96, 152, 75, 25}, u"Help"_s, u"Помощь"_s)),
      Button3(makeButton(this, u"Button3"_s, {184, 152, 75, 25}, u"About..."_s, u"О программе"_s)),
      Button4(makeButton(this, u"Button4"_s, {8, 152, 75, 25}, u"Очистить"_s, u"Очистить окно ввода"_s)),
      Button5(makeButton(this, u"Button5"_s, {192, 4, 75, 30}, u"Рисунок"_s, u"Изображение кода"_s))
{
    setObjectName(u"MainForm"_s);
    setWindowTitle(u"Анализатор штрих-кодов."_s);
    setFont(designFont());
    setFixedSize(267, 177);   // the bounding box of the controls
    centreOnFirstShow(this);

    setUpField(Edit1);
    setUpResultsList(Memo1);
    Button5->setEnabled(false);
    chainTabOrder({Edit1, Memo1, Button1, Button2, Button3, Button4, Button5});

    connect(Edit1, &QLineEdit::textChanged, this, &TMainForm::Edit1Change);   // typed or set: both count
    connect(Edit1, &QLineEdit::returnPressed, this, &TMainForm::Edit1KeyPress);
    connect(Button1, &QPushButton::clicked, this, &TMainForm::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TMainForm::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TMainForm::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TMainForm::Button4Click);
    connect(Button5, &QPushButton::clicked, this, &TMainForm::Button5Click);

    new ImageInput(this, Edit1, [this] { Edit1KeyPress(); });   // codes from pictures dropped or pasted
    new ListInput(this, Edit1, [this] { Edit1KeyPress(); });    // lists: Ctrl+O, dropped, named at start
}

void TMainForm::setResultsColour(const QColor &colour)
{
    QPalette p = Memo1->palette();
    p.setColor(QPalette::Text, colour);   // one colour for the whole list, old lines included
    Memo1->setPalette(p);
}

void TMainForm::focusEdit1()
{
    giveFocus(Edit1);
}

// The analysis run.
void TMainForm::Button1Click()
{
    Memo1->clear();
    const ean13::Normalised entry = ean13::normalise(toCode(Edit1->text()));
    CodeText = toQString(entry.code);

    if (!entry.code.full()) {
        ReportError(static_cast<int>(ean13::ErrorKind::Length));
        return;
    }
    if (HasNonDigit()) {
        ReportError(static_cast<int>(ean13::ErrorKind::NonDigit));
        return;
    }
    CheckControlSum();
    ReportCountry(LookupCountry());
    if (!entry.padded)
        Button5->setEnabled(true);
}

void TMainForm::Button2Click()
{
    ShowHelp();
}

void TMainForm::Button3Click()
{
    ShowAbout(this);
    focusEdit1();
}

void TMainForm::Button4Click()
{
    Edit1->setText(QString());   // on a non-empty field this runs Edit1Change
    Form1->hide();
    focusEdit1();
}

void TMainForm::Button5Click()
{
    Form1->show();
    giveFocus(Form1);
}

void TMainForm::Edit1Change()
{
    Form1->hide();
    Button5->setEnabled(false);
    Memo1->clear();
}

void TMainForm::Edit1KeyPress()
{
    Button1Click();
}

void ReportError(int kind)
{
    MainForm->setResultsColour(toColour(ean13::ErrorRed));
    const std::string_view message = ean13::errorMessage(kind);
    if (!message.empty())
        MainForm->Memo1->appendPlainText(fromUtf8(message));
    MainForm->focusEdit1();
}

bool HasNonDigit()
{
    for (const QChar c : CodeText)
        if (!ean13::isDigit(c.unicode()))
            return true;
    return false;
}

void ReportCountry(const QString &country)
{
    MainForm->Memo1->appendPlainText(fromUtf8(ean13::Separator));
    MainForm->Memo1->appendPlainText(fromUtf8(ean13::countryLine(country.toStdString())));
}

void CheckControlSum()
{
    MainForm->setResultsColour(toColour(ean13::FindingsBlue));   // first, for either verdict
    MainForm->Memo1->appendPlainText(fromUtf8(ean13::checkDigitVerdict(ean13::checkDigitOk(toCode(CodeText)))));
}

QString LookupCountry()
{
    return fromUtf8(ean13::country(toCode(CodeText)));
}
