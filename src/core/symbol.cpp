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

std::optional<Symbol> layoutSymbol(const Code &code, const SymbolOptions &options)
{
    Symbol s;
    s.modules = symbolModules(code);
    if (s.modules.empty())
        return std::nullopt;
    s.digits = asciiText(code);

    for (int m = 0; m < SymbolModules;) {
        if (s.modules[static_cast<std::size_t>(m)] != '1') {
            ++m;
            continue;
        }
        int end = m;
        while (end < SymbolModules && s.modules[static_cast<std::size_t>(end)] == '1')
            ++end;
        s.bars.push_back({LeftQuietZone + m, end - m, isGuardModule(m)});
        m = end;
    }

    if (options.barHeightMm)
        s.barHeight = *options.barHeightMm / options.xMm;
    s.textTop = s.barHeight + TextGap;
    if (options.text || options.marginIndicator)
        s.height = s.textTop + DigitHeight + TextGap;
    else
        s.height = s.guardHeight();

    if (options.text) {
        s.glyphs.push_back({s.digits[0], FirstDigitCentre});
        for (int i = 1; i < CodeLength; ++i) {
            // Digits 2 to 7 after the start guard, 8 to 13 after the centre guard.
            const int group = i - 1;
            const int left = LeftQuietZone + 3 + group * GroupWidth + (group >= HalfGroups ? 5 : 0);
            s.glyphs.push_back({s.digits[static_cast<std::size_t>(i)], left + GroupWidth / 2.0});
        }
    }
    if (options.marginIndicator)
        s.glyphs.push_back({'>', MarginIndicatorCentre});
    return s;
}

} // namespace ean13
