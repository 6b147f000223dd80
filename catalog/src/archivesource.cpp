#include "archivesource.h"

#include "parseerror.h"

#include <archive.h>
#include <archive_entry.h>
#include <unistd.h>

namespace {
archive *newRawReader()
{
    archive *a = archive_read_new();
    archive_read_support_filter_all(a);
    archive_read_support_format_raw(a);
    archive_read_support_format_empty(a); // raw needs one byte; an empty index is valid
    return a;
}
} // namespace

ArchiveSource::ArchiveSource(const std::string &path, ProgressFn progress)
    : m_name(path), m_archive(newRawReader()), m_progress(std::move(progress))
{
    openHeader(archive_read_open_filename(m_archive, path.c_str(), 1 << 16));
}

ArchiveSource::ArchiveSource(std::string name, int fd, ProgressFn progress)
    : m_name(std::move(name)), m_archive(newRawReader()), m_progress(std::move(progress)), m_fd(fd)
{
    openHeader(archive_read_open_fd(m_archive, fd, 1 << 16));
}

ArchiveSource::~ArchiveSource()
{
    archive_read_free(m_archive);
    if (m_fd >= 0) {
        close(m_fd);
    }
}

// A constructor that throws runs no destructor: the reader and the
// descriptor are released here before the error leaves.
void ArchiveSource::openHeader(int openResult)
{
    archive_entry *entry = nullptr;
    const int r = openResult == ARCHIVE_OK ? archive_read_next_header(m_archive, &entry)
                                           : ARCHIVE_FATAL;
    if (r == ARCHIVE_EOF) {
        m_atEnd = true; // an empty file: nothing to read
        return;
    }
    if (r >= ARCHIVE_WARN) {
        return;
    }
    try {
        fail("cannot read");
    } catch (...) {
        archive_read_free(m_archive);
        if (m_fd >= 0) {
            close(m_fd);
        }
        throw;
    }
}

size_t ArchiveSource::read(char *buffer, size_t size)
{
    if (m_atEnd) {
        return 0;
    }
    const la_ssize_t n = archive_read_data(m_archive, buffer, size);
    if (n < 0) {
        fail("cannot read");
    }
    if (n == 0) {
        m_atEnd = true;
    }
    if (m_progress) {
        m_progress(uint64_t(archive_filter_bytes(m_archive, -1)));
    }
    return size_t(n);
}

void ArchiveSource::fail(const std::string &what) const
{
    const char *reason = archive_error_string(m_archive);
    throw ParseError(m_name, 0, what + ": " + (reason ? reason : "unknown error"));
}
