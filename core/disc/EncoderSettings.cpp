#include "core/disc/EncoderSettings.h"

#include "core/ProductConfig.h"
#include "core/disc/EncoderFormat.h"
#include "core/settings/SettingsDefaults.h"
#include "core/settings/SettingsStore.h"

namespace tonvane {

uint32_t qualityCount(int32_t format)
{
    switch (format) {
    case kFormatMp3:
        return kMp3QualityCount;
    case kFormatVorbis:
        return kVorbisQualityCount;
    case kFormatFlac:
        return kFlacQualityCount;
    case kFormatWav:
        return kWavQualityCount;
    case kFormatOpus:
        return kOpusQualityCount;
    default:
        return 0;
    }
}

uint32_t storedQuality(int32_t format)
{
    const char16_t* name;
    uint32_t fallback;
    switch (format) {
    case kFormatMp3:
        name = settings::kValueMp3Quality;
        fallback = settings::kDefaultMp3Quality;
        break;
    case kFormatVorbis:
        name = settings::kValueVorbisQuality;
        fallback = settings::kDefaultVorbisQuality;
        break;
    case kFormatFlac:
        name = settings::kValueFlacQuality;
        fallback = settings::kDefaultFlacQuality;
        break;
    case kFormatOpus:
        name = settings::kValueOpusQuality;
        fallback = settings::kDefaultOpusQuality;
        break;
    default:
        return 0;
    }
    uint32_t quality = settings::readDwordOr(settings::kEncodersKey, name, fallback, false);
    // A value edited out of range would make every writer guess; the default is what a user means.
    return quality < qualityCount(format) ? quality : fallback;
}

int32_t storedDefaultFormat()
{
    uint32_t format = settings::readDwordOr(settings::kEncodersKey, settings::kValueDefaultFormat,
                                            settings::kDefaultFormat, true);
    if (format >= static_cast<uint32_t>(kFormatCount)) {
        settings::writeDword(product::kProductKey, settings::kEncodersKey, settings::kValueDefaultFormat,
                             settings::kDefaultFormat);
        return static_cast<int32_t>(settings::kDefaultFormat);
    }
    return static_cast<int32_t>(format);
}

} // namespace tonvane
