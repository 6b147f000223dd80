#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// How far the build is: bytes consumed of the current input against its size, or the
// step of the catalogue being written. Two forms:
// - a one-line bar on stderr, redrawn in place, when stderr is a terminal and --quiet
//   was not given;
// - with --progress-fd FD, lines for a program that shows the build (the finder's
//   progress dialog) on that descriptor, one each time a step begins or its share done
//   changes by a tenth of a percent: "progress PERMILLE LABEL\n" (PERMILLE 0 to 1000,
//   LABEL the input's path or "writing STEP"), and "progress end\n" when a step ends.
// Otherwise it writes nothing.
class Progress
{
public:
    explicit Progress(bool enabled, int lineFd = -1) : m_enabled(enabled || lineFd >= 0), m_lineFd(lineFd) {}
    ~Progress() { end(); }

    void begin(const std::string &label, uint64_t total, uint64_t done = 0);
    void update(uint64_t done);
    void end(); // clears the line

private:
    void draw(uint64_t done);
    void writeLine(const std::string &text) const;

    bool m_enabled;
    int m_lineFd;
    bool m_active = false;
    std::string m_label;
    uint64_t m_total = 0;
    int m_lastPermille = -1;
    std::chrono::steady_clock::time_point m_lastDraw;
};
