#include "cdrom/rip/DeviceRipDrive.h"

#include "cdrom/mmc/MmcCommands.h"
#include "core/foundation/Utf.h"

#include <cerrno>

namespace tonvane {

bool DeviceRipDrive::open(std::u16string_view devicePath)
{
    if (!openDevice(m_device, utf16ToUtf8(devicePath)))
        return false;
    refreshCapabilities(m_device); // its answer only steers the speed selection
    return true;
}

void DeviceRipDrive::prepare()
{
    prepareForRipping(m_device);
}

bool DeviceRipDrive::readCd(int32_t lba, int32_t sectors, uint8_t* buffer)
{
    if (lba < 0 || sectors <= 0)
        return false;
    return tonvane::readCd(m_device, static_cast<uint32_t>(lba), static_cast<uint32_t>(sectors), buffer);
}

bool DeviceRipDrive::lastFailureIsFinal() const
{
    const CommandResult& result = m_device.result;
    if (result.error == errorFromSystem(ENODEV) || result.error == errorFromSystem(EBADF) ||
        result.error == errorFromSystem(ENXIO))
        return true;
    return result.status == kScsiStatusCheckCondition && result.senseKey == kSenseKeyNotReady;
}

void DeviceRipDrive::finish()
{
    finishRipping(m_device);
}

void DeviceRipDrive::close()
{
    closeDevice(m_device);
}

} // namespace tonvane
