// The library's undo steps: adding, removing, moving, renaming slides,
// their transition properties and the library palette. A step holds what
// it took out of the library (slides moved out whole, never copied; slide
// records and palettes as their bytes), so undo brings back exactly what
// was there.
#pragma once

#include <memory>
#include <vector>

#include "qvx/intro/intro_library.h"
#include "toolkit/undo.h"

namespace slideshelf {

class TfrmMain;

// What the window shows after a step was undone or redone: an entry, as if
// the user had clicked it; no entry (as after a removal); or, after a
// palette step, the selected entry as if clicked.
inline constexpr int kShowNoEntry = -1;
inline constexpr int kShowPalette = -2;

// A change to the library. Forward() and Back() return what the window
// shows afterwards (above).
class TLibraryStep : public tk::TDoneStep {
protected:
    TLibraryStep(TfrmMain& form, const QString& text) : TDoneStep(text), form_(form) {}
    void Show(int shown) override;
    qvx::TIntroLibrary& Library() const;
    TfrmMain& form_;
};

// Slides appended from `first` on, with the palette entries their colours
// took: "Add Image" or "Batch Add". Made after they were added.
class TAddSlides : public TLibraryStep {
public:
    TAddSlides(TfrmMain& form, const QString& text, int first, const qvx::TLibPalette& paletteBefore);
    int Forward() override;
    int Back() override;

private:
    int first_;
    qvx::TLibPalette before_, after_;
    std::vector<std::unique_ptr<qvx::TIntroSlide>> taken_;  // while undone
};

class TRemoveSlide : public TLibraryStep {
public:
    TRemoveSlide(TfrmMain& form, int index);
    int Forward() override;
    int Back() override;

private:
    int index_;
    std::unique_ptr<qvx::TIntroSlide> taken_;  // while done
};

class TMoveSlide : public TLibraryStep {
public:
    TMoveSlide(TfrmMain& form, int from, int to);
    int Forward() override;
    int Back() override;

private:
    int from_, to_;
};

// A slide's stored record changed (name, transition, speed, hold).
class TChangeSlide : public TLibraryStep {
public:
    TChangeSlide(TfrmMain& form, const QString& text, int index, const qvx::TIntroSlideRecord& before);
    int Forward() override;
    int Back() override;

private:
    int Set(const qvx::TIntroSlideRecord& record);
    int index_;
    qvx::TIntroSlideRecord before_, after_;
};

// The library palette changed: "Edit Palette", "Black Palette", "Import Palette".
class TChangePalette : public TLibraryStep {
public:
    TChangePalette(TfrmMain& form, const QString& text, const qvx::TLibPalette& before);
    int Forward() override;
    int Back() override;

private:
    qvx::TLibPalette before_, after_;
};

}  // namespace slideshelf
