// Seeded random sequences of user actions, each step checked against a small model of the program:
// what the list shows, whether the picture command is enabled, which windows are shown, what the
// picture draws and where the keyboard focus is.
//
// ctest runs a fixed set of seeds. More by hand:  MODEL_SEEDS=100-199 MODEL_STEPS=5000 tst_model
// A failure names its seed and step, and the actions that led there.
#include "gui.h"

#include "ean13.h"
#include "windows.h"

#include <QClipboard>
#include <QRandomGenerator>
#include <QTemporaryDir>

using namespace Qt::Literals::StringLiterals;

namespace {

enum class Focus { Edit1, Button1, Button2, Button4, Button5, Picture, HelpText, Finish };

QWidget *widgetOf(Focus f)
{
    switch (f) {
    case Focus::Edit1: return MainForm->Edit1;
    case Focus::Button1: return MainForm->Button1;
    case Focus::Button2: return MainForm->Button2;
    case Focus::Button4: return MainForm->Button4;
    case Focus::Button5: return MainForm->Button5;
    case Focus::Picture: return Form1;
    case Focus::HelpText: return HelpForm->RichEdit1;
    case Focus::Finish: return HelpForm->Button1;
    }
    return nullptr;
}

// What the program should show, by the rules, independent of how it does it.
struct Model
{
    QString text;               // the field
    QStringList lines;          // the results list
    bool red = false;
    bool pictureEnabled = false;
    bool pictureShown = false;
    QString pictureCode;
    bool helpShown = false;
    QStringList helpLines;      // what the help viewer holds
    QStringList fileLines;      // what Tavik.txt holds, if it exists
    bool fileExists = false;
    Focus focus = Focus::Edit1;

    void changed()
    {
        pictureShown = false;
        pictureEnabled = false;
        lines.clear();
    }
    void analyse()
    {
        const ean13::Analysis a = ean13::analyse(toCode(text));
        lines.clear();
        ean13::forEachLine(a, [this](std::string_view l) { lines << fromUtf8(l); });
        red = !a.accepted();
        if (!a.accepted())
            focus = Focus::Edit1;
        if (a.pictureOffered())
            pictureEnabled = true;
    }
    void help()
    {
        if (!fileExists)
            return;   // the message box only
        helpLines = fileLines;
        helpShown = true;
        focus = Focus::HelpText;
    }
};

class Session
{
public:
    explicit Session(quint32 seed) : m_rng(seed), m_seed(seed)
    {
        // Any message box an action opens is dismissed, as a person would, whenever it comes up.
        m_dismiss.setInterval(5);
        QObject::connect(&m_dismiss, &QTimer::timeout, [] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
                QTest::keyClick(box, Qt::Key_Return);
        });
        m_dismiss.start();
    }

    bool run(int steps);
    QString failure() const { return m_failure; }

private:
    // One step: an action picked at random by the weights of Actions.
    void act();
    struct Action
    {
        int weight;
        void (Session::*run)();
    };
    static const Action Actions[];
    void typeDigit();
    void typeLetter();
    void typeSpace();
    void pasteCodeOverAll();
    void pasteRandomText();
    void backspace();
    void clickIntoField();
    void pressEnter();
    void clickAnalyse();
    void clickClear();
    void clickPicture();
    void closePicture();
    void clickHelpWithFile();
    void clickHelpWithoutFile();
    void clickFinish();
    void closeHelp();

