#include "app/window/AboutBox.h"

#include "controls/theme/StyleBits.h"
#include "core/ProductConfig.h"
#include "core/foundation/Utf.h"

#include <algorithm>

namespace tonvane {

AboutBox::AboutBox(LayeredWindow& owner) : DialogWindow(owner, std::u16string(uiText(kTextAbout).view()), kHeight)
{
    m_ok.setCaption(Caption::text(kTextOk));
    m_ok.setOnClick([this] { close(); });
    m_ok.create(0, 0, 100, 25, style::kVisible);
    std::u16string version = utf8ToUtf16(product::kVersion);
    m_text.setCaption(Caption::of(fillPlaceholders(uiText(kTextAboutBody).view(), {version})));
    m_text.create(0, 0, kTextWidth, 100, style::kVisible);
}

void AboutBox::placeWidgets(int32_t w, int32_t h)
{
    m_ok.setRect(w / 2 - 50, 20, 100, 25);
    m_text.setRect((w - kTextWidth) / 2, 69, kTextWidth, std::max(0, h - 73));
}

} // namespace tonvane
