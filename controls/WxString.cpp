#include "controls/WxString.h"

namespace
{
constexpr char16_t kReplacement = 0xFFFD;

bool IsHighSurrogate(uint32_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(uint32_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}
}

wxString ToWx(const std::u16string& s)
{
    std::wstring out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i)
    {
        const uint32_t c = s[i];
        if (IsHighSurrogate(c) && i + 1 < s.size() && IsLowSurrogate(s[i + 1]))
        {
            const uint32_t low = s[++i];
            if constexpr (sizeof(wchar_t) >= 4)
            {
                out.push_back(static_cast<wchar_t>(0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00)));
            }
            else
            {
                out.push_back(static_cast<wchar_t>(c));
                out.push_back(static_cast<wchar_t>(low));
            }
        }
        else if (IsHighSurrogate(c) || IsLowSurrogate(c))
        {
            out.push_back(kReplacement);
        }
        else
        {
            out.push_back(static_cast<wchar_t>(c));
        }
    }
    return wxString(out);
}

std::u16string FromWx(const wxString& s)
{
    const std::wstring& w = s.ToStdWstring();
    std::u16string out;
    out.reserve(w.size());
    for (wchar_t wc : w)
    {
        const uint32_t c = static_cast<uint32_t>(wc);
        if constexpr (sizeof(wchar_t) >= 4)
        {
            if (c >= 0x10000 && c <= 0x10FFFF)
            {
                const uint32_t v = c - 0x10000;
                out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
                out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
            }
            else if (c > 0x10FFFF || IsHighSurrogate(c) || IsLowSurrogate(c))
            {
                // Not a Unicode scalar value: a lone surrogate written out
                // could pair up with its neighbour and change the text.
                out.push_back(kReplacement);
            }
            else
            {
                out.push_back(static_cast<char16_t>(c));
            }
        }
        else
        {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}
