#include "input.h"

#include "dxerror.h"
#include "application.h"
#include "forms.h"

namespace qvx {
namespace {

constexpr LONG kAxisMin = -1000;
constexpr LONG kAxisMax = 1000;
constexpr DWORD kDeadZone = 1500;    // 15 % of the travel, in 1/10000
constexpr DWORD kSaturation = 9500;  // 95 %

// What the enumeration handler fills in for the first attached joystick.
// It lives for one StartInput only, so nothing outlives the component.
struct JoystickSearch {
    IDirectInput* directInput = nullptr;
    ComPtr<IDirectInputDevice> device;
    ComPtr<IDirectInputDevice2> joystick;
};

BOOL FirstJoystick(const DIDEVICEINSTANCEA* instance, void* ref) {
    auto* search = static_cast<JoystickSearch*>(ref);
    // Results are not checked here: a missing device is reported afterwards.
    search->directInput->CreateDevice(instance->guidInstance, search->device.Put(), nullptr);
    if (search->device) search->device->QueryInterface(IID_IDirectInputDevice2, search->joystick.PutVoid());
    return DIENUM_STOP;
}

std::string NoJoystickMessage() {
    std::string m = std::string("\r\r") + msg::SNoJoystick + "\r\r";
    if (!ErrorLocation.empty()) m += "At: " + ErrorLocation + "\r\r";
    return m;
}

void SetRange(IDirectInputDevice* device, DWORD offset) {
    DIPROPRANGE range{};
    range.diph.dwSize = sizeof(DIPROPRANGE);
    range.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    range.diph.dwObj = offset;
    range.diph.dwHow = DIPH_BYOFFSET;
    range.lMin = kAxisMin;
    range.lMax = kAxisMax;
    CheckDirectX(device->SetProperty(DIPROP_RANGE, &range.diph));
}

// Whole-device values; their results are not checked.
void SetDeviceValue(IDirectInputDevice* device, DIPROPID property, DWORD value) {
    DIPROPDWORD d{};
    d.diph.dwSize = sizeof(DIPROPDWORD);
    d.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    d.diph.dwObj = 0;
    d.diph.dwHow = DIPH_DEVICE;
    d.dwData = value;
    device->SetProperty(property, &d.diph);
}

// The application's main form window, or null.
winsys::HWND MainFormWindow() {
    TApplication* app = Application();
    return app && app->MainForm() ? app->MainForm()->Handle() : nullptr;
}

}  // namespace

TQVXInput::TQVXInput(tk::TComponent* owner) : TQVXInputBase(owner) { ClearState(); }

TQVXInput::~TQVXInput() {
    if (FDevice) FDevice->Unacquire();
    FJoystick = nullptr;
    FDevice = nullptr;
    FDirectInput = nullptr;
}

void TQVXInput::GetProperties(tk::TPropList& props) {
    TQVXInputBase::GetProperties(props);
    props.Enumeration(
        "Device", {"Keyboard", "Mouse", "JoyStick"}, [this] { return static_cast<int64_t>(FDeviceKind); },
        [this](int64_t v) { FDeviceKind = static_cast<TInputDevice>(v); }, 0);
}

void TQVXInput::StartInput() {
    FJoystick = nullptr;
    FDevice = nullptr;
    FDirectInput = nullptr;
    ClearState();
    CheckDirectX(DirectInputCreateA(nullptr, 0x0500, FDirectInput.Put(), nullptr));
    winsys::HWND window = MainFormWindow();
    FStartedKind = FDeviceKind;
    switch (FStartedKind) {
        case TInputDevice::Keyboard:
            CheckDirectX(FDirectInput->CreateDevice(GUID_SysKeyboard, FDevice.Put(), nullptr));
            CheckDirectX(FDevice->SetDataFormat(&c_dfDIKeyboard));
            CheckDirectX(FDevice->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND));
            CheckDirectX(FDevice->Acquire());
            break;
        case TInputDevice::Mouse:
            CheckDirectX(FDirectInput->CreateDevice(GUID_SysMouse, FDevice.Put(), nullptr));
            CheckDirectX(FDevice->SetDataFormat(&c_dfDIMouse));
            CheckDirectX(FDevice->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_FOREGROUND));
            CheckDirectX(FDevice->Acquire());
            break;
        case TInputDevice::JoyStick: {
            JoystickSearch search;
            search.directInput = FDirectInput.Get();
            CheckDirectX(FDirectInput->EnumDevices(DIDEVTYPE_JOYSTICK, &FirstJoystick, &search, DIEDFL_ATTACHEDONLY));
            if (!search.device) throw EDirectX(NoJoystickMessage());
            FDevice = std::move(search.device);
            FJoystick = std::move(search.joystick);
            CheckDirectX(FDevice->SetDataFormat(&c_dfDIJoystick));
            CheckDirectX(FDevice->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_FOREGROUND));
            SetRange(FDevice.Get(), DIJOFS_X);
            SetRange(FDevice.Get(), DIJOFS_Y);
            SetDeviceValue(FDevice.Get(), DIPROP_DEADZONE, kDeadZone);
            SetDeviceValue(FDevice.Get(), DIPROP_SATURATION, kSaturation);
            SetDeviceValue(FDevice.Get(), DIPROP_AUTOCENTER, DIPROPAUTOCENTER_OFF);
            CheckDirectX(FDevice->Acquire());
            break;
        }
    }
}

void TQVXInput::ClearState() {
    FKeys.fill(0);
    FMouse = {};
    FJoy = {};
    for (DWORD& pov : FJoy.rgdwPOV) pov = JOY_POVCENTERED;
}

HRESULT TQVXInput::ReadState() {
    if (FJoystick) {
        HRESULT hr = FJoystick->Poll();
        if (FAILED(hr)) return hr;
    }
    switch (FStartedKind) {
        case TInputDevice::Keyboard: return FDevice->GetDeviceState(sizeof FKeys, FKeys.data());
        case TInputDevice::Mouse: return FDevice->GetDeviceState(sizeof FMouse, &FMouse);
        case TInputDevice::JoyStick: return FDevice->GetDeviceState(sizeof FJoy, &FJoy);
    }
    return DIERR_GENERIC;
}

bool TQVXInput::Update() {
    if (!FDevice) return false;
    HRESULT hr = ReadState();
    if (hr == DIERR_INPUTLOST || hr == DIERR_NOTACQUIRED) {
        // Taken away (background, unplugged): acquire again and go on.
        HRESULT again = FDevice->Acquire();
        hr = SUCCEEDED(again) ? ReadState() : again;
    }
    if (hr == DIERR_INPUTLOST || hr == DIERR_NOTACQUIRED || hr == DIERR_OTHERAPPHASPRIO || hr == DIERR_NOTFOUND) {
        ClearState();
        return false;
    }
    if (FAILED(hr)) CheckDirectX(hr);
    return true;
}

}  // namespace qvx
