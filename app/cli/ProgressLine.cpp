#include "ProgressLine.h"

#include <cstdio>

namespace app {
namespace {

// Redrawing on every row would cost more than the row itself.
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

std::string duration(std::chrono::seconds seconds)
{
    const long total = static_cast<long>(seconds.count());
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60,
                      total % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}

} // namespace

void ProgressLine::start(std::string check, Clock::time_point now)
{
    m_check = std::move(check);
    m_started = now;
    m_percent = -1;
    m_items = 0;
    draw(now, true);
}

void ProgressLine::setPercent(int percent, Clock::time_point now)
{
    const bool changed = percent != m_percent;
    m_percent = percent;
    if (changed)
        draw(now, false);
}

void ProgressLine::addItem(Clock::time_point now)
{
    ++m_items;
    draw(now, false);
}

std::string ProgressLine::text(Clock::time_point now) const
{
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(now - m_started);
    std::string line = m_check + ": ";
    if (m_percent < 0)
        return line + std::to_string(m_items) + " log lines, " + duration(elapsed) + " elapsed";
    line += std::to_string(m_percent) + "%";
    if (m_percent > 0 && m_percent < 100) {
        const auto left = elapsed * (100 - m_percent) / m_percent;
        line += ", about " + duration(left) + " left";
    }
    return line;
}

void ProgressLine::draw(Clock::time_point now, bool force)
{
    if (!m_terminal || (!force && m_shown && now - m_drawn < kRedrawInterval))
        return;
    m_drawn = now;
    m_lastText = text(now);
    m_out << "\r\033[K" << m_lastText << std::flush;
    m_shown = true;
}

void ProgressLine::clear()
{
    if (!m_shown)
        return;
    m_out << "\r\033[K" << std::flush;
    m_shown = false;
}

void ProgressLine::finish()
{
    clear();
    m_check.clear();
}

void ProgressLine::redraw()
{
    if (!m_terminal || m_check.empty() || m_shown)
        return;
    m_out << m_lastText << std::flush;
    m_shown = true;
}

} // namespace app
