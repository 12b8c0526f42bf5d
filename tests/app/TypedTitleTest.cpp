// Titles typed in the window program: the entry over a row's title (F2, double click), Return,
// Esc and Tab; the album dialog; the question before a lookup's match replaces typed texts; and
// a typed title reaching the FLAC file's name and its TITLE tag.
#include "MainWindowFixture.h"

#include "FakeCddbServer.h"
#include "app/window/AlbumDetailsDialog.h"
#include "app/window/DiscPage.h"
#include "app/window/TypedTitlesDialog.h"
#include "core/disc/EncoderFormat.h"
#include "core/settings/SettingsDefaults.h"
#include "support/ChildProcess.h"
#include "windowing/message/KeyCodes.h"
#include "windowing/message/TextMessage.h"

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>

namespace tonvane {
namespace {

constexpr uint32_t kF2 = vk::VK_F1 + 1;
constexpr int32_t kFlac = 2;
const std::string kCafe = "Cafe\xCC\x81 / Ni\xC3\xB1o"; // e + U+0301, and a slash no file name may hold

template <typename Done>
bool pumpUntil(UiThread& ui, Done done, int seconds = 10)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        Message message;
        if (ui.peekMessage(message))
            ui.dispatch(message);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

void press(PushButton& button)
{
    button.onMouse(MouseAction::LeftDown, 10, 10);
    button.onMouse(MouseAction::LeftUp, 10, 10);
}

struct TypedTitles : test::MainWindowFixture {
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
        settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    }
    DiscPage& page() { return content->discPage(); }
    void key(uint32_t virtualKey, uint32_t modifiers = 0)
    {
        backend.setModifiers(modifiers);
        ui.dispatch(Message{window->id(), msg::WM_KEYDOWN, virtualKey});
        ui.dispatch(Message{window->id(), msg::WM_KEYUP, virtualKey});
        backend.setModifiers(0);
    }
    void type(const std::string& text)
    {
        for (const Message& m : textMessages(window->id(), text))
            ui.dispatch(m);
    }
    // A press on row's title (row coordinates of the list: where drawRow put it).
    void clickTitle(int32_t row, bool twice)
    {
        ItemList& list = page().trackList();
        IntRect r = list.itemRect(row);
        int32_t x = r.x0 + 200, y = r.y0 + 30;
        click(list, x, y);
        if (twice) {
            Message event{window->id(), msg::WM_LBUTTONDBLCLK};
            IntRect w = list.windowRect();
            event.x = window->marginLeft() + w.x0 + x;
            event.y = window->marginTop() + window->height() - (w.y0 + y);
            ui.dispatch(event);
        }
    }
    std::string title(int32_t row) { return page().job().tracks[size_t(row)].title.toUtf8(); }
    // Answers the typed-titles question once it is open (the lookup's events come first).
    void answerWhenAsked(bool replace, int& asked, int triesLeft = 2000)
    {
        injectStep([this, replace, &asked, triesLeft] {
            TypedTitlesDialog* question = page().typedQuestion();
            if (question == nullptr) {
                ASSERT_GT(triesLeft, 0) << "the question never came";
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                answerWhenAsked(replace, asked, triesLeft - 1);
                return;
            }
            ++asked;
            press(replace ? question->replaceButton() : question->keepButton());
        });
    }
};

TEST_F(TypedTitles, F2TypingAndReturnKeepTheTitleEscDropsItAndTabMovesOn)
{
    open();
    ASSERT_EQ(content->page(), MainContent::Page::Disc);
    std::string before1 = title(1);
    clickTitle(1, false);
    key(kF2);
    TitleEditor& editor = page().titleEditor();
    ASSERT_TRUE(editor.isOpen());
    EXPECT_EQ(editor.row(), 1);
    EXPECT_TRUE(editor.entry().hasFocus());
    EXPECT_EQ(editor.entry().selectedText(), before1) << "the old title is selected, so typing replaces it";
    type("Morning Song");
    key(vk::VK_RETURN);
    EXPECT_FALSE(editor.isOpen());
    EXPECT_EQ(title(1), "Morning Song");
    EXPECT_EQ(page().job().tracks[1].tags.title.toUtf8(), "Morning Song");
    EXPECT_EQ(page().job().tracks[1].tags.typed, typed::kTitle);
    EXPECT_TRUE(page().trackList().hasFocus()) << "the focus goes back to the list";

    // Esc drops what was typed.
    key(kF2);
    ASSERT_TRUE(editor.isOpen());
    type("Not this");
    key(vk::VK_ESCAPE);
    EXPECT_FALSE(editor.isOpen());
    EXPECT_EQ(title(1), "Morning Song");

    // A double click on a title opens it; Tab keeps it and goes on to the next row's.
    std::string before3 = title(3);
    clickTitle(2, true);
    ASSERT_TRUE(editor.isOpen());
    EXPECT_EQ(editor.row(), 2);
    type("Third");
    key(vk::VK_TAB);
    EXPECT_EQ(title(2), "Third");
    ASSERT_TRUE(editor.isOpen());
    EXPECT_EQ(editor.row(), 3);
    key(vk::VK_TAB, mod::kShift | mod::kLeftShift);
    EXPECT_EQ(title(3), before3) << "an unchanged title is not marked typed";
    EXPECT_EQ(page().job().tracks[3].tags.typed, 0u);
    EXPECT_EQ(editor.row(), 2);
    key(vk::VK_ESCAPE);

    // A click elsewhere keeps what was typed.
    key(kF2);
    ASSERT_TRUE(editor.isOpen());
    key(vk::VK_END);
    type("!");
    clickTitle(0, false);
    EXPECT_FALSE(editor.isOpen());
    EXPECT_EQ(title(2), "Third!");
}

TEST_F(TypedTitles, TheAlbumDialogTypesTheAlbumFieldsOfEveryTrack)
{
    open();
    DiscPage& disc = page();
    ASSERT_TRUE(disc.albumLink().isInteractive());
    AlbumFields typedIn{WideString::fromUtf8("Die \xC3\x84rzte"), WideString::fromUtf8("Jazz ist anders"),
                        WideString::fromUtf8("2007"), WideString::fromUtf8("Punk")};
    injectStep([&] {
        AlbumDetailsDialog* dialog = disc.albumDialog();
        ASSERT_NE(dialog, nullptr);
        for (int field = 0; field < AlbumDetailsDialog::kFieldCount; ++field) {
            const WideString* value[] = {&typedIn.albumArtist, &typedIn.album, &typedIn.year, &typedIn.genre};
            dialog->entry(AlbumDetailsDialog::Field(field)).setText(value[field]->toUtf8());
        }
        press(dialog->okButton());
    });
    click(disc.albumLink(), 5, 5);
    for (int32_t i = 0; i < disc.job().count; ++i) {
        const TrackTags& tags = disc.job().tracks[size_t(i)].tags;
        EXPECT_EQ(tags.albumArtist.toUtf8(), "Die \xC3\x84rzte") << i;
        EXPECT_EQ(tags.artist.toUtf8(), "Die \xC3\x84rzte") << i;
        EXPECT_EQ(tags.album.toUtf8(), "Jazz ist anders") << i;
        EXPECT_EQ(tags.year.toUtf8(), "2007") << i;
        EXPECT_EQ(tags.genre.toUtf8(), "Punk") << i;
        EXPECT_EQ(tags.typed, typed::kAlbumFields) << i;
    }
    // Esc drops the dialog's edits.
    injectStep([&] {
        AlbumDetailsDialog* dialog = disc.albumDialog();
        ASSERT_NE(dialog, nullptr);
        dialog->entry(AlbumDetailsDialog::kYear).setText("1999");
        dialog->keyDown(vk::VK_ESCAPE);
    });
    disc.openAlbumDetails();
    EXPECT_EQ(disc.job().tracks[0].tags.year.toUtf8(), "2007");
}

TEST_F(TypedTitles, ALookupAsksOnceBeforeReplacingTypedTitles)
{
    test::FakeCddbServer cddb({"Alpha", "Beta", "Gamma", "Delta"});
    server = "127.0.0.1:" + std::to_string(cddb.port());
    open();
    DiscPage& disc = page();
    ASSERT_TRUE(disc.editTitle(0));
    type("Mine");
    key(vk::VK_RETURN);
    ASSERT_EQ(title(0), "Mine");

    // Keep: the match fills the other titles, the typed one stays (and stays typed).
    int asked = 0;
    answerWhenAsked(false, asked);
    disc.startLookup();
    ASSERT_TRUE(pumpUntil(ui, [&] { return !disc.lookingUp(); }));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(title(0), "Mine");
    EXPECT_EQ(disc.job().tracks[0].tags.title.toUtf8(), "Mine");
    EXPECT_EQ(title(1), "Beta");
    EXPECT_EQ(disc.job().tracks[0].tags.typed, typed::kTitle);

    // Replace: the match's title goes in and nothing counts as typed any more.
    answerWhenAsked(true, asked);
    disc.startLookup();
    ASSERT_TRUE(pumpUntil(ui, [&] { return !disc.lookingUp(); }));
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(title(0), "Alpha");
    EXPECT_EQ(disc.job().tracks[0].tags.typed, 0u);

    // Nothing typed: no question.
    disc.startLookup();
    ASSERT_TRUE(pumpUntil(ui, [&] { return !disc.lookingUp(); }));
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(title(0), "Alpha");
}

std::string flacTag(const std::filesystem::path& file, const std::string& name)
{
    test::ProcessResult result = test::runProcess("/usr/bin/metaflac", {"--show-tag=" + name, file.string()});
    return result.out;
}

TEST_F(TypedTitles, ATypedTitleNamesTheFlacFileAndIsItsTitleTag)
{
    if (!std::filesystem::exists("/usr/bin/metaflac"))
        GTEST_SKIP() << "metaflac is not installed (tools/install-deps.sh installs it)";
    test::TempDir music;
    folderAnswer = music.path();
    open();
    DiscPage& disc = page();
    for (int32_t i = 0; i < disc.job().count; ++i) {
        disc.job().tracks[size_t(i)].format = kFlac;
        disc.job().tracks[size_t(i)].selected = i < 2 ? 1 : 0;
    }
    ASSERT_TRUE(disc.editTitle(0));
    type(kCafe);
    key(vk::VK_RETURN);
    ASSERT_TRUE(disc.editTitle(1));
    type("Plain");
    key(vk::VK_RETURN);
    content->onCommand(3);
    ASSERT_TRUE(disc.converting());
    ASSERT_TRUE(pumpUntil(ui, [&] { return !disc.converting(); }, 120));
    // The slash is dropped from the name, the combining mark kept as typed (not composed).
    std::filesystem::path first = std::filesystem::path(music.path()) / "01 - Cafe\xCC\x81  Ni\xC3\xB1o.flac";
    std::filesystem::path second = std::filesystem::path(music.path()) / "02 - Plain.flac";
    ASSERT_TRUE(std::filesystem::exists(first)) << first;
    ASSERT_TRUE(std::filesystem::exists(second)) << second;
    EXPECT_EQ(flacTag(first, "TITLE"), "TITLE=" + kCafe + "\n");
    EXPECT_EQ(flacTag(second, "TITLE"), "TITLE=Plain\n");
}

} // namespace
} // namespace tonvane
