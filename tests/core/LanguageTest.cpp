#include "core/language/Language.h"
#include "core/ProductConfig.h"
#include "core/settings/SettingsStore.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace tonvane;

namespace {
class Languages : public ::testing::Test {
protected:
    void SetUp() override
    {
        fillLanguageSlots();
        setCurrentLanguage(kEnglish);
    }
    void TearDown() override
    {
        fillLanguageSlots();
        setCurrentLanguage(kEnglish);
    }
    test::TempDir m_config;
    test::ScopedEnv m_env{"XDG_CONFIG_HOME", m_config.path().c_str()};
};

const LanguageTable* const kAllTables[] = {&kEnglishTable, &kFrenchTable, &kGermanTable, &kItalianTable,
                                            &kJapaneseTable, &kPortugueseTable, &kRussianTable, &kSpanishTable};

struct RecordingMenu : LanguageMenu {
    std::vector<std::pair<LanguageId, bool>> entries;
    int redraws = 0;
    void setLanguageEntryEnabled(LanguageId id, bool enabled) override { entries.emplace_back(id, enabled); }
    void languageChanged() override { ++redraws; }
};

bool storedLanguage(uint32_t& value)
{
    return settings::readDword(product::kProductKey, u"\\Main", u"Lang", value);
}
} // namespace

