// The grid export: the settings, Save, and the writers of the four formats.

#include "gridlib/grid/Kqexport.h"

#include "gridlib/core/Kqstr.h"
#include "gridlib/core/kqcheckbox.h"
#include "gridlib/core/kqfieldlists.h"
#include "gridlib/core/kqradiogroup.h"
#include "gridlib/grid/Kqdbgrid.h"
#include "platform/core/AtomicFile.h"
#include "platform/core/ScopeExit.h"
#include "platform/vcl/Dialogs.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QScreen>
#include <QTemporaryFile>

#include <algorithm>
#include <new>
#include <vector>

// =============================================================================================
// TkqExportOptions

TkqExportOptions::TkqExportOptions(TkqDBGrid* grid) : QObject(grid), FGrid(grid) {}

QString TkqExportOptions::FileName() const
{
    if (!FFileName.isEmpty()) return FFileName;
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    return program.section(QLatin1Char('.'), 0, 0) + QStringLiteral(".txt");
}

QString TkqExportOptions::QuoteValue(const QString& text) const
{
    if (!FOptions.Contains(esoDblQuoteFields)) return text;
    if (text.isEmpty())
        return FExportType == kqgetTxt && FDelimiter.isEmpty() ? QStringLiteral("\"\"") : QString();
    QString quoted;
    quoted.reserve(text.size() + 2);
    quoted.append(QLatin1Char('"')).append(text).append(QLatin1Char('"'));
    return quoted;
}

namespace {

// Bytes are handed to the file in pieces of about this size; the buffer is reused.
constexpr qsizetype FlushSize = 1 << 16;

// The output of one export: UTF-8 appended to a reused buffer that goes to its sink whenever it
// grows past FlushSize; without a sink everything stays in the buffer (clipboard exports).
class TExportOut {
public:
    explicit TExportOut(std::function<void(const QByteArray&)> sink = {}) : FSink(std::move(sink))
    {
        FBuf.reserve(FSink ? FlushSize + 4096 : 4096);
    }
    template <qsizetype N>
    void Lit(const char (&s)[N]) { FBuf.append(s, N - 1); }
    void Ascii(const char* s, qsizetype n) { FBuf.append(s, n); }
    void Ascii(const QByteArray& s) { FBuf.append(s); }
    void Char(char c) { FBuf.append(c); }
    void Int(qint64 value)
    {
        char digits[24];
        char* end = digits + sizeof digits;
        char* p = end;
        const bool negative = value < 0;
        quint64 v = negative ? quint64(0) - quint64(value) : quint64(value);
        do {
            *--p = char('0' + v % 10);
            v /= 10;
        } while (v);
        if (negative) *--p = '-';
        FBuf.append(p, end - p);
    }
    void Text(QStringView s)
    {
        const qsizetype at = FBuf.size();
        FBuf.resize(at + s.size() * 3);
        char* out = FBuf.data() + at;
        const char16_t* p = s.utf16();
        const char16_t* end = p + s.size();
        while (p < end) {
            const char32_t c = *p++;
            if (c < 0x80) {
                *out++ = char(c);
            } else if (c < 0x800) {
                *out++ = char(0xC0 | (c >> 6));
                *out++ = char(0x80 | (c & 0x3F));
            } else if (QChar::isHighSurrogate(c) && p < end && QChar::isLowSurrogate(*p)) {
                const char32_t u = QChar::surrogateToUcs4(char16_t(c), *p++);
                *out++ = char(0xF0 | (u >> 18));
                *out++ = char(0x80 | ((u >> 12) & 0x3F));
                *out++ = char(0x80 | ((u >> 6) & 0x3F));
                *out++ = char(0x80 | (u & 0x3F));
            } else {
                // A lone surrogate has no UTF-8 form: the replacement character stands for it.
                const char32_t u = QChar::isSurrogate(c) ? 0xFFFD : c;
                *out++ = char(0xE0 | (u >> 12));
                *out++ = char(0x80 | ((u >> 6) & 0x3F));
                *out++ = char(0x80 | (u & 0x3F));
            }
        }
        FBuf.resize(out - FBuf.data());
    }
    // Text inside an HTML element: &, < and > escaped, and each CR LF pair a line break.
    void HtmlText(QStringView s)
    {
        qsizetype from = 0;
        for (qsizetype i = 0; i < s.size(); ++i) {
            const char16_t c = s[i].unicode();
            if (c != u'&' && c != u'<' && c != u'>' && c != u'\r') continue;
            const char* with = nullptr;
            qsizetype skip = 1;
            if (c == u'&') with = "&amp;";
            else if (c == u'<') with = "&lt;";
            else if (c == u'>') with = "&gt;";
            else if (i + 1 < s.size() && s[i + 1] == u'\n') with = "<BR>", skip = 2;
            else continue;
            Text(s.mid(from, i - from));
            FBuf.append(with);
            from = i + skip;
            i += skip - 1;
        }
        Text(s.mid(from));
    }
    // The text padded with blanks to width characters, on the left when right-aligned.
    void Padded(const QString& s, int width, bool right)
    {
        const qsizetype pad = std::max<qsizetype>(0, width - s.size());
        if (right) FBuf.append(pad, ' ');
        Text(s);
        if (!right) FBuf.append(pad, ' ');
    }
    void Line()
    {
        FBuf.append("\r\n", 2);
        if (FSink && FBuf.size() >= FlushSize) Flush();
    }
    void Flush()
    {
        if (!FSink || FBuf.isEmpty()) return;
        FSink(FBuf);
        FBuf.resize(0);
    }
    QByteArray& Buffer() { return FBuf; }

private:
    std::function<void(const QByteArray&)> FSink;
    QByteArray FBuf;
};

// Text with the characters HTML gives a meaning escaped (inside an attribute also the quote).
QString HtmlEscaped(const QString& s, bool attribute = false)
{
    qsizetype i = 0;
    for (; i < s.size(); ++i) {
        const QChar c = s.at(i);
        if (c == QLatin1Char('&') || c == QLatin1Char('<') || c == QLatin1Char('>') || (attribute && c == QLatin1Char('"')))
            break;
    }
    if (i == s.size()) return s;
    QString r = s.left(i);
    r.reserve(s.size() + 16);
    for (; i < s.size(); ++i) {
        const QChar c = s.at(i);
        if (c == QLatin1Char('&')) r += QStringLiteral("&amp;");
        else if (c == QLatin1Char('<')) r += QStringLiteral("&lt;");
        else if (c == QLatin1Char('>')) r += QStringLiteral("&gt;");
        else if (attribute && c == QLatin1Char('"')) r += QStringLiteral("&quot;");
        else r += c;
    }
    return r;
}

QByteArray HexColor(TColor color)
{
    const quint32 rgb = quint32(ColorToRGB(color));
    char s[7];
    static const char digits[] = "0123456789abcdef";
    const int parts[3] = {int(rgb & 0xFF), int((rgb >> 8) & 0xFF), int((rgb >> 16) & 0xFF)};
    for (int i = 0; i < 3; ++i) {
        s[2 * i] = digits[parts[i] >> 4];
        s[2 * i + 1] = digits[parts[i] & 15];
    }
    return QByteArray(s, 6);
}

int ScreenPixelsPerInch()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? qRound(screen->logicalDotsPerInch()) : 96;
}

