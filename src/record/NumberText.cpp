#include "record/NumberText.h"

#include <charconv>
#include <string>

namespace corvel {

namespace {
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

std::optional<long double> ReadNumber(std::string_view text, char decimal) {
    std::size_t b = 0;
    std::size_t e = text.size();
    while (b < e && isBlank(text[b])) ++b;
    while (e > b && isBlank(text[e - 1])) --e;
    text = text.substr(b, e - b);

    // Validate the shape first, building a C-locale copy for strtold.
    std::string plain;
    plain.reserve(text.size());
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') plain.push_back('-');
        ++i;
    }
    int mantissaDigits = 0;
    while (i < text.size() && isDigit(text[i])) {
        plain.push_back(text[i++]);
        ++mantissaDigits;
    }
    if (i < text.size() && text[i] == decimal) {
        plain.push_back('.');
        ++i;
        while (i < text.size() && isDigit(text[i])) {
            plain.push_back(text[i++]);
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0) return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        plain.push_back('e');
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) plain.push_back(text[i++]);
        int exponentDigits = 0;
        while (i < text.size() && isDigit(text[i])) {
            plain.push_back(text[i++]);
            ++exponentDigits;
        }
        if (exponentDigits == 0) return std::nullopt;
    }
    if (i != text.size()) return std::nullopt;
    // from_chars knows no locale, so the process's own LC_NUMERIC cannot
    // change what "." means here.
    long double v = 0;
    const auto [ptr, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), v);
    if (ec != std::errc() || ptr != plain.data() + plain.size()) return std::nullopt;
    return v;
}

long double ReadNumberOrDefault(std::string_view text, char decimal) {
    return ReadNumber(text, decimal).value_or(kNoNumber);
}

std::optional<int> ReadInt32(std::string_view text) {
    int value = 0;
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+') {
        digits.remove_prefix(1);
        if (!digits.empty() && digits.front() == '-') return std::nullopt;
    }
    const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || ptr != digits.data() + digits.size()) return std::nullopt;
    return value;
}

std::string NotAnIntegerMessage(std::string_view text) {
    return "'" + std::string(text) + "' is not a valid integer value";
}

}  // namespace corvel
