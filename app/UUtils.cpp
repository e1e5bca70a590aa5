#include "UUtils.h"

#include "platform/Shell.h"

namespace quillory {

void SplitText(char delimiter, const std::string& text, TStringList& list) {
    list.clear();
    std::string piece;
    for (char c : text) {
        if (c == delimiter) {
            list.push_back(piece);
            piece.clear();
        } else {
            piece += c;
        }
    }
    if (!piece.empty())
        list.push_back(piece);
}

int OpenURL(const std::string& url) {
    const std::string browser = FindDefaultBrowserCommand();
    if (browser.empty())
        return 0;
    // A browser that fails to start is not reported: the caller only needs to
    // know whether a browser was there to ask.
    StartProgram(browser, url);
    return 1;
}

} // namespace quillory
