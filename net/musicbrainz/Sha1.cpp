#include "net/musicbrainz/Sha1.h"

#include <string>

namespace tonvane {

namespace {

constexpr size_t kBlockBytes = 64;
constexpr size_t kLengthBytes = 8; // [bytes] the message length in bits, big-endian, ends the padding
constexpr uint8_t kPaddingMarker = 0x80;
constexpr std::array<uint32_t, 5> kInitialState = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
constexpr std::array<uint32_t, 4> kRoundConstants = {0x5A827999, 0x6ED9EBA1, 0x8F1BBCDC, 0xCA62C1D6};

uint32_t rotateLeft(uint32_t value, int bits)
{
    return (value << bits) | (value >> (32 - bits));
}

void processBlock(const uint8_t* block, std::array<uint32_t, 5>& state)
{
    uint32_t w[80];
    for (int i = 0; i < 16; ++i)
        w[i] = uint32_t(block[i * 4]) << 24 | uint32_t(block[i * 4 + 1]) << 16 | uint32_t(block[i * 4 + 2]) << 8 |
               uint32_t(block[i * 4 + 3]);
    for (int i = 16; i < 80; ++i)
        w[i] = rotateLeft(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);

    uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    for (int i = 0; i < 80; ++i) {
        uint32_t f;
        if (i < 20)
            f = (b & c) | (~b & d);
        else if (i < 40 || i >= 60)
            f = b ^ c ^ d;
        else
            f = (b & c) | (b & d) | (c & d);
        uint32_t next = rotateLeft(a, 5) + f + e + kRoundConstants[static_cast<size_t>(i / 20)] + w[i];
        e = d;
        d = c;
        c = rotateLeft(b, 30);
        b = a;
        a = next;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
}

} // namespace

Sha1Digest sha1(std::string_view bytes)
{
    std::array<uint32_t, 5> state = kInitialState;
    size_t whole = bytes.size() - bytes.size() % kBlockBytes;
    for (size_t at = 0; at < whole; at += kBlockBytes)
        processBlock(reinterpret_cast<const uint8_t*>(bytes.data() + at), state);

    std::string tail(bytes.substr(whole));
    tail.push_back(static_cast<char>(kPaddingMarker));
    while (tail.size() % kBlockBytes != kBlockBytes - kLengthBytes)
        tail.push_back('\0');
    uint64_t bits = static_cast<uint64_t>(bytes.size()) * 8;
    for (int shift = 56; shift >= 0; shift -= 8)
        tail.push_back(static_cast<char>(bits >> shift));
    for (size_t at = 0; at < tail.size(); at += kBlockBytes)
        processBlock(reinterpret_cast<const uint8_t*>(tail.data() + at), state);

    Sha1Digest digest{};
    for (size_t i = 0; i < state.size(); ++i)
        for (size_t j = 0; j < 4; ++j)
            digest[i * 4 + j] = static_cast<uint8_t>(state[i] >> (24 - 8 * j));
    return digest;
}

} // namespace tonvane
