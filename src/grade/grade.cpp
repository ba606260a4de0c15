#include "grade.h"

#include "ean13.h"
#include "symbol.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>

namespace grade {

namespace {

constexpr int SymbolElements = 59;   // 30 bars and 29 spaces, guards included
constexpr int SymbolEdges = SymbolElements + 1;
constexpr int SymbolModules = 95;
constexpr double MmPerInch = 25.4;

// ---- The reference decode ----------------------------------------------------------------

// A character as its two edge-to-similar-edge widths (elements 1+2 and 2+3, in modules) and the
// width of its bars, which alone parts the pairs 1/7 and 2/8.
struct Candidate
{
    int digit;
    char set;      // 'a', 'b' or 'c'
    int barSum;    // modules
};

struct DecodeTable
{
    // [half][t1 - 2][t2 - 2]: one or two candidates; half 0 is the left (sets A and B), 1 the right.
    std::vector<Candidate> cells[2][4][4];
};

const DecodeTable &decodeTable()
{
    static const DecodeTable table = [] {
        DecodeTable t;
        const std::pair<ean13::NumberSet, int> sets[] = {
            {ean13::NumberSet::A, 0}, {ean13::NumberSet::B, 0}, {ean13::NumberSet::C, 1}};
        for (const auto &[set, half] : sets) {
            for (int digit = 0; digit <= 9; ++digit) {
                const std::string_view p = ean13::pattern(set, digit);
                std::array<int, 4> w{};
                std::size_t run = 0;
                for (std::size_t i = 0; i < p.size(); ++i) {
                    if (i > 0 && p[i] != p[i - 1])
                        ++run;
                    ++w[run];
                }
                const bool startsWithBar = p.front() == '1';
                const int bars = startsWithBar ? w[0] + w[2] : w[1] + w[3];
                t.cells[half][w[0] + w[1] - 2][w[1] + w[2] - 2].push_back({digit, static_cast<char>(set), bars});
            }
        }
        return t;
    }();
    return table;
}

// The margin of a width measured in modules from the nearest decision threshold (n +- 0.5),
// as a fraction of the margin of a perfect width: 1 for a whole number, 0 on a threshold.
double widthMargin(double modules, int whole)
{
    return std::clamp(1.0 - 2.0 * std::abs(modules - whole), 0.0, 1.0);
}

// Two similar-edge distances of about 2 modules each, as every guard pattern has.
bool guardOk(const double *e, int first, int elements, double module)
{
    for (int k = first; k + 2 <= first + elements; ++k) {
        const double m = (e[k + 2] - e[k]) / module;
        if (m < 1.5 || m >= 2.5)
            return false;
    }
    return true;
}

} // namespace

std::optional<Decoded> decodeEdges(const double *e)
{
    const double module = (e[58] - e[0]) / 94.0;   // leading edges of the first and the last bar
    if (!(module > 0))
        return std::nullopt;
    for (int k = 0; k < SymbolElements; ++k)
        if (!(e[k + 1] > e[k]))
            return std::nullopt;
    if (!guardOk(e, 0, 3, module) || !guardOk(e, 27, 5, module) || !guardOk(e, 56, 3, module))
        return std::nullopt;

    const DecodeTable &table = decodeTable();
    std::string digits(13, '0');
    std::string sets;
    double worst = 1.0;
    int worstCharacter = 0;
    for (int c = 0; c < 12; ++c) {
        const int half = c < 6 ? 0 : 1;
        const int s = half == 0 ? 3 + 4 * c : 32 + 4 * (c - 6);
        const double z = (e[s + 4] - e[s]) / 7.0;
        const double m1 = (e[s + 2] - e[s]) / z;
        const double m2 = (e[s + 3] - e[s + 1]) / z;
        if (m1 < 1.5 || m1 >= 5.5 || m2 < 1.5 || m2 >= 5.5)
            return std::nullopt;
        const int n1 = static_cast<int>(std::floor(m1 + 0.5));
        const int n2 = static_cast<int>(std::floor(m2 + 0.5));
        const std::vector<Candidate> &cell = table.cells[half][n1 - 2][n2 - 2];
        if (cell.empty())
            return std::nullopt;
        double v = std::min(widthMargin(m1, n1), widthMargin(m2, n2));
        Candidate pick = cell.front();
        if (cell.size() == 2) {
            const double bars = half == 0 ? (e[s + 2] - e[s + 1]) + (e[s + 4] - e[s + 3])
                                          : (e[s + 1] - e[s]) + (e[s + 3] - e[s + 2]);
            const double mb = bars / z;
            const double middle = (cell[0].barSum + cell[1].barSum) / 2.0;
            const double halfStep = std::abs(cell[0].barSum - cell[1].barSum) / 2.0;
            pick = (mb < middle) == (cell[0].barSum < middle) ? cell[0] : cell[1];
            v = std::min(v, std::min(1.0, std::abs(mb - middle) / halfStep));
        }
        if (v < worst) {
            worst = v;
            worstCharacter = c;
        }
        digits[static_cast<std::size_t>(c + 1)] = static_cast<char>('0' + pick.digit);
        if (half == 0)
            sets.push_back(pick.set);
    }
    int first = -1;
    for (int d = 0; d <= 9; ++d)
        if (ean13::parity(d) == sets)
            first = d;
    if (first < 0)
        return std::nullopt;
    digits[0] = static_cast<char>('0' + first);
    if (ean13::gtinCheckDigit(digits) != digits.back() - '0')
        return std::nullopt;
    return Decoded{digits, worst, worstCharacter};
}

namespace {

// ---- Finding the symbol --------------------------------------------------------------------

// Where one pixel row crosses the symbol: its 60 edges at run boundaries.
struct RowHit
{
    int y = 0;
    std::string code;
    std::array<double, SymbolEdges> edges{};
    [[nodiscard]] double module() const { return (edges[58] - edges[0]) / 94.0; }
};

std::optional<RowHit> decodeRow(const GreyImage &image, int y, int xBegin, int xEnd, const std::string *wanted)
{
    xBegin = std::max(0, xBegin);
    xEnd = std::min(image.width, xEnd);
    if (xEnd - xBegin < SymbolModules)
        return std::nullopt;
    const std::uint8_t *row = image.pixels.data() + std::size_t(y) * std::size_t(image.width);
    const auto [lo, hi] = std::minmax_element(row + xBegin, row + xEnd);
    if (*hi - *lo < 16)
        return std::nullopt;
    const int threshold = (*lo + *hi + 1) / 2;   // dark: below it
    std::vector<int> starts;                      // where each run begins
    bool dark = row[xBegin] < threshold;
    starts.push_back(xBegin);
    for (int x = xBegin + 1; x < xEnd; ++x) {
        const bool d = row[x] < threshold;
        if (d != dark) {
            starts.push_back(x);
            dark = d;
        }
    }
    starts.push_back(xEnd);
    const bool firstDark = row[xBegin] < threshold;
    const std::size_t runs = starts.size() - 1;
    // Run i is dark when its parity matches the first run's. A symbol: a light run, 59 runs, a light run.
    for (std::size_t i = 1; i + SymbolElements < runs; ++i) {
        const bool isDark = (i % 2 == 0) == firstDark;
        if (!isDark)
            continue;
        RowHit hit;
        for (int k = 0; k < SymbolEdges; ++k)
            hit.edges[static_cast<std::size_t>(k)] = starts[i + static_cast<std::size_t>(k)];
        const double module = hit.module();
        // Quiet zones of at least a few modules: a run of bars inside a larger pattern is no symbol.
        if (starts[i] - starts[i - 1] < 3 * module || starts[i + SymbolEdges] - starts[i + SymbolElements] < 3 * module)
            continue;
        const std::optional<Decoded> decoded = decodeEdges(hit.edges.data());
        if (!decoded || (wanted && decoded->digits != *wanted))
            continue;
        hit.y = y;
        hit.code = decoded->digits;
        return hit;
    }
    return std::nullopt;
}

struct Located
{
    std::string code;
    int top = 0, bottom = 0;            // rows of the data bars, bottom included
    std::map<int, RowHit> rows;         // every row that decoded
    double module = 0;                  // pixels
};

std::optional<Located> locate(const GreyImage &image, double dpiY)
{
    // Every half millimetre, and at least 64 rows in all whatever the resolution is said to be.
    const int step = std::clamp(static_cast<int>(dpiY * 0.5 / MmPerInch), 1, std::max(1, image.height / 64));
    for (int y0 = step / 2; y0 < image.height; y0 += step) {
        const std::optional<RowHit> first = decodeRow(image, y0, 0, image.width, nullptr);
        if (!first)
            continue;
        Located found;
        found.code = first->code;
        found.rows.emplace(y0, *first);
        // Follow the bars up and down, row by row; a few rows spoilt by a speck do not end them.
        const int allowedGap = std::max(2, static_cast<int>(first->module()));
        for (int direction : {-1, 1}) {
            RowHit last = *first;
            int misses = 0;
            for (int y = y0 + direction; y >= 0 && y < image.height && misses <= allowedGap; y += direction) {
                const double margin = 4 * last.module();
                const auto hit = decodeRow(image, y, static_cast<int>(last.edges[0] - margin),
                                           static_cast<int>(last.edges[SymbolEdges - 1] + margin) + 1, &found.code);
                if (!hit) {
                    ++misses;
                    continue;
                }
                misses = 0;
                last = *hit;
                found.rows.emplace(y, *hit);
            }
        }
        found.top = found.rows.begin()->first;
        found.bottom = found.rows.rbegin()->first;
        std::vector<double> modules;
        for (const auto &[y, hit] : found.rows)
            modules.push_back(hit.module());
        std::nth_element(modules.begin(), modules.begin() + long(modules.size() / 2), modules.end());
        found.module = modules[modules.size() / 2];
        return found;
    }
    return std::nullopt;
}

GreyImage rotated(const GreyImage &image, int quarterTurns)
{
    GreyImage r;
    const bool swap = quarterTurns % 2 == 1;
    r.width = swap ? image.height : image.width;
    r.height = swap ? image.width : image.height;
    r.pixels.resize(image.pixels.size());
    for (int y = 0; y < r.height; ++y) {
        for (int x = 0; x < r.width; ++x) {
            int sx = x, sy = y;
            if (quarterTurns == 1) {          // clockwise: the source's left column becomes the top row
                sx = y;
                sy = image.height - 1 - x;
            } else if (quarterTurns == 2) {
                sx = image.width - 1 - x;
                sy = image.height - 1 - y;
            } else {
                sx = image.width - 1 - y;
                sy = x;
            }
            r.pixels[std::size_t(y) * std::size_t(r.width) + std::size_t(x)] = image.at(sx, sy);
        }
    }
    return r;
}

// ---- Reflectance through the aperture ------------------------------------------------------

struct Reflectance
{
    double offset = 0;
    double scale = 1.0 / 255.0;
    [[nodiscard]] double operator()(double grey) const { return offset + scale * grey; }
};

// The pixels whose centres lie in the circle, as one run of pixels a row: for each row offset
// dy, the offsets -halfWidth to +halfWidth. A profile sums each run from a row's running total,
// so that a wide aperture costs a row of additions, not a disk of them.
struct Aperture
{
    std::vector<std::pair<int, int>> spans;   // (dy, halfWidth)
    long pixels = 0;
    int reach = 0;                            // the largest halfWidth
};

Aperture aperture(double diameterMm, double dpiX, double dpiY)
{
    Aperture a;
    const double r = diameterMm / 2 / MmPerInch;   // inches
    const auto inside = [&](int dx, int dy) {
        const double ix = dx / dpiX, iy = dy / dpiY;
        return ix * ix + iy * iy <= r * r;
    };
    const int ry = static_cast<int>(std::floor(r * dpiY));
    for (int dy = -ry; dy <= ry; ++dy) {
        if (!inside(0, dy))
            continue;
        int halfWidth = 0;
        while (inside(halfWidth + 1, dy))
            ++halfWidth;
        a.spans.emplace_back(dy, halfWidth);
        a.pixels += 2 * halfWidth + 1;
        a.reach = std::max(a.reach, halfWidth);
    }
    if (a.spans.empty()) {
        a.spans.emplace_back(0, 0);
        a.pixels = 1;
    }
    return a;
}

// The mean grey level through the aperture at each pixel column from `begin` to `end` of row y;
// beyond the image's edges its outermost pixels count again.
std::vector<double> meanGrey(const GreyImage &image, const Aperture &a, int y, int begin, int end)
{
    if (end <= begin)
        return {};
    const std::size_t n = std::size_t(end - begin);
    std::vector<long> sums(n, 0);
    std::vector<long> total(n + 2 * std::size_t(a.reach) + 1, 0);
    for (const auto &[dy, halfWidth] : a.spans) {
        const int row = std::clamp(y + dy, 0, image.height - 1);
        for (std::size_t i = 0; i + 1 < total.size(); ++i) {
            const int x = std::clamp(begin - a.reach + int(i), 0, image.width - 1);
            total[i + 1] = total[i] + image.at(x, row);
        }
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t centre = i + std::size_t(a.reach);
            sums[i] += total[centre + std::size_t(halfWidth) + 1] - total[centre - std::size_t(halfWidth)];
        }
    }
    std::vector<double> means(n);
    for (std::size_t i = 0; i < n; ++i)
        means[i] = static_cast<double>(sums[i]) / static_cast<double>(a.pixels);
    return means;
}

// The grey levels of the darkest and the lightest patch: the extreme means over squares about
// the size of the aperture.
Reflectance calibrated(const GreyImage &image, const Calibration &c, int block)
{
    block = std::max(1, block);
    double lo = 255, hi = 0;
    for (int by = 0; by + block <= image.height; by += block)
        for (int bx = 0; bx + block <= image.width; bx += block) {
            long sum = 0;
            for (int y = by; y < by + block; ++y)
                for (int x = bx; x < bx + block; ++x)
                    sum += image.at(x, y);
            const double mean = static_cast<double>(sum) / (block * block);
            lo = std::min(lo, mean);
            hi = std::max(hi, mean);
        }
    Reflectance r;
    if (hi > lo) {
        r.scale = (c.high - c.low) / (hi - lo);
        r.offset = c.low - r.scale * lo;
    }
    return r;
}

// ---- One scan line -------------------------------------------------------------------------

struct Element
{
    std::size_t begin, end;   // sample indices, end excluded
    bool bar;
    std::size_t extreme;      // where the bar is darkest or the space lightest
};

int gradeOfContrast(double sc)
{
    return sc >= 0.70 ? 4 : sc >= 0.55 ? 3 : sc >= 0.40 ? 2 : sc >= 0.20 ? 1 : 0;
}
int gradeOfModulation(double mod)
{
    return mod >= 0.70 ? 4 : mod >= 0.60 ? 3 : mod >= 0.50 ? 2 : mod >= 0.40 ? 1 : 0;
}
int gradeOfDefects(double defects)
{
    return defects <= 0.15 ? 4 : defects <= 0.20 ? 3 : defects <= 0.25 ? 2 : defects <= 0.30 ? 1 : 0;
}
int gradeOfDecodability(double v)
{
    return v >= 0.62 ? 4 : v >= 0.50 ? 3 : v >= 0.37 ? 2 : v >= 0.25 ? 1 : 0;
}

// Where the profile crosses `level` between samples `from` and `to` (either direction), by
// straight interpolation between the two samples on either side.
double crossing(const std::vector<double> &r, std::size_t from, std::size_t to, double level)
{
    const bool falling = r[from] > level;
    const int step = to >= from ? 1 : -1;
    for (std::size_t i = from; i != to; i = static_cast<std::size_t>(static_cast<long>(i) + step)) {
        const std::size_t j = static_cast<std::size_t>(static_cast<long>(i) + step);
        const bool past = falling ? r[j] <= level : r[j] >= level;
        if (past) {
            const double t = r[i] == r[j] ? 1.0 : (r[i] - level) / (r[i] - r[j]);
            return static_cast<double>(i) + step * t;
        }
    }
    return static_cast<double>(to);
}

// The element reflectance non-uniformity: the highest peak less the lowest valley inside the
// element, 0 where it has not both. A run of equal samples counts as one.
double nonUniformity(const std::vector<double> &r, const Element &el, std::size_t regionBegin, std::size_t regionEnd)
{
    double highestPeak = -1, lowestValley = 2;
    for (std::size_t i = el.begin; i < el.end;) {
        std::size_t j = i;
        while (j + 1 < el.end && r[j + 1] == r[i])
            ++j;
        if (i > regionBegin && j + 1 < regionEnd) {
            const double left = r[i - 1], right = r[j + 1];
            if (r[i] > left && r[i] > right)
                highestPeak = std::max(highestPeak, r[i]);
            if (r[i] < left && r[i] < right)
                lowestValley = std::min(lowestValley, r[i]);
        }
        i = j + 1;
    }
    if (highestPeak < 0 || lowestValley > 1.5)
        return 0;
    return std::max(0.0, highestPeak - lowestValley);
}

struct LineSetting
{
    double module = 0;          // pixels
    double firstBar = 0;        // the leading edge of the first bar and the trailing edge of the last,
    double lastBar = 0;         // as the row that located the symbol saw them (pixel columns)
    int quietLeft = 11, quietRight = 7;   // modules
    double pixelsPerMmX = 0;
};

ScanLine gradeLine(const GreyImage &image, const Aperture &ap, const Reflectance &toR, int y, const LineSetting &s)
{
    ScanLine line;
    line.y = y;
    const int reach = ap.reach;
    // The profile runs twice the quiet zones out, to measure them; the parameters are taken over
    // the symbol and its quiet zones only, short of what lies beyond them by the aperture's reach.
    const int extBegin = std::max(0, static_cast<int>(std::floor(s.firstBar - 2 * s.quietLeft * s.module)));
    const int extEnd = std::min(image.width, static_cast<int>(std::ceil(s.lastBar + 2 * s.quietRight * s.module)) + 1);
    line.x0 = extBegin;
    for (double grey : meanGrey(image, ap, y, extBegin, extEnd))
        line.profile.push_back(toR(grey));
    const std::vector<double> &r = line.profile;
    const auto index = [&](double x) {
        return static_cast<std::size_t>(std::clamp(x - extBegin, 0.0, static_cast<double>(r.size())));
    };
    const std::size_t a = index(std::ceil(s.firstBar - s.quietLeft * s.module + reach));
    const std::size_t b = index(std::floor(s.lastBar + s.quietRight * s.module - reach));
    if (b <= a + 2)
        return line;

    const auto [lo, hi] = std::minmax_element(r.begin() + long(a), r.begin() + long(b));
    line.rmin = *lo;
    line.rmax = *hi;
    line.sc = line.rmax - line.rmin;
    line.threshold = line.rmin + line.sc / 2;
    const double gt = line.threshold;

    std::vector<Element> elements;
    for (std::size_t i = a; i < b;) {
        const bool bar = r[i] <= gt;
        Element el{i, i, bar, i};
        while (el.end < b && (r[el.end] <= gt) == bar) {
            if (bar ? r[el.end] < r[el.extreme] : r[el.end] > r[el.extreme])
                el.extreme = el.end;
            ++el.end;
        }
        elements.push_back(el);
        i = el.end;
    }

    line.ecmin = elements.size() > 1 ? 1.0 : 0.0;
    double ernMax = 0;
    std::size_t lowestEdge = 0, leastUniform = 0;
    for (std::size_t k = 0; k < elements.size(); ++k) {
        if (k + 1 < elements.size()) {
            const double ec = std::abs(r[elements[k].extreme] - r[elements[k + 1].extreme]);
            if (ec < line.ecmin) {
                line.ecmin = ec;
                lowestEdge = k;
            }
        }
        const double ern = nonUniformity(r, elements[k], a, b);
        if (ern > ernMax) {
            ernMax = ern;
            leastUniform = k;
        }
    }
    line.mod = line.sc > 0 ? line.ecmin / line.sc : 0;
    line.defects = line.sc > 0 ? ernMax / line.sc : 1;

    // Edges where the profile crosses the middle of the two neighbours' extremes.
    for (std::size_t k = 0; k + 1 < elements.size(); ++k) {
        const double level = (r[elements[k].extreme] + r[elements[k + 1].extreme]) / 2;
        line.edges.push_back(extBegin + crossing(r, elements[k].extreme, elements[k + 1].extreme, level));
    }

    // The reference decode: a quiet zone, the 59 elements, a quiet zone.
    int worstCharacter = -1;
    if (elements.size() == SymbolElements + 2 && !elements.front().bar) {
        if (const std::optional<Decoded> d = decodeEdges(line.edges.data())) {
            line.decoded = true;
            line.code = d->digits;
            line.decodability = d->decodability;
            worstCharacter = d->worstCharacter;
        }
    }

    // The light margins, out from the symbol's first and last bar (where the row that located it
    // saw them: a dark neighbour in a quiet zone is no bar of the symbol) to the first dark sample
    // or the end of the profile (the image's edge, or twice the quiet zone).
    const Element *firstBar = nullptr, *lastBar = nullptr;
    for (const Element &el : elements) {
        if (!el.bar)
            continue;
        const double begin = extBegin + double(el.begin), end = extBegin + double(el.end);
        if (!firstBar || std::abs(begin - s.firstBar) < std::abs(extBegin + double(firstBar->begin) - s.firstBar))
            firstBar = &el;
        if (!lastBar || std::abs(end - s.lastBar) < std::abs(extBegin + double(lastBar->end) - s.lastBar))
            lastBar = &el;
    }
    if (firstBar && firstBar->begin <= lastBar->begin) {
        const std::size_t left = firstBar->begin;
        const std::size_t right = lastBar->end - 1;
        const double leftEdge = crossing(r, left, left - (left > 0 ? 1 : 0), gt);
        const double rightEdge = crossing(r, right, std::min(right + 1, r.size() - 1), gt);
        std::size_t i = left;
        while (i > 0 && r[i - 1] > gt)
            --i;
        const double leftEnd = i == 0 ? -0.5 : crossing(r, i, i - 1, gt);
        std::size_t j = right + 1;
        while (j < r.size() && r[j] > gt)
            ++j;
        const double rightEnd = j == r.size() ? static_cast<double>(r.size()) - 0.5 : crossing(r, j - 1, j, gt);
        line.quietLeftMm = (leftEdge - leftEnd) / s.pixelsPerMmX;
        line.quietRightMm = (rightEnd - rightEdge) / s.pixelsPerMmX;
    }
    const double tolerance = 0.5 / s.pixelsPerMmX;   // half a pixel
    const double moduleMm = s.module / s.pixelsPerMmX;
    const bool quietOk = line.quietLeftMm + tolerance >= s.quietLeft * moduleMm
                         && line.quietRightMm + tolerance >= s.quietRight * moduleMm;

    int *g = line.grades;
    g[int(Parameter::Decode)] = line.decoded ? 4 : 0;
    g[int(Parameter::QuietZone)] = quietOk ? 4 : 0;
    g[int(Parameter::Rmin)] = line.rmin <= 0.5 * line.rmax ? 4 : 0;
    g[int(Parameter::SymbolContrast)] = gradeOfContrast(line.sc);
    g[int(Parameter::EdgeContrast)] = line.ecmin >= 0.15 ? 4 : 0;
    g[int(Parameter::Modulation)] = gradeOfModulation(line.mod);
    g[int(Parameter::Defects)] = gradeOfDefects(line.defects);
    g[int(Parameter::Decodability)] = line.decoded ? gradeOfDecodability(line.decodability) : 0;
    line.grade = 4;
    for (int p = 0; p < ParameterCount; ++p)
        if (g[p] < line.grade) {
            line.grade = g[p];
            line.limit = static_cast<Parameter>(p);
        }
    if (line.grade == 4)
        line.limit = Parameter::Decode;

    const auto mark = [&](double from, double to) {
        line.markFrom = from;
        line.markTo = to;
    };
    switch (line.grade == 4 ? Parameter::Decode : line.limit) {
    case Parameter::Defects:
        mark(extBegin + double(elements[leastUniform].begin) - 0.5, extBegin + double(elements[leastUniform].end) - 0.5);
        break;
    case Parameter::EdgeContrast:
    case Parameter::Modulation:
        if (elements.size() > 1)
            mark(extBegin + double(elements[lowestEdge].extreme), extBegin + double(elements[lowestEdge + 1].extreme));
        break;
    case Parameter::Decodability:
        if (worstCharacter >= 0) {
            const std::size_t s0 = std::size_t(worstCharacter < 6 ? 3 + 4 * worstCharacter : 32 + 4 * (worstCharacter - 6));
            mark(line.edges[s0], line.edges[s0 + 4]);
        }
        break;
    case Parameter::QuietZone:
        if (!line.edges.empty()) {
            const double first = line.edges.front(), last = line.edges.back();
            if (line.quietLeftMm + tolerance < s.quietLeft * moduleMm)
                mark(first - s.quietLeft * s.module, first);
            else
                mark(last, last + s.quietRight * s.module);
        }
        break;
    default:
        break;
    }
    return line;
}

// The width of each element of the symbol in modules.
std::vector<int> elementModules(const std::string &code)
{
    const std::string modules = ean13::symbolModules(ean13::asciiCode(code));
    std::vector<int> widths;
    for (std::size_t i = 0; i < modules.size(); ++i) {
        if (i == 0 || modules[i] != modules[i - 1])
            widths.push_back(0);
        ++widths.back();
    }
    return widths;
}

std::string format(const char *pattern, double value)
{
    std::string s(static_cast<std::size_t>(std::snprintf(nullptr, 0, pattern, value)), '\0');
    std::snprintf(s.data(), s.size() + 1, pattern, value);
    // Russian writes a decimal comma; a full stop ends the sentence all the same.
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    for (std::size_t i = 1; i + 1 < s.size(); ++i)
        if (s[i] == '.' && digit(s[i - 1]) && digit(s[i + 1]))
            s[i] = ',';
    return s;
}

} // namespace

