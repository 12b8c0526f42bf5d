// The menu tree's record block: the main window's tree byte for byte against a block written
// here independently, reading and walking it, walks that end at a record of an unknown kind or a
// cut block, and enabling by key.
#include "app/window/MenuTree.h"
#include "app/window/MenuTreeBuilder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace tonvane {
namespace {

// One record as the table lays it out: kind, size, and for items and submenus the flags byte,
// key, icon, value, user value (0), and for submenus the child count and first child's offset.
struct Row {
    uint32_t offset;
    uint8_t kind;
    uint32_t size;
    uint8_t flags = 0;
    int32_t key = 0;
    int32_t icon = 0;
    int32_t value = 0;
    uint32_t childCount = 0;
    uint32_t firstChild = 0;
};

constexpr uint8_t S = 1, I = 2, Sep = 3; // kinds
constexpr uint8_t On = 1, Off = 0;

Row submenu(uint32_t at, uint32_t size, int32_t key, uint32_t children)
{
    return {at, S, size, On, key, -1, 0, children, at + 36};
}
Row item(uint32_t at, uint8_t flags, int32_t key, int32_t icon)
{
    return {at, I, 28, flags, key, icon, -1};
}
Row separator(uint32_t at)
{
    return {at, Sep, 12};
}

// The main window's tree in depth-first order: File (Convert, Consult FreeDB, -, Exit), View
// (Options, -, Language with the eight names), Help (web page, updates, help, -, About).
std::vector<Row> mainTreeRows()
{
    std::vector<Row> rows = {
        submenu(0, 664, 128, 3),
        submenu(36, 132, 2, 4), item(72, Off, 3, 1), item(100, Off, 4, 12), separator(128), item(140, On, 5, 0),
        submenu(168, 336, 6, 3), item(204, On, 7, 2), separator(232), submenu(244, 260, 8, 8),
    };
    for (int32_t n = 0; n < 8; ++n)
        rows.push_back(item(280 + 28 * uint32_t(n), On, 9 + n, 4 + n));
    for (Row row : {submenu(504, 160, 17, 5), item(540, On, 18, 3), item(568, On, 32, -1), item(596, On, 40, 13),
                    separator(624), item(636, On, 38, -1)})
        rows.push_back(row);
    return rows;
}

void putWord(std::vector<uint8_t>& bytes, uint32_t at, uint32_t word)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = uint8_t(word >> (8 * i));
}

// The block the rows describe: padding bytes zero, words little-endian.
std::vector<uint8_t> blockOf(const std::vector<Row>& rows, uint32_t total)
{
    std::vector<uint8_t> bytes(total, 0);
    for (const Row& r : rows) {
        bytes[r.offset] = r.kind;
        putWord(bytes, r.offset + 4, r.size);
        if (r.kind == Sep)
            continue;
        bytes[r.offset + 8] = r.flags;
        putWord(bytes, r.offset + 12, uint32_t(r.key));
        putWord(bytes, r.offset + 16, uint32_t(r.icon));
        putWord(bytes, r.offset + 20, uint32_t(r.value));
        if (r.kind == S) {
            putWord(bytes, r.offset + 28, r.childCount);
            putWord(bytes, r.offset + 32, r.firstChild);
        }
    }
    return bytes;
}

std::vector<uint32_t> offsetsOf(const std::vector<MenuRecord>& records)
{
    std::vector<uint32_t> offsets;
    for (const MenuRecord& r : records)
        offsets.push_back(r.offset);
    return offsets;
}

struct MenuTrees : ::testing::Test {
    void SetUp() override
    {
        fillLanguageSlots();
        setCurrentLanguage(kEnglish);
    }
    MenuTree tree = mainMenuTree();
    MenuRecord root() const { return *tree.root(); }
    MenuRecord entry(TextId key) const { return *findEntry(tree, key); }
};

TEST_F(MenuTrees, TheMainTreeIsTheTableByteForByteAndReadsBackRecordByRecord)
{
    std::vector<Row> rows = mainTreeRows();
    EXPECT_EQ(tree.bytes(), blockOf(rows, 664));
    for (const Row& row : rows) {
        SCOPED_TRACE("record at " + std::to_string(row.offset));
        std::optional<MenuRecord> r = tree.record(row.offset);
        ASSERT_TRUE(r);
        EXPECT_EQ(uint8_t(r->kind), row.kind);
        EXPECT_EQ(r->size, row.size);
        if (row.kind == Sep)
            continue;
        EXPECT_EQ(r->flags, row.flags);
        EXPECT_EQ(r->key, row.key);
        EXPECT_EQ(r->icon, row.icon);
        EXPECT_EQ(r->value, row.value);
        EXPECT_EQ(r->userValue, 0);
        EXPECT_EQ(r->childCount, row.childCount);
        EXPECT_EQ(r->firstChild, row.firstChild);
    }
    // Inside a record nothing starts.
    EXPECT_FALSE(tree.record(1));
    EXPECT_FALSE(tree.record(664));
}

