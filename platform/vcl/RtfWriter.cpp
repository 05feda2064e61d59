#include "platform/vcl/RtfWriter.h"

#include "platform/vcl/RichText.h"

#include <QBuffer>
#include <QImage>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>
#include <QUrl>
#include <cmath>
#include <vector>

namespace {

struct TRunState {
    int Font = 0;
    int HalfPoints = 24;
    bool Bold = false, Italic = false, Underline = false, Strike = false, Protected = false;
    int Color = 0;   // colour table index, 0 automatic
    int Back = 0;    // colour table index, 0 none
    int VAlign = 0;
    bool operator==(const TRunState&) const = default;
};

struct TFontKey {
    QString Name;
    int CharSet = 0;
    bool operator==(const TFontKey&) const = default;
};

class TWriter {
public:
    TWriter(const QTextDocument* document, int start, int end) : FDoc(document), FStart(start), FEnd(end) {}
    QByteArray Run();

private:
    TRunState StateOf(const QTextCharFormat& format);
    int FontIndex(const TFontKey& key);
    int ColorIndex(const QColor& color);
    int CodePageOfFont(int font) const;
    void Collect();
    void WriteBlock(const QTextBlock& block, bool lastOfDocument);
    void WriteParagraphFormat(const QTextBlock& block);
    void WriteState(const TRunState& state);
    void WriteText(const QString& text, int font);
    void WriteImage(const QTextImageFormat& format);
    void Word(const char* word);
    void Word(const char* word, int param);
    void Raw(const QByteArray& bytes);

    const QTextDocument* FDoc;
    int FStart, FEnd;
    std::vector<TFontKey> FFonts;
    std::vector<QColor> FColors;
    int FSymbolFont = -1;
    QByteArray FOut;
    bool FNeedSpace = false;
    TRunState FState;
    QString FHref;                 // the link being written, empty outside links
    TRunState FStateBeforeLink;
};

void TWriter::Raw(const QByteArray& bytes)
{
    FOut += bytes;
    FNeedSpace = false;
}

void TWriter::Word(const char* word)
{
    FOut += '\\';
    FOut += word;
    FNeedSpace = true;
}

void TWriter::Word(const char* word, int param)
{
    FOut += '\\';
    FOut += word;
    FOut += QByteArray::number(param);
    FNeedSpace = true;
}

int TWriter::FontIndex(const TFontKey& key)
{
    for (size_t i = 0; i < FFonts.size(); ++i)
        if (FFonts[i] == key) return int(i);
    FFonts.push_back(key);
    return int(FFonts.size()) - 1;
}

int TWriter::ColorIndex(const QColor& color)
{
    const QRgb rgb = color.rgb() & 0xFFFFFF;
    for (size_t i = 0; i < FColors.size(); ++i)
        if ((FColors[i].rgb() & 0xFFFFFF) == rgb) return int(i) + 1;
    FColors.push_back(color);
    return int(FColors.size());
}

int TWriter::CodePageOfFont(int font) const
{
    if (font < 0 || font >= int(FFonts.size())) return 1252;
    const int charSet = FFonts[size_t(font)].CharSet;
    if (charSet == 2) return 1252;   // symbol fonts keep their bytes
    const int page = CharSetCodePage(charSet);
    return page > 0 ? page : 1252;
}

TRunState TWriter::StateOf(const QTextCharFormat& format)
{
    TRunState s;
    const QFont defaultFont = FDoc->defaultFont();
    QString family;
    const QStringList families = format.fontFamilies().toStringList();
    if (!families.isEmpty()) family = families.first();
    if (family.isEmpty()) family = defaultFont.family();
    const int charSet = format.hasProperty(rpCharSet) ? format.intProperty(rpCharSet) : 0;
    s.Font = FontIndex({family, charSet});
    double points = format.fontPointSize();
    if (points <= 0) points = defaultFont.pointSizeF();
    if (points <= 0) points = 12;
    s.HalfPoints = int(std::lround(points * 2));
    s.Bold = format.fontWeight() > QFont::Medium;
    s.Italic = format.fontItalic();
    s.Underline = format.fontUnderline();
    s.Strike = format.fontStrikeOut();
    s.Protected = format.boolProperty(rpProtected);
    if (format.foreground().style() != Qt::NoBrush) s.Color = ColorIndex(format.foreground().color());
    if (format.background().style() != Qt::NoBrush) s.Back = ColorIndex(format.background().color());
    if (format.verticalAlignment() == QTextCharFormat::AlignSuperScript) s.VAlign = 1;
    else if (format.verticalAlignment() == QTextCharFormat::AlignSubScript) s.VAlign = 2;
    return s;
}

void TWriter::Collect()
{
    FFonts.clear();
    FColors.clear();
    FontIndex({FDoc->defaultFont().family(), 0});
    for (QTextBlock block = FDoc->findBlock(FStart); block.isValid() && block.position() <= FEnd; block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.position() + fragment.length() <= FStart || fragment.position() >= FEnd) continue;
            StateOf(fragment.charFormat());
        }
        if (block.textList() && block.textList()->format().style() >= QTextListFormat::ListSquare
            && block.textList()->format().style() <= QTextListFormat::ListDisc)
            FSymbolFont = FontIndex({QStringLiteral("Symbol"), 2});
        if (block.length() == 1) StateOf(block.charFormat());
    }
}

