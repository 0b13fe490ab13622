// Key codes for key events that arrive without a hardware scan code (some
// window systems and input methods give only the key): the DIK_ code of the
// key in the usual position on a US layout.
#include <Qt>

#include "joysticks.h"

namespace dinput {

BYTE DikFromQtKey(int key) {
    if (key >= Qt::Key_F1 && key <= Qt::Key_F10) return static_cast<BYTE>(DIK_F1 + (key - Qt::Key_F1));
    static const struct {
        int qt;
        BYTE dik;
    } table[] = {
        {Qt::Key_Escape, DIK_ESCAPE}, {Qt::Key_1, DIK_1}, {Qt::Key_2, DIK_2}, {Qt::Key_3, DIK_3},
        {Qt::Key_4, DIK_4}, {Qt::Key_5, DIK_5}, {Qt::Key_6, DIK_6}, {Qt::Key_7, DIK_7},
        {Qt::Key_8, DIK_8}, {Qt::Key_9, DIK_9}, {Qt::Key_0, DIK_0}, {Qt::Key_Minus, DIK_MINUS},
        {Qt::Key_Equal, DIK_EQUALS}, {Qt::Key_Backspace, DIK_BACK}, {Qt::Key_Tab, DIK_TAB},
        {Qt::Key_Q, DIK_Q}, {Qt::Key_W, DIK_W}, {Qt::Key_E, DIK_E}, {Qt::Key_R, DIK_R},
        {Qt::Key_T, DIK_T}, {Qt::Key_Y, DIK_Y}, {Qt::Key_U, DIK_U}, {Qt::Key_I, DIK_I},
        {Qt::Key_O, DIK_O}, {Qt::Key_P, DIK_P}, {Qt::Key_BracketLeft, DIK_LBRACKET},
        {Qt::Key_BracketRight, DIK_RBRACKET}, {Qt::Key_Return, DIK_RETURN}, {Qt::Key_Enter, DIK_NUMPADENTER},
        {Qt::Key_Control, DIK_LCONTROL}, {Qt::Key_A, DIK_A}, {Qt::Key_S, DIK_S}, {Qt::Key_D, DIK_D},
        {Qt::Key_F, DIK_F}, {Qt::Key_G, DIK_G}, {Qt::Key_H, DIK_H}, {Qt::Key_J, DIK_J},
        {Qt::Key_K, DIK_K}, {Qt::Key_L, DIK_L}, {Qt::Key_Semicolon, DIK_SEMICOLON},
        {Qt::Key_Apostrophe, DIK_APOSTROPHE}, {Qt::Key_QuoteLeft, DIK_GRAVE}, {Qt::Key_Shift, DIK_LSHIFT},
        {Qt::Key_Backslash, DIK_BACKSLASH}, {Qt::Key_Z, DIK_Z}, {Qt::Key_X, DIK_X}, {Qt::Key_C, DIK_C},
        {Qt::Key_V, DIK_V}, {Qt::Key_B, DIK_B}, {Qt::Key_N, DIK_N}, {Qt::Key_M, DIK_M},
        {Qt::Key_Comma, DIK_COMMA}, {Qt::Key_Period, DIK_PERIOD}, {Qt::Key_Slash, DIK_SLASH},
        {Qt::Key_Asterisk, DIK_MULTIPLY}, {Qt::Key_Alt, DIK_LMENU}, {Qt::Key_Space, DIK_SPACE},
        {Qt::Key_CapsLock, DIK_CAPITAL}, {Qt::Key_NumLock, DIK_NUMLOCK}, {Qt::Key_ScrollLock, DIK_SCROLL},
        {Qt::Key_Plus, DIK_ADD}, {Qt::Key_F11, DIK_F11}, {Qt::Key_F12, DIK_F12},
        {Qt::Key_F13, DIK_F13}, {Qt::Key_F14, DIK_F14}, {Qt::Key_F15, DIK_F15},
        {Qt::Key_SysReq, DIK_SYSRQ}, {Qt::Key_Print, DIK_SYSRQ}, {Qt::Key_AltGr, DIK_RMENU},
        {Qt::Key_Pause, DIK_PAUSE}, {Qt::Key_Home, DIK_HOME}, {Qt::Key_Up, DIK_UP},
        {Qt::Key_PageUp, DIK_PRIOR}, {Qt::Key_Left, DIK_LEFT}, {Qt::Key_Right, DIK_RIGHT},
        {Qt::Key_End, DIK_END}, {Qt::Key_Down, DIK_DOWN}, {Qt::Key_PageDown, DIK_NEXT},
        {Qt::Key_Insert, DIK_INSERT}, {Qt::Key_Delete, DIK_DELETE}, {Qt::Key_Meta, DIK_LWIN},
        {Qt::Key_Menu, DIK_APPS},
    };
    for (const auto& e : table)
        if (e.qt == key) return e.dik;
    return 0;
}

}  // namespace dinput
