#include "Unit1.h"

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle("QVX HI-COLOR IMAGE LIBRARY EDITOR");
    resize(696, 480);
}
