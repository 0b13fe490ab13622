// The editor on a library of 10,000 small images: File > Load against the
// library's LoadFromFile alone, a move or a delete against rebuilding the
// list alone, and undo and redo of a delete against the delete. Then the
// peak memory of deleting a large picture and undoing it, against adding
// it alone. Each measured step includes the event processing that
// follows it (layout and painting), as a user would wait for it. Figures
// are medians of the thread's CPU time over rounds that alternate the
// reference and the command.
#include <QApplication>
#include <QTemporaryDir>
#include <QUndoStack>
#include <algorithm>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "benchutil.h"
#include "hueshelf/ui/Application.h"
#include "hueshelf/ui/Dialogs.h"
#include "hueshelf/ui/Main.h"
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
    void ShowInformation(QWidget* parent, const std::string& text) override { ShowError(parent, text); }
};

struct Pair {
    double reference, measured;
};

// CPU time of the calling thread: everything here (painting included, the
// display being offscreen) runs on it, and time spent waiting for a busy
// machine does not count.
double CpuSeconds(const std::function<void()>& fn) {
    auto now = [] {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
    };
    const double t0 = now();
    fn();
    return now() - t0;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Reference and command timed in alternation, the median of each kept (a
// best-of would reward whichever side happened to meet the luckiest heap
// and cache state); `prepare` (untimed) runs before each command.
Pair Interleaved(int rounds, const std::function<void()>& reference, const std::function<void()>& measured,
                 const std::function<void()>& prepare = [] {}) {
    std::vector<double> ref, cmd;
    for (int i = 0; i < rounds; ++i) {
        ref.push_back(CpuSeconds(reference));
        prepare();
        cmd.push_back(CpuSeconds(measured));
    }
    return {Median(ref), Median(cmd)};
}

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
    // Lets the window finish what a step started (layout, then painting).
    auto settle = [] {
        for (int i = 0; i < 3; ++i) QApplication::processEvents();
    };

    qvx::TQVXHiColorImagelib reference(nullptr);
    Pair load = Interleaved(9, [&] { reference.LoadFromFile(dialogs.file); }, [&] {
        form.Load1Click();
        settle();
    });
    if (form.ListBox1->Count() != kImages || form.ListBox1->ItemIndex() != 0 || form.Image1->Picture().Empty()) {
        std::fprintf(stderr, "the Load command did not fill the list\n");
        return 2;
    }
    std::printf("library of %d images: LoadFromFile %.1f ms, Load command %.1f ms\n", kImages, load.reference * 1e3,
                load.measured * 1e3);
    bench::Report("Load command / LoadFromFile", load.measured / load.reference, 1.3);

    auto rebuild = [&] {
        form.RebuildList();
        settle();
    };
    // Rebuilding drops the selection: each command starts from the middle entry.
    auto selectMiddle = [&] {
        form.ListBox1->SetItemIndex(form.ListBox1->Count() / 2);
        settle();
    };
    Pair down = Interleaved(30, rebuild, [&] {
        form.SpeedButton2Click();
        settle();
    }, selectMiddle);
    Pair up = Interleaved(30, rebuild, [&] {
        form.SpeedButton1Click();
        settle();
    }, selectMiddle);
    Pair remove = Interleaved(30, rebuild, [&] {
        form.SpeedButton3Click();
        settle();
    }, selectMiddle);
    if (form.QVXHiColorImagelib1->Count() != kImages - 30) {
        std::fprintf(stderr, "the commands did not run\n");
        return 2;
    }
    std::printf("rebuild list %.2f ms, move down %.2f ms, move up %.2f ms, delete %.2f ms\n",
                std::min({down.reference, up.reference, remove.reference}) * 1e3, down.measured * 1e3,
                up.measured * 1e3, remove.measured * 1e3);
    bench::Report("Move down / rebuild list", down.measured / down.reference, 2.0);
    bench::Report("Move up / rebuild list", up.measured / up.reference, 2.0);
    bench::Report("Delete / rebuild list", remove.measured / remove.reference, 2.0);

    // Undo puts the deleted image back and redo takes it out again; each
    // against the delete itself.
    std::vector<double> del, undo, redo;
    for (int i = 0; i < 30; ++i) {
        selectMiddle();
        del.push_back(CpuSeconds([&] {
            form.SpeedButton3Click();
            settle();
        }));
        undo.push_back(CpuSeconds([&] {
            form.UndoStack->undo();
            settle();
        }));
        redo.push_back(CpuSeconds([&] {
            form.UndoStack->redo();
            settle();
        }));
        form.UndoStack->undo();
        settle();
    }
    std::printf("delete %.2f ms, undo %.2f ms, redo %.2f ms\n", Median(del) * 1e3, Median(undo) * 1e3,
                Median(redo) * 1e3);
    bench::Report("Undo delete / delete", Median(undo) / Median(del), 2.0);
    bench::Report("Redo delete / delete", Median(redo) / Median(del), 1.5);
    form.UndoStack->setClean();

    // A large picture deleted, undone, redone and undone again holds its
    // pixels once: the steps share them.
    const QString big = dir.path() + "/big.bmp";
    {
        QImage image(4096, 4096, QImage::Format_RGB32);
        image.fill(QColor(10, 20, 30));
        image.save(big, "BMP");
    }
    auto addBig = [&](bool undoSteps) {
        return bench::InChild([&] {
            TForm1 other;
            other.AddPictureFiles({big.toStdString()});
            if (undoSteps) {
                other.ListBox1->SetItemIndex(0);
                other.SpeedButton3Click();
                other.UndoStack->undo();
                other.UndoStack->redo();
                other.UndoStack->undo();
            }
            if (other.QVXHiColorImagelib1->Count() != 1) std::exit(3);
            other.UndoStack->setClean();
        });
    };
    const long base = bench::BaselineKiB();
    const bench::ChildResult added = addBig(false), stepped = addBig(true);
    if (!added.ok || !stepped.ok) {
        std::fprintf(stderr, "the large picture did not load\n");
        return 2;
    }
    std::printf("64 MiB picture: added %ld KiB, deleted and undone %ld KiB (baseline %ld KiB)\n",
                added.peakKiB - base, stepped.peakKiB - base, base);
    bench::Report("Peak memory, delete+undo / add", double(stepped.peakKiB - base) / double(added.peakKiB - base),
                  1.1);

    hueshelf::SetDialogs(nullptr);
    return 0;
}
