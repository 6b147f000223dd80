#pragma once

#include <sys/types.h>

#include <string>

// Opens what the builder reads, by one of three rules, and never hands out
// the catalogue being replaced: an input that is the same file (device and
// inode) as the output is refused, so a mistaken -o cannot destroy it.
class InputFiles
{
public:
    enum class Rule {
        AsGiven,        // a file the user named: symlinks followed, pipes allowed
        RegularFile,    // named by metadata: a regular file after following symlinks
        RegularNoFollow // as RegularFile, and not itself a symbolic link
    };

    // Inputs may not be `output` (nothing is refused while it does not exist).
    void refuse(const std::string &output);

    // Throws a ParseError for `path` when it cannot be read or is the output.
    void check(const std::string &path) const;

    // Returns a read-only descriptor (blocking reads) or throws a ParseError.
    // Files opened by the Regular rules are opened without blocking, so a
    // FIFO is refused instead of waited on.
    int open(const std::string &path, Rule rule) const;

private:
    void checkIdentity(const std::string &path, const struct stat &st) const;

    bool m_hasOutput = false;
    dev_t m_outputDev = 0;
    ino_t m_outputIno = 0;
};
