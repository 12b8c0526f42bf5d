#include "session/RipPreferences.h"
#include "core/ProductConfig.h"
#include "core/settings/SettingsDefaults.h"
#include "core/settings/SettingsStore.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tonvane {
namespace {

class RipPreferencesTest : public ::testing::Test {
protected:
    test::TempDir m_config;
    test::ScopedEnv m_env{"XDG_CONFIG_HOME", m_config.path().c_str()};
};

TEST_F(RipPreferencesTest, NothingStoredReadsAsTheDefaultsAndWritesNothing)
{
    RipPreferences preferences = loadRipPreferences();
    EXPECT_EQ(preferences.readMode, ReadMode::Single);
    EXPECT_TRUE(preferences.accurateRip);
    EXPECT_EQ(preferences.metadata, MetadataSources::MusicBrainzAndCddb);
    EXPECT_TRUE(preferences.coverArt);
    EXPECT_FALSE(preferences.folderPerAlbum) << "files into the folder chosen, as the window always did";
    EXPECT_TRUE(preferences.replayGain);
    EXPECT_TRUE(preferences.updateCheck);
    EXPECT_TRUE(preferences.cddbServer.empty());
    EXPECT_FALSE(std::filesystem::exists(m_config.file("tonvane/settings.reg")));
}

TEST_F(RipPreferencesTest, EveryFieldSurvivesAStoreAndLoad)
{
    RipPreferences stored;
    stored.readMode = ReadMode::TestAndCopy;
    stored.accurateRip = false;
    stored.metadata = MetadataSources::CddbOnly;
    stored.cddbServer = "cddb.example:8880";
    stored.musicBrainzServer = "http://127.0.0.1:5000";
    stored.coverArtServer = "http://127.0.0.1:5001";
    stored.accurateRipServer = "127.0.0.1:5002";
    stored.coverArt = false;
    stored.folderPerAlbum = true;
    stored.replayGain = false;
    stored.updateCheck = false;
    ASSERT_TRUE(storeRipPreferences(stored));

    RipPreferences loaded = loadRipPreferences();
    EXPECT_EQ(loaded.readMode, ReadMode::TestAndCopy);
    EXPECT_FALSE(loaded.accurateRip);
    EXPECT_EQ(loaded.metadata, MetadataSources::CddbOnly);
    EXPECT_EQ(loaded.cddbServer, "cddb.example:8880");
    EXPECT_EQ(loaded.musicBrainzServer, "http://127.0.0.1:5000");
    EXPECT_EQ(loaded.coverArtServer, "http://127.0.0.1:5001");
    EXPECT_EQ(loaded.accurateRipServer, "127.0.0.1:5002");
    EXPECT_FALSE(loaded.coverArt);
    EXPECT_TRUE(loaded.folderPerAlbum);
    EXPECT_FALSE(loaded.replayGain);
    EXPECT_FALSE(loaded.updateCheck);
    // The CDDB server is the design's own value, which the lookups already read.
    EXPECT_EQ(settings::freeDbServer().toUtf8(), "cddb.example:8880");
}

TEST_F(RipPreferencesTest, ValuesOutOfRangeReadAsDefaults)
{
    struct Row {
        const char16_t* name;
        uint32_t value;
    };
    for (Row row : {Row{u"ReadMode", 7}, Row{u"Metadata", 3}, Row{u"AccurateRip", 2}, Row{u"CoverArt", 0xFFFFFFFF}})
        ASSERT_TRUE(settings::writeDword(product::kProductKey, u"\\Options", row.name, row.value));
    RipPreferences loaded = loadRipPreferences();
    EXPECT_EQ(loaded.readMode, ReadMode::Single);
    EXPECT_EQ(loaded.metadata, MetadataSources::MusicBrainzAndCddb);
    EXPECT_TRUE(loaded.accurateRip);
    EXPECT_TRUE(loaded.coverArt);
}

TEST_F(RipPreferencesTest, LookupOptionsFollowTheSources)
{
    struct Row {
        MetadataSources sources;
        bool musicBrainz, cddb;
    };
    for (Row row : {Row{MetadataSources::MusicBrainzAndCddb, true, true}, Row{MetadataSources::CddbOnly, false, true},
                    Row{MetadataSources::None, false, false}}) {
        RipPreferences preferences;
        preferences.metadata = row.sources;
        LookupOptions options = lookupOptionsOf(preferences);
        EXPECT_EQ(options.musicBrainz, row.musicBrainz);
        EXPECT_EQ(options.cddb, row.cddb);
    }
    RipPreferences preferences;
    preferences.musicBrainzServer = "http://127.0.0.1:5000";
    preferences.coverArt = false;
    LookupOptions options = lookupOptionsOf(preferences);
    EXPECT_EQ(options.musicBrainzServer, "http://127.0.0.1:5000");
    EXPECT_EQ(options.coverArtServer, "https://coverartarchive.org");
    EXPECT_FALSE(options.cover);
}

} // namespace
} // namespace tonvane
