#pragma once
// Asks the desktop to open a document, address or mail link, as the shell's "open" verb did.

#include <QString>
#include <functional>

// True when the desktop took the request. A path opens with its program, an address in the
// browser, a "mailto:" link in the mail program.
bool ShellOpen(const QString& target);

// Test seam: every request goes to the handler instead of the desktop while one is set.
void SetShellOpenHandler(std::function<bool(const QString& target)> handler);
