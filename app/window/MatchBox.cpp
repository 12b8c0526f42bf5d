#include "app/window/MatchBox.h"

#include "core/foundation/WideString.h"
#include "core/language/Language.h"

namespace tonvane {

namespace {

constexpr size_t kYearDigits = 4; // a MusicBrainz date starts "YYYY"

std::u16string utf16(const std::string& utf8)
{
    return std::u16string(WideString::fromUtf8(utf8).view());
}

// One line of a label: no line breaks or other controls from the servers' texts.
std::u16string oneLine(std::u16string text)
{
    for (char16_t& c : text)
        if (c < 0x20 || c == 0x7F)
            c = u' ';
    return text;
}

} // namespace

MatchBox::MatchBox(DropDownBox& box) : m_box(box)
{
    m_box.setRowText([this](int32_t row) {
        return m_list && row >= 0 && row < count() ? label(*m_list, size_t(row)) : std::u16string();
    });
    m_box.setRowBadge([this](int32_t row) {
        return m_list && row >= 0 && row < count() ? badge(*m_list, size_t(row)) : std::u16string();
    });
}

void MatchBox::show(std::shared_ptr<const MatchList> list)
{
    m_list = std::move(list);
    m_box.setRowCount(count());
    m_box.setChosen(count() > 0 ? 0 : -1);
}

bool MatchBox::choosable() const
{
    if (!m_list)
        return false;
    bool anyMusicBrainz = !m_list->entries.empty() && m_list->entries.front().musicBrainz;
    return count() >= (anyMusicBrainz ? 1 : 2);
}

bool MatchBox::isMusicBrainz(int32_t entry) const
{
    return m_list && entry >= 0 && entry < count() && m_list->entries[size_t(entry)].musicBrainz;
}

std::u16string MatchBox::label(const MatchList& list, size_t entry)
{
    if (entry >= list.entries.size())
        return {};
    const MatchList::Entry& e = list.entries[entry];
    if (!e.musicBrainz) {
        if (e.index >= list.cddb.matchTitles.size())
            return {};
        std::u16string text = utf16(list.cddb.matchTitles[e.index]);
        if (e.index < list.cddb.matchYears.size() && !list.cddb.matchYears[e.index].empty())
            text += u" (" + utf16(list.cddb.matchYears[e.index]) + u")";
        return oneLine(std::move(text));
    }
    if (e.index >= list.musicBrainz.matches.size())
        return {};
    const MusicBrainzMatch& match = list.musicBrainz.matches[e.index];
    std::u16string details;
    auto add = [&details](const std::u16string& part) {
        if (part.empty())
            return;
        details += (details.empty() ? u"" : u", ") + part;
    };
    add(utf16(match.date.substr(0, kYearDigits)));
    add(utf16(match.country.empty() ? match.format : match.country));
    if (match.discCount > 1) {
        std::u16string number = utf16(std::to_string(match.discNumber));
        std::u16string discs = utf16(std::to_string(match.discCount));
        add(fillPlaceholders(uiText(kTextDiscOfDiscs).view(), {number, discs}));
    }
    std::u16string text = utf16(match.artist) + u" / " + utf16(match.title);
    if (!details.empty())
        text += u" (" + details + u")";
    return oneLine(std::move(text));
}

std::u16string MatchBox::badge(const MatchList& list, size_t entry)
{
    if (entry >= list.entries.size())
        return {};
    return list.entries[entry].musicBrainz ? u"MB" : u"CDDB";
}

} // namespace tonvane
