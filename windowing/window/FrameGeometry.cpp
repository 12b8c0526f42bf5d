#include "windowing/window/FrameGeometry.h"

#include "windowing/message/MessageNumbers.h"

namespace tonvane {

namespace {

int32_t sizingCode(bool left, bool right, bool top, bool bottom)
{
    if (top)
        return left ? ht::HTTOPLEFT : right ? ht::HTTOPRIGHT : ht::HTTOP;
    if (bottom)
        return left ? ht::HTBOTTOMLEFT : right ? ht::HTBOTTOMRIGHT : ht::HTBOTTOM;
    return left ? ht::HTLEFT : right ? ht::HTRIGHT : 0;
}

} // namespace

int32_t FrameGeometry::hitTest(int32_t x, int32_t y, int32_t width, int32_t height, bool maximised) const
{
    if (x < 0 || y < 0 || x >= width || y >= height)
        return ht::HTNOWHERE;
    int32_t fromRight = width - 1 - x;
    int32_t fromTop = height - 1 - y;
    if (!maximised && border > 0) {
        bool onEdge = x < border || fromRight < border || fromTop < border || y < border;
        if (onEdge) {
            int32_t code = sizingCode(x < corner, fromRight < corner, fromTop < corner, y < corner);
            if (code != 0)
                return code;
        }
    }
    if (fromTop < buttonHeight && buttonWidth > 0) {
        static constexpr int32_t kOrder[] = {ht::HTCLOSE, ht::HTMAXBUTTON, ht::HTMINBUTTON};
        int32_t index = fromRight / buttonWidth;
        if (index < buttons && index < 3)
            return kOrder[index];
    }
    return fromTop < captionHeight ? ht::HTCAPTION : ht::HTCLIENT;
}

} // namespace tonvane