std::string_view parameterName(Parameter p) noexcept
{
    switch (p) {
    case Parameter::Decode: return "decode";
    case Parameter::QuietZone: return "quiet zone";
    case Parameter::Rmin: return "Rmin";
    case Parameter::SymbolContrast: return "symbol contrast";
    case Parameter::EdgeContrast: return "minimum edge contrast";
    case Parameter::Modulation: return "modulation";
    case Parameter::Defects: return "defects";
    case Parameter::Decodability: return "decodability";
    }
    return {};
}

char letterOfValue(double value) noexcept
{
    return value >= 3.5 ? 'A' : value >= 2.5 ? 'B' : value >= 1.5 ? 'C' : value >= 0.5 ? 'D' : 'F';
}

Result gradeSymbol(const GreyImage &image, const Options &options)
{
    Result result;
    result.apertureMm = options.apertureMm;
    result.calibrated = options.calibration.has_value();
    if (!(options.dpiX > 0) || !(options.dpiY > 0) || !std::isfinite(options.dpiX) || !std::isfinite(options.dpiY)) {
        result.outcome = Outcome::NoResolution;
        result.message = "the scan's resolution is unknown";
        return result;
    }
    if (image.width <= 0 || image.height <= 0 || image.pixels.size() != std::size_t(image.width) * std::size_t(image.height)) {
        result.message = "the image is empty";
        return result;
    }

    // Bars upright first; then a symbol scanned upside down or on its side.
    GreyImage turned;   // a turned copy, made only when the image as it is holds no symbol
    std::optional<Located> found = locate(image, options.dpiY);
    double dpiX = options.dpiX, dpiY = options.dpiY;
    for (int turns : {2, 1, 3}) {
        if (found)
            break;
        turned = rotated(image, turns);
        dpiX = turns % 2 ? options.dpiY : options.dpiX;
        dpiY = turns % 2 ? options.dpiX : options.dpiY;
        found = locate(turned, dpiY);
    }
    if (!found) {
        result.message = "no EAN-13 or UPC-A symbol with straight bars was found";
        return result;
    }
    const GreyImage &scan = turned.pixels.empty() ? image : turned;
    result.code = found->code;
    result.symbology = found->code.front() == '0' ? "UPC-A" : "EAN-13";
    result.modulePixels = found->module;
    const double pxPerMmX = dpiX / MmPerInch;
    if (found->module < MinModulePixels) {
        result.outcome = Outcome::TooCoarse;
        char text[200];
        std::snprintf(text, sizeof text,
                      "the modules are %.1f pixels wide, too few to grade (at least %.0f are needed: scan at %.0f dpi or more)",
                      found->module, MinModulePixels, std::ceil(MinModulePixels / found->module * dpiX / 100) * 100);
        result.message = text;
        return result;
    }

    const Aperture ap = aperture(options.apertureMm, dpiX, dpiY);
    const Reflectance toR = options.calibration
        ? calibrated(scan, *options.calibration, static_cast<int>(std::lround(options.apertureMm * pxPerMmX)))
        : Reflectance{};

    LineSetting setting;
    setting.module = found->module;
    setting.pixelsPerMmX = pxPerMmX;
    if (result.symbology == "UPC-A")
        setting.quietLeft = setting.quietRight = 9;
    const int height = found->bottom - found->top + 1;
    result.barHeightMm = height / dpiY * MmPerInch;
    const std::vector<int> widths = elementModules(result.code);

    double gainSum = 0, moduleSum = 0;
    int decodedLines = 0;
    result.quietLeftMm = result.quietRightMm = std::numeric_limits<double>::max();
    for (int i = 0; i < 10; ++i) {
        // From 10 % to 90 % of the bar height.
        const int y = found->top + static_cast<int>(std::lround((height - 1) * (0.1 + 0.8 * i / 9.0)));
        const auto nearest = found->rows.lower_bound(y);
        const RowHit &hit = nearest != found->rows.end() ? nearest->second : found->rows.rbegin()->second;
        setting.firstBar = hit.edges.front();
        setting.lastBar = hit.edges.back();
        ScanLine line = gradeLine(scan, ap, toR, y, setting);
        if (line.decoded && line.code == result.code && line.edges.size() == SymbolEdges) {
            const double *e = line.edges.data();
            const double module = (e[58] - e[0]) / 94.0;
            double gain = 0;
            for (int k = 0; k < SymbolElements; k += 2)
                gain += (e[k + 1] - e[k]) - widths[static_cast<std::size_t>(k)] * module;
            gainSum += gain / 30;
            moduleSum += module;
            ++decodedLines;
        }
        result.quietLeftMm = std::min(result.quietLeftMm, line.quietLeftMm);
        result.quietRightMm = std::min(result.quietRightMm, line.quietRightMm);
        result.scans.push_back(std::move(line));
    }
    const double module = decodedLines ? moduleSum / decodedLines : found->module;
    result.xDimMm = module / pxPerMmX;
    result.modulePixels = module;
    result.barGainMm = decodedLines ? gainSum / decodedLines / pxPerMmX : 0;
    result.quietLeftMinMm = setting.quietLeft * result.xDimMm;
    result.quietRightMinMm = setting.quietRight * result.xDimMm;

    double sum = 0;
    for (std::size_t i = 0; i < result.scans.size(); ++i) {
        sum += result.scans[i].grade;
        if (result.scans[i].grade < result.scans[result.limitingScan].grade)
            result.limitingScan = i;
    }
    result.gradeValue = sum / static_cast<double>(result.scans.size());
    result.grade = letterOfValue(result.gradeValue);
    result.limit = result.scans[result.limitingScan].limit;
    result.outcome = Outcome::Graded;
    return result;
}

