#pragma once
#include <cstdint>
#include <span>
namespace tonvane {
// PNG files compiled into the program. An empty span when there is no such resource.
std::span<const uint8_t> skinResource(uint32_t id); // 129, 130, 131, 132, 256
std::span<const uint8_t> productLogoPng();           // 59 x 20
std::span<const uint8_t> graduationCapPng();         // 40 x 32
std::span<const uint8_t> windowIconPng(int32_t size); // 16, 32, 48, 128, 256 [pixels]
} // namespace tonvane
