#include "inputfiles.h"

#include "parseerror.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {
[[noreturn]] void cannotRead(const std::string &path, int error)
{
    throw ParseError(path, 0, std::string("cannot read: ") + std::strerror(error));
}
} // namespace

void InputFiles::refuse(const std::string &output)
{
    struct stat st = {};
    m_hasOutput = stat(output.c_str(), &st) == 0;
    m_outputDev = st.st_dev;
    m_outputIno = st.st_ino;
}

void InputFiles::checkIdentity(const std::string &path, const struct stat &st) const
{
    if (m_hasOutput && st.st_dev == m_outputDev && st.st_ino == m_outputIno) {
        throw ParseError(path, 0, "is also the output catalogue (-o); refusing to replace an"
                                  " input");
    }
}

void InputFiles::check(const std::string &path) const
{
    struct stat st = {};
    if (stat(path.c_str(), &st) != 0 || access(path.c_str(), R_OK) != 0) {
        cannotRead(path, errno);
    }
    checkIdentity(path, st);
}

int InputFiles::open(const std::string &path, Rule rule) const
{
    int flags = O_RDONLY | O_CLOEXEC;
    if (rule != Rule::AsGiven) {
        flags |= O_NONBLOCK;
    }
    if (rule == Rule::RegularNoFollow) {
        flags |= O_NOFOLLOW;
    }
    const int fd = ::open(path.c_str(), flags);
    if (fd < 0 && errno == ELOOP && rule == Rule::RegularNoFollow) {
        throw ParseError(path, 0, "a symbolic link, not a file: not followed");
    }
    if (fd < 0) {
        cannotRead(path, errno);
    }
    struct stat st = {};
    try {
        if (fstat(fd, &st) != 0) {
            cannotRead(path, errno);
        }
        if (rule != Rule::AsGiven && !S_ISREG(st.st_mode)) {
            throw ParseError(path, 0, "not a regular file");
        }
        checkIdentity(path, st);
    } catch (...) {
        close(fd);
        throw;
    }
    if (flags & O_NONBLOCK) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    }
    return fd;
}
