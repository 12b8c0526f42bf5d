#include "core/disc/ConversionJob.h"

#include <gtest/gtest.h>

#include <vector>

using namespace tonvane;

namespace {
struct EnglishInterface : ::testing::Test {
    void SetUp() override
    {
        fillLanguageSlots();
        setCurrentLanguage(kEnglish);
    }
};

void prepare(ConversionJob& job, int32_t count, const char16_t* folder)
{
    job.resetTracks(count);
    job.count = count;
    job.outputFolder = WideString(std::u16string_view(folder));
}
} // namespace

TEST_F(EnglishInterface, OutputNamesFollowTitleFormatAndLanguage)
{
    ConversionJob job;
    prepare(job, 10, u"/home/ana/Music/");
    job.tracks[0].title = WideString(u"Intro");
    job.tracks[0].format = kFormatMp3;
    EXPECT_EQ(job.outputPath(0).view(), u"/home/ana/Music/01 - Intro.mp3");
    job.tracks[9].format = kFormatWav;
    EXPECT_EQ(job.outputPath(9).view(), u"/home/ana/Music/Track 10.Wav");
    job.tracks[9].title = WideString(u"AC/DC: \"Live\"");
    EXPECT_EQ(outputFileName(job.tracks[9], 9).view(), u"10 - ACDC 'Live'");
    job.tracks[9].format = kFormatFlac;
    EXPECT_EQ(job.outputPath(9).view(), u"/home/ana/Music/10 - ACDC 'Live'.flac");
    job.tracks[1].format = kFormatVorbis;
    EXPECT_EQ(job.outputPath(1).view(), u"/home/ana/Music/Track 2.ogg");
    job.tracks[3].format = kFormatOpus;
    EXPECT_EQ(job.outputPath(3).view(), u"/home/ana/Music/Track 4.opus");
    EXPECT_EQ(job.partPath(3).view(), u"/home/ana/Music/.Track 4.opus.part");
    job.tracks[2].format = 7; // unknown format: no file
    EXPECT_TRUE(job.outputPath(2).empty());

    setCurrentLanguage(kSpanish);
    EXPECT_EQ(outputFileName(job.tracks[1], 1).view(), u"Pista 2");
}

TEST_F(EnglishInterface, OutputNamesAreSafeOnLinux)
{
    ConversionJob job;
    prepare(job, 1, u"/out/");
    job.tracks[0].format = kFormatFlac;
    job.tracks[0].title = WideString(std::u16string_view(u"a\tb\nc\x01<d>|e\x7F", 13));
    EXPECT_EQ(outputFileName(job.tracks[0], 0).view(), u"01 - abcde");

    // 300 three-byte characters: the name is cut on a character boundary so that its temporary
    // form (a '.' before, ".part" behind) fits 255 bytes.
    job.tracks[0].title = WideString(std::u16string(300, u'日'));
    std::string name = job.outputPath(0).toUtf8().substr(5); // drop "/out/"
    EXPECT_LE(name.size(), 255u);
    EXPECT_GE(name.size() + 6, 253u);
    EXPECT_EQ(name.substr(name.size() - 5), ".flac");
    EXPECT_EQ(name.substr(0, 5), "01 - ");
    EXPECT_EQ((name.size() - 5 - 5) % 3, 0u) << "cut inside a character";

    // A character outside the BMP (4 bytes, two UTF-16 units) is never split.
    std::u16string mixed(150, u'a');
    for (int i = 0; i < 30; ++i)
        mixed += u"😀";
    job.tracks[0].title = WideString(mixed);
    std::string emoji = job.outputPath(0).toUtf8().substr(5);
    EXPECT_LE(emoji.size(), 255u);
    EXPECT_EQ(emoji.find("\xEF\xBF\xBD"), std::string::npos) << "a surrogate pair was split";
}

TEST(ConversionJob, SelectionWalksOnlyTheValidEntries)
{
    ConversionJob job;
    job.resetTracks(6);
    job.count = 5; // the sixth entry is allocated but not part of the disc
    for (int i = 0; i < 6; ++i)
        job.tracks[i].selected = 0;
    job.tracks[1].selected = 1;
    job.tracks[3].selected = 1;
    job.tracks[5].selected = 1;
    EXPECT_EQ(job.firstSelected(), 1);
    EXPECT_EQ(job.nextSelected(1), 3);
    EXPECT_EQ(job.nextSelected(3), -1);
    EXPECT_EQ(job.selectedCount(), 2);
    job.tracks[1].selected = 0;
    job.tracks[3].selected = 0;
    EXPECT_EQ(job.firstSelected(), -1);
    EXPECT_EQ(job.selectedCount(), 0);
}

TEST(ConversionJob, ElapsedTimeIsMinutesAndSeconds)
{
    EXPECT_EQ(elapsedTimeText(0).view(), u"00:00");
    EXPECT_EQ(elapsedTimeText(187000).view(), u"03:07");
    EXPECT_EQ(elapsedTimeText(59999).view(), u"00:59");
    EXPECT_EQ(elapsedTimeText(125u * 60000 + 5000).view(), u"125:05");
}

TEST(TrackEntry, DefaultsAndDerivedSizes)
{
    TrackEntry entry;
    EXPECT_EQ(entry.selected, 1);
    EXPECT_EQ(entry.waiting.load(), 1);
    entry.length = 75 * 60; // one minute
    EXPECT_EQ(entry.byteSize(), 10584000u);
    EXPECT_DOUBLE_EQ(entry.playingSeconds(), 60.0);
}

#include "core/disc/ConversionProgress.h"
#include "core/foundation/Clock.h"

namespace {
struct CountingView : ConversionView {
    int redraws = 0, ended = 0;
    std::vector<int32_t> scrolled;
    WideString elapsed;
    void redrawTrackList() override { ++redraws; }
    void showElapsedTime(const WideString& text) override { elapsed = text; }
    void scrollToTrack(int32_t index) override { scrolled.push_back(index); }
    void conversionEnded() override { ++ended; }
};
} // namespace

TEST(ConversionProgress, RedrawsAreThrottledButAFinishedTrackAlwaysRedraws)
{
    ConversionJob job;
    job.resetTracks(3);
    job.count = 3;
    CountingView view;
    ConversionProgress progress(job, view);
    progress.conversionStarting();
    progress.onProgress(0, 0.1); // first report: takes the time, no redraw yet
    progress.onProgress(0, 0.2);
    EXPECT_EQ(view.redraws, 0);
    progress.onProgress(0, 1.0); // within 100 ms, but complete
    EXPECT_EQ(view.redraws, 1);
    EXPECT_DOUBLE_EQ(job.tracks[0].progress.load(), 1.0);
    sleepMs(110);
    progress.onProgress(1, 0.5);
    EXPECT_EQ(view.redraws, 2);
    EXPECT_EQ(view.elapsed.view(), u"00:00");

    progress.onProgress(2, 0.1);
    progress.onProgress(1, 0.6); // lower index: no scroll back
    EXPECT_EQ(view.scrolled, (std::vector<int32_t>{1, 2}));
    progress.onProgress(7, 0.5); // outside the list: ignored
    EXPECT_EQ(view.scrolled.size(), 2u);

    job.running.store(1);
    progress.onFinished();
    EXPECT_EQ(job.running.load(), 0);
    EXPECT_EQ(view.ended, 1);
    EXPECT_FALSE(progress.isCancelled());
    job.cancel.store(1);
    EXPECT_TRUE(progress.isCancelled());
}
