#pragma once

#include <QString>

#include <cstdint>

// Windows virtual-key codes: what the controls' key events report and what
// the settings file keeps for a hot key, so that a file written by the
// Windows program reads the same here.
namespace VirtualKeys {

// The code of a Qt key; `keypad` for a key of the numeric keypad (Qt's
// KeypadModifier). Shifted symbols give their key's code ("!" is 1, ":" is
// the ";" key). 0 for keys that have none.
std::uint32_t fromQt(int key, bool keypad = false);

// The key's name as Windows gives it on a US keyboard ("A", "5", "F5",
// "Num 1", "Num +", "Space", "Esc", "Page Up", ";", "Right Windows"); the
// navigation keys by their own names, not the keypad's. Empty for a code
// without a name.
QString name(std::uint32_t code);

} // namespace VirtualKeys
