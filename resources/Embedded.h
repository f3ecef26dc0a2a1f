#ifndef TALLYARD_RESOURCES_EMBEDDED_H
#define TALLYARD_RESOURCES_EMBEDDED_H

#include <cstddef>

/// One file compiled into the program; data is followed by a NUL byte.
struct EmbeddedFile
{
    const char* name;
    const unsigned char* data;
    std::size_t size;
};

const EmbeddedFile* EmbeddedResource(const char* name);
/// Every embedded file, ended by an entry whose name is null.
const EmbeddedFile* EmbeddedResource_all();

#endif
