// The help window and the help file in the current working directory.
#include "gui.h"

#include "fileaccess.h"
#include "helptext.h"
#include "windows.h"

#include <QBuffer>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTextBlock>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace Qt::Literals::StringLiterals;

namespace {

const QString Missing = u"-= Отсутствует файл Tavik.txt =-"_s;
const QStringList RussianLines = {u"Анализатор штрих-кодов: помощь"_s, u"Введите 12 или 13 цифр и нажмите Enter."_s,
                                  u"Ёлка, ёж, «кавычки», №5 — и тире."_s, QString(), u"Последняя строка"_s};

void writeFile(const QByteArray &bytes)
{
    QFile f(u"Tavik.txt"_s);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray cp1251(const QStringList &lines, const char *lineEnd = "\r\n")
{
    QStringEncoder enc("windows-1251");   // ICU's encoder serves as the reference here
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += QByteArray(enc(line)) + lineEnd;
    return bytes;
}

QStringList shownLines()
{
    const QString text = HelpForm->RichEdit1->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(u'\n');
}

// A device that fails after handing out `good` bytes, as a disk or a network share can.
class FailingDevice : public QIODevice
{
public:
    FailingDevice(QByteArray data, qint64 good) : m_data(std::move(data)), m_good(good) { open(ReadOnly); }

protected:
    qint64 readData(char *out, qint64 max) override
    {
        if (m_at >= m_good) {
            setErrorString(u"Input/output error"_s);
            return -1;
        }
        const qint64 n = qMin(max, m_good - m_at);
        memcpy(out, m_data.constData() + m_at, static_cast<size_t>(n));
        m_at += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }
    bool isSequential() const override { return true; }

private:
    QByteArray m_data;
    qint64 m_good;
    qint64 m_at = 0;
};

enum class Setup {
    Directory,
    NoPermission,
    RemovedAfterCheck,
    ReadError,
    Pipe,
    LinkToPipe,
    LinkToDevice,
    PipeAfterCheck,
    DanglingLink,
    LinkLoop,
};

#ifdef Q_OS_UNIX
// Opens a pipe for writing once `patience` has passed, and again until told to stop: that lets a
// reader go that waits in opening it. So a program that waits on a pipe fails its test instead of
// hanging the whole run.
class PipeWatchdog
{
public:
    explicit PipeWatchdog(const QString &path, std::chrono::seconds patience = std::chrono::seconds(10))
        : m_path(path.toLocal8Bit()), m_thread([this, patience] { run(patience); })
    {
    }
    ~PipeWatchdog()
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    void watch(const QString &path)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_path = path.toLocal8Bit();
    }
    // Lets any reader that waits now go at once.
    void release()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        for (int i = 0; i < 20; ++i) {
            if (writeOnce())
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    [[nodiscard]] bool fired() const { return m_fired; }

private:
    bool writeOnce()
    {
        const int fd = ::open(m_path.constData(), O_WRONLY | O_NONBLOCK);   // fails while no one reads
        if (fd < 0)
            return false;
        ::close(fd);
        return true;
    }
    void run(std::chrono::seconds patience)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_changed.wait_for(lock, patience, [this] { return m_stop; }))
            return;
        while (!m_changed.wait_for(lock, std::chrono::milliseconds(50), [this] { return m_stop; }))
            if (writeOnce())
                m_fired = true;
    }
    QByteArray m_path;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_stop = false;
    std::atomic<bool> m_fired = false;
    std::thread m_thread;
};
#endif

} // namespace

class TestHelp : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowAsDesigned();
    void missingFile();
    void showsTheFileAtTheTop();
    void windows1251AndUtf8LookTheSame_data();
    void windows1251AndUtf8LookTheSame();
    void everyWindows1251Byte();
    void lineEnds_data();
    void lineEnds();
    void reopeningReadsTheFileAgain();
    void helpWhileShownShowsTheLinesOnce();
    void unreadableFile_data();
    void unreadableFile();
    void linkToARegularFileIsRead();
#ifdef Q_OS_UNIX
    void readingNeverWaitsLong();
#endif
    void readErrorMidwayKeepsWhatWasRead();
    void largeFileIsCutAndSaysSo();
    void millionsOfLinesAreCutAndSaySo();
    void binaryContentShowsWhatItCan();
    void aLineWithoutBreaksIsShownInPieces();
    void focusAfterFinishAndCloseBox();
    void escapeClosesAsTheCloseBoxDoes_data();
    void escapeClosesAsTheCloseBoxDoes();
    void escapeStepsBackFromThePictureToTheField();
    void closingThePictureWindow_data();
    void closingThePictureWindow();
    void mainWindowStaysUsable();

