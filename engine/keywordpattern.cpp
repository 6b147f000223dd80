#include "keywordpattern.h"

#include <catalogueblobs.h>

#include <algorithm>
#include <cstring>

namespace {

// One character as SQLite's LIKE reads it (sqlite3Utf8Read): a lead byte from 0xC0 takes
// every continuation byte after it; an overlong form, a surrogate and U+FFFE/U+FFFF read as
// U+FFFD; any other byte is a character of its own value.
uint32_t readCharacter(const unsigned char *&p, const unsigned char *end)
{
    static const unsigned char leadBits[64] = {
        0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0a, 0x0b, 0x0c,
        0x0d, 0x0e, 0x0f, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19,
        0x1a, 0x1b, 0x1c, 0x1d, 0x1e, 0x1f, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06,
        0x07, 0x08, 0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f, 0x00, 0x01, 0x02, 0x03,
        0x04, 0x05, 0x06, 0x07, 0x00, 0x01, 0x02, 0x03, 0x00, 0x01, 0x00, 0x00,
    };
    uint32_t c = *p++;
    if (c < 0xc0) {
        return c;
    }
    c = leadBits[c - 0xc0];
    while (p < end && (*p & 0xc0) == 0x80)
        c = (c << 6) + (0x3f & *p++);
    if (c < 0x80 || (c & 0xfffff800) == 0xd800 || (c & 0xfffffffe) == 0xfffe) {
        c = 0xfffd;
    }
    return c;
}

std::vector<uint32_t> decodeText(std::string_view text)
{
    std::vector<uint32_t> out;
    auto *p = reinterpret_cast<const unsigned char *>(text.data());
    auto *end = p + text.size();
    while (p < end)
        out.push_back(readCharacter(p, end));
    return out;
}

bool sameCharacter(uint32_t a, uint32_t b)
{
    if (a == b) {
        return true;
    }
    return a < 0x80 && b < 0x80
        && CatalogueBlobs::foldAscii(char(a)) == CatalogueBlobs::foldAscii(char(b));
}

bool isWildcard(char c)
{
    return c == '*' || c == '?';
}

// Bytes 1-127: a character each, folded by one byte.
bool isPlainByte(unsigned char c)
{
    return c != 0 && c < 0x80;
}

} // namespace

KeywordPattern::KeywordPattern(std::string_view text)
    : keyword(text.substr(0, text.find('\0')))
{
    auto *p = reinterpret_cast<const unsigned char *>(keyword.data());
    auto *end = p + keyword.size();
    while (p < end) {
        const uint32_t c = readCharacter(p, end);
        const Kind kind = c == '*' ? Kind::All : c == '?' ? Kind::One : Kind::Char;
        tokens.push_back({c, kind});
        if (kind == Kind::Char && c >= 0x80) {
            asciiNeverMatches = true;
        }
    }
    everything = !tokens.empty()
        && std::all_of(tokens.begin(), tokens.end(), [](const Token &t) { return t.kind == Kind::All; });
    addSegments(keyword);
}

void KeywordPattern::addSegments(std::string_view text)
{
    hasStar = text.find('*') != std::string_view::npos;
    size_t start = 0;
    for (;;) {
        const size_t star = text.find('*', start);
        const std::string_view run = text.substr(start, star == std::string_view::npos ? star : star - start);
        Segment segment;
        segment.bytes = CatalogueBlobs::folded(run);
        segment.one.assign(run.size(), '\0');
        size_t literalStart = 0;
        for (size_t i = 0; i <= run.size(); ++i) {
            if (i < run.size() && run[i] != '?') {
                continue;
            }
            if (i - literalStart > segment.anchorLen) {
                segment.anchorPos = literalStart;
                segment.anchorLen = i - literalStart;
            }
            literalStart = i + 1;
            if (i < run.size()) {
                segment.one[i] = 1;
                segment.hasOne = true;
            }
        }
        if (segment.anchorLen > filterRun.size()) {
            filterRun = segment.bytes.substr(segment.anchorPos, segment.anchorLen);
        }
        segments.push_back(std::move(segment));
        if (star == std::string_view::npos) {
            break;
        }
        start = star + 1;
    }
    // "*run*" (stars around one literal run): a text matches where the run is found in it.
    const auto literal = [](const Segment &segment) { return !segment.bytes.empty(); };
    runMatches = hasStar && !literal(segments.front()) && !literal(segments.back())
        && std::count_if(segments.begin(), segments.end(), literal) == 1
        && std::none_of(segments.begin(), segments.end(), [](const Segment &segment) { return segment.hasOne; });
    const Segment &last = segments.back();
    tailFirst = hasStar && !last.bytes.empty() && !last.hasOne
        && std::all_of(last.bytes.begin(), last.bytes.end(), [](char c) { return isPlainByte(static_cast<unsigned char>(c)); });
    tailMatches = tailFirst && segments.size() == 2 && segments.front().bytes.empty();
}