// A font's size in whole points (a font set in pixels is converted at the screen's resolution).
int PointSize(const QFont& font)
{
    if (font.pointSizeF() > 0) return qRound(font.pointSizeF());
    return qRound(font.pixelSize() * 72.0 / ScreenPixelsPerInch());
}

int TwentiethsOfPoint(const QFont& font)
{
    if (font.pointSizeF() > 0) return qRound(font.pointSizeF() * 20);
    return qRound(font.pixelSize() * 1440.0 / ScreenPixelsPerInch());
}

const char* AlignmentWord(TAlignment a)
{
    switch (a) {
    case taRightJustify: return "right";
    case taCenter: return "center";
    default: return "left";
    }
}

char AlignmentLetter(TAlignment a)
{
    switch (a) {
    case taRightJustify: return 'R';
    case taCenter: return 'C';
    default: return 'L';
    }
}

// What the HTML writer compares: name, size and colour.
bool SameLook(const TFont& a, const TFont& b)
{
    return a.Font.family() == b.Font.family() && PointSize(a.Font) == PointSize(b.Font) &&
           ColorToRGB(a.Color) == ColorToRGB(b.Color);
}

QString StyledText(QString text, const QFont& f)
{
    if (f.italic()) text = QStringLiteral("<I>") + text + QStringLiteral("</I>");
    if (f.bold()) text = QStringLiteral("<B>") + text + QStringLiteral("</B>");
    if (f.underline()) text = QStringLiteral("<U>") + text + QStringLiteral("</U>");
    if (f.strikeOut()) text = QStringLiteral("<STRIKE>") + text + QStringLiteral("</STRIKE>");
    return text;
}

QString TrimTrailingBlanks(const QString& s)
{
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' ')) --n;
    return n == s.size() ? s : s.left(n);
}

} // namespace

// =============================================================================================
// The writer of one export

class TkqExportWriter {
public:
    TkqExportWriter(const TkqExportOptions& options, TkqDBGrid& grid, TExportOut& out);
    void Run();
    // SYLK: the head (ID, fonts, bounds) that goes before the body.
    QByteArray SylkHead() const;

private:
    struct TCol {
        TField* Field = nullptr;
        int DataCol = 0;
        bool Exported = false;
        bool IsLast = false;
        int X = 0;
        int PixelWidth = 0;
        int DisplayWidth = 0;
        int TextWidth = 0;
        QString Title;
        QString Group;
        TAlignment Alignment = taLeftJustify;
        QString Kind;
        QString Params;
        bool Integer = false;
        bool WideCell = false;
        bool CheckBoxKind = false;
        // An HTML cell of plain text (no form control, no link).
        bool PlainHtml = true;
        // Title attributes (after OnCalcTitleAttributes).
        TFont TitleFont;
        TColor TitleFill = clNone;
        TAlignment TitleAlignment = taLeftJustify;
    };

    bool Has(TkqExportSaveOption o) const { return FOptions.Contains(o); }
    QString Quote(const QString& s) const { return FExport.QuoteValue(s); }
    void CalcTitle(const QString& name, TFont& font, TColor& fill, TAlignment& alignment) const;
    void LetMessagesThrough();
    void WriteRecord();

    void TextHeader();
    void TextRecord();

    void HtmlHeader();
    void HtmlTitleRow(int row, bool grouped);
    void HtmlFooter();
    void HtmlRecord();
    QString HtmlValue(const TCol& c, const QString& raw);
    void HtmlNoRecords();
    void HtmlTrailer();

    int FontIndex(const QFont& font);
    void SylkHeader();
    void SylkRecord();

    const TkqExportOptions& FExport;
    TkqDBGrid& FGrid;
    TExportOut& FOut;
    TkqExportSaveOptions FOptions;
    TkqGridExportType FType;
    bool FDelimited = true;
    QString FDelimiter;
    std::vector<TCol> FCols;
    int FFieldCount = 0;
    int FTotalWidth = 0;
    qint64 FCounter = 0;
    TFont FFont;
    TFont FTitleFont;
    TColor FColor = clWindow;
    QByteArray FFontStyle;
    QByteArray FTitleStyle;
    QByteArray FColorHex;
    QByteArray FTitleColorHex;
    // SYLK font table: descriptions by position, and the last font looked up.
    QStringList FFonts;
    QFont FLastFont;
    int FLastFontIndex = -1;
    QString FCellText;
    QElapsedTimer FSinceMessages;
};

