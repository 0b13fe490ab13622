#include "undo_commands.h"

#include <algorithm>

#include "Main.h"
#include "qvx/hicolor/hicolor_library.h"

namespace hueshelf {

namespace {

// Takes image `index` out: its picture moves into the result.
TTakenImage Take(qvx::TQVXCollection& images, int index) {
    qvx::TQVXImageItem* item = images.Items(index);
    TTakenImage taken{index, item->Name(), {}};
    taken.Picture.Exchange(item->Image());
    images.Delete(index);
    return taken;
}

// Puts an image taken out back at its place; its picture moves back.
void PutBack(qvx::TQVXCollection& images, TTakenImage& taken) {
    qvx::TQVXImageItem* item = images.Add();
    item->SetName(taken.Name);
    item->Image().Exchange(taken.Picture);
    if (taken.Index != images.Count() - 1) images.Move(images.Count() - 1, taken.Index);
}

// Exchanges the names and pictures of images a and b (the pictures trade
// places; nothing is copied).
void ExchangeImages(qvx::TQVXCollection& images, int a, int b) {
    qvx::TQVXImageItem* first = images.Items(a);
    qvx::TQVXImageItem* second = images.Items(b);
    const std::string name = first->Name();
    first->SetName(second->Name());
    second->SetName(name);
    first->Image().Exchange(second->Image());
}

}  // namespace

// ---- TLibraryStep -----------------------------------------------------------------

qvx::TQVXCollection& TLibraryStep::Images() const { return *form_.QVXHiColorImagelib1->Images(); }

void TLibraryStep::BeforeChange() { form_.BeforeChange(); }

void TLibraryStep::Show(int entry) { form_.ShowAfterStep(entry); }

// ---- Add --------------------------------------------------------------------------

TAddImages::TAddImages(TForm1& form, int first, int selectedBefore)
    : TLibraryStep(form, QString()), first_(first), selectedBefore_(selectedBefore) {
    setText(Images().Count() - first_ > 1 ? QStringLiteral("Add Images") : QStringLiteral("Add Image"));
}

int TAddImages::Back() {
    qvx::TQVXCollection& images = Images();
    taken_.clear();
    for (int i = images.Count() - 1; i >= first_; --i) taken_.push_back(Take(images, i));
    std::reverse(taken_.begin(), taken_.end());
    return selectedBefore_ < images.Count() ? selectedBefore_ : -1;
}

int TAddImages::Forward() {
    qvx::TQVXCollection& images = Images();
    for (TTakenImage& image : taken_) PutBack(images, image);
    taken_.clear();
    return images.Count() - 1;
}

// ---- Delete -----------------------------------------------------------------------

TDeleteImages::TDeleteImages(TForm1& form, std::string name, int selected)
    : TLibraryStep(form, QStringLiteral("Delete Image")), name_(std::move(name)), selected_(selected) {}

int TDeleteImages::Forward() {
    qvx::TQVXCollection& images = Images();
    // The pictures of the images to go move out first; then the kept
    // images are swapped forward and the tail removed, in one pass.
    taken_.clear();
    for (int i = 0; i < images.Count(); ++i) {
        qvx::TQVXImageItem* item = images.Items(i);
        if (item->Name() != name_) continue;
        taken_.push_back({i, item->Name(), {}});
        taken_.back().Picture.Exchange(item->Image());
    }
    int kept = 0;
    for (int i = 0; i < images.Count(); ++i) {
        if (images.Items(i)->Name() == name_) continue;
        if (i != kept) images.Exchange(i, kept);
        ++kept;
    }
    for (int i = images.Count() - 1; i >= kept; --i) images.Delete(i);
    return images.Count() - 1;
}

int TDeleteImages::Back() {
    qvx::TQVXCollection& images = Images();
    for (TTakenImage& image : taken_) PutBack(images, image);
    taken_.clear();
    return selected_;
}

// ---- Move -------------------------------------------------------------------------

TMoveImage::TMoveImage(TForm1& form, int upper, int from)
    : TLibraryStep(form, QStringLiteral("Move Image")), upper_(upper), from_(from) {}

int TMoveImage::Exchange() {
    ExchangeImages(Images(), upper_, upper_ + 1);
    return upper_;
}

int TMoveImage::Forward() {
    Exchange();
    return from_ == upper_ ? upper_ + 1 : upper_;
}

int TMoveImage::Back() {
    Exchange();
    return from_;
}

// ---- Rename -----------------------------------------------------------------------

TRenameImage::TRenameImage(TForm1& form, int index, std::string before, std::string after, int session)
    : TLibraryStep(form, QStringLiteral("Rename Image")),
      index_(index),
      before_(std::move(before)),
      after_(std::move(after)),
      session_(session) {}

int TRenameImage::Forward() {
    Images().Items(index_)->SetName(after_);
    return index_;
}

int TRenameImage::Back() {
    Images().Items(index_)->SetName(before_);
    return index_;
}

bool TRenameImage::mergeWith(const QUndoCommand* other) {
    const auto* next = static_cast<const TRenameImage*>(other);
    if (next->index_ != index_ || next->session_ != session_) return false;
    after_ = next->after_;
    setObsolete(after_ == before_);
    return true;
}

}  // namespace hueshelf
