#include "app/window/ConversionFollower.h"

#include "controls/theme/ControlTheme.h"
#include "core/disc/ConversionJob.h"
#include "core/language/Language.h"

#include <string_view>

namespace tonvane {

namespace {

std::u16string decimal(uint64_t value)
{
    std::u16string text;
    for (char c : std::to_string(value))
        text.push_back(char16_t(c));
    return text;
}

// The session's verdict texts (see AccurateRipVerdict::text and AccurateRipRecord).
constexpr std::string_view kVerdictPending = "pending";
constexpr std::string_view kVerdictNotAccurate = "not accurate";
constexpr std::string_view kVerdictNoRecord = "not in the database";

const RowEnd kIdleRow{};

} // namespace

void ConversionFollower::begin(const ConversionJob& job)
{
    m_rows.assign(size_t(job.count > 0 ? job.count : 0), RowEnd{});
    for (int32_t i = 0; i < job.count; ++i)
        if (job.tracks[size_t(i)].selected)
            m_rows[size_t(i)].state = RowState::Waiting;
    m_outcome = SessionOutcome{};
    m_ended = false;
    if (m_changed)
        m_changed(-1);
}

void ConversionFollower::clear(int32_t count)
{
    m_rows.assign(size_t(count > 0 ? count : 0), RowEnd{});
    m_outcome = SessionOutcome{};
    m_ended = false;
    if (m_changed)
        m_changed(-1);
}

const RowEnd& ConversionFollower::row(int32_t index) const
{
    return index >= 0 && index < rowCount() ? m_rows[size_t(index)] : kIdleRow;
}

void ConversionFollower::set(int32_t index, RowEnd end)
{
    if (index < 0 || index >= rowCount())
        return; // an event about a row this disc does not have
    m_rows[size_t(index)] = std::move(end);
    if (m_changed)
        m_changed(index);
}

void ConversionFollower::onTrackStarted(int32_t index)
{
    set(index, RowEnd{RowState::Converting, 0, {}});
}

void ConversionFollower::onTrackFinished(const TrackVerdict& verdict)
{
    set(verdict.index, endOf(verdict, false));
}

void ConversionFollower::onEnded(const SessionOutcome& outcome)
{
    m_outcome = outcome;
    m_ended = true;
    // The report's verdicts are the last word (a normal rip judges only there).
    for (const TrackVerdict& verdict : outcome.tracks)
        if (verdict.index >= 0 && verdict.index < rowCount())
            m_rows[size_t(verdict.index)] = endOf(verdict, outcome.interrupted);
    // Rows the report does not name and that never ended.
    for (RowEnd& end : m_rows)
        if (end.state == RowState::Waiting || end.state == RowState::Converting)
            end = RowEnd{outcome.interrupted ? RowState::Stopped : RowState::Failed, 0,
                         outcome.interrupted ? std::u16string() : std::u16string(uiText(kTextTrackNotWritten).view())};
    if (m_changed)
        m_changed(-1);
}

RowEnd ConversionFollower::endOf(const TrackVerdict& verdict, bool interrupted)
{
    RowEnd end;
    switch (verdict.status) {
    case TrackStatus::Done:
        if (verdict.suspicious) {
            end.state = RowState::Failed;
            end.reason = fillPlaceholders(uiText(kTextUnsteadySectors).view(), {decimal(verdict.suspiciousSectors)});
        } else if (verdict.accurate) {
            end.state = RowState::Accurate;
            end.confidence = verdict.confidence;
        } else if (verdict.checked && verdict.accurateRip == kVerdictNotAccurate) {
            end.state = RowState::NotAccurate;
        } else if (verdict.accurateRip.rfind(kVerdictNoRecord, 0) == 0) {
            end.state = RowState::NotInDatabase;
        } else if (verdict.accurateRip == kVerdictPending) {
            end.state = RowState::Checking;
        } else {
            end.state = RowState::NotChecked;
        }
        break;
    case TrackStatus::Failed:
        end.state = RowState::Failed;
        end.reason = verdict.unreadable > 0
            ? fillPlaceholders(uiText(kTextUnreadableSectors).view(), {decimal(verdict.unreadable)})
            : std::u16string(uiText(kTextTrackNotWritten).view());
        break;
    case TrackStatus::Cancelled:
        end.state = RowState::Stopped;
        break;
    case TrackStatus::Pending:
    case TrackStatus::Converting:
        end.state = interrupted ? RowState::Stopped : RowState::Failed;
        if (!interrupted)
            end.reason = std::u16string(uiText(kTextTrackNotWritten).view());
        break;
    }
    return end;
}

std::u16string ConversionFollower::wordOf(const RowEnd& end)
{
    switch (end.state) {
    case RowState::Accurate:
        return fillPlaceholders(uiText(kTextAccurate).view(), {decimal(uint64_t(end.confidence > 0 ? end.confidence : 0))});
    case RowState::NotAccurate:
        return std::u16string(uiText(kTextNotAccurate).view());
    case RowState::NotInDatabase:
        return std::u16string(uiText(kTextNotInDatabase).view());
    case RowState::NotChecked:
        return std::u16string(uiText(kTextNotChecked).view());
    case RowState::Failed:
        return std::u16string(uiText(kTextFailed).view());
    case RowState::Stopped:
        return std::u16string(uiText(kTextStopped).view());
    case RowState::Idle:
    case RowState::Waiting:
    case RowState::Converting:
    case RowState::Checking:
        break;
    }
    return {};
}

RowLook ConversionFollower::lookOf(RowState state)
{
    switch (state) {
    case RowState::Accurate:
        return {palette::kVerdictGood, RowMark::Tick};
    case RowState::NotInDatabase:
    case RowState::NotChecked:
    case RowState::Stopped:
        return {palette::kVerdictNeutral, RowMark::Dash};
    case RowState::NotAccurate:
    case RowState::Failed:
        return {palette::kVerdictBad, RowMark::Cross};
    case RowState::Idle:
    case RowState::Waiting:
    case RowState::Converting:
    case RowState::Checking:
        break;
    }
    return {palette::kText, RowMark::None};
}

std::u16string ConversionFollower::summary() const
{
    if (!m_ended)
        return {};
    return fillPlaceholders(uiText(kTextRipSummary).view(), {decimal(uint64_t(m_outcome.whole)),
                                                             decimal(uint64_t(m_outcome.selected)),
                                                             decimal(uint64_t(m_outcome.accurate))});
}

} // namespace tonvane
