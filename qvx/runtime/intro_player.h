// TQVXIntro: plays an intro library (TQVXIntroLib) on the form's screen.
//
//   object Intro: TQVXIntro
//     Library = IntroSlides
//     OnFinished = IntroFinished
//   end
//
// Play (from the screen's OnInitialize, say) takes the screen's flip event
// over: every frame draws the intro's moment by its own clock, centred on
// the back buffer over palette index 0. At 8 bits the screen's palette is
// the library's while it plays (and the game's again after); at 16, 24 and
// 32 bits the frames go through the library palette. Lost surfaces are
// restored and the intro goes on where its clock is. When the intro ends,
// or is skipped, the game's own flip event (and palette) come back and
// OnFinished runs.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "qvx/intro/intro_component.h"
#include "toolkit/classes.h"

namespace qvx {

class TQVXScreen;
struct TIntroState;

// OnSlide: the slide with this library index starts to come in.
using TIntroSlideEvent = std::function<void(tk::TObject* sender, int index)>;

/// Plays the intro library it is linked to (Library, a TQVXIntroLib) on
/// the form's screen: Play, from the screen's OnInitialize say, takes the
/// screen's flip event over and shows each slide with its transition and
/// hold; Skip (or a key or click, with SkipOnInput) ends it early. Then the
/// game's own flip event comes back and OnFinished runs.
class TQVXIntro : public tk::TComponent {
public:
    TK_CLASSNAME(TQVXIntro)
    explicit TQVXIntro(tk::TComponent* owner);
    ~TQVXIntro() override;

    // Starts the intro from its first slide (again, when playing). The
    // screen is the first TQVXScreen of the owner; its flipping is turned
    // on while the intro plays. Nothing happens without a library or a
    // screen. Time starts with the first frame drawn.
    void Play();
    // Ends the intro now, as a skip does: the game gets the screen back and
    // OnFinished runs. Nothing happens while not playing.
    void Skip();
    bool Playing() const;
    // Microseconds since the first frame (0 before it).
    int64_t Elapsed() const;

    TQVXIntroLib* Library() const { return FLibrary; }
    void SetLibrary(TQVXIntroLib* library);
    // Starts over with the first slide (coming in from the last) instead of
    // finishing.
    bool Loop = false;
    // A key, a click or a button ends the intro: read through the screen's
    // TQVXInput when it has one, else from the form's window.
    bool SkipOnInput = true;
    TIntroSlideEvent OnSlide;
    tk::TNotifyEvent OnFinished;

    // The clock, in microseconds; a steady clock unless replaced (tests).
    std::function<int64_t()> Clock;

    void GetProperties(tk::TPropList& props) override;

protected:
    void Notification(tk::TComponent* component, tk::TOperation operation) override;

private:
    struct Run;
    TQVXScreen* FindScreen() const;
    void Frame();
    void DrawFrame(const TIntroState& state);
    void Finish(bool notify);

    TQVXIntroLib* FLibrary = nullptr;
    std::unique_ptr<Run> FRun;             // while playing
    std::shared_ptr<TQVXIntro*> FAlive;  // the screen's flip handler holds it weakly
};

}  // namespace qvx
