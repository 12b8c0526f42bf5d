#pragma once
#include <string>
#include <vector>

namespace tonvane::test {

// Independent command-line tools from Debian packages used as oracles.
inline constexpr char kFlac[] = "/usr/bin/flac";
inline constexpr char kMetaflac[] = "/usr/bin/metaflac";
inline constexpr char kLame[] = "/usr/bin/lame";
inline constexpr char kOggdec[] = "/usr/bin/oggdec";
inline constexpr char kOgginfo[] = "/usr/bin/ogginfo";
inline constexpr char kVorbiscomment[] = "/usr/bin/vorbiscomment";
inline constexpr char kOpusdec[] = "/usr/bin/opusdec";
inline constexpr char kOpusinfo[] = "/usr/bin/opusinfo";
inline constexpr char kOpusenc[] = "/usr/bin/opusenc";
inline constexpr char kOggenc[] = "/usr/bin/oggenc";
inline constexpr char kPython[] = "/usr/bin/python3";
inline constexpr char kMd5sum[] = "/usr/bin/md5sum";

struct ToolResult {
    bool ran = false; // the program could be started
    int exitCode = -1; // -1 when it died of a signal
    std::string out;
    std::string err;
};

bool toolAvailable(const char* path);
// True when python3 can import mutagen.
bool mutagenAvailable();
// Runs argv[0] (an absolute path) with the arguments, no shell, stdin from /dev/null.
ToolResult runTool(const std::vector<std::string>& argv);
// The lines of a text, without their line ends.
std::vector<std::string> linesOf(const std::string& text);
// MD5 of a file's bytes as 32 lowercase hex digits (md5sum), empty on failure.
std::string md5OfFile(const std::string& path);

} // namespace tonvane::test

#define SKIP_WITHOUT_TOOL(path)                                                                                \
    do {                                                                                                       \
        if (!::tonvane::test::toolAvailable(path))                                                            \
            GTEST_SKIP() << (path) << " is not installed";                                                     \
    } while (0)
