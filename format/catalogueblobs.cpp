#include "catalogueblobs.h"

#include <streamvbyte.h>
#include <streamvbytedelta.h>
#include <lz4.h>
#include <lz4hc.h>
#include <zstd.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace CatalogueBlobs {

namespace {

// The first byte of every BLOB. An LZ4 BLOB goes on with its decoded size (32 bits),
// then one LZ4 block; a zstd BLOB is one zstd frame, which holds its decoded size.
enum Storage : unsigned char { Raw = 0, Zstd = 1, Lz4 = 2 };
// A BLOB smaller than this is kept raw: a compressed one would barely be smaller.
constexpr size_t minCompressed = 64;
constexpr int zstdLevel = 3;
constexpr int lz4Level = 4;

// How a kind of BLOB is compressed. The name blocks (texts and links) are what a search
// without a usable literal reads whole, all 58,000 of them on Debian bookworm: LZ4 decodes
// them seven times faster than zstd (26 ms against 181 ms for bookworm's 94 MB of names)
// for 9 MB more. Everything else is read a few BLOBs at a time, where zstd's smaller
// size wins.
enum class Codec { Zstd, Lz4 };

// One context a thread, kept: a fresh one for each of a catalogue's 200,000 BLOBs cost
// more than the compression itself.
template <typename Context, size_t (*release)(Context *)>
Context *threadContext(Context *(*create)())
{
    static thread_local const std::unique_ptr<Context, size_t (*)(Context *)> context(create(), release);
    return context.get();
}

std::string zstdCompressed(const std::string &content)
{
    std::string frame(ZSTD_compressBound(content.size()), '\0');
    ZSTD_CCtx *context = threadContext<ZSTD_CCtx, ZSTD_freeCCtx>(ZSTD_createCCtx);
    const size_t size = context ? ZSTD_compressCCtx(context, frame.data(), frame.size(), content.data(),
                                                    content.size(), zstdLevel)
                                : ZSTD_compress(frame.data(), frame.size(), content.data(), content.size(), zstdLevel);
    if (ZSTD_isError(size)) {
        return std::string();
    }
    frame.resize(size);
    return char(Zstd) + frame;
}

std::string lz4Compressed(const std::string &content)
{
    if (content.size() > size_t(LZ4_MAX_INPUT_SIZE)) {
        return std::string();
    }
    const uint32_t n = uint32_t(content.size());
    std::string blob = {char(Lz4), char(n), char(n >> 8), char(n >> 16), char(n >> 24)};
    std::string block(size_t(LZ4_compressBound(int(n))), '\0');
    // One stream a thread, reset for each BLOB without a dictionary: LZ4_compress_HC
    // allocates and clears its 256 KiB of state on every call, and glibc gave those pages
    // back and faulted them in again for each of a catalogue's 130,000 LZ4 BLOBs.
    static thread_local const std::unique_ptr<LZ4_streamHC_t, int (*)(LZ4_streamHC_t *)> kept(LZ4_createStreamHC(),
                                                                                              LZ4_freeStreamHC);
    LZ4_streamHC_t *stream = kept.get();
    if (!stream) {
        return std::string();
    }
    LZ4_resetStreamHC_fast(stream, lz4Level);
    const int size = LZ4_compress_HC_continue(stream, content.data(), block.data(), int(n), int(block.size()));
    if (size <= 0) {
        return std::string();
    }
    block.resize(size_t(size));
    return blob + block;
}

// How an array of integers is kept in a part. Plain little-endian 32-bit integers are for
// the LZ4 BLOBs of the name and directory blocks, which a scan decodes by the thousand:
// LZ4 compresses them nearly as well as StreamVByte's output (for Debian bookworm, 2.0 MB
// more for the links and 3.5 MB for the names' lengths, 7.3 MB in all with their pages),
// and they need no decoding, where Debian's StreamVByte library, built without
// optimisation, takes 8 ns an integer (117 ms for bookworm's 7.4 million links).
// Elsewhere StreamVByte, under zstd, is smaller.
enum class Ints { Plain, VByte, VByteDelta };

// Builds a BLOB part by part.
class Writer
{
public:
    void putInts(const std::vector<uint32_t> &values, Ints coding)
    {
        std::string data;
        if (coding == Ints::Plain) {
            data.reserve(4 * values.size());
            for (const uint32_t v : values)
                appendU32(data, v);
        } else {
            data.resize(streamvbyte_max_compressedbytes(uint32_t(values.size())));
            auto *out = reinterpret_cast<uint8_t *>(data.data());
            data.resize(coding == Ints::VByteDelta ? streamvbyte_delta_encode(values.data(), uint32_t(values.size()), out, 0)
                                                   : streamvbyte_encode(values.data(), uint32_t(values.size()), out));
        }
        putPart(uint32_t(values.size()), data);
    }
    void putBytes(std::string_view bytes) { putPart(uint32_t(bytes.size()), bytes); }

