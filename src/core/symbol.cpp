#include "symbol.h"

#include <cstdio>

namespace ean13 {

namespace {

constexpr std::string_view StartGuard = "101";
constexpr std::string_view CentreGuard = "01010";
constexpr std::string_view EndGuard = "101";

bool isGuardModule(int module)   // module within the 95
{
    constexpr int CentreStart = 3 + HalfGroups * GroupWidth;
    return module < 3 || module >= SymbolModules - 3 || (module >= CentreStart && module < CentreStart + 5);
}

std::string millimetres(double mm)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f mm", mm);
    return text;
}

} // namespace

std::string checkOptions(const SymbolOptions &o)
{
    // Compared at a thousandth of a millimetre, so that "0.264" typed in is inside the range.
    constexpr double Slack = 0.0005;
    if (!(o.xMm >= MinXmm - Slack && o.xMm <= MaxXmm + Slack))
        return "X-dimension " + millimetres(o.xMm) + " is out of range: " + millimetres(MinXmm) + " to "
               + millimetres(MaxXmm) + " (80% to 200% of " + millimetres(NominalXmm) + ")";
    if (o.barHeightMm) {
        const double nominal = NominalBarHeight * o.xMm;
        const double low = MinBarHeightFactor * nominal;
        const double high = MaxBarHeightFactor * nominal;
        if (!(*o.barHeightMm >= low - Slack && *o.barHeightMm <= high + Slack))
            return "bar height " + millimetres(*o.barHeightMm) + " is out of range for X " + millimetres(o.xMm)
                   + ": " + millimetres(low) + " to " + millimetres(high);
    }
    if (!(o.bwrMm >= 0 && o.bwrMm <= MaxBwrFactor * o.xMm + Slack))
        return "bar width reduction " + millimetres(o.bwrMm) + " is out of range for X " + millimetres(o.xMm)
               + ": 0 to " + millimetres(MaxBwrFactor * o.xMm);
    return {};
}

Code asciiCode(std::string_view text) noexcept
{
    Code code;
    for (const char c : text)
        code.append(static_cast<unsigned char>(c));
    return code;
}

std::string asciiText(const Code &code)
{
    std::string text;
    for (const char32_t c : code)
        text += static_cast<char>(c);
    return text;
}

std::string symbolModules(const Code &code)
{
    if (!code.full() || !code.allDigits())
        return {};
    const Encoding e = encodeModules(code);
    std::string m;
    m.reserve(SymbolModules);
    m.append(StartGuard);
    m.append(e.modules, 0, ModuleCount / 2);
    m.append(CentreGuard);
    m.append(e.modules, ModuleCount / 2, ModuleCount / 2);
    m.append(EndGuard);
    return m;
}

int leftQuietZone(Symbology s) noexcept
{
    switch (s) {
    case Symbology::Ean13: return LeftQuietZone;
    case Symbology::UpcA: return 9;
    case Symbology::Ean8: return 7;
    case Symbology::UpcE: return 9;
    }
    return LeftQuietZone;
}

int rightQuietZone(Symbology s) noexcept
{
    return s == Symbology::UpcA ? 9 : RightQuietZone;
}

double nominalBarHeight(Symbology s) noexcept
{
    return s == Symbology::Ean8 ? Ean8NominalBarHeight : NominalBarHeight;
}

namespace {

// Whether the bar that begins at `module` of the main symbol reaches down as far as the guards:
// the guards' own, and UPC-A's first and last data characters.
bool longBar(Symbology s, int module, int modules)
{
    switch (s) {
    case Symbology::Ean13:
        return isGuardModule(module);
    case Symbology::UpcA:
        return module < 3 + GroupWidth || module >= modules - 3 - GroupWidth || isGuardModule(module);
    case Symbology::Ean8: {
        const int centre = 3 + 4 * GroupWidth;
        return module < 3 || module >= modules - 3 || (module >= centre && module < centre + 5);
    }
    case Symbology::UpcE:
        return module < 3 || module >= modules - static_cast<int>(UpcEEndGuard.size());
    }
    return false;
}

void addBars(Symbol &s, std::string_view modules, int offset, bool addOn)
{
    const int n = static_cast<int>(modules.size());
    for (int m = 0; m < n;) {
        if (modules[static_cast<std::size_t>(m)] != '1') {
            ++m;
            continue;
        }
        int end = m;
        while (end < n && modules[static_cast<std::size_t>(end)] == '1')
            ++end;
        s.bars.push_back({offset + m, end - m, !addOn && longBar(s.symbology, m, n), addOn});
        m = end;
    }
}

// The centre of the digit under the seven modules of group `group` (from 0) of a symbol whose
// data begin after the start guard and whose second half begins after a centre guard of 5.
double underGroup(int left, int group, int groupsPerHalf)
{
    const int at = left + 3 + group * GroupWidth + (group >= groupsPerHalf ? 5 : 0);
    return at + GroupWidth / 2.0;
}

} // namespace

