// ean13 end to end: the real executable, its standard input and output, and its exit status.
#include "child.h"
#include "process.h"
#include "version.h"

#include <QtTest>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>
#endif

using namespace Qt::Literals::StringLiterals;

namespace {

Run run(const QStringList &args, const QByteArray &input = {}, const QString &workingDirectory = {})
{
    return runProgram(QStringLiteral(EAN13_EXE), args, input, workingDirectory);
}

QList<QJsonObject> records(const QByteArray &out)
{
    return jsonRecords(out);
}

const QString LengthError = u"ОШИБКА! Длинна введенного кода отличается от 12-13!"_s;
const QString NonDigitError = u"ОШИБКА! В коде присутствуют символы отличные от цифр!"_s;
const QString NumberSystemError = u"ОШИБКА! Номер UPC-E начинается с системы нумерации 0 или 1!"_s;
const QString UpcELengthError = u"ОШИБКА! Номер UPC-E состоит из 6, 7 или 8 цифр, номер UPC-A — из 12 или 13!"_s;
const QString BadUpcEError = u"ОШИБКА! Неверный номер UPC-E: по правилам сокращения нулей его номер UPC-A записывается в UPC-E иначе!"_s;
const QString NotUpcEError = u"ОШИБКА! Этот номер нельзя сократить до UPC-E: нужен номер UPC-A с системой нумерации 0 или 1 и нулями на сокращаемых местах!"_s;

// Text records, spelled out: "CODE\tSTATUS\tCHECK\tTEXT\n".
QByteArray rec(const QString &code, const QString &status, const QString &check, const QString &text)
{
    return (code + u'\t' + status + u'\t' + check + u'\t' + text + u'\n').toUtf8();
}
QByteArray tooLong(const QString &first13) { return rec(first13 + u"…"_s, u"bad-length"_s, u"-"_s, LengthError); }
QByteArray shortOrLong(const QString &code) { return rec(code, u"bad-length"_s, u"-"_s, LengthError); }
QByteArray missing(const QString &column)
{
    return rec(QString(), u"missing-column"_s, u"-"_s, u"В записи нет столбца «"_s + column + u"»."_s);
}
const QByteArray UkraineOk = rec(u"4820000000000"_s, u"ok"_s, u"0"_s, u"Украина"_s);
const QByteArray UkraineWrong = rec(u"4820000000001"_s, u"bad-check-digit"_s, u"0"_s, u"Украина"_s);
const QByteArray UpcOk = rec(u"0036000291452"_s, u"ok"_s, u"2"_s, u"США (Канада)"_s);
const QByteArray UpcEOk = rec(u"0042100005264"_s, u"ok"_s, u"4"_s, u"США (Канада)"_s);   // UPC-E 04252614

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void jsonOfAnAcceptedCode();
    void jsonOfRejectedEntries();
    void exitStatus_data();
    void exitStatus();
    void textOutputIsOneLineOfFourFields();
    void lineEndsAndAwkwardBytes();
    void everyLineGivesOneRecordInOrder();
    void aHugeLineIsOneRecordLikeAnyOther();
    void aHugeFirstLineIsNoHeader_data();
    void aHugeFirstLineIsNoHeader();
    void aClosedPipeEndsItAsSigpipeDoes();
    void unreadableInputSaysWhy();
    void aFullDiskIsAnErrorNotSuccess();
    void subcommandsAreHandedOn_data();
    void subcommandsAreHandedOn();
    void helpAndVersion_data();
    void helpAndVersion();
    void messagesShowNoControlCharacters_data();
    void messagesShowNoControlCharacters();
    void entriesAndInputs_data();
    void entriesAndInputs();
    void commandsThatGoWrong_data();
    void commandsThatGoWrong();
    void aTerminalIsToldHowToEndTheInput();
    void everyJsonRecordHasItsLine();
    void gtinKindAndIssuerInJson();
    void upcEAndBookNumbersInJson();
    void sixDigitsThatNameAFile();
    void sourcesInJson();
    void theReaderLeavingEarlyIsNoSuccess_data();
    void theReaderLeavingEarlyIsNoSuccess();
    void nothingInAFieldActsOnTheTerminal_data();
    void nothingInAFieldActsOnTheTerminal();
    void slowInputIsAnsweredLineByLine();
};

void TestCli::jsonOfAnAcceptedCode()
{
    const Run r = run({u"--json"_s, u"4820000000000"_s});
    QCOMPARE(r.exitCode, 0);
    const auto recs = records(r.out);
    QCOMPARE(recs.size(), 1);
    const QJsonObject o = recs[0];
    QCOMPARE(o[u"entry"_s].toString(), u"4820000000000"_s);
    QCOMPARE(o[u"code"_s].toString(), u"4820000000000"_s);
    QCOMPARE(o[u"status"_s].toString(), u"ok"_s);
    QCOMPARE(o[u"colour"_s].toString(), u"blue"_s);
    QCOMPARE(o[u"lines"_s].toArray().toVariantList(),
             (QVariantList{u"Контрольная сумма в коде корректна!"_s,
                           u"----------------------------------------------------------"_s,
                           u"Страна-производитель: Украина."_s}));
    QCOMPARE(o[u"picture"_s].toBool(), true);
    QCOMPARE(o[u"expected_check_digit"_s].toInt(-1), 0);
    QCOMPARE(o[u"country"_s].toString(), u"Украина"_s);
    QCOMPARE(o[u"first_digit"_s].toString(), u"4"_s);
    QCOMPARE(o[u"modules"_s].toString(),
             u"0110111" "0011011" "0001101" "0001101" "0100111" "0100111"
             u"1110010" "1110010" "1110010" "1110010" "1110010" "1110010"_s);
}

void TestCli::jsonOfRejectedEntries()
{
    const Run r = run({u"--json"_s}, "036000291452\n4820000000007\n48200000x0000\n\n");
    QCOMPARE(r.exitCode, 1);
    const auto recs = records(r.out);
    QCOMPARE(recs.size(), 4);

    QCOMPARE(recs[0][u"code"_s].toString(), u"0036000291452"_s);   // UPC-A, padded
    QCOMPARE(recs[0][u"status"_s].toString(), u"ok"_s);
    QCOMPARE(recs[0][u"picture"_s].toBool(), false);                 // not typed with 13 digits
    QCOMPARE(recs[0][u"country"_s].toString(), u"США (Канада)"_s);

    QCOMPARE(recs[1][u"status"_s].toString(), u"bad-check-digit"_s);
    QCOMPARE(recs[1][u"colour"_s].toString(), u"blue"_s);
    QCOMPARE(recs[1][u"expected_check_digit"_s].toInt(-1), 0);
    QCOMPARE(recs[1][u"lines"_s].toArray().first().toString(), u"ВНИМАНИЕ! В коде некорректна контрольная сумма!"_s);
    QCOMPARE(recs[1][u"picture"_s].toBool(), true);

    QCOMPARE(recs[2][u"status"_s].toString(), u"non-digit"_s);
    QCOMPARE(recs[2][u"colour"_s].toString(), u"red"_s);
    QCOMPARE(recs[2][u"lines"_s].toArray().toVariantList(), QVariantList{NonDigitError});
    QVERIFY(!recs[2].contains(u"country"_s));
    QVERIFY(!recs[2].contains(u"modules"_s));

    QCOMPARE(recs[3][u"entry"_s].toString(), QString());
    QCOMPARE(recs[3][u"status"_s].toString(), u"bad-length"_s);
    QCOMPARE(recs[3][u"lines"_s].toArray().toVariantList(), QVariantList{LengthError});
}

