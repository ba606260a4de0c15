#include "status.h"

#include "output.h"

#include <cstdio>
#include <string>

namespace ean13::cli {

std::string messageLine(std::string_view program, std::string_view what)
{
    std::string line;
    {
        Output out([&line](std::string_view bytes) {
            line.append(bytes);
            return true;
        });
        appendTextString(out, program);
        out.put(": ");
        appendTextString(out, what);
        out.put('\n');
        out.flush();
    }
    return line;
}

void message(std::string_view program, std::string_view what)
{
    const std::string line = messageLine(program, what);
    // One write, so that messages from several threads never interleave within a line.
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

std::string excerpt(std::string_view entry)
{
    constexpr std::size_t Longest = 64;
    if (entry.size() <= Longest)
        return std::string(entry);
    std::size_t cut = Longest;
    while (cut > 0 && (static_cast<unsigned char>(entry[cut]) & 0xC0) == 0x80)
        --cut;   // not inside a character's bytes
    return std::string(entry.substr(0, cut)) + "…";
}

int usageError(std::string_view program, std::string_view what)
{
    std::string text(what);
    text += " (see ";
    text += program;
    text += " --help)";
    message(program, text);
    return ExitUsage;
}

int failure(std::string_view program, std::string_view what)
{
    message(program, what);
    return ExitFailure;
}

int writeText(std::string_view program, std::string_view text)
{
    StandardOutput out;
    return out.write(text) ? ExitSuccess : out.failure(program);
}

} // namespace ean13::cli
