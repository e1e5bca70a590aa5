// Quillory: the coupon manager's program entry.
#include "Application.h"
#include "FMain.h"

int main(int argc, char** argv) {
    quillory::TApplication app(argc, argv);
    quillory::TfrmMain window;
    window.show();
    return app.exec();
}
