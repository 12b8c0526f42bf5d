#include "app/cli/RipVerification.h"

#include "session/AccurateRipLookup.h"
#include "app/cli/CommandLine.h"
#include "app/cli/TerminalText.h"
#include "cdrom/accuraterip/AccurateRipChecksum.h"
#include "net/update/UpdateDownload.h"

#include <FLAC/stream_decoder.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tonvane::cli {

namespace {

constexpr uint32_t kCdSampleRate = 44100; // [Hz]
constexpr uint32_t kCdChannels = 2;
constexpr uint32_t kCdBits = 16;
constexpr uint64_t kMaxFileBytes = 1ull << 31; // [bytes] of PCM: more than any CD track

uint32_t le32(const std::string& bytes, size_t at)
{
    return uint32_t{static_cast<uint8_t>(bytes[at])} | uint32_t{static_cast<uint8_t>(bytes[at + 1])} << 8 |
           uint32_t{static_cast<uint8_t>(bytes[at + 2])} << 16 | uint32_t{static_cast<uint8_t>(bytes[at + 3])} << 24;
}

uint16_t le16(const std::string& bytes, size_t at)
{
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8);
}

bool endsWith(const std::string& text, const char* suffix)
{
    size_t n = std::strlen(suffix);
    if (text.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - n + i])) != suffix[i])
            return false;
    return true;
}

std::optional<DecodedAudio> decodeWav(const std::string& path, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    std::string bytes = content.str();
    if (!in || bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) {
        error = path + " is not a WAV file";
        return std::nullopt;
    }
    bool formatOk = false;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        uint32_t size = le32(bytes, at + 4);
        size_t body = at + 8;
        if (bytes.compare(at, 4, "fmt ") == 0 && size >= 16 && body + 16 <= bytes.size())
            formatOk = le16(bytes, body) == 1 && le16(bytes, body + 2) == kCdChannels &&
                       le32(bytes, body + 4) == kCdSampleRate && le16(bytes, body + 14) == kCdBits;
        if (bytes.compare(at, 4, "data") == 0) {
            if (!formatOk) {
                error = path + " is not 44100 Hz 16-bit stereo PCM";
                return std::nullopt;
            }
            // A file cut short holds less than its header declares.
            size_t available = std::min<size_t>(size, bytes.size() - body) / 4 * 4;
            DecodedAudio audio;
            audio.pcm.assign(bytes.begin() + static_cast<std::ptrdiff_t>(body),
                             bytes.begin() + static_cast<std::ptrdiff_t>(body + available));
            audio.declaredBytes = size;
            return audio;
        }
        at = body + size + (size & 1);
    }
    error = path + " has no data chunk";
    return std::nullopt;
}

struct FlacTarget {
    std::vector<uint8_t> pcm;
    bool layoutOk = true;
    bool decodeError = false;
    std::optional<uint64_t> totalSamples; // STREAMINFO; 0 there means unknown
};

void onFlacMetadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata, void* client)
{
    auto& target = *static_cast<FlacTarget*>(client);
    if (metadata->type == FLAC__METADATA_TYPE_STREAMINFO && metadata->data.stream_info.total_samples != 0)
        target.totalSamples = metadata->data.stream_info.total_samples;
}

FLAC__StreamDecoderWriteStatus onFlacFrame(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                           const FLAC__int32* const buffer[], void* client)
{
    auto& target = *static_cast<FlacTarget*>(client);
    if (frame->header.channels != kCdChannels || frame->header.bits_per_sample != kCdBits ||
        frame->header.sample_rate != kCdSampleRate || target.pcm.size() > kMaxFileBytes) {
        target.layoutOk = false;
        return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    }
    for (uint32_t i = 0; i < frame->header.blocksize; ++i)
        for (uint32_t channel = 0; channel < kCdChannels; ++channel) {
            auto sample = static_cast<uint16_t>(static_cast<int16_t>(buffer[channel][i]));
            target.pcm.push_back(static_cast<uint8_t>(sample));
            target.pcm.push_back(static_cast<uint8_t>(sample >> 8));
        }
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void onFlacError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* client)
{
    static_cast<FlacTarget*>(client)->decodeError = true;
}

