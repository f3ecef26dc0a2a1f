#ifndef TALLYARD_SYNC_ICALTEXT_H
#define TALLYARD_SYNC_ICALTEXT_H

// UTF-8 <-> UTF-16 at the iCalendar boundary.

#include <cstddef>
#include <string>

namespace IcalText
{
/// The code point at `i` of `text`, `i` moved past it, as ToUtf8 writes it.
inline char32_t NextCodePoint(const std::u16string& text, size_t& i)
{
    char32_t cp = text[i++];
    if (cp >= 0xD800 && cp <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 && text[i] <= 0xDFFF)
        return 0x10000 + ((cp - 0xD800) << 10) + (text[i++] - 0xDC00);
    return (cp >= 0xD800 && cp <= 0xDFFF) || cp == 0 ? 0xFFFD : cp;
}

/// Hands put(char) the UTF-8 bytes of one code point.
template <typename Put>
void PutUtf8(char32_t cp, Put&& put)
{
    if (cp < 0x80)
        put(char(cp));
    else if (cp < 0x800)
    {
        put(char(0xC0 | (cp >> 6)));
        put(char(0x80 | (cp & 0x3F)));
    }
    else if (cp < 0x10000)
    {
        put(char(0xE0 | (cp >> 12)));
        put(char(0x80 | ((cp >> 6) & 0x3F)));
        put(char(0x80 | (cp & 0x3F)));
    }
    else
    {
        put(char(0xF0 | (cp >> 18)));
        put(char(0x80 | ((cp >> 12) & 0x3F)));
        put(char(0x80 | ((cp >> 6) & 0x3F)));
        put(char(0x80 | (cp & 0x3F)));
    }
}

/// Lone surrogates and NUL, which iCalendar text cannot carry, become U+FFFD.
std::string ToUtf8(const std::u16string& text);
/// Expects valid UTF-8 (see FirstInvalidUtf8); a bad byte becomes U+FFFD.
std::u16string FromUtf8(const std::string& text);
/// Offset of the first byte that is not well-formed UTF-8 (overlong forms,
/// surrogates and values past U+10FFFF included), or npos.
size_t FirstInvalidUtf8(const std::string& text);
}

#endif