void TestCli::exitStatus_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<bool>("saysWhy");
    QTest::newRow("all correct") << QStringList{u"4820000000000"_s, u"0000000000000"_s} << QByteArray() << 0 << false;
    QTest::newRow("one wrong check digit") << QStringList{u"4820000000000"_s, u"4820000000001"_s} << QByteArray() << 1 << false;
    QTest::newRow("one rejected on stdin") << QStringList() << QByteArray("4820000000000\n123\n") << 1 << false;
    QTest::newRow("no input at all") << QStringList() << QByteArray() << 0 << false;
    QTest::newRow("unknown option") << QStringList{u"--colour"_s} << QByteArray() << 2 << true;
    QTest::newRow("-- lets a code begin with -") << QStringList{u"--"_s, u"-1"_s} << QByteArray() << 1 << false;
}

void TestCli::exitStatus()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);
    QFETCH(bool, saysWhy);
    const Run r = run(args, input);
    QCOMPARE(r.exitCode, exitCode);
    if (saysWhy) {
        QCOMPARE(r.err.count('\n'), 1);
        QVERIFY(r.err.startsWith("ean13: "));
        QVERIFY(r.out.isEmpty());
    } else {
        QVERIFY(r.err.isEmpty());
    }
}

void TestCli::textOutputIsOneLineOfFourFields()
{
    const Run r = run({}, "4820000000001\n2000000000008\nabc\n");
    QCOMPARE(QString::fromUtf8(r.out),
             u"4820000000001\tbad-check-digit\t0\tУкраина\n"
             u"2000000000008\tok\t8\tНе могу распознать!\n"
             u"abc\tbad-length\t-\t"_s + LengthError + u"\n"_s);
    const Run help = run({u"--help"_s});
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.contains("bad-check-digit"));
}

void TestCli::lineEndsAndAwkwardBytes()
{
    // CRLF and LF end lines; a CR elsewhere, a NUL and stray bytes are characters of the entry.
    const QByteArray input("4820000000000\r\n"
                           "482000000000\r0\n"
                           "4820000000\xd0\x96\n"        // 11 characters, though 12 bytes
                           "\xff" "48200000000\xfe\n"    // 13 characters: two of them stray bytes
                           "\0" "482000000000\n"
                           "4820000000000\r",
                           15 + 15 + 13 + 14 + 14 + 14);
    // Read as UTF-8: by default an input that is not UTF-8 is taken for Windows-1251.
    const Run r = run({u"--json"_s, u"--as-typed"_s, u"--encoding"_s, u"utf-8"_s}, input);
    const auto recs = records(r.out);
    QCOMPARE(recs.size(), 6);
    QCOMPARE(recs[0][u"status"_s].toString(), u"ok"_s);
    QCOMPARE(recs[0][u"entry"_s].toString(), u"4820000000000"_s);
    QCOMPARE(recs[1][u"entry"_s].toString(), u"482000000000\r0"_s);
    QCOMPARE(recs[1][u"status"_s].toString(), u"non-digit"_s);   // cut to 13 characters as typed
    QCOMPARE(recs[2][u"status"_s].toString(), u"bad-length"_s);
    QCOMPARE(recs[3][u"status"_s].toString(), u"non-digit"_s);
    QCOMPARE(recs[3][u"code"_s].toString(), u"\uFFFD48200000000\uFFFD"_s);
    QCOMPARE(recs[4][u"status"_s].toString(), u"non-digit"_s);
    QCOMPARE(recs[4][u"entry"_s].toString(), QString(QChar(u'\0')) + u"482000000000"_s);
    QCOMPARE(recs[5][u"entry"_s].toString(), u"4820000000000\r"_s);   // a CR at the very end stays
    QCOMPARE(recs[5][u"code"_s].toString(), u"4820000000000"_s);
    // By default the CR counts: fourteen characters are too many.
    const auto strict = records(run({u"--json"_s, u"--encoding"_s, u"utf-8"_s}, input).out);
    QCOMPARE(strict.size(), 6);
    QCOMPARE(strict[1][u"status"_s].toString(), u"bad-length"_s);
    QCOMPARE(strict[5][u"status"_s].toString(), u"bad-length"_s);

    // The text output shows what it cannot print as \xHH, so nothing is lost and nothing breaks a line.
    const Run text = run({u"--encoding"_s, u"utf-8"_s}, QByteArray("\xff" "48200000000\t\n", 14));
    QCOMPARE(text.out.left(text.out.indexOf('\t')), QByteArray("\\xff48200000000\\x09"));
    QCOMPARE(text.out.count('\n'), 1);
}

void TestCli::everyLineGivesOneRecordInOrder()
{
    QByteArray input;
    QStringList expected;
    for (int i = 0; i < 20000; ++i) {
        const QString code = u"%1"_s.arg(i * 7919, 13, 10, QChar(u'0'));
        input += code.toLatin1() + (i % 3 == 0 ? "\r\n" : "\n");
        expected << code;
    }
    const Run r = run({}, input);
    const QList<QByteArray> lines = r.out.split('\n');
    QCOMPARE(lines.size(), expected.size() + 1);
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(QString::fromLatin1(lines[i].left(13)), expected[i]);
}

void TestCli::aHugeLineIsOneRecordLikeAnyOther()
{
    const QByteArray huge = "4820000000000" + QByteArray(8 * 1024 * 1024, 'x') + "\n4820000000000\n";
    const QByteArray ukraineOk = "4820000000000\tok\t0\t\xd0\xa3\xd0\xba\xd1\x80\xd0\xb0\xd0\xb8\xd0\xbd\xd0\xb0\n";
    const Run typed = run({u"--as-typed"_s}, huge);
    QCOMPARE(typed.exitCode, 0);
    QCOMPARE(typed.out, ukraineOk.repeated(2));
    const Run text = run({}, huge);
    QCOMPARE(text.exitCode, 1);
    QCOMPARE(text.out, "4820000000000\xe2\x80\xa6\tbad-length\t-\t" + LengthError.toUtf8() + "\n" + ukraineOk);
    const Run json = run({u"--json"_s}, huge);
    const auto recs = records(json.out);
    QCOMPARE(recs.size(), 2);
    QCOMPARE(recs[0][u"entry"_s].toString().size(), 13 + 8 * 1024 * 1024);
    QCOMPARE(recs[0][u"status"_s].toString(), u"bad-length"_s);
}

void TestCli::aHugeFirstLineIsNoHeader_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("line");   // repeated to 100 MB
    QTest::newRow("lines") << QStringList{u"--header"_s} << QByteArray("\t");
    QTest::newRow("CSV of commas") << QStringList{u"--csv"_s, u"--header"_s} << QByteArray(",");
    QTest::newRow("CSV of quoted fields") << QStringList{u"--csv"_s, u"--header"_s} << QByteArray("\"\",");
}

void TestCli::aHugeFirstLineIsNoHeader()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, line);
    QTemporaryDir dir;
    QFile input(dir.filePath(u"huge.csv"_s));
    QVERIFY(input.open(QIODevice::WriteOnly));
    const QByteArray block = line.repeated((1 << 20) / line.size());
    for (int i = 0; i < 100; ++i)
        QVERIFY(input.write(block) == block.size());
    QVERIFY(input.write("\n4820000000000\n") > 0);
    input.close();
    ChildSetup setup;
    setup.stdinFile = input.fileName();
    const ChildRun r = runChild(QStringLiteral(EAN13_EXE), args, setup);
    QCOMPARE(r.signal, 0);
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(r.err.contains("the first line is too long to be a header"), r.err.constData());
    // Read in pieces: a megabyte of header at most, never the hundred.
    QVERIFY2(r.peakRssKiB < 48 * 1024 * SanitizerMemoryFactor, qPrintable(QString::number(r.peakRssKiB)));
}

