#pragma once
// The update server of the tests: files by path over the local server, and the Ed25519 key
// pair that signs them in place of the product's key.
#include "LocalServer.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <sodium.h>
#include <string>

namespace tonvane::test {

// Every request's path looks up its body; 404 for the rest. The body of the path `stalling`
// stops after its first quarter, and the server then waits for the client to go.
inline LocalServer::Script updateServer(std::map<std::string, std::string> files, std::string stalling = {})
{
    return [files = std::move(files), stalling](ServerPeer& peer) {
        std::optional<std::string> head = peer.readRequestHead();
        if (!head)
            return;
        size_t start = head->find(' ') + 1;
        std::string path = head->substr(start, head->find(' ', start) - start);
        auto found = files.find(path);
        std::string body = found != files.end() ? found->second : "no such file";
        std::string status = found != files.end() ? "200 OK" : "404 Not Found";
        std::string reply = "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
        bool stall = path == stalling;
        peer.send(reply + (stall ? body.substr(0, body.size() / 4) : body));
        peer.waitForClientClose(stall ? 60000 : 2000);
    };
}

struct KeyPair {
    std::array<uint8_t, crypto_sign_PUBLICKEYBYTES> publicKey{};
    std::array<uint8_t, crypto_sign_SECRETKEYBYTES> secretKey{};
    KeyPair()
    {
        EXPECT_GE(sodium_init(), 0);
        crypto_sign_keypair(publicKey.data(), secretKey.data());
    }
    std::string sign(const std::string& bytes) const
    {
        std::string signature(crypto_sign_BYTES, '\0');
        crypto_sign_detached(reinterpret_cast<unsigned char*>(signature.data()), nullptr,
                             reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), secretKey.data());
        return signature;
    }
    // A file and its signature, as the server publishes them.
    std::map<std::string, std::string> signedFile(const std::string& path, const std::string& body) const
    {
        return {{path, body}, {path + ".sig", sign(body)}};
    }
};

} // namespace tonvane::test
