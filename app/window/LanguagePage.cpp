#include "app/window/LanguagePage.h"

#include "controls/theme/StyleBits.h"

namespace tonvane {

namespace {

constexpr uint32_t kFlagStrip = 130; // resource id: eight 48 x 32 flags
constexpr int32_t kFlagWidth = 48; // [pixels]
constexpr int32_t kFlagHeight = 32; // [pixels]
constexpr uint32_t kPageButtonStyle = 0x2000E; // shown, with the darker face

// Reading order, left then right, top row first; the flag strip has the same order.
struct Choice {
    TextId name;
    LanguageId language;
};
constexpr Choice kChoices[] = {{kTextSpanishName, kSpanish}, {kTextEnglishName, kEnglish},
                               {kTextRussianName, kRussian}, {kTextGermanName, kGerman},
                               {kTextFrenchName, kFrench},   {kTextPortugueseName, kPortuguese},
                               {kTextItalianName, kItalian}, {kTextJapaneseName, kJapanese}};

} // namespace

LanguagePage::LanguagePage(Widget* parent, std::function<void(LanguageId)> onChoose)
    : Widget(parent), m_onChoose(std::move(onChoose))
{
    m_flags.load(kFlagStrip);
    m_flags.setFrameSize(kFlagWidth, kFlagHeight);
    for (int i = 0; i < 8; ++i) {
        auto button = std::make_unique<PushButton>(this);
        button->setCaption(Caption::text(kChoices[i].name));
        button->setIcon(&m_flags, i);
        LanguageId id = kChoices[i].language;
        button->setOnClick([this, id] {
            if (m_onChoose)
                m_onChoose(id);
        });
        button->create(0, 0, kButtonWidth, kButtonHeight, kPageButtonStyle);
        m_buttons.push_back(std::move(button));
    }
}

// Two columns at a - 180 and a + 16, four rows with bottoms at b - 48, b - 128, b - 208, b - 288,
// where a = W / 2 and b = (H + 288) / 2.
void LanguagePage::layout()
{
    int32_t a = width() / 2, b = (height() + 288) / 2;
    for (size_t i = 0; i < m_buttons.size(); ++i) {
        int32_t column = static_cast<int32_t>(i % 2), row = static_cast<int32_t>(i / 2);
        m_buttons[i]->setRect(column == 0 ? a - 180 : a + 16, b - 48 - 80 * row, kButtonWidth, kButtonHeight);
    }
}

} // namespace tonvane
