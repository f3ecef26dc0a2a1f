#include "platform/ObjectStoreRecord.h"

#include <cstring>
#include <set>

namespace ObjectStore::detail
{
namespace
{
// Little-endian, at `p`; each returns the place after.
char* Put16(char* p, uint16_t v)
{
    p[0] = char(v & 0xFF);
    p[1] = char(v >> 8);
    return p + 2;
}

char* Put32(char* p, uint32_t v)
{
    return Put16(Put16(p, uint16_t(v & 0xFFFF)), uint16_t(v >> 16));
}

struct Reader
{
    const unsigned char* p;
    const unsigned char* end;

    bool Get16(uint16_t& v)
    {
        if (end - p < 2)
            return false;
        v = uint16_t(p[0] | (p[1] << 8));
        p += 2;
        return true;
    }
    bool Get32(uint32_t& v)
    {
        uint16_t lo, hi;
        if (!Get16(lo) || !Get16(hi))
            return false;
        v = lo | (uint32_t(hi) << 16);
        return true;
    }
};
}

void Key::Bind(sqlite3_stmt* stmt, int index) const
{
    if (isInt)
        sqlite3_bind_int64(stmt, index, number);
    else
        sqlite3_bind_blob(stmt, index, bytes.data(), int(bytes.size()), SQLITE_TRANSIENT);
}

Key Key::FromColumn(sqlite3_stmt* stmt, int column)
{
    Key key;
    if (sqlite3_column_type(stmt, column) == SQLITE_INTEGER)
    {
        key.isInt = true;
        key.number = sqlite3_column_int64(stmt, column);
    }
    else
    {
        const void* data = sqlite3_column_blob(stmt, column);
        key.bytes.assign(static_cast<const char*>(data), size_t(sqlite3_column_bytes(stmt, column)));
    }
    return key;
}

Key KeyOfValue(const Property& value)
{
    Key key;
    if (value.Type() == TypeString)
    {
        key.bytes.assign(1 + value.text.size() * 2, '\0');
        char* p = &key.bytes[1];
        for (char16_t c : value.text)
        {
            *p++ = char(c >> 8);
            *p++ = char(c & 0xFF);
        }
    }
    else
    {
        key.isInt = true;
        key.number = value.Type() == TypeInt16 ? int16_t(value.number) : value.number;
    }
    return key;
}

Key KeyOf(const PropertyList& props, uint32_t propId)
{
    for (const Property& p : props)
    {
        if (p.id == propId)
            return KeyOfValue(p);
    }
    return Key::Missing();
}

bool ValidProps(const PropertyList& props)
{
    for (size_t i = 0; i < props.size(); ++i)
    {
        const Property& p = props[i];
        const uint16_t type = p.Type();
        if (type != TypeInt16 && type != TypeInt32 && type != TypeString)
            return false;
        if (type == TypeInt16 && (p.number < INT16_MIN || p.number > INT16_MAX))
            return false;
    }
    // Records carry a handful of properties; a set only pays off for many.
    if (props.size() <= 16)
    {
        for (size_t i = 1; i < props.size(); ++i)
            for (size_t j = 0; j < i; ++j)
                if (props[i].Ident() == props[j].Ident())
                    return false;
        return true;
    }
    std::set<uint16_t> idents;
    for (const Property& p : props)
        if (!idents.insert(p.Ident()).second)
            return false;
    return true;
}

std::string Encode(const PropertyList& props)
{
    size_t size = 2;
    for (const Property& p : props)
        size += 4 + (p.Type() == TypeInt16 ? 2 : p.Type() == TypeInt32 ? 4 : 4 + p.text.size() * 2);
    std::string out(size, '\0');
    char* at = Put16(&out[0], uint16_t(props.size()));
    for (const Property& p : props)
    {
        at = Put32(at, p.id);
        switch (p.Type())
        {
        case TypeInt16:
            at = Put16(at, uint16_t(int16_t(p.number)));
            break;
        case TypeInt32:
            at = Put32(at, uint32_t(p.number));
            break;
        default:
            at = Put32(at, uint32_t(p.text.size()));
            for (char16_t c : p.text)
                at = Put16(at, uint16_t(c));
            break;
        }
    }
    return out;
}

bool Decode(const void* data, size_t size, PropertyList& props)
{
    props.clear();
    Reader r{static_cast<const unsigned char*>(data), static_cast<const unsigned char*>(data) + size};
    if (!data)
        return false;
    uint16_t count;
    if (!r.Get16(count))
        return false;
    props.reserve(count);
    for (uint16_t i = 0; i < count; ++i)
    {
        Property p;
        if (!r.Get32(p.id))
            return false;
        switch (p.Type())
        {
        case TypeInt16:
        {
            uint16_t v;
            if (!r.Get16(v))
                return false;
            p.number = int16_t(v);
            break;
        }
        case TypeInt32:
        {
            uint32_t v;
            if (!r.Get32(v))
                return false;
            p.number = int32_t(v);
            break;
        }
        case TypeString:
        {
            uint32_t len;
            if (!r.Get32(len) || size_t(r.end - r.p) / 2 < len)
                return false;
            p.text.resize(len);
            for (uint32_t k = 0; k < len; ++k)
                p.text[k] = char16_t(r.p[2 * k] | (r.p[2 * k + 1] << 8));
            r.p += 2 * size_t(len);
            break;
        }
        default:
            return false;
        }
        props.push_back(std::move(p));
    }
    return r.p == r.end;
}

void Merge(PropertyList& props, const PropertyList& changes)
{
    for (const Property& change : changes)
    {
        bool replaced = false;
        for (Property& p : props)
        {
            // A property is replaced by ident, even when its type changes.
            if (p.Ident() == change.Ident())
            {
                p = change;
                replaced = true;
                break;
            }
        }
        if (!replaced)
            props.push_back(change);
    }
}
}
