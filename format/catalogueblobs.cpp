#include "catalogueblobs.h"

#include <streamvbyte.h>
#include <streamvbytedelta.h>
#include <zstd.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace CatalogueBlobs {

namespace {

// The first byte of every BLOB.
enum Storage : unsigned char { Raw = 0, Zstd = 1 };
// A BLOB smaller than this is kept raw: a zstd frame would barely be smaller.
constexpr size_t minCompressed = 64;
constexpr int zstdLevel = 3;

// Builds a BLOB part by part.
class Writer
{
public:
    void putInts(const std::vector<uint32_t> &values, bool delta)
    {
        std::string data(streamvbyte_max_compressedbytes(uint32_t(values.size())), '\0');
        auto *out = reinterpret_cast<uint8_t *>(data.data());
        const size_t used = delta ? streamvbyte_delta_encode(values.data(), uint32_t(values.size()), out, 0)
                                  : streamvbyte_encode(values.data(), uint32_t(values.size()), out);
        data.resize(used);
        putPart(uint32_t(values.size()), data);
    }
    void putBytes(std::string_view bytes) { putPart(uint32_t(bytes.size()), bytes); }

    std::string finish() const
    {
        std::string blob(1, char(Raw));
        if (content.size() >= minCompressed) {
            std::string frame(ZSTD_compressBound(content.size()), '\0');
            // One context a thread, kept: a fresh one for each of a catalogue's 200,000
            // BLOBs cost more than the compression itself.
            static thread_local const std::unique_ptr<ZSTD_CCtx, size_t (*)(ZSTD_CCtx *)> context(ZSTD_createCCtx(),
                                                                                                ZSTD_freeCCtx);
            const size_t size = context ? ZSTD_compressCCtx(context.get(), frame.data(), frame.size(), content.data(),
                                                            content.size(), zstdLevel)
                                        : ZSTD_compress(frame.data(), frame.size(), content.data(), content.size(),
                                                        zstdLevel);
            if (!ZSTD_isError(size) && size < content.size()) {
                frame.resize(size);
                return char(Zstd) + frame;
            }
        }
        return blob + content;
    }

private:
    void putU32(uint32_t v)
    {
        const char bytes[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
        content.append(bytes, 4);
    }
    void putPart(uint32_t count, std::string_view data)
    {
        putU32(count);
        putU32(uint32_t(data.size()));
        content.append(data);
    }
    std::string content;
};

// Reads a BLOB part by part; every read is checked against what is left.
class Reader
{
public:
    explicit Reader(std::string_view blob)
    {
        if (blob.empty())
            throw BlobError("empty blob");
        const auto storage = static_cast<unsigned char>(blob.front());
        blob.remove_prefix(1);
        if (storage == Raw) {
            rest = blob;
        } else if (storage == Zstd) {
            const unsigned long long size = ZSTD_getFrameContentSize(blob.data(), blob.size());
            if (size == ZSTD_CONTENTSIZE_UNKNOWN || size == ZSTD_CONTENTSIZE_ERROR || size > maxDecodedBytes)
                throw BlobError("compressed blob of unknown or too large size");
            decoded.resize(size_t(size));
            const size_t got = ZSTD_decompress(decoded.data(), decoded.size(), blob.data(), blob.size());
            if (ZSTD_isError(got) || got != decoded.size())
                throw BlobError("damaged compressed blob");
            rest = decoded;
        } else {
            throw BlobError("unknown blob storage");
        }
        if (rest.size() > maxDecodedBytes)
            throw BlobError("blob too large");
    }

    // An array of at most maxCount integers.
    void getInts(std::vector<uint32_t> &values, size_t maxCount, bool delta)
    {
        const std::string_view data = getPart(maxCount);
        const size_t count = partCount;
        // StreamVByte keeps a two-bit length code for each value in (count + 3) / 4 key
        // bytes, then the values' bytes: the data must hold exactly what the keys say.
        const size_t keyBytes = (count + 3) / 4;
        if (data.size() < keyBytes)
            throw BlobError("integer array shorter than its keys");
        size_t needed = keyBytes;
        for (size_t i = 0; i < count; ++i)
            needed += size_t((static_cast<unsigned char>(data[i / 4]) >> (2 * (i % 4))) & 3) + 1;
        if (needed != data.size())
            throw BlobError("integer array of the wrong length");
        values.resize(count);
        const auto *in = reinterpret_cast<const uint8_t *>(data.data());
        if (delta)
            streamvbyte_delta_decode(in, values.data(), uint32_t(count), 0);
        else
            streamvbyte_decode(in, values.data(), uint32_t(count));
    }

    std::string_view getBytes(size_t maxCount)
    {
        const std::string_view data = getPart(maxCount);
        if (data.size() != partCount)
            throw BlobError("byte part of the wrong length");
        return data;
    }

