#pragma once
// Answers of the MusicBrainz web service and the Cover Art Archive for the window tests, served
// by FakeHttpServer: releases written as the web service answers a disc id lookup with artist
// credits, recordings and ISRCs.
#include "FakeHttpServer.h"

#include <map>
#include <string>
#include <vector>

namespace tonvane::test {

struct FakeRelease {
    std::string id; // MBID
    std::string title;
    std::string artist;
    std::string date;
    std::string country;
    std::string format = "CD";
    int32_t discNumber = 1;
    int32_t discCount = 1;
    std::vector<std::string> tracks; // titles of the medium holding the disc
};

inline std::string jsonText(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

// The reply to /ws/2/discid/<discId>: every release with the disc on medium discNumber.
inline std::string discIdReply(const std::string& discId, const std::vector<FakeRelease>& releases)
{
    std::string json = "{\"id\":" + jsonText(discId) + ",\"releases\":[";
    for (size_t r = 0; r < releases.size(); ++r) {
        const FakeRelease& release = releases[r];
        std::string artistId = "10000001-0001-4001-8001-" + std::string(12 - std::to_string(r).size(), '0') + std::to_string(r);
        std::string credit = "[{\"name\":" + jsonText(release.artist) + ",\"joinphrase\":\"\",\"artist\":{\"id\":\"" +
                             artistId + "\",\"name\":" + jsonText(release.artist) + "}}]";
        json += std::string(r ? "," : "") + "{\"id\":\"" + release.id + "\",\"title\":" + jsonText(release.title) +
                ",\"date\":" + jsonText(release.date) + ",\"country\":" +
                (release.country.empty() ? std::string("null") : jsonText(release.country)) +
                ",\"artist-credit\":" + credit + ",\"media\":[";
        for (int32_t m = 1; m <= release.discCount; ++m) {
            bool ours = m == release.discNumber;
            json += std::string(m > 1 ? "," : "") + "{\"position\":" + std::to_string(m) + ",\"format\":" +
                    jsonText(release.format) + ",\"track-count\":" +
                    std::to_string(ours ? release.tracks.size() : 1) + ",\"discs\":[" +
                    (ours ? "{\"id\":" + jsonText(discId) + "}" : std::string()) + "],\"tracks\":[";
            for (size_t t = 0; ours && t < release.tracks.size(); ++t) {
                std::string n = std::to_string(r * 100 + t + 1);
                std::string pad(12 - n.size(), '0');
                json += std::string(t ? "," : "") + "{\"id\":\"20000001-0001-4020-8001-" + pad + n +
                        "\",\"position\":" + std::to_string(t + 1) + ",\"title\":" + jsonText(release.tracks[t]) +
                        ",\"artist-credit\":" + credit + ",\"recording\":{\"id\":\"21000001-0001-4021-8001-" + pad +
                        n + "\",\"title\":" + jsonText(release.tracks[t]) + ",\"isrcs\":[\"GBAAA" +
                        std::string(7 - n.size(), '0') + n + "\"]}}";
            }
            json += "]}";
        }
        json += "]}";
    }
    return json + "]}";
}

// The web service's answer to that lookup and the archive's front cover of one release, for
// FakeHttpServer.
inline std::map<std::string, FakeHttpServer::Reply> musicBrainzReplies(const std::string& discId,
                                                                       const std::vector<FakeRelease>& releases,
                                                                       const std::string& coverRelease,
                                                                       const std::string& jpeg)
{
    std::map<std::string, FakeHttpServer::Reply> replies{
        {"/ws/2/discid/" + discId + "?inc=artist-credits+recordings+isrcs&fmt=json",
         {discIdReply(discId, releases), "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"}}};
    if (!coverRelease.empty())
        replies["/release/" + coverRelease + "/front-500"] = {jpeg, "HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\n"};
    return replies;
}

} // namespace tonvane::test
