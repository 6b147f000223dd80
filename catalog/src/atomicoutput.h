#pragma once

#include <string>

// Builds the catalogue in a temporary file beside the target and renames it
// over the target only on success, so readers always see either the old or
// the new catalogue. The temporary is named ".<target>.tmp-<pid>-XXXXXX"
// (<target> shortened when that would pass the folder's name limit) and is
// flock()ed for as long as the build runs. On start, temporaries of the same
// target that nobody holds locked (left by a killed run) are removed; the
// lock, unlike the PID, means the same in every PID namespace.
// SIGINT/SIGTERM/SIGHUP remove the temporary before the process dies (those
// ignored when the program started stay ignored).
class AtomicOutput
{
public:
    explicit AtomicOutput(const std::string &target);
    ~AtomicOutput(); // removes the temporary unless commit() succeeded
    AtomicOutput(const AtomicOutput &) = delete;
    AtomicOutput &operator=(const AtomicOutput &) = delete;

    const std::string &tempPath() const { return m_tempPath; }

    // fsyncs the temporary, renames it over the target and fsyncs the folder.
    void commit();

    // Throws when `target` cannot become the catalogue: a folder, a name
    // ending in '/', a device or FIFO, a missing or unwritable folder, a name
    // over the folder's limit. Meant to run before any input is read.
    static void checkTarget(const std::string &target);

    // Removes stale temporaries of `target`; returns how many were removed.
    static int removeStaleTemps(const std::string &target);

private:
    static void installSignalHandlers(const std::string &path);
    static void clearSignalPath();
    void createLockedTemp();

    std::string m_target;
    std::string m_tempPath;
    int m_lockFd = -1; // the temporary, flock()ed while this build runs
    bool m_committed = false;
};
