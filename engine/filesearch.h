#ifndef FILESEARCH_H
#define FILESEARCH_H

// A file-name search over a catalogue's compact file lists (format 3, catalogueschema.h),
// without any widget: the finder's search thread asks it, the tests and the benchmark
// call it directly.
//
// Keyword rules (the keyword arrives trimmed, as UTF-8, cut at its first NUL):
// - "*" stands for any run of characters (a "/" included), "?" for one character (a "/"
//   included); every other character is literal. ASCII letters match regardless of case,
//   exactly as SQLite's LIKE compares them; "?" takes one character as SQLite's LIKE reads
//   UTF-8 (a lead byte and its continuation bytes).
// - Without a "/" the keyword is matched against a file's base name, with a "/" against
//   its full path (directory, "/", name; the root directory is "").
// - A keyword that starts with a folder a merged-/usr system links into /usr ("/bin/",
//   "/usr/bin/", "/lib64/", ...) is searched under both names (pathaliases.h); the rows
//   and paths are those of both searches together, each path as the package ships it.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

struct sqlite3;

// How a search finds its files. Each plan gives the same rows; the plan only decides
// the speed, and the tests pin which plan serves which class of keyword.
enum class FilePlan {
    NameRange,    // a keyword that starts with literal text: a binary search over the
                  // sorted name blocks, then the blocks of that prefix
    NameEnds,     // a keyword that ends in literal text ("*.h", "*z", "*ssl*.so"): the name
                  // blocks holding a name with that ending and every trigram of its literals
    NameTrigrams, // a literal run of three or more characters: the name blocks that
                  // hold every trigram of it
    NameScan,     // shorter literals ("*a*", "*q?t*", "*"): every name block
    DirRange,     // a keyword with a "/" whose name part has wildcards: the directories
                  // under its literal folder, then their packages' files
    DirScan,      // the same with no literal folder ("*/doc/*"): every directory
};

const char *filePlanName(FilePlan plan);

// A catalogue that breaks the format (a damaged BLOB, an id out of range, an SQLite
// error) or a search that was stopped.
class FileSearchError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class FileSearch
{
public:
    // Returns true when the search should stop; asked between blocks and packages.
    using StopFn = std::function<bool()>;

    // db: an open connection to a format-3 catalogue; it must outlive the search.
    FileSearch(sqlite3 *db, const std::string &keyword, StopFn stop = {});
    ~FileSearch();
    FileSearch(const FileSearch &) = delete;
    FileSearch &operator=(const FileSearch &) = delete;

    FilePlan plan() const;
    // The statement that reads the candidate blocks, with its parameters as it ran
    // (sqlite3_expanded_sql); it runs when pasted into sqlite3. Known after packages().
    std::string statement() const;

    // The ids of the packages that ship a matching file, ascending. Throws
    // FileSearchError; a stopped search throws too.
    std::vector<uint32_t> packages();
    // How many files matched in all (one package's file counted once for each time it
    // ships it), known after packages(); -1 where the plan found the packages without
    // counting their files ("*", and keywords with a "/" whose name part has wildcards).
    int64_t fileCount() const;

    // For a package that packages() returned: its alphabetically first matching path (by
    // bytes, as SQLite's MIN compares text), and its matching files, sorted, at most `max`
    // of them, with how many there are in all.
    std::string firstPath(uint32_t pkg);
    std::vector<std::string> matchingFiles(uint32_t pkg, size_t max, size_t *total = nullptr);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
    std::unique_ptr<Impl> alias; // the keyword under its folder's other merged-/usr name
};

// Every file of a package as full paths, sorted by bytes; throws FileSearchError. At most
// `max` files are made into paths (those first in the list's own order, by directory),
// *total (where given) says how many the package has; `stop` is asked as the paths are
// made, and a stopped read throws.
std::vector<std::string> packageFiles(sqlite3 *db, uint32_t pkg, size_t max = SIZE_MAX,
                                      const FileSearch::StopFn &stop = {}, size_t *total = nullptr);

#endif // FILESEARCH_H