    bool agreesWithModel();
    void log(const QString &what) { m_log << what; if (m_log.size() > 25) m_log.removeFirst(); }
    // Keys go to the focused widget of the active window; with neither, a person's typing is lost.
    bool keysGoSomewhere()
    {
        if (QApplication::focusWidget() || QApplication::activeWindow())
            return true;
        m_lostKeys = true;
        return false;
    }
    void sendText(const QString &s) { if (keysGoSomewhere()) type(s); }
    void sendKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        if (keysGoSomewhere())
            press(key, modifiers);
    }
    bool m_lostKeys = false;

    // A person's click: the window comes to the front first.
    void personClick(QWidget *w)
    {
        w->window()->activateWindow();
        QTRY_VERIFY_WITH_TIMEOUT(w->window()->isActiveWindow(), 2000);
        if (w->isEnabled() && w->focusPolicy() != Qt::NoFocus && w != Form1)
            m_model.focus = focusOf(w);
        else if (w->window() == MainForm)
            m_model.focus = focusOf(QApplication::focusWidget());
        click(w);
    }
    Focus focusOf(QWidget *w) const
    {
        for (Focus f : {Focus::Edit1, Focus::Button1, Focus::Button2, Focus::Button4, Focus::Button5,
                        Focus::Picture, Focus::HelpText, Focus::Finish})
            if (widgetOf(f) == w)
                return f;
        return Focus::Edit1;
    }
    // The buttons' own work, whether clicked or pressed with Space.
    void buttonWork(Focus button)
    {
        switch (button) {
        case Focus::Button1: m_model.analyse(); break;
        case Focus::Button2: m_model.help(); break;
        case Focus::Button4:
            if (!m_model.text.isEmpty()) {
                m_model.text.clear();
                m_model.changed();
            }
            m_model.pictureShown = false;
            m_model.focus = Focus::Edit1;
            break;
        case Focus::Button5:
            if (m_model.pictureEnabled) {
                m_model.pictureShown = true;
                m_model.pictureCode = CodeText;
                m_model.focus = Focus::Picture;
            }
            break;
        case Focus::Finish:
            m_model.helpShown = false;
            m_model.helpLines.clear();
            m_model.focus = Focus::Edit1;
            break;
        default: break;
        }
    }
    void typeText(const QString &s)
    {
        if (m_model.focus == Focus::Edit1) {
            for (QChar c : s) {
                if (m_model.text.size() < 13) {
                    m_model.text += c;
                    m_model.changed();
                }
            }
        } else if (s == u" "_s && m_model.focus != Focus::Picture && m_model.focus != Focus::HelpText) {
            buttonWork(m_model.focus);   // Space presses the focused button
        }
        sendText(s);
    }
    QString randomText(int max)
    {
        static const QString pool = u"0123456789012345678901234567890123456789 xЖ"_s;
        QString s;
        const int n = static_cast<int>(m_rng.bounded(max + 1));
        for (int i = 0; i < n; ++i)
            s += pool[static_cast<int>(m_rng.bounded(static_cast<quint32>(pool.size())))];
        return s;
    }
    void writeHelpFile()
    {
        m_model.fileLines = {u"Справка %1"_s.arg(m_rng.bounded(1000)), u"вторая строка"_s};
        QFile f(u"Tavik.txt"_s);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(m_model.fileLines.join(u"\r\n"_s).toUtf8());
        m_model.fileExists = true;
    }

    QTimer m_dismiss;
    QRandomGenerator m_rng;
    quint32 m_seed;
    Model m_model;
    QStringList m_log;
    QString m_failure;
    int m_step = 0;
};

// What a person does next, and how often: each action's weight is its share in a hundred steps.
const Session::Action Session::Actions[] = {
    {30, &Session::typeDigit},
    {3, &Session::typeLetter},
    {2, &Session::typeSpace},
    {4, &Session::pasteCodeOverAll},
    {3, &Session::pasteRandomText},
    {6, &Session::backspace},
    {7, &Session::clickIntoField},
    {5, &Session::pressEnter},
    {6, &Session::clickAnalyse},
    {4, &Session::clickClear},
    {10, &Session::clickPicture},
    {5, &Session::closePicture},
    {4, &Session::clickHelpWithFile},
    {2, &Session::clickHelpWithoutFile},
    {5, &Session::clickFinish},
    {4, &Session::closeHelp},
};

void Session::act()
{
    int total = 0;
    for (const Action &a : Actions)
        total += a.weight;
    int pick = static_cast<int>(m_rng.bounded(static_cast<quint32>(total)));
    for (const Action &a : Actions) {
        if (pick < a.weight) {
            (this->*a.run)();
            break;
        }
        pick -= a.weight;
    }
    QCoreApplication::processEvents();
}

void Session::typeDigit()
{
    const QString c = QString(u"0123456789"_s[static_cast<int>(m_rng.bounded(10))]);
    log(u"type digit "_s + c);
    typeText(c);
}

