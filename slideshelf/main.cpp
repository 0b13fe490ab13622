#include <QApplication>

#include "slideshelf/ui/Main.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("QVX Intro Screens Library Editor");
    TfrmMain form;
    form.show();
    return app.exec();
}