private:
    void openHelp()
    {
        click(MainForm->Button2);
        QTRY_VERIFY(HelpForm->isVisible());
        QTRY_VERIFY(HelpForm->RichEdit1->hasFocus());   // the reader starts in the text
    }
    std::unique_ptr<QTemporaryDir> dir;
    QString previousDir;
    std::unique_ptr<Started> started;
};

void TestHelp::init()
{
    previousDir = QDir::currentPath();
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir::setCurrent(dir->path()));
    started = std::make_unique<Started>();
}

void TestHelp::cleanup()
{
    started.reset();
    QDir::setCurrent(previousDir);
    QFile::setPermissions(dir->filePath(u"Tavik.txt"_s), QFile::ReadOwner | QFile::WriteOwner);
    dir.reset();
}

void TestHelp::windowAsDesigned()
{
    QVERIFY(!HelpForm->isVisible());
    writeFile("x\n");
    openHelp();
    QCOMPARE(HelpForm->windowTitle(), u"Помощь"_s);
    QCOMPARE(HelpForm->size(), QSize(449, 273));
    QCOMPARE(HelpForm->minimumSize(), HelpForm->maximumSize());
    QVERIFY(!(HelpForm->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!HelpForm->isModal());
    QPlainTextEdit *view = HelpForm->RichEdit1;
    QCOMPARE(view->geometry(), QRect(0, 0, 449, 241));
    QVERIFY(view->isReadOnly());
    QCOMPARE(view->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    QCOMPARE(view->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(view->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(view->palette().color(QPalette::Base), HelpForm->palette().color(QPalette::Window));
    QCOMPARE(HelpForm->Button1->geometry(), QRect(184, 248, 75, 25));
    QCOMPARE(HelpForm->Button1->text(), u"Закончить"_s);

    // Centred the first time; afterwards where it was left.
    const QRect screen = HelpForm->screen()->availableGeometry();
    QVERIFY(qAbs(HelpForm->frameGeometry().center().x() - screen.center().x()) <= 2);
    HelpForm->move(10, 20);
    const QPoint moved = HelpForm->pos();
    click(HelpForm->Button1);
    openHelp();
    QCOMPARE(HelpForm->pos(), moved);
}

void TestHelp::missingFile()
{
    type(u"123"_s);
    press(Qt::Key_Return);
    const QStringList before = listLines();
    const SeenBox box = readMessageBox(MainForm->Button2);
    QVERIFY(box.shown);
    QCOMPARE(box.text, Missing);
    QCOMPARE(box.title, u"Анализатор штрих-кодов"_s);
    QCOMPARE(box.buttons, 1);
    QVERIFY(!HelpForm->isVisible());
    QCOMPARE(listLines(), before);
    QCOMPARE(MainForm->Edit1->text(), u"123"_s);
}

void TestHelp::showsTheFileAtTheTop()
{
    QStringList many;
    for (int i = 1; i <= 500; ++i)
        many << u"Строка %1 справки, достаточно длинная, чтобы переноситься по ширине окна справки"_s.arg(i);
    writeFile(many.join(u'\n').toUtf8() + '\n');
    openHelp();
    QCOMPARE(shownLines(), many);
    QCOMPARE(HelpForm->RichEdit1->textCursor().position(), 0);
    QCOMPARE(HelpForm->RichEdit1->verticalScrollBar()->value(), 0);
    QVERIFY(HelpForm->RichEdit1->verticalScrollBar()->maximum() > 0);
}

void TestHelp::windows1251AndUtf8LookTheSame_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("Windows-1251, CRLF") << cp1251(RussianLines);
    QTest::newRow("UTF-8, LF") << (RussianLines.join(u'\n') + u'\n').toUtf8();
    QTest::newRow("UTF-8 with a byte-order mark") << "\xEF\xBB\xBF" + (RussianLines.join(u'\n')).toUtf8();
}

void TestHelp::windows1251AndUtf8LookTheSame()
{
    QFETCH(QByteArray, bytes);
    writeFile(bytes);
    openHelp();
    QCOMPARE(shownLines(), RussianLines);
}

void TestHelp::everyWindows1251Byte()
{
    // Our own table against ICU's decoder, byte by byte; 0x98 is undefined and keeps its value.
    QByteArray all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    all += "\xff\xfe";   // never valid UTF-8
    QStringDecoder icu("windows-1251");
    QVERIFY(icu.isValid());
    const QString expected = icu(all);
    QCOMPARE(helptext::decode(all), expected);
}

void TestHelp::lineEnds_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("CRLF, LF and a lone CR") << QByteArray("a\r\nb\nc\rd") << QStringList{u"a"_s, u"b"_s, u"c"_s, u"d"_s};
    QTest::newRow("empty lines stay") << QByteArray("a\n\n\nb\n") << QStringList{u"a"_s, QString(), QString(), u"b"_s};
    QTest::newRow("CR CR LF: an empty line") << QByteArray("a\r\r\nb") << QStringList{u"a"_s, QString(), u"b"_s};
    QTest::newRow("empty file") << QByteArray() << QStringList();
}

void TestHelp::lineEnds()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    writeFile(bytes);
    openHelp();
    QCOMPARE(shownLines(), lines);
}

void TestHelp::reopeningReadsTheFileAgain()
{
    writeFile("first\n");
    openHelp();
    QCOMPARE(shownLines(), QStringList{u"first"_s});
    click(HelpForm->Button1);
    QVERIFY(!HelpForm->isVisible());
    QVERIFY(HelpForm->RichEdit1->toPlainText().isEmpty());   // Finish empties the viewer
    writeFile("second\nthird\n");
    openHelp();
    QCOMPARE(shownLines(), (QStringList{u"second"_s, u"third"_s}));

    // After the close box the text stays until the next help command, which reads the file again.
    HelpForm->close();
    QCOMPARE(shownLines(), (QStringList{u"second"_s, u"third"_s}));
    writeFile("fourth\n");
    openHelp();
    QCOMPARE(shownLines(), QStringList{u"fourth"_s});
}

void TestHelp::helpWhileShownShowsTheLinesOnce()
{
    writeFile("one\ntwo\n");
    openHelp();
    giveFocus(MainForm->Edit1);
    writeFile("one\ntwo\nthree\n");
    click(MainForm->Button2);
    QVERIFY(HelpForm->isVisible());
    QCOMPARE(shownLines(), (QStringList{u"one"_s, u"two"_s, u"three"_s}));
    QCOMPARE(HelpForm->RichEdit1->textCursor().position(), 0);
}

void TestHelp::unreadableFile_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("windowShown");   // an open or read error shows the window all the same
    const QString cannot = u"Не удалось открыть файл Tavik.txt: "_s;
    const QString special = cannot + u"это не обычный файл, а канал, устройство или сокет"_s;
    QTest::newRow("a directory named Tavik.txt") << Setup::Directory << cannot + u"это папка, а не файл"_s << true;
    QTest::newRow("no permission") << Setup::NoPermission << cannot + u"нет прав на чтение"_s << true;
    QTest::newRow("removed after the check") << Setup::RemovedAfterCheck << cannot + u"такого файла нет"_s << true;
#ifdef Q_OS_UNIX
    QTest::newRow("a read error")   // opens fine, every read fails with EIO
        << Setup::ReadError << u"Ошибка чтения файла Tavik.txt: система не смогла прочитать файл до конца"_s << true;
    QTest::newRow("a pipe without a writer") << Setup::Pipe << special << false;
    QTest::newRow("a link to a pipe") << Setup::LinkToPipe << special << false;
    QTest::newRow("a link to /dev/zero") << Setup::LinkToDevice << special << false;
    QTest::newRow("a pipe put in place after the check")
        << Setup::PipeAfterCheck << cannot + u"файл не отвечает"_s << true;
    QTest::newRow("a dangling link") << Setup::DanglingLink << cannot + u"это ссылка на файл, которого нет"_s << false;
    QTest::newRow("a link loop")
        << Setup::LinkLoop << cannot + u"ссылки ведут по кругу (слишком много уровней ссылок)"_s << false;
#endif
}

