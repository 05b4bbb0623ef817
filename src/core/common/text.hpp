// Small text helpers shared by the whole core: hexadecimal digits, trimming, case and lines.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorbel {

// The value of one hexadecimal digit (either case), or -1 for any other character.
constexpr int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

inline constexpr char kHexDigits[] = "0123456789ABCDEF";

// Two upper-case hexadecimal digits: "0A" for ten, "FF" for 255.
std::string ByteToHex2(std::uint8_t byte);

// Appends two upper-case hexadecimal digits per byte, no separators. Every frame's text is built
// with it, so it stays in the header where the dispatch can inline it.
inline void AppendHex(std::string& text, std::span<const std::uint8_t> bytes) {
    const std::size_t start = text.size();
    text.resize(start + 2 * bytes.size());
    char* out = text.data() + start;
    for (std::uint8_t byte : bytes) {
        *out++ = kHexDigits[byte >> 4];
        *out++ = kHexDigits[byte & 0x0F];
    }
}

// The text without the given characters at its start and end.
std::string_view TrimChars(std::string_view text, std::string_view chars);
// Leading and trailing blanks (the space character) removed; every line of an export's station
// column goes through it.
inline std::string_view TrimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Upper case of 8-bit (Latin-1) text: a-z and the accented small letters.
std::string ToUpperLatin1(std::string text);
// Lower case of the letters A-Z; other bytes stay.
std::string ToLowerAscii(std::string text);

// Splits 8-bit text into its lines, without their line ends. A line ends at LF, and a CR right
// before that LF belongs to the line end, so CR LF and LF-only text give the same lines. A last
// line without a line end is a line too; the empty text after a final line end is not. The views
// point into `text`.
std::vector<std::string_view> SplitLines(std::string_view text);

}  // namespace quorbel
