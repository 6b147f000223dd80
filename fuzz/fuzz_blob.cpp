// Fuzz target: one decoder of the catalogue's BLOBs, chosen at build time
// (QUORVI_BLOB_DECODER). A BLOB comes from a catalogue file that anyone may have
// written, so decoding must end in a value or in BlobError, never in a crash, a hang
// or an allocation beyond the decoders' caps. What decodes must be valid by the format's
// own rules, checked here apart from the decoders (ids strictly increasing where the
// format says so, every list's end within its values, no more entries than asked for,
// nothing beyond the decoded-size cap), and must encode back to a BLOB that decodes to
// the same value: the builder's encoder and the finder's decoder agree.
#include "catalogueblobs.h"

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string_view>

using namespace CatalogueBlobs;

namespace {

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "fuzz_blob: %s\n", what);
    std::abort();
}

template <typename T>
void expectSame(const T &a, const T &b)
{
    if (!(a == b)) {
        fail("a decoded value does not survive encoding it again");
    }
}

void expect(bool rule, const char *what)
{
    if (!rule) {
        fail(what);
    }
}

constexpr size_t maxEntries = 1u << 20;

// Ends rise from 0 to total, one a list, and what they describe fits the cap.
void expectEnds(const std::vector<uint32_t> &ends, size_t total, size_t maxLists, size_t bytesEach = 4)
{
    expect(ends.size() <= maxLists, "more lists than allowed");
    uint32_t previous = 0;
    for (const uint32_t end : ends) {
        expect(end >= previous, "list ends fall");
        previous = end;
    }
    expect(previous == total, "list ends miss the values");
    expect(total * bytesEach <= maxDecodedBytes, "decoded beyond the cap");
}

// How a part's integers are stored: plain 32-bit, StreamVByte, or plain bytes.
enum class Part { Plain, VByte, Bytes };

uint32_t le32(const unsigned char *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// A raw BLOB (storage byte 0) that decoded holds its parts and nothing else, each part
// exactly as long as its count says: StreamVByte's length worked out here from its
// keys, two bits a value. Compressed BLOBs are left to the round trip.
void expectExactParts(std::string_view blob, std::initializer_list<Part> parts)
{
    if (blob.empty() || blob.front() != 0) {
        return;
    }
    const auto *p = reinterpret_cast<const unsigned char *>(blob.data()) + 1;
    size_t left = blob.size() - 1;
    for (const Part part : parts) {
        expect(left >= 8, "part header missing");
        const uint32_t count = le32(p);
        const uint32_t length = le32(p + 4);
        p += 8;
        left -= 8;
        expect(length <= left, "part beyond the blob");
        uint64_t needed = part == Part::Plain ? uint64_t(count) * 4 : count;
        if (part == Part::VByte) {
            needed = (uint64_t(count) + 3) / 4;
            for (uint64_t i = 0; i < count && (i / 4) < length; ++i)
                needed += ((p[i / 4] >> (2 * (i % 4))) & 3) + 1;
        }
        expect(needed == length, "part not exactly as long as its count says");
        p += length;
        left -= length;
    }
    expect(left == 0, "bytes after the last part");
}

// Within each list the ids rise, strictly where the format allows no repeat.
void expectRising(const std::vector<uint32_t> &ends, const std::vector<uint32_t> &values, bool strictly)
{
    for (size_t list = 0, i = 0; list < ends.size(); ++list) {
        for (size_t first = i; i < ends[list]; ++i) {
            if (i > first) {
                expect(strictly ? values[i] > values[i - 1] : values[i] >= values[i - 1], "ids out of order");
            }
        }
    }
}

[[maybe_unused]] void texts(std::string_view blob)
{
    TextBlock block;
    decodeTexts(blob, maxEntries, block);
    expectEnds(block.ends, block.bytes.size(), maxEntries, 1);
    expectExactParts(blob, {Part::Plain, Part::Bytes});
    std::vector<std::string_view> texts;
    for (size_t i = 0; i < block.size(); ++i)
        texts.push_back(block.text(i));
    TextBlock again;
    decodeTexts(encodeTexts(texts), maxEntries, again);
    expectSame(block.bytes, again.bytes);
    expectSame(block.ends, again.ends);
}

[[maybe_unused]] void links(std::string_view blob)
{
    NameLinks links;
    decodeLinks(blob, maxEntries, links);
    expectEnds(links.ends, links.pkgs.size(), maxEntries);
    expect(links.dirs.size() == links.pkgs.size(), "links without directories");
    expectExactParts(blob, {Part::Plain, Part::Plain, Part::VByte});
    expectRising(links.ends, links.pkgs, false);
    NameLinks again;
    decodeLinks(encodeLinks(links.ends, links.pkgs, links.dirs), maxEntries, again);
    expectSame(links.ends, again.ends);
    expectSame(links.pkgs, again.pkgs);
    expectSame(links.dirs, again.dirs);
}

[[maybe_unused]] void idLists(std::string_view blob)
{
    IdLists lists;
    decodeIdLists(blob, maxEntries, lists);
    expectEnds(lists.ends, lists.values.size(), maxEntries);
    expectRising(lists.ends, lists.values, false);
    expectExactParts(blob, {Part::VByte, Part::VByte});
    IdLists again;
    decodeIdLists(encodeIdLists(lists), maxEntries, again);
    expectSame(lists.ends, again.ends);
    expectSame(lists.values, again.values);
}

[[maybe_unused]] void files(std::string_view blob)
{
    std::vector<FileRef> files;
    decodeFiles(blob, files);
    expect(files.size() * 8 <= maxDecodedBytes, "decoded beyond the cap");
    for (size_t i = 1; i < files.size(); ++i)
        expect(files[i - 1] < files[i], "files out of order or repeated");
    expectExactParts(blob, {Part::VByte, Part::VByte});
    std::vector<FileRef> again;
    decodeFiles(encodeFiles(files), again);
    expectSame(files, again);
}

[[maybe_unused]] void postings(std::string_view blob)
{
    std::vector<uint32_t> ids;
    decodePostings(blob, ids);
    expectEnds({uint32_t(ids.size())}, ids.size(), 1);
    expectRising({uint32_t(ids.size())}, ids, true);
    expectExactParts(blob, {Part::VByte});
    std::vector<uint32_t> again;
    decodePostings(encodePostings(ids), again);
    expectSame(ids, again);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    try {
        QUORVI_BLOB_DECODER(std::string_view(reinterpret_cast<const char *>(data), size));
    } catch (const BlobError &) {
        // The expected end of a crafted BLOB.
    }
    return 0;
}