    std::string finish(Codec codec = Codec::Zstd) const
    {
        if (content.size() >= minCompressed) {
            const std::string compressed = codec == Codec::Lz4 ? lz4Compressed(content) : zstdCompressed(content);
            if (!compressed.empty() && compressed.size() < content.size() + 1) {
                return compressed;
            }
        }
        return char(Raw) + content;
    }

private:
    static void appendU32(std::string &to, uint32_t v)
    {
        const char bytes[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
        to.append(bytes, 4);
    }
    void putPart(uint32_t count, std::string_view data)
    {
        appendU32(content, count);
        appendU32(content, uint32_t(data.size()));
        content.append(data);
    }
    std::string content;
};

// The bytes that the four values of one StreamVByte key byte take.
struct KeyLengths
{
    unsigned char bytes[256];
    constexpr KeyLengths() : bytes()
    {
        for (int key = 0; key < 256; ++key)
            bytes[key] = static_cast<unsigned char>((key & 3) + (key >> 2 & 3) + (key >> 4 & 3) + (key >> 6 & 3) + 4);
    }
    unsigned char operator[](unsigned char key) const { return bytes[key]; }
};
constexpr KeyLengths keyLengths;

// Reads a BLOB part by part; every read is checked against what is left. What it reads
// stays valid until the next Reader of the same thread decompresses a BLOB.
class Reader
{
public:
    explicit Reader(std::string_view blob)
    {
        if (blob.empty()) {
            throw BlobError("empty blob");
        }
        const auto storage = static_cast<unsigned char>(blob.front());
        blob.remove_prefix(1);
        if (storage == Raw) {
            rest = blob;
        } else if (storage == Zstd) {
            const unsigned long long size = ZSTD_getFrameContentSize(blob.data(), blob.size());
            if (size == ZSTD_CONTENTSIZE_UNKNOWN || size == ZSTD_CONTENTSIZE_ERROR || size > maxDecodedBytes) {
                throw BlobError("compressed blob of unknown or too large size");
            }
            ZSTD_DCtx *context = threadContext<ZSTD_DCtx, ZSTD_freeDCtx>(ZSTD_createDCtx);
            if (!context) {
                throw BlobError("no memory for a decompression context");
            }
            std::string &buffer = decodeBuffer(size_t(size));
            const size_t got = ZSTD_decompressDCtx(context, buffer.data(), buffer.size(), blob.data(), blob.size());
            if (ZSTD_isError(got) || got != buffer.size()) {
                throw BlobError("damaged compressed blob");
            }
            rest = buffer;
        } else if (storage == Lz4) {
            if (blob.size() < 4) {
                throw BlobError("truncated blob");
            }
            const auto *p = reinterpret_cast<const unsigned char *>(blob.data());
            const uint32_t size = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
            blob.remove_prefix(4);
            if (size > maxDecodedBytes || blob.size() > size_t(INT32_MAX)) {
                throw BlobError("compressed blob of too large size");
            }
            std::string &buffer = decodeBuffer(size);
            const int got = LZ4_decompress_safe(blob.data(), buffer.data(), int(blob.size()), int(size));
            if (got < 0 || uint32_t(got) != size) {
                throw BlobError("damaged compressed blob");
            }
            rest = buffer;
        } else {
            throw BlobError("unknown blob storage");
        }
        if (rest.size() > maxDecodedBytes) {
            throw BlobError("blob too large");
        }
    }

    // An array of at most maxCount integers.
    void getInts(std::vector<uint32_t> &values, size_t maxCount, Ints coding)
    {
        const std::string_view data = getPart(maxCount);
        const size_t count = partCount;
        if (coding == Ints::Plain) {
            if (data.size() != 4 * count) {
                throw BlobError("integer array of the wrong length");
            }
            values.resize(count);
            const auto *p = reinterpret_cast<const unsigned char *>(data.data());
            for (size_t i = 0; i < count; ++i, p += 4)
                values[i] = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
            return;
        }
        // StreamVByte keeps a two-bit length code for each value in (count + 3) / 4 key
        // bytes, then the values' bytes: the data must hold exactly what the keys say.
        const size_t keyBytes = (count + 3) / 4;
        if (data.size() < keyBytes) {
            throw BlobError("integer array shorter than its keys");
        }
        const auto *keys = reinterpret_cast<const unsigned char *>(data.data());
        size_t needed = keyBytes;
        for (size_t i = 0; i < count / 4; ++i)
            needed += keyLengths[keys[i]];
        for (size_t i = count / 4 * 4; i < count; ++i)
            needed += size_t((keys[i / 4] >> (2 * (i % 4))) & 3) + 1;
        if (needed != data.size()) {
            throw BlobError("integer array of the wrong length");
        }
        values.resize(count);
        const auto *in = reinterpret_cast<const uint8_t *>(data.data());
        if (coding == Ints::VByteDelta) {
            streamvbyte_delta_decode(in, values.data(), uint32_t(count), 0);
        } else {
            streamvbyte_decode(in, values.data(), uint32_t(count));
        }
    }

