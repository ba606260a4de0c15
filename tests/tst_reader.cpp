// Reading codes from pictures: every kind of picture from a fixed seed, the files the toolkit
// reads, photos turned by their metadata, the images that abort zxing-cpp 1.4, and bad files.
#include "reader.h"
#include "scanimages.h"

#include <optional>

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(reader::LoadError)
Q_DECLARE_METATYPE(reader::Symbology)

namespace {

// A standard symbol drawn by zint, in the file format asked for.
QString zintFile(const QTemporaryDir &dir, const QString &name, const QString &data, QStringList options = {})
{
    const QString path = dir.filePath(name);
    QProcess zint;
    zint.start(u"zint"_s, QStringList{u"--barcode"_s, u"EANX"_s, u"--data"_s, data, u"--output"_s, path} + options);
    if (!zint.waitForFinished(10000) || zint.exitCode() != 0)
        qWarning() << "zint failed:" << zint.readAllStandardError();
    return path;
}

// The codes as a person writes them: the digits, and "+" and the add-on where there is one.
QStringList texts(const reader::Codes &codes)
{
    QStringList out;
    for (const reader::Code &code : codes)
        out.append(code.text());
    return out;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestReader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyKindOfPicture_data();
    void everyKindOfPicture();
    void photoLikePictures();
    void realPhotos_data();
    void realPhotos();
    void givenUp();
    void fileFormats_data();
    void fileFormats();
    void photoTurnedByItsMetadata();
    void misreadingBesideTheSymbol();
    void familyOfZint_data();
    void familyOfZint();
    void addonsOfSeveralCodes_data();
    void addonsOfSeveralCodes();
    void shortBesideLong();
    void upcEOfNumberSystemOneNotReported();
    void shortSymbolInsideLonger_data();
    void shortSymbolInsideLonger();
    void imagesThatAbortZxingCpp_data();
    void imagesThatAbortZxingCpp();
    void badFiles_data();
    void badFiles();
    void slowDrawingsInMemory_data();
    void slowDrawingsInMemory();
    void nullImage();

private:
    QTemporaryDir m_dir;
};

void TestReader::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(!QStandardPaths::findExecutable(u"zint"_s).isEmpty(), "zint draws the independent symbols (Debian package zint)");
}

void TestReader::everyKindOfPicture_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("codes");
    for (const scanimages::Sample &s : scanimages::makeSamples(3, 2026)) {
        const QString path = m_dir.filePath(s.name + u'.' + s.suffix);
        QVERIFY(writeFile(path, s.file));
        QTest::newRow(qPrintable(s.name)) << path << s.codes;
    }
}

// Each kind holds symbols of zint and of our own drawing; "none" holds busy pictures, stripes and
// noise without any code, where a reader must find nothing.
void TestReader::everyKindOfPicture()
{
    QFETCH(QString, path);
    QFETCH(QStringList, codes);
    const reader::FileCodes read = reader::readCodes(path);
    QCOMPARE(read.loaded.error, reader::LoadError::None);
    QCOMPARE(texts(read.codes), codes);
}

// What photographs do to symbols, from a fixed seed: whatever is read must be in the picture (a
// false code whose check digit holds is the worst answer), and most must be read.
void TestReader::photoLikePictures()
{
    int codes = 0, read = 0;
    QStringList misses;
    for (const scanimages::Sample &s : scanimages::makeSamples(scanimages::photoKinds(), 3, 2026)) {
        const QString path = m_dir.filePath(s.name + u'.' + s.suffix);
        QVERIFY(writeFile(path, s.file));
        const QStringList found = texts(reader::readCodes(path).codes);
        for (const QString &code : found)
            QVERIFY2(s.codes.contains(code), qPrintable(s.name + u": "_s + code + u" is not in the picture"_s));
        codes += static_cast<int>(s.codes.size());
        read += static_cast<int>(found.size());
        if (found.size() < s.codes.size())
            misses.append(s.name);
    }
    // Of 33 codes, the defocused ones (a third of a module blurred away) are read by no engine here.
    QVERIFY2(read >= codes * 4 / 5, qPrintable(u"%1 of %2 read; missed in %3"_s.arg(read).arg(codes).arg(misses.join(u", "_s))));
}

