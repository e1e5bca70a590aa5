#pragma once
// A scripted update folder on loopback: answers each GET by its path from a
// table (404 for the rest), and can play a server that never answers or one
// that streams a descriptor far larger than any limit.
#include "tests/support/LoopbackServer.h"

#include <atomic>
#include <map>
#include <string>
#include <vector>

namespace quillory::testsupport {

// A whole HTTP/1.1 reply with a body, closing the connection.
std::string HttpReply(const std::string& status, const std::string& body);

class TUpdateFolderServer {
public:
    // What the server does with a request for one path.
    struct TAnswer {
        enum TKind {
            Bytes,   // send Raw and close
            Silent,  // send nothing; wait (up to SilentLimitMs) for the client to close
            Endless, // a 200 head, then body bytes until the client hangs up
        } Kind = Bytes;
        std::string Raw;
        bool StateLength = true; // Endless: a Content-Length of 100 MiB, or none at all
    };
    static TAnswer Reply(const std::string& status, const std::string& body) {
        return {TAnswer::Bytes, HttpReply(status, body), true};
    }
    static TAnswer Silent() { return {TAnswer::Silent, {}, true}; }
    static TAnswer Endless(bool stateLength) { return {TAnswer::Endless, {}, stateLength}; }

    explicit TUpdateFolderServer(std::map<std::string, TAnswer> answers);

    // "http://127.0.0.1:<port>/updates/", the folder the answers' paths are under.
    std::string Folder() const { return FServer.Url("/updates/"); }
    const TLoopbackServer& Server() const { return FServer; }

    // The request lines received so far, in order ("GET /updates/x HTTP/1.1").
    std::vector<std::string> Lines() const;
    // Silent answers the client gave up on (closed) before the server did.
    int ClientClosedSilent() const { return FClientClosedSilent; }
    // Endless answers: the body bytes sent before the client hung up.
    std::size_t EndlessBytesSent() const { return FEndlessSent; }
    // Requests waiting right now for a Silent answer.
    int SilentWaiting() const { return FSilentWaiting; }

    // How long a Silent answer waits for the client before giving up itself.
    static constexpr int SilentLimitMs = 20000;
    // What an Endless answer sends at most.
    static constexpr std::size_t EndlessLimit = 100u * 1024 * 1024;

private:
    void Handle(TServerConnection& c);

    std::map<std::string, TAnswer> FAnswers;
    std::atomic<int> FClientClosedSilent = 0, FSilentWaiting = 0;
    std::atomic<std::size_t> FEndlessSent = 0;
    TLoopbackServer FServer; // last: stops before the state above goes
};

} // namespace quillory::testsupport