void TWriter::WriteState(const TRunState& s)
{
    if (s.Font != FState.Font) Word("f", s.Font);
    if (s.HalfPoints != FState.HalfPoints) Word("fs", s.HalfPoints);
    if (s.Bold != FState.Bold) s.Bold ? Word("b") : Word("b", 0);
    if (s.Italic != FState.Italic) s.Italic ? Word("i") : Word("i", 0);
    if (s.Underline != FState.Underline) s.Underline ? Word("ul") : Word("ulnone");
    if (s.Strike != FState.Strike) s.Strike ? Word("strike") : Word("strike", 0);
    if (s.Color != FState.Color) Word("cf", s.Color);
    if (s.Back != FState.Back) Word("highlight", s.Back);
    if (s.VAlign != FState.VAlign) Word(s.VAlign == 1 ? "super" : s.VAlign == 2 ? "sub" : "nosupersub");
    if (s.Protected != FState.Protected) s.Protected ? Word("protect") : Word("protect", 0);
    FState = s;
}

void TWriter::WriteText(const QString& text, int font)
{
    const int page = CodePageOfFont(font);
    auto plain = [&](char c) {
        if (FNeedSpace) FOut += ' ';
        FNeedSpace = false;
        FOut += c;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const char16_t u = c.unicode();
        if (u == '\\' || u == '{' || u == '}') {
            FOut += '\\';
            FOut += char(u);
            FNeedSpace = false;
        } else if (u == '\t') {
            Word("tab");
        } else if (u == 0x2028 || u == 0x0B) {
            Word("line");
        } else if (u == 0x00A0) {
            Raw("\\~");
        } else if (u == 0x00AD) {
            Raw("\\-");
        } else if (u == 0x2011) {
            Raw("\\_");
        } else if (u == QChar::ObjectReplacementCharacter) {
            continue;   // images are written by their fragments
        } else if (u < 0x20) {
            continue;
        } else if (u < 0x80) {
            plain(char(u));
        } else {
            // a surrogate pair is one character of the code page, or two escapes
            const qsizetype count = c.isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            QByteArray bytes;
            if (EncodeRichTextChars(text.mid(i, count), page, bytes)) {
                for (char b : bytes) {
                    if (quint8(b) < 0x80 && b != '\\' && b != '{' && b != '}') {
                        plain(b);
                    } else {
                        FOut += "\\'" + QByteArray::number(quint8(b), 16).rightJustified(2, '0');
                        FNeedSpace = false;
                    }
                }
            } else {
                for (qsizetype k = 0; k < count; ++k) {
                    Word("u", qint16(text[i + k].unicode()));
                    FOut += '?';
                    FNeedSpace = false;
                }
            }
            i += count - 1;
        }
    }
}

