#ifndef LINEOUTPUT_H
#define LINEOUTPUT_H

// How quorvi-find writes its results: lines of text (a package name in colour on a terminal,
// never with NO_COLOR set), one JSON object a line, and either of them ended by NUL instead
// of a newline for `xargs -0`. No Qt.

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

class LineOutput
{
public:
    enum class Format { Text, Json };

    LineOutput(std::FILE *out, Format format, bool nulEnds);

    Format format() const { return kind; }
    // Colour only for text on a terminal, and never when NO_COLOR is set and not empty.
    static bool wantsColour(std::FILE *out);

    // A text line; `highlight` (a package name at its start) in colour where wanted.
    void text(const std::string &highlight, const std::string &rest = {});
    // One JSON object, its fields in the order given; each value is JSON text already
    // (jsonString(), "null", "true", "false").
    void object(const std::vector<std::pair<std::string, std::string>> &fields);

    static std::string jsonString(const std::string &text);

private:
    void end();

    std::FILE *out;
    Format kind;
    bool nul;
    bool colour;
};

#endif // LINEOUTPUT_H