void TestReader::realPhotos_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("codes");
    // zbar reads 9074932437075 here, from the photo and from each copy the retries make.
    QTest::newRow("thin modules zbar misreads") << QFINDTESTDATA("data/photos/zxing-upca-4-1.png") << QStringList();
    // zbar reads it and zxing-cpp only in a straightened close-up: two engines agree.
    QTest::newRow("confirmed in a close-up") << QFINDTESTDATA("data/photos/zxing-upca-2-01.png") << QStringList{u"0890444000335"_s};
}

// Two photographs from ZXing's test images (tests/data/photos/README.md).
void TestReader::realPhotos()
{
    QFETCH(QString, path);
    QFETCH(QStringList, codes);
    QCOMPARE(texts(reader::readCodes(path).codes), codes);
}

// A reading given up returns at its next pass, with what two readings agreed on by then.
void TestReader::givenUp()
{
    const QImage symbol(zintFile(m_dir, u"given-up.png"_s, u"482000000000"_s));
    int asked = 0;
    QCOMPARE(texts(reader::findCodes(symbol, [&asked] { ++asked; return true; })), QStringList());
    QCOMPARE(asked, 1);   // before the first pass
    QCOMPARE(texts(reader::findCodes(symbol, [] { return false; })), QStringList{u"4820000000000"_s});
}

void TestReader::fileFormats_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("code");
    QTest::newRow("png") << zintFile(m_dir, u"symbol.png"_s, u"482000000000"_s) << u"4820000000000"_s;
    QTest::newRow("gif") << zintFile(m_dir, u"symbol.gif"_s, u"400638133393"_s) << u"4006381333931"_s;
    QTest::newRow("bmp") << zintFile(m_dir, u"symbol.bmp"_s, u"501234567890"_s) << u"5012345678900"_s;
    QTest::newRow("png without a background") << zintFile(m_dir, u"clear.png"_s, u"978020137962"_s, {u"--nobackground"_s})
                                              << u"9780201379624"_s;
    // The name does not decide the format: a JPEG file named .png is read as the JPEG it is.
    const QString jpegNamedPng = m_dir.filePath(u"jpeg.png"_s);
    QImage(zintFile(m_dir, u"forjpeg.png"_s, u"871125300120"_s)).save(jpegNamedPng, "JPG", 90);
    QTest::newRow("jpeg named .png") << jpegNamedPng << u"8711253001202"_s;
    // What pictures saved from web pages and office scanners come as (Qt's image formats plugins).
    for (const char *format : {"webp", "tiff"}) {
        const QString path = m_dir.filePath(u"symbol."_s + QLatin1String(format));
        QImageWriter writer(path, format);
        QVERIFY2(writer.write(QImage(zintFile(m_dir, u"for%1.png"_s.arg(QLatin1String(format)), u"590123412345"_s))),
                 qPrintable(writer.errorString()));
        QTest::newRow(format) << path << u"5901234123457"_s;
    }
    // A UPC-A symbol is the EAN-13 number with a 0 in front.
    QTest::newRow("upc-a") << zintFile(m_dir, u"upca.png"_s, u"03600029145"_s, {u"--barcode"_s, u"UPCA"_s}) << u"0036000291452"_s;
}

void TestReader::fileFormats()
{
    QFETCH(QString, path);
    QFETCH(QString, code);
    QCOMPARE(texts(reader::readCodes(path).codes), QStringList{code});
}

// A camera stores its pixels as the sensor saw them and says in the metadata how to turn them.
// Two codes one above the other, stored a quarter turn round: read as a person sees the photo,
// the upper one comes first; read as stored, they would stand side by side the other way round.
void TestReader::photoTurnedByItsMetadata()
{
    const QImage upper(zintFile(m_dir, u"upper.png"_s, u"482000000000"_s));
    const QImage lower(zintFile(m_dir, u"lower.png"_s, u"400638133393"_s));
    QImage upright(std::max(upper.width(), lower.width()) + 40, upper.height() + lower.height() + 60, QImage::Format_RGB32);
    upright.fill(Qt::white);
    {
        QPainter painter(&upright);
        painter.drawImage(20, 20, upper);
        painter.drawImage(20, upper.height() + 40, lower);
    }
    const QString path = m_dir.filePath(u"photo.jpg"_s);
    QImageWriter writer(path);
    writer.setQuality(95);
    writer.setTransformation(QImageIOHandler::TransformationRotate90);   // view: turn a quarter clockwise
    QVERIFY(writer.write(upright.transformed(QTransform().rotate(-90))));

    QCOMPARE(texts(reader::readCodes(path).codes), (QStringList{u"4820000000000"_s, u"4006381333931"_s}));
}

