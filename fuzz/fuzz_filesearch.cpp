// Fuzz target: the file-name search's keyword matching against SQLite's own LIKE. The
// first byte gives the keyword's length, the keyword follows, and the rest is up to 64
// texts separated by '\n'. Each text must match the keyword (one text at a time and as a
// block) exactly when `text LIKE pattern ESCAPE '\'` says so, the pattern made from the
// keyword as the finder makes it ("*" as "%", "?" as "_", "%", "_" and "\" escaped).
#include "keywordpattern.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::string likePattern(std::string_view keyword)
{
    std::string pattern;
    for (const char c : keyword) {
        if (c == '*' || c == '?') {
            pattern += c == '*' ? '%' : '_';
            continue;
        }
        if (c == '%' || c == '_' || c == '\\') {
            pattern += '\\';
        }
        pattern += c;
    }
    return pattern;
}

sqlite3_stmt *likeStatement()
{
    static sqlite3 *db = nullptr;
    static sqlite3_stmt *stmt = nullptr;
    if (!stmt) {
        if (sqlite3_open(":memory:", &db) != SQLITE_OK
            || sqlite3_prepare_v2(db, "SELECT ?1 LIKE ?2 ESCAPE '\\'", -1, &stmt, nullptr) != SQLITE_OK) {
            abort();
        }
    }
    return stmt;
}

bool sqliteLike(std::string_view text, const std::string &pattern)
{
    sqlite3_stmt *stmt = likeStatement();
    sqlite3_reset(stmt);
    sqlite3_bind_text(stmt, 1, text.data(), int(text.size()), SQLITE_STATIC);
    sqlite3_bind_text(stmt, 2, pattern.data(), int(pattern.size()), SQLITE_STATIC);
    if (sqlite3_step(stmt) != SQLITE_ROW) {
        return false; // a pattern SQLite refuses (too long) matches nothing there either
    }
    return sqlite3_column_int(stmt, 0) != 0;
}

[[noreturn]] void reportMismatch(std::string_view keyword, std::string_view text, bool mine, bool sqlite)
{
    fprintf(stderr, "keyword of %zu bytes, text of %zu bytes: engine says %d, SQLite %d\n", keyword.size(),
            text.size(), int(mine), int(sqlite));
    abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    const std::string_view input(reinterpret_cast<const char *>(data) + 1, size - 1);
    const std::string_view keyword = input.substr(0, std::min<size_t>(data[0], input.size()));
    std::string_view rest = input.substr(keyword.size());
    const KeywordPattern pattern(keyword);
    const std::string like = likePattern(keyword.substr(0, keyword.find('\0')));
    CatalogueBlobs::TextBlock block;
    std::vector<bool> expected;
    while (block.size() < 64 && !rest.empty()) {
        const size_t end = rest.find('\n');
        const std::string_view text = rest.substr(0, end);
        const bool sqlite = sqliteLike(text, like);
        const bool mine = pattern.matches(text);
        if (mine != sqlite) {
            reportMismatch(keyword, text, mine, sqlite);
        }
        block.bytes.append(text);
        block.ends.push_back(uint32_t(block.bytes.size()));
        expected.push_back(sqlite);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    const uint64_t mask = pattern.matchBlock(block);
    for (size_t i = 0; i < block.size(); ++i) {
        if (bool(mask >> i & 1) != expected[i]) {
            reportMismatch(keyword, block.text(i), mask >> i & 1, expected[i]);
        }
    }
    return 0;
}