void Session::typeLetter()
{
    log(u"type letter"_s);
    typeText(u"x"_s);   // QTest types ASCII only; pasting brings in Cyrillic
}

void Session::typeSpace()
{
    log(u"type space"_s);
    typeText(u" "_s);
}

// Select everything and paste a whole code over it, the way numbers usually arrive.
void Session::pasteCodeOverAll()
{
    QString code;
    const int length = m_rng.bounded(4) == 0 ? 12 : 13;
    for (int i = 0; i < length; ++i)
        code += QChar(u'0' + static_cast<char16_t>(m_rng.bounded(m_rng.bounded(3) == 0 ? 2 : 10)));
    log(u"select all, paste \"%1\""_s.arg(code));
    QGuiApplication::clipboard()->setText(code);
    if (m_model.focus == Focus::Edit1 && m_model.text != code) {   // the same text is no change
        m_model.text = code;
        m_model.changed();
    }
    sendKey(Qt::Key_A, Qt::ControlModifier);
    sendKey(Qt::Key_V, Qt::ControlModifier);
}

void Session::pasteRandomText()
{
    const QString s = randomText(16);
    log(u"paste \"%1\""_s.arg(s));
    QGuiApplication::clipboard()->setText(s);
    if (m_model.focus == Focus::Edit1) {
        const QString kept = s.left(13 - m_model.text.size());
        if (!kept.isEmpty()) {
            m_model.text += kept;
            m_model.changed();
        }
    }
    sendKey(Qt::Key_V, Qt::ControlModifier);
}

void Session::backspace()
{
    log(u"Backspace"_s);
    if (m_model.focus == Focus::Edit1 && !m_model.text.isEmpty()) {
        m_model.text.chop(1);
        m_model.changed();
    }
    sendKey(Qt::Key_Backspace);
}

void Session::clickIntoField()
{
    log(u"click into the field"_s);
    personClick(MainForm->Edit1);
    sendKey(Qt::Key_End);   // the click put the cursor anywhere; the person goes on at the end
}

void Session::pressEnter()
{
    log(u"Enter"_s);
    if (m_model.focus == Focus::Edit1)
        m_model.analyse();
    sendKey(Qt::Key_Return);
}

void Session::clickAnalyse()
{
    log(u"click Analyse"_s);
    personClick(MainForm->Button1);
    buttonWork(Focus::Button1);
}

void Session::clickClear()
{
    log(u"click Clear"_s);
    personClick(MainForm->Button4);
    buttonWork(Focus::Button4);
}

void Session::clickPicture()
{
    log(u"click Picture"_s);
    personClick(MainForm->Button5);
    if (MainForm->Button5->isEnabled())
        buttonWork(Focus::Button5);
}

void Session::closePicture()
{
    log(u"close the picture window"_s);
    if (m_model.pictureShown) {
        m_model.pictureShown = false;
        m_model.focus = m_model.helpShown ? Focus::HelpText : Focus::Edit1;
        Form1->close();
    }
}

void Session::clickHelpWithFile()
{
    log(u"click Help with the file"_s);
    writeHelpFile();
    personClick(MainForm->Button2);
    buttonWork(Focus::Button2);
}

void Session::clickHelpWithoutFile()
{
    log(u"click Help without the file"_s);
    QFile::remove(u"Tavik.txt"_s);
    m_model.fileExists = false;
    personClick(MainForm->Button2);
    buttonWork(Focus::Button2);
}

void Session::clickFinish()
{
    log(u"click Finish"_s);
    if (m_model.helpShown) {
        personClick(HelpForm->Button1);
        buttonWork(Focus::Finish);
    }
}

void Session::closeHelp()
{
    log(u"close the help window"_s);
    if (m_model.helpShown) {
        m_model.helpShown = false;
        m_model.focus = Focus::Edit1;
        HelpForm->close();
    }
}

