#ifndef KEYWORDLIKEPATTERN_H
#define KEYWORDLIKEPATTERN_H

// The one reference of what a file-name keyword means, for the engine's tests and its
// fuzz target: the SQLite LIKE pattern (with ESCAPE '\') that matches exactly the texts
// the keyword does. "*" is "%", "?" is "_", and LIKE's own "%", "_" and "\" are escaped.

#include <string>
#include <string_view>

inline std::string keywordLikePattern(std::string_view keyword)
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

#endif // KEYWORDLIKEPATTERN_H