std::optional<Symbol> layoutSymbol(const Code &code, const SymbolOptions &options)
{
    if (!code.full() || !code.allDigits())
        return std::nullopt;
    return layoutSymbol(Symbology::Ean13, asciiText(code), {}, options);
}

std::optional<Symbol> layoutSymbol(Symbology symbology, std::string_view digits, std::string_view addOn,
                                   const SymbolOptions &options)
{
    Symbol s;
    s.symbology = symbology;
    s.modules = familyModules(symbology, digits);
    const std::string extra = addOn.empty() ? std::string() : addOnModules(addOn);
    if (s.modules.empty() || (!addOn.empty() && extra.empty()))
        return std::nullopt;
    s.digits = std::string(digits);
    s.addOn = std::string(addOn);

    const int left = leftQuietZone(symbology);
    const int mainEnd = left + static_cast<int>(s.modules.size());
    const bool indicator = options.marginIndicator && (symbology == Symbology::Ean13 || symbology == Symbology::Ean8);
    s.leftQuietZone = left;
    if (addOn.empty())
        s.width = mainEnd + rightQuietZone(symbology);
    else
        s.width = mainEnd + AddOnGap + static_cast<int>(extra.size()) + (indicator ? RightQuietZone : AddOnQuietZone);

    addBars(s, s.modules, left, false);
    addBars(s, extra, mainEnd + AddOnGap, true);

    s.barHeight = options.barHeightMm ? *options.barHeightMm / options.xMm : nominalBarHeight(symbology);
    s.textTop = s.barHeight + TextGap;
    if (options.text || indicator)
        s.height = s.textTop + DigitHeight + TextGap;
    else
        s.height = s.guardHeight();
    // The add-on's digits above its bars, half a module below the main symbol's top and above
    // its own bars, as the digits under the bars keep from them.
    s.addOnTop = options.text && !addOn.empty() ? DigitHeight + 2 * TextGap : 0;

    if (options.text) {
        const auto digit = [&](std::size_t i, double centre) { s.glyphs.push_back({s.digits[i], centre, s.textTop}); };
        // Smaller type, its foot on the line of the others'.
        const auto small = [&](std::size_t i, double centre) {
            s.glyphs.push_back({s.digits[i], centre, s.textTop + DigitHeight - SmallDigitHeight, SmallDigitHeight});
        };
        const double rightZoneCentre = mainEnd + (addOn.empty() ? rightQuietZone(symbology) : AddOnGap) / 2.0;
        switch (symbology) {
        case Symbology::Ean13:
            digit(0, FirstDigitCentre);
            for (int i = 1; i < CodeLength; ++i)   // 2 to 7 after the start guard, 8 to 13 after the centre guard
                digit(static_cast<std::size_t>(i), underGroup(left, i - 1, HalfGroups));
            break;
        case Symbology::UpcA:
            small(0, left / 2.0);
            for (int i = 1; i < UpcLength - 1; ++i)   // the first and last groups' digits stand outside
                digit(static_cast<std::size_t>(i), underGroup(left, i, HalfGroups));
            small(UpcLength - 1, rightZoneCentre);
            break;
        case Symbology::Ean8:
            for (int i = 0; i < 8; ++i)
                digit(static_cast<std::size_t>(i), underGroup(left, i, 4));
            break;
        case Symbology::UpcE:
            small(0, left / 2.0);
            for (int i = 1; i <= 6; ++i)
                digit(static_cast<std::size_t>(i), underGroup(left, i - 1, 6));
            small(7, rightZoneCentre);
            break;
        }
        for (std::size_t i = 0; i < s.addOn.size(); ++i) {
            // Spread evenly over the add-on's width, after its start pattern of 4.
            const double from = mainEnd + AddOnGap + static_cast<double>(AddOnStart.size());
            const double pitch = GroupWidth + static_cast<double>(AddOnSeparator.size());
            s.glyphs.push_back({s.addOn[i], from + static_cast<double>(i) * pitch + GroupWidth / 2.0, TextGap});
        }
    }
    if (indicator) {
        if (symbology == Symbology::Ean8)
            s.glyphs.push_back({'<', left / 2.0, s.textTop});
        s.glyphs.push_back({'>', s.width - RightQuietZone / 2.0, s.textTop});
    }
    return s;
}

} // namespace ean13