void TWriter::WriteImage(const QTextImageFormat& format)
{
    const QByteArray raw = format.property(rpRawGroup).toByteArray();
    if (!raw.isEmpty()) {
        Raw(raw);
        return;
    }
    const QVariant resource = FDoc->resource(QTextDocument::ImageResource, QUrl(format.name()));
    QImage image = resource.value<QImage>();
    if (image.isNull() && resource.canConvert<QPixmap>()) image = resource.value<QPixmap>().toImage();
    if (image.isNull()) return;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    const double width = format.width() > 0 ? format.width() : image.width();
    const double height = format.height() > 0 ? format.height() : image.height();
    Raw("{\\pict\\pngblip");
    Word("picw", image.width());
    Word("pich", image.height());
    Word("picwgoal", DocUnitsToTwips(width));
    Word("pichgoal", DocUnitsToTwips(height));
    const QByteArray hex = png.toHex();
    for (qsizetype i = 0; i < hex.size(); i += 128) Raw("\n" + hex.mid(i, 128));
    Raw("}");
}

void TWriter::WriteParagraphFormat(const QTextBlock& block)
{
    const QTextBlockFormat f = block.blockFormat();
    const QTextList* list = block.textList();
    Word("pard");
    if (list) {
        const QTextListFormat::Style style = list->format().style();
        const bool bullet = style >= QTextListFormat::ListSquare && style <= QTextListFormat::ListDisc;
        if (bullet) {
            Raw("{\\pntext");
            Word("f", FSymbolFont);
            Raw("\\'b7\\tab}{\\*\\pn\\pnlvlblt");
            Word("pnf", FSymbolFont);
            Raw("\\pnindent0{\\pntxtb\\'b7}}");
        } else {
            QString number = const_cast<QTextList*>(list)->itemText(block);
            if (number.endsWith(QLatin1Char('.'))) number.chop(1);
            Raw("{\\pntext");
            Word("f", 0);
            WriteText(number + QLatin1Char('.'), 0);
            Raw("\\tab}{\\*\\pn\\pnlvlbody\\pnf0\\pnindent0");
            switch (style) {
            case QTextListFormat::ListLowerAlpha: Word("pnlcltr"); break;
            case QTextListFormat::ListUpperAlpha: Word("pnucltr"); break;
            case QTextListFormat::ListLowerRoman: Word("pnlcrm"); break;
            case QTextListFormat::ListUpperRoman: Word("pnucrm"); break;
            default: Word("pndec"); break;
            }
            Raw("{\\pntxta.}}");
        }
    }
    const Qt::Alignment align = f.alignment() & Qt::AlignHorizontal_Mask;
    if (align & Qt::AlignRight) Word("qr");
    else if (align & Qt::AlignHCenter) Word("qc");
    else if (align & Qt::AlignJustify) Word("qj");
    const TBlockIndents indents = BlockIndents(f, list != nullptr);
    if (indents.First) Word("fi", indents.First);
    if (indents.Left) Word("li", indents.Left);
    if (indents.Right) Word("ri", indents.Right);
    if (f.topMargin() > 0) Word("sb", DocUnitsToTwips(f.topMargin()));
    if (f.bottomMargin() > 0) Word("sa", DocUnitsToTwips(f.bottomMargin()));
    switch (f.lineHeightType()) {
    case QTextBlockFormat::ProportionalHeight:
        if (std::lround(f.lineHeight()) != 100) {
            Word("sl", int(std::lround(f.lineHeight() * 240.0 / 100.0)));
            Word("slmult", 1);
        }
        break;
    case QTextBlockFormat::MinimumHeight:
        Word("sl", DocUnitsToTwips(f.lineHeight()));
        Word("slmult", 0);
        break;
    case QTextBlockFormat::FixedHeight:
        Word("sl", -DocUnitsToTwips(f.lineHeight()));
        Word("slmult", 0);
        break;
    default: break;
    }
    for (const QTextOption::Tab& tab : f.tabPositions()) {
        if (tab.type == QTextOption::RightTab) Word("tqr");
        else if (tab.type == QTextOption::CenterTab) Word("tqc");
        else if (tab.type == QTextOption::DelimiterTab) Word("tqdec");
        Word("tx", DocUnitsToTwips(tab.position));
    }
}