std::optional<DecodedAudio> decodeFlac(const std::string& path, std::string& error)
{
    FLAC__StreamDecoder* decoder = FLAC__stream_decoder_new();
    if (!decoder) {
        error = "no FLAC decoder";
        return std::nullopt;
    }
    FlacTarget target;
    FLAC__stream_decoder_set_md5_checking(decoder, true);
    bool opened = FLAC__stream_decoder_init_file(decoder, path.c_str(), onFlacFrame, onFlacMetadata, onFlacError,
                                                 &target) == FLAC__STREAM_DECODER_INIT_STATUS_OK;
    bool decoded = opened && FLAC__stream_decoder_process_until_end_of_stream(decoder);
    // finish also checks the MD5 signature of the decoded audio against STREAMINFO.
    bool signatureOk = FLAC__stream_decoder_finish(decoder);
    FLAC__stream_decoder_delete(decoder);
    if (!opened || !target.layoutOk || (!target.totalSamples && target.pcm.empty())) {
        error = path + " is not a 44100 Hz 16-bit stereo FLAC file";
        return std::nullopt;
    }
    DecodedAudio audio;
    audio.pcm = std::move(target.pcm);
    if (target.totalSamples)
        audio.declaredBytes = *target.totalSamples * 4;
    audio.intact = decoded && signatureOk && !target.decodeError;
    return audio;
}

} // namespace

namespace {

constexpr uint32_t kFramesPerSecond = 75; // CUE times mm:ss:ff

// "mm:ss:ff" [sectors]; nullopt for anything else.
std::optional<uint32_t> cueTime(const std::string& text)
{
    unsigned minutes = 0, seconds = 0, frames = 0;
    char end = 0;
    if (std::sscanf(text.c_str(), "%u:%u:%u%c", &minutes, &seconds, &frames, &end) != 3 || minutes > 99 ||
        seconds > 59 || frames >= kFramesPerSecond)
        return std::nullopt;
    return (minutes * 60 + seconds) * kFramesPerSecond + frames;
}

// A FILE of a rip's sheet names a file beside the sheet: no folder part, no way out of it.
bool isPlainFileName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\\') == std::string::npos;
}

struct SheetTrack {
    int32_t number = 0;
    uint32_t pregap = 0; // [sectors]
    std::optional<size_t> file; // where INDEX 01 is
    uint32_t index1 = 0; // [sectors] in that file
};

} // namespace

std::optional<std::vector<RippedFile>> readRipCueSheet(const std::string& cuePath, std::string& error)
{
    std::ifstream in(cuePath);
    if (!in) {
        error = "cannot read " + cuePath;
        return std::nullopt;
    }
    std::string folder = cuePath.substr(0, cuePath.rfind('/') == std::string::npos ? 0 : cuePath.rfind('/') + 1);
    std::vector<RippedFile> files; // path and the positions the sheet names in each
    std::vector<SheetTrack> tracks;
    std::string line;
    for (uint32_t lineNumber = 1; std::getline(in, line); ++lineNumber) {
        const std::string at = cuePath + ": line " + std::to_string(lineNumber) + ": ";
        std::istringstream words(line);
        std::string command;
        words >> command;
        if (command == "FILE") {
            size_t open = line.find('"'), close = line.rfind('"');
            if (open == std::string::npos || close <= open + 1) {
                error = at + "FILE without a quoted name";
                return std::nullopt;
            }
            std::string name = line.substr(open + 1, close - open - 1);
            if (!isPlainFileName(name)) {
                error = at + "FILE \"" + name + "\" is not a file in the sheet's folder; the sheet is refused";
                return std::nullopt;
            }
            files.push_back({0, folder + name});
        } else if (command == "TRACK") {
            int number = 0;
            // Numbers rise from 1 to at most 99: no sheet lists more tracks than a CD holds.
            if (!(words >> number) || number < 1 || number > kMaxRippedTracks ||
                (!tracks.empty() && number <= tracks.back().number)) {
                error = at + "bad track number (1 to 99, rising)";
                return std::nullopt;
            }
            tracks.push_back({number});
        } else if (command == "PREGAP" || command == "INDEX") {
            unsigned index = 1;
            std::string time;
            if (command == "INDEX" && !(words >> index))
                index = ~0u;
            words >> time;
            std::optional<uint32_t> sectors = cueTime(time);
            if (tracks.empty() || !sectors || (command == "INDEX" && index > 99)) {
                error = at + "bad " + command;
                return std::nullopt;
            }
            if (command == "PREGAP") {
                tracks.back().pregap = *sectors;
                continue;
            }
            if (files.empty()) {
                error = at + "INDEX before any FILE";
                return std::nullopt;
            }
            // The file holds more than any position the sheet names in it.
            files.back().leastSectors = std::max(files.back().leastSectors, *sectors);
            if (index == 1) {
                tracks.back().file = files.size() - 1;
                tracks.back().index1 = *sectors;
            }
        }
    }
    bool paired = !files.empty() && files.size() == tracks.size();
    for (size_t i = 0; paired && i < tracks.size(); ++i)
        paired = tracks[i].file == i;
    if (!paired) {
        error = cuePath + ": not one FILE per TRACK, each with its INDEX 01";
        return std::nullopt;
    }
    for (size_t i = 0; i < files.size(); ++i) {
        files[i].number = tracks[i].number;
        files[i].pregap = tracks[i].pregap;
        files[i].index1 = tracks[i].index1;
    }
    return files;
}

