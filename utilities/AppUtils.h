#pragma once
// Settings-file routines under the window storage and the recent-strings list: default names,
// one value through a settings object, position texts keyed by the screen size, and writing
// and applying a window's placement.

#include "platform/core/IniFiles.h"

#include <QPoint>
#include <QString>
#include <functional>

class QObject;
class QWidget;

// What the placement needs of the screen. One source answers for the whole program, so that
// placement can be tested exactly; by default it is the primary screen.
struct TScreenMetrics {
    int Width = 1024;
    int Height = 768;
    int PixelsPerInch = 96;
    int BorderCx = 1, BorderCy = 1;        // thin border
    int FrameCx = 4, FrameCy = 4;          // sizing frame
    int DlgFrameCx = 3, DlgFrameCy = 3;    // dialog frame
    bool operator==(const TScreenMetrics&) const = default;
};
TScreenMetrics ScreenMetrics();
// Replaces the source; an empty function restores the real screen.
void SetScreenMetricsSource(std::function<TScreenMetrics()> source);

// Forms. A form is a top-level window or the contents of a multiple-document child window.
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
bool IsForm(const QObject* object);
// The form an object sits on (itself when it is one), or null.
QWidget* FormOf(const QObject* object);
// The window whose geometry is the form's placement: the child window frame for the contents
// of a multiple-document child, else the form itself.
QWidget* PlacementWindow(QWidget* form);
bool IsMDIChild(const QWidget* form);
bool IsMDIFrame(const QWidget* form);
// A form's "BorderStyle" property when it has one (a TFormBorderStyle value or its name);
// otherwise derived from its window: fixed size or a fixed-size dialog hint, frameless, tool.
TFormBorderStyle FormBorderStyle(const QWidget* form);
// The application's main form is this one, or there is none yet.
bool IsMainFormOrNone(const QWidget* form);

// Show commands and placement flags as the settings file stores them.
enum : int { SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_SHOWMINIMIZED = 2, SW_SHOWMAXIMIZED = 3, SW_MINIMIZE = 6,
             SW_SHOWMINNOACTIVE = 7, SW_SHOW = 5, SW_RESTORE = 9 };
enum : int { WPF_SETMINPOSITION = 1, WPF_RESTORETOMAXIMIZED = 2 };

// A window's placement: normal rectangle as left, top, right, bottom (right and bottom just
// outside), in the coordinates of the window's parent area.
struct TWindowPlacement {
    int Length = 44;
    int Flags = 0;
    int ShowCmd = SW_SHOWNORMAL;
    QPoint MinPosition{-1, -1};
    QPoint MaxPosition{-1, -1};
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
};
TWindowPlacement GetWindowPlacement(QWidget* form);
// Applies the normal rectangle and remembers the minimized and maximized positions; the
// window's state is left as it is.
void SetWindowPlacement(QWidget* form, const TWindowPlacement& placement);
// The maximized position the placement reports and stores.
void SetMaxPosition(QWidget* form, const QPoint& position);
// Keeps track of the normal rectangle of a multiple-document child while it is maximized or
// minimized (top-level windows keep it themselves).
void TrackNormalGeometry(QWidget* form);

// Default names.
extern std::function<QString()> DefaultSettingsFileNameHook;
extern QString DefaultCompanyName;
extern bool RegistryKeyUsesTitle;
QString DefaultSettingsSection(const QObject* component);
QString DefaultSettingsFileName();
QString DefaultSettingsRegistryKey();

// One value through a settings object; none (null) reads the default and writes nothing.
// Written to a settings file, a value that begins and ends with the same quote character is
// wrapped in one more pair of double quotes, so that reading gives it back whole.
QString SettingsReadString(const TCustomIniFile* settings, const QString& section, const QString& ident, const QString& def);
void SettingsWriteString(TCustomIniFile* settings, const QString& section, const QString& ident, const QString& value);
int SettingsReadInteger(const TCustomIniFile* settings, const QString& section, const QString& ident, int def);
void SettingsWriteInteger(TCustomIniFile* settings, const QString& section, const QString& ident, int value);
void SettingsEraseSection(TCustomIniFile* settings, const QString& section);
void SettingsDeleteKey(TCustomIniFile* settings, const QString& section, const QString& ident);

QString ScreenSizeSuffix();   // "(1024x768)"
QString ReadPositionString(const TCustomIniFile* settings, const QString& section, const QString& ident);
void WritePositionString(TCustomIniFile* settings, const QString& section, const QString& ident, const QString& value);
void WriteWindowPlacement(QWidget* form, TCustomIniFile* settings, const QString& section);
void ReadWindowPlacement(QWidget* form, const TCustomIniFile* settings, const QString& section, bool loadState,
                         bool loadPosition);
