#include "hueshelf/ui/Application.h"
#include "hueshelf/ui/Unit1.h"

int main(int argc, char** argv) {
    hueshelf::THueshelfApplication app(argc, argv);
    TForm1 form;
    form.show();
    return app.exec();
}
