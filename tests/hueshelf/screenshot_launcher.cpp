// Starts the editor for screenshots: each .HCL/.QVX argument is opened
// through File > Load and every other file added through Bitmap > Load, the
// dialogs answered from the command line; `--save-as PATH` then runs
// File > Save As, and `--quit` ends the program once the steps are done.
#include <QTemporaryDir>
#include <cstdio>
#include <optional>
#include <string>

#include "hueshelf/ui/Application.h"
#include "hueshelf/ui/Dialogs.h"
#include "hueshelf/ui/Main.h"
#include "toolkit/recentfiles.h"

namespace {

// Answers the next file dialog with a prepared name; anything else goes to
// the real dialogs.
class PreparedDialogs : public hueshelf::TDialogs {
public:
    std::optional<std::string> next;
    std::optional<std::string> RunFileDialog(QWidget* parent, const hueshelf::TFileDialog& dialog) override {
        if (!next) return real_.RunFileDialog(parent, dialog);
        auto answer = next;
        next.reset();
        return answer;
    }
    hueshelf::TMsgButton AskYesNo(QWidget* parent, const std::string& title, const std::string& text) override {
        return real_.AskYesNo(parent, title, text);
    }
    void ShowError(QWidget*, const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    void ShowInformation(QWidget* parent, const std::string& text) override { ShowError(parent, text); }

private:
    hueshelf::TDialogs& real_ = hueshelf::Dialogs();
};

bool IsLibrary(const std::string& name) {
    auto dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    std::string ext = name.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ext == "HCL" || ext == "QVX";
}

}  // namespace

int main(int argc, char** argv) {
    hueshelf::THueshelfApplication app(argc, argv);
    // Screenshots leave the user's recent files alone.
    QTemporaryDir settings;
    tk::TRecentFiles::SetStorageFile(settings.filePath("recent.ini"));
    PreparedDialogs dialogs;
    hueshelf::SetDialogs(&dialogs);
    TForm1 form;
    form.show();
    bool quit = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--quit") {
            quit = true;
        } else if (arg == "--save-as" && i + 1 < argc) {
            dialogs.next = argv[++i];
            form.SaveAs1->trigger();
        } else if (IsLibrary(arg)) {
            dialogs.next = arg;
            form.Load1->trigger();
        } else {
            dialogs.next = arg;
            form.Load2->trigger();
        }
    }
    if (quit) return 0;  // the window goes without a close question
    return app.exec();
}
