#pragma once

#include <string>

// Builds the catalogue in a temporary file beside the target and renames it
// over the target only on success, so readers always see either the old or
// the new catalogue. The temporary is named ".<target>.tmp-<pid>-XXXXXX";
// on start, temporaries of the same target whose process no longer exists
// (left by a killed run) are removed. SIGINT/SIGTERM/SIGHUP remove the
// temporary before the process dies.
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

    // Removes stale temporaries of `target`; returns how many were removed.
    static int removeStaleTemps(const std::string &target);

private:
    static void installSignalHandlers(const std::string &path);
    static void clearSignalPath();

    std::string m_target;
    std::string m_tempPath;
    bool m_committed = false;
};
