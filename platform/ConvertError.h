#pragma once
#include <stdexcept>
#include <string>

namespace quillory {

// A text that had to be a number or a date and was not, e.g.
// "'<text>' is not a valid integer value" or "'<text>' is not a valid date".
class EConvertError : public std::runtime_error {
public:
    explicit EConvertError(const std::string& message) : std::runtime_error(message) {}
};

} // namespace quillory
