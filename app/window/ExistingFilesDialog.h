#pragma once
#include "app/window/DialogWindow.h"
#include "controls/button/PushButton.h"
#include "controls/label/Label.h"

#include <string>

namespace tonvane {

// Asked once per conversion when files of its names are in the folder already: "%s already
// exists in this folder. Replace the existing files, or keep both?" with Replace, Keep both and
// Cancel. Esc, the close button and Cancel give Cancel; Return gives Keep both, which never
// loses a file.
class ExistingFilesDialog final : public DialogWindow {
public:
    enum class Choice : uint8_t { Replace, KeepBoth, Cancel };
    static constexpr int32_t kHeight = 170; // [pixels]

    // firstExisting: the file name (without folder) the question names.
    ExistingFilesDialog(LayeredWindow& owner, const std::u16string& firstExisting);

    Choice choice = Choice::Cancel;

    PushButton& replaceButton() { return m_replace; }
    PushButton& keepBothButton() { return m_keepBoth; }
    PushButton& cancelButton() { return m_cancel; }
    Label& question() { return m_question; }

protected:
    void placeWidgets(int32_t width, int32_t height) override;
    void accept() override { choose(Choice::KeepBoth); }

private:
    void choose(Choice chosen);

    PushButton m_replace{&panel()};
    PushButton m_keepBoth{&panel()};
    PushButton m_cancel{&panel()};
    Label m_question{&panel()};
};

} // namespace tonvane