void TestHelp::unreadableFile()
{
    QFETCH(Setup, setup);
    QFETCH(QString, message);
    QFETCH(bool, windowShown);
    const auto helpCommand = [] { click(MainForm->Button2); };
    const auto loadAfterTheCheck = [] {   // the help command found a file; the loading finds another
        HelpForm->RichEdit1->clear();
        HelpForm->show();
    };
    std::function<void()> action = helpCommand;
#ifdef Q_OS_UNIX
    // Without a writer, opening the pipe waits for ever; then this opens it for writing, so that the
    // test fails instead of hanging the run.
    PipeWatchdog watchdog(QDir::current().filePath(u"pipe"_s));
#endif
    switch (setup) {
    case Setup::Directory:
        QVERIFY(QDir().mkdir(u"Tavik.txt"_s));
        break;
    case Setup::NoPermission: {
        writeFile("secret\n");
        QFile::setPermissions(u"Tavik.txt"_s, QFileDevice::Permissions());
        QFile probe(u"Tavik.txt"_s);
        if (probe.open(QIODevice::ReadOnly))
            QSKIP("this user reads files whatever their permissions (root)");
        break;
    }
    case Setup::RemovedAfterCheck:
        writeFile("gone\n");
        QVERIFY(QFile::exists(u"Tavik.txt"_s));
        QVERIFY(QFile::remove(u"Tavik.txt"_s));
        action = loadAfterTheCheck;
        break;
#ifdef Q_OS_UNIX
    case Setup::ReadError:
        QVERIFY(QFile::link(u"/proc/self/mem"_s, u"Tavik.txt"_s));
        break;
    case Setup::Pipe:
        QCOMPARE(mkfifo("Tavik.txt", 0600), 0);
        watchdog.watch(QDir::current().filePath(u"Tavik.txt"_s));
        break;
    case Setup::LinkToPipe:
        QCOMPARE(mkfifo("pipe", 0600), 0);
        QVERIFY(QFile::link(u"pipe"_s, u"Tavik.txt"_s));
        break;
    case Setup::LinkToDevice:
        QVERIFY(QFile::link(u"/dev/zero"_s, u"Tavik.txt"_s));
        break;
    case Setup::PipeAfterCheck:
        QCOMPARE(mkfifo("pipe", 0600), 0);
        QVERIFY(QFile::link(u"pipe"_s, u"Tavik.txt"_s));
        action = loadAfterTheCheck;
        break;
    case Setup::DanglingLink:
        QVERIFY(QFile::link(u"nowhere.txt"_s, u"Tavik.txt"_s));
        break;
    case Setup::LinkLoop:
        QVERIFY(QFile::link(u"Tavik2.txt"_s, u"Tavik.txt"_s));
        QVERIFY(QFile::link(u"Tavik.txt"_s, u"Tavik2.txt"_s));
        break;
#else
    default:
        QSKIP("pipes and links are made here only where the system has them");
#endif
    }
    const SeenBox box = readMessageBoxOf(action);
#ifdef Q_OS_UNIX
    QVERIFY2(!watchdog.fired(), "the program waited on the pipe until the test let it go");
    watchdog.release();   // the reading thread given up on ends now, not at some later test
#endif
    QVERIFY(box.shown);
    QCOMPARE(box.text, message);
    QCOMPARE(box.buttons, 1);
    QVERIFY(!QApplication::activeModalWidget());
    if (windowShown) {
        QTRY_VERIFY(HelpForm->isVisible());   // with what could be read: nothing
        QVERIFY(HelpForm->RichEdit1->toPlainText().isEmpty());
    } else {
        QVERIFY(!HelpForm->isVisible());
        QTRY_VERIFY(MainForm->isActiveWindow());   // and the program answers at once
        QTest::keyClicks(MainForm->Edit1, u"5"_s);
        QCOMPARE(MainForm->Edit1->text(), u"5"_s);
    }
    QVERIFY(MainForm->isEnabled());
}

