#include "forward.h"

#include "status.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace ean13::cli {

namespace {

constexpr std::string_view Program = "ean13";

#ifdef _WIN32
constexpr const char *ExeSuffix = ".exe";
#else
constexpr const char *ExeSuffix = "";
#endif

// The directory of the running program.
fs::path ownDirectory(const char *argv0)
{
    std::error_code error;
#ifdef _WIN32
    (void)argv0;
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    return fs::path(path).parent_path();
#else
    // A name with a slash was run as that path; a bare name was found on PATH.
    const std::string name = argv0 ? argv0 : "";
    if (name.find('/') != std::string::npos)
        return fs::absolute(fs::path(name), error).parent_path();
    const char *pathVariable = std::getenv("PATH");
    std::string_view dirs = pathVariable ? pathVariable : "";
    while (!dirs.empty()) {
        const std::size_t colon = dirs.find(':');
        const fs::path dir(std::string(dirs.substr(0, colon)));
        if (::access((dir / name).c_str(), X_OK) == 0)
            return fs::absolute(dir, error);
        if (colon == std::string_view::npos)
            break;
        dirs.remove_prefix(colon + 1);
    }
    return {};
#endif
}

#ifdef _WIN32
// _spawnv joins its arguments with spaces: each must be quoted as the C runtime will split it.
std::string quoted(const std::string &arg)
{
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos)
        return arg;
    std::string q = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        q.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        q += c;
    }
    q.append(2 * backslashes, '\\');
    q += '"';
    return q;
}
#endif

// Runs the program and gives its exit status; the one place that differs by platform.
int run(const fs::path &program, int argc, char **args)
{
    const std::string path = program.string();
#ifdef _WIN32
    std::vector<std::string> quotedArgs{quoted(path)};
    for (int i = 0; i < argc; ++i)
        quotedArgs.push_back(quoted(args[i]));
    std::vector<const char *> argv;
    for (const std::string &a : quotedArgs)
        argv.push_back(a.c_str());
    argv.push_back(nullptr);
    std::fflush(nullptr);
    const intptr_t status = _spawnv(_P_WAIT, path.c_str(), argv.data());
    if (status == -1) {
        const int error = errno;
        return failure(Program, "cannot run " + path + ": " + std::strerror(error));
    }
    return static_cast<int>(status);
#else
    std::vector<char *> argv{const_cast<char *>(path.c_str())};
    argv.insert(argv.end(), args, args + argc);
    argv.push_back(nullptr);
    std::fflush(nullptr);
    ::execv(path.c_str(), argv.data());   // returns only if it failed
    const int error = errno;
    return failure(Program, "cannot run " + path + ": " + std::strerror(error));
#endif
}

} // namespace

int forward(const char *argv0, std::string_view subcommand, int argc, char **args)
{
    const std::string name = "ean13-" + std::string(subcommand) + ExeSuffix;
    const fs::path dir = ownDirectory(argv0);
    const fs::path candidates[] = {dir / name, dir / ".." / "libexec" / "barcode-analyser" / name};
    for (const fs::path &candidate : candidates) {
        std::error_code error;
        if (!dir.empty() && fs::is_regular_file(candidate, error))
            return run(candidate, argc, args);
    }
    const std::string what = subcommand == "sheets" ? std::string("reading a spreadsheet") : std::string(subcommand);
    return failure(Program, what + " needs the program " + name + ", which is missing (looked in "
                                + candidates[0].parent_path().string() + " and "
                                + candidates[1].parent_path().lexically_normal().string() + ")");
}

} // namespace ean13::cli
