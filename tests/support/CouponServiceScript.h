#pragma once
// A scripted coupon service on loopback for tests: every request is read,
// recorded with its form fields, and answered with the body a test function
// chooses from the request (usually by its action).
#include "tests/support/LoopbackServer.h"

#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace quillory::testsupport {

// One request as the service received it.
struct TCouponRequest {
    std::string Raw;
    std::vector<std::pair<std::string, std::string>> Fields; // in order
    std::string Field(const std::string& name) const {
        for (const auto& [n, v] : Fields)
            if (n == name)
                return v;
        return "<none>";
    }
    std::string Action() const { return Field("action"); }
};

// The fields of a multipart form body, in order.
inline std::vector<std::pair<std::string, std::string>> MultipartFields(const std::string& raw) {
    std::vector<std::pair<std::string, std::string>> out;
    const auto type = raw.find("boundary=");
    if (type == std::string::npos)
        return out;
    const std::string boundary = "--" + raw.substr(type + 9, raw.find("\r\n", type) - (type + 9));
    std::size_t at = raw.find("\r\n\r\n");
    for (;;) {
        at = raw.find(boundary, at);
        if (at == std::string::npos)
            break;
        const auto nameAt = raw.find("name=\"", at);
        if (nameAt == std::string::npos)
            break;
        const auto nameEnd = raw.find('"', nameAt + 6);
        const auto valueAt = raw.find("\r\n\r\n", nameEnd) + 4;
        const auto valueEnd = raw.find("\r\n" + boundary, valueAt);
        if (valueEnd == std::string::npos)
            break;
        out.emplace_back(raw.substr(nameAt + 6, nameEnd - nameAt - 6),
                         raw.substr(valueAt, valueEnd - valueAt));
        at = valueEnd + 2;
    }
    return out;
}

inline std::string PlainReply(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

class TCouponServiceScript {
public:
    // `answer` gets each request and returns the reply body, or a whole
    // reply starting with its status line.
    using TAnswer = std::function<std::string(const TCouponRequest&)>;

    explicit TCouponServiceScript(TAnswer answer)
        : FAnswer(std::move(answer)), FServer([this](TServerConnection& c) {
              TCouponRequest request;
              request.Raw = c.ReadRequest();
              request.Fields = MultipartFields(request.Raw);
              std::string body;
              {
                  std::lock_guard<std::mutex> lock(FLock);
                  FRequests.push_back(request);
                  body = FAnswer(request);
              }
              // An answer that is a whole reply (status line and all) goes
              // out as it stands; anything else is a plain 200 body.
              c.Send(body.rfind("HTTP/1.", 0) == 0 ? body : PlainReply(body));
              c.Close();
          }) {}

    std::string SiteURL() const { return FServer.Url(""); }

    std::vector<TCouponRequest> Requests() const {
        std::lock_guard<std::mutex> lock(FLock);
        return FRequests;
    }
    std::vector<std::string> Actions() const {
        std::vector<std::string> out;
        for (const auto& r : Requests())
            out.push_back(r.Action());
        return out;
    }
    void ClearRequests() {
        std::lock_guard<std::mutex> lock(FLock);
        FRequests.clear();
    }

private:
    TAnswer FAnswer;
    mutable std::mutex FLock;
    std::vector<TCouponRequest> FRequests;
    TLoopbackServer FServer;
};

// A list reply as the server writes it.
inline std::string ListReplyOf(const std::vector<std::vector<std::string>>& records) {
    std::string out;
    for (const auto& r : records) {
        out += '"';
        for (std::size_t i = 0; i < r.size(); ++i)
            out += (i ? "\",\"" : "") + r[i];
        out += "\"^";
    }
    return out + "OK";
}

// A list reply of `count` coupons shaped like a real shop's (names with
// commas, two-line comments, order pages with query strings), about 170 bytes
// a coupon.
inline std::string SyntheticCouponList(int count) {
    std::string out;
    out.reserve(static_cast<std::size_t>(count) * 180 + 2);
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        char code[16];
        std::snprintf(code, sizeof code, "C%07d", i);
        out += "\"" + n + "\",\"" + code + "\",\"Coupon number " + n + ", spring sale\",\"" +
               (i % 7 == 0 ? "1" : "0") + "\",\"" + std::to_string(1 + i % 3) + "\",\"" +
               std::to_string(i % 90) + "\",\"2030-" + std::to_string(1 + i % 12) + "-" +
               std::to_string(1 + i % 28) + "\",\"http://shop.example/order.php?item=" + n +
               "\",\"Comment for coupon " + n + "\r\nsecond line\",\"2026-12-9\"^";
    }
    return out + "OK";
}

} // namespace quillory::testsupport
