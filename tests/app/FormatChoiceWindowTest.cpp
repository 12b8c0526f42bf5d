// The five output formats in the window program, on the headless backend: a track row's logo
// click steps through MP3, Vorbis, FLAC, WAV and Opus and shows each one's badge; the properties
// dialog offers Opus with its bitrates and keeps its stored choice.
#include "MainWindowFixture.h"
#include "app/window/EncoderPropertiesDialog.h"
#include "core/ProductConfig.h"
#include "core/disc/EncoderFormat.h"
#include "core/disc/EncoderSettings.h"
#include "core/settings/SettingsDefaults.h"
#include "core/settings/SettingsStore.h"
#include "encoders/framework/QualityTable.h"
#include "graphics/image/ImageStrip.h"
#include "graphics/image/PngEncoder.h"
#include "windowing/headless/HeadlessBackend.h"
#include "windowing/message/KeyCodes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tonvane {
namespace {

constexpr uint32_t kEncoderLogos = 131;
// A point inside every badge, clear of its letters, its motif and its gloss: from the badge's
// left, and up from its bottom [pixels].
constexpr int32_t kBadgeProbeX = 5;
constexpr int32_t kBadgeProbeY = 14;
constexpr int32_t kLogoInset = 8; // [pixels] the badge's place in its row, from the row's corner

struct FormatChoiceWindow : test::MainWindowFixture {
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
        settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    }

    // The badge pixel the window shows in a row's logo.
    uint32_t shownBadgePixel(int32_t row)
    {
        window->repaint();
        const ItemList& list = content->discPage().trackList();
        const IntRect listRect = list.windowRect();
        const IntRect item = list.itemRect(row);
        const int32_t x = listRect.x0 + item.x0 + kLogoInset + kBadgeProbeX;
        const int32_t y = listRect.y0 + item.y0 + kLogoInset + kBadgeProbeY;
        return backend.window(window->id()).pixel(window->marginLeft() + x,
                                                  window->marginTop() + window->height() - 1 - y);
    }

    // The track list as the window shows it, for a person to look at: <build>/screens/NAME.
    bool saveTrackList(const std::string& name)
    {
        window->repaint();
        const HeadlessBackend::WindowRecord& record = backend.window(window->id());
        const IntRect r = content->discPage().trackList().windowRect();
        std::vector<uint32_t> rows; // bottom-up, as the PNG writer reads them
        for (int32_t y = r.y0; y < r.y1; ++y)
            for (int32_t x = r.x0; x < r.x1; ++x)
                rows.push_back(record.pixel(window->marginLeft() + x, window->marginTop() + window->height() - 1 - y));
        const std::string folder = std::string(TONVANE_BINARY_DIR) + "/screens";
        std::error_code ignored;
        std::filesystem::create_directories(folder, ignored);
        return writePremultipliedPng(rows.data(), r.x1 - r.x0, r.y1 - r.y0, r.x1 - r.x0, folder + "/" + name);
    }
};

uint32_t stripBadgePixel(const ImageStrip& strip, int32_t format)
{
    const ImageView frame = strip.frame(format);
    return frame.pixels[size_t(kBadgeProbeY) * size_t(frame.row_length) + kBadgeProbeX];
}

