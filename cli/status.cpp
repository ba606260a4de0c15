#include "status.h"

#include "output.h"

#include <cstdio>
#include <string>

namespace ean13::cli {

void message(std::string_view program, std::string_view what)
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
    // One write, so that messages from several threads never interleave within a line.
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
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
