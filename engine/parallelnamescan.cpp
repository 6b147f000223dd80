#include "parallelnamescan.h"

#include "blockreader.h"
#include "filesearch.h"
#include "keywordpattern.h"
#include "statement.h"

#include <catalogueblobs.h>
#include <catalogueschema.h>

#include <exception>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

using namespace CatalogueBlobs;

namespace {

// Blocks read before the two threads match them: about 2 MB of BLOBs, a few milliseconds
// of work, so that a stop is noticed soon.
constexpr size_t chunkBlocks = 2048;

// The BLOBs of one chunk, copied out of SQLite (its pointers last only until the next step).
struct Chunk
{
    struct Entry
    {
        uint32_t block;
        size_t names, namesSize, links, linksSize;
    };
    std::string bytes;
    std::vector<Entry> entries;

    void add(uint32_t block, std::string_view names, std::string_view links)
    {
        entries.push_back({block, bytes.size(), names.size(), bytes.size() + names.size(), links.size()});
        bytes.append(names);
        bytes.append(links);
    }
    std::string_view names(const Entry &e) const { return std::string_view(bytes).substr(e.names, e.namesSize); }
    std::string_view links(const Entry &e) const { return std::string_view(bytes).substr(e.links, e.linksSize); }
    void clear()
    {
        bytes.clear();
        entries.clear();
    }
};

// What one thread found in its part of a chunk.
struct Part
{
    explicit Part(size_t bound) : pkgs(bound) {}
    IdSet pkgs;
    std::vector<std::pair<uint32_t, uint64_t>> masks;
    NameTexts names;
    bool keepNames = true; // false once the result holds as many texts as it keeps
    int64_t files = 0;
    std::exception_ptr error;
    TextBlock texts;
    NameLinks links;
};

void matchEntries(const Chunk &chunk, size_t begin, size_t end, const KeywordPattern &pattern,
                  const BlockReader &reader, Part &part)
{
    try {
        for (size_t k = begin; k < end; ++k) {
            const Chunk::Entry &entry = chunk.entries[k];
            decodeTexts(chunk.names(entry), QV_NAMES_PER_BLOCK, part.texts);
            reader.checkTexts(BlockTable::Names, entry.block, part.texts);
            const uint64_t mask = pattern.matchBlock(part.texts);
            if (mask == 0) {
                continue;
            }
            decodeLinks(chunk.links(entry), QV_NAMES_PER_BLOCK, part.links, false);
            reader.checkLinks(entry.block, part.links);
            for (uint64_t bits = mask; bits; bits &= bits - 1) {
                const size_t i = size_t(__builtin_ctzll(bits));
                for (uint32_t j = part.links.begin(i); j < part.links.end(i); ++j)
                    part.pkgs.insert(part.links.pkgs[j]);
                part.files += part.links.end(i) - part.links.begin(i);
                if (part.keepNames) {
                    part.names.add(entry.block * QV_NAMES_PER_BLOCK + uint32_t(i), part.texts.text(i));
                }
            }
            part.masks.emplace_back(entry.block, mask);
        }
    } catch (...) {
        part.error = std::current_exception();
    }
}

// Matches one chunk on two threads of their own while the caller reads the next chunk
// from SQLite; where no thread can be started, on the caller's. Joins before it goes,
// also when the caller leaves by an exception.
class ChunkMatch
{
public:
    ChunkMatch(const KeywordPattern &pattern, const BlockReader &reader) : pattern(pattern), reader(reader) {}
    ~ChunkMatch() { join(); }

    void start(const Chunk &chunk, Part &first, Part &second)
    {
        const size_t half = chunk.entries.size() / 2;
        run(0, chunk, 0, half, first);
        run(1, chunk, half, chunk.entries.size(), second);
    }
    void join()
    {
        for (std::thread &thread : threads) {
            if (thread.joinable()) {
                thread.join();
            }
        }
    }

private:
    void run(int k, const Chunk &chunk, size_t begin, size_t end, Part &part)
    {
        try {
            threads[k] = std::thread(matchEntries, std::cref(chunk), begin, end, std::cref(pattern), std::cref(reader),
                                     std::ref(part));
        } catch (const std::system_error &) {
            matchEntries(chunk, begin, end, pattern, reader, part);
        }
    }

    const KeywordPattern &pattern;
    const BlockReader &reader;
    std::thread threads[2];
};

} // namespace

NameScanResult scanNamesInParallel(Statement &read, uint64_t count, const std::function<uint64_t(uint64_t)> &blockAt,
                                   const KeywordPattern &pattern, const BlockReader &reader,
                                   const std::function<void()> &checkStop)
{
    const size_t bound = size_t(reader.maxPackage()) + 1;
    NameScanResult result{IdSet(bound), BlockBits(), NameTexts(), 0};
    Part parts[2] = {Part(bound), Part(bound)};
    Chunk chunks[2];
    int filling = 0;
    bool matching = false;
    ChunkMatch match(pattern, reader);
    // Takes what the threads found in the chunk before; the first thread had its first
    // half, so its blocks come first.
    const auto collect = [&] {
        match.join();
        matching = false;
        for (Part &part : parts) {
            if (part.error) {
                std::rethrow_exception(part.error);
            }
            for (const auto &[block, mask] : part.masks)
                result.matched.add(block, mask);
            part.masks.clear();
            result.texts.append(part.names);
            part.names.clear();
            part.keepNames = !result.texts.full();
        }
    };
    const auto hand = [&] {
        if (matching) {
            collect();
        }
        match.start(chunks[filling], parts[0], parts[1]);
        matching = true;
        filling ^= 1;
        chunks[filling].clear();
        checkStop();
    };
    uint64_t next = 0;
    while (read.step()) {
        const int64_t id = read.integer(0);
        if (next < count && id < int64_t(blockAt(next))) {
            continue; // a block between the listed ones
        }
        if (next >= count || id != int64_t(blockAt(next))) {
            throw FileSearchError("damaged catalogue: name blocks out of order");
        }
        chunks[filling].add(uint32_t(blockAt(next)), read.bytes(1), read.bytes(2));
        ++next;
        if (chunks[filling].entries.size() == chunkBlocks) {
            hand();
        }
    }
    if (!chunks[filling].entries.empty()) {
        hand();
    }
    if (matching) {
        collect();
    }
    if (next != count) {
        throw FileSearchError("damaged catalogue: missing name block");
    }
    for (Part &part : parts) {
        result.pkgs.merge(part.pkgs);
        result.files += part.files;
    }
    return result;
}
