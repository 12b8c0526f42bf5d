#pragma once
#include "cdrom/device/ScsiTransport.h"

#include <functional>
#include <memory>
#include <string>

namespace tonvane {

// The ioctl(2) call SgTransport makes, replaceable so a test can inspect the sg_io_hdr_t it
// builds without a drive. Same contract as ioctl: -1 with errno set on failure.
using IoctlFunction = std::function<int(int fd, unsigned long request, void* argument)>;

// SCSI pass-through on a Linux drive (/dev/srN) with the SG_IO ioctl.
class SgTransport final : public ScsiTransport {
public:
    // Opens path O_RDWR | O_NONBLOCK, falling back to O_RDONLY when write access is refused
    // (the kernel then refuses the speed and lock commands; the program tolerates that).
    static std::unique_ptr<SgTransport> open(const std::string& path, ErrorCode& error);
    // Takes ownership of fd. ioctl defaults to the system call.
    explicit SgTransport(int fd, IoctlFunction ioctl = {});
    ~SgTransport() override;

    void execute(const ScsiRequest& request, ScsiReply& reply) override;
    ErrorCode lockVolume() override; // flock(LOCK_EX | LOCK_NB)
    ErrorCode unlockVolume() override; // flock(LOCK_UN)

    int fd() const { return m_fd; }

private:
    int m_fd = -1;
    IoctlFunction m_ioctl;
};

} // namespace tonvane
