#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// A one-line progress bar on stderr: bytes consumed of the current input
// against its size. Disabled (no output at all) unless stderr is a terminal
// and --quiet was not given.
class Progress
{
public:
    explicit Progress(bool enabled) : m_enabled(enabled) {}
    ~Progress() { end(); }

    void begin(const std::string &label, uint64_t total, uint64_t done = 0);
    void update(uint64_t done);
    void end(); // clears the line

private:
    void draw(uint64_t done);

    bool m_enabled;
    bool m_active = false;
    std::string m_label;
    uint64_t m_total = 0;
    int m_lastPermille = -1;
    std::chrono::steady_clock::time_point m_lastDraw;
};
