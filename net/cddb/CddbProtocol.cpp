#include "net/cddb/CddbProtocol.h"

namespace tonvane {

namespace {

constexpr std::string_view kHelloPrefix = "cddb hello ";
constexpr std::string_view kAnonymousUser = "orval";
constexpr std::string_view kAnonymousHost = "hostname";
constexpr std::string_view kClientNameAndVersion = " Tonvane v0.2\r\n";
constexpr size_t kMaxHelloPart = 64; // [bytes] of user name and of host name
constexpr std::string_view kProto = "proto\r\n";
constexpr std::string_view kQuit = "quit\r\n";
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kLevelPrefix = "200 CDDB protocol level: current ";
constexpr std::string_view kSupported = ", supported ";
constexpr size_t kSupportedWithin = 10; // [characters] after the current level's first digit
constexpr size_t kMaxCategory = 79; // [characters]
constexpr size_t kDiscIdDigits = 8;
constexpr size_t kReplyCodeBytes = 4; // "200 " in front of an exact match
constexpr size_t kMaxLevelDigits = 3;

enum : int {
    kCodeOk = 200,
    kCodeOkReadOnly = 201,
    kCodeFoundExact = 200,
    kCodeEntryFollows = 210,
    kCodeInexactList = 211,
    kCodeNoMatch = 202,
    kCodeAlreadyAtLevel = 502,
};

bool isToken(std::string_view text)
{
    if (text.empty())
        return false;
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F)
            return false;
    }
    return true;
}

} // namespace

std::string cddbHelloCommand(std::string_view user)
{
    size_t at = user.find('@');
    std::string_view name = at == std::string_view::npos ? std::string_view() : user.substr(0, at);
    std::string_view host = at == std::string_view::npos ? std::string_view() : user.substr(at + 1);
    bool usable = isToken(name) && isToken(host) && name.size() <= kMaxHelloPart && host.size() <= kMaxHelloPart
                  && host.find('@') == std::string_view::npos;
    std::string command(kHelloPrefix);
    command += usable ? name : kAnonymousUser;
    command += ' ';
    command += usable ? host : kAnonymousHost;
    command += kClientNameAndVersion;
    return command;
}

int cddbReplyCode(std::string_view line)
{
    int code = 0;
    size_t digits = 0;
    while (digits < line.size() && digits < 6 && line[digits] >= '0' && line[digits] <= '9')
        code = code * 10 + (line[digits++] - '0');
    return digits == 0 ? -1 : code;
}

CddbProtocol::CddbProtocol(std::string queryCommand, std::string helloCommand)
    : m_queryCommand(std::move(queryCommand)), m_helloCommand(std::move(helloCommand))
{
}

std::string_view CddbProtocol::unfinishedReason() const
{
    if (m_failed && m_state != State::QuerySent)
        return "the server sent a reply that could not be used";
    switch (m_state) {
    case State::WaitGreeting:
    case State::HelloSent:
    case State::Protocol:
        return "the server ended the session before the query";
    case State::QuerySent:
        if (m_queryReplyCode == kCodeNoMatch)
            return {};
        return m_queryReplyCode == 0 ? "the server did not answer the query" : "the server refused the query";
    case State::MatchList:
        return "the list of matches was cut short";
    case State::Reading:
        return "the connection ended in the middle of an entry";
    case State::Finished:
        return {};
    }
    return {};
}

bool CddbProtocol::receive(const char* bytes, size_t count, Output& out)
{
    if (m_failed)
        return false;
    m_lineBuffer.append(bytes, count);
    size_t start = 0;
    for (;;) {
        size_t end = m_lineBuffer.find(kLineEnd, start);
        if (end == std::string::npos)
            break;
        if (end - start > kMaxLineBytes || !handleLine(std::string_view(m_lineBuffer).substr(start, end - start), out)) {
            m_lineBuffer.clear();
            return fail(out);
        }
        start = end + kLineEnd.size();
    }
    m_lineBuffer.erase(0, start);
    if (m_lineBuffer.size() > kMaxLineBytes) {
        m_lineBuffer.clear();
        return fail(out);
    }
    return true;
}

