#include "delimiter.h"

#include <array>
#include <vector>

namespace ean13::lists {

namespace {

constexpr std::array<char, 3> Candidates = {';', ',', '\t'};
constexpr int LinesJudged = 10;

std::array<long long, Candidates.size()> countIn(std::string_view line, bool csv)
{
    std::array<long long, Candidates.size()> counts{};
    bool quoted = false;
    for (char c : line) {
        if (csv && c == '"')
            quoted = !quoted;
        if (quoted)
            continue;
        for (std::size_t i = 0; i < Candidates.size(); ++i) {
            if (c == Candidates[i])
                ++counts[i];
        }
    }
    return counts;
}

} // namespace

char detectDelimiter(std::string_view start, bool header, bool csv, char fallback)
{
    std::vector<std::string_view> lines;
    while (!start.empty() && static_cast<int>(lines.size()) < (header ? 1 : LinesJudged)) {
        const std::size_t nl = start.find('\n');
        if (nl == std::string_view::npos && !lines.empty())
            break;   // a line cut off by the end of what was read says less than a whole one
        lines.push_back(start.substr(0, nl));
        if (nl == std::string_view::npos)
            break;
        start.remove_prefix(nl + 1);
    }
    // The candidate that stands the same number of times on every line judged wins over one that
    // does not (a comma inside a product's name); then the one seen most often.
    int best = -1;
    bool bestSteady = false;
    long long bestTotal = 0;
    for (std::size_t i = 0; i < Candidates.size(); ++i) {
        long long total = 0;
        long long first = -1;
        bool steady = true;
        for (std::string_view line : lines) {
            const long long n = countIn(line, csv)[i];
            if (first < 0)
                first = n;
            steady = steady && n == first;
            total += n;
        }
        steady = steady && total > 0;
        const bool tie = steady == bestSteady && total == bestTotal;
        const bool better = total > 0
            && (best < 0 || (steady && !bestSteady) || (steady == bestSteady && total > bestTotal)
                || (tie && Candidates[i] == fallback));   // the usual delimiter wins a tie
        if (better) {
            best = static_cast<int>(i);
            bestSteady = steady;
            bestTotal = total;
        }
    }
    return best < 0 ? fallback : Candidates[static_cast<std::size_t>(best)];
}

std::string delimiterName(char delimiter)
{
    return delimiter == '\t' ? std::string("tab") : std::string(1, delimiter);
}

} // namespace ean13::lists