std::optional<DecodedAudio> decodeRippedFile(const std::string& path, std::string& error)
{
    if (endsWith(path, ".wav"))
        return decodeWav(path, error);
    if (endsWith(path, ".flac"))
        return decodeFlac(path, error);
    error = path + ": only WAV and FLAC files hold the exact samples to check";
    return std::nullopt;
}

namespace {

constexpr uint32_t kSectorBytes = 2352;

// The sheet of FOLDER: FOLDER itself when it names a .cue, else the one .cue inside it.
std::string findCueSheet(const std::string& folder, std::string& error)
{
    if (endsWith(folder, ".cue"))
        return folder;
    std::error_code failure;
    std::vector<std::string> sheets;
    for (const auto& entry : std::filesystem::directory_iterator(folder, failure))
        if (endsWith(entry.path().string(), ".cue"))
            sheets.push_back(entry.path().string());
    if (failure)
        error = "cannot read the folder " + folder + ": " + failure.message();
    else if (sheets.size() != 1)
        error = folder + " holds " + std::to_string(sheets.size()) + " CUE sheets; name the one to verify";
    return sheets.size() == 1 && !failure ? sheets.front() : std::string();
}

} // namespace

namespace {

// One file of the sheet as found on disk.
struct CheckedFile {
    enum class State : uint8_t { Whole, Missing, NotWhole };
    State state = State::Whole;
    std::string problem; // why it is not whole
    std::vector<uint8_t> pcm;
    uint64_t sectors = 0; // [sectors] on the disc: as declared when the file is cut short
};

CheckedFile checkFile(const RippedFile& file)
{
    CheckedFile checked;
    std::error_code failure;
    if (!std::filesystem::exists(file.path, failure)) {
        checked.state = CheckedFile::State::Missing;
        return checked;
    }
    std::string error;
    std::optional<DecodedAudio> audio = decodeRippedFile(file.path, error);
    if (!audio) {
        checked.state = CheckedFile::State::NotWhole;
        checked.problem = error;
        return checked;
    }
    uint64_t decoded = audio->pcm.size();
    uint64_t declared = audio->declaredBytes.value_or(decoded);
    checked.sectors = declared / kSectorBytes;
    checked.pcm = std::move(audio->pcm);
    char text[160];
    if (!audio->intact) {
        checked.problem = "does not decode cleanly";
    } else if (decoded != declared) {
        std::snprintf(text, sizeof text, "%llu of the %llu bytes its header declares",
                      static_cast<unsigned long long>(decoded), static_cast<unsigned long long>(declared));
        checked.problem = text;
    } else if (decoded % kSectorBytes != 0 || decoded == 0) {
        checked.problem = "does not hold whole CD sectors";
    } else if (checked.sectors <= file.leastSectors) {
        std::snprintf(text, sizeof text, "%llu sectors, the CUE sheet places an index at sector %u",
                      static_cast<unsigned long long>(checked.sectors), file.leastSectors);
        checked.problem = text;
    }
    if (!checked.problem.empty())
        checked.state = CheckedFile::State::NotWhole;
    return checked;
}

} // namespace