double nextBwrMm(const Result &result, const Options &options) noexcept
{
    return options.bwrMm + result.barGainMm;
}

std::string verdict(const Result &result, const Options &options)
{
    std::string s = "Класс ";
    s += result.grade;
    s += format(" (%.1f)", result.gradeValue);
    const ScanLine &worst = result.scans[result.limitingScan];
    const bool perfect = worst.grade == 4;
    const double gainModules = result.xDimMm > 0 ? result.barGainMm / result.xDimMm : 0;
    const bool gainMatters = std::abs(gainModules) >= 0.1;
    auto gainAdvice = [&] {
        const double next = nextBwrMm(result, options);
        std::string a = result.barGainMm > 0 ? format("Штрихи шире нормы на %.3f мм", result.barGainMm)
                                             : format("Штрихи уже нормы на %.3f мм", -result.barGainMm);
        if (next >= 0)
            a += format(": печатайте с уменьшением ширины штрихов %.3f мм.", next);
        else
            a += format(": печатайте без уменьшения ширины штрихов, а штрихи сделайте шире на %.3f мм.", -next);
        return a;
    };
    if (perfect) {
        s += ": печать годится.";
        if (gainMatters)
            s += " " + gainAdvice();
    } else {
        static const char *const names[] = {"свободные поля", "декодирование", "наименьшее отражение Rmin",
                                            "контраст символа", "наименьший контраст краёв", "модуляция",
                                            "дефекты", "декодируемость"};
        s += "; оценку ограничивает параметр «";
        s += names[int(result.limit)];
        s += "». ";
        switch (result.limit) {
        case Parameter::Decode:
            s += "Не все линии сканирования читаются: ищите разрывы в штрихах, пятна в пробелах или рисунок у самого символа.";
            break;
        case Parameter::QuietZone: {
            const bool left = result.quietLeftMm + 1e-9 < result.quietLeftMinMm;
            const bool right = result.quietRightMm + 1e-9 < result.quietRightMinMm;
            if (left)
                s += format("Свободное поле слева %.1f мм", result.quietLeftMm) + format(" при нужных %.1f мм", result.quietLeftMinMm);
            if (left && right)
                s += ", ";
            if (right)
                s += std::string(left ? "справа" : "Свободное поле справа")
                     + format(" %.1f мм", result.quietRightMm) + format(" при нужных %.1f мм", result.quietRightMinMm);
            s += ": отодвиньте текст и рисунок от символа.";
            break;
        }
        case Parameter::Rmin:
        case Parameter::SymbolContrast:
            s += "Мало контраста: печатайте штрихи тёмной краской (чёрной, тёмно-синей, тёмно-зелёной) на светлом фоне, без красных и светлых тонов.";
            break;
        case Parameter::EdgeContrast:
        case Parameter::Modulation:
            if (!gainMatters)
                s += "Узкие штрихи и пробелы размыты: уменьшите растекание краски или увеличьте размер символа.";
            break;
        case Parameter::Defects:
            s += "Пятна в пробелах или пропуски в штрихах: проверьте печатающую головку, ленту и материал.";
            break;
        case Parameter::Decodability:
            if (!gainMatters)
                s += "Ширина штрихов и пробелов неровная: проверьте точность печати.";
            break;
        }
        if (gainMatters)
            s += (s.back() == ' ' ? "" : " ") + gainAdvice();
    }
    if (result.xDimMm < 0.264 - 1e-9)
        s += format(" Размер модуля %.3f мм меньше наименьшего допустимого 0,264 мм.", result.xDimMm);
    else if (result.xDimMm > 0.660 + 1e-9)
        s += format(" Размер модуля %.3f мм больше наибольшего допустимого 0,660 мм.", result.xDimMm);
    if (!result.calibrated)
        s += " Оценка ориентировочная: сканер не откалиброван.";
    return s;
}

} // namespace grade
