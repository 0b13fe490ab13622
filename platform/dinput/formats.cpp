// The platform's standard data formats, as object tables: which object goes
// to which offset of the state a program reads.
#include <array>

#include "dinput.h"

namespace {

constexpr DWORD kOpt = DIDFT_OPTIONAL;

constexpr std::array<DIOBJECTDATAFORMAT, 256> kKeyboardObjects = [] {
    std::array<DIOBJECTDATAFORMAT, 256> a{};
    for (DWORD i = 0; i < 256; ++i) a[i] = {&GUID_Key, i, kOpt | DIDFT_BUTTON | DIDFT_MAKEINSTANCE(i), 0};
    return a;
}();

constexpr DIOBJECTDATAFORMAT kMouseObjects[] = {
    {&GUID_XAxis, DIMOFS_X, DIDFT_AXIS | DIDFT_ANYINSTANCE, 0},
    {&GUID_YAxis, DIMOFS_Y, DIDFT_AXIS | DIDFT_ANYINSTANCE, 0},
    {&GUID_ZAxis, DIMOFS_Z, kOpt | DIDFT_AXIS | DIDFT_ANYINSTANCE, 0},
    {nullptr, DIMOFS_BUTTON0, DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0},
    {nullptr, DIMOFS_BUTTON1, DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0},
    {nullptr, DIMOFS_BUTTON2, kOpt | DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0},
    {nullptr, DIMOFS_BUTTON3, kOpt | DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0},
};

constexpr std::array<DIOBJECTDATAFORMAT, 44> kJoystickObjects = [] {
    std::array<DIOBJECTDATAFORMAT, 44> a{};
    const DWORD axis = kOpt | DIDFT_AXIS | DIDFT_ANYINSTANCE;
    a[0] = {&GUID_XAxis, DIJOFS_X, axis, DIDOI_ASPECTPOSITION};
    a[1] = {&GUID_YAxis, DIJOFS_Y, axis, DIDOI_ASPECTPOSITION};
    a[2] = {&GUID_ZAxis, DIJOFS_Z, axis, DIDOI_ASPECTPOSITION};
    a[3] = {&GUID_RxAxis, DIJOFS_RX, axis, DIDOI_ASPECTPOSITION};
    a[4] = {&GUID_RyAxis, DIJOFS_RY, axis, DIDOI_ASPECTPOSITION};
    a[5] = {&GUID_RzAxis, DIJOFS_RZ, axis, DIDOI_ASPECTPOSITION};
    a[6] = {&GUID_Slider, DIJOFS_SLIDER(0), axis, DIDOI_ASPECTPOSITION};
    a[7] = {&GUID_Slider, DIJOFS_SLIDER(1), axis, DIDOI_ASPECTPOSITION};
    for (DWORD i = 0; i < 4; ++i) a[8 + i] = {&GUID_POV, DIJOFS_POV(i), kOpt | DIDFT_POV | DIDFT_ANYINSTANCE, 0};
    for (DWORD i = 0; i < 32; ++i) a[12 + i] = {nullptr, DIJOFS_BUTTON(i), kOpt | DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0};
    return a;
}();

}  // namespace

const DIDATAFORMAT c_dfDIKeyboard = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS, 256,
                                     static_cast<DWORD>(kKeyboardObjects.size()), kKeyboardObjects.data()};
const DIDATAFORMAT c_dfDIMouse = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS,
                                  sizeof(DIMOUSESTATE), static_cast<DWORD>(std::size(kMouseObjects)), kMouseObjects};
const DIDATAFORMAT c_dfDIJoystick = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_ABSAXIS,
                                     sizeof(DIJOYSTATE), static_cast<DWORD>(kJoystickObjects.size()),
                                     kJoystickObjects.data()};
