#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace tonvane {

using LanguageId = int32_t;
inline constexpr LanguageId kLanguageNone = 0; // transient, before the first-run choice
inline constexpr LanguageId kEnglish = 1;
inline constexpr LanguageId kFrench = 2;
inline constexpr LanguageId kGerman = 3;
inline constexpr LanguageId kItalian = 4;
inline constexpr LanguageId kJapanese = 5;
inline constexpr LanguageId kPortuguese = 6;
inline constexpr LanguageId kRussian = 7;
inline constexpr LanguageId kSpanish = 8;
inline constexpr int kLanguageSlotCount = 9; // slot 0 is the (empty) fallback slot

// Row of a language table. Menu items carry their text's row as command number.
using TextId = int32_t;
enum : TextId {
    kTextOk = 0,
    kTextCancel = 1,
    kTextFile = 2,
    kTextConvert = 3,
    kTextConsultFreeDb = 4,
    kTextExit = 5,
    kTextView = 6,
    kTextOptions = 7,
    kTextLanguage = 8,
    kTextSpanishName = 9, // 9 to 16: the language names
    kTextEnglishName = 10,
    kTextRussianName = 11,
    kTextGermanName = 12,
    kTextFrenchName = 13,
    kTextPortugueseName = 14,
    kTextItalianName = 15,
    kTextJapaneseName = 16,
    kTextHelp = 17,
    kTextWeb = 18,
    kTextInsertCd = 19,
    kTextTitleLabel = 20,
    kTextTrack = 21,
    kTextPlayTime = 22,
    kTextConnecting = 23,
    kTextConnected = 24,
    kTextSendingRequest = 25,
    kTextReceiving = 26,
    kTextDownloadComplete = 27,
    kTextConnectError = 28,
    kTextConnectAborted = 29,
    kTextAlbumLabel = 30,
    kTextApplyAll = 31,
    kTextCheckUpdates = 32,
    kTextCheckingUpdates = 33,
    kTextUpgradeQuestion = 34, // contains "%s"
    kTextUpdatesAvailable = 35,
    kTextNoUpdates = 36,
    kTextDownloading = 37,
    kTextAbout = 38,
    kTextAboutBody = 39, // "%s" the version (product::kVersion)
    kTextHelpPage = 40,
    kTextTutorialsAddress = 41,
    kTextProperties = 42,
    kTextTutorials = 43,
    kTextWebAddress = 44,
    kTextDownloadCaption = 45, // the update dialog's caption
    kTextCannotOpenDrive = 46, // "%s" the device path, then "%s" the reason
    kTextDriveNoPermission = 47, // the reason when the user may not open the drive
    kTextDriveBusy = 48, // the reason when another program holds it
    kTextFilesExistCaption = 49, // the caption of the dialog about files that exist
    kTextFilesExistQuestion = 50, // "%s" the first file that exists
    kTextReplace = 51,
    kTextKeepBoth = 52,
    kTextNewFolder = 53, // the folder chooser's button and the new folder's name
    kTextDownloadFailed = 54, // the update dialog after a download that did not complete
    kTextReadModeLabel = 55, // the Options dialog's labels and choices
    kTextReadNormal = 56,
    kTextReadSecure = 57,
    kTextReadTestAndCopy = 58,
    kTextAccurateRipOption = 59,
    kTextMetadataLabel = 60,
    kTextMetadataBoth = 61,
    kTextMetadataCddb = 62,
    kTextMetadataNone = 63,
    kTextCddbServerLabel = 64,
    kTextCoverArtOption = 65,
    kTextFolderPerAlbumOption = 66,
    kTextReplayGainOption = 67,
    kTextUpdateCheckOption = 68,
    kTextReadOffsetLabel = 69,
    kTextDetect = 70,
    kTextOffsetSamples = 71, // "%s" the signed read offset
    kTextOffsetFound = 72, // "%s" the offset, then "%s" the agreeing tracks
    kTextOffsetAsking = 73,
    kTextOffsetReading = 74, // "%s" the track, then "%s" the track count
    kTextOffsetNoAnswer = 75, // "%s" one of the four reasons below
    kTextOffsetUnknownDisc = 76,
    kTextOffsetNoServer = 77,
    kTextOffsetNoMatch = 78,
    kTextOffsetNoDisc = 79,
    kTextDriveLabel = 80, // before the box that chooses among drives holding a disc
    kTextDiscOfDiscs = 81, // "%s/%s": the disc's number of the release's discs, in a match's label
    kTextStop = 82, // the Convert button while a conversion runs
    kTextAccurate = 83, // a track's AccurateRip verdict: "%s" the confidence
    kTextNotAccurate = 84,
    kTextNotInDatabase = 85,
    kTextNotChecked = 86,
    kTextFailed = 87, // a track that did not end whole
    kTextStopped = 88, // a track a Stop ended or never reached
    kTextRipSummary = 89, // "%s" whole, "%s" selected, "%s" accurate
    kTextOpenFolder = 90,
    kTextShowLog = 91,
    kTextUnreadableSectors = 92, // a failed track's reason: "%s" the count
    kTextUnsteadySectors = 93, // "%s" sectors whose reads never agreed
    kTextTrackNotWritten = 94, // a failed track without a counted reason
    kTextAlbumDetailsLink = 95, // the link beside the album box that opens the album dialog
    kTextAlbumDetailsCaption = 96,
    kTextAlbumArtistLabel = 97,
    kTextYearLabel = 98,
    kTextGenreLabel = 99,
    kTextTypedTitlesCaption = 100, // the question before a match replaces typed titles
    kTextReplaceTypedQuestion = 101,
    kTextKeep = 102,
    kTextMusicBrainzServerLabel = 103,
    kTextCoverArtServerLabel = 104,
    kTextAccurateRipServerLabel = 105,
    kTextServerNotHostPort = 106, // a refused server entry: "%s" the field's name
    kTextServerBadPort = 107, // "%s" the field's name
    kTextServerNotUrl = 108, // "%s" the field's name
};
inline constexpr int kTextCount = 109;