TEST_F(Languages, EveryTableHasItsNonEmptyRowsWithTheSameShape)
{
    static_assert(kTextCount == 109, "45 rows of the first tables, the update caption, three drive texts, "
                                     "four of the files-exist dialog, the chooser's new folder, the failed "
                                     "download, 25 of the Options dialog, the drive box's label and a "
                                     "match's disc number, thirteen of a conversion's end, eight of typed "
                                     "titles and the album dialog, and six of the Options dialog's servers");
    auto count = [](std::u16string_view text, std::u16string_view what) {
        size_t n = 0;
        for (size_t at = text.find(what); at != std::u16string_view::npos; at = text.find(what, at + 1))
            ++n;
        return n;
    };
    for (const LanguageTable* table : kAllTables) {
        for (int row = 0; row < kTextCount; ++row) {
            const UiString& entry = (*table)[row];
            ASSERT_NE(entry.text, nullptr) << "row " << row;
            EXPECT_GT(entry.length, 0) << "row " << row;
        }
        // Accelerator hint after a tab, and the version placeholder, survive translation.
        EXPECT_NE((*table)[kTextExit].view().find(u"\tAlt+F4"), std::u16string_view::npos);
        EXPECT_EQ(count((*table)[kTextUpgradeQuestion].view(), u"%s"), 1u);
        // The About body's version comes from one place: its first line is "Tonvane %s".
        std::u16string_view about = (*table)[kTextAboutBody].view();
        EXPECT_EQ(about.substr(0, about.find(u'\n')), u"Tonvane %s");
        EXPECT_EQ(count(about, u"%"), 1u);
        EXPECT_EQ(count((*table)[kTextNewFolder].view(), u"/"), 0u) << "a folder name";
        EXPECT_EQ(count((*table)[kTextDownloadFailed].view(), u"%"), 0u);
        EXPECT_EQ(count((*table)[kTextDiscOfDiscs].view(), u"%s"), 2u) << "the disc's number and the count";
        EXPECT_EQ(count((*table)[kTextDriveLabel].view(), u"%"), 0u);
        // A refused server entry's reason names the field once; the forms stay as they are typed.
        for (TextId reason : {kTextServerNotHostPort, kTextServerBadPort, kTextServerNotUrl})
            EXPECT_EQ(count((*table)[reason].view(), u"%"), 1u) << "row " << reason;
        EXPECT_EQ(count((*table)[kTextServerBadPort].view(), u"65535"), 1u);
        EXPECT_EQ(count((*table)[kTextServerNotUrl].view(), u"http://"), 1u);
        EXPECT_EQ(count((*table)[kTextServerNotUrl].view(), u"https://"), 1u);
        // The drive path and the reason; the permission reason names the group to join.
        EXPECT_EQ(count((*table)[kTextCannotOpenDrive].view(), u"%s"), 2u);
        EXPECT_EQ(count((*table)[kTextDriveNoPermission].view(), u"cdrom"), 1u);
        EXPECT_EQ(count((*table)[kTextDriveNoPermission].view(), u"%"), 0u);
        EXPECT_EQ(count((*table)[kTextDriveBusy].view(), u"%"), 0u);
        // The files-exist question names the file once; its buttons are translated, not English.
        EXPECT_EQ(count((*table)[kTextFilesExistQuestion].view(), u"%s"), 1u);
        if (table != &kEnglishTable) {
            for (TextId row : {kTextFilesExistCaption, kTextReplace, kTextKeepBoth, kTextAlbumDetailsLink,
                               kTextAlbumDetailsCaption, kTextAlbumArtistLabel, kTextYearLabel,
                               kTextTypedTitlesCaption, kTextReplaceTypedQuestion, kTextKeep})
                EXPECT_NE((*table)[row].view(), kEnglishTable[row].view()) << "row " << row;
        }
        // The Options dialog: the values its rows take, in order; every row but the read mode
        // "Normal" (the same word in several languages) translated.
        struct Placeholders {
            TextId row;
            size_t count;
        };
        for (Placeholders p : {Placeholders{kTextOffsetSamples, 1}, {kTextOffsetFound, 2}, {kTextOffsetReading, 2},
                               {kTextOffsetNoAnswer, 1}, {kTextOffsetAsking, 0}, {kTextOffsetUnknownDisc, 0},
                               {kTextOffsetNoServer, 0}, {kTextOffsetNoMatch, 0}, {kTextOffsetNoDisc, 0}})
            EXPECT_EQ(count((*table)[p.row].view(), u"%"), p.count) << "row " << p.row;
        for (TextId row = kTextReadModeLabel; row <= kTextOffsetNoDisc; ++row) {
            if (table != &kEnglishTable && row != kTextReadNormal) {
                EXPECT_NE((*table)[row].view(), kEnglishTable[row].view()) << "row " << row;
            }
        }
        // A conversion's end: the counts each row shows, and its words translated.
        for (auto [row, values] : {std::pair{kTextAccurate, 1u}, std::pair{kTextRipSummary, 3u},
                                   std::pair{kTextUnreadableSectors, 1u}, std::pair{kTextUnsteadySectors, 1u},
                                   std::pair{kTextNotAccurate, 0u}, std::pair{kTextFailed, 0u},
                                   std::pair{kTextOpenFolder, 0u}, std::pair{kTextShowLog, 0u}}) {
            EXPECT_EQ(count((*table)[row].view(), u"%s"), values) << "row " << row;
            EXPECT_EQ(count((*table)[row].view(), u"%"), values) << "row " << row;
        }
        if (table != &kEnglishTable) {
            for (TextId row = kTextStop; row <= kTextTrackNotWritten; ++row)
                EXPECT_NE((*table)[row].view(), kEnglishTable[row].view()) << "row " << row;
        }
        // Language names are the same in every table.
        for (TextId name = kTextSpanishName; name <= kTextJapaneseName; ++name)
            EXPECT_EQ((*table)[name].view(), kEnglishTable[name].view());
    }
}

