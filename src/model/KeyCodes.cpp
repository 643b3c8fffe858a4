#include "KeyCodes.h"

namespace zl {

namespace {

struct Row
{
    quint32 virtualCode;
    quint8 x11Code;
};

// X11 keycode = evdev code + 8. Cross-checked against linux/input-event-codes.h and the
// positional virtual key code table; the ISO key beside left Shift is the section key (10),
// the key left of 1 is the grave key (50), Insert sits where the help key is (114).
constexpr Row kRows[] = {
    // Letters
    {0x00, 38},  // A
    {0x01, 39},  // S
    {0x02, 40},  // D
    {0x03, 41},  // F
    {0x04, 43},  // H
    {0x05, 42},  // G
    {0x06, 52},  // Z
    {0x07, 53},  // X
    {0x08, 54},  // C
    {0x09, 55},  // V
    {0x0A, 94},  // ISO key between left Shift and Z
    {0x0B, 56},  // B
    {0x0C, 24},  // Q
    {0x0D, 25},  // W
    {0x0E, 26},  // E
    {0x0F, 27},  // R
    {0x10, 29},  // Y
    {0x11, 28},  // T
    {0x1F, 32},  // O
    {0x20, 30},  // U
    {0x22, 31},  // I
    {0x23, 33},  // P
    {0x25, 46},  // L
    {0x26, 44},  // J
    {0x28, 45},  // K
    {0x2D, 57},  // N
    {0x2E, 58},  // M
    // Digits and punctuation
    {0x12, 10},  // 1
    {0x13, 11},  // 2
    {0x14, 12},  // 3
    {0x15, 13},  // 4
    {0x16, 15},  // 6
    {0x17, 14},  // 5
    {0x18, 21},  // =
    {0x19, 18},  // 9
    {0x1A, 16},  // 7
    {0x1B, 20},  // -
    {0x1C, 17},  // 8
    {0x1D, 19},  // 0
    {0x1E, 35},  // ]
    {0x21, 34},  // [
    {0x27, 48},  // '
    {0x29, 47},  // ;
    {0x2A, 51},  // backslash
    {0x2B, 59},  // ,
    {0x2C, 61},  // /
    {0x2F, 60},  // .
    {0x32, 49},  // grave, left of 1
    // Editing and whitespace
    {0x24, 36},  // Return
    {0x30, 23},  // Tab
    {0x31, 65},  // Space
    {0x33, 22},  // Backspace
    {0x35, 9},   // Escape
    {0x75, 119}, // Delete
    {0x72, 118}, // Insert
    {0x6E, 135}, // Menu
    // Modifiers and locks
    {0x37, 133}, // left Super
    {0x36, 134}, // right Super
    {0x38, 50},  // left Shift
    {0x3C, 62},  // right Shift
    {0x39, 66},  // Caps Lock
    {0x3A, 64},  // left Alt
    {0x3D, 108}, // right Alt
    {0x3B, 37},  // left Control
    {0x3E, 105}, // right Control
    // Navigation and arrows
    {0x73, 110}, // Home
    {0x77, 115}, // End
    {0x74, 112}, // Page Up
    {0x79, 117}, // Page Down
    {0x7B, 113}, // Left
    {0x7C, 114}, // Right
    {0x7D, 116}, // Down
    {0x7E, 111}, // Up
    // Function keys
    {0x7A, 67},  // F1
    {0x78, 68},  // F2
    {0x63, 69},  // F3
    {0x76, 70},  // F4
    {0x60, 71},  // F5
    {0x61, 72},  // F6
    {0x62, 73},  // F7
    {0x64, 74},  // F8
    {0x65, 75},  // F9
    {0x6D, 76},  // F10
    {0x67, 95},  // F11
    {0x6F, 96},  // F12
    {0x69, 191}, // F13
    {0x6B, 192}, // F14
    {0x71, 193}, // F15
    {0x6A, 194}, // F16
    {0x40, 195}, // F17
    {0x4F, 196}, // F18
    {0x50, 197}, // F19
    {0x5A, 198}, // F20
    // Keypad
    {0x47, 77},  // Num Lock, the clear key's position
    {0x4B, 106}, // KP /
    {0x43, 63},  // KP *
    {0x4E, 82},  // KP -
    {0x45, 86},  // KP +
    {0x4C, 104}, // KP Enter
    {0x41, 91},  // KP .
    {0x51, 125}, // KP =
    {0x52, 90},  // KP 0
    {0x53, 87},  // KP 1
    {0x54, 88},  // KP 2
    {0x55, 89},  // KP 3
    {0x56, 83},  // KP 4
    {0x57, 84},  // KP 5
    {0x58, 85},  // KP 6
    {0x59, 79},  // KP 7
    {0x5B, 80},  // KP 8
    {0x5C, 81},  // KP 9
    // Volume keys, which have virtual codes of their own
    {0x4A, 121}, // Mute
    {0x49, 122}, // Volume Down
    {0x48, 123}, // Volume Up
};

constexpr quint8 kMinX11KeyCode = 8;

} // namespace

std::optional<quint8> KeyCodes::x11KeyCode(quint32 virtualKeyCode)
{
    if (virtualKeyCode >= ExtendedBase) {
        const quint32 x11 = virtualKeyCode - ExtendedBase;
        if (x11 < kMinX11KeyCode || x11 > 255)
            return std::nullopt;
        return static_cast<quint8>(x11);
    }
    for (const Row &row : kRows) {
        if (row.virtualCode == virtualKeyCode)
            return row.x11Code;
    }
    return std::nullopt;
}

quint32 KeyCodes::virtualKeyCode(quint8 x11KeyCode)
{
    for (const Row &row : kRows) {
        if (row.x11Code == x11KeyCode)
            return row.virtualCode;
    }
    return ExtendedBase + x11KeyCode;
}

} // namespace zl