    void expectEnd() const
    {
        if (!rest.empty())
            throw BlobError("trailing bytes in blob");
    }

private:
    uint32_t getU32()
    {
        if (rest.size() < 4)
            throw BlobError("truncated blob");
        const auto *p = reinterpret_cast<const unsigned char *>(rest.data());
        rest.remove_prefix(4);
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    }
    std::string_view getPart(size_t maxCount)
    {
        partCount = getU32();
        const uint32_t length = getU32();
        if (partCount > maxCount)
            throw BlobError("too many entries in blob");
        if (length > rest.size())
            throw BlobError("part longer than its blob");
        const std::string_view data = rest.substr(0, length);
        rest.remove_prefix(length);
        return data;
    }

    std::string decoded;
    std::string_view rest;
    uint32_t partCount = 0;
};

// `ends` must rise from 0 to `total`, one entry per list.
void checkEnds(const std::vector<uint32_t> &ends, size_t total)
{
    uint32_t previous = 0;
    for (const uint32_t end : ends) {
        if (end < previous)
            throw BlobError("list ends out of order");
        previous = end;
    }
    if ((ends.empty() ? 0 : ends.back()) != total)
        throw BlobError("list ends do not match the values");
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
        if (total > maxTotal)
            throw BlobError("list counts exceed the values");
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
            if (values[i] > UINT32_MAX - previous)
                throw BlobError("id out of range");
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
    writer.putInts(lengths, false);
    writer.putBytes(bytes);
    return writer.finish();
}

void decodeTexts(std::string_view blob, size_t maxCount, TextBlock &out)
{
    Reader reader(blob);
    reader.getInts(out.ends, maxCount, false);
    const std::string_view bytes = reader.getBytes(maxDecodedBytes);
    reader.expectEnd();
    endsFromCounts(out.ends, bytes.size());
    if ((out.ends.empty() ? 0 : out.ends.back()) != bytes.size())
        throw BlobError("text lengths do not match the texts");
    out.bytes.assign(bytes);
}

std::string encodeLinks(const std::vector<uint32_t> &ends, const std::vector<uint32_t> &pkgs,
                        const std::vector<uint32_t> &dirs)
{
    Writer writer;
    writer.putInts(countsOf(ends), false);
    writer.putInts(gapsWithinLists(ends, pkgs), false);
    writer.putInts(dirs, false);
    return writer.finish();
}

void decodeLinks(std::string_view blob, size_t maxNames, NameLinks &out)
{
    Reader reader(blob);
    reader.getInts(out.ends, maxNames, false);
    reader.getInts(out.pkgs, maxDecodedBytes, false);
    reader.getInts(out.dirs, out.pkgs.size(), false);
    reader.expectEnd();
    if (out.dirs.size() != out.pkgs.size())
        throw BlobError("links without directories");
    endsFromCounts(out.ends, out.pkgs.size());
    checkEnds(out.ends, out.pkgs.size());
    undoGaps(out.ends, out.pkgs);
}

std::string encodeIdLists(const IdLists &lists)
{
    Writer writer;
    writer.putInts(countsOf(lists.ends), false);
    writer.putInts(gapsWithinLists(lists.ends, lists.values), false);
    return writer.finish();
}

void decodeIdLists(std::string_view blob, size_t maxLists, IdLists &out)
{
    Reader reader(blob);
    reader.getInts(out.ends, maxLists, false);
    reader.getInts(out.values, maxDecodedBytes, false);
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
    writer.putInts(dirs, true);
    writer.putInts(names, false);
    return writer.finish();
}

void decodeFiles(std::string_view blob, std::vector<FileRef> &out)
{
    Reader reader(blob);
    std::vector<uint32_t> dirs;
    std::vector<uint32_t> names;
    reader.getInts(dirs, maxDecodedBytes, true);
    reader.getInts(names, dirs.size(), false);
    reader.expectEnd();
    if (names.size() != dirs.size())
        throw BlobError("files without names");
    out.resize(dirs.size());
    for (size_t i = 0; i < dirs.size(); ++i) {
        out[i] = {dirs[i], names[i]};
        if (i > 0 && !(out[i - 1] < out[i]))
            throw BlobError("files out of order");
    }
}

std::string encodePostings(const std::vector<uint32_t> &ids)
{
    Writer writer;
    writer.putInts(ids, true);
    return writer.finish();
}

void decodePostings(std::string_view blob, std::vector<uint32_t> &out)
{
    Reader reader(blob);
    reader.getInts(out, maxDecodedBytes, true);
    reader.expectEnd();
    // A gap that wrapped around shows as a fall: the list must rise strictly.
    for (size_t i = 1; i < out.size(); ++i) {
        if (out[i] <= out[i - 1])
            throw BlobError("posting list out of order");
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
        if (x != y)
            return x < y;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

} // namespace CatalogueBlobs
