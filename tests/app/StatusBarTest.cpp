// The status bar's left pane: whose message it shows, which messages may replace it, and which
// owner may take it back.
#include "app/window/StatusBar.h"

#include <gtest/gtest.h>

#include <vector>

namespace tonvane {
namespace {

TEST(StatusBar, AnUpdateCheckNeverCoversALookupOrAConversionAndOnlyTheOwnerClears)
{
    using O = StatusOwner;
    struct Case {
        O shown, incoming;
        bool replaced;
    };
    const std::vector<Case> cases = {
        {O::None, O::UpdateCheck, true},         {O::UpdateCheck, O::UpdateCheck, true},
        {O::Lookup, O::UpdateCheck, false},      {O::Conversion, O::UpdateCheck, false},
        {O::UpdateCheck, O::Lookup, true},       {O::Conversion, O::Lookup, true},
        {O::Lookup, O::Conversion, true},        {O::UpdateCheck, O::Conversion, true},
        {O::Conversion, O::Conversion, true},    {O::Lookup, O::None, true},
    };
    for (const Case& c : cases) {
        StatusBar bar(nullptr);
        ASSERT_TRUE(bar.say(0, c.shown, Caption::of(u"first")));
        EXPECT_EQ(bar.say(0, c.incoming, Caption::of(u"second")), c.replaced)
            << int(c.shown) << " -> " << int(c.incoming);
        EXPECT_EQ(bar.paneText(0), c.replaced ? u"second" : u"first");
        EXPECT_EQ(bar.owner(0), c.replaced ? c.incoming : c.shown);
    }

    // A lookup's linger takes back only its own text; a conversion's message written since stays
    // until the conversion (or the next message) replaces it.
    StatusBar bar(nullptr);
    bar.say(0, O::Lookup, Caption::text(kTextDownloadComplete));
    bar.say(0, O::Conversion, Caption::of(u"4 of 4 tracks whole, 4 accurate"));
    EXPECT_FALSE(bar.clear(0, O::Lookup));
    EXPECT_FALSE(bar.clear(0, O::UpdateCheck));
    EXPECT_EQ(bar.paneText(0), u"4 of 4 tracks whole, 4 accurate");
    // The update check's delayed clear names the text it showed: a newer one of its own stays.
    bar.say(0, O::UpdateCheck, Caption::of(u"newer"));
    EXPECT_FALSE(bar.say(0, O::UpdateCheck, Caption::of(u"x"))) << "the conversion's message still shows";
    EXPECT_TRUE(bar.clear(0, O::Conversion));
    EXPECT_EQ(bar.owner(0), O::None);
    bar.say(0, O::UpdateCheck, Caption::of(u"older"));
    bar.say(0, O::UpdateCheck, Caption::of(u"newer"));
    std::u16string older = u"older";
    EXPECT_FALSE(bar.clear(0, O::UpdateCheck, &older));
    EXPECT_EQ(bar.paneText(0), u"newer");

    // A tip that borrows the pane gives back the message with its owner.
    bar.say(0, O::Conversion, Caption::of(u"summary"));
    StatusBar::Message before = bar.message(0);
    bar.setStatusText(0, u"a long title");
    EXPECT_EQ(bar.owner(0), O::None);
    bar.restore(0, before);
    EXPECT_EQ(bar.owner(0), O::Conversion);
    EXPECT_FALSE(bar.say(0, O::UpdateCheck, Caption::of(u"There are no available updates")));
    EXPECT_FALSE(bar.say(2, O::Lookup, Caption::of(u"x"))) << "two panes";
}

} // namespace
} // namespace tonvane
