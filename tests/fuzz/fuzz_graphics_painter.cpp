// Painter operations with arbitrary geometry (NaN, infinities, huge and tiny values, negative
// sizes) recorded into two surfaces and replayed on one band and on three. Sanitizers catch any
// write outside the bitmap; the two renders must give the same bytes.
#include "graphics/surface/Surface.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using namespace tonvane;

// Reads the fuzzer's bytes; once they run out every read answers zero.
class Input {
public:
    Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool empty() const { return m_at >= m_size; }
    uint8_t byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    uint32_t word()
    {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value = value << 8 | byte();
        return value;
    }
    // Mostly coordinates near the bitmap in quarter pixels; sometimes any double at all.
    double coordinate()
    {
        uint8_t kind = byte();
        if (kind < 224)
            return (static_cast<int>(byte()) - 64) / 4.0 + (kind & 3) * 0.001;
        switch (kind & 7) {
        case 0: return std::nan("");
        case 1: return INFINITY;
        case 2: return -INFINITY;
        case 3: return 1e300;
        case 4: return -1e300;
        case 5: return 1e-300;
        default: {
            uint64_t bits = uint64_t{word()} << 32 | word();
            double value;
            std::memcpy(&value, &bits, sizeof value);
            return value;
        }
        }
    }
    // Fields are read in a fixed order (function arguments are evaluated in none).
    Paint paint()
    {
        uint8_t kind = byte() % 5;
        uint32_t first = word(), second = word();
        double a = coordinate(), b = coordinate(), c = coordinate(), d = coordinate();
        switch (kind) {
        case 0: return Paint::solid(first);
        case 1: return Paint::linearY(first, second, a, b);
        case 2: return Paint::linearX(first, second, a, b);
        case 3: return Paint::radial(a, b, first, second, c, d);
        default: return Paint::elliptical(a, b, c, d, first, second);
        }
    }
    void coordinates(double* out, int count)
    {
        for (int i = 0; i < count; ++i)
            out[i] = coordinate();
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

constexpr int kMaxSide = 48; // [pixels]
constexpr int kMaxOperations = 64;

struct Image {
    std::vector<uint32_t> pixels;
    ImageView view;
};

Image readImage(Input& in)
{
    Image image;
    int width = 1 + in.byte() % 8;
    int height = 1 + in.byte() % 8;
    int rowLength = width + in.byte() % 3;
    image.pixels.resize(static_cast<size_t>(rowLength) * height);
    for (auto& pixel : image.pixels) {
        uint32_t grey = in.byte() * 0x01010101u;
        pixel = grey ^ in.byte();
    }
    image.view = {width, height, rowLength, image.pixels.data()};
    return image;
}

void paint(Surface& surface, Input in, unsigned bands)
{
    surface.begin();
    double v[8];
    for (int op = 0; op < kMaxOperations && !in.empty(); ++op) {
        switch (in.byte() % 12) {
        case 0: {
            int32_t clip[4];
            for (auto& edge : clip)
                edge = in.byte() % 64 - 8;
            surface.setClip(clip[0], clip[1], clip[2], clip[3]);
            break;
        }
        case 1:
            in.coordinates(v, 2);
            surface.setOrigin(v[0], v[1]);
            break;
        case 2:
            in.coordinates(v, 4);
            surface.fillRectangle(v[0], v[1], v[2], v[3], in.paint());
            break;
        case 3: {
            in.coordinates(v, 8);
            uint32_t inner = in.word(), outer = in.word();
            surface.fillRectangleRadial(v[0], v[1], v[2], v[3], v[4], v[5], inner, outer, v[6], v[7]);
            break;
        }
        case 4:
            in.coordinates(v, 3);
            surface.disc(v[0], v[1], v[2], in.paint());
            break;
        case 5:
            in.coordinates(v, 4);
            surface.ring(v[0], v[1], v[2], v[3], in.paint());
            break;
        case 6:
        case 7:
            in.coordinates(v, 6);
            surface.roundedRectangle(v[0], v[1], v[2], v[3], v[4], v[5] / 8, in.paint());
            break;
        case 8:
            in.coordinates(v, 7);
            surface.roundedRectangleOutline(v[0], v[1], v[2], v[3], v[4], v[5] / 8, v[6], in.paint());
            break;
        case 9:
        case 10: {
            // The image must outlive the replay of its command, so it is rendered here.
            Image image = readImage(in);
            in.coordinates(v, 4);
            double opacity = in.byte() / 255.0;
            if (op % 2)
                surface.drawImage(v[0], v[1], image.view, opacity);
            else
                surface.drawImageScaled(v[0], v[1], v[2], v[3], image.view, opacity);
            surface.render(bands);
            surface.begin();
            break;
        }
        default: {
            in.coordinates(v, 4);
            uint32_t atY0 = in.word(), atY1 = in.word();
            surface.fillRectangleVertical(v[0], v[1], v[2], v[3], atY0, atY1);
            break;
        }
        }
    }
    surface.render(bands);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    int width = 1 + data[0] % kMaxSide;
    int height = 1 + data[1] % kMaxSide;
    static Surface one(1);
    static Surface three(3);
    // Kept between inputs (a new pair would start threads each time); they only grow, and
    // every input starts from transparent pixels.
    if (!one.setSize(width, height) || !three.setSize(width, height))
        std::abort();
    std::memset(one.pixels(), 0, static_cast<size_t>(one.width()) * one.height() * 4);
    std::memset(three.pixels(), 0, static_cast<size_t>(three.width()) * three.height() * 4);
    paint(one, Input(data + 2, size - 2), 1);
    paint(three, Input(data + 2, size - 2), 3);
    if (std::memcmp(one.pixels(), three.pixels(), static_cast<size_t>(one.width()) * one.height() * 4) != 0)
        std::abort();
    return 0;
}
