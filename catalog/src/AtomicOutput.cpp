#include "AtomicOutput.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace {

char g_signalPath[PATH_MAX]; // read by the signal handler only

void onSignal(int sig)
{
    if (g_signalPath[0])
        unlink(g_signalPath);
    signal(sig, SIG_DFL);
    raise(sig);
}

std::string dirOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string tempPrefix(const std::string &target)
{
    return "." + baseOf(target) + ".tmp-";
}

[[noreturn]] void failErrno(const std::string &what)
{
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

void fsyncPath(const std::string &path, int flags)
{
    const int fd = open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0)
        failErrno(path);
    const int rc = fsync(fd);
    close(fd);
    if (rc != 0 && flags != O_RDONLY)
        failErrno(path + ": fsync");
}

} // namespace

AtomicOutput::AtomicOutput(const std::string &target) : m_target(target)
{
    removeStaleTemps(target);
    std::string pattern = dirOf(target) + "/" + tempPrefix(target) + std::to_string(getpid())
                          + "-XXXXXX";
    const int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        failErrno("cannot create a temporary file beside " + target);
    // mkstemp creates the file private (0600); the catalogue is meant to be
    // readable like any file this user creates.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
    m_tempPath = pattern;
    installSignalHandlers(m_tempPath);
}

AtomicOutput::~AtomicOutput()
{
    if (!m_committed)
        unlink(m_tempPath.c_str());
    clearSignalPath();
}

void AtomicOutput::commit()
{
    fsyncPath(m_tempPath, O_RDWR);
    if (rename(m_tempPath.c_str(), m_target.c_str()) != 0)
        failErrno("cannot rename " + m_tempPath + " to " + m_target);
    m_committed = true;
    clearSignalPath();
    fsyncPath(dirOf(m_target), O_RDONLY); // best effort: not every file system allows it
}

int AtomicOutput::removeStaleTemps(const std::string &target)
{
    const std::string dir = dirOf(target);
    const std::string prefix = tempPrefix(target);
    DIR *d = opendir(dir.c_str());
    if (!d)
        return 0;
    int removed = 0;
    while (const dirent *entry = readdir(d)) {
        const std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0)
            continue;
        char *end = nullptr;
        const long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
        if (pid <= 0 || *end != '-')
            continue;
        if (kill(pid_t(pid), 0) == 0 || errno != ESRCH)
            continue; // the owner is still running (or not ours to judge)
        if (unlink((dir + "/" + name).c_str()) == 0)
            ++removed;
    }
    closedir(d);
    return removed;
}

void AtomicOutput::installSignalHandlers(const std::string &path)
{
    if (path.size() >= sizeof g_signalPath)
        return;
    std::memcpy(g_signalPath, path.c_str(), path.size() + 1);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        sigaction(sig, &action, nullptr);
}

void AtomicOutput::clearSignalPath()
{
    g_signalPath[0] = '\0';
}
