// The read-offset search of both front ends against the demo drive that delivers its samples
// late or early and a record served on 127.0.0.1: the answer with its progress in order, a stop
// after the first track, a cancelled request that never reaches the server, and a server that
// holds its answer cut short from another thread.
#include "app/FakeHttpServer.h"
#include "cdrom/accuraterip/AccurateRipChecksum.h"
#include "cdrom/emulated/DemoDisc.h"
#include "cdrom/emulated/EmulatedDrive.h"
#include "cdrom/rip/DiscLoader.h"
#include "session/OffsetDetect.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <utility>
#include <vector>

using namespace tonvane;
using namespace tonvane::test;

namespace {

void putLe32(std::string& bytes, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<char>(value >> (8 * i)));
}

AccurateRipDiscId demoId()
{
    std::vector<DiscIdTrack> tracks;
    for (const EmulatedTrack& track : demoDrive()->disc()->tracks())
        tracks.push_back({track.start, track.kind == TrackKind::Audio});
    return *accurateRipDiscId(tracks, demoDrive()->disc()->leadOut());
}

// One pressing of the demo disc: each track's sector-450 checksum of the original audio.
std::string demoRecord(const AccurateRipDiscId& id)
{
    std::string block(1, static_cast<char>(id.audioTracks));
    putLe32(block, id.id1);
    putLe32(block, id.id2);
    putLe32(block, id.id3);
    for (const EmulatedTrack& track : demoDrive()->disc()->tracks()) {
        std::vector<uint8_t> sector(2352);
        demoDrive()->disc()->readSectors(track.start + kOffsetFindingSector, 1, sector.data());
        block.push_back(3);
        putLe32(block, 0);
        putLe32(block, sectorChecksum(sector.data()));
    }
    return block;
}

void load(ConversionJob& job, const std::string& drive)
{
    ASSERT_TRUE(loadDisc(job, drive).loaded) << drive;
}

} // namespace

TEST(OffsetDetect, FindsTheOffsetAndTellsEachTrackInOrder)
{
    const AccurateRipDiscId id = demoId();
    FakeHttpServer server(accurateRipPath(id), demoRecord(id));
    for (int32_t offset : {667, -1200, 0}) {
        std::string drive = "demo:offset=" + std::to_string(offset);
        ConversionJob job;
        load(job, drive);
        std::vector<std::pair<int32_t, int32_t>> told;
        OffsetDetectRequest request;
        request.drive = drive;
        request.accurateRipServer = server.address();
        request.progress = [&](int32_t done, int32_t total) { told.emplace_back(done, total); };
        OffsetDetectResult result = detectReadOffset(job, request);
        ASSERT_EQ(result.state, OffsetDetectState::Found) << offset << ": " << result.record.note;
        EXPECT_EQ(result.answer.offset, offset);
        EXPECT_EQ(result.answer.agreeing, job.count);
        EXPECT_EQ(result.answer.disagreeing, 0);
        std::vector<std::pair<int32_t, int32_t>> expected;
        for (int32_t done = 0; done <= job.count; ++done)
            expected.emplace_back(done, job.count);
        EXPECT_EQ(told, expected) << offset;
    }
}

TEST(OffsetDetect, AStopEndsTheSearchBeforeTheNextRead)
{
    const AccurateRipDiscId id = demoId();
    FakeHttpServer server(accurateRipPath(id), demoRecord(id));
    ConversionJob job;
    load(job, "demo:offset=30");
    std::atomic<bool> stop{false};
    OffsetDetectRequest request;
    request.drive = "demo:offset=30";
    request.accurateRipServer = server.address();
    request.stop = &stop;
    request.progress = [&](int32_t done, int32_t) {
        if (done == 1)
            stop = true;
    };
    OffsetDetectResult result = detectReadOffset(job, request);
    EXPECT_EQ(result.state, OffsetDetectState::Cancelled);
    EXPECT_EQ(result.evidence.size(), 1u) << "one track read, then the stop";
    EXPECT_FALSE(result.answer.offset);
}

TEST(OffsetDetect, ACancelledRequestNeverReachesTheServerAndAHeldOneIsCutShort)
{
    const AccurateRipDiscId id = demoId();
    std::atomic<bool> release{false}; // outlives the server that reads it
    FakeHttpServer server(accurateRipPath(id), demoRecord(id));
    server.holdAnswersUntil([&] { return release.load(); }, 30000);
    ConversionJob job;
    load(job, "demo:");

    FetchCancel early;
    early.cancel();
    OffsetDetectRequest request;
    request.drive = "demo:";
    request.accurateRipServer = server.address();
    request.fetchCancel = &early;
    OffsetDetectResult result = detectReadOffset(job, request);
    EXPECT_EQ(result.state, OffsetDetectState::NoRecord);
    EXPECT_EQ(result.record.state, AccurateRipRecord::State::NotChecked);
    EXPECT_TRUE(server.paths().empty()) << "a cancelled fetch connected";

    // Held by the server: a cancel from another thread ends the wait (the answer would come
    // only after 30 s).
    FetchCancel late;
    request.fetchCancel = &late;
    std::thread canceller([&] {
        while (server.paths().empty())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        late.cancel();
    });
    result = detectReadOffset(job, request);
    canceller.join();
    EXPECT_EQ(result.state, OffsetDetectState::NoRecord);
    EXPECT_EQ(result.record.state, AccurateRipRecord::State::NotChecked) << result.record.note;
    EXPECT_FALSE(release.load()) << "the server never let the answer go";
    release = true;
}
