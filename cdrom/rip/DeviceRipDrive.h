#pragma once
#include "cdrom/device/CdDevice.h"
#include "cdrom/rip/RipDrive.h"

namespace tonvane {

// The rip thread's drive: a CdDevice opened for the whole conversion.
class DeviceRipDrive final : public RipDrive {
public:
    bool open(std::u16string_view devicePath) override;
    void prepare() override;
    bool readCd(int32_t lba, int32_t sectors, uint8_t* buffer) override;
    bool lastFailureIsFinal() const override; // NOT READY, or the transport lost the drive
    void finish() override;
    void close() override;

private:
    CdDevice m_device;
};

} // namespace tonvane
