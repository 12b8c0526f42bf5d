// Tags from outside text (a CDDB answer, a MusicBrainz match) with NULs and control characters,
// written in the three tagged formats and read back by metaflac, vorbiscomment and mutagen.
#include "ExternalTool.h"
#include "WriterDriver.h"
#include "support/MusicSignal.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace tonvane::test {
namespace {

TrackTags hostileTags()
{
    TrackTags tags;
    tags.encoder = WideString(u"Tonvane");
    tags.title = WideString(std::u16string_view(u"Side A\0Side B", 13)); // a NUL must not end it
    tags.album = WideString(u"a\x01" u"b\x1B[31mc\u0085d\x7F\r"); // C0, an escape sequence, C1, DEL, CR
    tags.artist = WideString(u"Ana\tRuiz\nBo Li"); // tab and newline stay
    tags.genre = WideString(u"\x02\x03"); // nothing left: no comment at all
    tags.year = WideString(u"2001");
    return tags;
}

// What every reader must see: Python literals of the values.
constexpr char kExpected[] = "'Side ASide B'\n'ab[31mcd'\n'Ana\\tRuiz\\nBo Li'\n'2001'\nNone\n";

class HostileTags : public ::testing::Test {
protected:
    void SetUp() override { m_pcm = musicSignal(22050, 3); }

    std::string encode(OutputKind kind)
    {
        std::string path = m_dir.file(std::string("tagged.") + extensionOf(kind));
        EncodeRequest request;
        request.path = widePath(path);
        request.quality = kind == OutputKind::Mp3 ? 8 : 5;
        request.tags = hostileTags();
        request.pcm = &m_pcm;
        EXPECT_TRUE(encodeTrack(kind, request).ok());
        return path;
    }

    // mutagen's view of title, album, artist, date and genre.
    static std::string readByMutagen(const std::string& script, const std::string& path)
    {
        ToolResult result = runTool({kPython, "-c", script, path});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return result.out;
    }

    TempDir m_dir;
    std::vector<uint8_t> m_pcm;
};

constexpr char kVorbisScript[] =
    "import sys\nfrom mutagen import File\nf = File(sys.argv[1])\n"
    "for k in ('title', 'album', 'artist', 'date', 'genre'):\n"
    "    v = f.tags.get(k)\n    print(repr(v[0]) if v else None)\n"
    "    assert not v or len(v) == 1\n";

} // namespace

TEST_F(HostileTags, FlacCommentsKeepTheTextAfterANulAndDropControls)
{
    SKIP_WITHOUT_TOOL(kMetaflac);
    std::string path = encode(OutputKind::Flac);
    ToolResult shown = runTool({kMetaflac, "--show-tag=TITLE", "--show-tag=ALBUM", "--show-tag=GENRE", path});
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_EQ(shown.out, "TITLE=Side ASide B\nALBUM=ab[31mcd\n");
    if (!mutagenAvailable())
        GTEST_SKIP() << "python3-mutagen is not installed";
    EXPECT_EQ(readByMutagen(kVorbisScript, path), kExpected);
}

TEST_F(HostileTags, OggCommentsKeepTheTextAfterANulAndDropControls)
{
    SKIP_WITHOUT_TOOL(kVorbiscomment);
    std::string path = encode(OutputKind::Vorbis);
    ToolResult listed = runTool({kVorbiscomment, "-l", path});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_NE(listed.out.find("\nTITLE=Side ASide B\n"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("\nALBUM=ab[31mcd\n"), std::string::npos) << listed.out;
    EXPECT_EQ(listed.out.find("GENRE"), std::string::npos) << listed.out;
    if (!mutagenAvailable())
        GTEST_SKIP() << "python3-mutagen is not installed";
    EXPECT_EQ(readByMutagen(kVorbisScript, path), kExpected);
}

TEST_F(HostileTags, Id3FramesHoldOneValueWithoutControls)
{
    if (!mutagenAvailable())
        GTEST_SKIP() << "python3-mutagen is not installed";
    std::string path = encode(OutputKind::Mp3);
    // A NUL inside an ID3v2.4 text frame would separate two values: exactly one is expected.
    EXPECT_EQ(readByMutagen("import sys\nfrom mutagen.id3 import ID3\nt = ID3(sys.argv[1])\n"
                            "for k in ('TIT2', 'TALB', 'TPE1', 'TDRC', 'TCON'):\n"
                            "    f = t.get(k)\n    print(repr(str(f.text[0])) if f else None)\n"
                            "    assert not f or len(f.text) == 1\n",
                            path),
              kExpected);
}

} // namespace tonvane::test
