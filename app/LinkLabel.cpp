#include "LinkLabel.h"

#include "ErrorReport.h"
#include "UUtils.h"

#include <QEvent>
#include <QMouseEvent>

namespace quillory {

namespace {

// Opens the label's address when the mouse button is released over it.
class LinkClickFilter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::MouseButtonRelease)
            return false;
        auto* me = static_cast<QMouseEvent*>(event);
        auto* label = qobject_cast<QLabel*>(watched);
        if (!label || me->button() != Qt::LeftButton ||
            !label->rect().contains(me->position().toPoint()))
            return false;
        const std::string address = TLinkLabel::Address(label).toLocal8Bit().toStdString();
        if (address.empty())
            return true;
        // The same checks as every other address handed to the browser.
        RunGuarded([&] { OpenURL(address); });
        return true;
    }
};

} // namespace

void TLinkLabel::Attach(QLabel* label) {
    label->installEventFilter(new LinkClickFilter(label));
}

QString TLinkLabel::Address(const QLabel* label) {
    return label->property("address").toString();
}

void TLinkLabel::SetAddress(QLabel* label, const QString& address) {
    label->setProperty("address", address);
}

} // namespace quillory