// A steep symbol (from the generator's rotated-any kind): zbar reads it as 3047277336330 on most of
// its columns, and on a few columns at its end as 3047277336378, whose check digit holds as well.
void TestReader::misreadingBesideTheSymbol()
{
    QCOMPARE(texts(reader::readCodes(QFINDTESTDATA("data/steep-symbol.png")).codes), QStringList{u"3047277336330"_s});
}

// Every symbology of the family and the add-ons, as zint draws them, at 2, 3 and 4 pixels a module.
// The codes and their check digits were worked out with python-stdnum (ean.calc_check_digit) and
// by hand for the UPC-E expansions.
void TestReader::familyOfZint_data()
{
    QTest::addColumn<QString>("barcode");
    QTest::addColumn<QString>("data");
    QTest::addColumn<int>("module");
    QTest::addColumn<reader::Symbology>("symbology");
    QTest::addColumn<QString>("text");
    struct Row
    {
        const char *name;
        QString barcode, data;
        reader::Symbology symbology;
        QString text;
    };
    const Row rows[] = {
        {"ean-8", u"EANX"_s, u"9638507"_s, reader::Symbology::Ean8, u"96385074"_s},
        {"ean-8 restricted", u"EANX"_s, u"2012345"_s, reader::Symbology::Ean8, u"20123451"_s},
        {"upc-e 0, last digit 0-2", u"UPCE"_s, u"0123452"_s, reader::Symbology::UpcE, u"01234523"_s},
        {"upc-e 0, last digit 3", u"UPCE"_s, u"0123453"_s, reader::Symbology::UpcE, u"01234531"_s},
        {"upc-e 0, last digit 4", u"UPCE"_s, u"0123454"_s, reader::Symbology::UpcE, u"01234543"_s},
        {"upc-e 0, last digit 5-9", u"UPCE"_s, u"0123456"_s, reader::Symbology::UpcE, u"01234565"_s},
        {"ean-13 + 2", u"EANX"_s, u"977123456700+05"_s, reader::Symbology::Ean13, u"9771234567003+05"_s},
        {"ean-13 + 5", u"EANX"_s, u"978014300723+51299"_s, reader::Symbology::Ean13, u"9780143007234+51299"_s},
        {"upc-a + 2", u"UPCA"_s, u"03600029145+12"_s, reader::Symbology::UpcA, u"0036000291452+12"_s},
        {"upc-a + 5", u"UPCA"_s, u"07567816412+90000"_s, reader::Symbology::UpcA, u"0075678164125+90000"_s},
    };
    for (const Row &row : rows)
        for (const int module : {2, 3, 4})
            QTest::addRow("%s, %d px", row.name, module) << row.barcode << row.data << module << row.symbology << row.text;
}

void TestReader::familyOfZint()
{
    QFETCH(QString, barcode);
    QFETCH(QString, data);
    QFETCH(int, module);
    QFETCH(reader::Symbology, symbology);
    QFETCH(QString, text);
    const reader::Codes codes = reader::findCodes(scanimages::zintFamilySymbol(barcode, data, module));
    QCOMPARE(texts(codes), QStringList{text});
    QCOMPARE(codes.front().symbology, symbology);
}

// zbar hands an add-on over as a symbol of its own: each goes with the code it follows, whether the
// codes stand side by side, one above the other, or upside down.
void TestReader::addonsOfSeveralCodes_data()
{
    QTest::addColumn<bool>("sideBySide");
    QTest::addColumn<int>("turn");
    QTest::addColumn<QStringList>("codes");
    const QStringList inOrder{u"9780143007234+51299"_s, u"9771234567003+05"_s, u"4006381333931"_s};
    QTest::newRow("side by side") << true << 0 << inOrder;
    QTest::newRow("one above the other") << false << 0 << inOrder;
    QTest::newRow("side by side, upside down") << true << 180 << QStringList{inOrder[2], inOrder[1], inOrder[0]};
    QTest::newRow("one above the other, a quarter turn") << false << 90 << QStringList{inOrder[2], inOrder[1], inOrder[0]};
}