TkqExportWriter::TkqExportWriter(const TkqExportOptions& options, TkqDBGrid& grid, TExportOut& out)
    : FExport(options), FGrid(grid), FOut(out), FOptions(options.Options()), FType(options.ExportType())
{
    FDelimiter = options.Delimiter();
    FDelimited = !FDelimiter.isEmpty();
    FFont = grid.Font();
    FTitleFont = grid.TitleFont();
    FColor = grid.Color();
    FFieldCount = grid.GetFieldCount();
    const int recNo = Has(esoShowRecordNo) ? 1 : 0;
    const QStringList selected = grid.Selected();
    FCols.resize(size_t(FFieldCount));
    for (int i = 0; i < FFieldCount; ++i) {
        TCol& c = FCols[size_t(i)];
        c.DataCol = i;
        c.Field = grid.GetColumnField(i);
        c.X = i + 1 + recNo;
        c.IsLast = i == FFieldCount - 1;
        c.PixelWidth = grid.ColWidths(i + grid.IndicatorOffset());
        if (!c.Field) continue;
        bool accept = true;
        if (grid.OnExportField) grid.OnExportField(&grid, c.Field, accept);
        c.Exported = accept;
        if (accept) FTotalWidth += c.PixelWidth + 5;
        c.Title = c.Field->DisplayLabel();
        const int line = FindSelectedEntry(selected, c.Field->FieldName());
        if (!grid.UseTFields() && line >= 0) c.Title = SelectedPart(selected.at(line), 2);
        bool ok = false;
        const int width = line >= 0 ? SelectedPart(selected.at(line), 1).trimmed().toInt(&ok) : 0;
        c.DisplayWidth = ok ? width : c.Field->DisplayWidth();
        c.Group = grid.GetColumn(i)->GroupHeaderName();
        c.Alignment = c.Field->Alignment();
        grid.GetControlInfo(c.Field->FieldName(), c.Kind, c.Params);
        const TFieldType type = c.Field->DataType();
        c.Integer = type == ftSmallint || type == ftInteger || type == ftWord || type == ftLargeint;
        const bool memo = type == ftMemo || type == ftFmtMemo || type == ftOraClob;
        c.WideCell = c.Kind == QLatin1String("RichEdit") || (memo && grid.MemoAttributes().Contains(mGridShow));
        c.CheckBoxKind = c.Kind == QLatin1String("CheckBox");
        c.PlainHtml = !(Has(esoAddControls) && (c.CheckBoxKind || c.Kind == QLatin1String("CustomEdit"))) &&
                      !(Has(esoEmbedURL) && c.Kind == QLatin1String("URL-Link"));
        c.TextWidth = std::max<int>(c.DisplayWidth, int(c.Title.size())) + (Has(esoDblQuoteFields) ? 2 : 0);
    }
}

void TkqExportWriter::CalcTitle(const QString& name, TFont& font, TColor& fill, TAlignment& alignment) const
{
    font = FTitleFont;
    fill = FGrid.TitleColor();
    alignment = FGrid.TitleAlignment();
    if (Has(esoDynamicColors) && FGrid.OnCalcTitleAttributes)
        FGrid.OnCalcTitleAttributes(&FGrid, name, font, fill, alignment);
}

void TkqExportWriter::LetMessagesThrough()
{
    // Paints and timers go on during a long export; user input waits, as the grid's dataset is
    // on loan to the export until it ends.
    if (FSinceMessages.elapsed() < 100) return;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    FSinceMessages.restart();
}

void TkqExportWriter::Run()
{
    TDataSet* ds = FGrid.DataSet();
    if (!FGrid.DataLink()->Active() || !ds || FType == kqgetXML) return;
    FSinceMessages.start();
    for (const TCol& c : FCols)
        if (c.Exported) {
            TCol& m = const_cast<TCol&>(c);
            CalcTitle(c.Field->FieldName(), m.TitleFont, m.TitleFill, m.TitleAlignment);
        }
    switch (FType) {
    case kqgetTxt:
        if (Has(esoShowHeader)) TextHeader();
        break;
    case kqgetHTML: HtmlHeader(); break;
    case kqgetSYLK: SylkHeader(); break;
    default: break;
    }
    if (Has(esoSaveSelectedOnly)) {
        QList<TBookmark> marks;
        for (const TBookmark& b : FGrid.SelectedBookmarks())
            if (ds->BookmarkValid(b)) marks.append(b);
        std::sort(marks.begin(), marks.end(),
                  [ds](const TBookmark& a, const TBookmark& b) { return ds->CompareBookmarks(a, b) < 0; });
        for (const TBookmark& b : marks) {
            ds->GotoBookmark(b);
            WriteRecord();
        }
        if (marks.isEmpty() && FType == kqgetHTML) HtmlNoRecords();
    } else {
        ds->First();
        while (!ds->Eof()) {
            WriteRecord();
            ds->Next();
        }
    }
    if (FType == kqgetHTML) HtmlTrailer();
    if (FType == kqgetSYLK) {
        FOut.Char('E');
        FOut.Line();
    }
}

void TkqExportWriter::WriteRecord()
{
    ++FCounter;
    switch (FType) {
    case kqgetTxt: TextRecord(); break;
    case kqgetHTML: HtmlRecord(); break;
    case kqgetSYLK: SylkRecord(); break;
    default: break;
    }
    if ((FCounter & 255) == 0) LetMessagesThrough();
}

// ---------------------------------------------------------------------------------------------
// Text

