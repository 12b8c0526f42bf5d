// The loudness of a rip from the demo disc, checked against libebur128 run on the decoded files,
// and the tags as the reference tools read them.
#include "session/RipSession.h"
#include "session/SessionEventQueue.h"
#include "cdrom/emulated/DemoDisc.h"
#include "cdrom/emulated/EmulatedDrive.h"
#include "cdrom/rip/DiscLoader.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <ebur128.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>

using namespace tonvane;
using namespace tonvane::test;

namespace {

constexpr int32_t kMp3 = 0, kVorbis = 1, kFlac = 2, kWav = 3;

class Phases final : public SessionObserver {
public:
    void onPhase(SessionPhase phase, const std::string& detail) override
    {
        phases.push_back(std::string(sessionPhaseName(phase)) + ": " + detail);
    }
    void onNote(const std::string& line) override { notes.push_back(line); }
    void onEnded(const SessionOutcome& result) override
    {
        outcome = result;
        ended = true;
    }
    std::vector<std::string> phases, notes;
    SessionOutcome outcome;
    bool ended = false;
};

std::string run(const std::vector<std::string>& argv)
{
    ProcessResult result = runProcess(argv[0], std::vector<std::string>(argv.begin() + 1, argv.end()));
    EXPECT_EQ(result.exitCode, 0) << argv[0] << ": " << result.err;
    return result.out;
}

// NAME=value lines of a tool's output.
std::map<std::string, std::string> tagLines(const std::string& text)
{
    std::map<std::string, std::string> tags;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? text.size() : end + 1;
        size_t equals = line.find('=');
        if (equals != std::string::npos)
            tags[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return tags;
}

double gainOf(const std::string& text)
{
    return std::stod(text); // "-7.03 dB"
}

class RipSessionLoudnessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* tool : {"/usr/bin/flac", "/usr/bin/metaflac", "/usr/bin/vorbiscomment"})
            if (!std::filesystem::exists(tool))
                GTEST_SKIP() << tool << " is not installed";
        ASSERT_TRUE(loadDisc(job, "demo:").loaded);
        settings.drive = "demo:";
        settings.folder = folder.path();
        settings.accurateRip = false;
        settings.version = "Tonvane test";
    }
    // stopWhenDone: the session is interrupted once that track is whole.
    void rip(int32_t stopWhenDone = -1)
    {
        SessionEventQueue events;
        RipSession session(job, settings, observer, events.deliver());
        ASSERT_TRUE(session.start(nullptr));
        for (int i = 0; i < 2400 && !observer.ended; ++i) {
            events.waitFor(50);
            events.drain();
            if (stopWhenDone >= 0 && job.tracks[stopWhenDone].status.load() == TrackStatus::Done) {
                session.interrupt();
                stopWhenDone = -1;
            }
        }
        session.wait();
        ASSERT_TRUE(observer.ended);
    }
    std::string pathOf(int32_t index) { return job.outputPath(index).toUtf8(); }
    std::map<std::string, std::string> flacTags(int32_t index)
    {
        return tagLines(run({"/usr/bin/metaflac", "--export-tags-to=-", pathOf(index)}));
    }
    // libebur128 on the decoded file, as a person checking the tags would measure it.
    ebur128_state* measureDecoded(int32_t index)
    {
        std::string raw = folder.file("decoded.raw");
        run({"/usr/bin/flac", "-d", "-s", "-f", "--force-raw-format", "--endian=little", "--sign=signed", "-o", raw,
             pathOf(index)});
        std::string bytes = readFile(raw);
        std::vector<int16_t> samples(bytes.size() / 2);
        std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
        ebur128_state* state = ebur128_init(2, 44100, EBUR128_MODE_I | EBUR128_MODE_SAMPLE_PEAK);
        ebur128_add_frames_short(state, samples.data(), samples.size() / 2);
        return state;
    }

    TempDir config;
    ScopedEnv configHome{"XDG_CONFIG_HOME", config.path().c_str()};
    TempDir folder;
    ConversionJob job;
    SessionSettings settings;
    Phases observer;
};

