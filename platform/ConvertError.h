#pragma once
#include <stdexcept>
#include <string>

namespace quillory {

// `text` with every zero byte written as "\0": what() of an exception ends
// at the first zero byte, and messages often quote text from outside.
inline std::string MessageText(const std::string& text) {
    if (text.find('\0') == std::string::npos)
        return text;
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        if (c == '\0')
            out += "\\0";
        else
            out += c;
    }
    return out;
}

// A text that had to be a number or a date and was not, e.g.
// "'<text>' is not a valid integer value" or "'<text>' is not a valid date".
// The text often comes from outside (a reply, a file): a zero byte in it is
// written as "\0", since what() would end the message there.
class EConvertError : public std::runtime_error {
public:
    explicit EConvertError(const std::string& message) : std::runtime_error(MessageText(message)) {}
};

} // namespace quillory
