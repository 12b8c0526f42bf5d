#pragma once
#include "app/window/DialogWindow.h"
#include "controls/button/PushButton.h"
#include "controls/entry/TextEntry.h"
#include "controls/label/Label.h"
#include "core/disc/TypedFields.h"

namespace tonvane {

// The album's artist, title, year and genre typed in four text entries, opened from the link
// beside the album box. OK and Return keep what was typed; Cancel, Esc and the close button drop
// it. Tab walks the entries and buttons.
class AlbumDetailsDialog final : public DialogWindow {
public:
    static constexpr int32_t kHeight = 210; // [pixels]
    enum Field { kArtist, kAlbum, kYear, kGenre, kFieldCount };

    AlbumDetailsDialog(LayeredWindow& owner, const AlbumFields& fields);

    bool kept = false;
    // What the entries hold now.
    AlbumFields fields() const;
    TextEntry& entry(Field field) { return m_entries[field]; }
    PushButton& okButton() { return m_ok; }

protected:
    void placeWidgets(int32_t width, int32_t height) override;
    void accept() override;

private:
    PushButton m_ok{&panel()};
    PushButton m_cancel{&panel()};
    Label m_labels[kFieldCount] = {Label(&panel()), Label(&panel()), Label(&panel()), Label(&panel())};
    TextEntry m_entries[kFieldCount] = {TextEntry(&panel()), TextEntry(&panel()), TextEntry(&panel()),
                                        TextEntry(&panel())};
};

} // namespace tonvane
