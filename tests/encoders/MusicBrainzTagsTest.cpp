// Tags of a MusicBrainz match, with a front cover, in the four tagged formats, read back by
// metaflac, vorbiscomment, opusinfo and mutagen.
#include "ExternalTool.h"
#include "WriterDriver.h"
#include "encoders/vorbis/VorbisComments.h"
#include "support/MusicSignal.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace tonvane::test {
namespace {

// A 2 x 3 RGBA PNG as an image program writes it.
const std::vector<uint8_t> kPng = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00,
    0x00, 0x02, 0x00, 0x00, 0x00, 0x03, 0x08, 0x06, 0x00, 0x00, 0x00, 0xB9, 0xEA, 0xDE, 0x81, 0x00, 0x00, 0x00,
    0x11, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0xF8, 0xCF, 0xC0, 0xF0, 0x1F, 0x84, 0x19, 0x30, 0x18, 0x00,
    0xA1, 0x79, 0x0B, 0xF5, 0x4D, 0xC4, 0x9A, 0x07, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42,
    0x60, 0x82};

std::string pngHex()
{
    std::string hex;
    for (uint8_t byte : kPng) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", byte);
        hex += pair;
    }
    return hex;
}

TrackTags musicBrainzTags()
{
    TrackTags tags = sampleTags();
    tags.year = wide("2001-05-14");
    tags.trackNumber = wide("2");
    tags.trackTotal = wide("3");
    tags.discNumber = wide("2");
    tags.discTotal = wide("2");
    tags.albumArtist = wide("Ana Ruiz & Бо Ли");
    tags.isrc = wide("GBAYE0100102");
    tags.musicBrainzAlbumId = wide("50000001-0001-4005-8001-abc000001389");
    tags.musicBrainzReleaseTrackId = wide("20000002-0002-4012-8002-abc0000027da");
    tags.musicBrainzRecordingId = wide("30000002-0002-4013-8002-abc0000027db");
    tags.musicBrainzArtistId = wide("10000001-0001-4001-8001-abc0000003e9");
    tags.musicBrainzAlbumArtistId = wide("10000002-0002-4001-8002-abc0000003ea");
    auto cover = std::make_shared<CoverPicture>();
    cover->bytes = kPng;
    cover->mimeType = "image/png";
    tags.cover = cover;
    return tags;
}

class MusicBrainzTags : public ::testing::Test {
protected:
    void SetUp() override { m_pcm = musicSignal(44100, 9); }

    std::string encode(OutputKind kind)
    {
        std::string path = m_dir.file(std::string("tagged.") + extensionOf(kind));
        EncodeRequest request;
        request.path = widePath(path);
        request.quality = kind == OutputKind::Mp3 ? 8 : 5;
        request.tags = musicBrainzTags();
        request.pcm = &m_pcm;
        EXPECT_TRUE(encodeTrack(kind, request).ok());
        return path;
    }

    TempDir m_dir;
    std::vector<uint8_t> m_pcm;
};

const char* const kExpectedComments[] = {
    "DATE=2001-05-14", "TRACKNUMBER=2", "TRACKTOTAL=3", "DISCNUMBER=2", "DISCTOTAL=2",
    "ALBUMARTIST=Ana Ruiz & Бо Ли", "ISRC=GBAYE0100102",
    "MUSICBRAINZ_ALBUMID=50000001-0001-4005-8001-abc000001389",
    "MUSICBRAINZ_RELEASETRACKID=20000002-0002-4012-8002-abc0000027da",
    "MUSICBRAINZ_TRACKID=30000002-0002-4013-8002-abc0000027db",
    "MUSICBRAINZ_ARTISTID=10000001-0001-4001-8001-abc0000003e9",
    "MUSICBRAINZ_ALBUMARTISTID=10000002-0002-4001-8002-abc0000003ea",
};

} // namespace

TEST_F(MusicBrainzTags, FlacCarriesTheCommentsAndAPictureBlock)
{
    SKIP_WITHOUT_TOOL(kMetaflac);
    std::string path = encode(OutputKind::Flac);
    ToolResult tags = runTool({kMetaflac, "--export-tags-to=-", path});
    ASSERT_EQ(tags.exitCode, 0) << tags.err;
    for (const char* comment : kExpectedComments)
        EXPECT_NE(tags.out.find(std::string(comment) + "\n"), std::string::npos) << comment << "\n" << tags.out;

    ToolResult picture = runTool({kMetaflac, "--export-picture-to=" + path + ".png", path});
    ASSERT_EQ(picture.exitCode, 0) << picture.err;
    std::string exported = readFile(path + ".png");
    EXPECT_TRUE(exported == std::string(kPng.begin(), kPng.end())) << "the picture is the served bytes";
    ToolResult list = runTool({kMetaflac, "--list", "--block-type=PICTURE", path});
    for (const char* line : {"type: 3 (Cover (front))", "MIME type: image/png", "width: 2", "height: 3", "depth: 32"})
        EXPECT_NE(list.out.find(line), std::string::npos) << line << "\n" << list.out;
}

TEST_F(MusicBrainzTags, OggCarriesTheCommentsAndAMetadataBlockPicture)
{
    SKIP_WITHOUT_TOOL(kVorbiscomment);
    std::string path = encode(OutputKind::Vorbis);
    ToolResult listed = runTool({kVorbiscomment, "-l", path});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    for (const char* comment : kExpectedComments)
        EXPECT_NE(listed.out.find(std::string(comment) + "\n"), std::string::npos) << comment;
    EXPECT_NE(listed.out.find("METADATA_BLOCK_PICTURE="), std::string::npos);
    if (!mutagenAvailable())
        GTEST_SKIP() << "python3-mutagen is not installed";
    ToolResult picture = runTool({kPython, "-c",
                                  "import sys, base64\nfrom mutagen.oggvorbis import OggVorbis\nfrom mutagen.flac import Picture\n"
                                  "p = Picture(base64.b64decode(OggVorbis(sys.argv[1])['metadata_block_picture'][0]))\n"
                                  "print(p.type, p.mime, p.width, p.height, p.data.hex())",
                                  path});
    ASSERT_EQ(picture.exitCode, 0) << picture.err;
    EXPECT_EQ(picture.out, "3 image/png 2 3 " + pngHex() + "\n");
}

