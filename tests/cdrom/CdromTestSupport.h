#pragma once
#include "cdrom/device/CdDevice.h"
#include "cdrom/emulated/EmulatedDrive.h"
#include "cdrom/mmc/BigEndian.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tonvane::test {

// An audio-only disc of the given track lengths [sectors], silent unless music is asked for.
inline DiscDescription audioDisc(std::vector<uint32_t> lengths, bool music = false)
{
    DiscDescription description;
    description.silentAudio = !music;
    uint32_t seed = 1;
    for (uint32_t length : lengths)
        description.tracks.push_back({TrackKind::Audio, length, 0, seed++});
    return description;
}

inline std::shared_ptr<EmulatedDrive> makeDrive(const DiscDescription& description, EmulatedDriveConfig config = {})
{
    config.recordCommands = true;
    return std::make_shared<EmulatedDrive>(buildDisc(description), config);
}

// Installs a drive under a path for the life of the object, so openDevice finds it.
class ScopedDrive {
public:
    ScopedDrive(std::string path, std::shared_ptr<EmulatedDrive> drive) : m_path(std::move(path)), m_drive(drive)
    {
        installEmulatedDrive(m_path, std::move(drive));
    }
    ~ScopedDrive() { uninstallEmulatedDrive(m_path); }
    ScopedDrive(const ScopedDrive&) = delete;
    ScopedDrive& operator=(const ScopedDrive&) = delete;
    const std::string& path() const { return m_path; }
    EmulatedDrive& drive() const { return *m_drive; }

private:
    std::string m_path;
    std::shared_ptr<EmulatedDrive> m_drive;
};

// A transport whose answers a test writes itself.
class ScriptedTransport final : public ScsiTransport {
public:
    using Handler = std::function<void(const ScsiRequest&, ScsiReply&)>;
    explicit ScriptedTransport(Handler handler) : m_handler(std::move(handler)) {}
    void execute(const ScsiRequest& request, ScsiReply& reply) override
    {
        reply = ScsiReply{};
        cdbs.emplace_back(request.cdb, request.cdb + request.cdbLength);
        m_handler(request, reply);
    }
    ErrorCode lockVolume() override { return kSuccess; }
    ErrorCode unlockVolume() override { return kSuccess; }
    std::vector<std::vector<uint8_t>> cdbs;

private:
    Handler m_handler;
};

inline std::vector<uint8_t> opcodes(const std::vector<RecordedCommand>& commands)
{
    std::vector<uint8_t> out;
    for (const RecordedCommand& command : commands)
        out.push_back(command.cdb[0]);
    return out;
}

inline std::vector<uint8_t> cdbOf(const RecordedCommand& command)
{
    return std::vector<uint8_t>(command.cdb.begin(), command.cdb.begin() + static_cast<long>(command.cdbLength));
}

} // namespace tonvane::test
