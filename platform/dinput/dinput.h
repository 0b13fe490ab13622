// DirectInput stand-in (interface version 0x0500): the system keyboard and
// mouse, read from the owner window's events, and joysticks (SDL2, or
// virtual ones in the headless backend, see headless/joysticks.h), with
// the platform's structures, data formats, flags and result codes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/com/com.h"
#include "platform/winsys/window.h"

constexpr DWORD DIRECTINPUT_VERSION = 0x0500;

// ---- Result codes ----------------------------------------------------------

constexpr HRESULT MakeWin32Error(DWORD code) { return static_cast<HRESULT>(0x80070000u | code); }

constexpr HRESULT DI_OK = S_OK;
constexpr HRESULT DI_NOTATTACHED = S_FALSE;
constexpr HRESULT DI_BUFFEROVERFLOW = S_FALSE;
constexpr HRESULT DI_PROPNOEFFECT = S_FALSE;
constexpr HRESULT DI_NOEFFECT = S_FALSE;
constexpr HRESULT DI_POLLEDDEVICE = 0x00000002;
constexpr HRESULT DI_DOWNLOADSKIPPED = 0x00000003;
constexpr HRESULT DI_EFFECTRESTARTED = 0x00000004;
constexpr HRESULT DI_TRUNCATED = 0x00000008;
constexpr HRESULT DI_TRUNCATEDANDRESTARTED = 0x0000000C;

constexpr HRESULT DIERR_OLDDIRECTINPUTVERSION = MakeWin32Error(1150);  // ERROR_OLD_WIN_VERSION
constexpr HRESULT DIERR_BETADIRECTINPUTVERSION = MakeWin32Error(1153);  // ERROR_RMODE_APP
constexpr HRESULT DIERR_BADDRIVERVER = MakeWin32Error(119);            // ERROR_BAD_DRIVER_LEVEL
constexpr HRESULT DIERR_DEVICENOTREG = static_cast<HRESULT>(0x80040154);  // REGDB_E_CLASSNOTREG
constexpr HRESULT DIERR_NOTFOUND = MakeWin32Error(2);                   // ERROR_FILE_NOT_FOUND
constexpr HRESULT DIERR_OBJECTNOTFOUND = MakeWin32Error(2);
constexpr HRESULT DIERR_INVALIDPARAM = E_INVALIDARG;
constexpr HRESULT DIERR_NOINTERFACE = E_NOINTERFACE;
constexpr HRESULT DIERR_GENERIC = E_FAIL;
constexpr HRESULT DIERR_OUTOFMEMORY = E_OUTOFMEMORY;
constexpr HRESULT DIERR_UNSUPPORTED = E_NOTIMPL;
constexpr HRESULT DIERR_NOTINITIALIZED = MakeWin32Error(21);       // ERROR_NOT_READY
constexpr HRESULT DIERR_ALREADYINITIALIZED = MakeWin32Error(1247);  // ERROR_ALREADY_INITIALIZED
constexpr HRESULT DIERR_NOAGGREGATION = CLASS_E_NOAGGREGATION;
constexpr HRESULT DIERR_OTHERAPPHASPRIO = MakeWin32Error(5);  // E_ACCESSDENIED
constexpr HRESULT DIERR_INPUTLOST = MakeWin32Error(30);       // ERROR_READ_FAULT
constexpr HRESULT DIERR_ACQUIRED = MakeWin32Error(170);       // ERROR_BUSY
constexpr HRESULT DIERR_NOTACQUIRED = MakeWin32Error(12);     // ERROR_INVALID_ACCESS
constexpr HRESULT DIERR_READONLY = MakeWin32Error(5);
constexpr HRESULT DIERR_HANDLEEXISTS = MakeWin32Error(5);
constexpr HRESULT DIERR_INSUFFICIENTPRIVS = static_cast<HRESULT>(0x80040200);
constexpr HRESULT DIERR_DEVICEFULL = static_cast<HRESULT>(0x80040201);
constexpr HRESULT DIERR_MOREDATA = static_cast<HRESULT>(0x80040202);
constexpr HRESULT DIERR_NOTDOWNLOADED = static_cast<HRESULT>(0x80040203);
constexpr HRESULT DIERR_HASEFFECTS = static_cast<HRESULT>(0x80040204);
constexpr HRESULT DIERR_NOTEXCLUSIVEACQUIRED = static_cast<HRESULT>(0x80040205);
constexpr HRESULT DIERR_INCOMPLETEEFFECT = static_cast<HRESULT>(0x80040206);
constexpr HRESULT DIERR_NOTBUFFERED = static_cast<HRESULT>(0x80040207);
constexpr HRESULT DIERR_EFFECTPLAYING = static_cast<HRESULT>(0x80040208);

