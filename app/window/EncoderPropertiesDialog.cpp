#include "app/window/EncoderPropertiesDialog.h"

#include "controls/theme/ControlTheme.h"
#include "controls/theme/StyleBits.h"
#include "core/ProductConfig.h"
#include "core/disc/EncoderFormat.h"
#include "core/disc/EncoderSettings.h"
#include "core/settings/SettingsDefaults.h"
#include "core/settings/SettingsStore.h"
#include "encoders/framework/QualityTable.h"
#include "graphics/text/TextLayout.h"

#include <algorithm>

namespace tonvane {

namespace {

constexpr uint32_t kShown = style::kVisible;
constexpr int32_t kFormats = kFormatCount;
constexpr int32_t kWav = kFormatWav;
const char16_t* const kFormatNames[kFormats] = {u"MP3", u"OGG Vorbis", u"Flac", u"Wav", u"Opus"};
constexpr int32_t kListRoom = 250 - metrics::kControlHeight; // [pixels] below the closed box

const char16_t* qualityValueName(int32_t format)
{
    switch (format) {
    case kFormatMp3:
        return settings::kValueMp3Quality;
    case kFormatVorbis:
        return settings::kValueVorbisQuality;
    case kFormatFlac:
        return settings::kValueFlacQuality;
    case kFormatOpus:
        return settings::kValueOpusQuality;
    default:
        return nullptr; // WAV stores nothing
    }
}

void storeEncoders(const char16_t* name, uint32_t value)
{
    settings::writeDword(product::kProductKey, settings::kEncodersKey, name, value);
}

} // namespace

EncoderPropertiesDialog::EncoderPropertiesDialog(LayeredWindow& owner, int32_t format, int32_t quality)
    : DialogWindow(owner, std::u16string(uiText(kTextProperties).view())),
      m_format(format >= 0 && format < kFormats ? format : 0)
{
    m_ok.setCaption(Caption::text(kTextOk));
    m_ok.setOnClick([this] {
        result = kOk;
        close();
    });
    m_ok.create(0, 0, 100, 25, kShown);
    m_cancel.setCaption(Caption::text(kTextCancel));
    m_cancel.setOnClick([this] {
        result = kCancel;
        close();
    });
    m_cancel.create(0, 0, 100, 25, kShown);

    m_formatBox.setRowCount(kFormats);
    m_formatBox.setRowText([](int32_t row) { return std::u16string(kFormatNames[row]); });
    m_formatBox.setListHeight(kFormats * metrics::kControlHeight);
    m_formatBox.setChosen(m_format);
    m_formatBox.setOnChoose([this](int32_t row) { chooseFormat(row); });
    m_formatBox.create(0, 0, 160, metrics::kControlHeight, kShown);

    m_qualityBox.setRowText([this](int32_t row) { return std::u16string(qualityLabel(m_format, uint32_t(row)).view()); });
    m_qualityBox.setOnChoose([this](int32_t row) { chooseQuality(row); });
    m_qualityBox.create(0, 0, 160, metrics::kControlHeight, kShown);
    fillQualities(quality);

    // The stored "ApplyAll"; ticked when missing (and written as 1 after OK).
    uint32_t applyAll = settings::kDefaultApplyAll;
    settings::readDword(product::kProductKey, settings::kEncodersKey, settings::kValueApplyAll, applyAll);
    m_applyAll.setCaption(Caption::text(kTextApplyAll));
    m_applyAll.setTicked(applyAll != 0);
    m_applyAll.create(0, 0, 230, 16, kShown);
}

// MP3 14 rows, Vorbis 12, FLAC 8, Opus 6, all enabled; WAV one row in a disabled box.
void EncoderPropertiesDialog::fillQualities(int32_t quality)
{
    uint32_t rows = qualityCount(m_format);
    if (quality < 0)
        quality = m_chosenQuality[m_format]; // the row picked here before, if any
    m_quality = quality < 0 ? storedQuality(m_format) : static_cast<uint32_t>(quality);
    if (m_quality >= rows)
        m_quality = rows > 0 ? rows - 1 : 0;
    m_qualityBox.setRowCount(static_cast<int32_t>(rows));
    m_qualityBox.setListHeight(std::min<int32_t>(kListRoom, static_cast<int32_t>(rows) * metrics::kControlHeight));
    m_qualityBox.setChosen(static_cast<int32_t>(m_quality));
    m_qualityBox.setEnabled(m_format != kWav);
}

void EncoderPropertiesDialog::chooseFormat(int32_t format)
{
    if (format < 0 || format >= kFormats)
        return;
    m_format = format;
    m_formatChosen = true;
    fillQualities(-1);
}

void EncoderPropertiesDialog::chooseQuality(int32_t row)
{
    m_quality = static_cast<uint32_t>(row);
    m_chosenQuality[m_format] = row;
}

void EncoderPropertiesDialog::storeChoices() const
{
    if (m_formatChosen)
        storeEncoders(settings::kValueDefaultFormat, static_cast<uint32_t>(m_format));
    for (int32_t format = 0; format < kFormats; ++format) {
        const char16_t* name = qualityValueName(format);
        if (name != nullptr && m_chosenQuality[format] >= 0)
            storeEncoders(name, static_cast<uint32_t>(m_chosenQuality[format]));
    }
    storeEncoders(settings::kValueApplyAll, m_applyAll.ticked() ? 1 : 0);
}

void EncoderPropertiesDialog::dismiss()
{
    result = kCancel;
    close();
}

void EncoderPropertiesDialog::accept()
{
    result = focusedWidget() == &m_cancel ? kCancel : kOk;
    close();
}

void EncoderPropertiesDialog::placeWidgets(int32_t w, int32_t h)
{
    m_ok.setRect(w / 2 - 116, 20, 100, 25);
    m_cancel.setRect(w / 2 + 16, 20, 100, 25);
    // The closed boxes are the top 22 pixels of their 160 x 250 areas (H - 274 + 250 - 22).
    m_formatBox.setRect(w / 2 - 168, h - 24 - metrics::kControlHeight, 160, metrics::kControlHeight);
    m_qualityBox.setRect(w / 2 + 8, h - 24 - metrics::kControlHeight, 160, metrics::kControlHeight);
    // As wide as the dialog and two lines high: "apply to all tracks" runs longer than one line
    // in several languages; a caption that fits stays on the box's line.
    m_applyAll.setRect(16, 66, std::max(0, w - 32), 30);
}

} // namespace tonvane
