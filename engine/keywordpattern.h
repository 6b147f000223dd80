#ifndef KEYWORDPATTERN_H
#define KEYWORDPATTERN_H

// A file-name keyword compiled for matching, with exactly the result of SQLite's
// `text LIKE pattern ESCAPE '\'` where the pattern is the keyword with "*" as "%", "?" as
// "_" and every other character literal: ASCII letters regardless of case, a character as
// SQLite reads UTF-8 (a byte from 0xC0 up with the 0x80-0xBF bytes after it, any other
// byte alone), a text read up to its first NUL.
//
// Texts of ASCII bytes (nearly every file name) take a fast path over their folded bytes,
// with memchr/memmem for the literal runs; any other text is decoded character by
// character as SQLite decodes it.

#include <catalogueblobs.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class KeywordPattern
{
public:
    explicit KeywordPattern(std::string_view keyword);

    bool matches(std::string_view text) const;
    // The texts of a block (at most 64) that match, as a mask. A block of ASCII texts is
    // folded once and searched as a whole for the keyword's longest literal run first.
    uint64_t matchBlock(const CatalogueBlobs::TextBlock &block) const;
    // The keyword is nothing but "*": every text matches.
    bool matchesEverything() const { return everything; }
    bool hasWildcard() const;
    // No wildcard and only ASCII: a matching text folds to literalPrefix() exactly.
    bool isPlainAscii() const;
    // The folded ASCII bytes the keyword starts with, up to its first wildcard or
    // non-ASCII byte: every matching text's folded bytes start with them.
    std::string literalPrefix() const;
    // The trigram keys of the folded ASCII runs between wildcards and non-ASCII bytes,
    // each once, at most maxKeys of them: every matching text holds all of them.
    std::vector<uint32_t> trigrams(size_t maxKeys) const;
    // The first two folded ASCII bytes in a row between wildcards and non-ASCII bytes, or
    // nothing: every matching text holds them.
    std::string pair() const;
    // Every matching text's folded bytes end with the given ones (the keyword ends with them).
    bool endsWith(std::string_view foldedText) const;
    // The folded ASCII bytes the keyword ends with, after its last wildcard or non-ASCII
    // byte: every matching text's folded bytes end with them (an ASCII byte is a
    // character of its own in UTF-8 as SQLite reads it). Empty for a keyword without a
    // wildcard, whose texts the sorted order finds.
    std::string literalSuffix() const;

    // The length of the LIKE pattern the keyword makes (escapes included): SQLite refuses
    // a pattern longer than its limit.
    static size_t likePatternLength(std::string_view keyword);

private:
    enum class Kind : uint8_t { Char, One, All };
    struct Token
    {
        uint32_t value;
        Kind kind;
    };
    // A run of the keyword between stars, for ASCII texts: folded bytes, "?" marked.
    struct Segment
    {
        std::string bytes;
        std::string one;       // 1 where the keyword has "?"
        bool hasOne = false;
        size_t anchorPos = 0;  // the longest literal stretch, searched for with memmem
        size_t anchorLen = 0;
    };

    bool matchesAscii(const char *text, size_t size) const;
    bool segmentAt(const Segment &segment, const char *at) const;
    const char *findSegment(const Segment &segment, const char *from, const char *end) const;
    bool matchesDecoded(std::string_view text) const;
    uint64_t matchTails(const CatalogueBlobs::TextBlock &block) const;
    void addSegments(std::string_view keyword);

    std::string keyword;
    std::vector<Token> tokens;
    std::vector<Segment> segments; // split at stars; one segment when there is no star
    std::string filterRun;         // the longest literal run of any segment, folded
    bool hasStar = false;
    bool asciiNeverMatches = false; // a literal non-ASCII character: no ASCII text matches
    bool runMatches = false;        // "*run*": a text holding filterRun matches
    // The last segment is ASCII literal text after a star: a text must end with it, which
    // is looked at first. tailMatches: the keyword is "*" and that text, nothing else.
    bool tailFirst = false;
    bool tailMatches = false;
    bool everything = false;
};

#endif // KEYWORDPATTERN_H