void TkqExportWriter::TextHeader()
{
    if (Has(esoShowRecordNo)) {
        if (FDelimited) {
            FOut.Text(Quote(QStringLiteral("#")));
            FOut.Text(FDelimiter);
        } else {
            FOut.Padded(QStringLiteral("#"), 8, true);
            FOut.Char(' ');
        }
    }
    for (const TCol& c : FCols) {
        if (!c.Exported) continue;
        const QString title = Quote(QString(c.Title).replace(QLatin1Char('~'), QLatin1Char(' ')));
        if (FDelimited) {
            FOut.Text(title);
            if (!c.IsLast) FOut.Text(FDelimiter);
        } else {
            FOut.Padded(title, c.TextWidth, c.Alignment != taLeftJustify);
            if (!c.IsLast) FOut.Char(' ');
        }
    }
    FOut.Line();
}

void TkqExportWriter::TextRecord()
{
    if (Has(esoShowRecordNo)) {
        const QString number = Quote(QString::number(FCounter));
        if (FDelimited) {
            FOut.Text(number);
            FOut.Text(FDelimiter);
        } else {
            FOut.Padded(number, 8, true);
            FOut.Char(' ');
        }
    }
    for (const TCol& c : FCols) {
        if (!c.Exported) continue;
        FGrid.GetCellText(c.DataCol, FCellText);
        if (FDelimited) {
            FOut.Text(Quote(FCellText));
            if (!c.IsLast) FOut.Text(FDelimiter);
        } else {
            FOut.Padded(Quote(FCellText), c.TextWidth, c.Alignment != taLeftJustify);
            if (!c.IsLast) FOut.Char(' ');
        }
    }
    FOut.Line();
}

// ---------------------------------------------------------------------------------------------
// HTML

namespace {
QByteArray StyleOf(const TFont& font)
{
    QByteArray s("STYLE=\"font-family: ");
    s += font.Font.family().toUtf8();
    s += ";font-size: ";
    s += QByteArray::number(PointSize(font.Font));
    s += " pt;color:#";
    s += HexColor(font.Color);
    s += ";\"";
    return s;
}
} // namespace

void TkqExportWriter::HtmlHeader()
{
    FFontStyle = StyleOf(FFont);
    FTitleStyle = StyleOf(FTitleFont);
    FColorHex = HexColor(FColor);
    FTitleColorHex = HexColor(FGrid.TitleColor());
    const int n = FFieldCount + (Has(esoShowRecordNo) ? 1 : 0);
    FOut.Lit("<HTML>");
    FOut.Line();
    FOut.Lit("<HEAD>");
    FOut.Line();
    // Without it a browser reads the file in its own default code page.
    FOut.Lit("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=utf-8\">");
    FOut.Line();
    FOut.Lit("<TITLE>");
    FOut.Text(HtmlEscaped(FExport.FileName()));
    FOut.Lit("</TITLE>");
    FOut.Line();
    FOut.Lit("</HEAD>");
    FOut.Line();
    FOut.Lit("<BODY>");
    FOut.Line();
    FOut.Lit("<TABLE ALIGN=Center BORDER=\"");
    FOut.Int(FExport.HTMLBorderWidth());
    FOut.Lit("\" CELLPADDING=\"1\" CELLSPACING=\"0\" dir=\"");
    if (FGrid.layoutDirection() == Qt::RightToLeft) FOut.Lit("RTL");
    else FOut.Lit("LTR");
    FOut.Char('"');
    if (!Has(esoTransparentGrid)) {
        FOut.Lit(" BGCOLOR=#");
        FOut.Ascii(FColorHex);
    }
    FOut.Char('>');
    FOut.Line();
    FOut.Lit("<THEAD>");
    FOut.Line();
    if (Has(esoShowHeader) && Has(esoShowTitle)) {
        FOut.Lit("<TR ");
        FOut.Ascii(FTitleStyle);
        FOut.Lit(" BGCOLOR=#");
        FOut.Ascii(FTitleColorHex);
        FOut.Char('>');
        FOut.Line();
        FOut.Lit("<TH colspan=\"");
        FOut.Int(n);
        FOut.Lit("\" scope=\"colgroup\">");
        FOut.Text(HtmlEscaped(FExport.TitleName()));
        FOut.Lit("</TH>");
        FOut.Line();
        FOut.Lit("</TR>");
        FOut.Line();
    }
    if (Has(esoShowHeader)) {
        bool grouped = false;
        for (const TCol& c : FCols) grouped = grouped || (c.Exported && !c.Group.isEmpty());
        HtmlTitleRow(1, grouped);
        if (grouped) HtmlTitleRow(2, grouped);
    }
    FOut.Lit("</THEAD>");
    FOut.Line();
    if (Has(esoShowFooter) && FGrid.Options().Contains(dgShowFooter)) HtmlFooter();
    FOut.Lit("<TBODY>");
    FOut.Line();
}

