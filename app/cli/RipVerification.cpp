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

std::optional<std::vector<uint8_t>> decodeWav(const std::string& path, std::string& error)
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
            size_t available = std::min<size_t>(size, bytes.size() - body) / 4 * 4;
            return std::vector<uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(body),
                                        bytes.begin() + static_cast<std::ptrdiff_t>(body + available));
        }
        at = body + size + (size & 1);
    }
    error = path + " has no data chunk";
    return std::nullopt;
}

struct FlacTarget {
    std::vector<uint8_t> pcm;
    bool layoutOk = true;
};

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
    static_cast<FlacTarget*>(client)->layoutOk = false;
}

std::optional<std::vector<uint8_t>> decodeFlac(const std::string& path, std::string& error)
{
    FLAC__StreamDecoder* decoder = FLAC__stream_decoder_new();
    if (!decoder) {
        error = "no FLAC decoder";
        return std::nullopt;
    }
    FlacTarget target;
    FLAC__stream_decoder_set_md5_checking(decoder, true);
    bool ok = FLAC__stream_decoder_init_file(decoder, path.c_str(), onFlacFrame, nullptr, onFlacError, &target) ==
              FLAC__STREAM_DECODER_INIT_STATUS_OK;
    ok = ok && FLAC__stream_decoder_process_until_end_of_stream(decoder) && target.layoutOk;
    // finish also checks the MD5 signature of the decoded audio against STREAMINFO.
    ok = FLAC__stream_decoder_finish(decoder) && ok;
    FLAC__stream_decoder_delete(decoder);
    if (!ok) {
        error = path + " is not a whole 44100 Hz 16-bit stereo FLAC file";
        return std::nullopt;
    }
    return std::move(target.pcm);
}

} // namespace

std::optional<std::vector<RippedFile>> readRipCueSheet(const std::string& cuePath, std::string& error)
{
    std::ifstream in(cuePath);
    if (!in) {
        error = "cannot read " + cuePath;
        return std::nullopt;
    }
    std::string folder = cuePath.substr(0, cuePath.rfind('/') == std::string::npos ? 0 : cuePath.rfind('/') + 1);
    std::vector<std::string> files;
    std::vector<int32_t> numbers;
    std::string line;
    for (uint32_t lineNumber = 1; std::getline(in, line); ++lineNumber) {
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos)
            continue;
        if (line.compare(first, 5, "FILE ") == 0) {
            size_t open = line.find('"'), close = line.rfind('"');
            if (open == std::string::npos || close <= open + 1) {
                error = cuePath + ": line " + std::to_string(lineNumber) + ": FILE without a quoted name";
                return std::nullopt;
            }
            files.push_back(folder + line.substr(open + 1, close - open - 1));
        } else if (line.compare(first, 6, "TRACK ") == 0) {
            int number = 0;
            if (std::sscanf(line.c_str() + first + 6, "%d", &number) != 1 || number < 1 || number > 99) {
                error = cuePath + ": line " + std::to_string(lineNumber) + ": bad track number";
                return std::nullopt;
            }
            numbers.push_back(number);
        }
    }
    if (files.empty() || files.size() != numbers.size()) {
        error = cuePath + ": not one FILE per TRACK";
        return std::nullopt;
    }
    std::vector<RippedFile> ripped;
    for (size_t i = 0; i < files.size(); ++i)
        ripped.push_back({numbers[i], files[i]});
    return ripped;
}

std::optional<std::vector<uint8_t>> decodeRippedFile(const std::string& path, std::string& error)
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

int runVerify(const Options& options, std::FILE* out, std::FILE* errors)
{
    std::string error;
    std::string cue = findCueSheet(options.verifyFolder, error);
    std::optional<std::vector<RippedFile>> files = cue.empty() ? std::nullopt : readRipCueSheet(cue, error);
    if (!files) {
        std::fprintf(errors, "tonvane: %s\n", error.c_str());
        return kExitUsage;
    }
    std::vector<std::vector<uint8_t>> audio;
    std::vector<DiscIdTrack> tracks;
    uint32_t lba = 0;
    for (const RippedFile& file : *files) {
        std::optional<std::vector<uint8_t>> pcm = decodeRippedFile(file.path, error);
        if (pcm && pcm->size() % kSectorBytes != 0)
            error = file.path + " does not hold whole CD sectors";
        if (!pcm || pcm->size() % kSectorBytes != 0 || pcm->empty()) {
            std::fprintf(errors, "tonvane: %s\n", error.empty() ? (file.path + " is empty").c_str() : error.c_str());
            return kExitUsage;
        }
        tracks.push_back({lba, true});
        lba += static_cast<uint32_t>(pcm->size() / kSectorBytes);
        audio.push_back(std::move(*pcm));
    }
    std::optional<AccurateRipDiscId> id = accurateRipDiscId(tracks, lba);
    if (!id) {
        std::fprintf(errors, "tonvane: the files do not make a disc\n");
        return kExitUsage;
    }
    AccurateRipRecord record = fetchAccurateRipRecord(*id, options.accurateRipServer, updateCacheDirectory());
    std::fprintf(errors, "AccurateRip: %s\n", terminalText(record.note).c_str());
    std::fprintf(out, "Track  AccurateRip                File\n");
    size_t accurate = 0;
    for (size_t i = 0; i < audio.size(); ++i) {
        AccurateRipChecksum checksum(audio[i].size() / 4, i == 0, i + 1 == audio.size());
        checksum.feed(audio[i].data(), audio[i].size());
        std::string verdict = record.unjudgedVerdict();
        if (record.judges()) {
            AccurateRipVerdict result =
                accurateRipVerdict(record.blocks, *id, static_cast<uint32_t>(i), checksum.v1(), checksum.v2());
            verdict = result.text();
            accurate += result.status == AccurateRipStatus::Accurate ? 1 : 0;
        }
        std::fprintf(out, "%5d  %-25s  %s\n", (*files)[i].number, verdict.c_str(), (*files)[i].path.c_str());
    }
    std::fprintf(out, "%zu of %zu track(s) accurate\n", accurate, audio.size());
    return accurate == audio.size() ? kExitOk : kExitTrackFailed;
}

} // namespace tonvane::cli
