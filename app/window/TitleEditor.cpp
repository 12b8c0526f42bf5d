#include "app/window/TitleEditor.h"

#include "core/disc/TypedFields.h"
#include "core/foundation/Utf.h"

namespace tonvane {

TitleEditor::TitleEditor(Widget& page, ConversionJob& job, Host host)
    : m_job(job), m_host(std::move(host)), m_entry(&page)
{
    TextEntry::Routines routines;
    routines.onAccept = [this] { keep(); };
    routines.onCancel = [this] { drop(); };
    routines.onTab = [this](bool backwards) { moveOn(backwards); };
    // A click elsewhere keeps what was typed, as Return would.
    routines.onFocusLost = [this] { keep(); };
    m_entry.setRoutines(routines);
    m_entry.create(0, 0, 0, 0, 0); // hidden until a title is opened
}

bool TitleEditor::open(int32_t row)
{
    if (row < 0 || row >= m_job.count)
        return false;
    if (isOpen())
        keep();
    if (m_host.bringIntoView)
        m_host.bringIntoView(row);
    IntRect room;
    if (!m_host.titleRoom || !m_host.titleRoom(row, room) || room.empty())
        return false;
    m_row = row;
    m_entry.setRect(room.x0, room.y0, room.x1 - room.x0, room.y1 - room.y0);
    m_entry.setText(m_job.tracks[size_t(row)].title.toUtf8());
    m_entry.show();
    m_entry.takeFocus();
    m_entry.selectAll();
    return true;
}

void TitleEditor::keep()
{
    if (!isOpen())
        return;
    int32_t row = m_row;
    if (row < m_job.count) {
        TrackEntry& track = m_job.tracks[size_t(row)];
        WideString typed = WideString::fromUtf8(m_entry.text());
        if (typed.view() != track.title.view()) {
            typed_fields::setTypedTitle(track, typed);
            if (m_host.titleChanged)
                m_host.titleChanged(row);
        }
    }
    close();
}

void TitleEditor::drop()
{
    close();
}

void TitleEditor::moveOn(bool backwards)
{
    int32_t row = m_row;
    keep();
    int32_t next = backwards ? row - 1 : row + 1;
    if (next >= 0 && next < m_job.count)
        open(next);
}

void TitleEditor::close()
{
    if (!isOpen())
        return;
    // Marked closed first: the focus leaving the entry below must not keep the text again.
    int32_t row = m_row;
    m_row = -1;
    if (m_host.closed)
        m_host.closed();
    m_entry.hide();
    if (m_host.titleChanged)
        m_host.titleChanged(row);
}

} // namespace tonvane