void TestCli::aClosedPipeEndsItAsSigpipeDoes()
{
    // The reader goes away after the first piece; ean13 must neither hang nor complain, and it
    // must not say "all correct" about entries it never read: it ends as killed by SIGPIPE.
    QProcess p;
    QProcess reader;
    p.setStandardOutputProcess(&reader);
    reader.start(u"head"_s, {u"-c"_s, u"10"_s});
    p.start(QStringLiteral(EAN13_EXE), {});
    QVERIFY(p.waitForStarted());
    p.write(QByteArray("4820000000000\n").repeated(200000));
    p.closeWriteChannel();
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitStatus(), QProcess::CrashExit);
    QVERIFY(p.readAllStandardError().isEmpty());
    reader.waitForFinished();
}

void TestCli::unreadableInputSaysWhy()
{
    QTemporaryDir dir;   // a directory opens for reading, but every read of it fails
    QProcess p;
    p.setStandardInputFile(dir.path());
    p.start(QStringLiteral(EAN13_EXE), {});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 2);
    const QByteArray err = p.readAllStandardError();
    QCOMPARE(err.count('\n'), 1);
    QVERIFY2(err.startsWith("ean13: cannot read standard input: "), err.constData());
}

void TestCli::aFullDiskIsAnErrorNotSuccess()
{
    if (!QFile::exists(u"/dev/full"_s))
        QSKIP("no /dev/full on this system");
    QProcess p;
    p.setStandardOutputFile(u"/dev/full"_s);   // every write fails with ENOSPC
    p.start(QStringLiteral(EAN13_EXE), {u"4820000000000"_s});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 2);
    QVERIFY(p.readAllStandardError().startsWith("ean13: cannot write standard output: "));
}

void TestCli::subcommandsAreHandedOn_data()
{
    QTest::addColumn<QString>("helperAt");   // where the helper program lies, beside ean13 in bin/
    QTest::addColumn<QString>("subcommand");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("render beside ean13") << u"bin/ean13-render"_s << u"render"_s << 7;
    QTest::newRow("scan in libexec") << u"libexec/barcode-analyser/ean13-scan"_s << u"scan"_s << 7;
    QTest::newRow("render missing") << QString() << u"render"_s << 2;
    QTest::newRow("scan missing, render there") << u"bin/ean13-render"_s << u"scan"_s << 2;
}

void TestCli::subcommandsAreHandedOn()
{
#ifdef Q_OS_WIN
    QSKIP("the stand-in helper is a shell script");
#endif
    QFETCH(QString, helperAt);
    QFETCH(QString, subcommand);
    QFETCH(int, exitCode);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(u"bin"_s) && QDir(dir.path()).mkpath(u"libexec/barcode-analyser"_s));
    const QString ean13 = dir.filePath(u"bin/ean13"_s);
    QVERIFY(QFile::copy(QStringLiteral(EAN13_EXE), ean13));
    if (!helperAt.isEmpty()) {
        // A stand-in that shows what it was given: its arguments, its input, and a status of its own.
        QFile helper(dir.filePath(helperAt));
        QVERIFY(helper.open(QIODevice::WriteOnly));
        helper.write("#!/bin/sh\nfor a in \"$@\"; do printf '[%s]' \"$a\"; done\ncat\nexit 7\n");
        helper.close();
        helper.setPermissions(helper.permissions() | QFileDevice::ExeOwner);
    }
    QProcess p;
    p.start(ean13, {subcommand, u"--json"_s, u"a b"_s, u""_s, u"--help"_s});
    QVERIFY(p.waitForStarted());
    p.write("from standard input");
    p.closeWriteChannel();
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), exitCode);
    if (exitCode == 7) {
        QCOMPARE(p.readAllStandardOutput(), QByteArray("[--json][a b][][--help]from standard input"));
    } else {
        const QByteArray err = p.readAllStandardError();
        QVERIFY2(err.startsWith("ean13: ") && err.contains("ean13-" + subcommand.toLatin1()), err.constData());
        QVERIFY(p.readAllStandardOutput().isEmpty());
    }
}

void TestCli::helpAndVersion_data()
{
    // Every program, each option, once to a terminal's standard output and once where nothing can be
    // written: the text is printed, or the failure is said and the status is 2.
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("name");   // how the program's messages begin
    QTest::addColumn<QByteArrayList>("mentions");
    QTest::addColumn<bool>("toFullDisk");
    const QString ean13 = QStringLiteral(EAN13_EXE);
    const QString render = QStringLiteral(RENDER_EXE);
    const QString scan = QStringLiteral(SCAN_EXE);
    const QString grade = QStringLiteral(GRADE_EXE);
    const QByteArrayList options{"--input", "--column", "--delimiter", "--csv", "--header", "--clean", "--gtin",
                                 "--upce", "upc_a", "upc_e", "isbn10", "issn", "ismn", "--as-typed", "--json", "Exit status", "SIGPIPE", "--version"};
    const QByteArrayList renderOptions{"--format", "--x-dim", "--dpi", "--height", "--bwr", "--no-text",
                                       "--margin-indicator", "--output", "--input", "Exit status", "--version"};
    const QByteArrayList scanOptions{"usage: ean13 scan", "--json", "IMAGE", "Exit status", "--version"};
    const QByteArrayList gradeOptions{"usage: ean13 grade", "--json", "--dpi", "--aperture", "--calibrate", "--bwr",
                                      "--profile", "IMAGE", "Exit status", "--version"};
    const QByteArray version = BARCODE_ANALYSER_VERSION "\n";
    struct Case
    {
        const char *row;
        QString program;
        QStringList args;
        QByteArray name;
        QByteArrayList mentions;
    };
    const Case cases[] = {
        {"ean13 --help lists the subcommands", ean13, {u"--help"_s}, "ean13",
         options + QByteArrayList{"check", "render", "scan", "grade"}},
        {"ean13 check --help", ean13, {u"check"_s, u"--help"_s}, "ean13", options},
        {"ean13 -h", ean13, {u"-h"_s}, "ean13", options},
        {"ean13 --version", ean13, {u"--version"_s}, "ean13", {"ean13 (Barcode Analyser) " + version}},
        {"ean13 check --version", ean13, {u"check"_s, u"--version"_s}, "ean13", {"ean13 (Barcode Analyser) " + version}},
        {"ean13-render --help", render, {u"--help"_s}, "ean13 render", renderOptions},
        {"ean13-render -h", render, {u"-h"_s}, "ean13 render", renderOptions},
        {"ean13-render --version", render, {u"--version"_s}, "ean13 render",
         {"ean13 render (Barcode Analyser) " + version}},
        {"ean13 render --help", ean13, {u"render"_s, u"--help"_s}, "ean13 render", renderOptions},
        {"ean13-scan --help", scan, {u"--help"_s}, "ean13 scan", scanOptions},
        {"ean13-scan -h", scan, {u"-h"_s}, "ean13 scan", scanOptions},
        {"ean13-scan --version", scan, {u"--version"_s}, "ean13 scan", {"ean13 scan (Barcode Analyser) " + version}},
        {"ean13 scan --version", ean13, {u"scan"_s, u"--version"_s}, "ean13 scan",
         {"ean13 scan (Barcode Analyser) " + version}},
        {"ean13-grade --help", grade, {u"--help"_s}, "ean13 grade", gradeOptions},
        {"ean13 grade --help", ean13, {u"grade"_s, u"--help"_s}, "ean13 grade", gradeOptions},
        {"ean13 grade --version", ean13, {u"grade"_s, u"--version"_s}, "ean13 grade",
         {"ean13 grade (Barcode Analyser) " + version}},
    };
    for (const Case &c : cases) {
        QTest::newRow(c.row) << c.program << c.args << c.name << c.mentions << false;
        QTest::addRow("%s > /dev/full", c.row) << c.program << c.args << c.name << c.mentions << true;
    }
}

