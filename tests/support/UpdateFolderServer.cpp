#include "tests/support/UpdateFolderServer.h"

namespace quillory::testsupport {

std::string HttpReply(const std::string& status, const std::string& body) {
    return "HTTP/1.1 " + status +
           "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

TUpdateFolderServer::TUpdateFolderServer(std::map<std::string, TAnswer> answers)
    : FAnswers(std::move(answers)), FServer([this](TServerConnection& c) { Handle(c); }) {}

void TUpdateFolderServer::Handle(TServerConnection& c) {
    const std::string request = c.ReadRequest();
    const std::string line = request.substr(0, request.find("\r\n"));
    // "GET /updates/<name> HTTP/1.1"
    const std::string prefix = "GET /updates/";
    std::string name;
    if (line.rfind(prefix, 0) == 0)
        name = line.substr(prefix.size(), line.find(' ', prefix.size()) - prefix.size());
    const auto found = FAnswers.find(name);
    if (found == FAnswers.end()) {
        c.Send(HttpReply("404 Not Found", "not here"));
        c.Close();
        return;
    }
    const TAnswer& answer = found->second;
    switch (answer.Kind) {
    case TAnswer::Bytes:
        c.Send(answer.Raw);
        break;
    case TAnswer::Silent: {
        ++FSilentWaiting;
        const bool closed = c.WaitForClose(SilentLimitMs);
        --FSilentWaiting;
        FClientClosedSilent += closed ? 1 : 0;
        break;
    }
    case TAnswer::Endless: {
        std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n";
        if (answer.StateLength)
            head += "Content-Length: " + std::to_string(EndlessLimit) + "\r\n";
        head += "Connection: close\r\n\r\n";
        if (!c.Send(head))
            break;
        const std::string block(64 * 1024, 'x');
        std::size_t sent = 0;
        while (sent < EndlessLimit && c.Send(block))
            sent += block.size();
        FEndlessSent += sent;
        break;
    }
    }
    c.Close();
}

std::vector<std::string> TUpdateFolderServer::Lines() const {
    std::vector<std::string> lines;
    for (const std::string& request : FServer.AllReceived())
        lines.push_back(request.substr(0, request.find("\r\n")));
    return lines;
}

} // namespace quillory::testsupport