// Short symbols beside long ones, each with its quiet zones, are symbols of their own.
void TestReader::shortBesideLong()
{
    const QImage symbols[] = {scanimages::zintFamilySymbol(u"EANX"_s, u"9638507"_s, 2),
                              scanimages::zintFamilySymbol(u"EANX"_s, u"978014300723+51299"_s, 2),
                              scanimages::zintFamilySymbol(u"UPCE"_s, u"0123456"_s, 2)};
    QImage picture(symbols[0].width() + symbols[1].width() + symbols[2].width() + 40, symbols[1].height(), QImage::Format_Grayscale8);
    picture.fill(255);
    {
        QPainter painter(&picture);
        painter.drawImage(0, 0, symbols[0]);
        painter.drawImage(symbols[0].width() + 20, 0, symbols[1]);
        painter.drawImage(symbols[0].width() + symbols[1].width() + 40, 0, symbols[2]);
    }
    const reader::Codes codes = reader::findCodes(picture);
    QCOMPARE(texts(codes), (QStringList{u"96385074"_s, u"9780143007234+51299"_s, u"01234565"_s}));
    QCOMPARE(codes[0].symbology, reader::Symbology::Ean8);
    QCOMPARE(codes[1].symbology, reader::Symbology::Ean13);
    QCOMPARE(codes[2].symbology, reader::Symbology::UpcE);
}

void TestReader::addonsOfSeveralCodes()
{
    QFETCH(bool, sideBySide);
    QFETCH(int, turn);
    QFETCH(QStringList, codes);
    const QImage symbols[] = {scanimages::zintFamilySymbol(u"EANX"_s, u"978014300723+51299"_s, 2),
                              scanimages::zintFamilySymbol(u"EANX"_s, u"977123456700+05"_s, 2),
                              scanimages::zintFamilySymbol(u"EANX"_s, u"400638133393"_s, 2)};
    constexpr int Gap = 40;   // as on a sheet of labels
    int width = 0, height = 0;
    for (const QImage &s : symbols) {
        width = sideBySide ? width + s.width() + Gap : std::max(width, s.width());
        height = sideBySide ? std::max(height, s.height()) : height + s.height() + Gap;
    }
    QImage picture(width, height, QImage::Format_Grayscale8);
    picture.fill(255);
    {
        QPainter painter(&picture);
        int at = 0;
        for (const QImage &s : symbols) {
            painter.drawImage(sideBySide ? QPoint(at, 0) : QPoint(0, at), s);
            at += (sideBySide ? s.width() : s.height()) + Gap;
        }
    }
    picture = picture.transformed(QTransform().rotate(turn));
    QCOMPARE(texts(reader::findCodes(picture)), codes);
}

// zbar reads UPC-E symbols of number system 0 only, and a UPC-E code of number system 1 read by
// zxing-cpp alone is just what the left half of a spoilt EAN-13 symbol gives: it is not reported.
void TestReader::upcEOfNumberSystemOneNotReported()
{
    QCOMPARE(texts(reader::findCodes(scanimages::zintFamilySymbol(u"UPCE"_s, u"1654321"_s, 3))), QStringList());
}

