#include "Progress.h"

#include <algorithm>
#include <cstdio>

namespace {
constexpr int kBarWidth = 30;
constexpr size_t kLabelWidth = 40;
} // namespace

void Progress::begin(const std::string &label, uint64_t total, uint64_t done)
{
    end();
    if (!m_enabled)
        return;
    m_label = label.size() > kLabelWidth ? "..." + label.substr(label.size() - kLabelWidth + 3)
                                         : label;
    m_total = std::max<uint64_t>(total, 1);
    m_active = true;
    m_lastPermille = -1;
    draw(done);
}

void Progress::update(uint64_t done)
{
    if (!m_active)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastDraw < std::chrono::milliseconds(100))
        return;
    draw(done);
}

void Progress::draw(uint64_t done)
{
    const int permille = int(std::min<uint64_t>(done, m_total) * 1000 / m_total);
    if (permille == m_lastPermille)
        return;
    m_lastPermille = permille;
    m_lastDraw = std::chrono::steady_clock::now();
    const int filled = permille * kBarWidth / 1000;
    std::fprintf(stderr, "\r%-*s [%.*s%*s] %5.1f%%", int(kLabelWidth), m_label.c_str(), filled,
                 "##############################", kBarWidth - filled, "", permille / 10.0);
    std::fflush(stderr);
}

void Progress::end()
{
    if (!m_active)
        return;
    m_active = false;
    std::fprintf(stderr, "\r%*s\r", int(kLabelWidth) + kBarWidth + 12, "");
    std::fflush(stderr);
}