void TestHelp::linkToARegularFileIsRead()
{
    writeFile("through a link\n");
    QVERIFY(QFile::rename(u"Tavik.txt"_s, u"real.txt"_s));
    QVERIFY(QFile::link(u"real.txt"_s, u"Tavik.txt"_s));
    openHelp();
    QCOMPARE(shownLines(), QStringList{u"through a link"_s});
}

#ifdef Q_OS_UNIX
void TestHelp::readingNeverWaitsLong()
{
    // Whatever the check found, what is opened may be a pipe by then.
    QCOMPARE(mkfifo("pipe", 0600), 0);
    const QString pipe = QDir::current().filePath(u"pipe"_s);
    PipeWatchdog watchdog(pipe);
    const fileaccess::Contents noWriter = fileaccess::readRegularFile(pipe, 1024, std::chrono::milliseconds(200));
    QVERIFY(!watchdog.fired());
    watchdog.release();
    QVERIFY(!noWriter.opened);
    QCOMPARE(noWriter.outcome.problem, fileaccess::Problem::NotAnswering);

    // A writer that never writes: opening returns at once, and a pipe is not read.
    const int writer = ::open("pipe", O_RDWR);
    QVERIFY(writer >= 0);
    const fileaccess::Contents silentWriter = fileaccess::readRegularFile(pipe, 1024, std::chrono::seconds(60));
    ::close(writer);
    QVERIFY(!silentWriter.opened);
    QCOMPARE(silentWriter.outcome.problem, fileaccess::Problem::NotRegular);

    // A regular file is read whole, however long ago the last step was.
    writeFile("abc");
    const fileaccess::Contents regular = fileaccess::readRegularFile(u"Tavik.txt"_s, 1024);
    QVERIFY(regular.opened);
    QVERIFY(regular.outcome.ok());
    QCOMPARE(regular.bytes, QByteArray("abc"));
    QVERIFY(!regular.more);
}
#endif