int runVerify(const Options& options, std::FILE* out, std::FILE* errors)
{
    std::string error;
    std::string cue = findCueSheet(options.verifyFolder, error);
    std::optional<std::vector<RippedFile>> files = cue.empty() ? std::nullopt : readRipCueSheet(cue, error);
    if (!files) {
        std::fprintf(errors, "tonvane: %s\n", error.c_str());
        return kExitUsage;
    }
    std::vector<CheckedFile> checked;
    bool layoutKnown = true;
    for (const RippedFile& file : *files) {
        checked.push_back(checkFile(file));
        layoutKnown = layoutKnown && checked.back().state != CheckedFile::State::Missing &&
                      checked.back().sectors > (checked.size() == 1 ? file.index1 : 0);
    }
    // The disc: the first track starts after its pregap and what its file holds before INDEX 01;
    // each track runs to the next one's INDEX 01.
    std::vector<DiscIdTrack> tracks;
    std::vector<uint64_t> trackFrom; // [bytes] where each track starts in its own file
    uint32_t lba = 0;
    for (size_t i = 0; layoutKnown && i < files->size(); ++i) {
        const RippedFile& file = (*files)[i];
        uint64_t from = i == 0 ? uint64_t{file.index1} * kSectorBytes : 0;
        uint64_t nextIndex1 = i + 1 < files->size() ? (*files)[i + 1].index1 : 0; // its pregap, in its file
        lba += file.pregap + static_cast<uint32_t>(from / kSectorBytes);
        uint64_t sectors = checked[i].sectors - from / kSectorBytes + nextIndex1;
        tracks.push_back({lba, true});
        trackFrom.push_back(from);
        lba += static_cast<uint32_t>(sectors);
    }
    std::optional<AccurateRipDiscId> id = layoutKnown ? accurateRipDiscId(tracks, lba) : std::nullopt;
    AccurateRipRecord record;
    if (id) {
        record = fetchAccurateRipRecord(*id, options.accurateRipServer, updateCacheDirectory());
        std::fprintf(errors, "AccurateRip: %s\n", terminalText(record.note).c_str());
    } else {
        std::fprintf(errors, "AccurateRip: not checked: %s\n",
                     layoutKnown ? "the files do not make a disc" : "a missing file leaves the disc's layout unknown");
    }
    std::fprintf(out, "Track  AccurateRip                File\n");
    size_t accurate = 0;
    for (size_t i = 0; i < files->size(); ++i) {
        const CheckedFile& file = checked[i];
        std::string verdict = record.unjudgedVerdict();
        if (file.state == CheckedFile::State::Missing) {
            verdict = "missing";
        } else if (file.state == CheckedFile::State::NotWhole) {
            verdict = "not whole";
            std::fprintf(errors, "tonvane: %s is not whole: %s\n", (*files)[i].path.c_str(), file.problem.c_str());
        } else if (id && record.judges()) {
            // The track's audio: its own file from INDEX 01, then the next file up to its INDEX 01.
            std::vector<uint8_t> pcm(file.pcm.begin() + static_cast<std::ptrdiff_t>(trackFrom[i]), file.pcm.end());
            if (i + 1 < files->size()) {
                const std::vector<uint8_t>& next = checked[i + 1].pcm;
                uint64_t gap = std::min<uint64_t>(uint64_t{(*files)[i + 1].index1} * kSectorBytes, next.size());
                pcm.insert(pcm.end(), next.begin(), next.begin() + static_cast<std::ptrdiff_t>(gap));
            }
            AccurateRipChecksum checksum(pcm.size() / 4, i == 0, i + 1 == files->size());
            checksum.feed(pcm.data(), pcm.size());
            AccurateRipVerdict result =
                accurateRipVerdict(record.blocks, *id, static_cast<uint32_t>(i), checksum.v1(), checksum.v2());
            verdict = result.text();
            accurate += result.status == AccurateRipStatus::Accurate ? 1 : 0;
        }
        std::fprintf(out, "%5d  %-25s  %s\n", (*files)[i].number, verdict.c_str(), (*files)[i].path.c_str());
    }
    std::fprintf(out, "%zu of %zu track(s) accurate\n", accurate, files->size());
    return accurate == files->size() ? kExitOk : kExitTrackFailed;
}

} // namespace tonvane::cli
