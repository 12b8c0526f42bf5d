#include "cdrom/linux/SgTransport.h"
#include "cdrom/mmc/MmcCommands.h"
#include "support/TempDir.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <scsi/sg.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tonvane {
namespace {

// What the fake ioctl saw of each sg_io_hdr_t.
struct SeenHeader {
    unsigned long request = 0;
    int direction = 0;
    std::vector<uint8_t> cdb;
    unsigned int dataLength = 0;
    bool hasData = false;
    unsigned char senseMax = 0;
    unsigned int timeout = 0;
    char interfaceId = 0;
};

struct FakeIoctl {
    std::vector<SeenHeader> seen;
    std::function<int(sg_io_hdr_t&)> answer = [](sg_io_hdr_t&) { return 0; };

    IoctlFunction function()
    {
        return [this](int, unsigned long request, void* argument) {
            auto& header = *static_cast<sg_io_hdr_t*>(argument);
            SeenHeader s;
            s.request = request;
            s.direction = header.dxfer_direction;
            s.cdb.assign(header.cmdp, header.cmdp + header.cmd_len);
            s.dataLength = header.dxfer_len;
            s.hasData = header.dxferp != nullptr;
            s.senseMax = header.mx_sb_len;
            s.timeout = header.timeout;
            s.interfaceId = static_cast<char>(header.interface_id);
            seen.push_back(s);
            return answer(header);
        };
    }
};

int devNull() { return ::open("/dev/null", O_RDONLY | O_CLOEXEC); }

TEST(SgTransport, BuildsTheSgIoHeaderOfEachCommand)
{
    FakeIoctl fake;
    CdDevice device;
    attachTransport(device, std::make_unique<SgTransport>(devNull(), fake.function()));

    std::vector<uint8_t> audio(5 * kCdDaSectorBytes);
    EXPECT_TRUE(readCd(device, 0x12345, 5, audio.data()));
    ASSERT_EQ(fake.seen.size(), 1u);
    const SeenHeader& read = fake.seen[0];
    EXPECT_EQ(read.request, static_cast<unsigned long>(SG_IO));
    EXPECT_EQ(read.interfaceId, 'S');
    EXPECT_EQ(read.direction, SG_DXFER_FROM_DEV);
    EXPECT_EQ(read.dataLength, 11760u); // 5 x 2352
    EXPECT_TRUE(read.hasData);
    EXPECT_EQ(read.senseMax, 252);
    EXPECT_EQ(read.timeout, 120000u); // [ms]
    EXPECT_EQ(read.cdb, (std::vector<uint8_t>{0xBE, 0x04, 0x00, 0x01, 0x23, 0x45, 0x00, 0x00, 0x05, 0x10, 0, 0}));

    testUnitReady(device);
    EXPECT_EQ(fake.seen[1].direction, SG_DXFER_NONE);
    EXPECT_EQ(fake.seen[1].dataLength, 0u);
    EXPECT_FALSE(fake.seen[1].hasData);
    EXPECT_EQ(fake.seen[1].cdb.size(), 6u);

    // SET STREAMING is the one command that sends data to the drive.
    device.capabilities.realTimeStreaming = true;
    fake.answer = [](sg_io_hdr_t& header) {
        if (header.cmdp[0] == kOpGetPerformance) {
            auto* data = static_cast<uint8_t*>(header.dxferp);
            std::fill(data, data + header.dxfer_len, 0);
            data[3] = 20; // one 16-byte descriptor
            data[8 + 15] = 0x10;
        }
        return 0;
    };
    prepareForRipping(device);
    ASSERT_GE(fake.seen.size(), 4u);
    const SeenHeader& streaming = fake.seen.back();
    EXPECT_EQ(streaming.cdb[0], kOpSetStreaming);
    EXPECT_EQ(streaming.direction, SG_DXFER_TO_DEV);
    EXPECT_EQ(streaming.dataLength, 28u);
    EXPECT_EQ(streaming.cdb.size(), 12u);
}

TEST(SgTransport, FoldsStatusSenseAndFailuresIntoTheResult)
{
    FakeIoctl fake;
    CdDevice device;
    attachTransport(device, std::make_unique<SgTransport>(devNull(), fake.function()));

    fake.answer = [](sg_io_hdr_t& header) {
        header.status = 0x02; // CHECK CONDITION
        header.driver_status = 0x08; // DRIVER_SENSE: sense came, not a driver failure
        uint8_t sense[18] = {0x70, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x3A, 0x00};
        std::copy(sense, sense + sizeof sense, header.sbp);
        header.sb_len_wr = sizeof sense;
        return 0;
    };
    EXPECT_FALSE(testUnitReady(device));
    EXPECT_EQ(device.result.status, 2);
    EXPECT_EQ(device.result.error, 0u);
    EXPECT_EQ(device.result.senseKey, 2);
    EXPECT_EQ(device.result.asc, 0x3A);

    fake.answer = [](sg_io_hdr_t& header) {
        header.host_status = 0x03; // DID_TIME_OUT
        return 0;
    };
    EXPECT_FALSE(testUnitReady(device));
    EXPECT_EQ(device.result.error, errorFromSystem(ETIMEDOUT));

    fake.answer = [](sg_io_hdr_t& header) {
        header.driver_status = 0x04; // DRIVER_ERROR
        return 0;
    };
    EXPECT_FALSE(testUnitReady(device));
    EXPECT_EQ(device.result.error, errorFromSystem(EIO));

    fake.answer = [](sg_io_hdr_t&) {
        errno = EPERM;
        return -1;
    };
    EXPECT_FALSE(testUnitReady(device));
    EXPECT_EQ(device.result.error, 0x80070001u);
}

// A READ CD that ends GOOD but moves fewer bytes than asked leaves the tail of the previous
// chunk in the reused buffer; taking it as audio would write that chunk twice.
TEST(SgTransport, ShortReadCdTransferIsAFailedRead)
{
    FakeIoctl fake;
    CdDevice device;
    attachTransport(device, std::make_unique<SgTransport>(devNull(), fake.function()));
    std::vector<uint8_t> audio(16 * kCdDaSectorBytes);
    struct Case {
        int resid;
        bool readOk;
    } cases[] = {{0, true}, {kCdDaSectorBytes, false}, {1, false}, {-1, false}};
    for (const Case& c : cases) {
        fake.answer = [&](sg_io_hdr_t& header) {
            header.resid = c.resid;
            return 0;
        };
        EXPECT_EQ(readCd(device, 100, 16, audio.data()), c.readOk) << c.resid;
        EXPECT_EQ(device.result.error, c.readOk ? kSuccess : errorFromSystem(EIO));
    }
    // Other answers may be shorter than their allocation length: only READ CD insists.
    fake.answer = [](sg_io_hdr_t& header) {
        header.resid = 100;
        return 0;
    };
    uint8_t toc[804] = {};
    EXPECT_TRUE(readToc(device, toc, sizeof toc));
}

TEST(SgTransport, VolumeLockIsExclusiveBetweenOpens)
{
    test::TempDir dir;
    std::string path = dir.file("sr0");
    test::writeFile(path, "");
    ErrorCode error = kSuccess;
    CdDevice first;
    CdDevice second;
    attachTransport(first, SgTransport::open(path, error));
    ASSERT_EQ(error, kSuccess);
    attachTransport(second, SgTransport::open(path, error));
    ASSERT_TRUE(first.isOpen() && second.isOpen());

    EXPECT_EQ(lockVolume(first), kSuccess);
    EXPECT_TRUE(first.volumeLocked);
    EXPECT_EQ(lockVolume(second), errorFromSystem(EWOULDBLOCK));
    EXPECT_FALSE(second.volumeLocked);
    EXPECT_EQ(lockVolume(first), kSuccess); // already held: nothing to do

    closeDevice(first); // closing drops the lock
    EXPECT_EQ(lockVolume(second), kSuccess);
    EXPECT_EQ(unlockVolume(second), kSuccess);
    EXPECT_FALSE(second.volumeLocked);

    EXPECT_EQ(SgTransport::open(dir.file("missing"), error), nullptr);
    EXPECT_EQ(error, errorFromSystem(ENOENT));
}

TEST(SgTransport, FallsBackToReadOnlyWhenWriteAccessIsRefused)
{
    // A file this process may read but not write: a 0444 file, or for root a sysfs attribute.
    test::TempDir dir;
    std::string candidate = dir.file("sr-readonly");
    test::writeFile(candidate, "");
    ::chmod(candidate.c_str(), 0444);
    int probe = ::open(candidate.c_str(), O_RDWR);
    if (probe >= 0) {
        ::close(probe);
        candidate = "/sys/kernel/notes";
        probe = ::open(candidate.c_str(), O_RDWR);
        if (probe >= 0)
            ::close(probe);
        if (probe >= 0 || ::access(candidate.c_str(), R_OK) != 0)
            GTEST_SKIP() << "no file here is readable but not writable";
    }
    ErrorCode error = kSuccess;
    std::unique_ptr<SgTransport> transport = SgTransport::open(candidate, error);
    ASSERT_NE(transport, nullptr);
    EXPECT_EQ(error, kSuccess);
    EXPECT_EQ(::fcntl(transport->fd(), F_GETFL) & O_ACCMODE, O_RDONLY);
}

} // namespace
} // namespace tonvane
