// The parts of a workbook: entries of a zip file, streamed through an XML parser that refuses
// what no workbook holds (a DTD, and with it every entity) and any token beyond a bound.
#pragma once

#include "sheets.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace ean13::sheets {

// Elements and attributes by their local name, the namespace apart, and the namespace itself.
struct XmlName
{
    std::string_view ns;
    std::string_view local;
};

class XmlHandler
{
public:
    virtual ~XmlHandler() = default;
    // `attributes` are pairs of name and value, ending with nullptr, as expat gives them.
    virtual void start(XmlName name, const char **attributes) = 0;
    virtual void end(XmlName name) = 0;
    virtual void text(std::string_view text) = 0;
    // Set by a handler to stop the parse: done with no error, or an error to give back.
    bool done = false;
    Error error;
};

[[nodiscard]] XmlName splitName(const char *name) noexcept;
// The value of the attribute of this local name (any namespace), or nullptr.
[[nodiscard]] const char *attribute(const char **attributes, std::string_view local) noexcept;
[[nodiscard]] const char *attribute(const char **attributes, std::string_view ns, std::string_view local) noexcept;

class ZipFile
{
public:
    // nullptr with `error` set when the file is no zip file, or one with too many entries.
    static std::unique_ptr<ZipFile> open(const std::string &path, const Limits &limits, Error &error);
    ~ZipFile();
    ZipFile(const ZipFile &) = delete;
    ZipFile &operator=(const ZipFile &) = delete;

    [[nodiscard]] bool has(const std::string &entry);
    // The size the zip's directory gives the entry uncompressed: a hint only, since it may lie.
    [[nodiscard]] std::uint64_t declaredSize(const std::string &entry);
    // The entry whole, at most `limit` bytes of it (more is TooLarge).
    [[nodiscard]] Error read(const std::string &entry, std::uint64_t limit, std::string &bytes);
    // The entry through the XML parser into `handler`, stopping where the handler says so.
    [[nodiscard]] Error parse(const std::string &entry, std::uint64_t limit, XmlHandler &handler,
                              const std::atomic<bool> *stop);

private:
    ZipFile(void *zip, const Limits &limits) : m_zip(zip), m_limits(limits) {}
    template <class Consume>
    Error stream(const std::string &entry, std::uint64_t limit, const std::atomic<bool> *stop, Consume &&consume);

    void *m_zip;
    Limits m_limits;
};

} // namespace ean13::sheets