void TkqExportWriter::HtmlTitleRow(int row, bool grouped)
{
    // Titles span the group row below only when there is one: a span into the table's body
    // would push the first record aside in readers that do not end spans at the header.
    const auto rowSpan = [this, grouped] {
        if (grouped) FOut.Lit(" RowSpan=\"2\"");
    };
    const auto extra = [this](const TFont& font) {
        if (SameLook(font, FTitleFont)) return;
        FOut.Char(' ');
        FOut.Ascii(StyleOf(font));
    };
    const auto title = [](const TCol& c) {
        return HtmlEscaped(c.Title).replace(QLatin1Char('~'), QStringLiteral("<BR>"));
    };
    FOut.Lit("<TR ");
    FOut.Ascii(FTitleStyle);
    FOut.Lit(" ALIGN=");
    FOut.Ascii(AlignmentWord(FGrid.TitleAlignment()), -1);
    FOut.Char('>');
    FOut.Line();
    if (row == 1 && Has(esoShowRecordNo)) {
        FOut.Lit("<TD ALIGN=\"CENTER\" ");
        FOut.Ascii(FTitleStyle);
        FOut.Lit(" SCOPE=\"col\" bgcolor=#");
        FOut.Ascii(FTitleColorHex);
        rowSpan();
        FOut.Char('>');
        FOut.Text(StyledText(QStringLiteral("#"), FTitleFont.Font));
        FOut.Lit("</TD>");
        FOut.Line();
    }
    for (size_t i = 0; i < FCols.size();) {
        const TCol& c = FCols[i];
        if (row == 1 && !c.Group.isEmpty()) {
            size_t last = i;
            int count = 0;
            while (last < FCols.size() && FCols[last].Group == c.Group) count += FCols[last++].Exported ? 1 : 0;
            if (count > 0) {
                TFont font;
                TColor fill;
                TAlignment alignment;
                CalcTitle(c.Group, font, fill, alignment);
                FOut.Lit("<TD");
                extra(font);
                FOut.Lit(" SCOPE=\"col\" bgcolor=#");
                FOut.Ascii(HexColor(fill));
                FOut.Lit(" ALIGN=CENTER ColSpan=\"");
                FOut.Int(count);
                FOut.Lit("\">");
                FOut.Text(StyledText(HtmlEscaped(c.Group), font.Font));
                FOut.Lit("</TD>");
                FOut.Line();
            }
            i = last;
            continue;
        }
        ++i;
        if (!c.Exported || (row == 2 && c.Group.isEmpty())) continue;
        FOut.Lit("<TD");
        extra(c.TitleFont);
        FOut.Lit(" ALIGN=\"");
        FOut.Ascii(AlignmentWord(c.TitleAlignment), -1);
        FOut.Lit("\" SCOPE=\"col\" bgcolor=#");
        FOut.Ascii(HexColor(c.TitleFill));
        if (row == 1) {
            rowSpan();
            FOut.Char('>');
        } else {
            FOut.Lit(" >");
        }
        FOut.Text(StyledText(title(c), c.TitleFont.Font));
        FOut.Lit("</TD>");
        FOut.Line();
    }
    FOut.Lit("</TR>");
    FOut.Line();
}

void TkqExportWriter::HtmlFooter()
{
    FOut.Lit("<TFOOT ");
    FOut.Ascii(FTitleStyle);
    FOut.Lit(" BGCOLOR=#");
    FOut.Ascii(HexColor(FGrid.FooterColor()));
    FOut.Char('>');
    FOut.Line();
    FOut.Lit("<TH>");
    FOut.Line();
    for (const TCol& c : FCols) {
        const QString footer = FGrid.GetColumn(c.DataCol)->FooterText();
        if (footer.isEmpty()) {
            FOut.Lit("<TD>&nbsp</TD>");
        } else {
            FOut.Lit("<TD ALIGN=");
            FOut.Ascii(AlignmentWord(c.Alignment), -1);
            FOut.Char(' ');
            FOut.Ascii(FFontStyle);
            FOut.Lit(" BGCOLOR=#");
            FOut.Ascii(HexColor(FGrid.FooterCellColor()));
            FOut.Char('>');
            FOut.Text(HtmlEscaped(footer));
            FOut.Lit("</TD>");
        }
        FOut.Line();
    }
    FOut.Lit("</TH>");
    FOut.Line();
    FOut.Lit("</TFOOT>");
    FOut.Line();
}

QString TkqExportWriter::HtmlValue(const TCol& c, const QString& raw)
{
    QString html;
    bool control = false;
    if (Has(esoAddControls)) {
        const auto checkBox = [&](const QString& checkedValue) {
            html = raw == checkedValue ? QStringLiteral("<input align=\"middle\" type=\"checkbox\" checked >")
                                       : QStringLiteral("<INPUT ALIGN=\"middle\" TYPE=\"checkbox\" >");
            control = true;
        };
        if (c.CheckBoxKind) {
            checkBox(c.Params.section(QLatin1Char(';'), 0, 0));
        } else if (c.Kind == QLatin1String("CustomEdit")) {
            QWidget* w = FGrid.FindNamedControl(c.Params.section(QLatin1Char(';'), 0, 0));
            if (auto* radio = qobject_cast<TkqRadioGroup*>(w)) {
                const QString name = QStringLiteral("radio") + QString::number(FCounter);
                for (int k = 0; k < radio->ButtonCount(); ++k) {
                    const QString stored = radio->GetButtonValue(k);
                    html += QStringLiteral("<input align=\"middle\" type=\"radio\" value=\"") + HtmlEscaped(stored, true) +
                            QStringLiteral("\" name=\"") + name + QLatin1Char('"');
                    if (EqualIgnoringCase(raw, radio->GetCaptionForValue(stored))) html += QStringLiteral(" checked");
                    html += QLatin1Char('>') + HtmlEscaped(radio->Items().value(k)) + QStringLiteral("<BR>");
                }
                control = true;
            } else if (auto* box = qobject_cast<TkqCustomCheckBox*>(w); box && IsClassOrAncestorNamed(w, "TkqCheckBox")) {
                checkBox(box->ValueChecked());
            } else if (w && IsClassOrAncestorNamed(w, "TkqDBComboBox")) {
                html = QStringLiteral("<Select Name=\"kqCombo") + QString::number(FCounter) + QStringLiteral("\">");
                for (const QString& item : w->property("Items").toStringList()) {
                    const qsizetype tab = item.indexOf(QLatin1Char('\t'));
                    const QString display = tab < 0 ? item : item.left(tab);
                    const QString stored = tab < 0 ? item : item.mid(tab + 1);
                    html += QStringLiteral("<Option Value=\"") + HtmlEscaped(stored, true) + QLatin1Char('"');
                    if (EqualIgnoringCase(raw, display)) html += QStringLiteral(" selected");
                    html += QLatin1Char('>') + HtmlEscaped(display);
                }
                html += QStringLiteral("</Select>");
                control = true;
            }
        }
    }
    if (!control) html = HtmlEscaped(raw);
    if (html.isEmpty()) html = QStringLiteral("&nbsp");
    if (c.Kind == QLatin1String("URL-Link") && Has(esoEmbedURL)) {
        QString display, link;
        FGrid.SplitURLLink(c.Field->AsString(), display, link);
        const qsizetype at = link.indexOf(QLatin1Char('@'));
        const qsizetype dot = link.indexOf(QLatin1Char('.'));
        if (display == link && at > 0 && dot > at && !link.contains(QLatin1String("MAILTO:"), Qt::CaseInsensitive))
            link.prepend(QStringLiteral("MailTo:"));
        html = QStringLiteral("<A href=\"") + HtmlEscaped(link, true) + QStringLiteral("\">") + html + QStringLiteral("</A>");
    }
    if (html.contains(QLatin1Char('\r'))) html.replace(QStringLiteral("\r\n"), QStringLiteral("<BR>"));
    return html;
}

