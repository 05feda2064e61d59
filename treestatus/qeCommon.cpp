#include "treestatus/qeCommon.h"

#include <QCursor>
#include <QStringList>

QPoint GetCursorPosition() { return QCursor::pos(); }

void SplitColor(TColor color, quint8& red, quint8& green, quint8& blue, quint8& high)
{
    const quint32 c = quint32(ColorToRGB(color));
    red = quint8(c & 0xFF);
    green = quint8((c >> 8) & 0xFF);
    blue = quint8((c >> 16) & 0xFF);
    high = quint8((c >> 24) & 0xFF);
}

QString CopyRange(const QString& s, int from, int to)
{
    if (from < 1) from = 1;
    if (to == 0) return s.mid(from - 1);
    if (to <= from) return QString();
    return s.mid(from - 1, to - from);
}

int PosFrom(const QString& sub, const QString& s, int start)
{
    if (sub.isEmpty() || start < 1) return 0;
    return int(s.indexOf(sub, start - 1)) + 1;
}

int NthPos(const QString& sub, const QString& s, int n)
{
    int pos = PosFrom(sub, s, 1);
    for (int i = 0; i < n && pos > 0; ++i) {
        const int next = PosFrom(sub, s, pos + 1);
        pos = next > 0 ? next : PosFrom(sub, s, 1);
    }
    return pos;
}

int TokenCount(const QString& s, const QString& separator)
{
    if (s.isEmpty()) return 0;
    if (separator.isEmpty()) return 1;
    int count = 1;
    for (qsizetype at = s.indexOf(separator); at >= 0; at = s.indexOf(separator, at + 1)) ++count;
    return count;
}

QString GetToken(const QString& s, const QString& separator, int index)
{
    if (index < 0 || index >= TokenCount(s, separator)) return QString();
    if (separator.isEmpty()) return s;
    qsizetype start = 0;
    for (int i = 0; i < index; ++i) start = s.indexOf(separator, start) + separator.size();
    const qsizetype end = s.indexOf(separator, start);
    return end < 0 ? s.mid(start) : s.mid(start, end - start);
}

int TextHeightForWidth(TCanvas& canvas, unsigned flags, int width, const QString& text)
{
    TRect r(0, 0, width, 0);
    return canvas.DrawText(text, r, flags | DT_CALCRECT);
}

void MultiLineTextExtent(TCanvas& canvas, const QString& text, int lineSpacing, unsigned flags, int width, int& w,
                         int& h)
{
    w = 0;
    h = 0;
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        int lw = 0, lh = 0;
        if (width == 0) {
            QString plain = lines[i];
            if (!(flags & DT_NOPREFIX)) plain = StripAccelerators(plain);
            lw = canvas.TextWidth(plain);
            lh = canvas.TextHeight(plain);
        } else {
            TRect r(0, 0, width, 0);
            canvas.DrawText(lines[i], r, flags | DT_CALCRECT);
            lw = r.Width();
            lh = r.Height();
        }
        w = std::max(w, lw);
        h += lh;
        if (i + 1 < lines.size()) h += lineSpacing;
    }
}

quint32 ImageListColor(TColor color)
{
    if (color == clNone) return CLR_NONE;
    if (color == clDefault) return CLR_DEFAULT;
    return quint32(ColorToRGB(color));
}

void DrawImageListImage(const TImageList* images, int index, TCanvas& canvas, int x, int y, bool enabled)
{
    if (!images) return;
    images->Draw(canvas, x, y, index, enabled);
}
