// Fuzz target: one decoder of the catalogue's BLOBs, chosen at build time
// (QUORVI_BLOB_DECODER). A BLOB comes from a catalogue file that anyone may have
// written, so decoding must end in a value or in BlobError, never in a crash, a hang
// or an allocation beyond the decoders' caps. What decodes must encode back to a BLOB
// that decodes to the same value: the builder's encoder and the finder's decoder agree.
#include "catalogueblobs.h"

#include <cstdio>
#include <cstdlib>
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

[[maybe_unused]] void texts(std::string_view blob)
{
    TextBlock block;
    decodeTexts(blob, 1u << 20, block);
    std::vector<std::string_view> texts;
    for (size_t i = 0; i < block.size(); ++i)
        texts.push_back(block.text(i));
    TextBlock again;
    decodeTexts(encodeTexts(texts), 1u << 20, again);
    expectSame(block.bytes, again.bytes);
    expectSame(block.ends, again.ends);
}

[[maybe_unused]] void links(std::string_view blob)
{
    NameLinks links;
    decodeLinks(blob, 1u << 20, links);
    NameLinks again;
    decodeLinks(encodeLinks(links.ends, links.pkgs, links.dirs), 1u << 20, again);
    expectSame(links.ends, again.ends);
    expectSame(links.pkgs, again.pkgs);
    expectSame(links.dirs, again.dirs);
}

[[maybe_unused]] void idLists(std::string_view blob)
{
    IdLists lists;
    decodeIdLists(blob, 1u << 20, lists);
    IdLists again;
    decodeIdLists(encodeIdLists(lists), 1u << 20, again);
    expectSame(lists.ends, again.ends);
    expectSame(lists.values, again.values);
}

[[maybe_unused]] void files(std::string_view blob)
{
    std::vector<FileRef> files;
    decodeFiles(blob, files);
    std::vector<FileRef> again;
    decodeFiles(encodeFiles(files), again);
    expectSame(files, again);
}

[[maybe_unused]] void postings(std::string_view blob)
{
    std::vector<uint32_t> ids;
    decodePostings(blob, ids);
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
