#include "cdrom/device/CdDevice.h"

#include "cdrom/device/DevicePath.h"
#include "cdrom/emulated/CueSheet.h"
#include "cdrom/emulated/DemoDisc.h"
#include "cdrom/emulated/EmulatedDrive.h"
#include "cdrom/linux/SgTransport.h"
#include "core/foundation/Clock.h"
#include "core/foundation/Thread.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

namespace tonvane {

namespace {

// Shared between openDevice and its opener thread. Whoever comes second cleans up: a late opener
// finds abandoned set and destroys the transport it opened.
struct OpenerState {
    std::mutex mutex;
    std::condition_variable finishedSignal;
    bool finished = false;
    bool abandoned = false;
    std::string path;
    std::unique_ptr<ScsiTransport> transport;
    ErrorCode error = kSuccess;
};

struct OpenerParams {
    std::shared_ptr<OpenerState> state;
};

void runOpener(OpenerParams params)
{
    ErrorCode error = kSuccess;
    std::unique_ptr<ScsiTransport> transport = openTransport(params.state->path, error);
    std::unique_lock lock(params.state->mutex);
    params.state->finished = true;
    if (params.state->abandoned) {
        lock.unlock();
        transport.reset(); // nobody waits for it any more: close our own descriptor
        return;
    }
    params.state->transport = std::move(transport);
    params.state->error = error;
    params.state->finishedSignal.notify_all();
}

std::unique_ptr<ScsiTransport> connectEmulated(const std::shared_ptr<EmulatedDrive>& drive, ErrorCode& error)
{
    uint32_t delay = drive->openDelayMs();
    if (delay != 0)
        sleepMs(delay);
    if (int refused = drive->openErrno(); refused != 0) {
        error = errorFromSystem(static_cast<uint32_t>(refused));
        return nullptr;
    }
    return drive->connect();
}

} // namespace

CdDevice::~CdDevice() { closeDevice(*this); }

std::unique_ptr<ScsiTransport> openTransport(const std::string& path, ErrorCode& error)
{
    error = kSuccess;
    if (auto installed = findEmulatedDrive(path))
        return connectEmulated(installed, error);
    if (isDemoDrivePath(path))
        return connectEmulated(demoDrive(path), error);
    if (isImageDrivePath(path)) {
        CueLoadResult loaded = loadCueSheet(imageFileOfPath(path));
        if (!loaded.ok()) {
            error = errorFromSystem(ENOENT);
            return nullptr;
        }
        EmulatedDriveConfig config;
        config.readOffset = loaded.driveOffset;
        config.faults.sectorsPerSecond = loaded.driveSpeed;
        config.sheetPath = imageFileOfPath(path);
        for (uint32_t lba : loaded.unreadableSectors)
            config.faults.readFaults.push_back({lba, kPermanentFault});
        auto drive = std::make_shared<EmulatedDrive>(loaded.disc, config);
        return drive->connect();
    }
    std::unique_ptr<SgTransport> transport = SgTransport::open(path, error);
    return transport;
}

bool openDevice(CdDevice& device, const std::string& path) { return openDeviceWithin(device, path, kOpenTimeoutMs); }

bool openDeviceWithin(CdDevice& device, const std::string& path, uint32_t timeoutMs)
{
    closeDevice(device);
    auto state = std::make_shared<OpenerState>();
    state->path = path;
    Thread opener;
    if (startThreadWithCopy(opener, &runOpener, OpenerParams{state}) != kSuccess)
        return false;

    std::unique_lock lock(state->mutex);
    bool finished = state->finishedSignal.wait_for(
        lock, std::chrono::milliseconds(timeoutMs), [&] { return state->finished; });
    if (!finished) {
        // The open hangs (a drive spinning up): leave the opener to finish on its own.
        state->abandoned = true;
        lock.unlock();
        opener.detach();
        return false;
    }
    device.handle = std::move(state->transport);
    lock.unlock();
    opener.join();
    return device.handle != nullptr;
}

void attachTransport(CdDevice& device, std::unique_ptr<ScsiTransport> transport)
{
    closeDevice(device);
    device.handle = std::move(transport);
}

void closeDevice(CdDevice& device)
{
    device.handle.reset(); // drops the connection's volume lock with it
    device.volumeLocked = false;
}

bool sendCommand(CdDevice& device, const uint8_t* cdb, size_t cdbLength, void* data, size_t dataLength,
    DataDirection direction)
{
    CommandResult& result = device.result;
    result.clear();
    if (cdb == nullptr || cdbLength == 0 || cdbLength > kMaxCdbBytes || (data == nullptr && dataLength != 0)) {
        result.error = errorFromSystem(EINVAL);
        return false;
    }
    std::memcpy(result.command.data(), cdb, cdbLength);
    if (!device.handle) {
        result.error = errorFromSystem(EBADF);
        return false;
    }

    ScsiRequest request;
    request.cdb = cdb;
    request.cdbLength = cdbLength;
    request.data = static_cast<uint8_t*>(data);
    request.dataLength = dataLength;
    request.direction = direction;
    request.timeoutSeconds = device.timeout;
    ScsiReply reply;
    device.handle->execute(request, reply);

    result.status = reply.status & kScsiStatusMask;
    result.error = reply.error;
    result.residual = std::min(reply.residual, dataLength);
    if (result.status != kScsiStatusGood) {
        result.senseData = reply.sense;
        parseSense(result, reply.sense.data(), std::min(reply.senseLength, reply.sense.size()));
    }
    return result.isSuccess();
}

ErrorCode lockVolume(CdDevice& device)
{
    if (device.volumeLocked)
        return kSuccess;
    if (!device.handle)
        return errorFromSystem(EBADF);
    ErrorCode error = device.handle->lockVolume();
    if (error == kSuccess)
        device.volumeLocked = true;
    return error;
}

ErrorCode unlockVolume(CdDevice& device)
{
    if (!device.volumeLocked)
        return kSuccess;
    if (!device.handle)
        return errorFromSystem(EBADF);
    ErrorCode error = device.handle->unlockVolume();
    if (error == kSuccess)
        device.volumeLocked = false;
    return error;
}

} // namespace tonvane
