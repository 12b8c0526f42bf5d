#pragma once
// Finished track files of every format, made by our writers and by the reference encoders, for
// the tag rewrite tests; and the independent readers that check them afterwards.
#include "ExternalTool.h"
#include "WriterDriver.h"
#include "encoders/tags/LoudnessTags.h"
#include "support/MusicSignal.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <string>

namespace tonvane::test {

inline LoudnessTags sampleLoudness()
{
    LoudnessTags tags;
    tags.trackGain = "-7.03 dB";
    tags.trackPeak = "0.988525";
    tags.albumGain = "-6.48 dB";
    tags.albumPeak = "1.000000";
    tags.r128Track = -3080; // -12.03 dB
    tags.r128Album = -2939;
    return tags;
}

class RetagFixture : public ::testing::Test {
protected:
    static constexpr uint32_t kFrames = 88'200; // 2 s

    std::string pcmFile()
    {
        std::string path = dir.file("source.raw");
        if (!fileExists(path)) {
            std::vector<uint8_t> pcm = musicSignal(kFrames, 5);
            writeFile(path, std::string(pcm.begin(), pcm.end()));
        }
        return path;
    }

    std::string ours(OutputKind kind, const std::string& name, const TrackTags& tags = sampleTags())
    {
        std::vector<uint8_t> pcm = musicSignal(kFrames, 5);
        EncodeRequest request;
        request.path = widePath(dir.file(name));
        request.quality = kind == OutputKind::Mp3 ? 8 : 5;
        request.tags = tags;
        request.pcm = &pcm;
        EXPECT_TRUE(encodeTrack(kind, request).ok());
        return dir.file(name);
    }

    std::string opus(const std::string& name)
    {
        ToolResult made = runTool({kOpusenc, "--quiet", "--raw", "--raw-rate", "44100", "--raw-chan", "2", "--title",
                                   "Ночь", pcmFile(), dir.file(name)});
        EXPECT_EQ(made.exitCode, 0) << made.err;
        return dir.file(name);
    }

    std::string oggenc(const std::string& name)
    {
        ToolResult made = runTool({kOggenc, "-Q", "-r", "-t", "夜", "-o", dir.file(name), pcmFile()});
        EXPECT_EQ(made.exitCode, 0) << made.err;
        return dir.file(name);
    }

    // The decoded samples as raw bytes (Opus as floats, so that no dither differs).
    std::string decoded(const std::string& path)
    {
        std::string out = path + ".decoded";
        std::string extension = path.substr(path.rfind('.'));
        ToolResult result;
        if (extension == ".flac")
            result = runTool({kFlac, "-d", "-s", "-f", "--force-raw-format", "--endian=little", "--sign=signed", "-o",
                              out, path});
        else if (extension == ".ogg")
            result = runTool({kOggdec, "-Q", "-R", "-o", out, path});
        else if (extension == ".opus")
            result = runTool({kOpusdec, "--quiet", "--float", "--no-dither", path, out});
        else
            result = runTool({kLame, "--quiet", "--decode", path, out});
        EXPECT_EQ(result.exitCode, 0) << path << ": " << result.err;
        std::string bytes = readFile(out);
        std::filesystem::remove(out);
        return bytes;
    }

    // NAME=value lines of vorbiscomment, metaflac or opusinfo, by name.
    std::multimap<std::string, std::string> comments(const std::string& path)
    {
        std::string extension = path.substr(path.rfind('.'));
        ToolResult result = extension == ".flac"  ? runTool({kMetaflac, "--export-tags-to=-", path})
                            : extension == ".ogg" ? runTool({kVorbiscomment, "-l", path})
                                                  : runTool({kOpusinfo, path});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        std::multimap<std::string, std::string> found;
        for (std::string line : linesOf(result.out)) {
            line.erase(0, line.find_first_not_of(" \t"));
            size_t equals = line.find('=');
            if (equals == std::string::npos || equals == 0 || line.find(' ') < equals)
                continue;
            std::string name = line.substr(0, equals);
            for (char& c : name)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            found.emplace(name, line.substr(equals + 1));
        }
        return found;
    }

    // What mutagen reads: "NAME=value" of every text frame and Vorbis comment it finds.
    std::map<std::string, std::string> mutagenTags(const std::string& path)
    {
        static const char kScript[] = "import sys, mutagen\n"
                                      "f = mutagen.File(sys.argv[1])\n"
                                      "for k, v in f.tags.items():\n"
                                      "    if hasattr(v, 'text'): print('%s=%s' % (k, v.text[0]))\n"
                                      "    else: print('%s=%s' % (k.upper(), v[0] if isinstance(v, list) else v))\n";
        ToolResult result = runTool({kPython, "-c", kScript, path});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        std::map<std::string, std::string> found;
        for (const std::string& line : linesOf(result.out)) {
            size_t equals = line.find('=');
            if (equals != std::string::npos)
                found[line.substr(0, equals)] = line.substr(equals + 1);
        }
        return found;
    }

    // Nothing but the named files is left in the folder (no temporary copy).
    std::vector<std::string> strayFiles()
    {
        std::vector<std::string> stray;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            std::string name = entry.path().filename().string();
            if (name.ends_with(".tags"))
                stray.push_back(name);
        }
        return stray;
    }

    TempDir dir;
};

} // namespace tonvane::test