TEST_F(MenuTrees, WalksFindChildrenBySizesAndSubmenusDepthFirst)
{
    EXPECT_EQ(offsetsOf(childrenOf(tree, root())), (std::vector<uint32_t>{36, 168, 504}));
    EXPECT_EQ(offsetsOf(childrenOf(tree, entry(kTextFile))), (std::vector<uint32_t>{72, 100, 128, 140}));
    EXPECT_EQ(offsetsOf(childrenOf(tree, entry(kTextView))), (std::vector<uint32_t>{204, 232, 244}));
    EXPECT_EQ(entry(kTextLanguage).offset, 244u);
    EXPECT_EQ(entry(kMainMenuRootKey).offset, 0u);
    EXPECT_FALSE(findEntry(tree, kTextConvert)) << "items are not submenus";
    struct Case {
        TextId submenu;
        int32_t index;
        std::optional<uint32_t> offset;
    } cases[] = {
        {kTextFile, 3, 140}, {kTextFile, 4, std::nullopt}, {kTextFile, -1, std::nullopt},
        {kTextLanguage, 0, 280}, {kTextLanguage, 7, 476}, {kTextHelp, 4, 636},
    };
    for (const Case& c : cases) {
        std::optional<MenuRecord> found = findItem(tree, entry(c.submenu), c.index);
        EXPECT_EQ(found ? std::optional<uint32_t>(found->offset) : std::nullopt, c.offset)
            << "child " << c.index << " of " << c.submenu;
    }
    EXPECT_EQ(captionOf(tree, entry(kTextFile), 3), u"Exit\tAlt+F4");
    EXPECT_EQ(captionOf(tree, entry(kTextLanguage), 3), u"Deutsch");
    EXPECT_FALSE(captionOf(tree, entry(kTextFile), 2)) << "a separator has no caption";
    EXPECT_FALSE(captionOf(tree, entry(kTextFile), 9));
}

TEST_F(MenuTrees, AKindOfZeroOrAboveThreeOrACutBlockEndsTheWalk)
{
    // The File menu's separator (offset 128) made kind 0 or 4: its walk stops before it, and a
    // walk never reads what lies behind it.
    for (uint8_t kind : {uint8_t(0), uint8_t(4), uint8_t(0xFF)}) {
        std::vector<uint8_t> bytes = tree.bytes();
        bytes[128] = kind;
        MenuTree broken(bytes);
        SCOPED_TRACE("kind " + std::to_string(kind));
        std::optional<MenuRecord> file = findEntry(broken, kTextFile);
        ASSERT_TRUE(file);
        EXPECT_EQ(offsetsOf(childrenOf(broken, *file)), (std::vector<uint32_t>{72, 100}));
        EXPECT_FALSE(findItem(broken, *file, 3));
        EXPECT_FALSE(setItemEnabled(broken, kTextExit, false)) << "Exit lies behind the broken record";
        EXPECT_TRUE(findEntry(broken, kTextLanguage)) << "the next menus are reached by File's own size";
    }
    // The Language submenu's kind broken: it and its items are gone, View keeps what precedes.
    std::vector<uint8_t> bytes = tree.bytes();
    bytes[244] = 0;
    MenuTree noLanguages(bytes);
    EXPECT_FALSE(findEntry(noLanguages, kTextLanguage));
    EXPECT_FALSE(isItemEnabled(noLanguages, kTextGermanName));
    EXPECT_EQ(childrenOf(noLanguages, *findEntry(noLanguages, kTextView)).size(), 2u);
    // Sizes that reach past the block, or a cut block, read as nothing.
    bytes = tree.bytes();
    bytes.resize(500);
    EXPECT_FALSE(MenuTree(bytes).root());
    bytes = tree.bytes();
    putWord(bytes, 36 + 4, 0); // File's size 0 would never move on
    MenuTree stuck(bytes);
    EXPECT_TRUE(childrenOf(stuck, *stuck.root()).empty()) << "the walk ends at File";
    EXPECT_FALSE(MenuTree(std::vector<uint8_t>{}).root());
}

TEST_F(MenuTrees, EnablingByKeyChangesOneFlagByteAndAMissingKeyNothing)
{
    int changes = 0;
    tree.setChangeListener([&] { ++changes; });
    const std::vector<uint8_t> before = tree.bytes();
    for (TextId missing : {TextId(99), TextId(-1), TextId(0), TextId(1000)})
        EXPECT_FALSE(setItemEnabled(tree, missing, true)) << missing;
    EXPECT_EQ(tree.bytes(), before);
    EXPECT_EQ(changes, 0);

    struct Case {
        TextId key;
        bool on;
        uint32_t flagsAt;
        uint8_t flags;
    } cases[] = {
        {kTextConvert, true, 72 + 8, 1}, {kTextExit, false, 140 + 8, 0}, {kTextLanguage, false, 244 + 8, 0},
        {kTextGermanName, false, 280 + 3 * 28 + 8, 0}, {kTextOptions, false, 204 + 8, 0},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> expected = tree.bytes();
        expected[c.flagsAt] = c.flags;
        EXPECT_TRUE(setItemEnabled(tree, c.key, c.on)) << c.key;
        EXPECT_EQ(tree.bytes(), expected) << "only the flags byte of " << c.key << " changes";
        EXPECT_EQ(isItemEnabled(tree, c.key), c.on);
    }
    EXPECT_EQ(changes, 5);
}

TEST_F(MenuTrees, TheBuilderCountsChildrenAndAnIconOnlyChildHasNoCaption)
{
    MenuTreeBuilder b;
    b.beginSubmenu(1);
    b.item(kTextOk, 3, menuflag::kEnabled | menuflag::kIconOnly);
    b.beginSubmenu(kTextView);
    b.end();
    b.separator();
    MenuTree small = b.finish(); // the open root is ended by finish
    MenuRecord top = *small.root();
    EXPECT_EQ(top.size, 36u + 28 + 36 + 12);
    EXPECT_EQ(top.childCount, 3u);
    EXPECT_EQ(small.record(64)->childCount, 0u);
    EXPECT_TRUE(childrenOf(small, *small.record(64)).empty());
    EXPECT_FALSE(captionOf(small, top, 0));
    EXPECT_EQ(captionOf(small, top, 1), u"View");
}

} // namespace
} // namespace tonvane
