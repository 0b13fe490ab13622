// Drives the real editor window offscreen: the dialog seam answers from a
// script, pictures are made on the fly in a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <QToolButton>
#include <QAction>
#include <QColor>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>
#include <QImage>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hueshelf/ui/Application.h"
#include "hueshelf/ui/Dialogs.h"
#include "hueshelf/ui/Main.h"

class ScriptedDialogs : public hueshelf::TDialogs {
public:
    std::deque<std::optional<std::string>> fileAnswers;  // nullopt: the user cancels
    std::deque<hueshelf::TMsgButton> questionAnswers;
    std::vector<hueshelf::TFileDialog> fileDialogs;      // as each was shown
    std::vector<std::string> questions;                  // "title|text"
    std::vector<std::string> errors;
    std::vector<std::string> notes;                      // information boxes

    std::optional<std::string> RunFileDialog(QWidget*, const hueshelf::TFileDialog& dialog) override {
        fileDialogs.push_back(dialog);
        if (fileAnswers.empty()) {
            ADD_FAILURE() << "unexpected file dialog (" << dialog.Filter << ")";
            return std::nullopt;
        }
        auto answer = fileAnswers.front();
        fileAnswers.pop_front();
        return answer;
    }
    hueshelf::TMsgButton AskYesNo(QWidget*, const std::string& title, const std::string& text) override {
        questions.push_back(title + "|" + text);
        if (questionAnswers.empty()) {
            ADD_FAILURE() << "unexpected question: " << text;
            return hueshelf::TMsgButton::No;
        }
        auto answer = questionAnswers.front();
        questionAnswers.pop_front();
        return answer;
    }
    void ShowError(QWidget*, const std::string& text) override { errors.push_back(text); }
    void ShowInformation(QWidget*, const std::string& text) override { notes.push_back(text); }
};

class HueshelfTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "hueshelf_tests";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) new hueshelf::THueshelfApplication(argc, argv);
    }

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        // Recent files go to the test's own folder, not the user's settings.
        tk::TRecentFiles::SetStorageFile(QString::fromStdString(Path("recent.ini")));
        hueshelf::SetDialogs(&dialogs);
        form = std::make_unique<TForm1>();
        form->show();
        QApplication::processEvents();
    }

    void TearDown() override {
        form.reset();
        hueshelf::SetDialogs(nullptr);
        tk::TRecentFiles::SetStorageFile(QString());
        EXPECT_TRUE(dialogs.fileAnswers.empty()) << "file dialog answers left over";
        EXPECT_TRUE(dialogs.questionAnswers.empty()) << "question answers left over";
    }

    std::string Path(const std::string& name) const { return QDir(dir.path()).filePath(QString::fromStdString(name)).toStdString(); }

    // A one-colour picture file; the size tells pictures apart.
    std::string MakePicture(const std::string& name, int width, int height, QColor colour) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(colour);
        const std::string path = Path(name);
        const QString ext = QString::fromStdString(name).section('.', -1).toLower();
        const char* format = ext == "bmp" ? "BMP" : ext == "png" ? "PNG" : "JPG";
        EXPECT_TRUE(image.save(QString::fromStdString(path), format, 95)) << path;
        return path;
    }

    // Picture commands, answered by the script.
    void AddPicture(const std::string& path) {
        dialogs.fileAnswers.push_back(path);
        QTest::mouseClick(form->SpeedButton7, Qt::LeftButton);
    }
    void LoadLibrary(const std::string& path) {
        dialogs.fileAnswers.push_back(path);
        form->Load1->trigger();
    }
    void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    // Selects a list entry as the user does, with the mouse.
    void ClickEntry(int row) {
        ASSERT_LT(row, form->ListBox1->Count());
        form->ListBox1->ScrollTo(row);
        QTest::mouseClick(form->ListBox1->viewport(), Qt::LeftButton, {}, form->ListBox1->ItemRect(row).center());
    }
    void TypeName(const std::string& text) {
        form->Edit1->setFocus();
        form->Edit1->selectAll();
        QTest::keyClick(form->Edit1, Qt::Key_Backspace);
        QTest::keyClicks(form->Edit1, QString::fromStdString(text));
    }

    static QByteArray ReadAll(const std::string& path) {
        QFile f(QString::fromStdString(path));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Files dragged from a file manager and dropped on the window.
    void Drop(const std::vector<std::string>& files) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const std::string& f : files) urls << QUrl::fromLocalFile(QString::fromStdString(f));
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form.get(), &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(300, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form.get(), &drop);
    }

    std::vector<std::string> ListNames() const {
        std::vector<std::string> names;
        for (const QString& name : form->ListBox1->Items()) names.push_back(name.toStdString());
        return names;
    }
    std::vector<std::string> LibraryNames() const {
        std::vector<std::string> names;
        for (int i = 0; i < form->QVXHiColorImagelib1->Count(); ++i)
            names.push_back(form->QVXHiColorImagelib1->Images()->Items(i)->Name());
        return names;
    }
    // Widths of the library's pictures, in order (tests give each picture its own width).
    std::vector<int> LibraryWidths() const {
        std::vector<int> widths;
        for (int i = 0; i < form->QVXHiColorImagelib1->Count(); ++i)
            widths.push_back(form->QVXHiColorImagelib1->Images()->Items(i)->Image().Width());
        return widths;
    }
    int ShownWidth() const { return form->Image1->Picture().Width(); }
    std::string EditText() const { return form->Edit1->text().toStdString(); }
    int Selected() const { return form->ListBox1->ItemIndex(); }

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    std::unique_ptr<TForm1> form;
};

using Names = std::vector<std::string>;
using Widths = std::vector<int>;
