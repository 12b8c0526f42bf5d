#pragma once
#include "app/window/DialogWindow.h"
#include "controls/button/PushButton.h"
#include "controls/label/Label.h"

namespace tonvane {

// Asked once before a lookup's match goes over texts the person typed: "Replace the titles you
// typed?" with Replace and Keep. Keep, Return, Esc and the close button keep them: nothing
// typed is lost without a click on Replace.
class TypedTitlesDialog final : public DialogWindow {
public:
    static constexpr int32_t kHeight = 140; // [pixels]

    explicit TypedTitlesDialog(LayeredWindow& owner);

    bool replace = false;
    PushButton& replaceButton() { return m_replace; }
    PushButton& keepButton() { return m_keep; }

protected:
    void placeWidgets(int32_t width, int32_t height) override;

private:
    PushButton m_replace{&panel()};
    PushButton m_keep{&panel()};
    Label m_question{&panel()};
};

} // namespace tonvane
