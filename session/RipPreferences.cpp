#include "session/RipPreferences.h"

#include "core/ProductConfig.h"
#include "core/foundation/WideString.h"
#include "core/settings/SettingsDefaults.h"
#include "core/settings/SettingsStore.h"

namespace tonvane {

namespace {

constexpr char16_t kOptionsKey[] = u"\\Options";
constexpr char16_t kValueReadMode[] = u"ReadMode"; // 0 normal, 1 secure, 2 test and copy
constexpr char16_t kValueAccurateRip[] = u"AccurateRip";
constexpr char16_t kValueMetadata[] = u"Metadata"; // MetadataSources
constexpr char16_t kValueMusicBrainzServer[] = u"MusicBrainzServer";
constexpr char16_t kValueCoverArtServer[] = u"CoverArtServer";
constexpr char16_t kValueAccurateRipServer[] = u"AccurateRipServer";
constexpr char16_t kValueCoverArt[] = u"CoverArt";
constexpr char16_t kValueFolderPerAlbum[] = u"FolderPerAlbum";
constexpr char16_t kValueReplayGain[] = u"ReplayGain";
constexpr char16_t kValueUpdateCheck[] = u"UpdateCheck";

constexpr uint32_t kReadModeSingle = 0;
constexpr uint32_t kReadModeSecure = 1;
constexpr uint32_t kReadModeTestAndCopy = 2;

bool readFlag(std::u16string_view name, bool fallback)
{
    uint32_t value = 0;
    if (!settings::readDword(product::kProductKey, kOptionsKey, name, value) || value > 1)
        return fallback;
    return value == 1;
}

std::string readText(std::u16string_view name)
{
    WideString value;
    if (!settings::readString(product::kProductKey, kOptionsKey, name, value))
        return {};
    return value.toUtf8();
}

bool writeFlag(std::u16string_view name, bool value)
{
    return settings::writeDword(product::kProductKey, kOptionsKey, name, value ? 1 : 0);
}

bool writeText(std::u16string_view suffix, std::u16string_view name, const std::string& value)
{
    return settings::writeString(product::kProductKey, suffix, name, WideString::fromUtf8(value).view());
}

} // namespace

RipPreferences loadRipPreferences()
{
    RipPreferences preferences;
    uint32_t value = 0;
    if (settings::readDword(product::kProductKey, kOptionsKey, kValueReadMode, value)) {
        if (value == kReadModeSecure)
            preferences.readMode = ReadMode::Secure;
        else if (value == kReadModeTestAndCopy)
            preferences.readMode = ReadMode::TestAndCopy;
    }
    if (settings::readDword(product::kProductKey, kOptionsKey, kValueMetadata, value)
        && value <= static_cast<uint32_t>(MetadataSources::None))
        preferences.metadata = static_cast<MetadataSources>(value);
    preferences.accurateRip = readFlag(kValueAccurateRip, true);
    preferences.coverArt = readFlag(kValueCoverArt, true);
    preferences.folderPerAlbum = readFlag(kValueFolderPerAlbum, false);
    preferences.replayGain = readFlag(kValueReplayGain, true);
    preferences.updateCheck = readFlag(kValueUpdateCheck, true);
    WideString server;
    if (settings::readString(product::kProductKey, settings::kFreeDbKey, settings::kValueServer, server))
        preferences.cddbServer = server.toUtf8();
    preferences.musicBrainzServer = readText(kValueMusicBrainzServer);
    preferences.coverArtServer = readText(kValueCoverArtServer);
    preferences.accurateRipServer = readText(kValueAccurateRipServer);
    return preferences;
}

bool storeRipPreferences(const RipPreferences& preferences)
{
    uint32_t mode = kReadModeSingle;
    if (preferences.readMode == ReadMode::Secure)
        mode = kReadModeSecure;
    else if (preferences.readMode == ReadMode::TestAndCopy)
        mode = kReadModeTestAndCopy;
    bool ok = settings::writeDword(product::kProductKey, kOptionsKey, kValueReadMode, mode);
    ok = settings::writeDword(product::kProductKey, kOptionsKey, kValueMetadata,
                              static_cast<uint32_t>(preferences.metadata)) && ok;
    ok = writeFlag(kValueAccurateRip, preferences.accurateRip) && ok;
    ok = writeFlag(kValueCoverArt, preferences.coverArt) && ok;
    ok = writeFlag(kValueFolderPerAlbum, preferences.folderPerAlbum) && ok;
    ok = writeFlag(kValueReplayGain, preferences.replayGain) && ok;
    ok = writeFlag(kValueUpdateCheck, preferences.updateCheck) && ok;
    if (!preferences.cddbServer.empty())
        ok = writeText(settings::kFreeDbKey, settings::kValueServer, preferences.cddbServer) && ok;
    ok = writeText(kOptionsKey, kValueMusicBrainzServer, preferences.musicBrainzServer) && ok;
    ok = writeText(kOptionsKey, kValueCoverArtServer, preferences.coverArtServer) && ok;
    ok = writeText(kOptionsKey, kValueAccurateRipServer, preferences.accurateRipServer) && ok;
    return ok;
}

LookupOptions lookupOptionsOf(const RipPreferences& preferences)
{
    LookupOptions options;
    options.musicBrainz = preferences.metadata == MetadataSources::MusicBrainzAndCddb;
    options.cddb = preferences.metadata != MetadataSources::None;
    options.cddbServer = preferences.cddbServer;
    if (!preferences.musicBrainzServer.empty())
        options.musicBrainzServer = preferences.musicBrainzServer;
    if (!preferences.coverArtServer.empty())
        options.coverArtServer = preferences.coverArtServer;
    options.cover = preferences.coverArt;
    return options;
}

} // namespace tonvane
