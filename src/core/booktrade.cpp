#include "booktrade.h"

namespace ean13 {

namespace {

bool thirteenDigits(std::string_view d) noexcept
{
    if (d.size() != 13)
        return false;
    for (char c : d)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// Weights from digits.size() + 1 down to 2; 10 is written X.
char modulo11CheckDigit(std::string_view digits) noexcept
{
    int sum = 0;
    int weight = static_cast<int>(digits.size()) + 1;
    for (char c : digits)
        sum += (c - '0') * weight--;
    const int check = (11 - sum % 11) % 11;
    return check == 10 ? 'X' : static_cast<char>('0' + check);
}

} // namespace

std::optional<std::string> isbn10Of(std::string_view d)
{
    if (!thirteenDigits(d) || d.substr(0, 3) != "978")
        return std::nullopt;
    std::string isbn(d.substr(3, 9));
    return isbn + modulo11CheckDigit(isbn);
}

std::optional<std::string> issnOf(std::string_view d)
{
    if (!thirteenDigits(d) || d.substr(0, 3) != "977")
        return std::nullopt;
    std::string issn(d.substr(3, 7));
    return issn + modulo11CheckDigit(issn);
}

std::optional<std::string> ismnOf(std::string_view d)
{
    if (!thirteenDigits(d) || d.substr(0, 4) != "9790")
        return std::nullopt;
    return "M" + std::string(d.substr(4));
}

} // namespace ean13