// ---- Interface, device and object ids ------------------------------------------

inline constexpr IID IID_IDirectInputA = {0x89521360, 0xAA8A, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr IID IID_IDirectInputDeviceA = {0x5944E680, 0xC92E, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr IID IID_IDirectInputDevice2A = {0x5944E682, 0xC92E, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr IID IID_IDirectInput = IID_IDirectInputA;
inline constexpr IID IID_IDirectInputDevice = IID_IDirectInputDeviceA;
inline constexpr IID IID_IDirectInputDevice2 = IID_IDirectInputDevice2A;

inline constexpr GUID GUID_SysMouse = {0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_SysKeyboard = {0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_Joystick = {0x6F1D2B70, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

inline constexpr GUID GUID_XAxis = {0xA36D02E0, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_YAxis = {0xA36D02E1, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_ZAxis = {0xA36D02E2, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_RxAxis = {0xA36D02F4, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_RyAxis = {0xA36D02F5, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_RzAxis = {0xA36D02E3, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_Slider = {0xA36D02E4, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_Button = {0xA36D02F0, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_Key = {0x55728220, 0xD33C, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_POV = {0xA36D02F2, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_Unknown = {0xA36D02F3, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

// ---- Device types, enumeration, cooperation ----------------------------------------

constexpr DWORD DIDEVTYPE_DEVICE = 1;
constexpr DWORD DIDEVTYPE_MOUSE = 2;
constexpr DWORD DIDEVTYPE_KEYBOARD = 3;
constexpr DWORD DIDEVTYPE_JOYSTICK = 4;
constexpr DWORD DIDEVTYPE_HID = 0x00010000;
constexpr DWORD DIDEVTYPEMOUSE_UNKNOWN = 1;
constexpr DWORD DIDEVTYPEMOUSE_TRADITIONAL = 2;
constexpr DWORD DIDEVTYPEKEYBOARD_PCENH = 4;
constexpr DWORD DIDEVTYPEJOYSTICK_UNKNOWN = 1;
constexpr DWORD DIDEVTYPEJOYSTICK_TRADITIONAL = 2;
constexpr DWORD DIDEVTYPEJOYSTICK_GAMEPAD = 4;
constexpr BYTE GET_DIDEVICE_TYPE(DWORD devType) { return static_cast<BYTE>(devType & 0xFF); }
constexpr BYTE GET_DIDEVICE_SUBTYPE(DWORD devType) { return static_cast<BYTE>((devType >> 8) & 0xFF); }

constexpr DWORD DIEDFL_ALLDEVICES = 0x00000000;
constexpr DWORD DIEDFL_ATTACHEDONLY = 0x00000001;
constexpr DWORD DIEDFL_FORCEFEEDBACK = 0x00000100;
constexpr BOOL DIENUM_STOP = 0;
constexpr BOOL DIENUM_CONTINUE = 1;

constexpr DWORD DISCL_EXCLUSIVE = 0x00000001;
constexpr DWORD DISCL_NONEXCLUSIVE = 0x00000002;
constexpr DWORD DISCL_FOREGROUND = 0x00000004;
constexpr DWORD DISCL_BACKGROUND = 0x00000008;

constexpr DWORD DIDC_ATTACHED = 0x00000001;
constexpr DWORD DIDC_POLLEDDEVICE = 0x00000002;
constexpr DWORD DIDC_EMULATED = 0x00000004;
constexpr DWORD DIDC_POLLEDDATAFORMAT = 0x00000008;
constexpr DWORD DIDC_FORCEFEEDBACK = 0x00000100;

// ---- Data formats -------------------------------------------------------------------

constexpr DWORD DIDFT_ALL = 0x00000000;
constexpr DWORD DIDFT_RELAXIS = 0x00000001;
constexpr DWORD DIDFT_ABSAXIS = 0x00000002;
constexpr DWORD DIDFT_AXIS = 0x00000003;
constexpr DWORD DIDFT_PSHBUTTON = 0x00000004;
constexpr DWORD DIDFT_TGLBUTTON = 0x00000008;
constexpr DWORD DIDFT_BUTTON = 0x0000000C;
constexpr DWORD DIDFT_POV = 0x00000010;
constexpr DWORD DIDFT_COLLECTION = 0x00000040;
constexpr DWORD DIDFT_NODATA = 0x00000080;
constexpr DWORD DIDFT_ANYINSTANCE = 0x00FFFF00;
constexpr DWORD DIDFT_INSTANCEMASK = DIDFT_ANYINSTANCE;
constexpr DWORD DIDFT_FFACTUATOR = 0x01000000;
constexpr DWORD DIDFT_FFEFFECTTRIGGER = 0x02000000;
constexpr DWORD DIDFT_NOCOLLECTION = 0x00FFFF00;
constexpr DWORD DIDFT_OPTIONAL = 0x80000000;
constexpr DWORD DIDFT_MAKEINSTANCE(DWORD n) { return static_cast<WORD>(n) << 8; }
constexpr BYTE DIDFT_GETTYPE(DWORD n) { return static_cast<BYTE>(n & 0xFF); }
constexpr WORD DIDFT_GETINSTANCE(DWORD n) { return static_cast<WORD>(n >> 8); }

constexpr DWORD DIDF_ABSAXIS = 0x00000001;
constexpr DWORD DIDF_RELAXIS = 0x00000002;
constexpr DWORD DIDOI_ASPECTPOSITION = 0x00000100;

struct DIOBJECTDATAFORMAT {
    const GUID* pguid;  // object type, or null for any
    DWORD dwOfs;        // where its value goes in the device state
    DWORD dwType;       // DIDFT_ type and instance
    DWORD dwFlags;
};

struct DIDATAFORMAT {
    DWORD dwSize;     // sizeof(DIDATAFORMAT)
    DWORD dwObjSize;  // sizeof(DIOBJECTDATAFORMAT)
    DWORD dwFlags;    // DIDF_ABSAXIS or DIDF_RELAXIS
    DWORD dwDataSize; // bytes of device state, a multiple of 4
    DWORD dwNumObjs;
    const DIOBJECTDATAFORMAT* rgodf;
};

// The standard formats: 256 key bytes; DIMOUSESTATE; DIJOYSTATE.
extern const DIDATAFORMAT c_dfDIKeyboard;
extern const DIDATAFORMAT c_dfDIMouse;
extern const DIDATAFORMAT c_dfDIJoystick;

struct DIMOUSESTATE {
    LONG lX;
    LONG lY;
    LONG lZ;
    BYTE rgbButtons[4];
};
static_assert(sizeof(DIMOUSESTATE) == 16);
constexpr DWORD DIMOFS_X = offsetof(DIMOUSESTATE, lX);
constexpr DWORD DIMOFS_Y = offsetof(DIMOUSESTATE, lY);
constexpr DWORD DIMOFS_Z = offsetof(DIMOUSESTATE, lZ);
constexpr DWORD DIMOFS_BUTTON0 = offsetof(DIMOUSESTATE, rgbButtons) + 0;
constexpr DWORD DIMOFS_BUTTON1 = offsetof(DIMOUSESTATE, rgbButtons) + 1;
constexpr DWORD DIMOFS_BUTTON2 = offsetof(DIMOUSESTATE, rgbButtons) + 2;
constexpr DWORD DIMOFS_BUTTON3 = offsetof(DIMOUSESTATE, rgbButtons) + 3;

struct DIJOYSTATE {
    LONG lX;
    LONG lY;
    LONG lZ;
    LONG lRx;
    LONG lRy;
    LONG lRz;
    LONG rglSlider[2];
    DWORD rgdwPOV[4];  // hundredths of a degree clockwise from north; centred: 0xFFFFFFFF
    BYTE rgbButtons[32];
};
static_assert(sizeof(DIJOYSTATE) == 80);
constexpr DWORD DIJOFS_X = offsetof(DIJOYSTATE, lX);
constexpr DWORD DIJOFS_Y = offsetof(DIJOYSTATE, lY);
constexpr DWORD DIJOFS_Z = offsetof(DIJOYSTATE, lZ);
constexpr DWORD DIJOFS_RX = offsetof(DIJOYSTATE, lRx);
constexpr DWORD DIJOFS_RY = offsetof(DIJOYSTATE, lRy);
constexpr DWORD DIJOFS_RZ = offsetof(DIJOYSTATE, lRz);
constexpr DWORD DIJOFS_SLIDER(DWORD n) { return offsetof(DIJOYSTATE, rglSlider) + n * sizeof(LONG); }
constexpr DWORD DIJOFS_POV(DWORD n) { return offsetof(DIJOYSTATE, rgdwPOV) + n * sizeof(DWORD); }
constexpr DWORD DIJOFS_BUTTON(DWORD n) { return offsetof(DIJOYSTATE, rgbButtons) + n; }
constexpr DWORD JOY_POVCENTERED = 0xFFFFFFFF;

// ---- Properties -------------------------------------------------------------------

// Properties are named by small numbers where the platform uses GUID
// references; calls read the same: SetProperty(DIPROP_RANGE, &range.diph).
struct DIPROPID {
    uintptr_t id;
    bool operator==(const DIPROPID&) const = default;
};
inline constexpr DIPROPID DIPROP_BUFFERSIZE{1};
inline constexpr DIPROPID DIPROP_AXISMODE{2};
inline constexpr DIPROPID DIPROP_GRANULARITY{3};
inline constexpr DIPROPID DIPROP_RANGE{4};
inline constexpr DIPROPID DIPROP_DEADZONE{5};
inline constexpr DIPROPID DIPROP_SATURATION{6};
inline constexpr DIPROPID DIPROP_FFGAIN{7};
inline constexpr DIPROPID DIPROP_FFLOAD{8};
inline constexpr DIPROPID DIPROP_AUTOCENTER{9};
inline constexpr DIPROPID DIPROP_CALIBRATIONMODE{10};

constexpr DWORD DIPROPAXISMODE_ABS = 0;
constexpr DWORD DIPROPAXISMODE_REL = 1;
constexpr DWORD DIPROPAUTOCENTER_OFF = 0;
constexpr DWORD DIPROPAUTOCENTER_ON = 1;
constexpr LONG DIPROPRANGE_NOMIN = static_cast<LONG>(0x80000000);
constexpr LONG DIPROPRANGE_NOMAX = 0x7FFFFFFF;

constexpr DWORD DIPH_DEVICE = 0;
constexpr DWORD DIPH_BYOFFSET = 1;
constexpr DWORD DIPH_BYID = 2;

struct DIPROPHEADER {
    DWORD dwSize;
    DWORD dwHeaderSize;
    DWORD dwObj;
    DWORD dwHow;
};
struct DIPROPDWORD {
    DIPROPHEADER diph;
    DWORD dwData;
};
struct DIPROPRANGE {
    DIPROPHEADER diph;
    LONG lMin;
    LONG lMax;
};
static_assert(sizeof(DIPROPHEADER) == 16);
static_assert(sizeof(DIPROPDWORD) == 20);
static_assert(sizeof(DIPROPRANGE) == 24);

// ---- Device descriptions -------------------------------------------------------------

struct DIDEVICEINSTANCEA {
    DWORD dwSize;
    GUID guidInstance;
    GUID guidProduct;
    DWORD dwDevType;
    char tszInstanceName[260];
    char tszProductName[260];
    GUID guidFFDriver;
    WORD wUsagePage;
    WORD wUsage;
};
static_assert(sizeof(DIDEVICEINSTANCEA) == 580);

struct DIDEVCAPS {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwDevType;
    DWORD dwAxes;
    DWORD dwButtons;
    DWORD dwPOVs;
    DWORD dwFFSamplePeriod;
    DWORD dwFFMinTimeResolution;
    DWORD dwFirmwareRevision;
    DWORD dwHardwareRevision;
    DWORD dwFFDriverVersion;
};
static_assert(sizeof(DIDEVCAPS) == 44);

using LPDIENUMDEVICESCALLBACKA = BOOL (*)(const DIDEVICEINSTANCEA* instance, void* ref);

// ---- Interfaces -------------------------------------------------------------------

class IDirectInputDevice : public IUnknown {
public:
    virtual HRESULT GetCapabilities(DIDEVCAPS* caps) = 0;
    virtual HRESULT GetProperty(DIPROPID property, DIPROPHEADER* header) = 0;
    virtual HRESULT SetProperty(DIPROPID property, const DIPROPHEADER* header) = 0;
    virtual HRESULT Acquire() = 0;
    virtual HRESULT Unacquire() = 0;
    virtual HRESULT GetDeviceState(DWORD size, void* data) = 0;
    virtual HRESULT SetDataFormat(const DIDATAFORMAT* format) = 0;
    virtual HRESULT SetCooperativeLevel(winsys::HWND window, DWORD flags) = 0;
    virtual HRESULT GetDeviceInfo(DIDEVICEINSTANCEA* instance) = 0;
};

class IDirectInputDevice2 : public IDirectInputDevice {
public:
    // Reads a polled device (joysticks); DI_NOEFFECT for the others.
    virtual HRESULT Poll() = 0;
};

class IDirectInput : public IUnknown {
public:
    virtual HRESULT CreateDevice(const GUID& device, IDirectInputDevice** out, IUnknown* outer) = 0;
    virtual HRESULT EnumDevices(DWORD devType, LPDIENUMDEVICESCALLBACKA callback, void* ref, DWORD flags) = 0;
    // DI_OK when attached, DI_NOTATTACHED when known but unplugged.
    virtual HRESULT GetDeviceStatus(const GUID& device) = 0;
};

// `instance` identifies the calling module; it is not used on this platform.
HRESULT DirectInputCreateA(void* instance, DWORD version, IDirectInput** out, IUnknown* outer);

// ---- Keyboard codes (scan code set 1; 0xE0-prefixed keys as 0x80 | code) ---

constexpr BYTE DIK_ESCAPE = 0x01;
constexpr BYTE DIK_1 = 0x02;
constexpr BYTE DIK_2 = 0x03;
constexpr BYTE DIK_3 = 0x04;
constexpr BYTE DIK_4 = 0x05;
constexpr BYTE DIK_5 = 0x06;
constexpr BYTE DIK_6 = 0x07;
constexpr BYTE DIK_7 = 0x08;
constexpr BYTE DIK_8 = 0x09;
constexpr BYTE DIK_9 = 0x0A;
constexpr BYTE DIK_0 = 0x0B;
constexpr BYTE DIK_MINUS = 0x0C;
constexpr BYTE DIK_EQUALS = 0x0D;
constexpr BYTE DIK_BACK = 0x0E;
constexpr BYTE DIK_TAB = 0x0F;
constexpr BYTE DIK_Q = 0x10;
constexpr BYTE DIK_W = 0x11;
constexpr BYTE DIK_E = 0x12;
constexpr BYTE DIK_R = 0x13;
constexpr BYTE DIK_T = 0x14;
constexpr BYTE DIK_Y = 0x15;
constexpr BYTE DIK_U = 0x16;
constexpr BYTE DIK_I = 0x17;
constexpr BYTE DIK_O = 0x18;
constexpr BYTE DIK_P = 0x19;
constexpr BYTE DIK_LBRACKET = 0x1A;
constexpr BYTE DIK_RBRACKET = 0x1B;
constexpr BYTE DIK_RETURN = 0x1C;
constexpr BYTE DIK_LCONTROL = 0x1D;
constexpr BYTE DIK_A = 0x1E;
constexpr BYTE DIK_S = 0x1F;
constexpr BYTE DIK_D = 0x20;
constexpr BYTE DIK_F = 0x21;
constexpr BYTE DIK_G = 0x22;
constexpr BYTE DIK_H = 0x23;
constexpr BYTE DIK_J = 0x24;
constexpr BYTE DIK_K = 0x25;
constexpr BYTE DIK_L = 0x26;
constexpr BYTE DIK_SEMICOLON = 0x27;
constexpr BYTE DIK_APOSTROPHE = 0x28;
constexpr BYTE DIK_GRAVE = 0x29;
constexpr BYTE DIK_LSHIFT = 0x2A;
constexpr BYTE DIK_BACKSLASH = 0x2B;
constexpr BYTE DIK_Z = 0x2C;
constexpr BYTE DIK_X = 0x2D;
constexpr BYTE DIK_C = 0x2E;
constexpr BYTE DIK_V = 0x2F;
constexpr BYTE DIK_B = 0x30;
constexpr BYTE DIK_N = 0x31;
constexpr BYTE DIK_M = 0x32;
constexpr BYTE DIK_COMMA = 0x33;
constexpr BYTE DIK_PERIOD = 0x34;
constexpr BYTE DIK_SLASH = 0x35;
constexpr BYTE DIK_RSHIFT = 0x36;
constexpr BYTE DIK_MULTIPLY = 0x37;
constexpr BYTE DIK_LMENU = 0x38;
constexpr BYTE DIK_SPACE = 0x39;
constexpr BYTE DIK_CAPITAL = 0x3A;
constexpr BYTE DIK_F1 = 0x3B;
constexpr BYTE DIK_F2 = 0x3C;
constexpr BYTE DIK_F3 = 0x3D;
constexpr BYTE DIK_F4 = 0x3E;
constexpr BYTE DIK_F5 = 0x3F;
constexpr BYTE DIK_F6 = 0x40;
constexpr BYTE DIK_F7 = 0x41;
constexpr BYTE DIK_F8 = 0x42;
constexpr BYTE DIK_F9 = 0x43;
constexpr BYTE DIK_F10 = 0x44;
constexpr BYTE DIK_NUMLOCK = 0x45;
constexpr BYTE DIK_SCROLL = 0x46;
constexpr BYTE DIK_NUMPAD7 = 0x47;
constexpr BYTE DIK_NUMPAD8 = 0x48;
constexpr BYTE DIK_NUMPAD9 = 0x49;
constexpr BYTE DIK_SUBTRACT = 0x4A;
constexpr BYTE DIK_NUMPAD4 = 0x4B;
constexpr BYTE DIK_NUMPAD5 = 0x4C;
constexpr BYTE DIK_NUMPAD6 = 0x4D;
constexpr BYTE DIK_ADD = 0x4E;
constexpr BYTE DIK_NUMPAD1 = 0x4F;
constexpr BYTE DIK_NUMPAD2 = 0x50;
constexpr BYTE DIK_NUMPAD3 = 0x51;
constexpr BYTE DIK_NUMPAD0 = 0x52;
constexpr BYTE DIK_DECIMAL = 0x53;
constexpr BYTE DIK_OEM_102 = 0x56;
constexpr BYTE DIK_F11 = 0x57;
constexpr BYTE DIK_F12 = 0x58;
constexpr BYTE DIK_F13 = 0x64;
constexpr BYTE DIK_F14 = 0x65;
constexpr BYTE DIK_F15 = 0x66;
constexpr BYTE DIK_KANA = 0x70;
constexpr BYTE DIK_CONVERT = 0x79;
constexpr BYTE DIK_NOCONVERT = 0x7B;
constexpr BYTE DIK_YEN = 0x7D;
constexpr BYTE DIK_NUMPADEQUALS = 0x8D;
constexpr BYTE DIK_CIRCUMFLEX = 0x90;
constexpr BYTE DIK_AT = 0x91;
constexpr BYTE DIK_COLON = 0x92;
constexpr BYTE DIK_UNDERLINE = 0x93;
constexpr BYTE DIK_KANJI = 0x94;
constexpr BYTE DIK_STOP = 0x95;
constexpr BYTE DIK_AX = 0x96;
constexpr BYTE DIK_UNLABELED = 0x97;
constexpr BYTE DIK_NUMPADENTER = 0x9C;
constexpr BYTE DIK_RCONTROL = 0x9D;
constexpr BYTE DIK_NUMPADCOMMA = 0xB3;
constexpr BYTE DIK_DIVIDE = 0xB5;
constexpr BYTE DIK_SYSRQ = 0xB7;
constexpr BYTE DIK_RMENU = 0xB8;
constexpr BYTE DIK_PAUSE = 0xC5;
constexpr BYTE DIK_HOME = 0xC7;
constexpr BYTE DIK_UP = 0xC8;
constexpr BYTE DIK_PRIOR = 0xC9;
constexpr BYTE DIK_LEFT = 0xCB;
constexpr BYTE DIK_RIGHT = 0xCD;
constexpr BYTE DIK_END = 0xCF;
constexpr BYTE DIK_DOWN = 0xD0;
constexpr BYTE DIK_NEXT = 0xD1;
constexpr BYTE DIK_INSERT = 0xD2;
constexpr BYTE DIK_DELETE = 0xD3;
constexpr BYTE DIK_LWIN = 0xDB;
constexpr BYTE DIK_RWIN = 0xDC;
constexpr BYTE DIK_APPS = 0xDD;

constexpr BYTE DIK_BACKSPACE = DIK_BACK;
constexpr BYTE DIK_NUMPADSTAR = DIK_MULTIPLY;
constexpr BYTE DIK_LALT = DIK_LMENU;
constexpr BYTE DIK_CAPSLOCK = DIK_CAPITAL;
constexpr BYTE DIK_NUMPADMINUS = DIK_SUBTRACT;
constexpr BYTE DIK_NUMPADPLUS = DIK_ADD;
constexpr BYTE DIK_NUMPADPERIOD = DIK_DECIMAL;
constexpr BYTE DIK_NUMPADSLASH = DIK_DIVIDE;
constexpr BYTE DIK_RALT = DIK_RMENU;
constexpr BYTE DIK_UPARROW = DIK_UP;
constexpr BYTE DIK_PGUP = DIK_PRIOR;
constexpr BYTE DIK_LEFTARROW = DIK_LEFT;
constexpr BYTE DIK_RIGHTARROW = DIK_RIGHT;
constexpr BYTE DIK_DOWNARROW = DIK_DOWN;
constexpr BYTE DIK_PGDN = DIK_NEXT;