TEST_F(FormatChoiceWindow, LogoClicksCycleThroughFiveFormatsAndShowEachBadge)
{
    settings::writeDword(product::kProductKey, settings::kEncodersKey, settings::kValueOpusQuality, 5);
    open();
    ASSERT_EQ(content->page(), MainContent::Page::Disc);
    DiscPage& page = content->discPage();
    ItemList& list = page.trackList();
    ConversionJob& job = page.job();
    ImageStrip strip;
    ASSERT_TRUE(strip.load(kEncoderLogos));
    ASSERT_EQ(strip.frameCount(), kFormatCount);

    ASSERT_EQ(job.tracks[1].format, kFormatVorbis) << "the stored default";
    const IntRect row1 = list.itemRect(1);
    std::vector<int32_t> formats;
    std::vector<uint32_t> qualities;
    for (int click = 0; click < kFormatCount; ++click) {
        this->click(list, row1.x0 + 30, row1.y0 + 30);
        formats.push_back(job.tracks[1].format);
        qualities.push_back(job.tracks[1].quality);
        EXPECT_EQ(shownBadgePixel(1), stripBadgePixel(strip, job.tracks[1].format)) << "format " << formats.back();
    }
    EXPECT_EQ(formats, (std::vector<int32_t>{kFormatFlac, kFormatWav, kFormatOpus, kFormatMp3, kFormatVorbis}));
    // Each format comes with its stored quality: Opus its stored 256 kbit/s.
    EXPECT_EQ(qualities, (std::vector<uint32_t>{7, 0, 5, 8, 6}));
    EXPECT_EQ(job.tracks[0].format, kFormatVorbis) << "only the clicked row changes";
    // The five badges differ where the probe looks, so the pixels above tell the formats apart.
    for (int32_t a = 0; a < kFormatCount; ++a)
        for (int32_t b = a + 1; b < kFormatCount; ++b)
            EXPECT_NE(stripBadgePixel(strip, a), stripBadgePixel(strip, b)) << a << " " << b;

    // With Ctrl every row follows and Opus becomes the stored default, which a new disc takes.
    for (int click = 0; click < 2; ++click)
        this->click(list, row1.x0 + 30, row1.y0 + 30);
    ASSERT_EQ(job.tracks[1].format, kFormatWav);
    backend.setModifiers(mod::kCtrl);
    this->click(list, row1.x0 + 30, row1.y0 + 30);
    backend.setModifiers(0);
    for (int32_t i = 0; i < job.count; ++i) {
        EXPECT_EQ(job.tracks[size_t(i)].format, kFormatOpus) << i;
        EXPECT_EQ(job.tracks[size_t(i)].quality, 5u) << i;
    }
    EXPECT_EQ(storedDefaultFormat(), kFormatOpus);
    EXPECT_EQ(shownBadgePixel(3), stripBadgePixel(strip, kFormatOpus));
    // Rows 1 and 2 as MP3 and FLAC beside the Opus ones, for a person to compare the badges.
    this->click(list, row1.x0 + 30, row1.y0 + 30);
    const IntRect row2 = list.itemRect(2);
    for (int click = 0; click < 3; ++click)
        this->click(list, row2.x0 + 30, row2.y0 + 30);
    EXPECT_TRUE(saveTrackList("opus-rows.png"));
}

TEST_F(FormatChoiceWindow, PropertiesDialogOffersOpusWithItsBitrates)
{
    open();
    EncoderPropertiesDialog dialog(*window, kFormatVorbis, -1);
    ASSERT_EQ(dialog.formatBox().rowCount(), kFormatCount);
    EXPECT_EQ(dialog.formatBox().rowText(kFormatOpus), u"Opus");
    EXPECT_EQ(dialog.formatBox().rowText(kFormatWav), u"Wav");

    dialog.formatBox().choose(kFormatOpus);
    EXPECT_EQ(dialog.format(), kFormatOpus);
    ASSERT_EQ(dialog.qualityBox().rowCount(), 6);
    EXPECT_TRUE(dialog.qualityBox().isInteractive());
    EXPECT_EQ(dialog.qualityBox().chosen(), 3) << "160 kbit/s when nothing is stored";
    std::vector<std::u16string> labels;
    for (int32_t row = 0; row < dialog.qualityBox().rowCount(); ++row)
        labels.push_back(dialog.qualityBox().rowText(row));
    EXPECT_EQ(labels, (std::vector<std::u16string>{u"64 Kbps", u"96 Kbps", u"128 Kbps", u"160 Kbps", u"192 Kbps",
                                                    u"256 Kbps"}));
    dialog.qualityBox().choose(1);
    dialog.storeChoices(); // what OK does
    uint32_t value = 0;
    EXPECT_TRUE(settings::readDword(product::kProductKey, settings::kEncodersKey, settings::kValueDefaultFormat, value));
    EXPECT_EQ(value, uint32_t(kFormatOpus));
    EXPECT_TRUE(settings::readDword(product::kProductKey, settings::kEncodersKey, settings::kValueOpusQuality, value));
    EXPECT_EQ(value, 1u);

    // Opened again on an Opus track, the dialog shows Opus and its stored bitrate.
    EncoderPropertiesDialog again(*window, kFormatOpus, -1);
    EXPECT_EQ(again.formatBox().chosen(), kFormatOpus);
    EXPECT_EQ(again.qualityBox().chosen(), 1);
    EXPECT_EQ(again.qualityBox().rowText(again.qualityBox().chosen()), u"96 Kbps");
}

} // namespace
} // namespace tonvane