    std::string_view getBytes(size_t maxCount)
    {
        const std::string_view data = getPart(maxCount);
        if (data.size() != partCount) {
            throw BlobError("byte part of the wrong length");
        }
        return data;
    }

    void expectEnd() const
    {
        if (!rest.empty()) {
            throw BlobError("trailing bytes in blob");
        }
    }

private:
    uint32_t getU32()
    {
        if (rest.size() < 4) {
            throw BlobError("truncated blob");
        }
        const auto *p = reinterpret_cast<const unsigned char *>(rest.data());
        rest.remove_prefix(4);
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    }
    std::string_view getPart(size_t maxCount)
    {
        partCount = getU32();
        const uint32_t length = getU32();
        if (partCount > maxCount) {
            throw BlobError("too many entries in blob");
        }
        if (length > rest.size()) {
            throw BlobError("part longer than its blob");
        }
        const std::string_view data = rest.substr(0, length);
        rest.remove_prefix(length);
        return data;
    }

    // One buffer a thread, kept, for what a compressed BLOB decodes to.
    static std::string &decodeBuffer(size_t size)
    {
        static thread_local std::string buffer;
        buffer.resize(size);
        return buffer;
    }

    std::string_view rest;
    uint32_t partCount = 0;
};

// `ends` must rise from 0 to `total`, one entry per list.
void checkEnds(const std::vector<uint32_t> &ends, size_t total)
{
    uint32_t previous = 0;
    for (const uint32_t end : ends) {
        if (end < previous) {
            throw BlobError("list ends out of order");
        }
        previous = end;
    }
    if ((ends.empty() ? 0 : ends.back()) != total) {
        throw BlobError("list ends do not match the values");
    }
}

// Per-list counts from ends, and back.
std::vector<uint32_t> countsOf(const std::vector<uint32_t> &ends)
{
    std::vector<uint32_t> counts(ends.size());
    for (size_t i = 0; i < ends.size(); ++i)
        counts[i] = ends[i] - (i == 0 ? 0 : ends[i - 1]);
    return counts;
}

void endsFromCounts(std::vector<uint32_t> &counts, size_t maxTotal)
{
    uint64_t total = 0;
    for (uint32_t &count : counts) {
        total += count;
        if (total > maxTotal) {
            throw BlobError("list counts exceed the values");
        }
        count = uint32_t(total);
    }
}

// Within each list, values are stored as gaps from the list's previous value (the first
// from 0): sorted lists of nearby ids become small numbers.
std::vector<uint32_t> gapsWithinLists(const std::vector<uint32_t> &ends, const std::vector<uint32_t> &values)
{
    std::vector<uint32_t> gaps(values.size());
    for (size_t list = 0, i = 0; list < ends.size(); ++list) {
        uint32_t previous = 0;
        for (; i < ends[list]; ++i) {
            gaps[i] = values[i] - previous;
            previous = values[i];
        }
    }
    return gaps;
}

void undoGaps(const std::vector<uint32_t> &ends, std::vector<uint32_t> &values)
{
    for (size_t list = 0, i = 0; list < ends.size(); ++list) {
        uint32_t previous = 0;
        for (; i < ends[list]; ++i) {
            if (values[i] > UINT32_MAX - previous) {
                throw BlobError("id out of range");
            }
            values[i] += previous;
            previous = values[i];
        }
    }
}

} // namespace

std::string encodeTexts(const std::vector<std::string_view> &texts)
{
    std::vector<uint32_t> lengths;
    std::string bytes;
    for (const std::string_view text : texts) {
        lengths.push_back(uint32_t(text.size()));
        bytes.append(text);
    }
    Writer writer;
    writer.putInts(lengths, Ints::Plain);
    writer.putBytes(bytes);
    return writer.finish(Codec::Lz4);
}

void decodeTexts(std::string_view blob, size_t maxCount, TextBlock &out)
{
    Reader reader(blob);
    reader.getInts(out.ends, maxCount, Ints::Plain);
    const std::string_view bytes = reader.getBytes(maxDecodedBytes);
    reader.expectEnd();
    endsFromCounts(out.ends, bytes.size());
    if ((out.ends.empty() ? 0 : out.ends.back()) != bytes.size()) {
        throw BlobError("text lengths do not match the texts");
    }
    out.bytes.assign(bytes);
}

std::string encodeLinks(const std::vector<uint32_t> &ends, const std::vector<uint32_t> &pkgs,
                        const std::vector<uint32_t> &dirs)
{
    Writer writer;
    writer.putInts(countsOf(ends), Ints::Plain);
    writer.putInts(gapsWithinLists(ends, pkgs), Ints::Plain);
    writer.putInts(dirs, Ints::VByte); // read only for paths
    return writer.finish(Codec::Lz4);
}

void decodeLinks(std::string_view blob, size_t maxNames, NameLinks &out, bool withDirs)
{
    Reader reader(blob);
    reader.getInts(out.ends, maxNames, Ints::Plain);
    reader.getInts(out.pkgs, maxDecodedBytes, Ints::Plain);
    if (withDirs) {
        reader.getInts(out.dirs, out.pkgs.size(), Ints::VByte);
        reader.expectEnd();
        if (out.dirs.size() != out.pkgs.size()) {
            throw BlobError("links without directories");
        }
    } else {
        out.dirs.clear();
    }
    endsFromCounts(out.ends, out.pkgs.size());
    checkEnds(out.ends, out.pkgs.size());
    undoGaps(out.ends, out.pkgs);
}

std::string encodeIdLists(const IdLists &lists)
{
    Writer writer;
    writer.putInts(countsOf(lists.ends), Ints::VByte);
    writer.putInts(gapsWithinLists(lists.ends, lists.values), Ints::VByte);
    return writer.finish();
}

void decodeIdLists(std::string_view blob, size_t maxLists, IdLists &out)
{
    Reader reader(blob);
    reader.getInts(out.ends, maxLists, Ints::VByte);
    reader.getInts(out.values, maxDecodedBytes, Ints::VByte);
    reader.expectEnd();
    endsFromCounts(out.ends, out.values.size());
    checkEnds(out.ends, out.values.size());
    undoGaps(out.ends, out.values);
}

std::string encodeFiles(const std::vector<FileRef> &files)
{
    std::vector<uint32_t> dirs(files.size());
    std::vector<uint32_t> names(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        dirs[i] = files[i].dir;
        names[i] = files[i].name;
    }
    Writer writer;
    writer.putInts(dirs, Ints::VByteDelta);
    writer.putInts(names, Ints::VByte);
    return writer.finish();
}

void decodeFiles(std::string_view blob, std::vector<FileRef> &out)
{
    Reader reader(blob);
    std::vector<uint32_t> dirs;
    std::vector<uint32_t> names;
    reader.getInts(dirs, maxDecodedBytes, Ints::VByteDelta);
    reader.getInts(names, dirs.size(), Ints::VByte);
    reader.expectEnd();
    if (names.size() != dirs.size()) {
        throw BlobError("files without names");
    }
    out.resize(dirs.size());
    for (size_t i = 0; i < dirs.size(); ++i) {
        out[i] = {dirs[i], names[i]};
        if (i > 0 && !(out[i - 1] < out[i])) {
            throw BlobError("files out of order");
        }
    }
}

std::string encodePostings(const std::vector<uint32_t> &ids)
{
    Writer writer;
    writer.putInts(ids, Ints::VByteDelta);
    return writer.finish();
}

void decodePostings(std::string_view blob, std::vector<uint32_t> &out)
{
    Reader reader(blob);
    reader.getInts(out, maxDecodedBytes, Ints::VByteDelta);
    reader.expectEnd();
    // A gap that wrapped around shows as a fall: the list must rise strictly.
    for (size_t i = 1; i < out.size(); ++i) {
        if (out[i] <= out[i - 1]) {
            throw BlobError("posting list out of order");
        }
    }
}

std::string folded(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        c = foldAscii(c);
    return out;
}

bool foldedLess(std::string_view a, std::string_view b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(foldAscii(a[i]));
        const auto y = static_cast<unsigned char>(foldAscii(b[i]));
        if (x != y) {
            return x < y;
        }
    }
    if (a.size() != b.size()) {
        return a.size() < b.size();
    }
    return a < b;
}

} // namespace CatalogueBlobs
