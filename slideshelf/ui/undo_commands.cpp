#include "undo_commands.h"

#include "Main.h"

namespace slideshelf {

qvx::TIntroLibrary& TLibraryStep::Library() const { return form_.Library(); }

void TLibraryStep::Show(int shown) { form_.ShowAfterStep(shown); }

// ---- Add ------------------------------------------------------------------------

TAddSlides::TAddSlides(TfrmMain& form, const QString& text, int first, const qvx::TLibPalette& paletteBefore)
    : TLibraryStep(form, text), first_(first), before_(paletteBefore), after_(form.Library().Palette()) {}

int TAddSlides::Back() {
    taken_.clear();
    for (int i = Library().SlideCount() - 1; i >= first_; --i) taken_.push_back(Library().TakeSlide(i));
    Library().Palette() = before_;
    return kShowNoEntry;
}

int TAddSlides::Forward() {
    for (auto it = taken_.rbegin(); it != taken_.rend(); ++it) Library().InsertSlide(Library().SlideCount(), std::move(*it));
    taken_.clear();
    Library().Palette() = after_;
    return Library().SlideCount() - 1;
}

// ---- Remove ---------------------------------------------------------------------

TRemoveSlide::TRemoveSlide(TfrmMain& form, int index)
    : TLibraryStep(form, QStringLiteral("Remove Image")), index_(index) {}

int TRemoveSlide::Forward() {
    taken_ = Library().TakeSlide(index_);
    return kShowNoEntry;
}

int TRemoveSlide::Back() {
    Library().InsertSlide(index_, std::move(taken_));
    return index_;
}

// ---- Move -----------------------------------------------------------------------

TMoveSlide::TMoveSlide(TfrmMain& form, int from, int to)
    : TLibraryStep(form, QStringLiteral("Move Slide")), from_(from), to_(to) {}

int TMoveSlide::Forward() {
    Library().MoveSlide(from_, to_);
    return to_;
}

int TMoveSlide::Back() {
    Library().MoveSlide(to_, from_);
    return from_;
}

// ---- Slide records --------------------------------------------------------------

TChangeSlide::TChangeSlide(TfrmMain& form, const QString& text, int index, const qvx::TIntroSlideRecord& before)
    : TLibraryStep(form, text), index_(index), before_(before), after_(*form.Library().Slide(index)) {}

int TChangeSlide::Set(const qvx::TIntroSlideRecord& record) {
    static_cast<qvx::TIntroSlideRecord&>(*Library().Slide(index_)) = record;
    return index_;
}

int TChangeSlide::Forward() { return Set(after_); }

int TChangeSlide::Back() { return Set(before_); }

// ---- Palette --------------------------------------------------------------------

TChangePalette::TChangePalette(TfrmMain& form, const QString& text, const qvx::TLibPalette& before)
    : TLibraryStep(form, text), before_(before), after_(form.Library().Palette()) {}

int TChangePalette::Forward() {
    Library().Palette() = after_;
    return kShowPalette;
}

int TChangePalette::Back() {
    Library().Palette() = before_;
    return kShowPalette;
}

}  // namespace slideshelf
