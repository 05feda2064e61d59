#pragma once
// The utility library's two cursors. No window of the program sets them.

#include <QCursor>

enum : int { crVzHand = 14000, crVzDrag = 14001 };

// The cursor registered under a number; the arrow for any other number.
QCursor VzCursor(int cursor);
