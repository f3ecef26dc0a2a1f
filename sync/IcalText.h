#ifndef TALLYARD_SYNC_ICALTEXT_H
#define TALLYARD_SYNC_ICALTEXT_H

// UTF-8 <-> UTF-16 at the iCalendar boundary.

#include <cstddef>
#include <string>

namespace IcalText
{
/// Lone surrogates and NUL, which iCalendar text cannot carry, become U+FFFD.
std::string ToUtf8(const std::u16string& text);
/// Expects valid UTF-8 (see FirstInvalidUtf8); a bad byte becomes U+FFFD.
std::u16string FromUtf8(const std::string& text);
/// Offset of the first byte that is not well-formed UTF-8 (overlong forms,
/// surrogates and values past U+10FFFF included), or npos.
size_t FirstInvalidUtf8(const std::string& text);
}

#endif
