#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tonvane {

inline constexpr size_t kUpdateSignatureBytes = 64; // Ed25519 detached signature
inline constexpr size_t kUpdatePublicKeyBytes = 32;
inline constexpr uint64_t kMaxSignedFileBytes = 512ull * 1024 * 1024; // [bytes]

// True when signature is a valid Ed25519 signature (libsodium crypto_sign_detached) of the
// whole file at path under publicKey. A missing, unreadable or oversized file does not verify.
// The same for bytes in memory.
bool verifySignature(std::span<const uint8_t> bytes, std::span<const uint8_t> signature,
                     std::span<const uint8_t, kUpdatePublicKeyBytes> publicKey);
bool verifyFileSignature(const std::string& path, std::span<const uint8_t> signature,
                         std::span<const uint8_t, kUpdatePublicKeyBytes> publicKey);

} // namespace tonvane
