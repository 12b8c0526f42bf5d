#include "cdrom/mmc/MmcCommands.h"

#include "cdrom/mmc/BigEndian.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tonvane {

namespace {
constexpr size_t kCdb6 = 6;
constexpr size_t kCdb10 = 10;
constexpr size_t kCdb12 = 12;

constexpr uint8_t kTocMsfBit = 0x02; // READ TOC byte 1: addresses as minutes/seconds/frames
constexpr uint16_t kConfigurationAllocation = 0x0808; // 2056
constexpr uint32_t kConfigurationExpected = 2052; // prefilled data length
constexpr uint16_t kDiscInformationExpected = 0x0028;
constexpr uint16_t kTrackInformationExpected = 0x0026;
constexpr uint8_t kAddressIsTrackNumber = 0x01;
constexpr uint32_t kPerformanceExpected = 268;
constexpr uint8_t kPerformanceMaxDescriptors = 16;
constexpr uint8_t kPerformanceTypeNominal = 0;
constexpr uint8_t kRotationCav = 0x01;
constexpr uint16_t kSpeedMaximum = 0xFFFF;
constexpr uint8_t kSectorTypeCdDa = 0x04; // READ CD byte 1, expected sector type 1
constexpr uint8_t kUserDataOnly = 0x10; // READ CD byte 9: no sync, header, C2 or sub-channel
constexpr uint8_t kNoMainChannel = 0x00; // READ CD byte 9: no main-channel bytes
constexpr uint8_t kSubChannelQ = 0x02; // READ CD byte 10: formatted Q sub-channel, 16 bytes
constexpr uint8_t kQAdrPosition = 1; // Q mode 1: the current position

bool fromBcd(uint8_t value, uint8_t& out)
{
    if ((value >> 4) > 9 || (value & 0x0F) > 9)
        return false;
    out = static_cast<uint8_t>((value >> 4) * 10 + (value & 0x0F));
    return true;
}
constexpr uint32_t kMaxTocAllocation = 0xFFFF;
} // namespace

bool testUnitReady(CdDevice& device)
{
    uint8_t cdb[kCdb6] = {kOpTestUnitReady};
    return sendCommand(device, cdb, sizeof cdb, nullptr, 0, DataDirection::In);
}

bool preventMediumRemoval(CdDevice& device, bool prevent)
{
    uint8_t cdb[kCdb6] = {kOpPreventAllowMediumRemoval};
    cdb[4] = prevent ? 1 : 0;
    return sendCommand(device, cdb, sizeof cdb, nullptr, 0, DataDirection::In);
}

bool startStopUnitEject(CdDevice& device)
{
    constexpr uint8_t kLoadEject = 0x02; // byte 4: LoEj; Start (0x01) stays 0
    uint8_t cdb[kCdb6] = {kOpStartStopUnit};
    cdb[4] = kLoadEject;
    return sendCommand(device, cdb, sizeof cdb, nullptr, 0, DataDirection::In);
}

bool ejectMedium(CdDevice& device)
{
    preventMediumRemoval(device, false);
    return startStopUnitEject(device);
}

bool refreshCapabilities(CdDevice& device)
{
    device.capabilities = DriveFeatures{};
    std::array<uint8_t, kConfigurationLength> buffer{};
    writeBe32(buffer.data(), kConfigurationExpected);
    uint8_t cdb[kCdb10] = {kOpGetConfiguration};
    writeBe16(&cdb[7], kConfigurationAllocation);
    if (!sendCommand(device, cdb, sizeof cdb, buffer.data(), buffer.size(), DataDirection::In))
        return false;
    device.capabilities = parseConfiguration(buffer);
    return true;
}

bool readDiscInformation(CdDevice& device, DiscInformationBuffer& buffer)
{
    buffer.fill(0);
    writeBe16(buffer.data(), kDiscInformationExpected);
    uint8_t cdb[kCdb10] = {kOpReadDiscInformation};
    writeBe16(&cdb[7], kDiscInformationLength);
    return sendCommand(device, cdb, sizeof cdb, buffer.data(), buffer.size(), DataDirection::In);
}

bool readTrackInformation(CdDevice& device, uint32_t trackNumber, TrackInformationBuffer& buffer)
{
    buffer.fill(0);
    writeBe16(buffer.data(), kTrackInformationExpected);
    uint8_t cdb[kCdb10] = {kOpReadTrackInformation};
    cdb[1] = kAddressIsTrackNumber;
    writeBe32(&cdb[2], trackNumber);
    writeBe16(&cdb[7], kTrackInformationLength);
    return sendCommand(device, cdb, sizeof cdb, buffer.data(), buffer.size(), DataDirection::In);
}

bool readToc(CdDevice& device, uint8_t* buffer, uint16_t allocationLength)
{
    uint8_t cdb[kCdb10] = {kOpReadTocPmaAtip};
    cdb[1] = kTocMsfBit;
    writeBe16(&cdb[7], allocationLength);
    return sendCommand(device, cdb, sizeof cdb, buffer, allocationLength, DataDirection::In);
}