void TestCli::helpAndVersion()
{
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    QFETCH(QByteArray, name);
    QFETCH(QByteArrayList, mentions);
    QFETCH(bool, toFullDisk);
    if (!toFullDisk) {
        const Run r = runProgram(program, args);
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.err, QByteArray());
        for (const QByteArray &m : mentions)
            QVERIFY2(r.out.contains(m), m.constData());
        if (mentions.size() == 1)   // the version: that one line and nothing else
            QCOMPARE(r.out, mentions.front());
        return;
    }
    if (!QFile::exists(u"/dev/full"_s))
        QSKIP("no /dev/full on this system");
    QProcess p;
    p.setStandardOutputFile(u"/dev/full"_s);   // every write fails with ENOSPC
    p.start(program, args);
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 2);
    const QByteArray err = p.readAllStandardError();
    QVERIFY2(err.startsWith(name + ": cannot write standard output: "), err.constData());
    QCOMPARE(err.count('\n'), 1);
}

void TestCli::messagesShowNoControlCharacters_data()
{
    // What a message echoes (an entry, a file name, an option's value) is shown as the records show
    // it, so that none of it can set the terminal's title, move the cursor or forge a line.
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("input");   // the lines of -i FILE, where args name it
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("err");
    const QString ean13 = QStringLiteral(EAN13_EXE);
    const QString osc = u"\x1b]0;title\x07"_s;   // sets the terminal's title
    QTest::newRow("render: an entry on a line of -i")
        << QStringLiteral(RENDER_EXE) << QStringList{u"-o"_s, u"out"_s, u"-i"_s, u"codes.txt"_s}
        << QByteArray("\x1b]0;title\x07\n4820000000000\n") << 1
        << QByteArray("ean13 render: \\x1b]0;title\\x07: not an 8-, 12- or 13-digit code\n");
    QTest::newRow("render: a line of megabytes, cut where a character ends")
        << QStringLiteral(RENDER_EXE) << QStringList{u"-o"_s, u"out"_s, u"-i"_s, u"codes.txt"_s}
        << QByteArray(63, 'x') + u"Ж"_s.repeated(1 << 20).toUtf8() + '\n' << 1
        << QByteArray(63, 'x').prepend("ean13 render: ") + "\xe2\x80\xa6: not an 8-, 12- or 13-digit code\n";
    QTest::newRow("render: a code argument")
        << QStringLiteral(RENDER_EXE) << QStringList{u"-o"_s, u"out.svg"_s, u"48200\r\n\x1b[2J"_s} << QByteArray() << 1
        << QByteArray("ean13 render: 48200\\x0d\\x0a\\x1b[2J: not an 8-, 12- or 13-digit code\n");
    QTest::newRow("render: an unknown format")
        << QStringLiteral(RENDER_EXE) << QStringList{u"-o"_s, u"out"_s, u"--format"_s, osc, u"4820000000000"_s}
        << QByteArray() << 2
        << QByteArray("ean13 render: unknown format '\\x1b]0;title\\x07': svg, png or pdf (see ean13 render --help)\n");
    QTest::newRow("scan: a file whose name has an ESC")
        << QStringLiteral(SCAN_EXE) << QStringList{u"shot\x1b[8m.png"_s} << QByteArray() << 2
        << QByteArray("ean13 scan: shot\\x1b[8m.png: no such file\n");
    QTest::newRow("scan through ean13, a bidirectional override")
        << ean13 << QStringList{u"scan"_s, u"gpj.\u202epng"_s} << QByteArray() << 2
        << QByteArray("ean13 scan: gpj.\\u202epng: no such file\n");
    QTest::newRow("check: a code that looks like a path")
        << ean13 << QStringList{u"no/such\x1b]0;x\x07"_s} << QByteArray() << 1
        << QByteArray("ean13: 'no/such\\x1b]0;x\\x07' is checked as a code: there is no such file "
                      "(to read a file, say -i FILE)\n");
    QTest::newRow("check: an option's value")
        << ean13 << QStringList{u"--delimiter"_s, u"\x1b[2J"_s} << QByteArray() << 2
        << QByteArray("ean13: --delimiter takes one character (or tab), not '\\x1b[2J' (see ean13 --help)\n");
}

void TestCli::messagesShowNoControlCharacters()
{
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, err);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (!input.isEmpty()) {
        QFile codes(dir.filePath(u"codes.txt"_s));
        QVERIFY(codes.open(QIODevice::WriteOnly));
        codes.write(input);
    }
    const Run r = runProgram(program, args, {}, dir.path(), 120000);
    QCOMPARE(r.exitCode, exitCode);
    QCOMPARE(r.err, err);
}

