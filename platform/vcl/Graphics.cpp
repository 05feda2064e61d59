#include "platform/vcl/Graphics.h"

#include <QApplication>
#include <QPalette>

namespace {

QColor SystemColor(int index)
{
    const QPalette pal = QApplication::palette();
    switch (index) {
    case 0: return pal.color(QPalette::Button);
    case 1: return pal.color(QPalette::Window);
    case 2: return pal.color(QPalette::Highlight);
    case 3: return pal.color(QPalette::Inactive, QPalette::Highlight);
    case 4: return pal.color(QPalette::Window);
    case 5: return pal.color(QPalette::Base);
    case 6: return pal.color(QPalette::Shadow);
    case 7: return pal.color(QPalette::WindowText);
    case 8: return pal.color(QPalette::Text);
    case 9: return pal.color(QPalette::HighlightedText);
    case 10: case 11: return pal.color(QPalette::Window);
    case 12: return pal.color(QPalette::Dark);
    case 13: return pal.color(QPalette::Highlight);
    case 14: return pal.color(QPalette::HighlightedText);
    case 15: return pal.color(QPalette::Button);
    case 16: return pal.color(QPalette::Mid);
    case 17: return pal.color(QPalette::Disabled, QPalette::Text);
    case 18: return pal.color(QPalette::ButtonText);
    case 19: return pal.color(QPalette::Inactive, QPalette::HighlightedText);
    case 20: return pal.color(QPalette::Light);
    case 21: return pal.color(QPalette::Shadow);
    case 22: return pal.color(QPalette::Midlight);
    case 23: return pal.color(QPalette::ToolTipText);
    case 24: return pal.color(QPalette::ToolTipBase);
    default: return pal.color(QPalette::Window);
    }
}

} // namespace

TColor ColorToRGB(TColor color)
{
    if (color & clSystemColor) return QColorToColor(SystemColor(color & 0xFF));
    return color & 0xFFFFFF;
}

QColor ColorToQColor(TColor color)
{
    if (color == clNone || color == clDefault) return QColor();
    if (color & clSystemColor) return SystemColor(color & 0xFF);
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

TColor QColorToColor(const QColor& c)
{
    if (!c.isValid()) return clNone;
    return RGBToColor(c.red(), c.green(), c.blue());
}