void TkqExportWriter::HtmlRecord()
{
    FOut.Lit("<TR VALIGN=\"TOP\" ");
    FOut.Ascii(FFontStyle);
    FOut.Char('>');
    FOut.Line();
    if (Has(esoShowRecordNo)) {
        FOut.Lit("<TD WIDTH=\"0*\" NOWRAP ALIGN=\"right\" scope=\"row\" ");
        FOut.Ascii(FTitleStyle);
        FOut.Lit(" BGCOLOR=#");
        FOut.Ascii(FTitleColorHex);
        FOut.Char('>');
        FOut.Int(FCounter);
        FOut.Lit("</TD>");
        FOut.Line();
    }
    TColor rowFill = FColor;
    // A grid without an alternating colour shows none, and so does its export.
    const TColor alternating = FGrid.PaintOptions()->AlternatingRowColor();
    if (Has(esoShowAlternating) && FCounter % 2 == 0 && alternating != clNone) rowFill = alternating;
    const double scale = FExport.OutputWidthinTwips() != 0 && FTotalWidth > 0
                             ? FExport.OutputWidthinTwips() / (double(FTotalWidth) / ScreenPixelsPerInch() * 1440.0)
                             : 1.0;
    const quint32 colorRgb = quint32(ColorToRGB(FColor));
    const bool rowFilled = quint32(ColorToRGB(rowFill)) != colorRgb;
    const QByteArray rowFillHex = rowFilled ? HexColor(rowFill) : QByteArray();
    const bool dynamic = Has(esoDynamicColors);
    for (const TCol& c : FCols) {
        if (!c.Exported) continue;
        TFont font = FFont;
        TColor fill = rowFill;
        bool ownFont = false, filled = rowFilled;
        if (dynamic) {
            FGrid.DoCalcCellColors(c.Field, TGridDrawState(), false, font, fill);
            ownFont = !SameLook(font, FFont);
            filled = quint32(ColorToRGB(fill)) != colorRgb;
        }
        FGrid.GetCellText(c.DataCol, FCellText);
        FOut.Lit("<TD NOWRAP");
        if (!c.CheckBoxKind) {
            FOut.Lit(" ALIGN=\"");
            FOut.Ascii(AlignmentWord(c.Alignment), -1);
            FOut.Char('"');
        }
        if (ownFont) {
            FOut.Char(' ');
            FOut.Ascii(StyleOf(font));
        }
        if (filled) {
            FOut.Lit(" BGCOLOR=#");
            FOut.Ascii(dynamic ? HexColor(fill) : rowFillHex);
        }
        if (!Has(esoBestColFit)) {
            FOut.Lit(" WIDTH=\"");
            FOut.Int(qint64(c.PixelWidth * scale));
            FOut.Lit("\" SCOPE=\"row\">");
        } else if (c.WideCell) {
            FOut.Lit(" WIDTH=\"");
            FOut.Int(c.PixelWidth);
            FOut.Lit("\" SCOPE=\"row\">");
        } else {
            FOut.Lit(" WIDTH=\"0*\" SCOPE=\"row\">");
        }
        const QFont& f = font.Font;
        if (f.strikeOut()) FOut.Lit("<STRIKE>");
        if (f.underline()) FOut.Lit("<U>");
        if (f.bold()) FOut.Lit("<B>");
        if (f.italic()) FOut.Lit("<I>");
        if (c.PlainHtml) {
            QStringView value(FCellText);
            while (!value.isEmpty() && value.back() == u' ') value.chop(1);
            if (value.isEmpty()) FOut.Lit("&nbsp");
            else FOut.HtmlText(value);
        } else {
            FOut.Text(HtmlValue(c, TrimTrailingBlanks(FCellText)));
        }
        if (f.italic()) FOut.Lit("</I>");
        if (f.bold()) FOut.Lit("</B>");
        if (f.underline()) FOut.Lit("</U>");
        if (f.strikeOut()) FOut.Lit("</STRIKE>");
        FOut.Lit("</TD>");
        FOut.Line();
    }
    FOut.Lit("</TR>");
    FOut.Line();
}

void TkqExportWriter::HtmlNoRecords()
{
    FOut.Lit("<TR BGCOLOR=#");
    FOut.Ascii(FTitleColorHex);
    FOut.Lit("><TH colspan=");
    FOut.Int(FFieldCount + (Has(esoShowRecordNo) ? 1 : 0));
    FOut.Lit(" scope=colgroup>No Records Selected</TH></TR>");
    FOut.Line();
}

