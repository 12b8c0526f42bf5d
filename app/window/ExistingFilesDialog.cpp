#include "app/window/ExistingFilesDialog.h"

#include "controls/theme/StyleBits.h"
#include "core/language/Language.h"

#include <algorithm>

namespace tonvane {

namespace {
constexpr uint32_t kShown = style::kVisible;
constexpr int32_t kButtonWidth = 104; // [pixels]
constexpr int32_t kButtonHeight = 25; // [pixels]
constexpr int32_t kButtonGap = 12; // [pixels] between two buttons
constexpr int32_t kButtonBottom = 20; // [pixels]
constexpr int32_t kSideMargin = 24; // [pixels] left and right of the question
constexpr int32_t kQuestionBottom = 62; // [pixels]
} // namespace

ExistingFilesDialog::ExistingFilesDialog(LayeredWindow& owner, const std::u16string& firstExisting)
    : DialogWindow(owner, std::u16string(uiText(kTextFilesExistCaption).view()), kHeight)
{
    m_replace.setCaption(Caption::text(kTextReplace));
    m_replace.setOnClick([this] { choose(Choice::Replace); });
    m_replace.create(0, 0, kButtonWidth, kButtonHeight, kShown);
    m_keepBoth.setCaption(Caption::text(kTextKeepBoth));
    m_keepBoth.setOnClick([this] { choose(Choice::KeepBoth); });
    m_keepBoth.create(0, 0, kButtonWidth, kButtonHeight, kShown);
    m_cancel.setCaption(Caption::text(kTextCancel));
    m_cancel.setOnClick([this] { choose(Choice::Cancel); });
    m_cancel.create(0, 0, kButtonWidth, kButtonHeight, kShown);
    std::u16string name = u"\u201C" + firstExisting + u"\u201D";
    m_question.setCaption(Caption::of(fillPlaceholders(uiText(kTextFilesExistQuestion).view(), {name})));
    m_question.create(0, 0, 0, 0, kShown);
}

void ExistingFilesDialog::placeWidgets(int32_t w, int32_t h)
{
    int32_t row = 3 * kButtonWidth + 2 * kButtonGap;
    int32_t x = (w - row) / 2;
    m_replace.setRect(x, kButtonBottom, kButtonWidth, kButtonHeight);
    m_keepBoth.setRect(x + kButtonWidth + kButtonGap, kButtonBottom, kButtonWidth, kButtonHeight);
    m_cancel.setRect(x + 2 * (kButtonWidth + kButtonGap), kButtonBottom, kButtonWidth, kButtonHeight);
    m_question.setRect(kSideMargin, kQuestionBottom, std::max(0, w - 2 * kSideMargin),
                       std::max(0, h - kQuestionBottom - 8));
}

void ExistingFilesDialog::choose(Choice chosen)
{
    choice = chosen;
    close();
}

} // namespace tonvane