TEST_F(RipSessionLoudnessTest, TrackAndAlbumValuesMatchLibebur128OnTheDecodedFiles)
{
    for (int32_t i = 0; i < job.count; ++i)
        job.tracks[i].format = kFlac;
    rip();
    ASSERT_EQ(observer.outcome.whole, job.count);
    EXPECT_TRUE(observer.outcome.problems.empty());

    std::vector<ebur128_state*> states;
    std::string albumGain;
    for (int32_t i = 0; i < job.count; ++i) {
        SCOPED_TRACE(i);
        states.push_back(measureDecoded(i));
        double loudness = 0, left = 0, right = 0;
        ebur128_loudness_global(states.back(), &loudness);
        ebur128_sample_peak(states.back(), 0, &left);
        ebur128_sample_peak(states.back(), 1, &right);
        std::map<std::string, std::string> tags = flacTags(i);
        EXPECT_NEAR(gainOf(tags["REPLAYGAIN_TRACK_GAIN"]), -18.0 - loudness, 0.01);
        EXPECT_NEAR(std::stod(tags["REPLAYGAIN_TRACK_PEAK"]), std::max(left, right), 1e-6);
        EXPECT_EQ(tags["REPLAYGAIN_TRACK_GAIN"].substr(tags["REPLAYGAIN_TRACK_GAIN"].size() - 3), " dB");
        if (i > 0) {
            EXPECT_EQ(tags["REPLAYGAIN_ALBUM_GAIN"], albumGain); // one album value in every file
        }
        albumGain = tags["REPLAYGAIN_ALBUM_GAIN"];
    }
    double album = 0;
    ebur128_loudness_global_multiple(states.data(), states.size(), &album);
    EXPECT_NEAR(gainOf(albumGain), -18.0 - album, 0.01);
    for (ebur128_state*& state : states)
        ebur128_destroy(&state);

    // The log names every track's values and the album's.
    std::string log = readFile(observer.outcome.logPath);
    EXPECT_NE(log.find("ReplayGain album: gain " + albumGain), std::string::npos) << log;
    EXPECT_NE(log.find("  ReplayGain: gain " + flacTags(0)["REPLAYGAIN_TRACK_GAIN"] + ", peak " +
                       flacTags(0)["REPLAYGAIN_TRACK_PEAK"]),
              std::string::npos)
        << log;
}

TEST_F(RipSessionLoudnessTest, EveryFormatGetsItsTagsAndWavStaysPlain)
{
    const int32_t formats[] = {kFlac, kVorbis, kMp3, kWav};
    for (int32_t i = 0; i < job.count; ++i)
        job.tracks[i].format = formats[i % 4];
    rip();
    ASSERT_EQ(observer.outcome.whole, job.count);
    EXPECT_TRUE(observer.outcome.problems.empty());

    std::map<std::string, std::string> flac = flacTags(0);
    std::map<std::string, std::string> vorbis = tagLines(run({"/usr/bin/vorbiscomment", "-l", pathOf(1)}));
    EXPECT_EQ(vorbis["REPLAYGAIN_ALBUM_GAIN"], flac["REPLAYGAIN_ALBUM_GAIN"]);
    EXPECT_EQ(vorbis["REPLAYGAIN_ALBUM_PEAK"], flac["REPLAYGAIN_ALBUM_PEAK"]);
    EXPECT_FALSE(vorbis["REPLAYGAIN_TRACK_GAIN"].empty());
    EXPECT_EQ(run({"/usr/bin/ogginfo", pathOf(1)}).find("WARNING"), std::string::npos);
    bool mutagen = std::filesystem::exists("/usr/bin/python3") &&
                   runProcess("/usr/bin/python3", {"-c", "import mutagen"}).exitCode == 0;
    if (mutagen) {
        std::string mp3 = run({"/usr/bin/python3", "-c",
                               "import sys, mutagen\n"
                               "f = mutagen.File(sys.argv[1])\n"
                               "for k, v in f.tags.items():\n"
                               "    if hasattr(v, 'text'): print('%s=%s' % (k, v.text[0]))\n"
                                      "    else: print('%s=%s' % (k.upper(), v[0] if isinstance(v, list) else v))\n",
                               pathOf(2)});
        std::map<std::string, std::string> id3 = tagLines(mp3);
        EXPECT_EQ(id3["TXXX:REPLAYGAIN_ALBUM_GAIN"], flac["REPLAYGAIN_ALBUM_GAIN"]);
        EXPECT_FALSE(id3["TXXX:REPLAYGAIN_TRACK_PEAK"].empty());
    }
    std::string wav = readFile(pathOf(3));
    EXPECT_EQ(wav.size(), 44u + uint64_t(job.tracks[3].length) * 2352);
    EXPECT_EQ(wav.find("REPLAYGAIN"), std::string::npos);
    std::string log = readFile(observer.outcome.logPath);
    EXPECT_NE(log.find("(the format has no such tags)"), std::string::npos) << log;
}