void TestCli::entriesAndInputs_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("input");     // standard input
    QTest::addColumn<QByteArray>("file");      // the file a.txt, if not empty
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("err");       // what standard error must contain; empty: nothing there

    const QByteArray none;
    // Strict length, and the window's cut.
    QTest::newRow("14 characters are too many") << QStringList() << QByteArray("48200000000000\n") << none
                                                << tooLong(u"4820000000000"_s) << 1 << none;
    QTest::newRow("a CSV line is no code") << QStringList() << u"4820000000000;Хлеб;25\n"_s.toUtf8() << none
                                           << tooLong(u"4820000000000"_s) << 1 << none;
    QTest::newRow("--as-typed cuts to 13") << QStringList{u"--as-typed"_s} << QByteArray("48200000000000\n") << none
                                           << UkraineOk << 0 << none;
    // --clean
    QTest::newRow("--clean drops spaces and hyphens")
        << QStringList{u"--clean"_s} << QByteArray("4 820000 000000\n978-5-00000-000-7\n-4820000000001-\n") << none
        << UkraineOk + rec(u"9785000000007"_s, u"ok"_s, u"7"_s, u"Россия (точно не уверен!)"_s) + UkraineWrong << 1 << none;
    QTest::newRow("--clean keeps other characters") << QStringList{u"--clean"_s} << QByteArray("4820000000000.\n")
                                                    << none << tooLong(u"4820000000000"_s) << 1 << none;
    QTest::newRow("a space is a character without --clean")
        << QStringList() << QByteArray("4 82000000000\n") << none
        << rec(u"4 82000000000"_s, u"non-digit"_s, u"-"_s, NonDigitError) << 1 << none;
    // --gtin
    QTest::newRow("--gtin: 8, 12, 13 and 14 digits")
        << QStringList{u"--gtin"_s} << QByteArray("96385074\n036000291452\n4820000000000\n14820000000007\n") << none
        << rec(u"96385074"_s, u"ok"_s, u"4"_s, u"Глобальный офис GS1 (GTIN-8)"_s) + UpcOk + UkraineOk
               + rec(u"14820000000007"_s, u"ok"_s, u"7"_s, u"GS1 Украина"_s)
        << 0 << none;
    QTest::newRow("--gtin: wrong digits, other lengths")
        << QStringList{u"--gtin"_s} << QByteArray("96385075\n14820000000000\n123456789\n1482000000000x\n148200000000000\n") << none
        << rec(u"96385075"_s, u"bad-check-digit"_s, u"4"_s, u"Глобальный офис GS1 (GTIN-8)"_s)
               + rec(u"14820000000000"_s, u"bad-check-digit"_s, u"7"_s, u"GS1 Украина"_s) + shortOrLong(u"123456789"_s)
               + rec(u"1482000000000x"_s, u"non-digit"_s, u"-"_s, NonDigitError) + tooLong(u"14820000000000"_s)
        << 1 << none;
    // --upce
    QTest::newRow("--upce: 8, 7 and 6 digits, a UPC-A number that has a UPC-E form")
        << QStringList{u"--upce"_s} << QByteArray("04252614\n0425261\n425261\n042100005264\n0042100005264\n") << none
        << UpcEOk + UpcEOk + UpcEOk + UpcEOk + UpcEOk << 0 << none;
    QTest::newRow("--upce: a wrong check digit is verified as usual")
        << QStringList{u"--upce"_s} << QByteArray("04252619\n") << none
        << rec(u"0042100005269"_s, u"bad-check-digit"_s, u"4"_s, u"США (Канада)"_s) << 1 << none;
    QTest::newRow("--upce: refusals")
        << QStringList{u"--upce"_s}
        << QByteArray("24252614\n01200033\n036000291452\n4820000000000\n12345\n123456789\n0123x565\n") << none
        << rec(u"24252614"_s, u"bad-number-system"_s, u"-"_s, NumberSystemError)
               + rec(u"01200033"_s, u"bad-upc-e"_s, u"-"_s, BadUpcEError)
               + rec(u"0036000291452"_s, u"not-upc-e"_s, u"-"_s, NotUpcEError)
               + rec(u"4820000000000"_s, u"not-upc-e"_s, u"-"_s, NotUpcEError)
               + rec(u"12345"_s, u"bad-length"_s, u"-"_s, UpcELengthError)
               + rec(u"123456789"_s, u"bad-length"_s, u"-"_s, UpcELengthError)
               + rec(u"0123x565"_s, u"non-digit"_s, u"-"_s, NonDigitError)
        << 1 << none;
    QTest::newRow("--upce --clean") << QStringList{u"--upce"_s, u"--clean"_s} << QByteArray("0 425261 4\n") << none
                                    << UpcEOk << 0 << none;
    QTest::newRow("--upce, codes as arguments") << QStringList{u"--upce"_s, u"425261"_s} << none << none << UpcEOk << 0
                                                << none;
    QTest::newRow("without --upce, 8 digits are too few")
        << QStringList() << QByteArray("96385074\n") << none << shortOrLong(u"96385074"_s) << 1 << none;
    // Columns
    QTest::newRow("--column 2 of tab-separated lines")
        << QStringList{u"--column"_s, u"2"_s} << u"Хлеб\t4820000000000\t25\nМолоко\n\t4820000000001\n"_s.toUtf8() << none
        << UkraineOk + missing(u"2"_s) + UkraineWrong << 1 << none;
    QTest::newRow("--delimiter ;") << QStringList{u"--column"_s, u"1"_s, u"--delimiter"_s, u";"_s}
                                   << u"4820000000000;Хлеб;25\r\n"_s.toUtf8() << none << UkraineOk << 0 << none;
    QTest::newRow("--csv: quotes, delimiters and line breaks in fields")
        << QStringList{u"--csv"_s, u"--column"_s, u"2"_s}
        << QByteArray("a,\"4820000000000\"\r\n\"x, \"\"y\"\"\",4820000000001\n\"q\",\"48200\n0000000\",z\nlonely\n") << none
        << UkraineOk + UkraineWrong + rec(u"48200\\x0a0000000"_s, u"non-digit"_s, u"-"_s, NonDigitError) + missing(u"2"_s)
        << 1 << none;
    QTest::newRow("--csv --header --column NAME")
        << QStringList{u"--csv"_s, u"--header"_s, u"--column"_s, u"EAN"_s}
        << u"\xEF\xBB\xBFИмя,EAN\nХлеб,4820000000000\n"_s.toUtf8() << none << UkraineOk << 0 << none;
    QTest::newRow("--header --column N skips the header")
        << QStringList{u"--header"_s, u"--column"_s, u"1"_s} << QByteArray("EAN\n4820000000000\n") << none
        << UkraineOk << 0 << none;
    QTest::newRow("a name the header lacks") << QStringList{u"--csv"_s, u"--header"_s, u"--column"_s, u"EAN"_s}
                                             << QByteArray("Code\n4820000000000\n") << none << none << 2
                                             << QByteArray("'EAN'");
    QTest::newRow("a name needs --header") << QStringList{u"--column"_s, u"EAN"_s} << QByteArray("4820000000000\n")
                                           << none << none << 2 << QByteArray("--header");
    QTest::newRow("a first line too long to be a header")
        << QStringList{u"--header"_s, u"--column"_s, u"1"_s} << QByteArray(2 << 20, 'x') + "\n4820000000000\n" << none
        << none << 2 << QByteArray("too long to be a header");
    QTest::newRow("a CSV field left open") << QStringList{u"--csv"_s} << QByteArray("4820000000000\n\"48200\n")
                                           << none << UkraineOk << 2 << QByteArray("line 2");
    // Inputs
    QTest::newRow("codes first, then the inputs in order, each record with its source")
        << QStringList{u"4820000000000"_s, u"-i"_s, u"a.txt"_s, u"--input"_s, u"-"_s} << QByteArray("036000291452\n")
        << QByteArray("4820000000001\n\n") << u"(command line):1\t"_s.toUtf8() + UkraineOk + "a.txt:1\t" + UkraineWrong
               + "a.txt:2\t" + shortOrLong(QString()) + "-:1\t" + UpcOk
        << 1 << none;
    QTest::newRow("one input: no sources") << QStringList{u"-i"_s, u"a.txt"_s} << none << QByteArray("4820000000000")
                                           << UkraineOk << 0 << none;
    QTest::newRow("a missing input: what came before stays")
        << QStringList{u"-i"_s, u"a.txt"_s, u"-i"_s, u"missing.txt"_s, u"-i"_s, u"a.txt"_s} << none
        << QByteArray("4820000000000\n") << "a.txt:1\t" + UkraineOk << 2 << QByteArray("missing.txt");
    QTest::newRow("a file as CODE") << QStringList{u"4820000000000"_s, u"a.txt"_s} << none << QByteArray("x\n") << none
                                    << 2 << QByteArray("-i 'a.txt'");
    QTest::newRow("a path that is no file: checked, and said") << QStringList{u"no/such.txt"_s} << none << none
                                                               << shortOrLong(u"no/such.txt"_s) << 1
                                                               << QByteArray("no such file");
    QTest::newRow("digits are a code, file or not") << QStringList{u"48200000"_s} << none << QByteArray("x\n")
                                                    << shortOrLong(u"48200000"_s) << 1 << none;
    // Lists as offices keep them: the delimiter and the encoding are found, a BOM is dropped.
    QTest::newRow("semicolons found without --delimiter")
        << QStringList{u"-i"_s, u"a.txt"_s, u"--csv"_s, u"--header"_s, u"--column"_s, u"ean"_s} << none
        << u"name;ean;price\r\nХлеб;4820000000000;25,50\r\n"_s.toUtf8() << UkraineOk << 0 << none;
    QTest::newRow("steady semicolons outvote commas in a name")
        << QStringList{u"-i"_s, u"a.txt"_s, u"--column"_s, u"2"_s} << none << QByteArray("a,b,c,d;4820000000000\nx;4820000000001\n")
        << UkraineOk + UkraineWrong << 1 << none;
    QTest::newRow("a tab-separated header decides")
        << QStringList{u"-i"_s, u"a.txt"_s, u"--header"_s, u"--column"_s, u"EAN"_s} << none
        << QByteArray("Name, short\tEAN\nBread, white\t4820000000000\n") << UkraineOk << 0 << none;
    QTest::newRow("an unknown column: the fields found, and --delimiter")
        << QStringList{u"-i"_s, u"a.txt"_s, u"--csv"_s, u"--header"_s, u"--column"_s, u"EAN"_s} << none
        << QByteArray("name;ean;price\n4820000000000\n") << none << 2
        << QByteArray("has no column named 'EAN'; its first line, split at the delimiter ';' (detected), has "
                      "the fields 'name', 'ean', 'price'; if another character separates them, say --delimiter C");
    QTest::newRow("an unknown column in a header of one field")
        << QStringList{u"-i"_s, u"a.txt"_s, u"--csv"_s, u"--header"_s, u"--column"_s, u"ean"_s} << none
        << QByteArray("name|ean|price\n4820000000000\n") << none << 2
        << QByteArray("split at the delimiter ',' (detected), has the one field 'name|ean|price'; if another "
                      "character separates them, say --delimiter C");
    QTest::newRow("a --delimiter given is kept")
        << QStringList{u"-i"_s, u"a.txt"_s, u"--csv"_s, u"--header"_s, u"--delimiter"_s, u","_s, u"--column"_s, u"ean"_s} << none
        << QByteArray("name;ean\n") << none << 2 << QByteArray("split at the delimiter ',', has the one field 'name;ean'");
    QTest::newRow("Notepad's byte-order mark is dropped") << QStringList{u"-i"_s, u"a.txt"_s} << none
                                                         << QByteArray("\xEF\xBB\xBF" "4820000000000\r\n") << UkraineOk << 0 << none;
    QTest::newRow("a byte-order mark inside an entry shows")
        << QStringList() << QByteArray("48200\xEF\xBB\xBF" "00000000\n") << none
        << tooLong(u"48200\\ufeff0000000"_s) << 1 << none;
    QTest::newRow("a zero-width space shows") << QStringList() << QByteArray("482000000000\xE2\x80\x8B\n") << none
                                              << rec(u"482000000000\\u200b"_s, u"non-digit"_s, u"-"_s, NonDigitError) << 1
                                              << none;
    QTest::newRow("Windows-1251 is found") << QStringList{u"-i"_s, u"a.txt"_s, u"--column"_s, u"1"_s} << none
                                           << QByteArray("\xD5\xEB\xE5\xE1;4820000000000\n") << shortOrLong(u"Хлеб"_s) << 1
                                           << none;
    QTest::newRow("a Windows-1251 header names its column")
        << QStringList{u"-i"_s, u"a.txt"_s, u"--csv"_s, u"--header"_s, u"--column"_s, u"Штрихкод"_s} << none
        << QByteArray("\xD8\xF2\xF0\xE8\xF5\xEA\xEE\xE4;\xC8\xEC\xFF\r\n4820000000000;\xD5\xEB\xE5\xE1\r\n")
        << UkraineOk << 0 << none;
    QTest::newRow("--encoding utf-8 keeps stray bytes") << QStringList{u"-i"_s, u"a.txt"_s, u"--encoding"_s, u"utf-8"_s} << none
                                                        << QByteArray("\xD5\xEB\xE5\xE1\n")
                                                        << shortOrLong(u"\\xd5\\xeb\\xe5\\xe1"_s) << 1 << none;
    QTest::newRow("--encoding cp1251 reads UTF-8 as Windows-1251") << QStringList{u"-i"_s, u"a.txt"_s, u"--encoding"_s, u"cp1251"_s} << none
                                                                  << u"Хлеб\n"_s.toUtf8() << shortOrLong(u"РҐР»РµР±"_s) << 1
                                                                  << none;
    QTest::newRow("a zip file is read as a spreadsheet, not as lines")
        << QStringList{u"-i"_s, u"a.txt"_s} << none << QByteArray("PK\x03\x04\x14\0\0\0\x08\0[Content_Types].xml\n", 30) << none << 2
        << QByteArray("cannot read a.txt: it is a broken zip file");
    QTest::newRow("--encoding of another name") << QStringList{u"--encoding"_s, u"latin1"_s} << none << none << none << 2
                                                << QByteArray("--encoding takes utf-8, cp1251 or auto, not 'latin1'");
    // Where each record came from.
    QTest::newRow("-n: the lines of one input") << QStringList{u"-n"_s} << QByteArray("4820000000000\n\n") << none
                                                << "-:1\t" + UkraineOk + "-:2\t" + shortOrLong(QString()) << 1 << none;
    QTest::newRow("--line-number: a code's place") << QStringList{u"--line-number"_s, u"123"_s, u"4820000000000"_s} << none
                                                   << none
                                                   << u"(command line):1\t"_s.toUtf8() + shortOrLong(u"123"_s)
                                                          + u"(command line):2\t"_s.toUtf8() + UkraineOk
                                                   << 1 << none;
    QTest::newRow("--as-typed excludes --gtin") << QStringList{u"--as-typed"_s, u"--gtin"_s} << none << none << none
                                                << 2 << QByteArray("ean13: ");
    QTest::newRow("--upce excludes --gtin") << QStringList{u"--upce"_s, u"--gtin"_s} << none << none << none << 2
                                            << QByteArray("--gtin excludes --upce");
    QTest::newRow("--upce excludes --as-typed") << QStringList{u"--upce"_s, u"--as-typed"_s} << none << none << none
                                                << 2 << QByteArray("--upce excludes --as-typed");
}

