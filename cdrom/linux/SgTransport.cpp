#include "cdrom/linux/SgTransport.h"

#include <cerrno>
#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace tonvane {

namespace {
constexpr unsigned kMillisecondsPerSecond = 1000;
// host_status values (Linux SCSI midlayer DID_*).
constexpr unsigned short kHostOk = 0x00;
constexpr unsigned short kHostTimeOut = 0x03;
// driver_status: low 3 bits are the driver's verdict, 0x08 (DRIVER_SENSE) only says sense came.
constexpr unsigned short kDriverVerdictMask = 0x07;
constexpr unsigned short kDriverTimeOut = 0x06;

int systemIoctl(int fd, unsigned long request, void* argument) { return ::ioctl(fd, request, argument); }

int sgDirection(const ScsiRequest& request)
{
    if (request.dataLength == 0)
        return SG_DXFER_NONE;
    return request.direction == DataDirection::Out ? SG_DXFER_TO_DEV : SG_DXFER_FROM_DEV;
}
} // namespace

std::unique_ptr<SgTransport> SgTransport::open(const std::string& path, ErrorCode& error)
{
    int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS))
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = lastError();
        return nullptr;
    }
    error = kSuccess;
    return std::make_unique<SgTransport>(fd);
}

SgTransport::SgTransport(int fd, IoctlFunction ioctl) : m_fd(fd), m_ioctl(std::move(ioctl))
{
    if (!m_ioctl)
        m_ioctl = &systemIoctl;
}

SgTransport::~SgTransport()
{
    if (m_fd >= 0)
        ::close(m_fd); // also releases a flock held through this descriptor
}

void SgTransport::execute(const ScsiRequest& request, ScsiReply& reply)
{
    reply = ScsiReply{};
    sg_io_hdr_t header{};
    header.interface_id = 'S';
    header.dxfer_direction = sgDirection(request);
    header.cmd_len = static_cast<unsigned char>(request.cdbLength);
    header.mx_sb_len = static_cast<unsigned char>(reply.sense.size());
    header.dxfer_len = static_cast<unsigned int>(request.dataLength);
    header.dxferp = request.dataLength != 0 ? request.data : nullptr;
    header.cmdp = const_cast<unsigned char*>(request.cdb);
    header.sbp = reply.sense.data();
    header.timeout = request.timeoutSeconds * kMillisecondsPerSecond;

    if (m_ioctl(m_fd, SG_IO, &header) < 0) {
        reply.error = lastError();
        return;
    }
    reply.status = header.status;
    reply.senseLength = std::min<size_t>(header.sb_len_wr, reply.sense.size());
    // The driver's count of bytes it did not move; a negative value is nonsense and counts as all.
    reply.residual = header.resid < 0 ? request.dataLength : std::min<size_t>(static_cast<size_t>(header.resid), request.dataLength);
    if (header.host_status != kHostOk)
        reply.error = errorFromSystem(header.host_status == kHostTimeOut ? ETIMEDOUT : EIO);
    else if ((header.driver_status & kDriverVerdictMask) != 0)
        reply.error = errorFromSystem((header.driver_status & kDriverVerdictMask) == kDriverTimeOut ? ETIMEDOUT : EIO);
}

ErrorCode SgTransport::lockVolume() { return ::flock(m_fd, LOCK_EX | LOCK_NB) == 0 ? kSuccess : lastError(); }

ErrorCode SgTransport::unlockVolume() { return ::flock(m_fd, LOCK_UN) == 0 ? kSuccess : lastError(); }

} // namespace tonvane
