#pragma once
#include "app/window/DialogWindow.h"
#include "controls/button/CheckBox.h"
#include "controls/button/PushButton.h"
#include "controls/dropdown/DropDownBox.h"
#include "core/disc/EncoderFormat.h"

namespace tonvane {

// Format and quality of one track (or of all, with the apply-to-all box). Nothing is stored while
// the dialog is open: after OK (result 0) the caller calls storeChoices (the format as "Default",
// each quality chosen under its format's own name, the box as "ApplyAll") and applies format and
// quality to tracks; Cancel leaves the settings as they were.
class EncoderPropertiesDialog final : public DialogWindow {
public:
    static constexpr int32_t kOk = 0;
    static constexpr int32_t kCancel = 1;

    // quality -1: the format's stored default.
    EncoderPropertiesDialog(LayeredWindow& owner, int32_t format, int32_t quality);

    int32_t result = kOk; // closing by the caption's button counts as OK
    int32_t format() const { return m_format; }
    uint32_t quality() const { return m_quality; }
    bool applyToAll() const { return m_applyAll.ticked(); }
    // Writes the choices to the settings (after OK).
    void storeChoices() const;

    DropDownBox& formatBox() { return m_formatBox; }
    DropDownBox& qualityBox() { return m_qualityBox; }
    CheckBox& applyAllBox() { return m_applyAll; }
    PushButton& okButton() { return m_ok; }
    PushButton& cancelButton() { return m_cancel; }

protected:
    void placeWidgets(int32_t width, int32_t height) override;
    // Esc is Cancel; Return is OK, or Cancel when that button has the focus.
    void dismiss() override;
    void accept() override;

private:
    void fillQualities(int32_t quality);
    void chooseFormat(int32_t format);
    void chooseQuality(int32_t row);

    int32_t m_format;
    uint32_t m_quality = 0;
    static_assert(kFormatCount == 5, "one -1 per format below");
    int32_t m_chosenQuality[kFormatCount] = {-1, -1, -1, -1, -1}; // per format, -1: not chosen here
    bool m_formatChosen = false; // a format was picked: it becomes the "Default"
    PushButton m_ok{&panel()};
    PushButton m_cancel{&panel()};
    DropDownBox m_formatBox{&panel()};
    DropDownBox m_qualityBox{&panel()};
    CheckBox m_applyAll{&panel()};
};

} // namespace tonvane
