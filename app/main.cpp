// Quillory: the coupon manager's program entry.
#include "Application.h"
#include "FMain.h"
#include "platform/FormatSettings.h"
#include "ui/SkinDateEdit.h"

int main(int argc, char** argv) {
    quillory::TApplication app(argc, argv);
    // The user's date and number formats, read once for every field.
    quillory::SetDefaultFormatSettings(quillory::TFormatSettings::FromSystem());
    quillory::TfrmMain window;
    window.show();
    return app.exec();
}
