// TfrmMain's slide, bitmap and palette commands.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QListWidgetItem>
#include <QProgressBar>
#include <QToolButton>
#include <cstring>

#include "Controls.h"
#include "EditLibPal.h"
#include "Forms.h"
#include "Main.h"
#include "Rename.h"
#include "qvx/intro/palette_file.h"
#include "toolkit/graphics.h"
#include "toolkit/names.h"
#include "toolkit/streams.h"
#include "undo_commands.h"

namespace slideshelf {

namespace {

// Runs `f` when the scope ends, also when an exception passes.
template <class F>
struct Finally {
    F f;
    ~Finally() { f(); }
};
template <class F>
Finally(F) -> Finally<F>;

}  // namespace

// ---- Slides -------------------------------------------------------------------------

void TfrmMain::DiscardBitmap() {
    bitmapInfo_.reset();
    bitmapInfoSize_ = 0;
    pixels_ = tk::TBytes();
    pixelSize_ = 0;
    bitmapFile_.clear();
    display_ = tk::TBitmap();
    transIndex_ = 0;
    transEnabled_ = false;
}

void TfrmMain::ShowSlide(int index) {
    DiscardBitmap();
    // There is no current bitmap from here on, so nothing may add it or
    // edit its palette.
    EnableBitmapCommands(false, false);
    RepaintPicture();
    const qvx::TIntroSlide* slide = library_.Slide(index);
    if (!slide) return;
    std::unique_ptr<bmputil::TBitmapInfo> info = qvx::SlideBitmapInfo(*slide, library_.Palette());
    bmputil::AssignDIB(display_, *info, slide->Pixels);
    SetPanel(0, QStringLiteral("W=%1").arg(display_.Width()));
    SetPanel(1, QStringLiteral("H=%1").arg(display_.Height()));
    SetPanel(2, Images->item(index) ? Images->item(index)->text() : QString());
    // A transition number without an item shows no text.
    SetPanel(3, slide->Transition < ComboBox1->count() ? ComboBox1->itemText(slide->Transition) : QString());
    SetPanel(4, QStringLiteral("Speed =%1(s)").arg(slide->Speed));
    SetPanel(5, QStringLiteral("Hold =%1(s)").arg(slide->Hold));
    info.reset();
    RepaintPicture();
}

void TfrmMain::ImagesClick() {
    const int index = Images->ItemIndex();
    if (index < 0) return;
    ShowSlide(index);
    mnuRemoveImage->setEnabled(true);
    BtnRemoveImage->setEnabled(true);
    const qvx::TIntroSlide* slide = library_.Slide(index);
    if (!slide) return;
    // Out of the list's range: no item is selected.
    ComboBox1->setCurrentIndex(slide->Transition < ComboBox1->count() ? slide->Transition : -1);
    SpeedSpin->SetValue(slide->Speed);
    HoldSpin->SetValue(slide->Hold);
}

void TfrmMain::btnRemoveImageClick() {
    const int index = Images->ItemIndex();
    if (index < 0) return;
    BtnRemoveImage->setEnabled(false);
    mnuRemoveImage->setEnabled(false);
    // The slide moves into the step, which can bring it back.
    auto step = std::make_unique<TRemoveSlide>(*this, index);
    step->Forward();
    display_ = tk::TBitmap();
    RepaintPicture();
    ClearPanels();
    delete Images->takeItem(index);
    Images->SetItemIndex(-1);
    Push(std::move(step));
}

void TfrmMain::BtnMoveImageUpClick() {
    const int i = Images->ItemIndex();
    if (i <= 0) return;
    auto step = std::make_unique<TMoveSlide>(*this, i, i - 1);
    step->Forward();
    QListWidgetItem* item = Images->takeItem(i);
    Images->insertItem(i - 1, item);
    Images->SetItemIndex(i - 1);
    Push(std::move(step));
}

void TfrmMain::BtnMoveImageDownClick() {
    const int i = Images->ItemIndex();
    if (i < 0 || i >= Images->count() - 1) return;
    auto step = std::make_unique<TMoveSlide>(*this, i, i + 1);
    step->Forward();
    QListWidgetItem* item = Images->takeItem(i);
    Images->insertItem(i + 1, item);
    Images->SetItemIndex(i + 1);
    Push(std::move(step));
}

void TfrmMain::Remove1Click() {
    const int index = Images->ItemIndex();
    if (index < 0) return;
    if (!frmRename_) {
        frmRename_ = new TfrmRename(this);
    }
    frmRename_->Edit1->setText(Images->item(index)->text());
    if (dialogs_.Execute(*frmRename_) != QDialog::Accepted) return;
    // New names are one byte a character; a name left as it was keeps its
    // bytes. The list shows what is stored.
    const qvx::TIntroSlide* slide = library_.Slide(index);
    if (!slide) return;
    const std::string bytes =
        tk::NameFromText(frmRename_->Edit1->text().left(8), slide->NameText(), tk::TNameEncoding::Latin1);
    // The same name again changes nothing, not even the bytes after it.
    if (bytes != slide->NameText()) {
        const qvx::TIntroSlideRecord before = *slide;
        library_.RenameSlide(index, bytes);
        Push(std::make_unique<TChangeSlide>(*this, QStringLiteral("Rename Slide"), index, before));
    }
    Images->item(index)->setText(tk::NameToText(slide->NameText()));
    Images->SetItemIndex(index);
}

void TfrmMain::SpeedButton2Click() {
    const int index = Images->ItemIndex();
    const qvx::TIntroSlide* slide = library_.Slide(index);
    if (index < 0 || !slide) return;
    qvx::TSlideProps props;
    props.Speed = SpeedSpin->Value();
    props.Hold = HoldSpin->Value();
    // With no item chosen in the list the slide keeps its transition.
    const int t = ComboBox1->currentIndex();
    props.Transition = t >= 0 ? static_cast<uint8_t>(t) : slide->Transition;
    const qvx::TIntroSlideRecord before = *slide;
    library_.SetSlideProperties(index, props);
    if (std::memcmp(&before, static_cast<const qvx::TIntroSlideRecord*>(slide), sizeof before) != 0)
        Push(std::make_unique<TChangeSlide>(*this, QStringLiteral("Update Transition Properties"), index, before));
}

void TfrmMain::ComboBox1Change() {
    const int t = ComboBox1->currentIndex();
    if (t < 0) return;
    curTransition_ = static_cast<uint8_t>(t);
    SetPanel(3, ComboBox1->itemText(t));
}

void TfrmMain::SpeedSpinChange() {
    curSpeed_ = SpeedSpin->Value();
    SetPanel(4, QStringLiteral("Speed =%1(s)").arg(curSpeed_));
}

void TfrmMain::HoldSpinChange() {
    curHold_ = HoldSpin->Value();
    SetPanel(5, QStringLiteral("Hold = %1(s)").arg(curHold_));
}

// ---- Bitmaps ------------------------------------------------------------------------

void TfrmMain::ReadBitmap(const QString& file) {
    size_t pixelSize = 0, infoSize = 0;
    bmputil::ReadBitmapFile(LocalFileName(file), bitmapInfo_, pixels_, pixelSize, infoSize);
    pixelSize_ = static_cast<uint32_t>(pixelSize);
    bitmapInfoSize_ = static_cast<uint32_t>(infoSize);
    bmputil::AssignDIB(display_, *bitmapInfo_, pixels_);
    bitmapFile_ = file;
}

void TfrmMain::mnuOpenBitmapClick() {
    const QString file = dialogs_.OpenFile(this, BitmapOpenDialog());
    if (file.isEmpty()) return;
    DiscardBitmap();
    RepaintPicture();
    ReadBitmap(file);
    EnableBitmapCommands(true, true);
    RepaintPicture();
    SetPanel(0, QStringLiteral("W=%1").arg(display_.Width()));
    SetPanel(1, QStringLiteral("H=%1").arg(display_.Height()));
    SetPanel(2, file);
    SetPanel(3, ComboBox1->currentText());
    SetPanel(4, QStringLiteral("Speed =%1(s)").arg(SpeedSpin->Value()));
    SetPanel(5, QStringLiteral("Hold = %1(s)").arg(HoldSpin->Value()));
}

void TfrmMain::mnuAddImageClick() {
    // Nothing to add once the bitmap was discarded (a slide was shown).
    if (!HasBitmap()) return;
    batchMode_ = false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Finally done{[this] {
        QApplication::restoreOverrideCursor();
        EnableBitmapCommands(false, false);
    }};
    const int first = library_.SlideCount();
    const qvx::TLibPalette before = library_.Palette();
    AddCurrentImage();
    if (library_.SlideCount() > first)
        Push(std::make_unique<TAddSlides>(*this, QStringLiteral("Add Image"), first, before));
}

void TfrmMain::AddCurrentImage() {
    if (!bitmapInfo_) return;
    // Named from the bitmap's own file: New and Open Library clear the
    // status panel that shows it, but the bitmap stays loaded.
    const std::string name = qvx::SlideNameFromPath(bitmapFile_.toStdString());
    qvx::TSlideProps props;
    props.Transition = curTransition_;
    props.Speed = curSpeed_;
    props.Hold = curHold_;
    const int height = std::abs(bitmapInfo_->bmiHeader.biHeight);
    ProgressBar1->setRange(0, height);
    ProgressBar1->setValue(0);
    const std::optional<uint8_t> transparent = transEnabled_ ? std::optional<uint8_t>(transIndex_) : std::nullopt;
    // The slide joins the library only once it is complete, so a failure
    // part-way leaves neither a list entry nor a count without a slide.
    int index = 0;
    try {
        index = library_.AddBitmap(name, *bitmapInfo_, pixels_, props, transparent,
                                   [this](int) { ProgressBar1->setValue(ProgressBar1->value() + 1); });
    } catch (...) {
        ProgressBar1->setValue(0);
        throw;
    }
    const std::string stored = library_.Slide(index)->NameText();
    Images->addItem(tk::NameToText(stored));
    ProgressBar1->setValue(0);
    BtnRemoveImage->setEnabled(true);
    Images->SetItemIndex(index);
    if (!batchMode_) ShowSlide(index);
}

void TfrmMain::BatchAdd1Click() {
    batchMode_ = true;
    Finally done{[this] { batchMode_ = false; }};
    const QStringList files = dialogs_.OpenFiles(this, BitmapOpenDialog());
    if (files.isEmpty()) return;
    // The whole batch is one step, also when a file stops it part-way.
    const int first = library_.SlideCount();
    const qvx::TLibPalette before = library_.Palette();
    Finally step{[&] {
        if (library_.SlideCount() > first)
            Push(std::make_unique<TAddSlides>(*this, QStringLiteral("Batch Add"), first, before));
    }};
    RepaintPicture();
    for (const QString& file : files) {
        DiscardBitmap();
        ReadBitmap(file);
        RepaintPicture();
        SetPanel(0, QStringLiteral("W=%1").arg(display_.Width()));
        SetPanel(1, QStringLiteral("H=%1").arg(display_.Height()));
        SetPanel(2, file);
        // Colour index 0 of every bitmap of a batch is transparent.
        transIndex_ = 0;
        transEnabled_ = true;
        AddCurrentImage();
    }
}

// ---- Palettes -----------------------------------------------------------------------

void TfrmMain::ViewPalette1Click() {
    TfrmEditLibPal dlg(dialogs_, this);
    dlg.Palette = library_.Palette();
    if (dialogs_.Execute(dlg) != QDialog::Accepted) return;
    SetPalette(dlg.Palette, QStringLiteral("Edit Palette"));
}

void TfrmMain::mnuEditBmpPalClick() {
    // Nothing to edit once the bitmap was discarded (a slide was shown).
    if (!bitmapInfo_) return;
    TfrmEditBmpPal dlg(dialogs_, this);
    bmputil::ColorTableToPalette(dlg.Palette, *bitmapInfo_);
    dlg.TransIndex = transIndex_;
    dlg.CheckBox1->setChecked(transEnabled_);
    if (dialogs_.Execute(dlg) != QDialog::Accepted) return;
    transIndex_ = dlg.TransIndex;
    transEnabled_ = dlg.CheckBox1->isChecked();
    bmputil::PaletteToColorTable(dlg.Palette, *bitmapInfo_);
    bmputil::AssignDIB(display_, *bitmapInfo_, pixels_);
    RepaintPicture();
}

void TfrmMain::mnuImportPalClick() {
    const QString file = dialogs_.OpenFile(this, PaletteOpenDialog());
    if (file.isEmpty()) return;
    // The whole file is read and checked before anything changes.
    const std::vector<qvx::TRgb> colors = qvx::ReadPalette(tk::ReadFileBytes(LocalFileName(file)), file.toStdString());
    if (library_.SlideCount() > 0 &&
        !dialogs_.Confirm(this, QStringLiteral("Confirm"),
                          QStringLiteral("The slides keep their colour indices and will show the imported "
                                         "colours. Replace the library palette?")))
        return;
    qvx::TLibPalette palette = library_.Palette();
    ApplyColors(palette, colors);
    SetPalette(palette, QStringLiteral("Import Palette"));
    // A slide on show takes its new colours at once.
    if (!HasBitmap() && !display_.Empty() && Images->ItemIndex() >= 0) ShowSlide(Images->ItemIndex());
}

void TfrmMain::mnuExportPalClick() {
    QString filter;
    const QString file = dialogs_.SaveFile(this, PaletteSaveDialog(), filter);
    if (file.isEmpty()) return;
    // The extension tells the format; the RIFF filter makes a .pal RIFF,
    // and a name without a known extension takes its filter's format.
    std::optional<qvx::TPaletteFormat> format = qvx::PaletteFormatFromExtension(file.toStdString());
    if (filter == QLatin1String(kRiffPaletteFilter) && (!format || *format == qvx::TPaletteFormat::Jasc))
        format = qvx::TPaletteFormat::Riff;
    if (!format) {
        if (filter.startsWith(QLatin1String("JASC")))
            format = qvx::TPaletteFormat::Jasc;
        else if (filter.startsWith(QLatin1String("Adobe")))
            format = qvx::TPaletteFormat::Act;
        else
            format = qvx::TPaletteFormat::Gpl;
    }
    qvx::ExportPaletteFile(library_.Palette(), LocalFileName(file), format);
}

void TfrmMain::BlackPalette1Click() {
    if (!dialogs_.Confirm(this, QStringLiteral("Confirm"), QStringLiteral("Clear the palette"))) return;
    qvx::TLibPalette palette = library_.Palette();
    bmputil::ResetPalette(palette, false);
    SetPalette(palette, QStringLiteral("Black Palette"));
}

void TfrmMain::SetPalette(const qvx::TLibPalette& palette, const QString& step) {
    if (palette == library_.Palette()) return;  // no change, no step
    const qvx::TLibPalette before = library_.Palette();
    library_.Palette() = palette;
    Push(std::make_unique<TChangePalette>(*this, step, before));
}

}  // namespace slideshelf