void TkqExportWriter::HtmlTrailer()
{
    // The table closes inside the body, so that the file is well-formed.
    FOut.Lit("</TBODY>");
    FOut.Line();
    FOut.Lit("</TABLE>");
    FOut.Line();
    FOut.Lit("</BODY>");
    FOut.Line();
    FOut.Lit("</HTML>");
    FOut.Line();
}

// ---------------------------------------------------------------------------------------------
// SYLK

int TkqExportWriter::FontIndex(const QFont& font)
{
    if (FLastFontIndex >= 0 && font == FLastFont) return FLastFontIndex;
    QString d = QStringLiteral("P;F") + font.family() + QStringLiteral(";M") + QString::number(TwentiethsOfPoint(font));
    bool styled = false;
    const auto style = [&](bool on, QChar letter) {
        if (!on) return;
        if (!styled) d += QStringLiteral(";S");
        d += letter;
        styled = true;
    };
    style(font.bold(), QLatin1Char('B'));
    style(font.italic(), QLatin1Char('I'));
    style(font.underline(), QLatin1Char('U'));
    style(font.strikeOut(), QLatin1Char('S'));
    qsizetype index = FFonts.indexOf(d);
    if (index < 0) {
        FFonts.append(d);
        index = FFonts.size() - 1;
    }
    FLastFont = font;
    FLastFontIndex = int(index);
    return FLastFontIndex;
}

namespace {
QString SylkTitle(const QString& s)
{
    return QString(s).replace(QLatin1Char(';'), QStringLiteral(";;")).replace(QLatin1Char('~'), QLatin1Char(' '));
}
} // namespace

void TkqExportWriter::SylkHeader()
{
    FontIndex(FTitleFont.Font);
    FontIndex(FFont.Font);
    const bool recNo = Has(esoShowRecordNo);
    FOut.Lit("F;G;M255");
    FOut.Line();
    if (recNo) {
        FOut.Lit("F;W1 1 10");
        FOut.Line();
    }
    for (const TCol& c : FCols) {
        if (!c.Exported) continue;
        // Columns are numbered by their place among all the grid's fields, as the cells are.
        FOut.Lit("F;W");
        FOut.Int(c.X);
        FOut.Char(' ');
        FOut.Int(c.X);
        FOut.Char(' ');
        FOut.Int(Has(esoBestColFit) ? c.Field->DisplayWidth() : c.DisplayWidth);
        FOut.Line();
    }
    if (!Has(esoShowHeader)) return;
    const auto format = [this](const char* head, const TCol& c, int y) {
        FOut.Ascii(head, -1);
        FOut.Int(FontIndex(c.TitleFont.Font));
        FOut.Lit(";FG0");
        FOut.Char(AlignmentLetter(c.TitleAlignment));
        FOut.Lit(";Y");
        FOut.Int(y);
        FOut.Lit(";X");
        FOut.Int(c.X);
        FOut.Line();
    };
    const auto value = [this](const QString& text) {
        FOut.Lit("C;K\"");
        FOut.Text(SylkTitle(text));
        FOut.Char('"');
        FOut.Line();
    };
    // Row 1.
    if (recNo) {
        FOut.Lit("F;SLRTM0;FG0C;Y1;X1");
        FOut.Line();
        FOut.Lit("C;K\"#\"");
        FOut.Line();
    }
    bool grouped = false;
    for (size_t i = 0; i < FCols.size();) {
        const TCol& c = FCols[i];
        if (!c.Group.isEmpty()) {
            bool first = true;
            while (i < FCols.size() && FCols[i].Group == c.Group) {
                const TCol& g = FCols[i++];
                if (!g.Exported) continue;
                if (first) {
                    FOut.Lit("F;SLTBM0;FG0C;Y1;X");
                    FOut.Int(g.X);
                    FOut.Line();
                    value(c.Group);
                    first = false;
                    grouped = true;
                } else {
                    FOut.Lit("F;STBM0;FG0C;X");
                    FOut.Int(g.X);
                    FOut.Line();
                }
            }
            continue;
        }
        ++i;
        if (!c.Exported) continue;
        format("F;SLRTM", c, 1);
        value(c.Title);
    }
    // Row 2, under the groups.
    if (grouped) {
        if (recNo) {
            FOut.Lit("F;SLRBM0;FG0C;Y2;X1");
            FOut.Line();
        }
        for (const TCol& c : FCols) {
            if (!c.Exported) continue;
            if (c.Group.isEmpty()) {
                format("F;SLRBM", c, 2);
            } else {
                format("F;SLTBRM", c, 2);
                value(c.Title);
            }
        }
    }
    FOut.Line();
}

void TkqExportWriter::SylkRecord()
{
    const qint64 y = FCounter + (Has(esoShowHeader) ? 2 : 0);
    if (Has(esoShowRecordNo)) {
        FOut.Lit("F;SLRTBM");
        FOut.Int(FontIndex(FFont.Font));
        FOut.Lit(";FG0L;Y");
        FOut.Int(y);
        FOut.Lit(";X1");
        FOut.Line();
        FOut.Lit("C;K");
        FOut.Int(FCounter);
        FOut.Line();
    }
    for (const TCol& c : FCols) {
        if (!c.Exported) continue;
        TFont font = FFont;
        TColor fill = FColor;
        if (Has(esoDynamicColors)) FGrid.DoCalcCellColors(c.Field, TGridDrawState(), false, font, fill);
        FOut.Lit("F;SLTRBM");
        FOut.Int(FontIndex(font.Font));
        FOut.Lit(";FG0");
        FOut.Char(AlignmentLetter(c.Alignment));
        FOut.Lit(";Y");
        FOut.Int(y);
        FOut.Lit(";X");
        FOut.Int(c.X);
        FOut.Line();
        FGrid.GetCellText(c.DataCol, FCellText);
        if (FCellText.contains(QLatin1Char(';'))) FCellText.replace(QLatin1Char(';'), QStringLiteral(";;"));
        FOut.Lit("C;K");
        if (FCellText.isEmpty()) {
            // An empty number cell is written as empty text too: a bare "C;K" is no value.
            FOut.Lit("\"\"");
        } else if (c.Integer) {
            FOut.Text(FCellText);
        } else {
            if (FCellText.contains(QLatin1Char('\r'))) FCellText.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
            if (FCellText.size() > 255) FCellText.truncate(255);
            // Unquoted, a number stays a number; a text must be quoted whatever the options say,
            // as a bare text is no value to a spreadsheet and would be read as nothing.
            bool number = false;
            if (!Has(esoDblQuoteFields)) FCellText.toDouble(&number);
            if (number) {
                FOut.Text(FCellText);
            } else {
                FOut.Char('"');
                FOut.Text(FCellText);
                FOut.Char('"');
            }
        }
        FOut.Line();
    }
}

