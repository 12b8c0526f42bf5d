#include "cdrom/accuraterip/OffsetDetection.h"

#include "cdrom/accuraterip/AccurateRipChecksum.h"
#include "cdrom/accuraterip/OffsetSearch.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace tonvane {

namespace {

constexpr size_t kSectorBytes = size_t{kWordsPerSector} * 4; // [bytes]

// The sector that offset n makes the disc's sector 450 (see offsetsMatching).
const uint8_t* sectorAtOffset(const uint8_t* window, int32_t n)
{
    return window + (int64_t{kOffsetWindowBefore} * kWordsPerSector + n) * 4;
}

bool isSilence(const uint8_t* sector)
{
    return std::all_of(sector, sector + kSectorBytes, [](uint8_t byte) { return byte == 0; });
}

} // namespace

TrackOffsetEvidence weighOffsetWindow(int32_t trackNumber, const uint8_t* window, const std::vector<uint32_t>& crcs)
{
    TrackOffsetEvidence evidence;
    evidence.trackNumber = trackNumber;
    if (!window || crcs.empty())
        return evidence;
    bool silenceMatched = false;
    for (uint32_t crc : crcs) {
        for (int32_t n : offsetsMatching(window, crc)) {
            if (isSilence(sectorAtOffset(window, n)))
                silenceMatched = true;
            else if (std::find(evidence.candidates.begin(), evidence.candidates.end(), n) == evidence.candidates.end())
                evidence.candidates.push_back(n);
        }
    }
    std::sort(evidence.candidates.begin(), evidence.candidates.end());
    if (evidence.candidates.size() == 1)
        evidence.kind = OffsetEvidence::Unique;
    else if (evidence.candidates.size() > 1)
        evidence.kind = OffsetEvidence::Ambiguous;
    else
        evidence.kind = silenceMatched ? OffsetEvidence::Silence : OffsetEvidence::NoMatch;
    return evidence;
}

OffsetAnswer decideReadOffset(const std::vector<TrackOffsetEvidence>& tracks)
{
    std::map<int32_t, int32_t> votes; // offset -> tracks
    int32_t unique = 0;
    for (const TrackOffsetEvidence& track : tracks) {
        if (track.kind != OffsetEvidence::Unique)
            continue;
        ++votes[track.candidates.front()];
        ++unique;
    }
    OffsetAnswer answer;
    int32_t best = 0, tiedAtBest = 0;
    for (auto [offset, count] : votes) {
        if (count > best) {
            best = count;
            tiedAtBest = 1;
            answer.offset = offset;
        } else if (count == best) {
            ++tiedAtBest;
        }
    }
    if (tiedAtBest != 1)
        return {};
    answer.agreeing = best;
    answer.disagreeing = unique - best;
    return answer;
}

// One line of `offset --verbose`: what the track's window showed.
std::string describeOffsetEvidence(const TrackOffsetEvidence& track)
{
    char head[32];
    std::snprintf(head, sizeof head, "Track %2d: ", track.trackNumber);
    std::string line = head;
    switch (track.kind) {
    case OffsetEvidence::NotRead:
        return line + "not read (too short, not in the record, or unreadable)";
    case OffsetEvidence::NoMatch:
        return line + "no offset matches";
    case OffsetEvidence::Silence:
        return line + "only silence matches: no evidence";
    case OffsetEvidence::Ambiguous:
    case OffsetEvidence::Unique:
        break;
    }
    line += track.kind == OffsetEvidence::Unique ? "matches at" : "ambiguous, matches at";
    for (int32_t offset : track.candidates)
        line += " " + std::string(offset > 0 ? "+" : "") + std::to_string(offset);
    return line;
}

} // namespace tonvane
