#include "harness.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QToolButton>
#include <QUrl>
#include <random>

#include "slideshelf/ui/Controls.h"
#include "toolkit/recentfiles.h"
#include "toolkit/streams.h"

namespace sstest {

using slideshelf::TFileDialogOptions;

template <class T>
static std::optional<T> Pop(std::deque<T>& q, const char* what) {
    if (q.empty()) {
        ADD_FAILURE() << "unexpected " << what;
        return std::nullopt;
    }
    T v = std::move(q.front());
    q.pop_front();
    return v;
}

QString TScriptedDialogs::OpenFile(QWidget*, const TFileDialogOptions& options) {
    FileDialogs.push_back(options);
    return Pop(OpenAnswers, "open dialog").value_or(QString());
}

QStringList TScriptedDialogs::OpenFiles(QWidget*, const TFileDialogOptions& options) {
    FileDialogs.push_back(options);
    return Pop(OpenManyAnswers, "multiple open dialog").value_or(QStringList());
}

QString TScriptedDialogs::SaveFile(QWidget*, const TFileDialogOptions& options) {
    FileDialogs.push_back(options);
    return Pop(SaveAnswers, "save dialog").value_or(QString());
}

QString TScriptedDialogs::SaveFile(QWidget* parent, const TFileDialogOptions& options, QString& filter) {
    filter.clear();
    if (!SaveFilterAnswers.empty()) {
        filter = SaveFilterAnswers.front();
        SaveFilterAnswers.pop_front();
    }
    return SaveFile(parent, options);
}

void TScriptedDialogs::ShowError(QWidget*, const QString& caption, const QString& text) {
    Errors.emplace_back(caption, text);
}

bool TScriptedDialogs::Confirm(QWidget*, const QString&, const QString& text) {
    Questions.push_back(text);
    return Pop(ConfirmAnswers, "question").value_or(false);
}

bool TScriptedDialogs::AskYesNo(QWidget*, const QString& caption, const QString& text) {
    Questions.push_back(caption + "|" + text);
    return Pop(ConfirmAnswers, "question").value_or(false);
}

void TScriptedDialogs::ShowInformation(QWidget*, const QString& caption, const QString& text) {
    Notes.emplace_back(caption, text);
}

std::optional<QColor> TScriptedDialogs::ChooseColor(QWidget*, const QColor& initial) {
    ColorInitials.push_back(initial);
    return Pop(ColorAnswers, "colour dialog").value_or(std::nullopt);
}

int TScriptedDialogs::Execute(QDialog& dialog) {
    ExecutedTitles.push_back(dialog.windowTitle());
    auto answer = Pop(ExecuteAnswers, "modal window");
    if (!answer) return QDialog::Rejected;
    dialog.show();
    QApplication::processEvents();
    const int result = (*answer)(dialog);
    dialog.hide();
    return result;
}

testbmp::BmpSpec Bitmap(int width, int height, std::vector<testbmp::Rgb> table, std::vector<uint8_t> pixels,
                        bool topDown) {
    testbmp::BmpSpec s;
    s.width = width;
    s.height = height;
    s.table = std::move(table);
    s.pixels = std::move(pixels);
    s.topDown = topDown;
    return s;
}

testbmp::BmpSpec RandomBitmap(int width, int height, int colours, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<testbmp::Rgb> table(static_cast<size_t>(colours));
    for (auto& c : table)
        c = {static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng())};
    std::vector<uint8_t> px(static_cast<size_t>(width * height));
    for (auto& p : px) p = static_cast<uint8_t>(rng() % static_cast<unsigned>(colours));
    return Bitmap(width, height, std::move(table), std::move(px));
}

TEditor::TEditor() {
    // Recent files go to the test's own folder, not the user's settings.
    tk::TRecentFiles::SetStorageFile(Path(QStringLiteral("recent.ini")));
    program_ = slideshelf::StartProgram(Dialogs);
    Main().show();
    QApplication::setActiveWindow(&Main());
    QApplication::processEvents();
}

TEditor::~TEditor() {
    program_.reset();
    QApplication::processEvents();
    tk::TRecentFiles::SetStorageFile(QString());
}

QString TEditor::Path(const QString& name) const { return dir_.filePath(name); }

QString TEditor::WriteBytes(const QString& name, const std::vector<uint8_t>& bytes) {
    QFile f(Path(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    return Path(name);
}

QString TEditor::WriteBitmap(const QString& name, const testbmp::BmpSpec& bitmap) {
    return WriteBytes(name, testbmp::MakeBmp(bitmap));
}

std::vector<uint8_t> TEditor::ReadBytes(const QString& path) const {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray b = f.readAll();
    return std::vector<uint8_t>(b.begin(), b.end());
}

void TEditor::Trigger(QAction* action) {
    // A disabled item cannot be chosen.
    if (action->isEnabled()) action->trigger();
    QApplication::processEvents();
}

void TEditor::Click(QWidget* button) {
    QTest::mouseClick(button, Qt::LeftButton);
    QApplication::processEvents();
}

void TEditor::ClickSlide(int row) {
    QListWidget* list = Main().Images;
    QListWidgetItem* item = list->item(row);
    ASSERT_NE(item, nullptr);
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
    QApplication::processEvents();
}

void TEditor::ChooseTransition(int index) {
    QComboBox* box = Main().ComboBox1;
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Home);
    for (int i = 0; i < index; ++i) QTest::keyClick(box, Qt::Key_Down);
    QApplication::processEvents();
}

void TEditor::TypeInto(QWidget* widget, const QString& text) {
    auto* edit = qobject_cast<QLineEdit*>(widget);
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
    QApplication::processEvents();
}

void TEditor::Activate() {
    QApplication::setActiveWindow(nullptr);
    QApplication::setActiveWindow(&Main());
    QApplication::processEvents();
}

void TEditor::Drop(const QStringList& files) {
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& f : files) urls << QUrl::fromLocalFile(f);
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&Main(), &enter);
    if (!enter.isAccepted()) return;
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&Main(), &drop);
}

bool TEditor::OpenBitmap(const QString& file) {
    const size_t errors = Dialogs.Errors.size();
    Dialogs.OpenAnswers.push_back(file);
    Trigger(Main().mnuOpenBitmap);
    return Dialogs.Errors.size() == errors;
}

void TEditor::AddBitmap(const QString& file) {
    ASSERT_TRUE(OpenBitmap(file)) << Dialogs.LastError().toStdString();
    Click(Main().BtnAddImage);
}

QStringList TEditor::ListTexts() {
    QStringList out;
    for (int i = 0; i < Main().Images->count(); ++i) out << Main().Images->item(i)->text();
    return out;
}

}  // namespace sstest