bool KeywordPattern::matches(std::string_view text) const
{
    const size_t size = text.size();
    char buffer[256];
    if (size <= sizeof buffer) {
        bool plain = true;
        for (size_t i = 0; i < size; ++i) {
            const auto c = static_cast<unsigned char>(text[i]);
            plain &= isPlainByte(c);
            buffer[i] = CatalogueBlobs::foldAscii(char(c));
        }
        if (plain) {
            return !asciiNeverMatches && matchesAscii(buffer, size);
        }
    }
    return matchesDecoded(text);
}

uint64_t KeywordPattern::matchBlock(const CatalogueBlobs::TextBlock &block) const
{
    const size_t count = block.size();
    uint64_t mask = 0;
    if (everything) {
        return count >= 64 ? ~uint64_t(0) : (uint64_t(1) << count) - 1;
    }
    if (tailFirst && !std::memchr(block.bytes.data(), 0, block.bytes.size())) {
        return matchTails(block);
    }
    thread_local std::string folded;
    folded.resize(block.bytes.size());
    // Branch-free, so that the compiler runs it over many bytes at a time.
    const auto *__restrict src = reinterpret_cast<const unsigned char *>(block.bytes.data());
    auto *__restrict dst = reinterpret_cast<unsigned char *>(folded.data());
    const size_t size = block.bytes.size(); // read once: the stores below may not alias it
    unsigned char high = 0; // bit 7 set by a byte from 0x80
    unsigned char nul = 0;  // set by a NUL
    for (size_t i = 0; i < size; ++i) {
        const unsigned char c = src[i];
        high |= c;
        nul |= c == 0;
        dst[i] = c + (static_cast<unsigned char>(c - 'A') < 26 ? 32 : 0);
    }
    const unsigned char odd = (high & 0x80) | (nul ? 0x80 : 0);
    if (odd & 0x80) {
        for (size_t i = 0; i < count; ++i)
            mask |= uint64_t(matches(block.text(i))) << i;
        return mask;
    }
    if (asciiNeverMatches) {
        return 0;
    }
    const char *bytes = folded.data();
    const size_t total = folded.size();
    if (filterRun.empty()) {
        for (size_t i = 0, begin = 0; i < count; begin = block.ends[i++])
            mask |= uint64_t(matchesAscii(bytes + begin, block.ends[i] - begin)) << i;
        return mask;
    }
    // Only a text holding the literal run can match: find the run in the whole block and
    // try the texts it falls in.
    size_t pos = 0;
    size_t i = 0;
    while (pos < total) {
        const void *hit = filterRun.size() == 1 ? std::memchr(bytes + pos, filterRun[0], total - pos)
                                               : memmem(bytes + pos, total - pos, filterRun.data(), filterRun.size());
        if (!hit) {
            break;
        }
        const size_t at = size_t(static_cast<const char *>(hit) - bytes);
        while (block.ends[i] <= at)
            ++i;
        const size_t begin = i == 0 ? 0 : block.ends[i - 1];
        if (at + filterRun.size() <= block.ends[i]) {
            mask |= uint64_t(runMatches || matchesAscii(bytes + begin, block.ends[i] - begin)) << i;
        }
        pos = block.ends[i];
        ++i;
    }
    return mask;
}

// A block without NUL bytes, for a keyword that ends in ASCII text after a star: the
// texts that end with that text are the candidates, and only they are matched whole.
// An ASCII byte is never part of another character, so the comparison of the last bytes
// holds for any text.
uint64_t KeywordPattern::matchTails(const CatalogueBlobs::TextBlock &block) const
{
    const std::string &tail = segments.back().bytes;
    const size_t n = tail.size();
    uint64_t mask = 0;
    for (size_t i = 0, begin = 0; i < block.size(); begin = block.ends[i++]) {
        const size_t end = block.ends[i];
        if (end - begin < n) {
            continue;
        }
        const char *at = block.bytes.data() + end - n;
        bool same = true;
        for (size_t k = 0; k < n && same; ++k)
            same = CatalogueBlobs::foldAscii(at[k]) == tail[k];
        if (same && (tailMatches || matches(std::string_view(block.bytes).substr(begin, end - begin)))) {
            mask |= uint64_t(1) << i;
        }
    }
    return mask;
}

bool KeywordPattern::segmentAt(const Segment &segment, const char *at) const
{
    const size_t n = segment.bytes.size();
    if (!segment.hasOne) {
        return n == 0 || std::memcmp(at, segment.bytes.data(), n) == 0;
    }
    for (size_t i = 0; i < n; ++i) {
        if (!segment.one[i] && at[i] != segment.bytes[i]) {
            return false;
        }
    }
    return true;
}

