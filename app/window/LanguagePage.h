#pragma once
#include "controls/button/PushButton.h"
#include "controls/widget/Widget.h"
#include "core/language/Language.h"
#include "graphics/image/ImageStrip.h"

#include <functional>
#include <memory>
#include <vector>

namespace tonvane {

// The first-run page: eight buttons of 164 x 48, each with its flag and its language's own name,
// in two columns and four rows centred on the page.
class LanguagePage : public Widget {
public:
    static constexpr int32_t kButtonWidth = 164; // [pixels]
    static constexpr int32_t kButtonHeight = 48; // [pixels]

    LanguagePage(Widget* parent, std::function<void(LanguageId)> onChoose);

    void layout() override;
    const std::vector<std::unique_ptr<PushButton>>& buttons() const { return m_buttons; }

private:
    std::function<void(LanguageId)> m_onChoose;
    ImageStrip m_flags;
    std::vector<std::unique_ptr<PushButton>> m_buttons;
};

} // namespace tonvane
