#include "painter.h"

#include "ean13.h"
#include "helper.h"
#include "main.h"
#include "symbolactions.h"
#include "windows.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QPlainTextEdit>

using namespace Qt::Literals::StringLiterals;

QString ModuleBits;
QString FirstDigit;
TForm1 *Form1 = nullptr;

void EncodeModules(QString code)
{
    const ean13::Encoding e = ean13::encodeModules(toCode(code));
    ModuleBits = QString::fromLatin1(e.modules.data(), static_cast<qsizetype>(e.modules.size()));
    FirstDigit = e.firstDigit ? QString::fromUcs4(&*e.firstDigit, 1) : QString();
}

TForm1::TForm1(QWidget *parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
{
    setObjectName(u"Form1"_s);
    setWindowTitle(u"Изображение"_s);
    setFont(designFont());
    setFixedSize(123, 76);
    centreOnFirstShow(this);
    setFocusPolicy(Qt::StrongFocus);   // it takes the focus when shown
    setAttribute(Qt::WA_QuitOnClose, false);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    p.setColor(QPalette::WindowText, Qt::black);
    setPalette(p);
    new SymbolActions(this, [] { return CodeText; });   // copy, save, print; Escape hides
}

void TForm1::paintEvent(QPaintEvent *)
{
    FormPaint();
}

void TForm1::closeEvent(QCloseEvent *event)
{
    event->accept();   // hidden, never destroyed
    hide();
    FormClose();
}

void TForm1::FormPaint()
{
    EncodeModules(CodeText);   // no picture is kept: every repaint starts from the code
    Button1Click();
}

namespace {

constexpr int Top = 10;
constexpr int Bottom = 50;       // data bars end just above it
constexpr int GuardBottom = 58;  // guard bars reach 8 rows further, beside the digits
constexpr int TextTop = 52;

class BarPainter
{
public:
    BarPainter(QPainter &painter, int width)
        : m_painter(painter), m_ascent(painter.fontMetrics().ascent()), m_width(width)
    {
        // A flat cap leaves the end point out, so a line to row 50 fills rows 10 to 49.
        m_painter.setPen(QPen(Qt::black, 1, Qt::SolidLine, Qt::FlatCap));
        m_painter.setBackground(Qt::white);
        m_painter.setBackgroundMode(Qt::OpaqueMode);   // digits on an opaque white cell
    }

    void text(int x, const QString &s) { m_painter.drawText(QPoint(x, TextTop + m_ascent), s); }
    void bar(int x, int bottom)
    {
        if (x >= 0 && x < m_width)
            m_painter.drawLine(QPoint(x, Top), QPoint(x, bottom));
    }
    [[nodiscard]] bool pastRightEdge(int x) const { return x >= m_width; }

private:
    QPainter &m_painter;
    int m_ascent;
    int m_width;
};

} // namespace

void drawBarcode(QPainter &painter, const QString &firstDigit, const QString &modules, int width)
{
    BarPainter paint(painter, width);
    int x = 5;
    paint.text(x, firstDigit);
    x += 6;

    // Bar, space, bar, and one more space: six columns, one more than the standard centre guard's
    // five. The picture is 99 columns wide from the first guard bar to the last, and meant so.
    auto DrawGuard = [&] {
        x += 2;
        paint.bar(x, GuardBottom);
        x += 2;
        paint.bar(x, GuardBottom);
        x += 2;
    };

    DrawGuard();
    int group = 0;
    for (qsizetype at = 0; at < modules.size() && !paint.pastRightEdge(x); at += ean13::GroupWidth) {
        const QStringView bits = QStringView(modules).mid(at, ean13::GroupWidth);
        char bytes[ean13::GroupWidth];
        for (qsizetype i = 0; i < bits.size(); ++i)
            bytes[i] = bits[i].toLatin1();   // anything outside Latin-1 becomes 0, which no pattern holds
        if (const auto digit = ean13::digitOfGroup(std::string_view(bytes, static_cast<std::size_t>(bits.size()))))
            paint.text(x, QString(QChar(u'0' + *digit)));
        for (const QChar bit : bits) {
            if (bit == u'1') {
                paint.bar(x, Bottom);
                ++x;
            } else if (bit == u'0') {
                ++x;
            }
        }
        if (++group == ean13::HalfGroups)
            DrawGuard();
    }
    DrawGuard();
}

void TForm1::Button1Click()
{
    QPainter painter(this);
    drawBarcode(painter, FirstDigit, ModuleBits, width());
}

void TForm1::FormClose()
{
    if (HelpForm && HelpForm->isVisible())
        giveFocus(HelpForm->RichEdit1);
    else
        MainForm->focusEdit1();
}