void TestHelp::readErrorMidwayKeepsWhatWasRead()
{
    const QByteArray bytes = (u"Первая строка\nВторая строка\nТретья строка\n"_s).toUtf8();
    FailingDevice device(bytes, bytes.indexOf("Третья"));
    const helptext::ShownText loaded = helptext::read(device);
    QCOMPARE(loaded.error, u"Input/output error"_s);
    QCOMPARE(loaded.text, u"Первая строка\nВторая строка"_s);
    QVERIFY(!loaded.cut);
}

void TestHelp::largeFileIsCutAndSaysSo()
{
    QByteArray line = (u"Строка длинного файла справки, ещё и ещё\n"_s).toUtf8();
    writeFile(line.repeated(static_cast<int>(3 * helptext::ShownBytes / line.size())));
    openHelp();
    const QStringList lines = shownLines();
    QVERIFY(lines.size() < 3 * helptext::ShownBytes / line.size() / 2);
    QCOMPARE(lines.first(), u"Строка длинного файла справки, ещё и ещё"_s);
    QVERIFY2(lines.last().startsWith(u"[Показано только начало файла Tavik.txt"_s), qPrintable(lines.last()));
    QVERIFY(!lines[lines.size() - 2].contains(QChar(0xFFFD)));   // no character cut in half
    QCOMPARE(HelpForm->RichEdit1->textCursor().position(), 0);
}

void TestHelp::millionsOfLinesAreCutAndSaySo()
{
    writeFile(QByteArray(3 * helptext::ShownLines, '\n'));   // each line costs the viewer time
    openHelp();
    QCOMPARE(HelpForm->RichEdit1->blockCount(), helptext::ShownLines + 1);   // and the notice
    QVERIFY(HelpForm->RichEdit1->document()->lastBlock().text().startsWith(u"[Показано только начало"_s));

    QBuffer exact;
    exact.setData(QByteArray("a\nb\nc\n"));
    exact.open(QIODevice::ReadOnly);
    const helptext::ShownText three = helptext::read(exact, helptext::ShownBytes, 3);
    QCOMPARE(three.text, u"a\nb\nc"_s);   // exactly the limit: nothing left out
    QVERIFY(!three.cut);
}

void TestHelp::binaryContentShowsWhatItCan()
{
    QByteArray junk("text\0more\n", 10);
    for (int i = 0; i < 4096; ++i)
        junk += static_cast<char>((i * 37) & 0xFF);
    writeFile(junk);
    openHelp();
    const QString text = HelpForm->RichEdit1->toPlainText();
    QVERIFY(text.startsWith(u"text\uFFFDmore\n"_s));
    QVERIFY(text.size() > 3000);
}

void TestHelp::aLineWithoutBreaksIsShownInPieces()
{
    // Laid out whole, a line this long that has no space to wrap at takes the viewer seconds.
    const QByteArray line = QByteArray("0123456789").repeated(30000);
    writeFile("first\n" + line + "\nlast\n");
    openHelp();
    const QStringList lines = shownLines();
    QCOMPARE(lines.first(), u"first"_s);
    QCOMPARE(lines.last(), u"last"_s);
    QCOMPARE(lines.mid(1, lines.size() - 2).join(QString()), QString::fromLatin1(line));   // nothing lost
    for (const QString &l : lines)
        QVERIFY(l.size() <= helptext::ShownLineLength);
    QCOMPARE(helptext::foldLongLines(u"abcdefg\nhi"_s, 3), u"abc\ndef\ng\nhi"_s);
    QCOMPARE(helptext::foldLongLines(u"ab"_s + u"😀"_s + u"c"_s, 3), u"ab"_s + u"😀"_s + u"\nc"_s);   // pairs stay whole
}