void TWriter::WriteBlock(const QTextBlock& block, bool lastOfDocument)
{
    WriteParagraphFormat(block);
    auto endLink = [&] {
        if (FHref.isEmpty()) return;
        Raw("}}}");
        FHref.clear();
        FState = FStateBeforeLink;
    };
    if (block.length() == 1) WriteState(StateOf(block.charFormat()));
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const int from = qMax(fragment.position(), FStart);
        const int to = qMin(fragment.position() + fragment.length(), FEnd);
        if (from >= to) continue;
        const QTextCharFormat format = fragment.charFormat();
        const QString href = format.isAnchor() ? format.anchorHref() : QString();
        if (href != FHref) {
            endLink();
            if (!href.isEmpty()) {
                FStateBeforeLink = FState;
                QString address = href, place;
                const qsizetype hash = href.indexOf(QLatin1Char('#'));
                if (hash > 0) {
                    address = href.left(hash);
                    place = href.mid(hash + 1);
                }
                Raw("{\\field{\\*\\fldinst{HYPERLINK \"");
                WriteText(QString(address).replace(QLatin1Char('"'), QLatin1String("%22")), 0);
                Raw("\"");
                if (!place.isEmpty()) {
                    Raw(" \\\\l \"");
                    WriteText(QString(place).replace(QLatin1Char('"'), QLatin1String("%22")), 0);
                    Raw("\"");
                }
                Raw("}}{\\fldrslt{");
                FHref = href;
            }
        }
        const TRunState state = StateOf(format);
        WriteState(state);
        if (format.isImageFormat()) {
            for (int i = from; i < to; ++i) WriteImage(format.toImageFormat());
            continue;
        }
        WriteText(fragment.text().mid(from - fragment.position(), to - from), state.Font);
    }
    endLink();
    const int separator = block.position() + block.length() - 1;
    if (lastOfDocument || separator < FEnd) {
        Word("par");
        Raw("\n");
    }
}

QByteArray TWriter::Run()
{
    const int last = FDoc->characterCount() - 1;
    const bool whole = FStart <= 0 && (FEnd < 0 || FEnd >= last);
    FStart = qBound(0, FStart, last);
    FEnd = FEnd < 0 ? last : qBound(FStart, FEnd, last);
    Collect();

    // The body first: the tables are complete only when every run has been seen.
    FOut.clear();
    FState = TRunState();
    FNeedSpace = false;
    for (QTextBlock block = FDoc->findBlock(FStart); block.isValid(); block = block.next()) {
        // a range that ends where a paragraph starts holds nothing of that paragraph
        if (block.position() > FEnd || (!whole && block.position() == FEnd && FEnd > FStart)) break;
        WriteBlock(block, whole && !block.next().isValid());
    }
    const QByteArray body = FOut;

    QByteArray head = "{\\rtf1\\ansi\\ansicpg1252\\deff0";
    const double tab = FDoc->defaultTextOption().tabStopDistance();
    if (tab > 0) head += "\\deftab" + QByteArray::number(DocUnitsToTwips(tab));
    head += "{\\fonttbl";
    for (size_t i = 0; i < FFonts.size(); ++i) {
        head += "{\\f" + QByteArray::number(qulonglong(i)) + "\\fnil\\fcharset" + QByteArray::number(FFonts[i].CharSet) + ' ';
        FOut.clear();
        FNeedSpace = false;
        WriteText(FFonts[i].Name, FFonts[i].CharSet == 2 ? -1 : int(i));
        head += FOut + ";}";
    }
    head += "}\n";
    if (!FColors.empty()) {
        head += "{\\colortbl ;";
        for (const QColor& c : FColors)
            head += "\\red" + QByteArray::number(c.red()) + "\\green" + QByteArray::number(c.green()) + "\\blue"
                    + QByteArray::number(c.blue()) + ';';
        head += "}\n";
    }
    head += "\\viewkind4\\uc1";
    // The reader starts at the default font in 12 points; the first run sets what differs.
    return head + body + "}";
}

} // namespace

QByteArray WriteRtf(const QTextDocument* document, int start, int end)
{
    if (!document) return QByteArray("{\\rtf1\\ansi }");
    TWriter writer(document, start, end);
    return writer.Run();
}
