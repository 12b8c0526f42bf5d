#include "session/DriveModel.h"

#include "cdrom/device/CdDevice.h"
#include "cdrom/rip/OffsetRipDrive.h"
#include "core/ProductConfig.h"
#include "core/settings/SettingsStore.h"

namespace tonvane {

namespace {

constexpr size_t kInquiryLength = 36; // [bytes] standard INQUIRY data
constexpr uint8_t kOpInquiryCode = 0x12;
constexpr char16_t kValueReadOffset[] = u"ReadOffset"; // DWORD, two's complement [samples]

std::u16string modelKey(const std::string& model)
{
    std::u16string key = u"\\Drives\\";
    for (char c : model.empty() ? std::string("unknown drive") : model)
        key.push_back(c == '\\' ? u' ' : static_cast<char16_t>(static_cast<unsigned char>(c)));
    return key;
}

} // namespace

std::string driveModel(const std::string& path)
{
    CdDevice device;
    if (!openDevice(device, path))
        return {};
    uint8_t answer[kInquiryLength] = {};
    uint8_t cdb[6] = {kOpInquiryCode, 0, 0, 0, static_cast<uint8_t>(kInquiryLength), 0};
    bool ok = sendCommand(device, cdb, sizeof cdb, answer, sizeof answer, DataDirection::In);
    closeDevice(device);
    if (!ok)
        return {};
    auto field = [&](size_t from, size_t length) {
        std::string text;
        for (size_t i = from; i < from + length; ++i)
            text.push_back(answer[i] >= 0x20 && answer[i] < 0x7F ? static_cast<char>(answer[i]) : ' ');
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        return text;
    };
    std::string vendor = field(8, 8), product = field(16, 16);
    return vendor.empty() ? product : vendor + " " + product;
}

std::optional<int32_t> storedReadOffset(const std::string& model)
{
    uint32_t stored = 0;
    if (!settings::readDword(product::kProductKey, modelKey(model), kValueReadOffset, stored))
        return std::nullopt;
    int32_t offset = static_cast<int32_t>(stored);
    if (offset < -kMaxReadOffset || offset > kMaxReadOffset)
        return std::nullopt;
    return offset;
}

void storeReadOffset(const std::string& model, int32_t offset)
{
    settings::writeDword(product::kProductKey, modelKey(model), kValueReadOffset, static_cast<uint32_t>(offset));
}

} // namespace tonvane
