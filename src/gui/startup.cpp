#include "startup.h"

#include "listwindow.h"
#include "version.h"
#include "windows.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QLibrary>
#include <QLibraryInfo>
#include <QLocale>
#include <QPixmap>
#include <QResource>
#include <QTranslator>

#include <algorithm>
#include <memory>
#include <cstdio>
#include <string_view>

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
    showMessage(parent, QStringLiteral("Анализатор штрих-кодов v" BARCODE_ANALYSER_VERSION
                                        ". Автор команда Barcode Analyser.\r"
                                        "Home page: " BARCODE_ANALYSER_HOMEPAGE));
}

namespace {

void describeCommandLine(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        u"Checks retail article numbers of the EAN-13 family in a window: type a 12- or 13-digit number"
        u" (or let a barcode scanner type it), and the program verifies its check digit, names the"
        u" country that its prefix stands for and draws its barcode. The window speaks Russian."
        u" For many numbers at once, see ean13."_s);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(u"FILE"_s, u"Lists of codes (CSV or text) to check, each shown in a list window."_s,
                                 u"[FILE...]"_s);
}

#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
using Disconnect = void (*)(void *);

// The connection that asked, kept open until the toolkit has its own: were it the server's only
// client, closing it would make the server reset itself, and the toolkit's connection would wait
// for that (a fifth of a second on Xvfb, 0.2 s of the 0.45 s start-up measured there).
struct Question
{
    void *connection = nullptr;
    Disconnect disconnect = nullptr;
    ~Question()
    {
        if (connection)
            disconnect(connection);
    }
};
std::unique_ptr<Question> lastQuestion;

// Asks the X server through the toolkit's own X library, loaded only for the question. Where the
// library cannot be loaded, the toolkit will not get further either and says so itself.
bool xServerAnswers(const QByteArray &display)
{
    QLibrary xcb(u"xcb"_s, 1);
    using Connect = void *(*)(const char *, int *);
    using HasError = int (*)(void *);
    const auto connect = reinterpret_cast<Connect>(xcb.resolve("xcb_connect"));
    const auto hasError = reinterpret_cast<HasError>(xcb.resolve("xcb_connection_has_error"));
    const auto disconnect = reinterpret_cast<Disconnect>(xcb.resolve("xcb_disconnect"));
    if (!connect || !hasError || !disconnect)
        return true;
    lastQuestion = std::make_unique<Question>();   // closes the one before
    lastQuestion->connection = connect(display.constData(), nullptr);   // never null: an error has its own object
    lastQuestion->disconnect = disconnect;
    return hasError(lastQuestion->connection) == 0;
}
#endif

} // namespace

void answerCommandLine(int &argc, char **argv)
{
    // Only these need an answer before the window: a QApplication would want a display first.
    const auto asksForText = [](std::string_view arg) {
        return arg == "-h" || arg == "-?" || arg == "--help" || arg == "--help-all" || arg == "-v"
               || arg == "--version";
    };
    const auto end = std::find(argv + 1, argv + argc, std::string_view("--"));
    if (std::none_of(argv + 1, end, asksForText))
        return;
    QCoreApplication app(argc, argv);
    setApplicationIdentity();
    QCommandLineParser parser;
    describeCommandLine(parser);
    parser.process(app);   // prints the text asked for and ends the process
}

void setApplicationIdentity()
{
    QCoreApplication::setApplicationVersion(QStringLiteral(BARCODE_ANALYSER_VERSION));
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        QCoreApplication::setApplicationName(u"barcode-analyser"_s);   // what --version says
        return;
    }
    QGuiApplication::setApplicationName(ApplicationTitle);
    QGuiApplication::setDesktopFileName(u"example.barcode_analyser.BarcodeAnalyser"_s);
    // The desktop's SVG icon drawn beforehand as plain pixels (8-bit RGBA) at the sizes a window
    // manager asks for: an SVG would load the toolkit's SVG engine at every start, and any image
    // file its every image format plugin, to ask each whether the file is its own.
    QIcon icon;
    for (int size : {16, 32, 64, 128}) {
        const QByteArray pixels = QResource(u":/icons/barcode-analyser-%1.rgba"_s.arg(size)).uncompressedData();
        if (pixels.size() == size * size * 4)
            icon.addPixmap(QPixmap::fromImage(QImage(reinterpret_cast<const uchar *>(pixels.constData()), size, size,
                                                     QImage::Format_RGBA8888)
                                                  .convertToFormat(QImage::Format_ARGB32_Premultiplied)));
    }
    QGuiApplication::setWindowIcon(icon);
}

