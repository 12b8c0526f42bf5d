#include "app/station/StationView.h"

#include "app/cli/TerminalText.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tonvane::station {

namespace {

std::string bar(double fraction)
{
    int filled = static_cast<int>(std::floor(std::clamp(fraction, 0.0, 1.0) * kProgressBarCells));
    return "[" + std::string(static_cast<size_t>(filled), '#') +
           std::string(static_cast<size_t>(kProgressBarCells - filled), '.') + "]";
}

std::string plainLine(const DriveLine& line)
{
    std::string text = terminalText(line.drive) + ": " + activityText(line.activity);
    if (!line.disc.empty())
        text += " " + terminalText(line.disc);
    return text;
}

// At most columns characters of UTF-8 text, cut between characters.
std::string cutToColumns(const std::string& text, size_t columns)
{
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        bool starts = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (starts && characters++ == columns)
            return text.substr(0, i);
    }
    return text;
}

} // namespace

const char* activityText(DriveActivity activity)
{
    switch (activity) {
    case DriveActivity::Waiting:
        return "waiting for a disc";
    case DriveActivity::Loading:
        return "reading the disc";
    case DriveActivity::LookingUp:
        return "looking up";
    case DriveActivity::Ripping:
        return "ripping";
    case DriveActivity::Ejecting:
        return "ejecting";
    case DriveActivity::Gone:
        return "not answering";
    case DriveActivity::Stopped:
        return "stopped";
    }
    return "";
}

StationView::StationView(std::FILE* out, bool terminal, int columns)
    : m_out(out), m_terminal(terminal), m_columns(std::max(columns, 20))
{
}

std::string StationView::liveLine(const DriveLine& line, int columns)
{
    std::string text = terminalText(line.drive) + "  ";
    if (line.activity == DriveActivity::Ripping) {
        char numbers[64];
        std::snprintf(numbers, sizeof numbers, "  track %d/%d  %s %3d%%", line.track, line.tracks,
                      bar(line.fraction).c_str(), static_cast<int>(std::clamp(line.fraction, 0.0, 1.0) * 100.0));
        // The disc's name gives way first when the line is too long.
        int room = columns - 1 - static_cast<int>(text.size()) - static_cast<int>(std::strlen(numbers));
        text += cutToColumns(terminalText(line.disc), static_cast<size_t>(std::max(room, 0))) + numbers;
    } else {
        text += activityText(line.activity);
        if (!line.disc.empty())
            text += "  " + terminalText(line.disc);
    }
    return cutToColumns(text, static_cast<size_t>(std::max(0, columns - 1)));
}

void StationView::eraseLive()
{
    if (m_linesShown > 0)
        std::fprintf(m_out, "\x1b[%dA\x1b[J", m_linesShown); // up to the first live line, clear below
    m_linesShown = 0;
}

void StationView::drawLive()
{
    for (const DriveLine& line : m_drives)
        std::fprintf(m_out, "%s\n", liveLine(line, m_columns).c_str());
    m_linesShown = static_cast<int>(m_drives.size());
    std::fflush(m_out);
}

void StationView::show(const std::vector<DriveLine>& drives)
{
    std::lock_guard lock(m_mutex);
    m_drives = drives;
    if (m_terminal) {
        eraseLive();
        drawLive();
        return;
    }
    m_plainShown.resize(drives.size());
    for (size_t i = 0; i < drives.size(); ++i) {
        std::string text = plainLine(drives[i]);
        if (text == m_plainShown[i])
            continue;
        m_plainShown[i] = text;
        std::fprintf(m_out, "%s\n", text.c_str());
    }
    std::fflush(m_out);
}

void StationView::note(const std::string& line)
{
    std::lock_guard lock(m_mutex);
    if (m_terminal)
        eraseLive();
    std::fprintf(m_out, "%s\n", terminalText(line).c_str());
    if (m_terminal)
        drawLive();
    std::fflush(m_out);
}

void StationView::finish()
{
    std::lock_guard lock(m_mutex);
    m_linesShown = 0;
    std::fflush(m_out);
}

} // namespace tonvane::station
