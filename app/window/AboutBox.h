#pragma once
#include "app/window/DialogWindow.h"
#include "controls/button/PushButton.h"
#include "controls/label/Label.h"

namespace tonvane {

// The About box: the About text wrapped in the box, and OK.
class AboutBox final : public DialogWindow {
public:
    static constexpr int32_t kHeight = 250; // [pixels]
    static constexpr int32_t kTextWidth = 340; // [pixels]

    explicit AboutBox(LayeredWindow& owner);
    const Label& body() const { return m_text; }

protected:
    void placeWidgets(int32_t width, int32_t height) override;

private:
    PushButton m_ok{&panel()};
    Label m_text{&panel()};
};

} // namespace tonvane
