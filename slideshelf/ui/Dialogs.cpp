#include "Dialogs.h"

#include <QColorDialog>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>

namespace slideshelf {

QStringList QtNameFilters(const QString& filter) {
    const QStringList parts = filter.split('|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // The description already names its patterns ("Bitmap Files (*.BMP)");
        // Qt takes the patterns from the parentheses, so give it the real ones.
        QString name = parts[i];
        const qsizetype paren = name.lastIndexOf('(');
        if (paren > 0) name = name.left(paren).trimmed();
        out << QStringLiteral("%1 (%2)").arg(name, QString(parts[i + 1]).replace(';', ' '));
    }
    return out;
}

namespace {

void Prepare(QFileDialog& dlg, const TFileDialogOptions& options) {
    dlg.setWindowTitle(options.Title);
    // Qt's own dialog: its filters ignore letter case, so "*.BMP" also
    // lists "picture.bmp", as users of this format expect.
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    dlg.setNameFilters(QtNameFilters(options.Filter));
    if (!options.DefaultExt.isEmpty()) dlg.setDefaultSuffix(options.DefaultExt);
    // An initial name that is only a pattern ("*.BMP") is the filter again;
    // the name box starts empty.
    if (!options.InitialName.isEmpty() && !options.InitialName.contains('*')) dlg.selectFile(options.InitialName);
}

}  // namespace

QString TQtDialogs::OpenFile(QWidget* parent, const TFileDialogOptions& options) {
    QFileDialog dlg(parent);
    Prepare(dlg, options);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(options.MustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return QString();
    return dlg.selectedFiles().first();
}

QStringList TQtDialogs::OpenFiles(QWidget* parent, const TFileDialogOptions& options) {
    QFileDialog dlg(parent);
    Prepare(dlg, options);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFiles);
    if (dlg.exec() != QDialog::Accepted) return {};
    return dlg.selectedFiles();
}

QString TQtDialogs::SaveFile(QWidget* parent, const TFileDialogOptions& options) {
    QFileDialog dlg(parent);
    Prepare(dlg, options);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return QString();
    return dlg.selectedFiles().first();
}

QString TQtDialogs::SaveFile(QWidget* parent, const TFileDialogOptions& options, QString& chosenFilter) {
    QFileDialog dlg(parent);
    Prepare(dlg, options);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    // The default extension follows the chosen filter.
    QObject::connect(&dlg, &QFileDialog::filterSelected, &dlg, [&dlg](const QString& filter) {
        const qsizetype dot = filter.indexOf(QStringLiteral("*."));
        if (dot >= 0) dlg.setDefaultSuffix(filter.mid(dot + 2).section(QRegularExpression(QStringLiteral("[ )]")), 0, 0));
    });
    chosenFilter.clear();
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return QString();
    // Back to the '|' filter's own description.
    const QStringList qt = QtNameFilters(options.Filter);
    const QStringList parts = options.Filter.split('|');
    const qsizetype index = qt.indexOf(dlg.selectedNameFilter());
    if (index >= 0 && index * 2 < parts.size()) chosenFilter = parts[index * 2];
    return dlg.selectedFiles().first();
}

void TQtDialogs::ShowError(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);  // a name like "<b>" is shown, not rendered
    box.exec();
}

bool TQtDialogs::Confirm(QWidget* parent, const QString& caption, const QString& text) {
    return QMessageBox::question(parent, caption, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool TQtDialogs::AskYesNo(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Information, caption, text, QMessageBox::NoButton, parent);
    QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void TQtDialogs::ShowInformation(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox::information(parent, caption, text, QMessageBox::Ok);
}

std::optional<QColor> TQtDialogs::ChooseColor(QWidget* parent, const QColor& initial) {
    // Qt's dialog always shows the custom colours; no alpha channel, so
    // only solid colours come back.
    QColor c = QColorDialog::getColor(initial, parent, QString(), QColorDialog::DontUseNativeDialog);
    if (!c.isValid()) return std::nullopt;
    return c;
}

int TQtDialogs::Execute(QDialog& dialog) { return dialog.exec(); }

// ---- The library's dialogs ---------------------------------------------------------

std::string LocalFileName(const QString& name) {
    const QByteArray bytes = QFile::encodeName(name);
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

TFileDialogOptions BitmapOpenDialog() {
    return {"Open Bitmap", "Bitmap Files (*.BMP)|*.BMP|All Files (*.*)|*.*", "*.BMP", "BMP", true};
}

TFileDialogOptions LibrarySaveDialog() {
    return {"Save Image Library", "Intro Library (*.CRL)|*.CRL|All Files (*.*)|*.*", "*.CRL", "CRL", false};
}

TFileDialogOptions LibraryOpenDialog() {
    return {"Open Image Library", "Intro Library (*.CRL)|*.CRL|All Files (*.*)|*.*", "*.CRL", "CRL", true};
}

TFileDialogOptions PaletteOpenDialog() {
    return {"Import Palette",
            "Palette Files (*.gpl;*.pal;*.act)|*.gpl;*.pal;*.act|GIMP Palette (*.gpl)|*.gpl|"
            "JASC or RIFF Palette (*.pal)|*.pal|Adobe Color Table (*.act)|*.act|All Files (*.*)|*.*",
            "", "", true};
}

TFileDialogOptions PaletteSaveDialog() {
    return {"Export Palette",
            "GIMP Palette (*.gpl)|*.gpl|JASC Palette (*.pal)|*.pal|RIFF Palette (*.pal)|*.pal|"
            "Adobe Color Table (*.act)|*.act",
            "", "gpl", false};
}

}  // namespace slideshelf