bool readFullToc(CdDevice& device, std::vector<uint8_t>& toc)
{
    toc.clear();
    uint8_t header[kTocHeaderLength] = {};
    if (!readToc(device, header, sizeof header))
        return false;
    uint32_t allocation = tocAllocationLength(readBe16(header));
    if (allocation > kMaxTocAllocation) {
        device.result.error = errorFromSystem(EPROTO);
        return false;
    }
    toc.assign(allocation, 0);
    std::memcpy(toc.data(), header, sizeof header);
    if (!readToc(device, toc.data(), static_cast<uint16_t>(allocation))) {
        toc.clear();
        return false;
    }
    return true;
}

bool readTrackList(CdDevice& device, std::vector<DiscTrack>& tracks)
{
    tracks.clear();
    DiscInformationBuffer discInformation;
    if (!readDiscInformation(device, discInformation))
        return false;
    // A CD holds at most 99 tracks; a larger count is a drive's garbage, not 65535 commands.
    uint32_t last = std::min(lastTrackInLastSession(discInformation), kMaxTrackNumber);
    for (uint32_t n = 1; n <= last; ++n) {
        TrackInformationBuffer answer;
        DiscTrack track;
        track.answered = readTrackInformation(device, n, answer);
        track.info = parseTrackInformation(answer).value_or(TrackInformation{});
        tracks.push_back(track);
    }
    return true;
}

namespace {

void setCdSpeedMaximum(CdDevice& device)
{
    uint8_t cdb[kCdb12] = {kOpSetCdSpeed};
    cdb[1] = kRotationCav;
    writeBe16(&cdb[2], kSpeedMaximum);
    sendCommand(device, cdb, sizeof cdb, nullptr, 0, DataDirection::In);
}

// GET PERFORMANCE type 0; nullopt when it fails or carries no descriptor.
std::optional<PerformanceDescriptor> readPerformance(CdDevice& device)
{
    std::array<uint8_t, kPerformanceLength> buffer{};
    writeBe32(buffer.data(), kPerformanceExpected);
    uint8_t cdb[kCdb12] = {kOpGetPerformance};
    cdb[9] = kPerformanceMaxDescriptors;
    cdb[10] = kPerformanceTypeNominal;
    if (!sendCommand(device, cdb, sizeof cdb, buffer.data(), buffer.size(), DataDirection::In))
        return std::nullopt;
    return firstPerformanceDescriptor(buffer);
}

void setStreaming(CdDevice& device, const PerformanceDescriptor& performance)
{
    std::array<uint8_t, kStreamingDescriptorLength> descriptor = streamingDescriptorFor(performance);
    uint8_t cdb[kCdb12] = {kOpSetStreaming};
    writeBe16(&cdb[9], kStreamingDescriptorLength);
    sendCommand(device, cdb, sizeof cdb, descriptor.data(), descriptor.size(), DataDirection::Out);
}

} // namespace

void prepareForRipping(CdDevice& device)
{
    lockVolume(device);
    preventMediumRemoval(device, true);
    if (device.capabilities.realTimeStreaming) {
        if (std::optional<PerformanceDescriptor> performance = readPerformance(device)) {
            setStreaming(device, *performance);
            return;
        }
    }
    setCdSpeedMaximum(device);
}

void finishRipping(CdDevice& device)
{
    preventMediumRemoval(device, false);
    unlockVolume(device);
    closeDevice(device);
}

bool readCd(CdDevice& device, uint32_t lba, uint32_t sectors, uint8_t* buffer)
{
    if (sectors == 0 || sectors > kMaxSectorsPerRead || buffer == nullptr) {
        device.result.clear();
        device.result.error = errorFromSystem(EINVAL);
        return false;
    }
    uint8_t cdb[kCdb12] = {kOpReadCd};
    cdb[1] = kSectorTypeCdDa;
    writeBe32(&cdb[2], lba);
    writeBe24(&cdb[6], sectors);
    cdb[9] = kUserDataOnly;
    if (!sendCommand(device, cdb, sizeof cdb, buffer, size_t{sectors} * kCdDaSectorBytes, DataDirection::In))
        return false;
    if (device.result.residual != 0) {
        // A short transfer leaves the buffer's tail from an earlier read: never audio to keep.
        device.result.error = errorFromSystem(EIO);
        return false;
    }
    return true;
}

} // namespace tonvane

namespace tonvane {

bool readQPosition(CdDevice& device, uint32_t lba, QPosition& position)
{
    uint8_t cdb[kCdb12] = {kOpReadCd};
    writeBe32(&cdb[2], lba);
    writeBe24(&cdb[6], 1);
    cdb[9] = kNoMainChannel;
    cdb[10] = kSubChannelQ;
    uint8_t q[kFormattedQBytes] = {};
    if (!sendCommand(device, cdb, sizeof cdb, q, sizeof q, DataDirection::In) || device.result.residual != 0)
        return false;
    if ((q[0] & 0x0F) != kQAdrPosition)
        return false;
    position.control = q[0] >> 4;
    return fromBcd(q[1], position.track) && fromBcd(q[2], position.index) && position.track >= 1 &&
           position.track <= 99;
}

std::optional<Toc> readDriveToc(const std::string& devicePath)
{
    CdDevice device;
    if (!openDevice(device, devicePath))
        return std::nullopt;
    std::vector<uint8_t> answer;
    bool read = readFullToc(device, answer);
    closeDevice(device);
    if (!read)
        return std::nullopt;
    return parseToc(answer);
}

} // namespace tonvane