// The leftmost place from `from` where the segment fits before `end`, or null.
const char *KeywordPattern::findSegment(const Segment &segment, const char *from, const char *end) const
{
    const size_t n = segment.bytes.size();
    if (size_t(end - from) < n) {
        return nullptr;
    }
    if (segment.anchorLen == 0) {
        return from; // only "?": any place
    }
    const char *anchor = segment.bytes.data() + segment.anchorPos;
    const char *searchFrom = from + segment.anchorPos;
    const char *searchEnd = end - (n - segment.anchorPos - segment.anchorLen);
    while (searchFrom < searchEnd) {
        const void *hit = segment.anchorLen == 1
            ? std::memchr(searchFrom, *anchor, size_t(searchEnd - searchFrom))
            : memmem(searchFrom, size_t(searchEnd - searchFrom), anchor, segment.anchorLen);
        if (!hit) {
            return nullptr;
        }
        const char *at = static_cast<const char *>(hit) - segment.anchorPos;
        if (segmentAt(segment, at)) {
            return at;
        }
        searchFrom = static_cast<const char *>(hit) + 1;
    }
    return nullptr;
}

// Over folded ASCII text, where a byte is a character: the first segment at the start,
// the last at the end, each one between at its leftmost place (which is never worse).
bool KeywordPattern::matchesAscii(const char *text, size_t size) const
{
    const Segment &first = segments.front();
    if (!hasStar) {
        return size == first.bytes.size() && segmentAt(first, text);
    }
    const Segment &last = segments.back();
    if (size < first.bytes.size() + last.bytes.size() || !segmentAt(first, text)) {
        return false;
    }
    const char *pos = text + first.bytes.size();
    const char *lastStart = text + size - last.bytes.size();
    for (size_t i = 1; i + 1 < segments.size(); ++i) {
        const char *at = findSegment(segments[i], pos, lastStart);
        if (!at) {
            return false;
        }
        pos = at + segments[i].bytes.size();
    }
    return segmentAt(last, lastStart);
}

// Character by character, with SQLite's reading of UTF-8; backtracks to the last star.
bool KeywordPattern::matchesDecoded(std::string_view text) const
{
    const std::vector<uint32_t> chars = decodeText(text.substr(0, text.find('\0')));
    size_t p = 0, t = 0;
    size_t starP = SIZE_MAX, starT = 0;
    while (t < chars.size()) {
        if (p < tokens.size() && tokens[p].kind == Kind::All) {
            starP = p++;
            starT = t;
        } else if (p < tokens.size()
                   && (tokens[p].kind == Kind::One || sameCharacter(tokens[p].value, chars[t]))) {
            ++p;
            ++t;
        } else if (starP != SIZE_MAX) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < tokens.size() && tokens[p].kind == Kind::All)
        ++p;
    return p == tokens.size();
}

bool KeywordPattern::hasWildcard() const
{
    return std::any_of(keyword.begin(), keyword.end(), isWildcard);
}

bool KeywordPattern::isPlainAscii() const
{
    return std::all_of(keyword.begin(), keyword.end(),
                       [](char c) { return !isWildcard(c) && static_cast<unsigned char>(c) < 0x80; });
}

std::string KeywordPattern::literalPrefix() const
{
    size_t n = 0;
    while (n < keyword.size() && !isWildcard(keyword[n]) && static_cast<unsigned char>(keyword[n]) < 0x80)
        ++n;
    return CatalogueBlobs::folded(std::string_view(keyword).substr(0, n));
}

std::vector<uint32_t> KeywordPattern::trigrams(size_t maxKeys) const
{
    std::vector<uint32_t> keys;
    const std::string text = CatalogueBlobs::folded(keyword);
    size_t run = 0; // plain bytes in a row ending here
    for (size_t i = 0; i < text.size() && keys.size() < maxKeys; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        run = isWildcard(text[i]) || c >= 0x80 ? 0 : run + 1;
        if (run < 3) {
            continue;
        }
        const auto *p = reinterpret_cast<const unsigned char *>(text.data() + i - 2);
        const uint32_t key = CatalogueBlobs::trigramKey(p[0], p[1], p[2]);
        if (std::find(keys.begin(), keys.end(), key) == keys.end()) {
            keys.push_back(key);
        }
    }
    return keys;
}

std::string KeywordPattern::pair() const
{
    const std::string text = CatalogueBlobs::folded(keyword);
    size_t run = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        run = isWildcard(text[i]) || static_cast<unsigned char>(text[i]) >= 0x80 ? 0 : run + 1;
        if (run == 2) {
            return text.substr(i - 1, 2);
        }
    }
    return {};
}

bool KeywordPattern::endsWith(std::string_view foldedText) const
{
    return keyword.size() >= foldedText.size()
        && CatalogueBlobs::folded(std::string_view(keyword).substr(keyword.size() - foldedText.size())) == foldedText;
}

std::string KeywordPattern::literalSuffix() const
{
    if (!hasWildcard()) {
        return {};
    }
    size_t n = 0;
    while (n < keyword.size() && isPlainByte(static_cast<unsigned char>(keyword[keyword.size() - 1 - n]))
           && !isWildcard(keyword[keyword.size() - 1 - n]))
        ++n;
    return CatalogueBlobs::folded(std::string_view(keyword).substr(keyword.size() - n));
}

size_t KeywordPattern::likePatternLength(std::string_view keyword)
{
    keyword = keyword.substr(0, keyword.find('\0'));
    size_t length = keyword.size();
    for (const char c : keyword)
        length += c == '%' || c == '_' || c == '\\';
    return length;
}