TEST_F(MusicBrainzTags, OpusCarriesTheCommentsAndAMetadataBlockPicture)
{
    SKIP_WITHOUT_TOOL(kOpusinfo);
    std::string path = encode(OutputKind::Opus);
    ToolResult info = runTool({kOpusinfo, path});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    for (const char* comment : kExpectedComments)
        EXPECT_NE(info.out.find("\t" + std::string(comment) + "\n"), std::string::npos) << comment << "\n" << info.out;
    // opusinfo shortens a picture to its description: type, MIME type, size and colour depth.
    EXPECT_NE(info.out.find("METADATA_BLOCK_PICTURE=3|image/png||2x3x32|"), std::string::npos) << info.out;
    if (!mutagenAvailable())
        GTEST_SKIP() << "python3-mutagen is not installed";
    ToolResult picture = runTool({kPython, "-c",
                                  "import sys, base64\nfrom mutagen.oggopus import OggOpus\nfrom mutagen.flac import Picture\n"
                                  "p = Picture(base64.b64decode(OggOpus(sys.argv[1])['metadata_block_picture'][0]))\n"
                                  "print(p.type, p.mime, p.width, p.height, p.data.hex())",
                                  path});
    ASSERT_EQ(picture.exitCode, 0) << picture.err;
    EXPECT_EQ(picture.out, "3 image/png 2 3 " + pngHex() + "\n");
}

TEST_F(MusicBrainzTags, Mp3CarriesId3FramesAndAnApicFrame)
{
    if (!mutagenAvailable())
        GTEST_SKIP() << "python3-mutagen is not installed";
    std::string path = encode(OutputKind::Mp3);
    ToolResult frames = runTool(
        {kPython, "-c",
         "import sys\nfrom mutagen.id3 import ID3\nt = ID3(sys.argv[1])\n"
         "print('version', t.version[1])\n"
         "for k in ('TRCK', 'TPOS', 'TPE2', 'TSRC', 'TDRC', 'TXXX:MusicBrainz Album Id',\n"
         "          'TXXX:MusicBrainz Release Track Id', 'TXXX:MusicBrainz Artist Id', 'TXXX:MusicBrainz Album Artist Id'):\n"
         "    print(k, t[k].text[0])\n"
         "print('UFID', t['UFID:http://musicbrainz.org'].data.decode())\n"
         "a = t.getall('APIC')[0]\nprint('APIC', int(a.type), a.mime, a.data.hex())",
         path});
    ASSERT_EQ(frames.exitCode, 0) << frames.err;
    EXPECT_EQ(frames.out, "version 4\nTRCK 2/3\nTPOS 2/2\nTPE2 Ana Ruiz & Бо Ли\nTSRC GBAYE0100102\nTDRC 2001-05-14\n"
                          "TXXX:MusicBrainz Album Id 50000001-0001-4005-8001-abc000001389\n"
                          "TXXX:MusicBrainz Release Track Id 20000002-0002-4012-8002-abc0000027da\n"
                          "TXXX:MusicBrainz Artist Id 10000001-0001-4001-8001-abc0000003e9\n"
                          "TXXX:MusicBrainz Album Artist Id 10000002-0002-4001-8002-abc0000003ea\n"
                          "UFID 30000002-0002-4013-8002-abc0000027db\n"
                          "APIC 3 image/png " + pngHex() + "\n");
}

TEST(PictureSize, ComesFromThePngHeaderOrTheJpegFrameHeader)
{
    // SOI, an APP0 segment of 16 bytes, SOF2 (progressive): precision 8, height 3, width 2, 3 components.
    const std::string jpeg("\xFF\xD8\xFF\xE0\x00\x10JFIF\0\x01\x01\0\0\x01\0\x01\0\0"
                           "\xFF\xC2\x00\x11\x08\x00\x03\x00\x02\x03",
                           2 + 18 + 10);
    struct Case {
        const char* what;
        std::string bytes;
        const char* mimeType;
        uint32_t width, height, depth;
    } cases[] = {
        {"PNG", std::string(kPng.begin(), kPng.end()), "image/png", 2, 3, 32},
        {"JPEG", jpeg, "image/jpeg", 2, 3, 24},
        {"JPEG cut inside its frame header", jpeg.substr(0, 25), "image/jpeg", 0, 0, 0},
        {"PNG cut inside its header", std::string(kPng.begin(), kPng.begin() + 20), "image/png", 0, 0, 0},
        {"JPEG with a zero segment length", std::string("\xFF\xD8\xFF\xE0\x00\x00", 6) + std::string(20, '\0'),
         "image/jpeg", 0, 0, 0},
    };
    for (const Case& c : cases) {
        CoverPicture picture;
        picture.bytes.assign(c.bytes.begin(), c.bytes.end());
        picture.mimeType = c.mimeType;
        PictureSize size = pictureSize(picture);
        EXPECT_EQ(size.width, c.width) << c.what;
        EXPECT_EQ(size.height, c.height) << c.what;
        EXPECT_EQ(size.depth, c.depth) << c.what;
    }
}

} // namespace tonvane::test