// One entry of a table: text and its length in UTF-16 units (the text need not be terminated
// at that length).
struct UiString {
    const char16_t* text;
    int32_t length;
    std::u16string_view view() const { return {text, static_cast<size_t>(length)}; }
};

using LanguageTable = UiString[kTextCount];

// The eight tables, defined in resources/languages/.
extern const LanguageTable kEnglishTable;
extern const LanguageTable kFrenchTable;
extern const LanguageTable kGermanTable;
extern const LanguageTable kItalianTable;
extern const LanguageTable kJapaneseTable;
extern const LanguageTable kPortugueseTable;
extern const LanguageTable kRussianTable;
extern const LanguageTable kSpanishTable;

// The row holding a language's own name (also its Language menu command); kTextEnglishName for
// ids outside 1 to 8.
TextId languageNameText(LanguageId id);

// Fills slots 1 to 8 (start-up initialiser).
void fillLanguageSlots();
// Empties every slot (used by tests of the fallback rules).
void clearLanguageSlots();
const LanguageTable* languageSlot(LanguageId id);

LanguageId currentLanguage();
// Only the user-interface thread changes it; other threads read it without a lock.
void setCurrentLanguage(LanguageId id);

// The row in the current language; slot 0 when the current slot is empty; else "Bad String".
// id is not range-checked: callers pass 0 to kTextCount - 1.
const UiString& uiText(TextId id);
const char16_t* uiTextPointer(TextId id);

// The text with each "%s" replaced by the next value, in order; a "%s" beyond the values
// becomes nothing. Values are not searched again.
std::u16string fillPlaceholders(std::u16string_view text, std::initializer_list<std::u16string_view> values);

// Spanish when the language of the first set of LC_ALL, LC_MESSAGES, LANG is "es", else English.
LanguageId languageFromLocale();
// The rule on a given locale name ("es_AR.UTF-8", "C", "" ...).
LanguageId languageFromLocaleName(std::string_view locale);

// The menu side of a language switch; the main window provides it.
class LanguageMenu {
public:
    virtual ~LanguageMenu() = default;
    virtual void setLanguageEntryEnabled(LanguageId id, bool enabled) = 0;
    virtual void languageChanged() = 0; // re-measure and redraw every text
};

// Switches the interface language. Same language: only its menu entry is disabled, nothing is
// written. Otherwise the previous entry is enabled, the new one disabled, the language made
// current and "Lang" written under "\Main". menu may be null (no window yet).
void setLanguage(LanguageId id, LanguageMenu* menu);

} // namespace tonvane
