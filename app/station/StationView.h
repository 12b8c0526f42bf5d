#pragma once
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace tonvane::station {

// What a drive of the station is doing.
enum class DriveActivity : uint8_t { Waiting, Loading, LookingUp, Ripping, Ejecting, Gone, Stopped };
const char* activityText(DriveActivity activity);

// One drive's line: "drive  activity  disc  track n/m  [#####.....]  42%".
struct DriveLine {
    std::string drive;
    DriveActivity activity = DriveActivity::Waiting;
    std::string disc; // album or sheet; empty while waiting
    int32_t track = 0; // on the disc; 0 when none is being converted
    int32_t tracks = 0;
    double fraction = 0.0; // of the disc's selected tracks, 0 to 1
};

inline constexpr int kProgressBarCells = 20;
inline constexpr int kDefaultColumns = 80;

// The station's screen. On a terminal: one line per drive with its progress bar, redrawn in
// place, with the notes (one per disc and event) scrolling above them. Elsewhere: the notes, and
// a plain line whenever a drive starts doing something else (no control codes, no bar).
class StationView {
public:
    StationView(std::FILE* out, bool terminal, int columns = kDefaultColumns);
    // The drives' state now; a terminal redraws, a plain output prints what changed.
    void show(const std::vector<DriveLine>& drives);
    // A line of its own (thread-safe).
    void note(const std::string& line);
    // Leaves the last drive lines on the screen.
    void finish();

    // One drive line as the terminal shows it, cut to the width.
    static std::string liveLine(const DriveLine& line, int columns);

private:
    void eraseLive();
    void drawLive();

    std::mutex m_mutex;
    std::FILE* m_out;
    bool m_terminal;
    int m_columns;
    int m_linesShown = 0;
    std::vector<DriveLine> m_drives;
    std::vector<std::string> m_plainShown; // per drive: the last plain line printed
};

} // namespace tonvane::station