void TestCli::entriesAndInputs()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, out);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, err);
    QTemporaryDir dir;
    if (!file.isEmpty()) {
        QFile f(dir.filePath(u"a.txt"_s));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(file);
        f.close();
        QFile::copy(dir.filePath(u"a.txt"_s), dir.filePath(u"48200000"_s));   // a file named like a code
    }
    const Run r = run(args, input, dir.path());
    QCOMPARE(QString::fromUtf8(r.out), QString::fromUtf8(out));
    QCOMPARE(r.exitCode, exitCode);
    if (err.isEmpty()) {
        QVERIFY2(r.err.isEmpty(), r.err.constData());
    } else {
        QVERIFY2(r.err.startsWith("ean13: ") && r.err.contains(err) && r.err.count('\n') == 1, r.err.constData());
    }
}

void TestCli::commandsThatGoWrong_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("err");   // the one line on standard error; empty: nothing there
    QTest::addColumn<QByteArray>("out");

    const QByteArray see = " (see ean13 --help)\n";
    QTest::newRow("two letters swapped") << QStringList{u"sacn"_s, u"photo.jpg"_s} << 2
                                         << "ean13: 'sacn' is no subcommand; did you mean 'ean13 scan'?" + see << QByteArray();
    QTest::newRow("a letter left out") << QStringList{u"rendr"_s, u"-o"_s, u"x.svg"_s, u"4820000000000"_s} << 2
                                       << "ean13: 'rendr' is no subcommand; did you mean 'ean13 render'?" + see << QByteArray();
    QTest::newRow("two letters wrong") << QStringList{u"chekk"_s, u"4820000000000"_s} << 2
                                       << "ean13: 'chekk' is no subcommand; did you mean 'ean13 check'?" + see << QByteArray();
    QTest::newRow("grade") << QStringList{u"grdae"_s, u"scan.png"_s} << 2
                           << "ean13: 'grdae' is no subcommand; did you mean 'ean13 grade'?" + see << QByteArray();
    QTest::newRow("capitals") << QStringList{u"Scan"_s} << 2
                              << "ean13: 'Scan' is no subcommand; did you mean 'ean13 scan'?" + see << QByteArray();
    QTest::newRow("a word far from every name is an entry") << QStringList{u"hello"_s} << 1 << QByteArray()
                                                            << shortOrLong(u"hello"_s);
    QTest::newRow("a near name after the first is an entry") << QStringList{u"check"_s, u"sacn"_s} << 1 << QByteArray()
                                                             << shortOrLong(u"sacn"_s);
    QTest::newRow("a directory as a code") << QStringList{u"check"_s, u"."_s} << 2
                                           << "ean13: '.' is a directory, not a code; to check a file in it, say -i FILE" + see
                                           << QByteArray();
    QTest::newRow("a directory as an input") << QStringList{u"-i"_s, u"."_s} << 2
                                             << QByteArray("ean13: cannot read .: it is a directory, not a file\n") << QByteArray();
    QTest::newRow("a directory as an image") << QStringList{u"scan"_s, u"."_s} << 2
                                             << QByteArray("ean13 scan: .: a directory, not an image\n") << QByteArray();
    QTest::newRow("--column 0") << QStringList{u"--column"_s, u"0"_s} << 2 << "ean13: --column counts from 1" + see
                                << QByteArray();
}

