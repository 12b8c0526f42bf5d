#include "graphics/image/ImageScaler.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tonvane {

namespace {

// The source pixels one target pixel of an axis reads, with their weights (summing to 1).
struct Tap {
    int32_t first = 0;
    std::vector<double> weights;
};

std::vector<Tap> tapsFor(int32_t from, int32_t to)
{
    std::vector<Tap> taps(static_cast<size_t>(to));
    double step = double(from) / double(to); // [source pixels per target pixel]
    for (int32_t i = 0; i < to; ++i) {
        Tap& tap = taps[size_t(i)];
        if (to <= from) {
            // Area: the target pixel covers [i step, (i + 1) step) of the source.
            double start = i * step, end = (i + 1) * step;
            int32_t first = int32_t(std::floor(start));
            int32_t last = std::min(from - 1, int32_t(std::ceil(end)) - 1);
            tap.first = first;
            for (int32_t s = first; s <= last; ++s) {
                double covered = std::min(end, double(s + 1)) - std::max(start, double(s));
                tap.weights.push_back(std::max(0.0, covered) / step);
            }
        } else {
            // Bilinear between the centres around the target pixel's centre.
            double centre = (i + 0.5) * step - 0.5;
            double clamped = std::clamp(centre, 0.0, double(from - 1));
            int32_t left = std::min(int32_t(std::floor(clamped)), from - 1);
            double f = clamped - left;
            tap.first = left;
            tap.weights.push_back(1.0 - f);
            if (left + 1 < from)
                tap.weights.push_back(f);
        }
    }
    return taps;
}

// Premultiplied channels, 0..255 each.
struct Premultiplied {
    double a = 0, r = 0, g = 0, b = 0;
};

Premultiplied premultiply(uint32_t argb)
{
    double a = double(argb >> 24);
    double k = a / 255.0;
    return {a, double((argb >> 16) & 0xFF) * k, double((argb >> 8) & 0xFF) * k, double(argb & 0xFF) * k};
}

uint32_t straighten(const Premultiplied& p)
{
    auto byte = [](double v) { return uint32_t(std::clamp(std::lround(v), 0L, 255L)); };
    uint32_t a = byte(p.a);
    if (a == 0)
        return 0;
    double k = 255.0 / p.a;
    return (a << 24) | (byte(p.r * k) << 16) | (byte(p.g * k) << 8) | byte(p.b * k);
}

} // namespace

ScaledSize fitInside(int32_t width, int32_t height, int32_t maxWidth, int32_t maxHeight)
{
    if (width <= 0 || height <= 0 || maxWidth <= 0 || maxHeight <= 0)
        return {};
    // The side that limits first is set to its box; the other follows the aspect, rounded.
    if (int64_t(width) * maxHeight >= int64_t(height) * maxWidth)
        return {maxWidth, std::max<int32_t>(1, int32_t((int64_t(height) * maxWidth + width / 2) / width))};
    return {std::max<int32_t>(1, int32_t((int64_t(width) * maxHeight + height / 2) / height)), maxHeight};
}

ImagePtr scaleImage(const Image& source, int32_t width, int32_t height)
{
    if (width <= 0 || height <= 0 || source.width <= 0 || source.height <= 0 || source.pixels == nullptr)
        return nullptr;
    ImagePtr target(allocateImage(uint32_t(width), uint32_t(height)));
    if (!target)
        return nullptr;
    std::vector<Tap> across = tapsFor(source.width, width);
    std::vector<Tap> down = tapsFor(source.height, height);
    // Rows first: every source row scaled across into premultiplied values.
    std::vector<Premultiplied> rows(size_t(source.height) * size_t(width));
    std::vector<Premultiplied> line(size_t(source.width));
    for (int32_t y = 0; y < source.height; ++y) {
        const uint32_t* in = source.pixels + size_t(y) * size_t(source.width);
        for (int32_t x = 0; x < source.width; ++x)
            line[size_t(x)] = premultiply(in[x]);
        Premultiplied* out = &rows[size_t(y) * size_t(width)];
        for (int32_t x = 0; x < width; ++x) {
            const Tap& tap = across[size_t(x)];
            Premultiplied sum;
            for (size_t k = 0; k < tap.weights.size(); ++k) {
                const Premultiplied& p = line[size_t(tap.first) + k];
                double w = tap.weights[k];
                sum.a += p.a * w;
                sum.r += p.r * w;
                sum.g += p.g * w;
                sum.b += p.b * w;
            }
            out[x] = sum;
        }
    }
    // Then down each column. Rows are bottom-up in both pictures: the same mapping holds.
    for (int32_t y = 0; y < height; ++y) {
        const Tap& tap = down[size_t(y)];
        uint32_t* out = target->pixels + size_t(y) * size_t(width);
        for (int32_t x = 0; x < width; ++x) {
            Premultiplied sum;
            for (size_t k = 0; k < tap.weights.size(); ++k) {
                const Premultiplied& p = rows[(size_t(tap.first) + k) * size_t(width) + size_t(x)];
                double w = tap.weights[k];
                sum.a += p.a * w;
                sum.r += p.r * w;
                sum.g += p.g * w;
                sum.b += p.b * w;
            }
            out[x] = straighten(sum);
        }
    }
    return target;
}

} // namespace tonvane