bool Session::agreesWithModel()
{
    auto fail = [this](const QString &what) {
        m_failure = u"seed %1, step %2: %3\nlast actions:\n  %4"_s.arg(m_seed).arg(m_step).arg(what, m_log.join(u"\n  "_s));
        return false;
    };
    if (m_lostKeys)
        return fail(u"no window is active: the keys went nowhere"_s);
    if (MainForm->Edit1->text() != m_model.text)
        return fail(u"field holds \"%1\", model \"%2\""_s.arg(MainForm->Edit1->text(), m_model.text));
    if (listLines() != m_model.lines)
        return fail(u"list shows [%1], model [%2]"_s.arg(listLines().join(u" | "_s), m_model.lines.join(u" | "_s)));
    if (!m_model.lines.isEmpty() && listColour() != (m_model.red ? QColor(255, 0, 0) : QColor(0, 0, 255)))
        return fail(u"list colour %1"_s.arg(listColour().name()));
    if (MainForm->Button5->isEnabled() != m_model.pictureEnabled)
        return fail(u"picture command enabled: %1"_s.arg(MainForm->Button5->isEnabled()));
    if (Form1->isVisible() != m_model.pictureShown)
        return fail(u"picture window shown: %1"_s.arg(Form1->isVisible()));
    if (m_model.pictureShown && CodeText != m_model.pictureCode)
        return fail(u"picture draws %1, model %2"_s.arg(CodeText, m_model.pictureCode));
    if (HelpForm->isVisible() != m_model.helpShown)
        return fail(u"help window shown: %1"_s.arg(HelpForm->isVisible()));
    const QString helpText = HelpForm->RichEdit1->toPlainText();
    if ((helpText.isEmpty() ? QStringList() : helpText.split(u'\n')) != m_model.helpLines)
        return fail(u"help shows \"%1\""_s.arg(helpText));
    QWidget *expected = widgetOf(m_model.focus);
    if (!QTest::qWaitFor([expected] { return QApplication::focusWidget() == expected; }, 2000)) {
        const QWidget *got = QApplication::focusWidget();
        return fail(u"focus on %1, model %2"_s.arg(got ? got->objectName() : u"nothing"_s, expected->objectName()));
    }
    if (m_model.pictureShown && m_step % 97 == 0) {
        // Now and then, what the picture really draws: the bars of the model's code.
        QImage img(123, 76, QImage::Format_RGB32);
        Form1->render(&img);
        const std::string modules = ean13::encodeModules(toCode(m_model.pictureCode)).modules;
        for (int k = 1; k <= 84; ++k) {
            const int x = k <= 42 ? 16 + k : 22 + k;
            if ((qGray(img.pixel(x, 30)) < 128) != (modules[static_cast<std::size_t>(k - 1)] == '1'))
                return fail(u"picture column %1 is not the model's"_s.arg(x));
        }
    }
    return true;
}

bool Session::run(int steps)
{
    for (m_step = 1; m_step <= steps; ++m_step) {
        act();
        if (QTest::currentTestFailed())
            return false;
        if (!agreesWithModel())
            return false;
    }
    return true;
}

QList<quint32> seedsToRun()
{
    const QString wanted = qEnvironmentVariable("MODEL_SEEDS", u"1-8"_s);
    QList<quint32> seeds;
    for (const QString &part : wanted.split(u',', Qt::SkipEmptyParts)) {
        const QStringList range = part.split(u'-');
        const quint32 from = range[0].toUInt();
        const quint32 to = range.size() > 1 ? range[1].toUInt() : from;
        for (quint32 s = from; s <= to; ++s)
            seeds << s;
    }
    return seeds;
}

} // namespace

class TestModel : public QObject
{
    Q_OBJECT

private slots:
    void randomSessions_data();
    void randomSessions();
};

void TestModel::randomSessions_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : seedsToRun())
        QTest::addRow("seed %u", seed) << seed;
}

void TestModel::randomSessions()
{
    QFETCH(quint32, seed);
    const int steps = qEnvironmentVariableIntValue("MODEL_STEPS") > 0 ? qEnvironmentVariableIntValue("MODEL_STEPS") : 2000;
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    {
        Started started;
        giveFocus(MainForm->Edit1);
        QTRY_VERIFY(MainForm->Edit1->hasFocus());
        Session session(seed);
        const bool ok = session.run(steps);
        QDir::setCurrent(previous);
        QVERIFY2(ok, qPrintable(session.failure()));
    }
}

QTEST_MAIN(TestModel)
#include "tst_model.moc"
