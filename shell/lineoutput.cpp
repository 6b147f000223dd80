#include "lineoutput.h"

#include <cstdlib>
#include <unistd.h>

namespace {

const char colourOn[] = "\033[1;32m";
const char colourOff[] = "\033[0m";

} // namespace

LineOutput::LineOutput(std::FILE *out, Format format, bool nulEnds)
    : out(out), kind(format), nul(nulEnds), colour(format == Format::Text && !nulEnds && wantsColour(out))
{
}

bool LineOutput::wantsColour(std::FILE *out)
{
    const char *noColour = std::getenv("NO_COLOR");
    return isatty(fileno(out)) && !(noColour && *noColour);
}

void LineOutput::end()
{
    std::fputc(nul ? '\0' : '\n', out);
}

void LineOutput::text(const std::string &highlight, const std::string &rest)
{
    if (colour && !highlight.empty()) {
        std::fputs(colourOn, out);
        std::fwrite(highlight.data(), 1, highlight.size(), out);
        std::fputs(colourOff, out);
    } else {
        std::fwrite(highlight.data(), 1, highlight.size(), out);
    }
    std::fwrite(rest.data(), 1, rest.size(), out);
    end();
}

void LineOutput::object(const std::vector<std::pair<std::string, std::string>> &fields)
{
    std::string line = "{";
    for (const auto &[name, value] : fields) {
        line += (line.size() > 1 ? "," : "") + jsonString(name) + ":" + value;
    }
    line += "}";
    std::fwrite(line.data(), 1, line.size(), out);
    end();
}

// A JSON string: quotes, backslashes and control characters escaped; bytes that are not
// UTF-8 (a file name may hold any bytes) as U+FFFD, so that every line parses.
std::string LineOutput::jsonString(const std::string &text)
{
    std::string json = "\"";
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            json += '\\';
            json += char(c);
            ++i;
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            json += escaped;
            ++i;
        } else if (c < 0x80) {
            json += char(c);
            ++i;
        } else {
            const size_t length = c >= 0xf0 && c < 0xf5 ? 4 : c >= 0xe0 ? 3 : c >= 0xc2 ? 2 : 0;
            bool valid = length > 0 && i + length <= text.size();
            for (size_t k = 1; valid && k < length; ++k) {
                valid = (static_cast<unsigned char>(text[i + k]) & 0xc0) == 0x80;
            }
            json += valid ? text.substr(i, length) : "\xef\xbf\xbd";
            i += valid ? length : 1;
        }
    }
    return json + "\"";
}
