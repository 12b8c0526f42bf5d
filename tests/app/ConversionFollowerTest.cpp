// The window's follower of a rip session: each verdict as the row shows it (state, word, colour
// and mark), the rows a Stop leaves, and the summary in the interface language.
#include "app/window/ConversionFollower.h"
#include "controls/theme/ControlTheme.h"
#include "core/disc/ConversionJob.h"
#include "core/language/Language.h"

#include <gtest/gtest.h>

#include <vector>

namespace tonvane {
namespace {

struct LanguageScope {
    explicit LanguageScope(LanguageId id)
    {
        fillLanguageSlots();
        before = currentLanguage();
        setCurrentLanguage(id);
    }
    ~LanguageScope() { setCurrentLanguage(before); }
    LanguageId before;
};

TrackVerdict verdict(TrackStatus status, const char* accurateRip, bool checked = false, bool accurate = false,
                     int32_t confidence = 0)
{
    TrackVerdict v;
    v.status = status;
    v.accurateRip = accurateRip;
    v.checked = checked;
    v.accurate = accurate;
    v.confidence = confidence;
    v.whole = status == TrackStatus::Done;
    return v;
}

TEST(ConversionFollower, EachVerdictReadsAsAWordAColourAndAMark)
{
    LanguageScope english(kEnglish);
    TrackVerdict unreadable = verdict(TrackStatus::Failed, "not checked");
    unreadable.unreadable = 12;
    TrackVerdict unsteady = verdict(TrackStatus::Done, "accurate (confidence 3)", true, true, 3);
    unsteady.suspicious = true;
    unsteady.suspiciousSectors = 2;
    struct Case {
        TrackVerdict verdict;
        bool interrupted;
        RowState state;
        std::u16string word;
        uint32_t colour;
        RowMark mark;
        std::u16string reason;
    };
    const std::vector<Case> cases = {
        {verdict(TrackStatus::Done, "accurate (confidence 7)", true, true, 7), false, RowState::Accurate,
         u"Accurate (confidence 7)", palette::kVerdictGood, RowMark::Tick, u""},
        {verdict(TrackStatus::Done, "not accurate", true, false), false, RowState::NotAccurate, u"Not accurate",
         palette::kVerdictBad, RowMark::Cross, u""},
        {verdict(TrackStatus::Done, "not in the database", true, false), false, RowState::NotInDatabase,
         u"Not in the database", palette::kVerdictNeutral, RowMark::Dash, u""},
        {verdict(TrackStatus::Done, "not checked"), false, RowState::NotChecked, u"Not checked",
         palette::kVerdictNeutral, RowMark::Dash, u""},
        {verdict(TrackStatus::Done, "record unusable"), false, RowState::NotChecked, u"Not checked",
         palette::kVerdictNeutral, RowMark::Dash, u""},
        // A normal rip judges at the report: until then the row shows only its bar.
        {verdict(TrackStatus::Done, "pending"), false, RowState::Checking, u"", palette::kText, RowMark::None, u""},
        {unreadable, false, RowState::Failed, u"Failed", palette::kVerdictBad, RowMark::Cross,
         u"12 sectors could not be read"},
        {verdict(TrackStatus::Failed, "not checked"), false, RowState::Failed, u"Failed", palette::kVerdictBad,
         RowMark::Cross, u"The track could not be read or its file written"},
        // Whole in AccurateRip's eyes, but with sectors whose reads never agreed: not whole.
        {unsteady, false, RowState::Failed, u"Failed", palette::kVerdictBad, RowMark::Cross,
         u"2 sectors read differently each time"},
        {verdict(TrackStatus::Cancelled, "not checked"), true, RowState::Stopped, u"Stopped", palette::kVerdictNeutral,
         RowMark::Dash, u""},
        {verdict(TrackStatus::Pending, "not checked"), true, RowState::Stopped, u"Stopped", palette::kVerdictNeutral,
         RowMark::Dash, u""},
        {verdict(TrackStatus::Pending, "not checked"), false, RowState::Failed, u"Failed", palette::kVerdictBad,
         RowMark::Cross, u"The track could not be read or its file written"},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        RowEnd end = ConversionFollower::endOf(c.verdict, c.interrupted);
        EXPECT_EQ(end.state, c.state) << "case " << i;
        EXPECT_EQ(ConversionFollower::wordOf(end), c.word) << "case " << i;
        EXPECT_EQ(ConversionFollower::lookOf(end.state).colour, c.colour) << "case " << i;
        EXPECT_EQ(ConversionFollower::lookOf(end.state).mark, c.mark) << "case " << i;
        EXPECT_EQ(end.reason, c.reason) << "case " << i;
        // Colour is never the only sign: a coloured state has a word and a mark too.
        if (ConversionFollower::lookOf(end.state).colour != palette::kText) {
            EXPECT_FALSE(ConversionFollower::wordOf(end).empty()) << "case " << i;
            EXPECT_NE(ConversionFollower::lookOf(end.state).mark, RowMark::None) << "case " << i;
        }
    }
}

// Four tracks, the third not selected: the first ends accurate, the second starts, then the
// session is stopped. The report names the selected ones; the rows that never ended read
// "Stopped", the unselected one stays idle, and every change was told to the list.
TEST(ConversionFollower, AStopLeavesTheUnfinishedRowsStoppedAndTheSummaryCountsWhatIsWhole)
{
    LanguageScope english(kEnglish);
    ConversionJob job;
    job.tracks = std::make_unique<TrackEntry[]>(4);
    job.count = 4;
    for (int32_t i = 0; i < 4; ++i)
        job.tracks[size_t(i)].selected = i != 2;
    std::vector<int32_t> changes;
    ConversionFollower follower([&](int32_t row) { changes.push_back(row); });
    follower.begin(job);
    EXPECT_EQ(follower.row(0).state, RowState::Waiting);
    EXPECT_EQ(follower.row(2).state, RowState::Idle);
    EXPECT_EQ(follower.row(7).state, RowState::Idle) << "a row the disc does not have";
    follower.onTrackStarted(0);
    TrackVerdict first = verdict(TrackStatus::Done, "accurate (confidence 4)", true, true, 4);
    first.index = 0;
    follower.onTrackFinished(first);
    follower.onTrackStarted(1);
    TrackVerdict stray = first;
    stray.index = 9; // not this disc's: ignored
    follower.onTrackFinished(stray);
    EXPECT_EQ(follower.row(1).state, RowState::Converting);
    EXPECT_FALSE(follower.ended());
    EXPECT_EQ(follower.summary(), u"");

    SessionOutcome outcome;
    outcome.started = true;
    outcome.interrupted = true;
    outcome.selected = 3;
    outcome.whole = 1;
    outcome.accurate = 1;
    outcome.tracks.push_back(first);
    TrackVerdict second = verdict(TrackStatus::Cancelled, "not checked");
    second.index = 1;
    outcome.tracks.push_back(second);
    follower.onEnded(outcome); // the fourth track is not in the report
    EXPECT_TRUE(follower.ended());
    EXPECT_EQ(follower.row(0).state, RowState::Accurate);
    EXPECT_EQ(follower.row(0).confidence, 4);
    EXPECT_EQ(follower.row(1).state, RowState::Stopped);
    EXPECT_EQ(follower.row(2).state, RowState::Idle);
    EXPECT_EQ(follower.row(3).state, RowState::Stopped);
    EXPECT_EQ(follower.summary(), u"1 of 3 tracks whole, 1 accurate");
    EXPECT_EQ(changes, (std::vector<int32_t>{-1, 0, 0, 1, -1}));

    follower.clear(2); // another disc
    EXPECT_FALSE(follower.ended());
    EXPECT_EQ(follower.rowCount(), 2);
    EXPECT_EQ(follower.row(0).state, RowState::Idle);
}

TEST(ConversionFollower, TheSummaryAndWordsComeInTheInterfaceLanguage)
{
    SessionOutcome outcome;
    outcome.started = true;
    outcome.selected = 12;
    outcome.whole = 11;
    outcome.accurate = 10;
    struct Case {
        LanguageId language;
        std::u16string summary, accurate;
    };
    for (const Case& c : {Case{kGerman, u"11 von 12 Titeln vollständig, 10 genau", u"Genau (Konfidenz 9)"},
                          Case{kRussian, u"Целых дорожек: 11 из 12, точных: 10", u"Точно (достоверность 9)"},
                          Case{kJapanese, u"11 / 12 トラック完全、10 正確", u"正確 (信頼度 9)"}}) {
        LanguageScope scope(c.language);
        ConversionFollower follower;
        follower.clear(12);
        follower.onEnded(outcome);
        EXPECT_EQ(follower.summary(), c.summary);
        EXPECT_EQ(ConversionFollower::wordOf({RowState::Accurate, 9, {}}), c.accurate);
    }
}

} // namespace
} // namespace tonvane