// A piece of an EAN-13 or UPC-A symbol can be a whole EAN-8 or UPC-E symbol: the left half of an
// EAN-13 symbol whose first digit is 1 to 9, with the centre guard and the next bar, is a UPC-E
// symbol of number system 1 (the parities that carry the first digit are those that carry the
// UPC-E check digit), and in these UPC-A symbols the modules from digit 3 to digit 12 are an
// EAN-8 symbol. zxing-cpp reads the UPC-E code once the right half is spoilt, with either
// binarizer; zbar and zxing-cpp both read the EAN-8 code once what lies beside it is. Neither short
// code may be reported; the long one where the readings agree on it.
void TestReader::shortSymbolInsideLonger_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("wipeFrom");    // modules from the start guard: white from here
    QTest::addColumn<int>("wipeTo");      // to here (exclusive), and from the symbol's other end back to `wipeBack`
    QTest::addColumn<int>("wipeBack");    // 0: nothing there
    QTest::addColumn<bool>("middleOnly");   // the wipe is a band across the middle rows, the bars whole above and below
    QTest::addColumn<QStringList>("allowed");   // what may be reported: nothing, or the long code
    // 18021974 = UPC-E 1 802197 4 in 4802197693425; its end guard's last bar is module 51.
    QTest::newRow("upc-e: right half wiped in the middle rows") << u"4802197693425"_s << 51 << 95 << 0 << true
                                                                 << QStringList{u"4802197693425"_s};
    QTest::newRow("upc-e: a gap after the lookalike's end") << u"4802197693425"_s << 51 << 61 << 0 << false
                                                            << QStringList();
    QTest::newRow("upc-e: right half wiped, another code") << u"8632509794405"_s << 51 << 95 << 0 << true
                                                           << QStringList{u"8632509794405"_s};
    // 78613638 = EAN-8 in 0807861363844, modules 14 to 80.
    QTest::newRow("ean-8: both sides wiped in the middle rows") << u"0807861363844"_s << 0 << 14 << 81 << true
                                                                << QStringList{u"0807861363844"_s};
    QTest::newRow("ean-8: both sides wiped, another code") << u"0406622431046"_s << 0 << 14 << 81 << true
                                                           << QStringList{u"0406622431046"_s};
}

void TestReader::shortSymbolInsideLonger()
{
    QFETCH(QString, code);
    QFETCH(int, wipeFrom);
    QFETCH(int, wipeTo);
    QFETCH(int, wipeBack);
    QFETCH(bool, middleOnly);
    QFETCH(QStringList, allowed);
    QImage symbol = scanimages::zintSymbol(code, 2);
    // The start guard's first bar, on the middle row; a module is 2 pixels.
    const int middle = symbol.height() / 3;
    int start = 0;
    while (start < symbol.width() && symbol.pixelColor(start, middle).lightness() > 128)
        ++start;
    QVERIFY(start < symbol.width());
    const int top = middleOnly ? symbol.height() / 4 : 0;
    const int height = middleOnly ? symbol.height() / 3 : symbol.height();
    {
        QPainter painter(&symbol);
        painter.fillRect(QRect(start + 2 * wipeFrom, top, 2 * (wipeTo - wipeFrom), height), Qt::white);
        if (wipeBack > 0)
            painter.fillRect(QRect(start + 2 * wipeBack, top, 2 * (95 + 10 - wipeBack), height), Qt::white);
    }
    const QStringList read = texts(reader::findCodes(symbol));
    QVERIFY2(read.isEmpty() || read == allowed, qPrintable(read.join(u' ')));
    QCOMPARE(read, allowed);
}

void TestReader::imagesThatAbortZxingCpp_data()
{
    QTest::addColumn<QString>("path");
    const QImage symbol(zintFile(m_dir, u"one.png"_s, u"482000000000"_s));

    // The same code printed twice: ReadBarcodes compares the two readings and asserts.
    QImage twice(2 * symbol.width() + 80, symbol.height() + 40, QImage::Format_RGB32);
    twice.fill(Qt::white);
    {
        QPainter painter(&twice);
        painter.drawImage(20, 20, symbol);
        painter.drawImage(symbol.width() + 60, 20, symbol);
    }
    const QString twicePath = m_dir.filePath(u"twice.png"_s);
    QVERIFY(twice.save(twicePath));
    QTest::newRow("the same code twice") << twicePath;

    // A large image: its downscaled copy finds the code again.
    QImage large(1800, 1400, QImage::Format_RGB32);
    large.fill(Qt::white);
    QPainter(&large).drawImage(QRect(100, 200, symbol.width() * 3, symbol.height() * 3), symbol);
    const QString largePath = m_dir.filePath(u"large.png"_s);
    QVERIFY(large.save(largePath));
    QTest::newRow("a large image") << largePath;
}

