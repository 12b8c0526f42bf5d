#include "cdrom/emulated/EmulatedDisc.h"

#include <algorithm>
#include <cstring>
#include <unistd.h>

namespace tonvane {

struct EmulatedDisc::GeneratedAudio {
    uint32_t seed = 0;
    uint32_t sectors = 0;
    std::once_flag made;
    std::vector<uint8_t> pcm;

    const std::vector<uint8_t>& bytes()
    {
        std::call_once(made, [this] {
            pcm.resize(size_t{sectors} * kEmulatedSectorBytes);
            generateMusic(seed, sectors, pcm.data());
        });
        return pcm;
    }
};

EmulatedDisc::EmulatedDisc() = default;

EmulatedDisc::~EmulatedDisc()
{
    for (int fd : m_files)
        ::close(fd);
}

uint32_t EmulatedDisc::addFile(int fd)
{
    m_files.push_back(fd);
    return static_cast<uint32_t>(m_files.size() - 1);
}

uint32_t EmulatedDisc::addMemory(std::vector<uint8_t> bytes)
{
    m_memory.push_back(std::move(bytes));
    return static_cast<uint32_t>(m_memory.size() - 1);
}

uint32_t EmulatedDisc::addGenerated(uint32_t seed, uint32_t sectors)
{
    auto audio = std::make_unique<GeneratedAudio>();
    audio->seed = seed;
    audio->sectors = sectors;
    m_generated.push_back(std::move(audio));
    return static_cast<uint32_t>(m_generated.size() - 1);
}

const EmulatedTrack* EmulatedDisc::trackAt(uint32_t lba) const
{
    for (const EmulatedTrack& track : m_tracks) {
        uint64_t first = track.start >= track.pregap ? track.start - track.pregap : 0;
        if (lba >= first && lba < uint64_t{track.start} + track.length)
            return &track;
    }
    return nullptr;
}

bool EmulatedDisc::readSectors(uint32_t lba, uint32_t count, uint8_t* out) const
{
    // First segment ending after lba; segments are sorted and do not overlap.
    auto segment = std::upper_bound(m_segments.begin(), m_segments.end(), lba,
        [](uint32_t value, const SectorSegment& s) { return value < uint64_t{s.firstLba} + s.sectors; });
    uint64_t next = lba;
    uint64_t end = uint64_t{lba} + count;
    while (next < end) {
        if (segment == m_segments.end() || next < segment->firstLba)
            return false;
        uint64_t within = next - segment->firstLba;
        uint64_t take = std::min<uint64_t>(end, uint64_t{segment->firstLba} + segment->sectors) - next;
        size_t bytes = static_cast<size_t>(take * kEmulatedSectorBytes);
        uint64_t offset = segment->byteOffset + within * kEmulatedSectorBytes;
        switch (segment->source) {
        case SectorSegment::Source::Silence:
            std::memset(out, 0, bytes);
            break;
        case SectorSegment::Source::Memory:
        case SectorSegment::Source::Generated: {
            const std::vector<uint8_t>& memory = segment->source == SectorSegment::Source::Memory
                ? m_memory.at(segment->index)
                : m_generated.at(segment->index)->bytes();
            if (offset + bytes > memory.size())
                return false;
            std::memcpy(out, memory.data() + offset, bytes);
            break;
        }
        case SectorSegment::Source::File: {
            int fd = m_files.at(segment->index);
            size_t done = 0;
            while (done < bytes) {
                ssize_t got = ::pread(fd, out + done, bytes - done, static_cast<off_t>(offset + done));
                if (got <= 0)
                    return false;
                done += static_cast<size_t>(got);
            }
            break;
        }
        }
        out += bytes;
        next += take;
        ++segment;
    }
    return true;
}

std::shared_ptr<const EmulatedDisc> buildDisc(const DiscDescription& description)
{
    if (description.tracks.empty() || description.tracks.size() > 99)
        return nullptr;
    auto disc = std::make_shared<EmulatedDisc>();
    uint64_t cursor = 0;
    uint8_t session = 1;
    std::vector<EmulatedTrack> tracks;
    for (size_t i = 0; i < description.tracks.size(); ++i) {
        const DiscTrackDescription& t = description.tracks[i];
        if (t.lengthSectors == 0)
            return nullptr;
        bool restAreData = std::all_of(description.tracks.begin() + static_cast<ptrdiff_t>(i), description.tracks.end(),
            [](const DiscTrackDescription& s) { return s.kind == TrackKind::Data; });
        bool opensDataSession = description.dataSessionAfterAudio && i > 0 && session == 1 && restAreData &&
            description.tracks[i - 1].kind == TrackKind::Audio;
        EmulatedTrack track;
        track.number = static_cast<uint8_t>(i + 1);
        track.kind = t.kind;
        if (opensDataSession) {
            disc->addSessionLeadOut(static_cast<uint32_t>(cursor));
            cursor += kSessionGapSectors;
            session = 2;
        } else if (i > 0 && t.pregapSectors != 0) {
            disc->addSegment({static_cast<uint32_t>(cursor), t.pregapSectors, SectorSegment::Source::Silence, 0, 0});
            track.pregap = t.pregapSectors;
            cursor += t.pregapSectors;
        }
        if (cursor + t.lengthSectors > kMaxDiscSectors + kSessionGapSectors)
            return nullptr;
        track.session = session;
        track.start = static_cast<uint32_t>(cursor);
        track.length = t.lengthSectors;
        SectorSegment content{track.start, t.lengthSectors, SectorSegment::Source::Silence, 0, 0};
        if (t.kind == TrackKind::Audio && !description.silentAudio) {
            content.source = SectorSegment::Source::Generated;
            content.index = disc->addGenerated(t.seed, t.lengthSectors);
        }
        disc->addSegment(content);
        tracks.push_back(track);
        cursor += t.lengthSectors;
    }
    disc->addSessionLeadOut(static_cast<uint32_t>(cursor));
    // A track runs to the next track's start (its pregap included) within its session.
    for (size_t i = 0; i + 1 < tracks.size(); ++i) {
        if (tracks[i + 1].session == tracks[i].session)
            tracks[i].length = tracks[i + 1].start - tracks[i].start;
    }
    for (const EmulatedTrack& track : tracks)
        disc->addTrack(track);
    return disc;
}

} // namespace tonvane