namespace {

// Qt 6 moved the file dialog's names of a folder and a drive to a class of its own, and the
// toolkit's Russian (6.4) has none for it: the dialog's list said "Folder" beside Russian headers.
// Asked after qtbase_ru, so that its own translation wins once it has one.
class ToolkitGaps : public QTranslator
{
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char *context, const char *sourceText, const char *, int) const override
    {
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0)
            return {};
        if (qstrcmp(sourceText, "Folder") == 0)
            return u"Папка"_s;
        if (qstrcmp(sourceText, "Drive") == 0)
            return u"Диск"_s;
        return {};
    }
};

} // namespace

bool loadToolkitTranslations()
{
    // Russian whatever the desktop's language: the program's own texts are Russian too. The
    // locale names the file types in the file dialog ("Изображение SVG"); dates and sizes there
    // stay as the desktop writes them.
    auto *translator = new QTranslator(QCoreApplication::instance());
    for (const QString &folder : {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                                  QCoreApplication::applicationDirPath() + u"/translations"_s}) {
        if (translator->load(u"qtbase_ru"_s, folder)) {
            QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
            QCoreApplication::installTranslator(new ToolkitGaps(QCoreApplication::instance()));
            return QCoreApplication::installTranslator(translator);
        }
    }
    delete translator;
    return false;
}

bool displayAvailable(int argc, char **argv)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    QByteArray display = qgetenv("DISPLAY");
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg = argv[i];
        if (arg == "-platform" || arg == "--platform")
            return true;   // the person chose where to show it
        if ((arg == "-display" || arg == "--display") && i + 1 < argc)
            display = argv[i + 1];
    }
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith("xcb"))
        return true;
    if (platform.isEmpty() && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return true;
    return !display.isEmpty() && xServerAnswers(display);
#else
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    return true;   // a Windows or macOS program always has its desktop
#endif
}

int runAnalyser(int &argc, char **argv, QObject *mainWindowWatcher)
{
    answerCommandLine(argc, argv);
    if (!displayAvailable(argc, argv)) {
        // Instead of the toolkit's abort, which advises reinstalling the program.
        std::fputs("Нет экрана, на котором можно показать окно программы: запустите её на рабочем столе "
                   "(или задайте DISPLAY, например войдя по ssh -X) либо проверяйте коды в терминале: "
                   "ean13 4820000000000\n",
                   stderr);
        return 1;
    }
    QApplication app(argc, argv);
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    lastQuestion.reset();   // the toolkit is connected now
#endif
    setApplicationIdentity();
    // Qt's own options (-platform, -style...) are gone from arguments() by now; what is left
    // must be ours, or it is a mistake worth saying.
    QCommandLineParser parser;
    describeCommandLine(parser);
    parser.process(app);
    loadToolkitTranslations();   // before any window, so that every dialog and menu it opens is Russian
    Forms forms;
    if (mainWindowWatcher)
        forms.mainForm.installEventFilter(mainWindowWatcher);
    forms.mainForm.show();
    if (const QStringList lists = parser.positionalArguments(); !lists.isEmpty()) {
        if (auto *input = forms.mainForm.findChild<ListInput *>())
            input->open(lists);
    }
    // The other two windows do not keep the program running: closing the main window ends it.
    return app.exec() == 0 ? 0 : 1;
}