void TestCli::commandsThatGoWrong()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, err);
    QFETCH(QByteArray, out);
    QTemporaryDir dir;
    const Run r = run(args, "4820000000000\n", dir.path());
    QCOMPARE(QString::fromUtf8(r.err), QString::fromUtf8(err));
    QCOMPARE(QString::fromUtf8(r.out), QString::fromUtf8(out));
    QCOMPARE(r.exitCode, exitCode);
}

void TestCli::aTerminalIsToldHowToEndTheInput()
{
#ifdef Q_OS_UNIX
    // Standard input a terminal, as when ean13 is typed with no arguments: a word on standard
    // error, then entries as they are typed, until Ctrl+D.
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    QVERIFY(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
    QProcess p;
    p.setStandardInputFile(QString::fromLocal8Bit(ptsname(master)));
    p.start(QStringLiteral(EAN13_EXE), {});
    QVERIFY(p.waitForStarted());
    p.setReadChannel(QProcess::StandardError);
    QVERIFY(p.waitForReadyRead(10000));
    QCOMPARE(p.readAllStandardError(), QByteArray("ean13: reading entries from the terminal, one a line; Ctrl+D on a line of its own ends them\n"));
    QCOMPARE(write(master, "4820000000000\n\x04", 15), 15);
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.readAllStandardOutput(), UkraineOk);
    QCOMPARE(p.exitCode(), 0);
    ::close(master);
#else
    QSKIP("a terminal of our own needs a POSIX pseudo-terminal");
#endif
}

void TestCli::everyJsonRecordHasItsLine()
{
    QTemporaryDir dir;
    QFile f(dir.filePath(u"a.txt"_s));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("\n\n4820000000000\n");
    f.close();
    // A named input says its name, standard input and the arguments only their lines.
    const auto named = records(run({u"--json"_s, u"-i"_s, u"a.txt"_s}, {}, dir.path()).out);
    QCOMPARE(named.size(), 3);
    QCOMPARE(named[1][u"line"_s].toInt(), 2);
    QCOMPARE(named[2][u"line"_s].toInt(), 3);
    QCOMPARE(named[2][u"source"_s].toString(), u"a.txt"_s);
    const auto piped = records(run({u"--json"_s}, "\n4820000000000\n").out);
    QCOMPARE(piped.size(), 2);
    QCOMPARE(piped[1][u"line"_s].toInt(), 2);
    QVERIFY(!piped[1].contains(u"source"_s));
    const auto codes = records(run({u"--json"_s, u"1"_s, u"4820000000000"_s}).out);
    QCOMPARE(codes.size(), 2);
    QCOMPARE(codes[1][u"line"_s].toInt(), 2);
    QVERIFY(!codes[1].contains(u"source"_s));
    // Empty codes, each with the line that it stands on, so that they can be found.
    const auto csv = records(run({u"--json"_s, u"--csv"_s, u"--column"_s, u"2"_s}, "a;\"48200\n00000000\";x\nb;\n").out);
    QCOMPARE(csv.size(), 2);
    QCOMPARE(csv[1][u"line"_s].toInt(), 3);
    QCOMPARE(csv[1][u"entry"_s].toString(), QString());
}

void TestCli::gtinKindAndIssuerInJson()
{
    const Run r = run({u"--json"_s, u"--gtin"_s, u"96385074"_s, u"036000291452"_s, u"4600000000008"_s,
                       u"14820000000007"_s, u"9785000000007"_s, u"123"_s});
    const auto recs = records(r.out);
    QCOMPARE(recs.size(), 6);
    const QStringList kinds{u"gtin-8"_s, u"gtin-12"_s, u"gtin-13"_s, u"gtin-14"_s, u"gtin-13"_s};
    const QStringList issuers{u"Глобальный офис GS1 (GTIN-8)"_s, u"GS1 США"_s, u"GS1 Россия"_s, u"GS1 Украина"_s,
                              u"Bookland: ISBN (979-0: ISMN, ноты)"_s};
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(recs[i][u"kind"_s].toString(), kinds[i]);
        QCOMPARE(recs[i][u"issuer"_s].toString(), issuers[i]);
        QCOMPARE(recs[i][u"status"_s].toString(), u"ok"_s);
    }
    // The window's findings stay what they are; what it cannot show is left out.
    QCOMPARE(recs[2][u"country"_s].toString(), u"Страны СНГ"_s);
    QCOMPARE(recs[4][u"country"_s].toString(), u"Россия (точно не уверен!)"_s);
    QVERIFY(!recs[0].contains(u"country"_s) && !recs[0].contains(u"modules"_s));
    QCOMPARE(recs[0][u"lines"_s].toArray().size(), 1);
    QCOMPARE(recs[3][u"code"_s].toString(), u"14820000000007"_s);
    QCOMPARE(recs[3][u"picture"_s].toBool(), false);
    QVERIFY(!recs[5].contains(u"kind"_s) && !recs[5].contains(u"issuer"_s));
    // Without --gtin there is no kind, but the issuer all the same.
    const auto plain = records(run({u"--json"_s, u"4600000000008"_s}).out);
    QVERIFY(!plain[0].contains(u"kind"_s));
    QCOMPARE(plain[0][u"issuer"_s].toString(), u"GS1 Россия"_s);
}

void TestCli::upcEAndBookNumbersInJson()
{
    // A UPC-E number stands for its UPC-A number; "code" is the 13-digit GTIN.
    Run r = run({u"--json"_s, u"--upce"_s, u"04252614"_s, u"0123455"_s, u"04252619"_s, u"036000291452"_s});
    QCOMPARE(r.exitCode, 1);
    auto recs = records(r.out);
    QCOMPARE(recs.size(), 4);
    const QStringList codes{u"0042100005264"_s, u"0012345000058"_s, u"0042100005269"_s, u"0036000291452"_s};
    const QStringList upcA{u"042100005264"_s, u"012345000058"_s, u"042100005269"_s, QString()};
    const QStringList upcE{u"04252614"_s, u"01234558"_s, u"04252619"_s, QString()};
    const QStringList statuses{u"ok"_s, u"ok"_s, u"bad-check-digit"_s, u"not-upc-e"_s};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(recs[i][u"code"_s].toString(), codes[i]);
        QCOMPARE(recs[i][u"status"_s].toString(), statuses[i]);
        QCOMPARE(recs[i][u"upc_a"_s].toString(), upcA[i]);
        QCOMPARE(recs[i][u"upc_e"_s].toString(), upcE[i]);
    }
    QCOMPARE(recs[0][u"issuer"_s].toString(), u"GS1 США"_s);
    QCOMPARE(recs[0][u"lines"_s].toArray().last().toString(), u"Страна-производитель: США (Канада)."_s);
    QCOMPARE(recs[2][u"expected_check_digit"_s].toInt(-1), 4);
    QCOMPARE(recs[3][u"colour"_s].toString(), u"red"_s);
    QCOMPARE(recs[3][u"lines"_s].toArray().toVariantList(), QVariantList{NotUpcEError});
    QVERIFY(!recs[3].contains(u"expected_check_digit"_s));
    // A length that --upce does not take is named in words that fit it, the 14th character on too.
    r = run({u"--json"_s, u"--upce"_s}, "123456789\n" + QByteArray(100000, '0') + "\n");
    recs = records(r.out);
    QCOMPARE(recs.size(), 2);
    for (const QJsonObject &o : recs) {
        QCOMPARE(o[u"status"_s].toString(), u"bad-length"_s);
        QCOMPARE(o[u"lines"_s].toArray().toVariantList(), QVariantList{UpcELengthError});
    }
    QCOMPARE(recs[1][u"code"_s].toString(), u"0000000000000"_s);

    // Without --upce: UPC-A numbers gain their UPC-E form where they have one, and correct codes of
    // the book trade their ISBN-10, ISSN or ISMN; a wrong check digit gives no book number.
    r = run({u"--json"_s, u"042100005264"_s, u"036000291452"_s, u"9780804429573"_s, u"9771000002004"_s,
             u"9790230671187"_s, u"9780804429574"_s, u"9791234567896"_s, u"4820000000000"_s});
    recs = records(r.out);
    QCOMPARE(recs.size(), 8);
    QCOMPARE(recs[0][u"upc_a"_s].toString(), u"042100005264"_s);
    QCOMPARE(recs[0][u"upc_e"_s].toString(), u"04252614"_s);
    QCOMPARE(recs[1][u"upc_a"_s].toString(), u"036000291452"_s);
    QVERIFY(!recs[1].contains(u"upc_e"_s));
    QCOMPARE(recs[2][u"isbn10"_s].toString(), u"080442957X"_s);
    QCOMPARE(recs[3][u"issn"_s].toString(), u"1000002X"_s);
    QCOMPARE(recs[4][u"ismn"_s].toString(), u"M230671187"_s);
    QCOMPARE(recs[5][u"status"_s].toString(), u"bad-check-digit"_s);
    for (int i = 2; i < 8; ++i)
        QVERIFY(!recs[i].contains(u"upc_a"_s) && !recs[i].contains(u"upc_e"_s));
    for (int i : {0, 1, 5, 6, 7})
        QVERIFY(!recs[i].contains(u"isbn10"_s) && !recs[i].contains(u"issn"_s) && !recs[i].contains(u"ismn"_s));
}