QByteArray TkqExportWriter::SylkHead() const
{
    QByteArray head("ID;PBrannock 3000;N;E\r\n");
    for (const QString& f : FFonts) head += f.toUtf8() + "\r\n";
    head += "B;Y" + QByteArray::number(FCounter) + ";X" +
            QByteArray::number(FFieldCount + (FOptions.Contains(esoShowRecordNo) ? 1 : 0)) + "\r\n";
    return head;
}

// =============================================================================================
// Save

namespace {

QByteArray HtmlClipboardText(const QByteArray& html)
{
    // Ten-digit offsets keep the header's length, and so the offsets, fixed.
    const auto number = [](qint64 v) { return QByteArray::number(v).rightJustified(10, '0'); };
    const QByteArray templ = "Version:0.9\r\nStartHTML:%1\r\nEndHTML:%2\r\nStartFragment:%1\r\nEndFragment:%2\r\n"
                             "StartSelection:%1\r\nEndSelection:%2\r\n";
    const qint64 headLength = templ.size() - 6 * 2 + 6 * 10;
    const QByteArray start = number(headLength), end = number(headLength + html.size());
    QByteArray text = templ;
    text.replace("%1", start).replace("%2", end);
    text += html;
    return text;
}

void PutOnClipboard(TkqGridExportType type, const QByteArray& built)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) {
        MessageDlg(QStringLiteral("Global Alloc failed!"), mtError, {mbOK});
        return;
    }
    clipboard->clear();
    if (type == kqgetXML) return;
    auto* data = new QMimeData;
    try {
        switch (type) {
        case kqgetHTML: {
            const QByteArray text = HtmlClipboardText(built);
            data->setText(QString::fromUtf8(text));
            data->setData(QStringLiteral("text/html"), built);
            data->setData(QString::fromLatin1(HtmlFormatMimeType), text);
            break;
        }
        case kqgetSYLK:
            data->setText(QString::fromUtf8(built));
            data->setData(QString::fromLatin1(SylkMimeType), built);
            break;
        default: data->setText(QString::fromUtf8(built)); break;
        }
    } catch (const std::bad_alloc&) {
        delete data;
        MessageDlg(QStringLiteral("Global Alloc failed!"), mtError, {mbOK});
        return;
    }
    clipboard->setMimeData(data);
}

} // namespace

void TkqExportOptions::Save()
{
    const bool toClipboard = FOptions.Contains(esoClipboard);
    std::unique_ptr<TAtomicFileWriter> file;
    if (!toClipboard) file = std::make_unique<TAtomicFileWriter>(FileName());
    // SYLK's head follows from its body, which waits in a temporary file meanwhile.
    std::unique_ptr<QTemporaryFile> spill;
    std::function<void(const QByteArray&)> sink;
    if (file && FExportType == kqgetSYLK) {
        spill = std::make_unique<QTemporaryFile>();
        if (!spill->open()) throw EInOutError(QStringLiteral("Cannot create a temporary file: %1").arg(spill->errorString()));
        sink = [&spill](const QByteArray& bytes) {
            if (spill->write(bytes) != bytes.size())
                throw EInOutError(QStringLiteral("Cannot write a temporary file: %1").arg(spill->errorString()));
        };
    } else if (file) {
        sink = [&file](const QByteArray& bytes) { file->Write(bytes); };
    }
    TExportOut out(sink);
    QByteArray sylkHead;
    TDataSet* ds = FGrid ? FGrid->DataSet() : nullptr;
    if (FGrid && FGrid->DataSource() && ds) {
        ds->DisableControls();
        const bool active = ds->Active();
        const TBookmark current = active ? ds->GetBookmark() : TBookmark();
        {
            // The grid keeps its current record on the row it had: the data link was not told of
            // the moves and finds the record again where it left it.
            TScopeExit restore([&] {
                if (active && ds->Active() && ds->BookmarkValid(current)) ds->GotoBookmark(current);
                ds->EnableControls();
            });
            TkqExportWriter writer(*this, *FGrid, out);
            writer.Run();
            if (FExportType == kqgetSYLK && FGrid->DataLink()->Active()) sylkHead = writer.SylkHead();
        }
    }
    if (file) {
        if (spill) {
            out.Flush();
            file->Write(sylkHead);
            spill->seek(0);
            QByteArray chunk;
            while (!spill->atEnd()) {
                chunk = spill->read(1 << 20);
                if (chunk.isEmpty()) throw EInOutError(QStringLiteral("Cannot read a temporary file: %1").arg(spill->errorString()));
                file->Write(chunk);
            }
        } else {
            out.Flush();
        }
        file->Commit();
        return;
    }
    PutOnClipboard(FExportType, FExportType == kqgetSYLK ? sylkHead + out.Buffer() : out.Buffer());
}
