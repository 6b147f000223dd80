#pragma once

#include "bytesource.h"

#include <cstdint>
#include <functional>
#include <string>

struct archive;

// Reads a file that is plain or compressed with gzip, xz,
// bzip2, zstd, lz4, ...: libarchive recognises the compression from the
// content, and its "raw" format hands back the decompressed bytes.
class ArchiveSource : public ByteSource
{
public:
    // Called after each block with the number of compressed bytes consumed.
    using ProgressFn = std::function<void(uint64_t consumed)>;

    explicit ArchiveSource(const std::string &path, ProgressFn progress = {});
    // Reads the open descriptor `fd`, which it closes; `name` is for messages.
    ArchiveSource(std::string name, int fd, ProgressFn progress = {});
    ~ArchiveSource() override;
    ArchiveSource(const ArchiveSource &) = delete;
    ArchiveSource &operator=(const ArchiveSource &) = delete;

    size_t read(char *buffer, size_t size) override;
    const std::string &name() const override { return m_name; }

private:
    void openHeader(int openResult);
    [[noreturn]] void fail(const std::string &what) const;

    std::string m_name;
    archive *m_archive = nullptr;
    ProgressFn m_progress;
    int m_fd = -1; // owned, when reading a descriptor
    bool m_atEnd = false;
};