TEST_F(RipSessionLoudnessTest, ASingleTrackIsItsOwnAlbum)
{
    for (int32_t i = 0; i < job.count; ++i) {
        job.tracks[i].format = kFlac;
        job.tracks[i].selected = i == 1;
    }
    rip();
    std::map<std::string, std::string> tags = flacTags(1);
    EXPECT_FALSE(tags["REPLAYGAIN_TRACK_GAIN"].empty());
    EXPECT_EQ(tags["REPLAYGAIN_ALBUM_GAIN"], tags["REPLAYGAIN_TRACK_GAIN"]);
    EXPECT_EQ(tags["REPLAYGAIN_ALBUM_PEAK"], tags["REPLAYGAIN_TRACK_PEAK"]);
}

TEST_F(RipSessionLoudnessTest, AFailedTrackIsNotTaggedNorCountedForTheAlbum)
{
    for (int32_t i = 0; i < job.count; ++i)
        job.tracks[i].format = kFlac;
    EmulatedFaults unreadable;
    unreadable.readFaults.push_back(ReadFault{static_cast<uint32_t>(job.tracks[2].start + 100)});
    setDemoFaults(unreadable);
    rip();
    setDemoFaults(EmulatedFaults{});
    ASSERT_EQ(job.tracks[2].status.load(), TrackStatus::Failed);

    // The album over tracks 1, 2 and 4 as libebur128 measures their files.
    std::vector<ebur128_state*> states;
    for (int32_t i : {0, 1, 3})
        states.push_back(measureDecoded(i));
    double album = 0;
    ebur128_loudness_global_multiple(states.data(), states.size(), &album);
    for (ebur128_state*& state : states)
        ebur128_destroy(&state);
    EXPECT_NEAR(gainOf(flacTags(0)["REPLAYGAIN_ALBUM_GAIN"]), -18.0 - album, 0.01);
    EXPECT_FALSE(std::filesystem::exists(pathOf(2)));
}

TEST_F(RipSessionLoudnessTest, AnInterruptedRipTagsItsWholeTracksWithoutAnAlbum)
{
    EmulatedFaults slow;
    slow.sectorsPerSecond = 1500; // 20x: the first track whole within about a second
    setDemoFaults(slow);
    settings.lanes = 1;
    for (int32_t i = 0; i < job.count; ++i)
        job.tracks[i].format = kFlac;
    rip(0);
    setDemoFaults(EmulatedFaults{});
    ASSERT_TRUE(observer.outcome.interrupted);
    ASSERT_EQ(job.tracks[0].status.load(), TrackStatus::Done);
    ASSERT_NE(job.tracks[job.count - 1].status.load(), TrackStatus::Done);

    std::map<std::string, std::string> tags = flacTags(0);
    EXPECT_FALSE(tags["REPLAYGAIN_TRACK_GAIN"].empty());
    EXPECT_FALSE(tags["REPLAYGAIN_TRACK_PEAK"].empty());
    EXPECT_EQ(tags.count("REPLAYGAIN_ALBUM_GAIN"), 0u); // half an album is no album
    EXPECT_EQ(tags.count("REPLAYGAIN_ALBUM_PEAK"), 0u);
    std::string log = readFile(observer.outcome.logPath);
    EXPECT_NE(log.find("ReplayGain album: none: the rip was interrupted"), std::string::npos) << log;
}

TEST_F(RipSessionLoudnessTest, WithoutReplayGainNothingIsMeasuredOrWritten)
{
    settings.replayGain = false;
    for (int32_t i = 0; i < job.count; ++i)
        job.tracks[i].format = kFlac;
    rip();
    EXPECT_TRUE(flacTags(0).count("REPLAYGAIN_TRACK_GAIN") == 0);
    for (const std::string& phase : observer.phases)
        EXPECT_NE(phase.rfind("loudness", 0), 0u) << phase;
    EXPECT_EQ(readFile(observer.outcome.logPath).find("ReplayGain"), std::string::npos);
}

} // namespace
