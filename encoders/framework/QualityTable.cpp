#include "encoders/framework/QualityTable.h"

#include <iterator>

namespace tonvane {

static_assert(std::size(kMp3Bitrates) == kMp3QualityCount);
static_assert(std::size(kVorbisNominalRates) == kVorbisQualityCount);
static_assert(std::size(kOpusBitrates) == kOpusQualityCount);

WideString qualityLabel(int32_t format, uint32_t index)
{
    WideString label;
    if (index >= qualityCount(format))
        return label;
    switch (format) {
    case kFormatMp3:
        label.appendDecimal(static_cast<int32_t>(kMp3Bitrates[index]));
        label.append(u" Kbps");
        break;
    case kFormatVorbis:
        label.appendChar(u'~');
        label.appendDecimal(static_cast<int32_t>(kVorbisNominalRates[index]));
        label.append(u" Kbps");
        break;
    case kFormatFlac:
        label.appendDecimal(static_cast<int32_t>(index + 1));
        break;
    case kFormatWav:
        label.append(u"1411 Kbps");
        break;
    case kFormatOpus:
        label.appendDecimal(static_cast<int32_t>(kOpusBitrates[index]));
        label.append(u" Kbps");
        break;
    }
    return label;
}



} // namespace tonvane
