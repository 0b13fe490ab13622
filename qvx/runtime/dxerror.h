// DirectX result codes as readable text, the exception that carries them,
// and the trace channel to a running trace viewer.
#pragma once

#include <string>

#include "platform/com/com.h"
#include "toolkit/sysutils.h"

namespace qvx {

// The text of a result code: "No error" for 0, else the first of the
// component tables (Direct3D, DirectDraw, DirectInput, DirectPlay,
// DirectSetup, DirectSound, DirectX File) that knows the code, else
// "Unrecognized Error".
std::string DirectXErrorText(HRESULT code);

// Where the next DirectX call happens; added to EDirectX messages when set.
// Empty at start; nothing in the runtime sets it.
extern std::string ErrorLocation;

/// A DirectX call failed: the message says which call, or gives the result
/// code in words (DirectXErrorText).
class EDirectX : public tk::Exception {
public:
    // CR CR text CR CR, then "At: " location CR CR when ErrorLocation is set.
    explicit EDirectX(HRESULT code);
    explicit EDirectX(std::string message) : tk::Exception(std::move(message)) {}
    const char* ClassName() const noexcept override { return "EDirectX"; }
};

// Returns when `code` is 0; raises EDirectX for every other value,
// positive status codes included.
void CheckDirectX(HRESULT code);

// Sends one line to the trace viewer (the window of class "TfrmQVXTrace"
// and caption "QVX Trace"), at most 255 characters of it; does nothing
// when no viewer runs. Never raises.
void SendTrace(const std::string& text);

// The component tables one by one, in search order; each answers
// "Unrecognized Error" for a code it does not hold.
std::string Direct3DErrorText(HRESULT code);
std::string DirectDrawErrorText(HRESULT code);
std::string DirectInputErrorText(HRESULT code);
std::string DirectPlayErrorText(HRESULT code);
std::string DirectSetupErrorText(HRESULT code);
std::string DirectSoundErrorText(HRESULT code);
std::string DirectXFileErrorText(HRESULT code);

}  // namespace qvx
