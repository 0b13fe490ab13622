#include "Main.h"

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle("QVX Intro Screens Library Editor");
    resize(506, 374);
}
