#pragma once

// Shared harness of the parser fuzz targets.
//
// Each input is parsed twice: once served in one large read, once in tiny
// reads through a LineReader with a tiny block size, so that lines and XML
// tokens straddle buffer boundaries. What the builder produces must not
// depend on how the decompressor happens to chunk its output, so the two
// runs must agree:
//  - Agreement::Exact (line-based parsers): the same callbacks in the same
//    order and the same ParseError text, line number included.
//  - Agreement::Verdict (XML parsers): both accept with the same callbacks,
//    or both throw ParseError. QXmlStreamReader decodes each block it reads
//    at once and reports an encoding error where parsing stood when that
//    block was decoded, so the position (and, with several faults, which
//    fault is reported first) legitimately depends on the block size; the
//    builder stops at the first ParseError, so callbacks made before it do
//    not matter either.
// A ParseError is the expected outcome for bad input; any other exception,
// or a disagreement between the two runs, aborts, which libFuzzer (and the
// replay runner under CTest) reports as a failure.

#include "bytesource.h"
#include "memorysource.h"
#include "parseerror.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>

namespace fuzz {

// Records what a parser reported, unambiguously (length-prefixed fields).
class Trace
{
public:
    void field(std::string_view text)
    {
        m_text += std::to_string(text.size());
        m_text += ':';
        m_text.append(text.data(), text.size());
    }
    void field(uint64_t number) { field(std::string_view(std::to_string(number))); }
    void end() { m_text += '\n'; }

    const std::string &text() const { return m_text; }
    std::string &text() { return m_text; }

private:
    std::string m_text;
};

struct Reading
{
    size_t chunk;     // largest read MemorySource hands out
    size_t lineBlock; // LineReader block size (line-based parsers only)
};

// The whole input in one read; the line block just fits it, which behaves
// like the builder's 1 MiB block for any input up to 1 MiB without paying
// for a 2 MiB buffer on every run.
inline Reading wholeReading(size_t size)
{
    return {size_t(1) << 20, size + 1};
}
constexpr Reading kTiny{3, 5};

enum class Agreement { Exact, Verdict };

[[noreturn]] inline void fail(const char *what, const std::string &detail)
{
    std::fprintf(stderr, "FUZZ FINDING: %s\n%s\n", what, detail.c_str());
    std::fflush(stderr);
    std::abort();
}

struct Outcome
{
    std::string trace;  // callbacks, then "OK" or the ParseError text
    bool failed = false; // ended in a ParseError
};

// Runs `parse(ByteSource &, size_t lineBlock, Trace &)` on `data` read as
// `reading`.
template<typename Parse>
Outcome runOnce(const char *file, std::string_view data, Reading reading, Parse &&parse)
{
    MemorySource source(file, data, reading.chunk);
    Trace trace;
    Outcome outcome;
    try {
        parse(static_cast<ByteSource &>(source), reading.lineBlock, trace);
        trace.text() += "OK\n";
    } catch (const ParseError &e) {
        trace.text() += "ParseError: ";
        trace.text() += e.what();
        trace.text() += '\n';
        outcome.failed = true;
    } catch (const std::exception &e) {
        fail("exception other than ParseError escaped the parser", e.what());
    } catch (...) {
        fail("non-std exception escaped the parser", std::string());
    }
    outcome.trace = std::move(trace.text());
    return outcome;
}

// Shortens a trace for the failure message.
inline std::string clip(const std::string &text)
{
    constexpr size_t kMax = 4000;
    return text.size() <= kMax ? text : text.substr(0, kMax) + "...(clipped)";
}

template<typename Parse>
void parseBothWays(const char *file, const uint8_t *data, size_t size, Agreement agreement,
                   Parse &&parse)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    const Outcome whole = runOnce(file, bytes, wholeReading(size), parse);
    const Outcome tiny = runOnce(file, bytes, kTiny, parse);
    if (agreement == Agreement::Verdict && whole.failed && tiny.failed) {
        return;
    }
    if (whole.trace != tiny.trace) {
        fail("result depends on read chunking", "--- read whole:\n" + clip(whole.trace)
                                                    + "--- read in tiny chunks:\n"
                                                    + clip(tiny.trace));
    }
}

} // namespace fuzz
