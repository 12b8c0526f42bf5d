#pragma once
// Product identity and the web addresses the program opens or fetches. One place to change them.

namespace tonvane::product {

inline constexpr char kVersion[] = TONVANE_VERSION; // "major.minor.patch", from CMake
inline constexpr char16_t kEncoderText[] = u"Tonvane 0.2"; // first tag string of every track
inline constexpr char16_t kProductKey[] = u"SOFTWARE\\ORVAL SOFTWARE\\Tonvane 0.2";

// Product web page: command 18, the tutorials balloon link (row 44), command 40 outside Spanish.
inline constexpr char16_t kWebPage[] = u"https://tonvane.org/";
// Product web page while the interface is Spanish (update check, commands 18 and 40 alike).
inline constexpr char16_t kWebPageSpanish[] = u"https://tonvane.org/es/";
// Manual page opened by command 40 while the interface is Spanish.
inline constexpr char16_t kManualPageSpanish[] = u"https://tonvane.org/es/manual/";
// Row 41: an address kept in the tables but opened by no window.
inline constexpr char16_t kTutorialsPage[] = u"https://tonvane.org/tutorials/";

// Update check: version file on the product server, fetched with HTTP/1.1 on port 80.
inline constexpr char kUpdateHost[] = "tonvane.org";
inline constexpr char kVersionFilePath[] = "/version/tonvane.txt";
// This build's key in the version file; the Windows build looks for "Win32".
inline constexpr char kUpdatePlatformKey[] = "Linux";
// Ed25519 public key (libsodium crypto_sign) that signs every installer the update check may
// start; the detached signature is fetched from the download URL + ".sig". Replace with the
// release key: the secret half of this one was not kept, so nothing verifies against it yet.
inline constexpr unsigned char kUpdateSigningKey[32] = {
    0x2d, 0x31, 0xf8, 0x5b, 0x3c, 0xad, 0xce, 0x81, 0x1f, 0x8b, 0x59, 0x44, 0xfc, 0x22, 0xb6, 0x23,
    0x92, 0x6d, 0x7c, 0x4c, 0x26, 0x5d, 0xf0, 0x46, 0x09, 0x8b, 0xa5, 0x26, 0xc9, 0x74, 0x6e, 0x1d,
};

// Default FreeDB (CDDB) server and port.
inline constexpr char16_t kDefaultFreeDbServer[] = u"gnudb.gnudb.org";
inline constexpr int kFreeDbPort = 8880;

} // namespace tonvane::product
