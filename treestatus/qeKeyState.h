#pragma once
// The toggle state of the lock keys (Caps Lock, Num Lock, Scroll Lock, and Insert as the
// overwrite toggle), read from the X server where the program has one and emulated otherwise
// (offscreen, or a key the server keeps no state for), and toggling them as a key press would.

enum : int { VK_CAPITAL = 20, VK_NUMLOCK = 144, VK_SCROLL = 145 };   // VK_INSERT is 45

// True when the key's toggle is on.
bool KeyToggled(int virtualKey);
// Toggles the key, leaving the other keys' states as they were.
void ToggleKey(int virtualKey);
// The key was pressed where the program saw it: the emulated state follows.
void NoteLockKeyPressed(int virtualKey);
// True when the states come from an X server.
bool LockKeysFromServer();
