// The editor on a library of 10,000 small images: File > Load against the
// library's LoadFromFile alone, and a move or a delete against rebuilding
// the list alone. Each measured step includes the event processing that
// follows it (layout and painting), as a user would wait for it.
#include <QApplication>
#include <QTemporaryDir>
#include <optional>
#include <string>

#include "benchutil.h"
#include "hueshelf/ui/Application.h"
#include "hueshelf/ui/Dialogs.h"
#include "hueshelf/ui/Unit1.h"
#include "toolkit/sysutils.h"

namespace {

constexpr int kImages = 10000;

class FixedAnswer : public hueshelf::TDialogs {
public:
    std::string file;
    std::optional<std::string> RunFileDialog(QWidget*, const hueshelf::TFileDialog&) override { return file; }
    hueshelf::TMsgButton AskYesNo(QWidget*, const std::string&, const std::string&) override {
        return hueshelf::TMsgButton::No;
    }
    void ShowError(QWidget*, const std::string& text) override {
        std::fprintf(stderr, "error: %s\n", text.c_str());
        std::exit(2);
    }
};

std::string MakeLibrary(const QString& folder) {
    qvx::TQVXHiColorImagelib lib(nullptr);
    lib.SetName("QVXHiColorImagelib1");
    for (int i = 0; i < kImages; ++i) {
        QImage image(8, 8, QImage::Format_RGB888);
        image.fill(QColor::fromHsv(i % 360, 200, 200));
        qvx::TQVXImageItem* item = lib.Images()->Add();
        item->Image().Bitmap().SetImage(image);
        item->SetName(tk::Format("Image%d", i + 1));
    }
    const std::string path = (folder + "/big.HCL").toStdString();
    lib.SaveToFile(path);
    return path;
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    hueshelf::THueshelfApplication app(argc, argv);
    QTemporaryDir dir;
    FixedAnswer dialogs;
    dialogs.file = MakeLibrary(dir.path());
    hueshelf::SetDialogs(&dialogs);

    TForm1 form;
    form.show();
    QApplication::processEvents();
    auto settle = [] { QApplication::processEvents(); };

    qvx::TQVXHiColorImagelib reference(nullptr);
    const double loadAlone = bench::Best(5, [&] { reference.LoadFromFile(dialogs.file); });
    const double loadCommand = bench::Best(5, [&] {
        form.Load1Click();
        settle();
    });
    std::printf("library of %d images: LoadFromFile %.1f ms, Load command %.1f ms\n", kImages, loadAlone * 1e3,
                loadCommand * 1e3);
    bench::Report("Load command / LoadFromFile", loadCommand / loadAlone, 1.3);

    const double rebuild = bench::Best(20, [&] {
        form.RebuildList();
        settle();
    });
    form.RebuildList();
    form.ListBox1->SetItemIndex(kImages / 2);
    const double moveDown = bench::Best(20, [&] {
        form.SpeedButton2Click();
        settle();
    });
    const double moveUp = bench::Best(20, [&] {
        form.SpeedButton1Click();
        settle();
    });
    form.ListBox1->SetItemIndex(kImages / 2);
    const double remove = bench::Best(20, [&] {
        form.SpeedButton3Click();  // then the last entry is selected: the next run deletes it
        settle();
    });
    std::printf("rebuild list %.2f ms, move down %.2f ms, move up %.2f ms, delete %.2f ms\n", rebuild * 1e3,
                moveDown * 1e3, moveUp * 1e3, remove * 1e3);
    bench::Report("Move down / rebuild list", moveDown / rebuild, 2.0);
    bench::Report("Move up / rebuild list", moveUp / rebuild, 2.0);
    bench::Report("Delete / rebuild list", remove / rebuild, 2.0);

    form.Modified = false;
    hueshelf::SetDialogs(nullptr);
    return 0;
}
