#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A stream of (already decompressed) bytes that the parsers pull from.
// Implementations throw ParseError when the underlying input fails.
class ByteSource
{
public:
    virtual ~ByteSource() = default;

    // Copies up to `size` bytes into `buffer`; returns 0 only at the end.
    virtual size_t read(char *buffer, size_t size) = 0;

    // The name used in error messages (normally the file path).
    virtual const std::string &name() const = 0;
};
