#include "app/window/TypedTitlesDialog.h"

#include "controls/theme/StyleBits.h"
#include "core/language/Language.h"

#include <algorithm>

namespace tonvane {

namespace {
constexpr uint32_t kShown = style::kVisible;
constexpr int32_t kButtonWidth = 104; // [pixels]
constexpr int32_t kButtonHeight = 25; // [pixels]
constexpr int32_t kButtonGap = 12; // [pixels]
constexpr int32_t kButtonBottom = 20; // [pixels]
constexpr int32_t kSideMargin = 24; // [pixels]
constexpr int32_t kQuestionBottom = 58; // [pixels]
} // namespace

TypedTitlesDialog::TypedTitlesDialog(LayeredWindow& owner)
    : DialogWindow(owner, std::u16string(uiText(kTextTypedTitlesCaption).view()), kHeight)
{
    m_replace.setCaption(Caption::text(kTextReplace));
    m_replace.setOnClick([this] {
        replace = true;
        close();
    });
    m_replace.create(0, 0, kButtonWidth, kButtonHeight, kShown);
    m_keep.setCaption(Caption::text(kTextKeep));
    m_keep.setOnClick([this] { close(); });
    m_keep.create(0, 0, kButtonWidth, kButtonHeight, kShown);
    m_question.setCaption(Caption::text(kTextReplaceTypedQuestion));
    m_question.create(0, 0, 0, 0, kShown);
}

void TypedTitlesDialog::placeWidgets(int32_t w, int32_t h)
{
    int32_t row = 2 * kButtonWidth + kButtonGap;
    int32_t x = (w - row) / 2;
    m_replace.setRect(x, kButtonBottom, kButtonWidth, kButtonHeight);
    m_keep.setRect(x + kButtonWidth + kButtonGap, kButtonBottom, kButtonWidth, kButtonHeight);
    m_question.setRect(kSideMargin, kQuestionBottom, std::max(0, w - 2 * kSideMargin),
                       std::max(0, h - kQuestionBottom - 8));
}

} // namespace tonvane