// zxing-cpp's own reading (through its Python binding, as its users call it) takes the process
// down on these; ours reads them, once each.
void TestReader::imagesThatAbortZxingCpp()
{
    QFETCH(QString, path);
    QCOMPARE(texts(reader::readCodes(path).codes), QStringList{u"4820000000000"_s});

    const QString python = u"/usr/bin/python3"_s;
    if (!QFile::exists(python))
        QSKIP("Debian's python3 with python3-zxing-cpp shows the abort");
    QProcess zxing;
    zxing.start(python, {u"" ZXING_DEFAULT_PY ""_s, path});
    QVERIFY(zxing.waitForFinished(60000));
    QCOMPARE(QString::fromUtf8(zxing.readAllStandardOutput()), path + u"\tabort\n"_s);
}

void TestReader::badFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<reader::LoadError>("error");

    QTest::newRow("missing") << m_dir.filePath(u"not-there.png"_s) << reader::LoadError::Missing;
    QTest::newRow("a folder") << m_dir.path() << reader::LoadError::Directory;

    const QString empty = m_dir.filePath(u"empty.png"_s);
    QVERIFY(writeFile(empty, {}));
    QTest::newRow("zero bytes") << empty << reader::LoadError::Empty;

    const QString text = m_dir.filePath(u"text.png"_s);
    QVERIFY(writeFile(text, "4820000000000\nnot a picture\n"));
    QTest::newRow("a text file named .png") << text << reader::LoadError::NotAnImage;

    QImage noise(400, 300, QImage::Format_Grayscale8);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.scanLine(y)[x] = static_cast<uchar>((x * 7919 + y * 104729) % 251);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    noise.save(&buffer, "PNG");
    const QString truncated = m_dir.filePath(u"truncated.png"_s);
    QVERIFY(writeFile(truncated, png.left(png.size() / 2)));
    QTest::newRow("a truncated png") << truncated << reader::LoadError::Damaged;

    const QString huge = m_dir.filePath(u"huge.png"_s);
    QVERIFY(writeFile(huge, scanimages::pngDeclaring(100000, 100000)));
    QTest::newRow("a huge declared size") << huge << reader::LoadError::TooLarge;
}

void TestReader::badFiles()
{
    QFETCH(QString, path);
    QFETCH(reader::LoadError, error);
    const reader::FileCodes read = reader::readCodes(path);
    QCOMPARE(read.loaded.error, error);
    QVERIFY(read.codes.isEmpty());
    if (error == reader::LoadError::TooLarge)
        QCOMPARE(read.loaded.size, QSize(100000, 100000));
}

// A drawing pasted or dropped as data, plain or gzip-compressed, is weighed like a file.
void TestReader::slowDrawingsInMemory_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<reader::LoadError>("error");

    auto shapes = [](int count) {
        return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"400\" height=\"300\">"
               + QByteArray("<rect x=\"10\" y=\"10\" width=\"3\" height=\"200\"/>").repeated(count) + "</svg>\n";
    };
    auto gzipped = [](const QByteArray &bytes) {
        QProcess gzip;
        gzip.start(u"gzip"_s, {u"-c"_s});
        gzip.write(bytes);
        gzip.closeWriteChannel();
        return gzip.waitForFinished(30000) && gzip.exitCode() == 0 ? gzip.readAllStandardOutput() : QByteArray();
    };
    QTest::newRow("70000 shapes") << shapes(70000) << reader::LoadError::TooComplex;
    QTest::newRow("70000 shapes, gzip-compressed") << gzipped(shapes(70000)) << reader::LoadError::TooComplex;
    QTest::newRow("5000 texts") << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"400\" height=\"300\">"
                                       + QByteArray("<text x=\"10\" y=\"30\">4006381333931</text>").repeated(5000) + "</svg>\n"
                                << reader::LoadError::TooComplex;
    QTest::newRow("2000 shapes, gzip-compressed") << gzipped(shapes(2000)) << reader::LoadError::None;
}

void TestReader::slowDrawingsInMemory()
{
    QFETCH(QByteArray, bytes);
    QFETCH(reader::LoadError, error);
    QVERIFY(!bytes.isEmpty());
    const reader::LoadedImage loaded = reader::loadImageData(bytes);
    QCOMPARE(loaded.error, error);
    QCOMPARE(loaded.image.isNull(), error != reader::LoadError::None);
}

void TestReader::nullImage()
{
    QVERIFY(reader::findCodes(QImage()).isEmpty());
}

QTEST_MAIN(TestReader)
#include "tst_reader.moc"
