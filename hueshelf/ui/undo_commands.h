// The library's undo steps: adding, deleting, moving and renaming images.
// A step holds what it took out of the library (names as their bytes,
// pictures moved out of their items, never copied), so undo brings back
// exactly what was there.
#pragma once

#include <string>
#include <vector>

#include "toolkit/picture.h"
#include "toolkit/undo.h"

class TForm1;

namespace qvx {
class TQVXCollection;
}

namespace hueshelf {

// An image taken out of the library: where it stood, its name and its picture.
struct TTakenImage {
    int Index = 0;
    std::string Name;
    tk::TPicture Picture;
};

// A change to the library. Forward() and Back() return the entry shown
// afterwards as if the user had clicked it (none for -1).
class TLibraryStep : public tk::TDoneStep {
protected:
    TLibraryStep(TForm1& form, const QString& text) : TDoneStep(text), form_(form) {}
    void BeforeChange() override;
    void Show(int entry) override;
    qvx::TQVXCollection& Images() const;
    TForm1& form_;
};

// Images appended at the end, from `first` on; "Add Image" (or "Add
// Images" for several dropped at once). Made after they were appended.
class TAddImages : public TLibraryStep {
public:
    TAddImages(TForm1& form, int first, int selectedBefore);
    int Forward() override;
    int Back() override;

private:
    int first_;
    int selectedBefore_;
    std::vector<TTakenImage> taken_;  // while undone, in library order
};

// Every image named `name` deleted (the selected entry `selected` shows it).
class TDeleteImages : public TLibraryStep {
public:
    TDeleteImages(TForm1& form, std::string name, int selected);
    int Forward() override;
    int Back() override;

private:
    std::string name_;
    int selected_;
    std::vector<TTakenImage> taken_;  // while done, in library order
};

// Images `upper` and `upper` + 1 trade places; the moved image is the one
// that was at `from` (one of the two).
class TMoveImage : public TLibraryStep {
public:
    TMoveImage(TForm1& form, int upper, int from);
    int Forward() override;
    int Back() override;

private:
    int Exchange();
    int upper_;
    int from_;
};

// Image `index` renamed. Keystrokes of one typing session on the same image
// merge into one step; a session that ends where it began leaves no step.
class TRenameImage : public TLibraryStep {
public:
    TRenameImage(TForm1& form, int index, std::string before, std::string after, int session);
    int Forward() override;
    int Back() override;
    int id() const override { return 1; }
    bool mergeWith(const QUndoCommand* other) override;

private:
    int index_;
    std::string before_, after_;
    int session_;
};

}  // namespace hueshelf
