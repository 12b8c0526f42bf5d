#include "core/disc/ConversionJob.h"

#include "core/disc/SafeFileName.h"

#include <algorithm>

namespace tonvane {

namespace {

constexpr char16_t kPartSuffix[] = u".part";
constexpr size_t kPartNameExtraBytes = 1 + 5; // [bytes] the leading '.' and ".part"
constexpr size_t kMaxSuffixBytes = kMaxFileNameBytes / 2; // [bytes] the rest is for the title

} // namespace

const char16_t* formatExtension(int32_t format)
{
    switch (format) {
    case kFormatMp3:
        return u".mp3";
    case kFormatVorbis:
        return u".ogg";
    case kFormatFlac:
        return u".flac";
    case kFormatWav:
        return u".Wav";
    case kFormatOpus:
        return u".opus";
    default:
        return nullptr;
    }
}

void ConversionJob::resetTracks(int32_t n)
{
    tracks.reset(n > 0 ? new TrackEntry[static_cast<size_t>(n)] : nullptr);
    allocated = n > 0 ? n : 0;
    count = 0;
}

int32_t ConversionJob::nextSelected(int32_t index) const
{
    for (int32_t i = index + 1; i < count; ++i)
        if (tracks[i].selected)
            return i;
    return -1;
}

int32_t ConversionJob::selectedCount() const
{
    int32_t selected = 0;
    for (int32_t i = 0; i < count; ++i)
        if (tracks[i].selected)
            ++selected;
    return selected;
}

WideString outputFileName(const TrackEntry& entry, int32_t index, size_t maxBytes)
{
    WideString name;
    name.appendFormattedNumber(index + 1, 0, 2, 0, true, false);
    name.append(u" - ");
    size_t prefixBytes = utf8ByteCount(name.view());
    WideString title = safePathComponent(entry.title.view(), maxBytes > prefixBytes ? maxBytes - prefixBytes : 0);
    if (!title.empty()) {
        name.append(title.view());
        return name;
    }
    // No title, or one with nothing a file name can hold: the untitled name.
    name.clear();
    name.append(uiText(kTextTrack).view());
    name.appendChar(u' ');
    name.appendDecimal(index + 1);
    cutToUtf8Bytes(name, maxBytes);
    return name;
}

WideString ConversionJob::outputPath(int32_t index) const
{
    const TrackEntry& entry = tracks[index];
    const char16_t* extension = formatExtension(entry.format);
    if (!extension)
        return WideString();
    std::u16string_view extensionView(extension);
    // The suffix comes from a front end; it still must not add a folder or a control character.
    WideString safeSuffix = safeNameCharacters(entry.nameSuffix.view());
    cutToUtf8Bytes(safeSuffix, kMaxSuffixBytes);
    std::u16string_view suffix = safeSuffix.view();
    // The temporary name adds a leading '.' and ".part": the final name leaves room for both.
    size_t reserved = extensionView.size() + kPartNameExtraBytes;
    WideString name = outputFileName(entry, index, kMaxFileNameBytes - reserved - utf8ByteCount(suffix));
    WideString path = outputFolder;
    path.append(name.view());
    path.append(suffix);
    path.append(extensionView);
    return path;
}

WideString ConversionJob::partPath(int32_t index) const
{
    WideString path = outputPath(index);
    if (path.empty())
        return path;
    std::u16string_view full = path.view();
    size_t slash = full.rfind(u'/');
    size_t nameStart = slash == std::u16string_view::npos ? 0 : slash + 1;
    WideString part;
    part.append(full.substr(0, nameStart));
    part.appendChar(u'.');
    part.append(full.substr(nameStart));
    part.append(kPartSuffix);
    return part;
}

WideString elapsedTimeText(uint64_t milliseconds)
{
    WideString text;
    text.appendFormattedNumber(static_cast<int32_t>(milliseconds / 60000), 0, 2, 0, true, false);
    text.appendChar(u':');
    text.appendFormattedNumber(static_cast<int32_t>((milliseconds / 1000) % 60), 0, 2, 0, true, false);
    return text;
}

} // namespace tonvane
