// ean13 end to end: the real executable, its standard input and output, and its exit status.
#include <QtTest>

using namespace Qt::Literals::StringLiterals;

namespace {

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run run(const QStringList &args, const QByteArray &input = {})
{
    QProcess p;
    p.start(QStringLiteral(EAN13_EXE), args);
    if (!p.waitForStarted())
        return {};
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

QList<QJsonObject> records(const QByteArray &out)
{
    QList<QJsonObject> list;
    for (const QByteArray &line : out.split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
        if (error.error != QJsonParseError::NoError || !doc.isObject())
            qWarning() << "not a JSON object:" << line;
        list << doc.object();
    }
    return list;
}

const QString LengthError = u"ОШИБКА! Длинна введенного кода отличается от 12-13!"_s;
const QString NonDigitError = u"ОШИБКА! В коде присутствуют символы отличные от цифр!"_s;

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
    void aClosedPipeEndsItAsSigpipeDoes();
    void unreadableInputSaysWhy();
    void aFullDiskIsAnErrorNotSuccess();
    void subcommandsAreHandedOn_data();
    void subcommandsAreHandedOn();
    void helpAndVersion_data();
    void helpAndVersion();
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
    const Run r = run({u"--json"_s, u"--as-typed"_s}, input);
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
    const auto strict = records(run({u"--json"_s}, input).out);
    QCOMPARE(strict.size(), 6);
    QCOMPARE(strict[1][u"status"_s].toString(), u"bad-length"_s);
    QCOMPARE(strict[5][u"status"_s].toString(), u"bad-length"_s);

    // The text output shows what it cannot print as \xHH, so nothing is lost and nothing breaks a line.
    const Run text = run({}, QByteArray("\xff" "48200000000\t\n", 14));
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
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArrayList>("mentions");
    const QByteArrayList options{"--input", "--column", "--delimiter", "--csv", "--header", "--clean", "--gtin",
                                 "--as-typed", "--json", "Exit status", "SIGPIPE"};
    QTest::newRow("--help lists the subcommands") << QStringList{u"--help"_s}
                                                  << (options + QByteArrayList{"check", "render", "scan"});
    QTest::newRow("check --help") << QStringList{u"check"_s, u"--help"_s} << options;
    QTest::newRow("-h") << QStringList{u"-h"_s} << options;
    QTest::newRow("--version") << QStringList{u"--version"_s} << QByteArrayList{"ean13", "1."};
}

void TestCli::helpAndVersion()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArrayList, mentions);
    const Run r = run(args);
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.err.isEmpty());
    for (const QByteArray &m : mentions)
        QVERIFY2(r.out.contains(m), m.constData());

    // Where the text cannot be written, that is an error, and it is said.
    if (!QFile::exists(u"/dev/full"_s))
        QSKIP("no /dev/full on this system");
    QProcess p;
    p.setStandardOutputFile(u"/dev/full"_s);
    p.start(QStringLiteral(EAN13_EXE), args);
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 2);
    QVERIFY(p.readAllStandardError().startsWith("ean13: cannot write standard output: "));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
