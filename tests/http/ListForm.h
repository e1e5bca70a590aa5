#pragma once
// The coupon list request's form with a fixed boundary, and the replies the
// scripted servers of the client tests send.
#include "http/MultiPartFormDataStream.h"

#include <string>

namespace quillory::testsupport {

inline const std::string kBoundary = "--------120109083015123";

struct TListForm : TMultiPartFormDataStream {
    TListForm() {
        SetFormBoundary(kBoundary);
        AddFormField("action", "5");
        AddFormField("end", "");
    }
};

inline std::string ListFormBody() {
    TListForm form;
    std::string body(static_cast<std::size_t>(form.Size()), '\0');
    form.Read(body.data(), form.Size());
    return body;
}

// A reply with `body` and its length after the given status line and headers.
inline std::string Reply(const std::string& statusAndHeaders, const std::string& body) {
    return statusAndHeaders + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
           body;
}

} // namespace quillory::testsupport
