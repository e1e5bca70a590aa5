#pragma once
#include <QLabel>

namespace quillory {

// A label that opens its address in the web browser when clicked. The
// address is the dynamic property "address" (set in the window design).
class TLinkLabel {
public:
    // Makes `label` open its address on a left click.
    static void Attach(QLabel* label);
    static QString Address(const QLabel* label);
    static void SetAddress(QLabel* label, const QString& address);
};

} // namespace quillory
