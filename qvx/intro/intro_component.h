// TQVXIntroLib: the component that holds one intro library in a game,
// loaded from a .CRL file or embedded in the form's data as the binary
// property "Slides.Slides" (the bytes of a .CRL file). TQVXIntro
// (qvx/runtime/intro_player.h) plays it.
#pragma once

#include <memory>
#include <string>

#include "qvx/intro/intro_library.h"
#include "toolkit/classes.h"

namespace qvx {

/// The persistent container: one intro library, stored in form data as its
/// file format.
class TQVXIntroSlides : public tk::TPersistent {
public:
    TK_CLASSNAME(TQVXIntroSlides)
    TQVXIntroSlides();
    ~TQVXIntroSlides() override;

    TIntroLibrary& Library() { return *FLibrary; }
    const TIntroLibrary& Library() const { return *FLibrary; }

    void DefineProperties(tk::TFiler& filer) override;

protected:
    void AssignTo(tk::TPersistent& dest) const override;

private:
    std::unique_ptr<TIntroLibrary> FLibrary;
};

/// The component that holds an intro screens library (.CRL, as Slideshelf
/// makes it) on a form: embedded in form data or loaded with LoadFromFile.
/// A TQVXIntro linked to it plays it on the screen.
class TQVXIntroLib : public tk::TComponent {
public:
    TK_CLASSNAME(TQVXIntroLib)
    explicit TQVXIntroLib(tk::TComponent* owner);
    ~TQVXIntroLib() override;

    TQVXIntroSlides* Slides() const { return FSlides.get(); }
    TIntroLibrary& Library() { return FSlides->Library(); }
    const TIntroLibrary& Library() const { return FSlides->Library(); }
    int Count() const { return Library().SlideCount(); }

    // Replaces the library with the file's. A file that is no intro library
    // raises "Invalid Image Library" and leaves the library empty; other
    // failures raise the file layer's errors.
    void LoadFromFile(const std::string& fileName);
    const std::string& FileName() const { return Library().FileName(); }
    bool HasFileName() const { return !FileName().empty(); }

    void GetProperties(tk::TPropList& props) override;

private:
    std::unique_ptr<TQVXIntroSlides> FSlides;
};

// Registers TQVXIntroLib with the class registry (form data creates it by
// name). Safe to call more than once.
void RegisterIntroClasses();

}  // namespace qvx
