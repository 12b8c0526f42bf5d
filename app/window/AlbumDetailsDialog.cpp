#include "app/window/AlbumDetailsDialog.h"

#include "controls/theme/ControlTheme.h"
#include "controls/theme/StyleBits.h"
#include "core/language/Language.h"
#include "graphics/text/TextLayout.h"

#include <algorithm>

namespace tonvane {

namespace {
constexpr uint32_t kShown = style::kVisible;
constexpr int32_t kButtonWidth = 96; // [pixels]
constexpr int32_t kButtonHeight = 25; // [pixels]
constexpr int32_t kButtonGap = 12; // [pixels]
constexpr int32_t kButtonBottom = 16; // [pixels]
constexpr int32_t kSideMargin = 16; // [pixels]
constexpr int32_t kLabelWidth = 136; // [pixels] room for the longest label ("Исполнитель альбома:")
constexpr int32_t kRowStep = 30; // [pixels] from one field to the next
constexpr int32_t kEntryHeight = 22; // [pixels]
constexpr int32_t kYearWidth = 64; // [pixels] four digits and room
constexpr TextId kLabelRows[] = {kTextAlbumArtistLabel, kTextAlbumLabel, kTextYearLabel, kTextGenreLabel};
} // namespace

AlbumDetailsDialog::AlbumDetailsDialog(LayeredWindow& owner, const AlbumFields& fields)
    : DialogWindow(owner, std::u16string(uiText(kTextAlbumDetailsCaption).view()), kHeight)
{
    const WideString* values[] = {&fields.albumArtist, &fields.album, &fields.year, &fields.genre};
    for (int field = 0; field < kFieldCount; ++field) {
        m_labels[field].setCaption(Caption::text(kLabelRows[field]));
        m_labels[field].setFlags(kTextVerticalCentre);
        m_labels[field].create(0, 0, 0, 0, kShown);
        m_entries[field].setText(values[field]->toUtf8());
        m_entries[field].create(0, 0, 0, 0, kShown);
    }
    m_ok.setCaption(Caption::text(kTextOk));
    m_ok.setOnClick([this] { accept(); });
    m_ok.create(0, 0, kButtonWidth, kButtonHeight, kShown);
    m_cancel.setCaption(Caption::text(kTextCancel));
    m_cancel.setOnClick([this] { dismiss(); });
    m_cancel.create(0, 0, kButtonWidth, kButtonHeight, kShown);
    m_entries[kArtist].takeFocus();
    m_entries[kArtist].selectAll();
}

void AlbumDetailsDialog::placeWidgets(int32_t w, int32_t h)
{
    int32_t top = h - 14;
    int32_t entryLeft = kSideMargin + kLabelWidth;
    int32_t entryWidth = std::max(0, w - entryLeft - kSideMargin);
    for (int field = 0; field < kFieldCount; ++field) {
        int32_t bottom = top - kEntryHeight - field * kRowStep;
        m_labels[field].setRect(kSideMargin, bottom, kLabelWidth - 8, kEntryHeight);
        m_entries[field].setRect(entryLeft, bottom, field == kYear ? std::min(kYearWidth, entryWidth) : entryWidth,
                                 kEntryHeight);
    }
    int32_t row = 2 * kButtonWidth + kButtonGap;
    int32_t x = (w - row) / 2;
    m_ok.setRect(x, kButtonBottom, kButtonWidth, kButtonHeight);
    m_cancel.setRect(x + kButtonWidth + kButtonGap, kButtonBottom, kButtonWidth, kButtonHeight);
}

AlbumFields AlbumDetailsDialog::fields() const
{
    return {WideString::fromUtf8(m_entries[kArtist].text()), WideString::fromUtf8(m_entries[kAlbum].text()),
            WideString::fromUtf8(m_entries[kYear].text()), WideString::fromUtf8(m_entries[kGenre].text())};
}

void AlbumDetailsDialog::accept()
{
    kept = true;
    close();
}

} // namespace tonvane
