#include "sync/IcalText.h"

namespace
{
// Length of the well-formed sequence at `i` and its code point; 0 when bad.
size_t Decode(const std::string& s, size_t i, char32_t& cp)
{
    const unsigned char c = static_cast<unsigned char>(s[i]);
    size_t len;
    char32_t min;
    if (c < 0x80)
    {
        cp = c;
        return 1;
    }
    if ((c & 0xE0) == 0xC0)
        len = 2, cp = c & 0x1F, min = 0x80;
    else if ((c & 0xF0) == 0xE0)
        len = 3, cp = c & 0x0F, min = 0x800;
    else if ((c & 0xF8) == 0xF0)
        len = 4, cp = c & 0x07, min = 0x10000;
    else
        return 0;
    if (i + len > s.size())
        return 0;
    for (size_t k = 1; k < len; ++k)
    {
        const unsigned char cc = static_cast<unsigned char>(s[i + k]);
        if ((cc & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (cc & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}
}

namespace IcalText
{
std::string ToUtf8(const std::u16string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();)
        PutUtf8(NextCodePoint(text, i), [&out](char ch) { out.push_back(ch); });
    return out;
}

std::u16string FromUtf8(const std::string& text)
{
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();)
    {
        char32_t cp = 0;
        size_t len = Decode(text, i, cp);
        if (len == 0)
        {
            cp = 0xFFFD;
            len = 1;
        }
        i += len;
        if (cp >= 0x10000)
        {
            out.push_back(char16_t(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back(char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        }
        else
            out.push_back(char16_t(cp));
    }
    return out;
}

size_t FirstInvalidUtf8(const std::string& text)
{
    for (size_t i = 0; i < text.size();)
    {
        char32_t cp;
        const size_t len = Decode(text, i, cp);
        if (len == 0)
            return i;
        i += len;
    }
    return std::string::npos;
}
}
