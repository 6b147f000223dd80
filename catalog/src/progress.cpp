#include "progress.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace {
constexpr int kBarWidth = 30;
constexpr size_t kLabelWidth = 40;
} // namespace

void Progress::begin(const std::string &label, uint64_t total, uint64_t done)
{
    end();
    if (!m_enabled) {
        return;
    }
    // The lines carry the whole label, on one line; the bar shortens it to its width.
    m_label = label;
    if (m_lineFd >= 0) {
        std::replace(m_label.begin(), m_label.end(), '\n', ' ');
    } else if (label.size() > kLabelWidth) {
        m_label = "..." + label.substr(label.size() - kLabelWidth + 3);
    }
    m_total = std::max<uint64_t>(total, 1);
    m_active = true;
    m_lastPermille = -1;
    draw(done);
}

void Progress::update(uint64_t done)
{
    if (!m_active) {
        return;
    }
    if (m_lineFd >= 0) {
        draw(done);
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastDraw < std::chrono::milliseconds(100)) {
        return;
    }
    draw(done);
}

void Progress::draw(uint64_t done)
{
    const int permille = int(std::min<uint64_t>(done, m_total) * 1000 / m_total);
    if (permille == m_lastPermille) {
        return;
    }
    m_lastPermille = permille;
    m_lastDraw = std::chrono::steady_clock::now();
    if (m_lineFd >= 0) {
        writeLine("progress " + std::to_string(permille) + " " + m_label + "\n");
        return;
    }
    const int filled = permille * kBarWidth / 1000;
    std::fprintf(stderr, "\r%-*s [%.*s%*s] %5.1f%%", int(kLabelWidth), m_label.c_str(), filled,
                 "##############################", kBarWidth - filled, "", permille / 10.0);
    std::fflush(stderr);
}

void Progress::end()
{
    if (!m_active) {
        return;
    }
    m_active = false;
    if (m_lineFd >= 0) {
        writeLine("progress end\n");
        return;
    }
    std::fprintf(stderr, "\r%*s\r", int(kLabelWidth) + kBarWidth + 12, "");
    std::fflush(stderr);
}

// Each line in one write where the descriptor takes it, so that a reader sees whole lines;
// a reader that has gone makes the rest of the lines go nowhere.
void Progress::writeLine(const std::string &text) const
{
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(m_lineFd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        written += size_t(n);
    }
}