// Six digits are a code only with --upce; without it, a file of that name was meant as an input.
void TestCli::sixDigitsThatNameAFile()
{
    QTemporaryDir dir;
    QFile f(dir.filePath(u"425261"_s));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    Run r = run({u"425261"_s}, {}, dir.path());
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(r.err.contains("is a file, not a code"), r.err.constData());
    r = run({u"--upce"_s, u"425261"_s}, {}, dir.path());
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, UpcEOk);
}

void TestCli::sourcesInJson()
{
    QTemporaryDir dir;
    QFile f(dir.filePath(u"b.csv"_s));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("EAN;n\n\"48200\n00000000\";x\n;\nnone\n");
    f.close();
    const Run r = run({u"--json"_s, u"--csv"_s, u"--delimiter"_s, u";"_s, u"--header"_s, u"--column"_s, u"n"_s,
                       u"-i"_s, u"b.csv"_s, u"4820000000000"_s, u"-i"_s, u"-"_s},
                      "x;n\n;4820000000000\n", dir.path());
    const auto recs = records(r.out);
    QCOMPARE(recs.size(), 5);
    QCOMPARE(recs[0][u"source"_s].toString(), u"(command line)"_s);   // codes first, wherever they stand
    QCOMPARE(recs[0][u"line"_s].toInt(), 1);
    QCOMPARE(recs[0][u"entry"_s].toString(), u"4820000000000"_s);
    QCOMPARE(recs[1][u"source"_s].toString(), u"b.csv"_s);
    QCOMPARE(recs[1][u"line"_s].toInt(), 2);
    QCOMPARE(recs[1][u"entry"_s].toString(), u"x"_s);
    QCOMPARE(recs[2][u"line"_s].toInt(), 4);             // the record after one of two lines
    QCOMPARE(recs[2][u"entry"_s].toString(), QString());
    QCOMPARE(recs[3][u"line"_s].toInt(), 5);
    QCOMPARE(recs[3][u"status"_s].toString(), u"missing-column"_s);
    QCOMPARE(recs[3][u"column"_s].toString(), u"n"_s);
    QCOMPARE(recs[4][u"source"_s].toString(), u"-"_s);   // standard input has a header of its own
    QCOMPARE(recs[4][u"line"_s].toInt(), 2);
    QCOMPARE(recs[4][u"status"_s].toString(), u"ok"_s);
}

void TestCli::theReaderLeavingEarlyIsNoSuccess_data()
{
    QTest::addColumn<QString>("pipeline");   // $E is ean13
    QTest::newRow("head -1 after correct entries") << u"yes 4820000000000 | head -n 200000 | $E | head -n 1"_s;
    QTest::newRow("JSON of an endless line") << u"$E --json < /dev/zero | head -c 60"_s;
    QTest::newRow("started with SIGPIPE ignored") << u"trap '' PIPE; yes 4820000000000 | head -n 200000 2>/dev/null | $E | head -n 1"_s;
    QTest::newRow("CSV column, grep -m 1") << u"yes 'a,4820000000000' | head -n 200000 | $E --csv --column 2 | grep -m 1 ok"_s;
}

void TestCli::theReaderLeavingEarlyIsNoSuccess()
{
    QFETCH(QString, pipeline);
    if (QStandardPaths::findExecutable(u"bash"_s).isEmpty() || !QFile::exists(u"/dev/zero"_s))
        QSKIP("needs bash and /dev/zero");
    QProcess sh;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"E"_s, QStringLiteral(EAN13_EXE));
    sh.setProcessEnvironment(env);
    sh.start(u"bash"_s, {u"-c"_s, u"set -o pipefail; "_s + pipeline + u" > /dev/null; echo $?"_s});
    QVERIFY(sh.waitForFinished(60000));
    // 128 + SIGPIPE, as for any writer whose reader went away; never 0, never a message.
    QCOMPARE(sh.readAllStandardOutput().trimmed(), QByteArray("141"));
    QVERIFY(!sh.readAllStandardError().contains("ean13"));
}

void TestCli::nothingInAFieldActsOnTheTerminal_data()
{
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<QByteArray>("shown");
    QTest::newRow("ESC") << QByteArray("\x1b[31m") << QByteArray("\\x1b[31m");
    QTest::newRow("C1 CSI") << QByteArray("\xc2\x9b" "31m") << QByteArray("\\u009b31m");
    QTest::newRow("C1 NEL") << QByteArray("a\xc2\x85" "b") << QByteArray("a\\u0085b");
    QTest::newRow("line separator") << QByteArray("a\xe2\x80\xa8" "b") << QByteArray("a\\u2028b");
    QTest::newRow("right-to-left override") << QByteArray("a\xe2\x80\xae" "b") << QByteArray("a\\u202eb");
    QTest::newRow("DEL") << QByteArray("a\x7f") << QByteArray("a\\x7f");
    QTest::newRow("a Cyrillic letter stays") << u"аб"_s.toUtf8() << u"аб"_s.toUtf8();
}

void TestCli::nothingInAFieldActsOnTheTerminal()
{
    QFETCH(QByteArray, entry);
    QFETCH(QByteArray, shown);
    const Run text = run({}, entry + '\n');
    QCOMPARE(text.out.left(text.out.indexOf('\t')), shown);
    const Run json = run({u"--json"_s}, entry + '\n');
    QCOMPARE(json.out.count('\n'), 1);
    QCOMPARE(records(json.out).value(0)[u"entry"_s].toString(), QString::fromUtf8(entry));
    QVERIFY(!json.out.contains("\xc2\x9b") && !json.out.contains("\xe2\x80\xae"));
}

void TestCli::slowInputIsAnsweredLineByLine()
{
    // As from a terminal or tail -f: each record must come while the input stays open.
    for (const QStringList &args : {QStringList(), QStringList{u"--json"_s}, QStringList{u"--csv"_s}}) {
        QProcess p;
        p.start(QStringLiteral(EAN13_EXE), args);
        QVERIFY(p.waitForStarted());
        for (const QByteArray &line : {QByteArray("4820000000000\n"), QByteArray("4820000000001\n")}) {
            p.write(line);
            QByteArray got;
            while (!got.endsWith('\n') && p.waitForReadyRead(10000))
                got += p.readAllStandardOutput();
            QVERIFY2(got.contains(line.left(13)), qPrintable(args.join(u' ')));
        }
        p.closeWriteChannel();
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 1);
    }
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
