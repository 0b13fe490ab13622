#include "Dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "Controls.h"

namespace hueshelf {

namespace {

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t end = s.find(sep, start);
        parts.push_back(s.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

// The picture beside the file list of a picture dialog, with its size
// above it ("(None)" when the selection is not a picture).
class TPicturePreview : public QWidget {
public:
    explicit TPicturePreview(QWidget* parent) : QWidget(parent) {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(4, 0, 0, 0);
        caption_ = new QLabel("(None)", this);
        caption_->setAlignment(Qt::AlignCenter);
        image_ = new TImage(this);
        image_->Proportional = true;
        image_->setFixedSize(160, 160);
        layout->addWidget(caption_);
        layout->addWidget(image_);
        layout->addStretch(1);
    }

    void ShowFile(const QString& path) {
        tk::TPicture picture;
        if (QFileInfo(path).isFile()) {
            try {
                picture.LoadFromFile(path.toStdString());
            } catch (const std::exception&) {
                picture.Clear();  // not a picture we can read: show none
            }
        }
        if (picture.Empty()) {
            caption_->setText("(None)");
            image_->ClearPicture();
        } else {
            caption_->setText(QString("(%1x%2)").arg(picture.Width()).arg(picture.Height()));
            image_->SetPicture(picture);
        }
    }

private:
    QLabel* caption_;
    TImage* image_;
};

class TQtDialogs : public TDialogs {
public:
    std::optional<std::string> RunFileDialog(QWidget* parent, const TFileDialog& d) override {
        const bool open = d.Kind == TFileDialogKind::Open;
        QFileDialog dlg(parent, open ? "Open" : "Save As");
        dlg.setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
        dlg.setFileMode((d.Options & ofFileMustExist) ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        QStringList filters;
        for (const std::string& f : QtNameFilters(d.Filter)) filters << QString::fromStdString(f);
        if (!filters.isEmpty()) dlg.setNameFilters(filters);
        if (!d.DefaultExt.empty()) dlg.setDefaultSuffix(QString::fromStdString(d.DefaultExt));
        QFileDialog::Options options;
        if (!(d.Options & ofOverwritePrompt)) options |= QFileDialog::DontConfirmOverwrite;
        // The preview needs Qt's own dialog, whose layout we can extend.
        if (d.Preview) options |= QFileDialog::DontUseNativeDialog;
        dlg.setOptions(options);
        dlg.setSizeGripEnabled((d.Options & ofEnableSizing) != 0);
        if (!d.FileName.empty()) {
            const QFileInfo last(QString::fromStdString(d.FileName));
            dlg.setDirectory(last.absolutePath());
            dlg.selectFile(last.fileName());
        }
        if (d.Preview) {
            if (auto* grid = qobject_cast<QGridLayout*>(dlg.layout())) {
                auto* preview = new TPicturePreview(&dlg);
                grid->addWidget(preview, 0, grid->columnCount(), grid->rowCount(), 1);
                QObject::connect(&dlg, &QFileDialog::currentChanged, preview, &TPicturePreview::ShowFile);
                dlg.resize(dlg.sizeHint().width() + 180, dlg.sizeHint().height());
            }
        }
        if (dlg.exec() != QDialog::Accepted) return std::nullopt;
        const QStringList chosen = dlg.selectedFiles();
        if (chosen.isEmpty()) return std::nullopt;
        return chosen.first().toStdString();
    }

    TMsgButton AskYesNo(QWidget* parent, const std::string& title, const std::string& text) override {
        QMessageBox box(parent);
        box.setIcon(QMessageBox::Information);
        box.setWindowTitle(QString::fromStdString(title));
        box.setText(QString::fromStdString(text));
        QPushButton* yes = box.addButton("&Yes", QMessageBox::YesRole);
        QPushButton* no = box.addButton("&No", QMessageBox::NoRole);
        box.setDefaultButton(yes);
        box.setEscapeButton(no);
        box.exec();
        return box.clickedButton() == yes ? TMsgButton::Yes : TMsgButton::No;
    }

    void ShowError(QWidget* parent, const std::string& text) override {
        QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), QString::fromStdString(text),
                        QMessageBox::Ok, parent);
        box.setTextFormat(Qt::PlainText);  // a name like "<b>" is shown, not rendered
        box.exec();
    }

    void ShowInformation(QWidget* parent, const std::string& text) override {
        QMessageBox box(QMessageBox::Information, QApplication::applicationName(), QString::fromStdString(text),
                        QMessageBox::Ok, parent);
        box.exec();
    }
};

TDialogs* bound = nullptr;

}  // namespace

TDialogs& Dialogs() {
    static TQtDialogs qtDialogs;
    return bound ? *bound : qtDialogs;
}

void SetDialogs(TDialogs* dialogs) { bound = dialogs; }

bool TFileDialog::Execute(QWidget* parent) {
    std::optional<std::string> chosen = Dialogs().RunFileDialog(parent, *this);
    if (!chosen) return false;
    FileName = *chosen;
    return true;
}

std::vector<std::string> QtNameFilters(const std::string& filter) {
    std::vector<std::string> result;
    if (filter.empty()) return result;
    const std::vector<std::string> parts = Split(filter, '|');
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        std::string description = Trim(parts[i]);
        const std::string& patterns = parts[i + 1];
        // "All (*.jpg;*.bmp)" already names its patterns: drop that copy.
        const std::string own = "(" + patterns + ")";
        if (description.size() >= own.size() &&
            description.compare(description.size() - own.size(), own.size(), own) == 0)
            description = Trim(description.substr(0, description.size() - own.size()));
        std::string lower, upper;
        for (const std::string& raw : Split(patterns, ';')) {
            std::string p = Trim(raw);
            if (p.empty()) continue;
            std::string l = p, u = p;
            for (char& c : l) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            lower += (lower.empty() ? "" : " ") + l;
            if (u != l) upper += " " + u;
        }
        result.push_back(description + " (" + lower + upper + ")");
    }
    return result;
}

}  // namespace hueshelf
