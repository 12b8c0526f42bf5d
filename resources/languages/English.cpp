#include "resources/languages/SharedTexts.h"

namespace tonvane {
using texts::ui;

namespace {
constexpr char16_t kAbout[] = TONVANE_ABOUT_HEAD u"This program uses the FreeType library (https://freetype.org/).\n\n"
                               u"The MP3, Vorbis and FLAC encoders are separate software:" TONVANE_ABOUT_LINKS;
} // namespace

extern const LanguageTable kEnglishTable = {
    ui(u"OK"), ui(u"Cancel"), ui(u"File"), ui(u"Convert"), ui(u"Consult FreeDB"), ui(u"Exit\tAlt+F4"),
    ui(u"View"), ui(u"Options"), ui(u"Language"), TONVANE_LANGUAGE_NAMES, ui(u"Help"), ui(texts::kWebLabel),
    ui(u"Insert Music CD"), ui(u"Title:"), ui(u"Track"), ui(u"Play time:"), ui(u"Connecting to FreeDB..."),
    ui(u"Connected to FreeDB"), ui(u"Sending request..."), ui(u"Receiving information..."),
    ui(u"Download complete"), ui(u"Error connecting to FreeDB"), ui(u"Aborted connection to FreeDB"),
    ui(u"Album:"), ui(u"Apply changes to all tracks"), ui(u"Check for Updates..."),
    ui(u"Checking for Updates..."), ui(u"Do you want to upgrade to version %s?"),
    ui(u"There are available updates"), ui(u"There are no available updates"), ui(u"Downloading..."),
    ui(u"About..."), ui(kAbout), ui(u"Help..."), ui(product::kTutorialsPage), ui(u"Properties"),
    ui(u"Tutorials"), ui(product::kWebPage),
    ui(u"Download"), ui(u"Cannot open %s: %s"),
    ui(u"permission denied. Add your user to the \"cdrom\" group and log in again"),
    ui(u"the drive is busy (another program is using it)"),
    ui(u"Files already exist"),
    ui(u"%s already exists in this folder. Replace the existing files, or keep both?"),
    ui(u"Replace"),
    ui(u"Keep both"),
    ui(u"New folder"), ui(u"The download failed"),
    ui(u"Read mode:"),
    ui(u"Normal"),
    ui(u"Secure"),
    ui(u"Test and copy"),
    ui(u"Check the tracks against AccurateRip"),
    ui(u"Metadata:"),
    ui(u"MusicBrainz and CDDB"),
    ui(u"CDDB only"),
    ui(u"None"),
    ui(u"CDDB server:"),
    ui(u"Download the cover art"),
    ui(u"One folder per album"),
    ui(u"Write ReplayGain tags"),
    ui(u"Check for updates at start"),
    ui(u"Read offset:"),
    ui(u"Detect"),
    ui(u"%s samples"),
    ui(u"%s samples (%s tracks agree)"),
    ui(u"Asking AccurateRip..."),
    ui(u"Reading track %s of %s..."),
    ui(u"No answer: %s"),
    ui(u"AccurateRip does not know this disc"),
    ui(u"AccurateRip does not answer"),
    ui(u"no track matches at a single offset"),
    ui(u"the disc cannot be read"),
    ui(u"Drive:"), ui(u"disc %s/%s"),
    ui(u"Stop"), ui(u"Accurate (confidence %s)"), ui(u"Not accurate"), ui(u"Not in the database"), ui(u"Not checked"),
    ui(u"Failed"), ui(u"Stopped"), ui(u"%s of %s tracks whole, %s accurate"), ui(u"Open folder"), ui(u"Show log"),
    ui(u"%s sectors could not be read"), ui(u"%s sectors read differently each time"), ui(u"The track could not be read or its file written"),
    ui(u"Edit album details"),
    ui(u"Album details"),
    ui(u"Album artist:"),
    ui(u"Year:"),
    ui(u"Genre:"),
    ui(u"Typed titles"),
    ui(u"Replace the titles you typed?"),
    ui(u"Keep"),
};

} // namespace tonvane
