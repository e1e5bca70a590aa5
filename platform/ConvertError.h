#pragma once
#include <stdexcept>
#include <string>

namespace quillory {

// A text that had to be a number or a date and was not, e.g.
// "'<text>' is not a valid integer value" or "'<text>' is not a valid date".
// The text often comes from outside (a reply, a file): a zero byte in it is
// written as "\0", since what() would end the message there.
class EConvertError : public std::runtime_error {
public:
    explicit EConvertError(const std::string& message) : std::runtime_error(Escaped(message)) {}

private:
    static std::string Escaped(const std::string& text) {
        std::string out;
        out.reserve(text.size());
        for (char c : text) {
            if (c == '\0')
                out += "\\0";
            else
                out += c;
        }
        return out;
    }
};

} // namespace quillory