TEST_F(Languages, EnglishRowsAreExact)
{
    const char16_t* expected[] = {u"OK", u"Cancel", u"File", u"Convert", u"Consult FreeDB", u"Exit\tAlt+F4",
                                  u"View", u"Options", u"Language", u"Español", u"English", u"Русский",
                                  u"Deutsch", u"Français", u"Português", u"Italiano", u"日本語", u"Help",
                                  u"Tonvane Web", u"Insert Music CD", u"Title:", u"Track", u"Play time:",
                                  u"Connecting to FreeDB...", u"Connected to FreeDB", u"Sending request...",
                                  u"Receiving information...", u"Download complete",
                                  u"Error connecting to FreeDB", u"Aborted connection to FreeDB", u"Album:",
                                  u"Apply changes to all tracks", u"Check for Updates...",
                                  u"Checking for Updates...", u"Do you want to upgrade to version %s?",
                                  u"There are available updates", u"There are no available updates",
                                  u"Downloading...", u"About..."};
    for (int row = 0; row < 39; ++row)
        EXPECT_EQ(kEnglishTable[row].view(), std::u16string_view(expected[row])) << "row " << row;
    EXPECT_EQ(kEnglishTable[kTextHelpPage].view(), u"Help...");
    EXPECT_EQ(kEnglishTable[kTextProperties].view(), u"Properties");
    EXPECT_EQ(kEnglishTable[kTextTutorials].view(), u"Tutorials");
    EXPECT_EQ(kEnglishTable[kTextWebAddress].view(), std::u16string_view(product::kWebPage));
}

