#pragma once
// The text a program message dialog shows, its labels' captions in order.
#include "ui/SkinMessage.h"

#include <QString>
#include <QWidget>

namespace quillory::test {

inline QString MessageText(QWidget* dialog) {
    QString text;
    for (auto* label : dialog->findChildren<TSkinStdLabel*>())
        text += label->Caption();
    return text;
}

} // namespace quillory::test
