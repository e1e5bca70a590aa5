#pragma once
// The HTML form a seller pastes into an order page so that customers can
// redeem a code: a text box "coupcode", the hidden "action" 7 and a submit
// button "send", posted to the site address + "/" + the script name.
#include <string>

namespace quillory {

// `text` with "&", "<", ">" and the double quote written as HTML entities.
std::string HTMLEscape(const std::string& text);

// The form as one line. The address attribute never carries the user part
// of the site address (a user name and password stay with the seller) and
// is HTML-escaped, so no address can end the attribute early.
std::string BuildRedemptionForm(const std::string& webServer, const std::string& scriptName);

} // namespace quillory