void TestHelp::focusAfterFinishAndCloseBox()
{
    writeFile("help\n");
    openHelp();
    click(HelpForm->Button1);
    QTRY_VERIFY(MainForm->Edit1->hasFocus());
    QVERIFY(MainForm->isActiveWindow());

    openHelp();
    HelpForm->activateWindow();
    QTRY_VERIFY(HelpForm->isActiveWindow());
    HelpForm->close();
    QVERIFY(!HelpForm->isVisible());
    QTRY_VERIFY(MainForm->Edit1->hasFocus());
    type(u"4"_s);   // the keys arrive in the field
    QCOMPARE(MainForm->Edit1->text(), u"4"_s);
}

enum class HelpFocus { Text, FinishButton };
Q_DECLARE_METATYPE(HelpFocus)

void TestHelp::escapeClosesAsTheCloseBoxDoes_data()
{
    QTest::addColumn<HelpFocus>("focus");
    QTest::newRow("in the text") << HelpFocus::Text;
    QTest::newRow("on the finish button") << HelpFocus::FinishButton;
}

void TestHelp::escapeClosesAsTheCloseBoxDoes()
{
    QFETCH(HelpFocus, focus);
    writeFile("first\nsecond\n");
    type(u"48"_s);
    openHelp();
    if (focus == HelpFocus::FinishButton) {
        press(Qt::Key_Tab);
        QTRY_VERIFY(HelpForm->Button1->hasFocus());
    }
    press(Qt::Key_Escape);
    QTRY_VERIFY(!HelpForm->isVisible());
    QTRY_VERIFY(MainForm->Edit1->hasFocus());
    QVERIFY(MainForm->isActiveWindow());
    QCOMPARE(shownLines(), (QStringList{u"first"_s, u"second"_s}));   // as the close box leaves it
    type(u"2"_s);   // the keys arrive in the field, after what was there
    QCOMPARE(MainForm->Edit1->text(), u"482"_s);
    press(Qt::Key_Escape);   // nothing in the main window answers it
    QVERIFY(MainForm->isVisible());
    QCOMPARE(MainForm->Edit1->text(), u"482"_s);
}

void TestHelp::escapeStepsBackFromThePictureToTheField()
{
    writeFile("help\n");
    openHelp();
    giveFocus(MainForm->Edit1);
    QTRY_VERIFY(MainForm->Edit1->hasFocus());
    showPictureOf(u"4820000000000"_s);
    press(Qt::Key_Escape);   // the picture window first, back into the help text
    QTRY_VERIFY(!Form1->isVisible());
    QVERIFY(HelpForm->isVisible());
    QTRY_VERIFY(HelpForm->RichEdit1->hasFocus());
    press(Qt::Key_Escape);   // then the help window, back into the field
    QTRY_VERIFY(!HelpForm->isVisible());
    QTRY_VERIFY(MainForm->Edit1->hasFocus());
    QVERIFY(MainForm->isVisible());
}

void TestHelp::closingThePictureWindow_data()
{
    QTest::addColumn<bool>("helpShown");
    QTest::newRow("help window shown") << true;
    QTest::newRow("help window hidden") << false;
}

void TestHelp::closingThePictureWindow()
{
    QFETCH(bool, helpShown);
    writeFile("help\n");
    if (helpShown)
        openHelp();
    giveFocus(MainForm->Edit1);
    QTRY_VERIFY(MainForm->Edit1->hasFocus());
    showPictureOf(u"4820000000000"_s);
    QTRY_VERIFY(Form1->hasFocus());
    Form1->close();
    QWidget *expected = helpShown ? static_cast<QWidget *>(HelpForm->RichEdit1) : MainForm->Edit1;
    QTRY_VERIFY(expected->hasFocus());
    QVERIFY(expected->window()->isActiveWindow());
}

void TestHelp::mainWindowStaysUsable()
{
    writeFile("help\n");
    openHelp();
    giveFocus(MainForm->Edit1);
    QTRY_VERIFY(MainForm->Edit1->hasFocus());
    type(u"4820000000000"_s);
    press(Qt::Key_Return);
    QCOMPARE(listLines().size(), 3);
    QVERIFY(HelpForm->isVisible());
}

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
