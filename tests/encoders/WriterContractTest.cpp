#include "ExternalTool.h"
#include "WriterDriver.h"
#include "support/MusicSignal.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <thread>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tonvane::test {
namespace {

class WriterContractTest : public ::testing::TestWithParam<OutputKind> {
protected:
    EncodeRequest request(const std::string& path, const std::vector<uint8_t>& pcm) const
    {
        EncodeRequest r;
        r.path = widePath(path);
        r.quality = 5;
        r.tags = sampleTags();
        r.pcm = &pcm;
        return r;
    }

    TempDir m_dir;
};

TEST_P(WriterContractTest, FileThatCannotBeCreatedIsReportedAtEveryStep)
{
    const std::vector<uint8_t> pcm = musicSignal(20'000);
    const EncodeOutcome missingFolder =
        encodeTrack(GetParam(), request(m_dir.file("no-such-folder/track") + extensionOf(GetParam()), pcm));
    EXPECT_FALSE(missingFolder.opened);
    EXPECT_FALSE(missingFolder.allWritten);
    EXPECT_FALSE(missingFolder.finished);

    EncodeRequest empty = request("", pcm);
    EXPECT_FALSE(encodeTrack(GetParam(), empty).ok());
}

// A full disk, emulated with a file-size limit: the child encodes past the limit with SIGXFSZ
// ignored, so writes fail with EFBIG, and reports through its exit code what the writer answered.
TEST_P(WriterContractTest, FullDiskIsNeverReportedAsSuccess)
{
    const std::vector<uint8_t> pcm = musicSignal(44'100 * 3);
    const std::string path = m_dir.file(std::string("full") + extensionOf(GetParam()));
    constexpr rlim_t kLimit = 20'000; // [bytes] a few chunks' worth of any format
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{kLimit, kLimit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const EncodeOutcome outcome = encodeTrack(GetParam(), request(path, pcm));
        ::_exit(outcome.opened && !outcome.finished ? 0 : outcome.finished ? 1 : 2);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: finish reported success; 2: open failed already";
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_LE(info.st_size, off_t(kLimit));

    // Without the limit the same track encodes fine.
    EXPECT_TRUE(encodeTrack(GetParam(), request(path, pcm)).ok());
}

TEST_P(WriterContractTest, DeviceWithoutSpaceFailsTheTrack)
{
    if (!fileExists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    const std::vector<uint8_t> pcm = musicSignal(44'100);
    EXPECT_FALSE(encodeTrack(GetParam(), request("/dev/full", pcm)).ok());
}

// A pipe takes every byte but cannot seek back: FLAC (STREAMINFO) and MP3 (the Info frame) cannot
// complete their headers and must say so; Ogg Vorbis and Ogg Opus never seek and stay whole.
TEST_P(WriterContractTest, UnseekableOutputFailsOnlyFormatsThatRewriteTheirHeader)
{
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    size_t received = 0;
    std::thread reader([&received, in = fds[0]] {
        char buffer[65536];
        for (ssize_t n; (n = ::read(in, buffer, sizeof buffer)) > 0;)
            received += static_cast<size_t>(n);
        ::close(in);
    });
    const std::vector<uint8_t> pcm = musicSignal(44'100);
    const EncodeOutcome outcome =
        encodeTrack(GetParam(), request("/proc/self/fd/" + std::to_string(fds[1]), pcm));
    ::close(fds[1]);
    reader.join();
    const bool ogg = GetParam() == OutputKind::Vorbis || GetParam() == OutputKind::Opus;
    EXPECT_EQ(outcome.ok(), ogg);
    if (ogg) {
        EXPECT_GT(received, 10'000u);
    }
}

TEST_P(WriterContractTest, ReopeningReplacesTheFileAndUnicodePathsWork)
{
    const std::vector<uint8_t> pcm = musicSignal(30'000);
    const std::string path = m_dir.file(std::string("Кино – 夜に駆ける") + extensionOf(GetParam()));
    writeFile(path, std::string(5'000'000, 'x'));
    const std::unique_ptr<FormatWriter> writer = makeWriter(GetParam());
    // One writer object, used twice in a row as the encoder thread would for consecutive tracks.
    EXPECT_TRUE(encodeWith(*writer, request(m_dir.file(std::string("first") + extensionOf(GetParam())), pcm)).ok());
    EXPECT_TRUE(encodeWith(*writer, request(path, pcm)).ok());
    const std::string bytes = readFile(path);
    EXPECT_LT(bytes.size(), 1'000'000u);
    EXPECT_EQ(bytes.find("xxxxxxxx"), std::string::npos);
}

TEST_P(WriterContractTest, EmptyTrackStillMakesAValidFile)
{
    const std::vector<uint8_t> none;
    const std::string path = m_dir.file(std::string("empty") + extensionOf(GetParam()));
    EXPECT_TRUE(encodeTrack(GetParam(), request(path, none)).ok());
    if (GetParam() == OutputKind::Flac && toolAvailable(kFlac)) {
        EXPECT_EQ(runTool({kFlac, "-t", "-s", path}).exitCode, 0);
    }
    // ogginfo objects to any Vorbis stream without audio (oggenc's own included); oggdec reads it.
    if (GetParam() == OutputKind::Vorbis && toolAvailable(kOggdec)) {
        EXPECT_EQ(runTool({kOggdec, "-Q", "-R", "-o", path + ".raw", path}).exitCode, 0);
        EXPECT_TRUE(fileExists(path + ".raw"));
        EXPECT_EQ(readFile(path + ".raw").size(), 0u);
    }
    if (GetParam() == OutputKind::Opus && toolAvailable(kOpusdec)) {
        EXPECT_EQ(runTool({kOpusdec, "--quiet", "--rate", "44100", path, path + ".raw"}).exitCode, 0);
        EXPECT_TRUE(fileExists(path + ".raw"));
        EXPECT_EQ(readFile(path + ".raw").size(), 0u);
    }
}

// Chunks that split sample frames (1001 bytes) must give the same audio as whole 16384-byte chunks.
TEST_P(WriterContractTest, ChunksSplittingSampleFramesLoseNothing)
{
    const std::vector<uint8_t> pcm = musicSignal(50'000, 9);
    const std::string whole = m_dir.file(std::string("whole") + extensionOf(GetParam()));
    const std::string split = m_dir.file(std::string("split") + extensionOf(GetParam()));
    ASSERT_TRUE(encodeTrack(GetParam(), request(whole, pcm)).ok());
    EncodeRequest odd = request(split, pcm);
    odd.chunkBytes = 1001;
    ASSERT_TRUE(encodeTrack(GetParam(), odd).ok());
    // A frame left incomplete at the end is not audio: the writer says the file is not whole.
    const std::vector<uint8_t> ragged(pcm.begin(), pcm.end() - 2);
    EXPECT_FALSE(encodeTrack(GetParam(), request(m_dir.file("ragged"), ragged)).ok());

    if (GetParam() == OutputKind::Opus) {
        // libopusenc gathers whole 20 ms frames whatever the calls bring, so the audio packets are
        // the same; the files differ only in their random stream serials (and so the page CRCs).
        SKIP_WITHOUT_TOOL(kOpusdec);
        ASSERT_EQ(runTool({kOpusdec, "--quiet", "--rate", "44100", whole, whole + ".raw"}).exitCode, 0);
        ASSERT_EQ(runTool({kOpusdec, "--quiet", "--rate", "44100", split, split + ".raw"}).exitCode, 0);
        EXPECT_GT(readFile(whole + ".raw").size(), pcm.size() / 2);
        EXPECT_TRUE(readFile(whole + ".raw") == readFile(split + ".raw"));
        return;
    }
    if (GetParam() != OutputKind::Vorbis) {
        EXPECT_TRUE(readFile(whole) == readFile(split));
        return;
    }
    // libvorbis's block decisions depend on how much input each call brings, so the streams
    // differ: both must decode to the full length and to the source's sound.
    SKIP_WITHOUT_TOOL(kOggdec);
    ASSERT_EQ(runTool({kOggdec, "-Q", "-R", "-o", split + ".raw", split}).exitCode, 0);
    const std::string decoded = readFile(split + ".raw");
    ASSERT_EQ(decoded.size(), pcm.size());
    double signal = 0;
    double error = 0;
    for (size_t i = 0; i + 1 < pcm.size(); i += 2) {
        const auto source = static_cast<int16_t>(pcm[i] | pcm[i + 1] << 8);
        const auto back = static_cast<int16_t>(static_cast<uint8_t>(decoded[i]) | static_cast<uint8_t>(decoded[i + 1]) << 8);
        signal += double(source) * source;
        error += (double(back) - source) * (double(back) - source);
    }
    EXPECT_GT(10 * std::log10(signal / std::max(error, 1.0)), 15.0);

}

INSTANTIATE_TEST_SUITE_P(AllFormats, WriterContractTest,
                         ::testing::Values(OutputKind::Mp3, OutputKind::Vorbis, OutputKind::Flac, OutputKind::Opus),
                         [](const ::testing::TestParamInfo<OutputKind>& info) {
                             switch (info.param) {
                             case OutputKind::Mp3: return "Mp3";
                             case OutputKind::Vorbis: return "Vorbis";
                             case OutputKind::Flac: return "Flac";
                             case OutputKind::Opus: return "Opus";
                             }
                             return "Unknown";
                         });

} // namespace
} // namespace tonvane::test
