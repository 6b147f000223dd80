#ifndef CATALOGUEBLOBS_H
#define CATALOGUEBLOBS_H

// The BLOBs of a catalogue's file lists (catalogueschema.h names their tables), their
// encoders for the builder and their decoders for the finder, the tests, the benchmark
// and the fuzz targets. Every BLOB is one byte saying how it is stored (raw, a zstd frame
// or an LZ4 block), then its content: a sequence of parts, each a little-endian 32-bit
// count and a 32-bit byte length followed by that many bytes (an array of `count`
// integers, as StreamVByte or as plain little-endian 32-bit integers, or plain bytes). A
// decoder trusts nothing in a BLOB: every count, length and decompressed size is checked
// against what the BLOB holds and against the caps below before anything is allocated,
// and a BLOB that breaks a rule throws BlobError.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace CatalogueBlobs {

// No BLOB decodes to more than this: the largest real one (the file list of the biggest
// package) is a few MiB.
constexpr size_t maxDecodedBytes = size_t(64) << 20;

class BlobError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The texts of one block of names or directories, in the block's order.
struct TextBlock
{
    std::string bytes;                 // the texts one after the other
    std::vector<uint32_t> ends;        // where each text ends in bytes
    size_t size() const { return ends.size(); }
    std::string_view text(size_t i) const
    {
        const uint32_t begin = i == 0 ? 0 : ends[i - 1];
        return std::string_view(bytes).substr(begin, ends[i] - begin);
    }
};

// Lists of ids, one list per entry of a block: list i is values[begin(i), end(i)).
struct IdLists
{
    std::vector<uint32_t> ends;   // where each list ends in values
    std::vector<uint32_t> values;
    size_t size() const { return ends.size(); }
    uint32_t begin(size_t i) const { return i == 0 ? 0 : ends[i - 1]; }
    uint32_t end(size_t i) const { return ends[i]; }
};

// The links of one name block: for each name, the (package, directory) pairs of the files
// by that name, sorted by package then directory.
struct NameLinks
{
    std::vector<uint32_t> ends; // where each name's pairs end
    std::vector<uint32_t> pkgs;
    std::vector<uint32_t> dirs;
    size_t size() const { return ends.size(); }
    uint32_t begin(size_t i) const { return i == 0 ? 0 : ends[i - 1]; }
    uint32_t end(size_t i) const { return ends[i]; }
};

// One file of a package: its directory's id and its name's id.
struct FileRef
{
    uint32_t dir;
    uint32_t name;
    bool operator<(const FileRef &o) const { return dir != o.dir ? dir < o.dir : name < o.name; }
    bool operator==(const FileRef &o) const { return dir == o.dir && name == o.name; }
};

// Texts of a name or directory block (at most maxCount of them).
std::string encodeTexts(const std::vector<std::string_view> &texts);
void decodeTexts(std::string_view blob, size_t maxCount, TextBlock &out);

// Links of a name block; pkgs and dirs hold the pairs of every name, ends where each
// name's pairs end. The pairs of one name must be sorted by package.
std::string encodeLinks(const std::vector<uint32_t> &ends, const std::vector<uint32_t> &pkgs,
                        const std::vector<uint32_t> &dirs);
// Without withDirs, out.dirs is left empty: a search that needs only the packages skips
// decoding half of the block.
void decodeLinks(std::string_view blob, size_t maxNames, NameLinks &out, bool withDirs = true);

// Sorted id lists, one per entry of a block (a directory block's packages). Each list
// must be sorted ascending.
std::string encodeIdLists(const IdLists &lists);
void decodeIdLists(std::string_view blob, size_t maxLists, IdLists &out);

// One package's files, sorted by directory then name.
std::string encodeFiles(const std::vector<FileRef> &files);
void decodeFiles(std::string_view blob, std::vector<FileRef> &out);

// A sorted posting list (the name blocks of a trigram).
std::string encodePostings(const std::vector<uint32_t> &ids);
void decodePostings(std::string_view blob, std::vector<uint32_t> &out);

// ASCII letters folded to lower case, as SQLite's LIKE compares them; other bytes as they
// are. Names and directories are sorted by their folded text, then by their bytes.
inline char foldAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}
std::string folded(std::string_view text);
bool foldedLess(std::string_view a, std::string_view b);

// The trigram key of three bytes of folded text.
inline uint32_t trigramKey(unsigned char a, unsigned char b, unsigned char c)
{
    return uint32_t(a) << 16 | uint32_t(b) << 8 | uint32_t(c);
}

// The key of a name's ending, kept among the trigrams: its last folded byte, then the one
// before it (0 for a name of one byte). No trigram key is below 1 << 16, since no name
// holds a NUL, and the names ending in one byte have the keys of one range.
inline uint32_t endKey(unsigned char last, unsigned char before)
{
    return uint32_t(last) << 8 | uint32_t(before);
}

} // namespace CatalogueBlobs

#endif // CATALOGUEBLOBS_H
