#include "core/ProductConfig.h"
#include "core/disc/EncoderSettings.h"
#include "core/settings/SettingsDefaults.h"
#include "core/settings/SettingsStore.h"
#include "encoders/framework/QualityTable.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace tonvane;

TEST(QualityTable, LabelsOfEveryFormat)
{
    EXPECT_EQ(qualityLabel(kFormatMp3, 0).view(), u"32 Kbps");
    EXPECT_EQ(qualityLabel(kFormatMp3, 8).view(), u"128 Kbps");
    EXPECT_EQ(qualityLabel(kFormatMp3, 13).view(), u"320 Kbps");
    EXPECT_EQ(qualityLabel(kFormatVorbis, 6).view(), u"~160 Kbps");
    EXPECT_EQ(qualityLabel(kFormatVorbis, 11).view(), u"~500 Kbps");
    EXPECT_EQ(qualityLabel(kFormatFlac, 0).view(), u"1");
    EXPECT_EQ(qualityLabel(kFormatFlac, 7).view(), u"8");
    EXPECT_EQ(qualityLabel(kFormatWav, 0).view(), u"1411 Kbps");
    EXPECT_EQ(qualityLabel(kFormatOpus, 0).view(), u"64 Kbps");
    EXPECT_EQ(qualityLabel(kFormatOpus, 3).view(), u"160 Kbps");
    EXPECT_EQ(qualityLabel(kFormatOpus, 5).view(), u"256 Kbps");
    // Outside the lists: nothing to show.
    EXPECT_TRUE(qualityLabel(kFormatMp3, 14).empty());
    EXPECT_TRUE(qualityLabel(kFormatFlac, 8).empty());
    EXPECT_TRUE(qualityLabel(kFormatWav, 1).empty());
    EXPECT_TRUE(qualityLabel(kFormatOpus, 6).empty());
    EXPECT_TRUE(qualityLabel(9, 0).empty());
    EXPECT_EQ(qualityCount(kFormatMp3), 14u);
    EXPECT_EQ(qualityCount(kFormatVorbis), 12u);
    EXPECT_EQ(qualityCount(kFormatFlac), 8u);
    EXPECT_EQ(qualityCount(kFormatWav), 1u);
    EXPECT_EQ(qualityCount(kFormatOpus), 6u);
}

TEST(EncoderSettings, DefaultsAndWhatIsWrittenBack)
{
    test::TempDir dir;
    test::ScopedEnv env("XDG_CONFIG_HOME", dir.path().c_str());
    uint32_t value;

    // Missing "Lame", "Vorbis", "Flac", "Opus": 8, 6, 7, 3 (160 kbit/s), and nothing is written.
    EXPECT_EQ(storedQuality(kFormatMp3), 8u);
    EXPECT_EQ(storedQuality(kFormatVorbis), 6u);
    EXPECT_EQ(storedQuality(kFormatFlac), 7u);
    EXPECT_EQ(storedQuality(kFormatWav), 0u);
    EXPECT_EQ(storedQuality(kFormatOpus), 3u);
    EXPECT_FALSE(settings::readDword(product::kProductKey, settings::kEncodersKey, u"Opus", value));
    EXPECT_FALSE(settings::readDword(product::kProductKey, settings::kEncodersKey, u"Lame", value));

    // Missing "Default": Ogg Vorbis, written back at once.
    EXPECT_EQ(storedDefaultFormat(), kFormatVorbis);
    ASSERT_TRUE(settings::readDword(product::kProductKey, settings::kEncodersKey, u"Default", value));
    EXPECT_EQ(value, 1u);

    // Stored values are used; values edited out of range fall back to the defaults.
    settings::writeDword(product::kProductKey, settings::kEncodersKey, u"Lame", 13);
    settings::writeDword(product::kProductKey, settings::kEncodersKey, u"Flac", 99);
    settings::writeDword(product::kProductKey, settings::kEncodersKey, u"Opus", 6);
    settings::writeDword(product::kProductKey, settings::kEncodersKey, u"Default", 7);
    EXPECT_EQ(storedQuality(kFormatMp3), 13u);
    EXPECT_EQ(storedQuality(kFormatFlac), 7u);
    EXPECT_EQ(storedQuality(kFormatOpus), 3u);
    EXPECT_EQ(storedDefaultFormat(), kFormatVorbis);
    ASSERT_TRUE(settings::readDword(product::kProductKey, settings::kEncodersKey, u"Default", value));
    EXPECT_EQ(value, 1u);
    settings::writeDword(product::kProductKey, settings::kEncodersKey, u"Default", kFormatWav);
    EXPECT_EQ(storedDefaultFormat(), kFormatWav);
    // Opus (4) is a format of its own now; the first value past it still falls back.
    settings::writeDword(product::kProductKey, settings::kEncodersKey, u"Opus", 5);
    settings::writeDword(product::kProductKey, settings::kEncodersKey, u"Default", kFormatOpus);
    EXPECT_EQ(storedDefaultFormat(), kFormatOpus);
    EXPECT_EQ(storedQuality(kFormatOpus), 5u);
    settings::writeDword(product::kProductKey, settings::kEncodersKey, u"Default", 5);
    EXPECT_EQ(storedDefaultFormat(), kFormatVorbis);
}
