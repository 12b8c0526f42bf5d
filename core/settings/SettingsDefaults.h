#pragma once
#include "core/foundation/WideString.h"

#include <cstdint>

namespace tonvane::settings {

// Subkeys and value names of every stored setting, with their defaults.
inline constexpr char16_t kMainKey[] = u"\\Main";
inline constexpr char16_t kEncodersKey[] = u"\\Encoders";
inline constexpr char16_t kFreeDbKey[] = u"\\FreeDB";

inline constexpr char16_t kValueLeft[] = u"x";
inline constexpr char16_t kValueBottom[] = u"y";
inline constexpr char16_t kValueRight[] = u"x2";
inline constexpr char16_t kValueTop[] = u"y2";
inline constexpr char16_t kValueLanguage[] = u"Lang";
inline constexpr char16_t kValueDeleteUpdateFile[] = u"DeleteUpdateFile";
inline constexpr char16_t kValueDefaultFormat[] = u"Default";
inline constexpr char16_t kValueMp3Quality[] = u"Lame";
inline constexpr char16_t kValueVorbisQuality[] = u"Vorbis";
inline constexpr char16_t kValueFlacQuality[] = u"Flac";
inline constexpr char16_t kValueOpusQuality[] = u"Opus";
inline constexpr char16_t kValueApplyAll[] = u"ApplyAll";
inline constexpr char16_t kValuePath[] = u"Path";
inline constexpr char16_t kValueAuto[] = u"Auto";
inline constexpr char16_t kValueServer[] = u"Server";
inline constexpr char16_t kValueUser[] = u"User"; // "name@host" for the CDDB hello; never written by us

inline constexpr uint32_t kDefaultFormat = 1; // Ogg Vorbis; written back when missing
inline constexpr uint32_t kDefaultMp3Quality = 8; // 128 kbit/s; not written back
inline constexpr uint32_t kDefaultVorbisQuality = 6; // q 0.6; not written back
inline constexpr uint32_t kDefaultFlacQuality = 7; // level 7; not written back
inline constexpr uint32_t kDefaultOpusQuality = 3; // 160 kbit/s; not written back
inline constexpr uint32_t kDefaultApplyAll = 1; // written back when missing
inline constexpr uint32_t kDefaultAuto = 1; // written back, but the load that found it missing does no lookup

// The stored value under the product key, or fallback; with writeBack the fallback is stored
// at once when the value was missing.
uint32_t readDwordOr(std::u16string_view suffix, std::u16string_view name, uint32_t fallback, bool writeBack);
WideString readStringOr(std::u16string_view suffix, std::u16string_view name, std::u16string_view fallback,
                        bool writeBack);
// "Server" under "\FreeDB", written back when missing.
WideString freeDbServer();
// "User" under "\FreeDB", empty when missing (nothing is written).
WideString freeDbUser();

} // namespace tonvane::settings