bool CddbProtocol::handleLine(std::string_view line, Output& out)
{
    if (m_failed)
        return false;
    int code = cddbReplyCode(line);
    switch (m_state) {
    case State::WaitGreeting:
        if (code != kCodeOk && code != kCodeOkReadOnly)
            return fail(out);
        out.send(m_helloCommand);
        m_state = State::HelloSent;
        return true;
    case State::HelloSent:
        if (code != kCodeOk)
            return fail(out);
        out.send(kProto);
        m_state = State::Protocol;
        return true;
    case State::Protocol:
        return handleProtocolReply(code, line, out);
    case State::QuerySent:
        out.event(5);
        m_queryReplyCode = code;
        m_matchIndex = 0;
        if (code == kCodeFoundExact) {
            if (line.size() <= kReplyCodeBytes || !store(line.substr(kReplyCodeBytes), true, out))
                return fail(out);
            return startReading(out);
        }
        if (code == kCodeEntryFollows || code == kCodeInexactList) {
            m_state = State::MatchList;
            return true;
        }
        return fail(out); // 202 no match, 403 database corrupt, ...
    case State::MatchList:
        if (line.starts_with('.'))
            return startReading(out);
        if (m_matches.size() >= kMaxMatches)
            return fail(out);
        return store(line, true, out) || fail(out);
    case State::Reading:
        if (m_awaitReadReply) {
            // A read answered with anything but "210 ... entry follows" has no entry and no ".".
            m_awaitReadReply = false;
            if (code != kCodeEntryFollows)
                return fail(out);
            return store(line, false, out) || fail(out);
        }
        if (line.starts_with('#'))
            return true;
        if (line.starts_with('.')) {
            ++m_matchIndex;
            return startReading(out);
        }
        return store(line, false, out) || fail(out);
    case State::Finished:
        return true;
    }
    return fail(out);
}

bool CddbProtocol::handleProtocolReply(int code, std::string_view line, Output& out)
{
    if (code == kCodeOkReadOnly || code == kCodeAlreadyAtLevel) {
        // 502: the server already speaks the level asked for; the query goes out just the same.
        if (m_protoRequested)
            m_protocolLevel = m_requestedLevel;
        m_protoRequested = false;
        out.event(4);
        out.send(m_queryCommand);
        m_state = State::QuerySent;
        return true;
    }
    if (code != kCodeOk || m_protoRequested || !line.starts_with(kLevelPrefix))
        return fail(out);

    std::string_view rest = line.substr(kLevelPrefix.size());
    size_t comma = rest.find(',');
    if (comma == std::string_view::npos || comma == 0 || comma > kSupportedWithin)
        return fail(out);
    std::string_view current = rest.substr(0, comma);
    std::string_view after = rest.substr(comma);
    if (!after.starts_with(kSupported))
        return fail(out);
    after.remove_prefix(kSupported.size());
    size_t digits = 0;
    while (digits < after.size() && after[digits] >= '0' && after[digits] <= '9')
        ++digits;
    if (digits == 0 || digits > kMaxLevelDigits)
        return fail(out);
    std::string_view supported = after.substr(0, digits);

    int currentLevel = cddbReplyCode(current);
    if (currentLevel > 0 && currentLevel <= 999)
        m_protocolLevel = currentLevel;
    m_requestedLevel = cddbReplyCode(supported);
    m_protoRequested = true;
    std::string command = "proto ";
    command += supported;
    command += kLineEnd;
    out.send(command);
    return true;
}

bool CddbProtocol::startReading(Output& out)
{
    if (m_matchIndex >= m_matches.size()) {
        m_state = State::Finished;
        out.event(6);
        out.send(kQuit);
        return true;
    }
    const std::string& matchLine = m_matches[m_matchIndex].lines.front();
    size_t space = matchLine.find(' ');
    if (space == std::string::npos || space > kMaxCategory || matchLine.size() < space + 1 + kDiscIdDigits)
        return fail(out);
    std::string_view category = std::string_view(matchLine).substr(0, space);
    std::string_view discId = std::string_view(matchLine).substr(space + 1, kDiscIdDigits);
    if (!isToken(category) || !isToken(discId))
        return fail(out);

    m_state = State::Reading;
    m_awaitReadReply = true;
    std::string command = "cddb read ";
    command += category;
    command += ' ';
    command += discId;
    command += kLineEnd;
    out.send(command);
    return true;
}

bool CddbProtocol::store(std::string_view line, bool newMatch, Output& out)
{
    if (m_storedBytes + line.size() > kMaxEntryTextBytes)
        return false;
    if (newMatch) {
        m_matches.emplace_back();
    } else if (m_matchIndex >= m_matches.size()) {
        return false;
    }
    CddbMatch& match = newMatch ? m_matches.back() : m_matches[m_matchIndex];
    match.lines.emplace_back(line);
    m_storedBytes += line.size();
    out.storedLine(line);
    return true;
}

bool CddbProtocol::fail(Output& out)
{
    if (!m_failed) {
        m_failed = true;
        out.send(kQuit);
    }
    return false;
}

} // namespace tonvane
