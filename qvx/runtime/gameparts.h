// The runtime parts the screen starts but does not know in detail: the
// audio components on its form and its input component. TQVXAudio and
// TQVXInput derive from these bases and fill in the start operations; the
// screen calls them through the bases only.
//
// - An audio component derives from TQVXAudioBase and implements
//   StartAudio. The screen calls it for every TQVXAudioBase owned by its
//   form, on every activation of the form, after StartDisplay. An audio
//   component's own Loaded step should call StartAudio only when
//   OwnerHasScreen(Owner()) is false.
// - An input component derives from TQVXInputBase and implements
//   StartInput. The screen's QVXInput property accepts any TQVXInputBase
//   and calls StartInput once per start-up, before OnInitialize.
#pragma once

#include "toolkit/classes.h"

namespace qvx {

/// What the screen starts on every activation of its form: base of
/// TQVXAudio, and of any sound component a game writes itself.
class TQVXAudioBase : public tk::TComponent {
public:
    TK_CLASSNAME(TQVXAudioBase)
    using tk::TComponent::TComponent;
    // Opens the sound device and makes the buffers.
    virtual void StartAudio() = 0;
};

/// What the screen's QVXInput starts before OnInitialize: base of
/// TQVXInput, and of any input component a game writes itself.
class TQVXInputBase : public tk::TComponent {
public:
    TK_CLASSNAME(TQVXInputBase)
    using tk::TComponent::TComponent;
    // Creates, configures and acquires the input device.
    virtual void StartInput() = 0;
};

// True when `owner` owns a screen (TQVXScreen): the screen then starts the
// audio components after the display.
bool OwnerHasScreen(const tk::TComponent* owner);

}  // namespace qvx
