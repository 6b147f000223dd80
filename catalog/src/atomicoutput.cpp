#include "atomicoutput.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <cataloguepaths.h>

namespace {

char g_signalPath[PATH_MAX]; // read by the signal handler only

void onSignal(int sig)
{
    if (g_signalPath[0]) {
        unlink(g_signalPath);
    }
    signal(sig, SIG_DFL);
    raise(sig);
}

std::string baseOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The longest "<pid>-XXXXXX" a temporary name can end with (pid_max is at
// most 2^22 on Linux; ten digits leave room).
constexpr size_t kTempSuffixMax = 10 + 1 + 6;

size_t nameMax(const std::string &dir)
{
    const long max = pathconf(dir.c_str(), _PC_NAME_MAX);
    return max > 0 ? size_t(max) : size_t(NAME_MAX);
}

// ".<name>.tmp-", with <name> cut short when the whole temporary name would
// pass the folder's name limit. It depends only on the target, so a later
// run finds the temporaries an earlier one left.
std::string tempPrefix(const std::string &target)
{
    const std::string tail = ".tmp-";
    const size_t max = nameMax(CataloguePaths::dirOf(target));
    const size_t fixed = 1 + tail.size() + kTempSuffixMax;
    const size_t room = max > fixed ? max - fixed : 0;
    return "." + baseOf(target).substr(0, room) + tail;
}

// "<digits>-XXXXXX" after the prefix: the shape mkostemp gave the name.
bool hasTempSuffix(const std::string &name, size_t prefixSize)
{
    char *end = nullptr;
    const char *digits = name.c_str() + prefixSize;
    std::strtol(digits, &end, 10);
    return end != digits && *end == '-' && std::strlen(end + 1) == 6;
}

[[noreturn]] void failErrno(const std::string &what)
{
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

void fsyncPath(const std::string &path, int flags)
{
    const int fd = open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) {
        failErrno(path);
    }
    const int rc = fsync(fd);
    close(fd);
    if (rc != 0 && (flags & O_ACCMODE) != O_RDONLY) {
        failErrno(path + ": fsync");
    }
}

} // namespace

AtomicOutput::AtomicOutput(const std::string &target) : m_target(target)
{
    removeStaleTemps(target);
    createLockedTemp();
    // mkstemp creates the file private (0600); the catalogue is meant to be
    // readable like any file this user creates.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(m_lockFd, 0666 & ~mask);
    installSignalHandlers(m_tempPath);
}

// Creates the temporary and locks it. Another run's clean-up may remove the
// file in the instant before the lock is taken; then the name no longer leads
// to this file, and a new one is made.
void AtomicOutput::createLockedTemp()
{
    for (;;) {
        std::string pattern = CataloguePaths::dirOf(m_target) + "/" + tempPrefix(m_target)
                              + std::to_string(getpid()) + "-XXXXXX";
        const int fd = mkostemp(pattern.data(), O_CLOEXEC);
        if (fd < 0) {
            failErrno("cannot create a temporary file beside " + m_target);
        }
        struct stat opened = {};
        struct stat named = {};
        if (flock(fd, LOCK_EX) != 0 || fstat(fd, &opened) != 0) {
            close(fd);
            unlink(pattern.c_str());
            failErrno("cannot lock the temporary file " + pattern);
        }
        if (lstat(pattern.c_str(), &named) == 0 && named.st_dev == opened.st_dev
            && named.st_ino == opened.st_ino) {
            m_lockFd = fd;
            m_tempPath = pattern;
            return;
        }
        close(fd);
    }
}

AtomicOutput::~AtomicOutput()
{
    if (!m_committed) {
        unlink(m_tempPath.c_str());
    }
    clearSignalPath();
    if (m_lockFd >= 0) {
        close(m_lockFd);
    }
}

void AtomicOutput::commit()
{
    fsyncPath(m_tempPath, O_RDWR | O_NOFOLLOW);
    if (rename(m_tempPath.c_str(), m_target.c_str()) != 0) {
        failErrno("cannot rename " + m_tempPath + " to " + m_target);
    }
    m_committed = true;
    clearSignalPath();
    close(m_lockFd); // the lock ends with the temporary's name
    m_lockFd = -1;
    fsyncPath(CataloguePaths::dirOf(m_target), O_RDONLY); // best effort: not every file system allows it
}

// A temporary whose lock can be taken has no running build behind it.
int AtomicOutput::removeStaleTemps(const std::string &target)
{
    const std::string dir = CataloguePaths::dirOf(target);
    const std::string prefix = tempPrefix(target);
    DIR *d = opendir(dir.c_str());
    if (!d) {
        return 0;
    }
    int removed = 0;
    while (const dirent *entry = readdir(d)) {
        const std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0 || !hasTempSuffix(name, prefix.size())) {
            continue;
        }
        const std::string path = dir + "/" + name;
        const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        struct stat opened = {};
        struct stat named = {};
        if (fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode)
            && flock(fd, LOCK_EX | LOCK_NB) == 0 && lstat(path.c_str(), &named) == 0
            && named.st_dev == opened.st_dev && named.st_ino == opened.st_ino
            && unlink(path.c_str()) == 0) {
            ++removed;
        }
        close(fd);
    }
    closedir(d);
    return removed;
}

void AtomicOutput::checkTarget(const std::string &target)
{
    if (target.empty() || target.back() == '/') {
        throw std::runtime_error(target + ": names a folder; -o needs a file name");
    }
    struct stat st = {};
    if (stat(target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            throw std::runtime_error(target + ": is a folder; -o needs a file name");
        }
        if (!S_ISREG(st.st_mode)) {
            throw std::runtime_error(target + ": not a regular file; it would be replaced"
                                              " by the catalogue");
        }
    }
    const std::string dir = CataloguePaths::dirOf(target);
    if (stat(dir.c_str(), &st) != 0) {
        failErrno("cannot use the folder " + dir);
    }
    if (!S_ISDIR(st.st_mode)) {
        throw std::runtime_error(dir + ": not a folder");
    }
    if (access(dir.c_str(), W_OK | X_OK) != 0) {
        failErrno("cannot write in the folder " + dir);
    }
    const size_t max = nameMax(dir);
    if (baseOf(target).size() > max) {
        throw std::runtime_error(target + ": the file name is longer than the folder allows ("
                                 + std::to_string(max) + " bytes)");
    }
}

void AtomicOutput::installSignalHandlers(const std::string &path)
{
    if (path.size() >= sizeof g_signalPath) {
        return;
    }
    std::memcpy(g_signalPath, path.c_str(), path.size() + 1);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // A signal ignored on entry stays ignored: under nohup (the package's first build,
    // whose terminal closes when apt ends) a hang-up must not end the build.
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old = {};
        if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) {
            continue;
        }
        sigaction(sig, &action, nullptr);
    }
}

void AtomicOutput::clearSignalPath()
{
    g_signalPath[0] = '\0';
}
