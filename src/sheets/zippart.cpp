#include "zippart.h"

#include <expat.h>
#include <minizip/unzip.h>

#include <cstring>
#include <vector>

namespace ean13::sheets {

namespace {

constexpr char NamespaceSeparator = '|';
constexpr std::size_t Chunk = 1 << 16;

unzFile zipOf(void *zip)
{
    return static_cast<unzFile>(zip);
}

std::string sizeText(std::uint64_t bytes)
{
    if (bytes >= (std::uint64_t{1} << 30) && bytes % (std::uint64_t{1} << 30) == 0)
        return std::to_string(bytes >> 30) + " GiB";
    if (bytes >= (std::uint64_t{1} << 20) && bytes % (std::uint64_t{1} << 20) == 0)
        return std::to_string(bytes >> 20) + " MiB";
    return std::to_string(bytes) + " bytes";
}

// The parse of one part: the handler, and how far the parser has got with its events, to tell a
// token that never ends (a tag of gigabytes) from a long run of short ones.
struct Parse
{
    XML_Parser parser;
    XmlHandler &handler;
    XML_Index lastEvent = 0;
    Error refused;

    void event() { lastEvent = XML_GetCurrentByteIndex(parser); }
    void stopIfDone()
    {
        if (handler.done || handler.error)
            XML_StopParser(parser, XML_FALSE);
    }
};

void XMLCALL onStart(void *data, const XML_Char *name, const XML_Char **attributes)
{
    auto *p = static_cast<Parse *>(data);
    p->event();
    p->handler.start(splitName(name), attributes);
    p->stopIfDone();
}

void XMLCALL onEnd(void *data, const XML_Char *name)
{
    auto *p = static_cast<Parse *>(data);
    p->event();
    p->handler.end(splitName(name));
    p->stopIfDone();
}

void XMLCALL onText(void *data, const XML_Char *text, int length)
{
    auto *p = static_cast<Parse *>(data);
    p->event();
    p->handler.text(std::string_view(text, static_cast<std::size_t>(length)));
    p->stopIfDone();
}

void XMLCALL onOther(void *data, const XML_Char *, const XML_Char *)
{
    static_cast<Parse *>(data)->event();
}

void XMLCALL onComment(void *data, const XML_Char *)
{
    static_cast<Parse *>(data)->event();
}

// No workbook has a DTD; one could only be there to define entities that expand.
void XMLCALL onDoctype(void *data, const XML_Char *, const XML_Char *, const XML_Char *, int)
{
    auto *p = static_cast<Parse *>(data);
    p->refused = {ErrorKind::Damaged, "it holds a document type declaration (DTD), which no workbook has", {}};
    XML_StopParser(p->parser, XML_FALSE);
}

} // namespace

XmlName splitName(const char *name) noexcept
{
    const std::string_view whole(name);
    const std::size_t bar = whole.rfind(NamespaceSeparator);
    if (bar == std::string_view::npos)
        return {{}, whole};
    return {whole.substr(0, bar), whole.substr(bar + 1)};
}

const char *attribute(const char **attributes, std::string_view local) noexcept
{
    for (const char **a = attributes; *a; a += 2) {
        if (splitName(a[0]).local == local)
            return a[1];
    }
    return nullptr;
}

const char *attribute(const char **attributes, std::string_view ns, std::string_view local) noexcept
{
    for (const char **a = attributes; *a; a += 2) {
        const XmlName name = splitName(a[0]);
        if (name.local == local && name.ns == ns)
            return a[1];
    }
    return nullptr;
}

std::unique_ptr<ZipFile> ZipFile::open(const std::string &path, const Limits &limits, Error &error)
{
    unzFile zip = unzOpen64(path.c_str());
    if (!zip) {
        error = {ErrorKind::Damaged, "it is a broken zip file: the directory at its end is missing or damaged "
                                     "(was the file cut short?)", {}};
        return nullptr;
    }
    unz_global_info64 info{};
    if (unzGetGlobalInfo64(zip, &info) != UNZ_OK) {
        unzClose(zip);
        error = {ErrorKind::Damaged, "its zip directory is broken", {}};
        return nullptr;
    }
    if (info.number_entry > limits.zipEntries) {
        unzClose(zip);
        error = {ErrorKind::TooLarge, "its zip directory lists " + std::to_string(info.number_entry)
                                          + " files, more than a workbook has (at most "
                                          + std::to_string(limits.zipEntries) + " are read)", {}};
        return nullptr;
    }
    return std::unique_ptr<ZipFile>(new ZipFile(zip, limits));
}

ZipFile::~ZipFile()
{
    unzClose(zipOf(m_zip));
}

bool ZipFile::has(const std::string &entry)
{
    return unzLocateFile(zipOf(m_zip), entry.c_str(), 1) == UNZ_OK;
}

std::uint64_t ZipFile::declaredSize(const std::string &entry)
{
    unz_file_info64 info{};
    if (unzLocateFile(zipOf(m_zip), entry.c_str(), 2) != UNZ_OK
        || unzGetCurrentFileInfo64(zipOf(m_zip), &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return 0;
    return info.uncompressed_size;
}

template <class Consume>
Error ZipFile::stream(const std::string &entry, std::uint64_t limit, const std::atomic<bool> *stop, Consume &&consume)
{
    unzFile zip = zipOf(m_zip);
    // Part names are case-insensitive in a workbook's package; the exact spelling first.
    if (unzLocateFile(zip, entry.c_str(), 1) != UNZ_OK && unzLocateFile(zip, entry.c_str(), 2) != UNZ_OK)
        return {ErrorKind::Damaged, "the part " + entry + " is missing", {}};
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return {ErrorKind::Damaged, "the zip entry of " + entry + " is broken", {}};
    if (info.flag & 1)
        return {ErrorKind::Encrypted, "the part " + entry + " is encrypted", {}};
    const auto tooLarge = [&] {
        return Error{ErrorKind::TooLarge, "the part " + entry + " is larger than " + sizeText(limit)
                                              + " uncompressed, too large to be read safely", {}};
    };
    if (info.uncompressed_size > limit)   // the directory may lie; the bytes are counted too
        return tooLarge();
    if (unzOpenCurrentFile(zip) != UNZ_OK)
        return {ErrorKind::Damaged, "the part " + entry + " cannot be unpacked (a broken or unknown compression)", {}};
    std::vector<char> buffer(Chunk);
    std::uint64_t total = 0;
    Error error;
    for (;;) {
        if (stop && stop->load(std::memory_order_relaxed)) {
            error = {ErrorKind::Stopped, "stopped", {}};
            break;
        }
        const int n = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()));
        if (n < 0) {
            error = {ErrorKind::Damaged, "the part " + entry + " cannot be unpacked: its data is broken", {}};
            break;
        }
        total += static_cast<std::uint64_t>(n);
        if (total > limit) {
            error = tooLarge();
            break;
        }
        bool more = true;
        error = consume(std::string_view(buffer.data(), static_cast<std::size_t>(n)), n == 0, more);
        if (error || !more || n == 0)
            break;
    }
    const int closed = unzCloseCurrentFile(zip);
    if (!error && closed == UNZ_CRCERROR && total > 0)
        error = {ErrorKind::Damaged, "the part " + entry + " is damaged (its checksum does not match)", {}};
    return error;
}

Error ZipFile::read(const std::string &entry, std::uint64_t limit, std::string &bytes)
{
    bytes.clear();
    return stream(entry, limit, nullptr, [&bytes](std::string_view piece, bool, bool &) {
        bytes.append(piece);
        return Error{};
    });
}

Error ZipFile::parse(const std::string &entry, std::uint64_t limit, XmlHandler &handler, const std::atomic<bool> *stop)
{
    XML_Parser parser = XML_ParserCreateNS(nullptr, NamespaceSeparator);
    if (!parser)
        return {ErrorKind::TooLarge, "no memory for an XML parser", {}};
    Parse p{parser, handler, 0, {}};
    XML_SetUserData(parser, &p);
    XML_SetElementHandler(parser, onStart, onEnd);
    XML_SetCharacterDataHandler(parser, onText);
    XML_SetCommentHandler(parser, onComment);
    XML_SetProcessingInstructionHandler(parser, onOther);
    XML_SetStartDoctypeDeclHandler(parser, onDoctype);
    XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
    std::uint64_t fed = 0;
    Error error = stream(entry, limit, stop, [&](std::string_view piece, bool last, bool &more) -> Error {
        fed += piece.size();
        if (XML_Parse(parser, piece.data(), static_cast<int>(piece.size()), last ? XML_TRUE : XML_FALSE) == XML_STATUS_ERROR) {
            if (p.refused)
                return p.refused;
            if (handler.error || handler.done)
                return {};
            return {ErrorKind::Damaged,
                    "the part " + entry + " is no well-formed XML (line " + std::to_string(XML_GetCurrentLineNumber(parser))
                        + ": " + XML_ErrorString(XML_GetErrorCode(parser)) + ")", {}};
        }
        if (handler.error || handler.done) {
            more = false;
            return {};
        }
        if (fed - static_cast<std::uint64_t>(p.lastEvent < 0 ? 0 : p.lastEvent) > m_limits.xmlTokenBytes)
            return {ErrorKind::TooLarge, "the part " + entry + " holds a tag or text longer than "
                                             + sizeText(m_limits.xmlTokenBytes) + ", too large to be read safely", {}};
        return {};
    });
    XML_ParserFree(parser);
    if (!error && handler.error)
        error = handler.error;
    return error;
}

} // namespace ean13::sheets
