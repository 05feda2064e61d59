#include "platform/vcl/RichText.h"

#include "platform/core/CodePages.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTextBlockFormat>
#include <cmath>
#include <map>
#include <memory>

int RichTextDpi()
{
    static const int dpi = [] {
        const QScreen* screen = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                                    ? QGuiApplication::primaryScreen()
                                    : nullptr;
        const int value = screen ? qRound(screen->logicalDotsPerInchY()) : 96;
        return value > 0 ? value : 96;
    }();
    return dpi;
}

double TwipsToDocUnits(int twips) { return twips * double(RichTextDpi()) / 1440.0; }

int DocUnitsToTwips(double units) { return int(std::lround(units * 1440.0 / RichTextDpi())); }

TBlockIndents BlockIndents(const QTextBlockFormat& format, bool inList)
{
    TBlockIndents indents;
    indents.Left = DocUnitsToTwips(format.leftMargin());
    indents.Right = DocUnitsToTwips(format.rightMargin());
    indents.First = inList && format.hasProperty(rpListFirstIndent) ? format.intProperty(rpListFirstIndent)
                                                                      : DocUnitsToTwips(format.textIndent());
    return indents;
}

void SetBlockIndents(QTextBlockFormat& format, const TBlockIndents& indents, bool inList)
{
    format.setLeftMargin(TwipsToDocUnits(indents.Left));
    format.setRightMargin(TwipsToDocUnits(indents.Right));
    if (inList) {
        format.setTextIndent(0);
        format.setProperty(rpListFirstIndent, indents.First);
    } else {
        format.setTextIndent(TwipsToDocUnits(indents.First));
        format.clearProperty(rpListFirstIndent);
    }
}

// --- Code pages --------------------------------------------------------------------------------

int CharSetCodePage(int charSet)
{
    switch (charSet) {
    case 0: return 1252;     // ANSI
    case 77: return 10000;   // Mac Roman
    case 128: return 932;    // Shift JIS
    case 129: return 949;    // Hangul
    case 130: return 1361;   // Johab
    case 134: return 936;    // GB 2312
    case 136: return 950;    // Big5
    case 161: return 1253;   // Greek
    case 162: return 1254;   // Turkish
    case 163: return 1258;   // Vietnamese
    case 177: return 1255;   // Hebrew
    case 178: return 1256;   // Arabic
    case 186: return 1257;   // Baltic
    case 204: return 1251;   // Cyrillic
    case 222: return 874;    // Thai
    case 238: return 1250;   // Central European
    case 254: return 437;    // PC 437
    case 255: return 850;    // OEM
    default: return 0;       // default (1), symbol (2) and the rest
    }
}

int CodePageCharSet(int codePage)
{
    for (int charSet : {0, 77, 128, 129, 130, 134, 136, 161, 162, 163, 177, 178, 186, 204, 222, 238, 254, 255})
        if (CharSetCodePage(charSet) == codePage) return charSet;
    return 0;
}

namespace {

QByteArray IcuName(int codePage)
{
    switch (codePage) {
    case 10000: return "macintosh";
    case 437: case 850: case 852: case 866: return "cp" + QByteArray::number(codePage);
    case 1361: return "johab";
    case 65001: return "UTF-8";
    default: return "windows-" + QByteArray::number(codePage);
    }
}

// Converters are costly to make: one of each per page, kept for the run (reset per use).
template <class TConverter>
TConverter* Converter(int codePage)
{
    thread_local std::map<int, std::unique_ptr<TConverter>> converters;
    auto& c = converters[codePage];
    if (!c) c = std::make_unique<TConverter>(IcuName(codePage).constData());
    if (!c->isValid()) return nullptr;
    c->resetState();
    return c.get();
}

} // namespace

QString DecodeRichTextBytes(const QByteArray& bytes, int codePage)
{
    if (codePage != 1252 && codePage > 0)
        if (QStringDecoder* d = Converter<QStringDecoder>(codePage)) return d->decode(bytes);
    return DecodeCodePage(bytes, 1252);
}

bool EncodeRichTextChars(const QString& text, int codePage, QByteArray& bytes)
{
    bytes.clear();
    if (codePage == 1252 || codePage <= 0) {
        bool lossless = true;
        QByteArray out = EncodeCodePage(text, 1252, &lossless);
        if (!lossless) return false;
        bytes = out;
        return true;
    }
    QStringEncoder* e = Converter<QStringEncoder>(codePage);
    if (!e) return false;
    QByteArray out = e->encode(text);
    if (e->hasError() || DecodeRichTextBytes(out, codePage) != text) return false;
    bytes = out;
    return true;
}

QImage RichTextPlaceholder(int width, int height, const QString& caption)
{
    QImage image(qMax(width, 16), qMax(height, 16), QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(0xF0, 0xF0, 0xF0));
    QPainter painter(&image);
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawRect(image.rect().adjusted(0, 0, -1, -1));
    QFont font = painter.font();
    font.setPixelSize(qBound(8, image.height() / 4, 12));
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(image.rect().adjusted(2, 2, -2, -2), Qt::AlignCenter | Qt::TextWordWrap, caption);
    return image;
}