TEST_F(Languages, PlaceholdersAreFilledInOrderAndValuesAreNotSearchedAgain)
{
    struct Case {
        std::u16string_view text;
        std::initializer_list<std::u16string_view> values;
        std::u16string_view filled;
    } cases[] = {
        {u"Cannot open %s: %s", {u"/dev/sr0", u"busy"}, u"Cannot open /dev/sr0: busy"},
        {u"%s を開けません: %s", {u"/dev/sr1", u"x"}, u"/dev/sr1 を開けません: x"},
        {u"version %s?", {u"100%s"}, u"version 100%s?"},
        {u"%s%s", {u"a"}, u"a"},
        {u"no placeholder", {u"unused"}, u"no placeholder"},
        {u"%", {}, u"%"},
        {u"", {u"x"}, u""},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_TRUE(fillPlaceholders(cases[i].text, cases[i].values) == cases[i].filled) << "case " << i;
}

TEST_F(Languages, TranslationsDifferFromEnglishAndEveryAboutBodyIsTranslated)
{
    for (const LanguageTable* table : kAllTables) {
        if (table == &kEnglishTable)
            continue;
        EXPECT_NE((*table)[kTextCancel].view(), kEnglishTable[kTextCancel].view());
        EXPECT_NE((*table)[kTextInsertCd].view(), kEnglishTable[kTextInsertCd].view());
        EXPECT_NE((*table)[kTextConnecting].view(), kEnglishTable[kTextConnecting].view());
    }
    // Every About body is translated: only its first line (name and version) and its last (an
    // address) are shared.
    auto firstLine = [](std::u16string_view text) { return text.substr(0, text.find(u'\n')); };
    auto lastLine = [](std::u16string_view text) { return text.substr(text.rfind(u'\n')); };
    for (const LanguageTable* table : kAllTables) {
        if (table == &kEnglishTable)
            continue;
        std::u16string_view about = (*table)[kTextAboutBody].view();
        EXPECT_NE(about, kEnglishTable[kTextAboutBody].view());
        EXPECT_EQ(firstLine(about), firstLine(kEnglishTable[kTextAboutBody].view()));
        EXPECT_EQ(lastLine(about), lastLine(kEnglishTable[kTextAboutBody].view()));
        EXPECT_NE((*table)[kTextNewFolder].view(), kEnglishTable[kTextNewFolder].view());
        EXPECT_NE((*table)[kTextDownloadFailed].view(), kEnglishTable[kTextDownloadFailed].view());
    }
    EXPECT_EQ(kSpanishTable[kTextTrack].view(), u"Pista");
}

TEST_F(Languages, UiTextFollowsTheCurrentLanguageAndFallsBackToBadString)
{
    EXPECT_EQ(uiText(kTextTrack).view(), u"Track");
    setCurrentLanguage(kGerman);
    EXPECT_EQ(uiText(kTextCancel).view(), u"Abbrechen");
    EXPECT_EQ(std::u16string_view(uiTextPointer(kTextCancel), 9), u"Abbrechen");

    setCurrentLanguage(kLanguageNone);
    EXPECT_EQ(uiText(kTextOk).view(), u"Bad String");
    EXPECT_EQ(uiText(kTextOk).length, 10);

    // An empty slot with an empty slot 0 also gives "Bad String".
    clearLanguageSlots();
    setCurrentLanguage(kFrench);
    EXPECT_EQ(uiText(kTextOk).view(), u"Bad String");
}

TEST_F(Languages, LocaleRuleStartsSpanishOnlyForEs)
{
    EXPECT_EQ(languageFromLocaleName("es_ES.UTF-8"), kSpanish);
    EXPECT_EQ(languageFromLocaleName("es_AR"), kSpanish);
    EXPECT_EQ(languageFromLocaleName("es"), kSpanish);
    EXPECT_EQ(languageFromLocaleName("es@euro"), kSpanish);
    EXPECT_EQ(languageFromLocaleName("ja_JP.UTF-8"), kEnglish);
    EXPECT_EQ(languageFromLocaleName("ru_RU.UTF-8"), kEnglish);
    EXPECT_EQ(languageFromLocaleName("est_EE"), kEnglish); // a different language that starts with "es"
    EXPECT_EQ(languageFromLocaleName("C"), kEnglish);
    EXPECT_EQ(languageFromLocaleName(""), kEnglish);

    {
        test::ScopedEnv all("LC_ALL", "es_MX.UTF-8"), messages("LC_MESSAGES", "de_DE"), lang("LANG", "fr_FR");
        EXPECT_EQ(languageFromLocale(), kSpanish);
    }
    {
        test::ScopedEnv all("LC_ALL", ""), messages("LC_MESSAGES", "de_DE"), lang("LANG", "es_ES");
        EXPECT_EQ(languageFromLocale(), kEnglish); // LC_MESSAGES is the first one set
    }
    {
        test::ScopedEnv all("LC_ALL", nullptr), messages("LC_MESSAGES", nullptr), lang("LANG", "es_CL.UTF-8");
        EXPECT_EQ(languageFromLocale(), kSpanish);
    }
    {
        test::ScopedEnv all("LC_ALL", nullptr), messages("LC_MESSAGES", nullptr), lang("LANG", nullptr);
        EXPECT_EQ(languageFromLocale(), kEnglish);
    }
}

TEST_F(Languages, SwitchingWritesLangAndTogglesMenuEntries)
{
    RecordingMenu menu;
    setLanguage(kRussian, &menu);
    EXPECT_EQ(currentLanguage(), kRussian);
    uint32_t stored = 0;
    ASSERT_TRUE(storedLanguage(stored));
    EXPECT_EQ(stored, 7u);
    ASSERT_EQ(menu.entries.size(), 2u);
    EXPECT_EQ(menu.entries[0], std::make_pair(kEnglish, true));
    EXPECT_EQ(menu.entries[1], std::make_pair(kRussian, false));
    EXPECT_EQ(menu.redraws, 1);
}

TEST_F(Languages, ChoosingTheCurrentLanguageWritesNothingButFirstRunPanelDoes)
{
    RecordingMenu menu;
    setLanguage(kEnglish, &menu); // already current
    uint32_t stored;
    EXPECT_FALSE(storedLanguage(stored));
    EXPECT_EQ(menu.redraws, 0);
    ASSERT_EQ(menu.entries.size(), 1u);
    EXPECT_EQ(menu.entries[0], std::make_pair(kEnglish, false));

    // The first-run panel goes through language 0 so that "Lang" is written anyway; the 0
    // itself is never stored (an interrupted first run would leave "Bad String" everywhere).
    setLanguage(kLanguageNone, nullptr);
    EXPECT_FALSE(storedLanguage(stored));
    setLanguage(kEnglish, nullptr);
    ASSERT_TRUE(storedLanguage(stored));
    EXPECT_EQ(stored, 1u);

    // Ids outside the eight languages are neither applied nor stored.
    for (LanguageId bad : {9, 42, -1}) {
        setLanguage(bad, &menu);
        EXPECT_EQ(currentLanguage(), kEnglish) << bad;
        ASSERT_TRUE(storedLanguage(stored));
        EXPECT_EQ(stored, 1u) << bad;
    }
}
