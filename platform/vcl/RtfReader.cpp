#include "platform/vcl/RtfReader.h"

#include "platform/vcl/Picture.h"
#include "platform/vcl/RichText.h"

#include <QAtomicInt>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <QUrl>
#include <algorithm>
#include <map>
#include <string_view>
#include <vector>

namespace {

constexpr int MaxControlWordLength = 32;
constexpr int MaxParameterDigits = 10;
// Far deeper than any writer nests; a stream deeper than this is damaged or hostile.
constexpr int MaxGroupDepth = 1000;

// --- Tokens ------------------------------------------------------------------------------------

struct TToken {
    enum TKind { tkEnd, tkOpen, tkClose, tkWord, tkSymbol, tkHex, tkText, tkBroken } Kind = tkEnd;
    QByteArrayView Word;      // control word
    bool HasParam = false;
    int Param = 0;
    char Symbol = 0;          // control symbol
    quint8 Hex = 0;           // \'hh
    QByteArrayView Text;      // a run of text bytes
    qsizetype Pos = 0;        // where the token starts
};

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class TTokenizer {
public:
    explicit TTokenizer(QByteArrayView data) : FData(data) {}

    qsizetype Pos() const { return FPos; }

    TToken Next()
    {
        TToken t;
        const qsizetype n = FData.size();
        // Line breaks are not text.
        while (FPos < n && (FData[FPos] == '\r' || FData[FPos] == '\n')) ++FPos;
        t.Pos = FPos;
        if (FPos >= n) return t;
        const char c = FData[FPos];
        if (c == '{') { ++FPos; t.Kind = TToken::tkOpen; return t; }
        if (c == '}') { ++FPos; t.Kind = TToken::tkClose; return t; }
        if (c == '\\') return Control(t);
        if (c == 0) { t.Kind = TToken::tkBroken; return t; }
        const qsizetype start = FPos;
        while (FPos < n) {
            const char d = FData[FPos];
            if (d == '{' || d == '}' || d == '\\' || d == '\r' || d == '\n' || d == 0) break;
            ++FPos;
        }
        t.Kind = TToken::tkText;
        t.Text = FData.sliced(start, FPos - start);
        return t;
    }

    // The bytes of a binary run that follows \binN (fewer when the stream ends first).
    QByteArrayView Binary(qint64 count)
    {
        const qsizetype take = qsizetype(qMin<qint64>(count, FData.size() - FPos));
        QByteArrayView bytes = FData.sliced(FPos, take);
        FPos += take;
        return bytes;
    }

private:
    TToken Control(TToken& t)
    {
        const qsizetype n = FData.size();
        ++FPos;   // the backslash
        if (FPos >= n) { t.Kind = TToken::tkEnd; return t; }
        const char c = FData[FPos];
        if (IsLetter(c)) {
            const qsizetype start = FPos;
            while (FPos < n && IsLetter(FData[FPos])) ++FPos;
            if (FPos - start > MaxControlWordLength) { t.Kind = TToken::tkBroken; return t; }
            t.Kind = TToken::tkWord;
            t.Word = FData.sliced(start, FPos - start);
            bool negative = false;
            if (FPos + 1 < n && FData[FPos] == '-' && IsDigit(FData[FPos + 1])) {
                negative = true;
                ++FPos;
            }
            if (FPos < n && IsDigit(FData[FPos])) {
                const qsizetype digits = FPos;
                qint64 value = 0;
                while (FPos < n && IsDigit(FData[FPos])) value = value * 10 + (FData[FPos++] - '0');
                if (FPos - digits > MaxParameterDigits) { t.Kind = TToken::tkBroken; return t; }
                value = negative ? -value : value;
                t.HasParam = true;
                t.Param = int(qBound<qint64>(qint64(INT_MIN), value, qint64(INT_MAX)));
            }
            // a word that runs into the end of a cut stream may be cut itself: it is not read
            if (FPos >= n || (FPos + 1 == n && FData[FPos] == '-')) {
                t.Kind = TToken::tkEnd;
                return t;
            }
            if (FData[FPos] == ' ') ++FPos;
            return t;
        }
        ++FPos;
        if (c == '\'') {
            const int hi = FPos < n ? HexValue(FData[FPos]) : -1;
            const int lo = FPos + 1 < n ? HexValue(FData[FPos + 1]) : -1;
            // an escape without its two digits stands for nothing
            if (hi < 0 || lo < 0) {
                FPos += hi < 0 ? 0 : 1;
                t.Kind = TToken::tkSymbol;
                t.Symbol = '\'';
                return t;
            }
            FPos += 2;
            t.Kind = TToken::tkHex;
            t.Hex = quint8(hi * 16 + lo);
            return t;
        }
        t.Kind = TToken::tkSymbol;
        t.Symbol = (c == '\r' || c == '\n') ? '\n' : c;
        return t;
    }

    QByteArrayView FData;
    qsizetype FPos = 0;
};

// The syntax check before anything is inserted.
TRtfReadStatus CheckSyntax(QByteArrayView data)
{
    TTokenizer tokens(data);
    int depth = 0;
    for (;;) {
        const TToken t = tokens.Next();
        switch (t.Kind) {
        case TToken::tkEnd: return rrOk;
        case TToken::tkBroken: return rrBroken;
        case TToken::tkOpen:
            if (++depth > MaxGroupDepth) return rrBroken;
            break;
        case TToken::tkClose:
            if (--depth == 0) return rrOk;   // what follows the document is not read
            break;
        case TToken::tkWord:
            if (t.Word == "bin" && t.HasParam) {
                if (t.Param < 0) return rrBroken;
                tokens.Binary(t.Param);
            }
            break;
        default: break;
        }
    }
}

// --- Reader state ------------------------------------------------------------------------------

enum TDest {
    dText,            // document text
    dSkip,            // read and dropped
    dFontTable, dColorTable,
    dPict, dObject, dObjClass, dObjResult,
    dFieldInst,
    dListTable, dList, dListLevel, dListOverrideTable, dListOverride,
    dNumbering,       // an old-style numbering group (\pn)
};

struct TCharState {
    int Font = -1;              // font number; -1: the default font
    int HalfPoints = 24;
    bool Bold = false, Italic = false, Underline = false, Strike = false;
    bool Protected = false, Hidden = false;
    int Color = -1;             // colour table index; -1 or an empty entry: automatic
    int Back = -1;              // colour table index; -1 or an empty entry: none
    int VAlign = 0;             // 1 superscript, 2 subscript
    QString Href;               // inside a hyperlink field's result
    bool operator==(const TCharState&) const = default;
};

enum TNumbering { nmNone, nmBullet, nmDecimal, nmLowerLetter, nmUpperLetter, nmLowerRoman, nmUpperRoman };

struct TParaState {
    int Align = 0;              // 0 left, 1 right, 2 centre, 3 justify
    TBlockIndents Indents;
    int Before = 0, After = 0, LineSpacing = 0;
    bool LineMultiple = false;
    QList<QTextOption::Tab> Tabs;
    QTextOption::TabType NextTabType = QTextOption::LeftTab;
    int ListOverride = 0, Level = 0;
    TNumbering Pn = nmNone;     // old-style numbering
    int PnStart = 1;
};

struct TGroup {
    TCharState Char;
    TParaState Para;
    TDest Dest = dText;
    int Uc = 1;
    qsizetype Start = 0;        // offset of the group's opening brace
    bool IgnorableNext = false; // "\*" seen: an unknown destination that follows is skipped
    bool Upr = false;           // \upr: the first group (the 8-bit alternative) is dropped
    bool UprFirstSeen = false;
};

struct TFontEntry {
    QString Name;
    int CharSet = -1;
    int CodePage = 0;
};

struct TPicture {
    QByteArray Data;
    bool HexHigh = true;
    quint8 Pending = 0;
    enum TKind { pkNone, pkPng, pkJpeg, pkDib, pkEmf, pkWmf, pkMac, pkDdb } Kind = pkNone;
    int PicW = 0, PicH = 0, GoalW = 0, GoalH = 0, ScaleX = 100, ScaleY = 100;
    int Depth = 0;
};

struct TObject {
    QString Class;
    QImage Result;
    double ResultWidth = 0, ResultHeight = 0;
    int Width = 0, Height = 0, ScaleX = 100, ScaleY = 100;   // twips and percent
    int Depth = 0;
};

struct TListDef {
    std::vector<int> LevelFormats;  // \levelnfc of each level
    int Id = 0;
};

TNumbering NumberingOfFormat(int nfc)
{
    switch (nfc) {
    case 0: return nmDecimal;
    case 1: return nmUpperRoman;
    case 2: return nmLowerRoman;
    case 3: return nmUpperLetter;
    case 4: return nmLowerLetter;
    case 255: return nmNone;
    default: return nmBullet;   // 23 and every symbol-like format
    }
}

QTextListFormat::Style ListStyle(TNumbering numbering)
{
    switch (numbering) {
    case nmDecimal: return QTextListFormat::ListDecimal;
    case nmLowerLetter: return QTextListFormat::ListLowerAlpha;
    case nmUpperLetter: return QTextListFormat::ListUpperAlpha;
    case nmLowerRoman: return QTextListFormat::ListLowerRoman;
    case nmUpperRoman: return QTextListFormat::ListUpperRoman;
    default: return QTextListFormat::ListDisc;
    }
}

QString NewResourceName(const char* kind)
{
    static QAtomicInt counter;
    return QStringLiteral("rtf%1:%2").arg(QLatin1String(kind)).arg(counter.fetchAndAddRelaxed(1) + 1);
}

// Control words.
enum TKw : quint16 {
    K_None,
    K_aftnsep,
    K_aftnsepc,
    K_annotation,
    K_ansi,
    K_ansicpg,
    K_atnauthor,
    K_atnid,
    K_author,
    K_b,
    K_bin,
    K_bkmkend,
    K_bkmkstart,
    K_blipuid,
    K_blue,
    K_bookmark,
    K_bullet,
    K_category,
    K_cb,
    K_cell,
    K_cf,
    K_chcbpat,
    K_colorschememapping,
    K_colortbl,
    K_column,
    K_comment,
    K_company,
    K_cpg,
    K_datafield,
    K_datastore,
    K_defchp,
    K_deff,
    K_defpap,
    K_deftab,
    K_dibitmap,
    K_dn,
    K_do,
    K_doccomm,
    K_docvar,
    K_ebcend,
    K_ebcstart,
    K_emdash,
    K_emfblip,
    K_emspace,
    K_endash,
    K_enspace,
    K_f,
    K_factoidname,
    K_falt,
    K_fchars,
    K_fcharset,
    K_fi,
    K_field,
    K_filetbl,
    K_fldinst,
    K_fldrslt,
    K_fname,
    K_fonttbl,
    K_footer,
    K_footerf,
    K_footerl,
    K_footerr,
    K_footnote,
    K_formfield,
    K_fs,
    K_ftnsep,
    K_ftnsepc,
    K_generator,
    K_green,
    K_header,
    K_headerf,
    K_headerl,
    K_headerr,
    K_highlight,
    K_htmltag,
    K_i,
    K_ilvl,
    K_info,
    K_jpegblip,
    K_keywords,
    K_latentstyles,
    K_lchars,
    K_ldblquote,
    K_levelnfc,
    K_levelnfcn,
    K_levelnumbers,
    K_leveltext,
    K_li,
    K_lin,
    K_line,
    K_list,
    K_listid,
    K_listlevel,
    K_listname,
    K_listoverride,
    K_listoverridetable,
    K_listpicture,
    K_listtable,
    K_listtext,
    K_lquote,
    K_ls,
    K_ltrmark,
    K_mac,
    K_macpict,
    K_manager,
    K_mhtmltag,
    K_mmathPr,
    K_nestcell,
    K_nestrow,
    K_nonshppict,
    K_nosupersub,
    K_objalias,
    K_objclass,
    K_objdata,
    K_object,
    K_objh,
    K_objscalex,
    K_objscaley,
    K_objsect,
    K_objtime,
    K_objw,
    K_oldcprops,
    K_oldpprops,
    K_oldsprops,
    K_oldtprops,
    K_operator,
    K_page,
    K_panose,
    K_par,
    K_pard,
    K_passwordhash,
    K_pc,
    K_pca,
    K_pgdsctbl,
    K_pgptbl,
    K_pich,
    K_pichgoal,
    K_picprop,
    K_picscalex,
    K_picscaley,
    K_pict,
    K_picw,
    K_picwgoal,
    K_plain,
    K_pn,
    K_pndec,
    K_pngblip,
    K_pnlcltr,
    K_pnlcrm,
    K_pnlvlblt,
    K_pnlvlbody,
    K_pnseclvl,
    K_pnstart,
    K_pntext,
    K_pntxta,
    K_pntxtb,
    K_pnucltr,
    K_pnucrm,
    K_private,
    K_protect,
    K_protusertbl,
    K_qc,
    K_qd,
    K_qj,
    K_ql,
    K_qmspace,
    K_qr,
    K_rdblquote,
    K_red,
    K_result,
    K_revtbl,
    K_ri,
    K_rin,
    K_row,
    K_rquote,
    K_rsidtbl,
    K_rtlmark,
    K_rxe,
    K_sa,
    K_sb,
    K_sect,
    K_shp,
    K_shpinst,
    K_shppict,
    K_shptxt,
    K_sl,
    K_slmult,
    K_strike,
    K_striked,
    K_stylesheet,
    K_sub,
    K_subject,
    K_super,
    K_tab,
    K_tb,
    K_tc,
    K_template,
    K_themedata,
    K_title,
    K_tqc,
    K_tqdec,
    K_tqr,
    K_tx,
    K_txe,
    K_u,
    K_uc,
    K_ud,
    K_ul,
    K_uld,
    K_uldash,
    K_uldashd,
    K_uldashdd,
    K_uldb,
    K_ulhwave,
    K_ulldash,
    K_ulnone,
    K_ulth,
    K_ulthd,
    K_ulthdash,
    K_ulthdashd,
    K_ulthdashdd,
    K_ulthldash,
    K_ululdbwave,
    K_ulw,
    K_ulwave,
    K_up,
    K_upr,
    K_urtf,
    K_userprops,
    K_v,
    K_wbitmap,
    K_wgrffmtfilter,
    K_wmetafile,
    K_xe,
    K_xmlnstbl,
    K_zwj,
    K_zwnj,
};

const std::pair<std::string_view, TKw> Keywords[] = {
    {"aftnsep", K_aftnsep},
    {"aftnsepc", K_aftnsepc},
    {"annotation", K_annotation},
    {"ansi", K_ansi},
    {"ansicpg", K_ansicpg},
    {"atnauthor", K_atnauthor},
    {"atnid", K_atnid},
    {"author", K_author},
    {"b", K_b},
    {"bin", K_bin},
    {"bkmkend", K_bkmkend},
    {"bkmkstart", K_bkmkstart},
    {"blipuid", K_blipuid},
    {"blue", K_blue},
    {"bookmark", K_bookmark},
    {"bullet", K_bullet},
    {"category", K_category},
    {"cb", K_cb},
    {"cell", K_cell},
    {"cf", K_cf},
    {"chcbpat", K_chcbpat},
    {"colorschememapping", K_colorschememapping},
    {"colortbl", K_colortbl},
    {"column", K_column},
    {"comment", K_comment},
    {"company", K_company},
    {"cpg", K_cpg},
    {"datafield", K_datafield},
    {"datastore", K_datastore},
    {"defchp", K_defchp},
    {"deff", K_deff},
    {"defpap", K_defpap},
    {"deftab", K_deftab},
    {"dibitmap", K_dibitmap},
    {"dn", K_dn},
    {"do", K_do},
    {"doccomm", K_doccomm},
    {"docvar", K_docvar},
    {"ebcend", K_ebcend},
    {"ebcstart", K_ebcstart},
    {"emdash", K_emdash},
    {"emfblip", K_emfblip},
    {"emspace", K_emspace},
    {"endash", K_endash},
    {"enspace", K_enspace},
    {"f", K_f},
    {"factoidname", K_factoidname},
    {"falt", K_falt},
    {"fchars", K_fchars},
    {"fcharset", K_fcharset},
    {"fi", K_fi},
    {"field", K_field},
    {"filetbl", K_filetbl},
    {"fldinst", K_fldinst},
    {"fldrslt", K_fldrslt},
    {"fname", K_fname},
    {"fonttbl", K_fonttbl},
    {"footer", K_footer},
    {"footerf", K_footerf},
    {"footerl", K_footerl},
    {"footerr", K_footerr},
    {"footnote", K_footnote},
    {"formfield", K_formfield},
    {"fs", K_fs},
    {"ftnsep", K_ftnsep},
    {"ftnsepc", K_ftnsepc},
    {"generator", K_generator},
    {"green", K_green},
    {"header", K_header},
    {"headerf", K_headerf},
    {"headerl", K_headerl},
    {"headerr", K_headerr},
    {"highlight", K_highlight},
    {"htmltag", K_htmltag},
    {"i", K_i},
    {"ilvl", K_ilvl},
    {"info", K_info},
    {"jpegblip", K_jpegblip},
    {"keywords", K_keywords},
    {"latentstyles", K_latentstyles},
    {"lchars", K_lchars},
    {"ldblquote", K_ldblquote},
    {"levelnfc", K_levelnfc},
    {"levelnfcn", K_levelnfcn},
    {"levelnumbers", K_levelnumbers},
    {"leveltext", K_leveltext},
    {"li", K_li},
    {"lin", K_lin},
    {"line", K_line},
    {"list", K_list},
    {"listid", K_listid},
    {"listlevel", K_listlevel},
    {"listname", K_listname},
    {"listoverride", K_listoverride},
    {"listoverridetable", K_listoverridetable},
    {"listpicture", K_listpicture},
    {"listtable", K_listtable},
    {"listtext", K_listtext},
    {"lquote", K_lquote},
    {"ls", K_ls},
    {"ltrmark", K_ltrmark},
    {"mac", K_mac},
    {"macpict", K_macpict},
    {"manager", K_manager},
    {"mhtmltag", K_mhtmltag},
    {"mmathPr", K_mmathPr},
    {"nestcell", K_nestcell},
    {"nestrow", K_nestrow},
    {"nonshppict", K_nonshppict},
    {"nosupersub", K_nosupersub},
    {"objalias", K_objalias},
    {"objclass", K_objclass},
    {"objdata", K_objdata},
    {"object", K_object},
    {"objh", K_objh},
    {"objscalex", K_objscalex},
    {"objscaley", K_objscaley},
    {"objsect", K_objsect},
    {"objtime", K_objtime},
    {"objw", K_objw},
    {"oldcprops", K_oldcprops},
    {"oldpprops", K_oldpprops},
    {"oldsprops", K_oldsprops},
    {"oldtprops", K_oldtprops},
    {"operator", K_operator},
    {"page", K_page},
    {"panose", K_panose},
    {"par", K_par},
    {"pard", K_pard},
    {"passwordhash", K_passwordhash},
    {"pc", K_pc},
    {"pca", K_pca},
    {"pgdsctbl", K_pgdsctbl},
    {"pgptbl", K_pgptbl},
    {"pich", K_pich},
    {"pichgoal", K_pichgoal},
    {"picprop", K_picprop},
    {"picscalex", K_picscalex},
    {"picscaley", K_picscaley},
    {"pict", K_pict},
    {"picw", K_picw},
    {"picwgoal", K_picwgoal},
    {"plain", K_plain},
    {"pn", K_pn},
    {"pndec", K_pndec},
    {"pngblip", K_pngblip},
    {"pnlcltr", K_pnlcltr},
    {"pnlcrm", K_pnlcrm},
    {"pnlvlblt", K_pnlvlblt},
    {"pnlvlbody", K_pnlvlbody},
    {"pnseclvl", K_pnseclvl},
    {"pnstart", K_pnstart},
    {"pntext", K_pntext},
    {"pntxta", K_pntxta},
    {"pntxtb", K_pntxtb},
    {"pnucltr", K_pnucltr},
    {"pnucrm", K_pnucrm},
    {"private", K_private},
    {"protect", K_protect},
    {"protusertbl", K_protusertbl},
    {"qc", K_qc},
    {"qd", K_qd},
    {"qj", K_qj},
    {"ql", K_ql},
    {"qmspace", K_qmspace},
    {"qr", K_qr},
    {"rdblquote", K_rdblquote},
    {"red", K_red},
    {"result", K_result},
    {"revtbl", K_revtbl},
    {"ri", K_ri},
    {"rin", K_rin},
    {"row", K_row},
    {"rquote", K_rquote},
    {"rsidtbl", K_rsidtbl},
    {"rtlmark", K_rtlmark},
    {"rxe", K_rxe},
    {"sa", K_sa},
    {"sb", K_sb},
    {"sect", K_sect},
    {"shp", K_shp},
    {"shpinst", K_shpinst},
    {"shppict", K_shppict},
    {"shptxt", K_shptxt},
    {"sl", K_sl},
    {"slmult", K_slmult},
    {"strike", K_strike},
    {"striked", K_striked},
    {"stylesheet", K_stylesheet},
    {"sub", K_sub},
    {"subject", K_subject},
    {"super", K_super},
    {"tab", K_tab},
    {"tb", K_tb},
    {"tc", K_tc},
    {"template", K_template},
    {"themedata", K_themedata},
    {"title", K_title},
    {"tqc", K_tqc},
    {"tqdec", K_tqdec},
    {"tqr", K_tqr},
    {"tx", K_tx},
    {"txe", K_txe},
    {"u", K_u},
    {"uc", K_uc},
    {"ud", K_ud},
    {"ul", K_ul},
    {"uld", K_uld},
    {"uldash", K_uldash},
    {"uldashd", K_uldashd},
    {"uldashdd", K_uldashdd},
    {"uldb", K_uldb},
    {"ulhwave", K_ulhwave},
    {"ulldash", K_ulldash},
    {"ulnone", K_ulnone},
    {"ulth", K_ulth},
    {"ulthd", K_ulthd},
    {"ulthdash", K_ulthdash},
    {"ulthdashd", K_ulthdashd},
    {"ulthdashdd", K_ulthdashdd},
    {"ulthldash", K_ulthldash},
    {"ululdbwave", K_ululdbwave},
    {"ulw", K_ulw},
    {"ulwave", K_ulwave},
    {"up", K_up},
    {"upr", K_upr},
    {"urtf", K_urtf},
    {"userprops", K_userprops},
    {"v", K_v},
    {"wbitmap", K_wbitmap},
    {"wgrffmtfilter", K_wgrffmtfilter},
    {"wmetafile", K_wmetafile},
    {"xe", K_xe},
    {"xmlnstbl", K_xmlnstbl},
    {"zwj", K_zwj},
    {"zwnj", K_zwnj},
};

// The control words this reader knows, looked up once per word.
TKw Keyword(QByteArrayView w)
{
    const std::string_view word(w.data(), size_t(w.size()));
    const auto* end = std::end(Keywords);
    const auto* it = std::lower_bound(std::begin(Keywords), end, word,
                                      [](const auto& entry, std::string_view key) { return entry.first < key; });
    return it != end && it->first == word ? it->second : K_None;
}

// Destinations whose text is not part of the document.
bool IsSkippedDestination(TKw k)
{
    switch (k) {
    case K_info:
    case K_stylesheet:
    case K_header:
    case K_headerl:
    case K_headerr:
    case K_headerf:
    case K_footer:
    case K_footerl:
    case K_footerr:
    case K_footerf:
    case K_footnote:
    case K_annotation:
    case K_pntext:
    case K_listtext:
    case K_nonshppict:
    case K_bkmkstart:
    case K_bkmkend:
    case K_xe:
    case K_tc:
    case K_txe:
    case K_rxe:
    case K_revtbl:
    case K_filetbl:
    case K_author:
    case K_operator:
    case K_title:
    case K_subject:
    case K_keywords:
    case K_doccomm:
    case K_comment:
    case K_company:
    case K_category:
    case K_manager:
    case K_template:
    case K_generator:
    case K_datafield:
    case K_themedata:
    case K_colorschememapping:
    case K_latentstyles:
    case K_datastore:
    case K_rsidtbl:
    case K_mmathPr:
    case K_xmlnstbl:
    case K_pgdsctbl:
    case K_shp:
    case K_do:
    case K_objdata:
    case K_atnid:
    case K_atnauthor:
    case K_pnseclvl:
    case K_userprops:
    case K_docvar:
    case K_ftnsep:
    case K_ftnsepc:
    case K_aftnsep:
    case K_aftnsepc:
    case K_shpinst:
    case K_shptxt:
    case K_leveltext:
    case K_levelnumbers:
    case K_listname:
    case K_pntxta:
    case K_pntxtb:
    case K_falt:
    case K_panose:
    case K_fname:
    case K_objalias:
    case K_objsect:
    case K_objtime:
    case K_picprop:
    case K_blipuid:
    case K_wgrffmtfilter:
    case K_listpicture:
    case K_fchars:
    case K_lchars:
    case K_pgptbl:
    case K_protusertbl:
    case K_defchp:
    case K_defpap:
    case K_ebcstart:
    case K_ebcend:
    case K_factoidname:
    case K_oldcprops:
    case K_oldpprops:
    case K_oldsprops:
    case K_oldtprops:
    case K_passwordhash:
    case K_private:
    case K_htmltag:
    case K_mhtmltag:
    case K_formfield:
    case K_bookmark:
        return true;
    default:
        return false;
    }
}

class TReader {
public:
    TReader(QByteArrayView data, QTextCursor& cursor, const TRtfReadOptions& options)
        : FData(data), FTokens(data), FCursor(&cursor), FOptions(options)
    {
    }
    // Text only: the document's plain text, without building a document.
    TReader(QByteArrayView data, QString& plain) : FData(data), FTokens(data), FPlain(&plain) {}

    TRtfReadResult Run();

private:
    TGroup& Top() { return FStack.back(); }
    void OpenGroup(qsizetype pos);
    void CloseGroup(qsizetype pos);
    void Word(const TToken& t);
    void DestinationWord(TKw k);
    bool CharWord(TKw k, bool has, int p);
    bool ParaWord(TKw k, bool has, int p);
    void Symbol(char s);
    void TextBytes(QByteArrayView bytes);
    void HexByte(quint8 b);
    void Unicode(int code);
    void AppendChar(QChar c);
    void EndFontName();
    void FinishDocument();

    int CodePage();
    void DecodePending();
    void Flush();
    QTextCharFormat CharFormat();
    QTextCharFormat FormatOf(const TCharState& state);
    void PrepareText();
    void BeginContent();
    void EndParagraph();
    void ApplyParagraph(const TParaState& para);
    QTextList* ListFor(const TParaState& para, TNumbering numbering);
    void InsertImage(const QImage& image, double width, double height, const QByteArray& raw, bool isObject,
                     const QString& objectClass);
    void FinishPicture(qsizetype endPos, bool complete);
    void FinishObject(qsizetype endPos, bool complete);
    static bool DecodePicture(const TPicture& pict, QImage& image);
    void PictureSize(const TPicture& pict, const QImage& image, double& width, double& height) const;

    QByteArrayView FData;
    TTokenizer FTokens;
    QTextCursor* FCursor = nullptr;
    QString* FPlain = nullptr;
    TRtfReadOptions FOptions;
    std::vector<TGroup> FStack;
    int FSkipChars = 0;               // fallback characters still to skip after \u

    int FDocCodePage = 1252;
    int FDefaultFont = 0;
    std::map<int, TFontEntry> FFonts;
    int FCurrentFont = 0;             // font table entry being read
    QByteArray FFontName;
    std::vector<QColor> FColors;      // index 0: automatic
    int FRed = -1, FGreen = -1, FBlue = -1;

    std::vector<TListDef> FListDefs;
    TListDef FListDef;
    std::map<int, int> FOverrides;   // \ls -> \listid
    int FOverrideList = 0, FOverrideLs = 0;
    std::map<int, QTextList*> FLists;   // list key -> list of this read
    QTextList* FLastList = nullptr;     // list of the previous paragraph
    int FLastListKey = 0;

    QByteArray FPending;              // text bytes not yet decoded
    int FPendingCodePage = 0;
    QString FText;                    // decoded text not yet inserted
    TCharState FTextState;            // the format FText and FPending were read in
    TCharState FCachedState;          // the last format made, kept for the runs that follow
    QTextCharFormat FCachedFormat;
    bool FFormatCached = false;
    QString FFieldInst;               // instruction of the field being read
    bool FPendingBreak = false;       // a paragraph mark whose new paragraph has not started
    bool FKeepFinalMark = false;
    bool FStartBlockEmpty = true;
    int FParagraphs = 0;              // paragraph marks read
    bool FParagraphHasContent = false;

    TPicture FPict;
    bool FInPict = false;
    TObject FObject;
    bool FInObject = false;
};

TRtfReadResult TReader::Run()
{
    TRtfReadResult result;
    if (FCursor) {
        FKeepFinalMark = FOptions.Selection && !FCursor->atEnd();
        FStartBlockEmpty = FCursor->block().length() <= 1;
        FCursor->beginEditBlock();
    }
    for (;;) {
        const TToken t = FTokens.Next();
        if (t.Kind == TToken::tkEnd || t.Kind == TToken::tkBroken) break;
        if (t.Kind == TToken::tkOpen) {
            FSkipChars = 0;
            OpenGroup(t.Pos);
            continue;
        }
        if (FStack.empty()) continue;   // nothing stands outside the document's group
        if (t.Kind == TToken::tkClose) {
            FSkipChars = 0;
            if (FStack.size() == 1) {
                FinishDocument();
                break;
            }
            CloseGroup(t.Pos);
            continue;
        }
        if (FSkipChars > 0) {
            if (t.Kind == TToken::tkText) {
                const qsizetype skip = qMin<qsizetype>(FSkipChars, t.Text.size());
                FSkipChars -= int(skip);
                if (skip < t.Text.size()) TextBytes(t.Text.sliced(skip));
                continue;
            }
            --FSkipChars;
            if (t.Kind == TToken::tkWord && Keyword(t.Word) == K_bin && t.HasParam) FTokens.Binary(qMax(t.Param, 0));
            continue;
        }
        switch (t.Kind) {
        case TToken::tkWord: Word(t); break;
        case TToken::tkSymbol: Symbol(t.Symbol); break;
        case TToken::tkHex: HexByte(t.Hex); break;
        case TToken::tkText: TextBytes(t.Text); break;
        default: break;
        }
    }
    if (!FStack.empty()) {
        // A cut stream: what it held is kept; a picture or object cut short is not.
        result.Truncated = true;
        while (FStack.size() > 1) {
            Flush();
            const int depth = int(FStack.size());
            if (FInPict && FPict.Depth == depth) FinishPicture(FData.size(), false);
            if (FInObject && FObject.Depth == depth) FinishObject(FData.size(), false);
            CloseGroup(FData.size());
        }
        FinishDocument();
    }
    if (FCursor) FCursor->endEditBlock();
    return result;
}

void TReader::FinishDocument()
{
    Flush();
    if (FPlain) {
        // the last paragraph's mark is no line of its own
    } else if (FPendingBreak) {
        if (FKeepFinalMark) FCursor->insertBlock(QTextBlockFormat(), CharFormat());
    } else if (!FOptions.Selection || (FCursor->atBlockEnd() && (FParagraphs > 0 || FStartBlockEmpty))) {
        // the last paragraph has no mark of its own; its format applies unless it runs on
        // into text that was there before
        ApplyParagraph(Top().Para);
    }
    FStack.clear();
}

void TReader::EndFontName()
{
    if (FFontName.isEmpty()) return;
    TFontEntry& font = FFonts[FCurrentFont];
    int page = font.CodePage > 0 ? font.CodePage : CharSetCodePage(qMax(font.CharSet, 0));
    if (font.CharSet == 2 || page <= 0) page = 1252;
    font.Name = DecodeRichTextBytes(FFontName, page).trimmed();
    FFontName.clear();
}

void TReader::OpenGroup(qsizetype pos)
{
    TGroup g = FStack.empty() ? TGroup() : Top();
    g.Start = pos;
    g.IgnorableNext = false;
    g.Upr = g.UprFirstSeen = false;
    if (!FStack.empty() && Top().Upr && !Top().UprFirstSeen) {
        Top().UprFirstSeen = true;
        g.Dest = dSkip;
    }
    FStack.push_back(g);
}

void TReader::CloseGroup(qsizetype pos)
{
    if (FStack.empty()) return;
    const TGroup closing = Top();
    const int depth = int(FStack.size());
    if (closing.Dest == dFontTable && FStack.size() >= 2 && FStack[FStack.size() - 2].Dest == dFontTable)
        EndFontName();   // an entry in braces: a name without its ';' still counts
    if (FInPict && FPict.Depth == depth) FinishPicture(pos + 1, true);
    if (FInObject && FObject.Depth == depth) FinishObject(pos + 1, true);
    if (closing.Dest == dList && (FStack.size() < 2 || FStack[FStack.size() - 2].Dest != dList)) {
        FListDefs.push_back(FListDef);
        FListDef = TListDef();
    }
    if (closing.Dest == dListOverride && (FStack.size() < 2 || FStack[FStack.size() - 2].Dest != dListOverride)) {
        if (FOverrideLs > 0) FOverrides[FOverrideLs] = FOverrideList;
        FOverrideLs = FOverrideList = 0;
    }
    const bool fieldInstEnds =
        closing.Dest == dFieldInst && (FStack.size() < 2 || FStack[FStack.size() - 2].Dest != dFieldInst);
    FStack.pop_back();
    if (FStack.empty()) return;
    if (closing.Dest == dNumbering && Top().Dest != dNumbering) {
        Top().Para.Pn = closing.Para.Pn;
        Top().Para.PnStart = closing.Para.PnStart;
    }
    if (fieldInstEnds) {
        // HYPERLINK "address" [\l "place"]: the result that follows is a link
        const QString inst = FFieldInst.trimmed();
        FFieldInst.clear();
        if (inst.startsWith(QLatin1String("HYPERLINK"), Qt::CaseInsensitive)) {
            QString href, place;
            const QStringList quoted = inst.split(QLatin1Char('"'));
            for (int i = 1; i < quoted.size(); i += 2) {
                const QString before = quoted[i - 1].trimmed();
                if (before.endsWith(QLatin1String("\\l"))) place = quoted[i];
                else if (href.isEmpty() && !before.endsWith(QLatin1Char('\\')) && !before.contains(QLatin1Char('\\')))
                    href = quoted[i];
            }
            if (href.isEmpty() && quoted.size() == 1) href = inst.mid(9).trimmed().section(QLatin1Char(' '), 0, 0);
            if (!place.isEmpty()) href += QLatin1Char('#') + place;
            Top().Char.Href = href;
        }
    }
}

void TReader::Word(const TToken& t)
{
    const TKw k = Keyword(t.Word);
    const bool has = t.HasParam;
    const int p = t.Param;
    TGroup& g = Top();

    if (k == K_bin) {
        const QByteArrayView bytes = FTokens.Binary(has ? qMax(p, 0) : 0);
        if (FInPict && g.Dest == dPict) FPict.Data.append(bytes.data(), bytes.size());
        return;
    }
    if (k == K_u && has) {
        if (g.Dest == dText || g.Dest == dFieldInst || g.Dest == dFontTable) Unicode(p);
        FSkipChars = g.Uc;
        return;
    }
    if (k == K_uc) { g.Uc = has ? qMax(p, 0) : 1; return; }

    // Destinations are recognised wherever they stand in their group.
    DestinationWord(k);
    if (g.Dest == dSkip) return;

    switch (g.Dest) {
    case dFontTable:
        if (k == K_f && has) {
            FCurrentFont = p;
            FFontName.clear();
            FFonts[p];
        } else if (k == K_fcharset && has) {
            FFonts[FCurrentFont].CharSet = p;
        } else if (k == K_cpg && has) {
            FFonts[FCurrentFont].CodePage = p;
        }
        return;
    case dColorTable:
        if (k == K_red && has) FRed = p;
        else if (k == K_green && has) FGreen = p;
        else if (k == K_blue && has) FBlue = p;
        return;
    case dPict:
        if (!FInPict) return;
        if (k == K_pngblip) FPict.Kind = TPicture::pkPng;
        else if (k == K_jpegblip) FPict.Kind = TPicture::pkJpeg;
        else if (k == K_dibitmap) FPict.Kind = TPicture::pkDib;
        else if (k == K_wbitmap) FPict.Kind = TPicture::pkDdb;
        else if (k == K_emfblip) FPict.Kind = TPicture::pkEmf;
        else if (k == K_wmetafile) FPict.Kind = TPicture::pkWmf;
        else if (k == K_macpict) FPict.Kind = TPicture::pkMac;
        else if (k == K_picw && has) FPict.PicW = p;
        else if (k == K_pich && has) FPict.PicH = p;
        else if (k == K_picwgoal && has) FPict.GoalW = p;
        else if (k == K_pichgoal && has) FPict.GoalH = p;
        else if (k == K_picscalex && has) FPict.ScaleX = p;
        else if (k == K_picscaley && has) FPict.ScaleY = p;
        return;
    case dObject:
        if (k == K_objw && has) FObject.Width = p;
        else if (k == K_objh && has) FObject.Height = p;
        else if (k == K_objscalex && has) FObject.ScaleX = p;
        else if (k == K_objscaley && has) FObject.ScaleY = p;
        return;
    case dList:
        if (k == K_listid && has) FListDef.Id = p;
        return;
    case dListLevel:
        if ((k == K_levelnfc || k == K_levelnfcn) && has && !FListDef.LevelFormats.empty())
            FListDef.LevelFormats.back() = p;
        return;
    case dListOverride:
        if (k == K_listid && has) FOverrideList = p;
        else if (k == K_ls && has) FOverrideLs = p;
        return;
    case dNumbering:
        if (k == K_pnlvlblt) g.Para.Pn = nmBullet;
        else if (k == K_pndec) g.Para.Pn = nmDecimal;
        else if (k == K_pnlcltr) g.Para.Pn = nmLowerLetter;
        else if (k == K_pnucltr) g.Para.Pn = nmUpperLetter;
        else if (k == K_pnlcrm) g.Para.Pn = nmLowerRoman;
        else if (k == K_pnucrm) g.Para.Pn = nmUpperRoman;
        else if (k == K_pnlvlbody && g.Para.Pn == nmNone) g.Para.Pn = nmDecimal;
        else if (k == K_pnstart && has) g.Para.PnStart = p;
        return;
    case dListTable: case dListOverrideTable: case dObjClass: case dSkip:
        return;
    default:
        break;
    }

    // Document settings.
    if (k == K_ansicpg && has) { FDocCodePage = p > 0 ? p : 1252; return; }
    if (k == K_ansi) { FDocCodePage = 1252; return; }
    if (k == K_urtf) { FDocCodePage = 65001; return; }
    if (k == K_mac) { FDocCodePage = 10000; return; }
    if (k == K_pc) { FDocCodePage = 437; return; }
    if (k == K_pca) { FDocCodePage = 850; return; }
    if (k == K_deff && has) { FDefaultFont = p; return; }
    if (k == K_deftab && has) {
        if (p > 0 && FCursor && FCursor->document()) {
            QTextOption option = FCursor->document()->defaultTextOption();
            option.setTabStopDistance(TwipsToDocUnits(p));
            FCursor->document()->setDefaultTextOption(option);
        }
        return;
    }

    if (CharWord(k, has, p)) return;
    if (ParaWord(k, has, p)) return;

    // Breaks and special characters.
    if (k == K_par || k == K_row || k == K_nestrow) {
        if (g.Dest == dText) EndParagraph();
    } else if (k == K_page || k == K_sect || k == K_column) {
        // a break ends the paragraph it stands in, and makes none of its own
        if (g.Dest == dText && FParagraphHasContent) EndParagraph();
    } else if (k == K_line) AppendChar(QChar::LineSeparator);
    else if (k == K_tab || k == K_cell || k == K_nestcell) AppendChar(QLatin1Char('\t'));
    else if (k == K_emdash) AppendChar(QChar(0x2014));
    else if (k == K_endash) AppendChar(QChar(0x2013));
    else if (k == K_emspace) AppendChar(QChar(0x2003));
    else if (k == K_enspace) AppendChar(QChar(0x2002));
    else if (k == K_qmspace) AppendChar(QChar(0x2005));
    else if (k == K_bullet) AppendChar(QChar(0x2022));
    else if (k == K_lquote) AppendChar(QChar(0x2018));
    else if (k == K_rquote) AppendChar(QChar(0x2019));
    else if (k == K_ldblquote) AppendChar(QChar(0x201C));
    else if (k == K_rdblquote) AppendChar(QChar(0x201D));
    else if (k == K_zwj) AppendChar(QChar(0x200D));
    else if (k == K_zwnj) AppendChar(QChar(0x200C));
    else if (k == K_ltrmark) AppendChar(QChar(0x200E));
    else if (k == K_rtlmark) AppendChar(QChar(0x200F));
}

void TReader::DestinationWord(TKw k)
{
    TGroup& g = Top();
    const bool ignorable = g.IgnorableNext;
    g.IgnorableNext = false;
    if (g.Dest == dSkip) return;
    if (k == K_fonttbl) { g.Dest = dFontTable; return; }
    if (k == K_colortbl) { g.Dest = dColorTable; return; }
    if (k == K_listtable) { g.Dest = dListTable; return; }
    if (k == K_listoverridetable) { g.Dest = dListOverrideTable; return; }
    if (k == K_list && g.Dest == dListTable) { g.Dest = dList; return; }
    if (k == K_listlevel && g.Dest == dList) {
        g.Dest = dListLevel;
        FListDef.LevelFormats.push_back(0);
        return;
    }
    if (k == K_listoverride && g.Dest == dListOverrideTable) { g.Dest = dListOverride; return; }
    if (k == K_pn && g.Dest == dText) {
        g.Dest = dNumbering;
        g.Para.Pn = nmNone;
        g.Para.PnStart = 1;
        return;
    }
    if (k == K_pict) {
        if (FInPict || (g.Dest != dText && g.Dest != dObjResult)) { g.Dest = dSkip; return; }
        g.Dest = dPict;
        FInPict = true;
        FPict = TPicture();
        FPict.Depth = int(FStack.size());
        return;
    }
    if (k == K_object && g.Dest == dText && !FInObject && !FInPict) {
        g.Dest = dObject;
        FInObject = true;
        FObject = TObject();
        FObject.Depth = int(FStack.size());
        return;
    }
    if (k == K_objclass && g.Dest == dObject) { g.Dest = dObjClass; return; }
    if (k == K_result && g.Dest == dObject) { g.Dest = dObjResult; return; }
    if (k == K_fldinst) { g.Dest = g.Dest == dText ? dFieldInst : dSkip; return; }
    if (k == K_fldrslt || k == K_field || k == K_shppict || k == K_ud) return;
    if (k == K_upr) { g.Upr = true; return; }
    // a destination known to hold no text, or an ignorable one this reader does not know
    if (IsSkippedDestination(k) || ignorable) g.Dest = dSkip;
}

bool TReader::CharWord(TKw k, bool has, int p)
{
    TCharState& c = Top().Char;
    const bool on = !has || p != 0;
    if (k == K_plain) {
        const QString href = c.Href;
        c = TCharState();
        c.Href = href;
    } else if (k == K_b) c.Bold = on;
    else if (k == K_i) c.Italic = on;
    else if (k == K_ul || k == K_uld || k == K_uldb || k == K_ulw || k == K_uldash || k == K_uldashd
             || k == K_uldashdd || k == K_ulth || k == K_ulwave || k == K_ulhwave || k == K_ululdbwave
             || k == K_ulthd || k == K_ulthdash || k == K_ulldash || k == K_ulthldash || k == K_ulthdashd
             || k == K_ulthdashdd)
        c.Underline = on;
    else if (k == K_ulnone) c.Underline = false;
    else if (k == K_strike || k == K_striked) c.Strike = on;
    else if (k == K_f && has) c.Font = p;
    else if (k == K_fs && has) c.HalfPoints = p > 0 ? p : 24;
    else if (k == K_cf && has) c.Color = p;
    else if ((k == K_highlight || k == K_cb || k == K_chcbpat) && has) c.Back = p;
    else if (k == K_super) c.VAlign = on ? 1 : 0;
    else if (k == K_sub) c.VAlign = on ? 2 : 0;
    else if (k == K_nosupersub) c.VAlign = 0;
    else if (k == K_up && has) c.VAlign = p > 0 ? 1 : 0;
    else if (k == K_dn && has) c.VAlign = p > 0 ? 2 : 0;
    else if (k == K_protect) c.Protected = on;
    else if (k == K_v) c.Hidden = on;
    else return false;
    return true;
}

bool TReader::ParaWord(TKw k, bool has, int p)
{
    TParaState& para = Top().Para;
    if (k == K_pard) para = TParaState();
    else if (k == K_ql) para.Align = 0;
    else if (k == K_qr) para.Align = 1;
    else if (k == K_qc) para.Align = 2;
    else if (k == K_qj || k == K_qd) para.Align = 3;
    else if ((k == K_li || k == K_lin) && has) para.Indents.Left = p;
    else if ((k == K_ri || k == K_rin) && has) para.Indents.Right = p;
    else if (k == K_fi && has) para.Indents.First = p;
    else if (k == K_sb && has) para.Before = p;
    else if (k == K_sa && has) para.After = p;
    else if (k == K_sl && has) para.LineSpacing = p;
    else if (k == K_slmult && has) para.LineMultiple = p != 0;
    else if (k == K_tqr) para.NextTabType = QTextOption::RightTab;
    else if (k == K_tqc) para.NextTabType = QTextOption::CenterTab;
    else if (k == K_tqdec) para.NextTabType = QTextOption::DelimiterTab;
    else if ((k == K_tx || k == K_tb) && has) {
        QTextOption::Tab tab(TwipsToDocUnits(p), para.NextTabType,
                             para.NextTabType == QTextOption::DelimiterTab ? QLatin1Char('.') : QChar());
        para.Tabs.append(tab);
        para.NextTabType = QTextOption::LeftTab;
    } else if (k == K_ls && has) para.ListOverride = p;
    else if (k == K_ilvl && has) para.Level = p;
    else if (k == K_pnlvlblt || k == K_pnlvlbody || k == K_pndec) {
        // outside a \pn group some writers put the numbering words straight in the paragraph
        if (k == K_pnlvlblt) para.Pn = nmBullet;
        else para.Pn = nmDecimal;
    } else return false;
    return true;
}

void TReader::Symbol(char s)
{
    switch (s) {
    case '\\': case '{': case '}': {
        const char byte = s;
        TextBytes(QByteArrayView(&byte, 1));
        break;
    }
    case '~': AppendChar(QChar(0x00A0)); break;
    case '-': AppendChar(QChar(0x00AD)); break;
    case '_': AppendChar(QChar(0x2011)); break;
    case '*': Top().IgnorableNext = true; break;
    case '\n':
        if (Top().Dest == dText) EndParagraph();
        break;
    case '\t': AppendChar(QLatin1Char('\t')); break;
    default: break;
    }
}

int TReader::CodePage()
{
    const TGroup& g = Top();
    const int font = g.Char.Font >= 0 ? g.Char.Font : FDefaultFont;
    const auto it = FFonts.find(font);
    if (it != FFonts.end()) {
        if (it->second.CodePage > 0) return it->second.CodePage;
        if (it->second.CharSet == 2) return 1252;   // symbol fonts keep their bytes
        if (it->second.CharSet > 0) {
            const int page = CharSetCodePage(it->second.CharSet);
            if (page > 0) return page;
        }
    }
    return FDocCodePage;
}

void TReader::TextBytes(QByteArrayView bytes)
{
    TGroup& g = Top();
    switch (g.Dest) {
    case dFontTable:
        for (char b : bytes) {
            if (b == ';') EndFontName();
            else FFontName.append(b);
        }
        return;
    case dColorTable:
        for (char b : bytes) {
            if (b != ';') continue;
            if (FRed < 0 && FGreen < 0 && FBlue < 0) FColors.push_back(QColor());
            else FColors.push_back(QColor(qBound(0, FRed, 255), qBound(0, FGreen, 255), qBound(0, FBlue, 255)));
            FRed = FGreen = FBlue = -1;
        }
        return;
    case dPict:
        if (!FInPict) return;
        for (char b : bytes) {
            const int v = HexValue(b);
            if (v < 0) continue;
            if (FPict.HexHigh) FPict.Pending = quint8(v << 4);
            else FPict.Data.append(char(FPict.Pending | v));
            FPict.HexHigh = !FPict.HexHigh;
        }
        return;
    case dObjClass:
        FObject.Class += DecodeRichTextBytes(bytes.toByteArray(), FDocCodePage);
        return;
    case dFieldInst:
        FFieldInst += DecodeRichTextBytes(bytes.toByteArray(), CodePage());
        return;
    case dText:
        break;
    default:
        return;
    }
    if (g.Char.Hidden) return;
    PrepareText();
    const int page = CodePage();
    if (!FPending.isEmpty() && page != FPendingCodePage) DecodePending();
    FPendingCodePage = page;
    for (char b : bytes) {
        if (b == '\t') {
            DecodePending();
            FText += QLatin1Char('\t');
        } else if (quint8(b) >= 0x20 || b < 0) {
            FPending.append(b);
        }
    }
}

void TReader::HexByte(quint8 b)
{
    if (b == '\t') {
        AppendChar(QLatin1Char('\t'));
        return;
    }
    if (b < 0x20) return;   // control characters are no text
    const char byte = char(b);
    const TDest dest = Top().Dest;
    if (dest == dText || dest == dFontTable || dest == dFieldInst || dest == dObjClass) {
        if (dest == dFontTable) {
            FFontName.append(byte);
            return;
        }
        if (dest == dText && !Top().Char.Hidden) {
            PrepareText();
            const int page = CodePage();
            if (!FPending.isEmpty() && page != FPendingCodePage) DecodePending();
            FPendingCodePage = page;
            FPending.append(byte);
            return;
        }
        TextBytes(QByteArrayView(&byte, 1));
    }
}

void TReader::Unicode(int code)
{
    const char16_t unit = char16_t(code < 0 ? code + 65536 : code);
    if (Top().Dest == dFieldInst) {
        FFieldInst += QChar(unit);
        return;
    }
    if (Top().Dest == dFontTable) return;
    AppendChar(QChar(unit));
}

void TReader::AppendChar(QChar c)
{
    if (Top().Dest != dText || Top().Char.Hidden) {
        if (Top().Dest == dFieldInst) FFieldInst += c;
        return;
    }
    PrepareText();
    DecodePending();
    FText += c;
}

void TReader::DecodePending()
{
    if (FPending.isEmpty()) return;
    FText += DecodeRichTextBytes(FPending, FPendingCodePage);
    FPending.clear();
}

void TReader::PrepareText()
{
    // text read so far takes the format it was read in
    if (Top().Char == FTextState) return;
    Flush();
    FTextState = Top().Char;
}

QTextCharFormat TReader::CharFormat() { return FormatOf(FStack.empty() ? TCharState() : FStack.back().Char); }

QTextCharFormat TReader::FormatOf(const TCharState& c)
{
    if (FFormatCached && c == FCachedState) return FCachedFormat;
    QTextCharFormat f;
    const int fontNumber = c.Font >= 0 ? c.Font : FDefaultFont;
    const auto font = FFonts.find(fontNumber);
    if (font != FFonts.end()) {
        if (!font->second.Name.isEmpty()) f.setFontFamilies(QStringList{font->second.Name});
        if (font->second.CharSet >= 0) f.setProperty(rpCharSet, font->second.CharSet);
    }
    f.setFontPointSize(c.HalfPoints / 2.0);
    f.setFontWeight(c.Bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(c.Italic);
    f.setFontUnderline(c.Underline);
    f.setFontStrikeOut(c.Strike);
    if (c.Color >= 0 && c.Color < int(FColors.size()) && FColors[size_t(c.Color)].isValid())
        f.setForeground(FColors[size_t(c.Color)]);
    if (c.Back >= 0 && c.Back < int(FColors.size()) && FColors[size_t(c.Back)].isValid())
        f.setBackground(FColors[size_t(c.Back)]);
    if (c.VAlign == 1) f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    else if (c.VAlign == 2) f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    if (c.Protected) f.setProperty(rpProtected, true);
    if (!c.Href.isEmpty()) {
        f.setAnchor(true);
        f.setAnchorHref(c.Href);
    }
    FCachedState = c;
    FCachedFormat = f;
    FFormatCached = true;
    return f;
}

void TReader::BeginContent()
{
    if (FPendingBreak) {
        if (FPlain) FPlain->append(QLatin1Char('\n'));
        else FCursor->insertBlock(QTextBlockFormat(), CharFormat());
        FPendingBreak = false;
    }
    FParagraphHasContent = true;
}

void TReader::Flush()
{
    DecodePending();
    if (FText.isEmpty()) return;
    BeginContent();
    if (FPlain) FPlain->append(FText);
    else FCursor->insertText(FText, FormatOf(FTextState));
    FText.clear();
}

void TReader::EndParagraph()
{
    Flush();
    BeginContent();
    if (!FPlain) ApplyParagraph(Top().Para);
    FPendingBreak = true;
    FParagraphHasContent = false;
    ++FParagraphs;
}

QTextList* TReader::ListFor(const TParaState& para, TNumbering numbering)
{
    const int key = para.ListOverride > 0 ? para.ListOverride * 16 + qBound(0, para.Level, 15) : -int(numbering);
    // Numbered lists of a list table continue across other paragraphs; old-style numbering
    // runs while paragraphs follow one another.
    if (para.ListOverride > 0) {
        auto it = FLists.find(key);
        if (it != FLists.end()) {
            it->second->add(FCursor->block());
            return it->second;
        }
    } else if (FLastList && FLastListKey == key) {
        FLastList->add(FCursor->block());
        return FLastList;
    }
    QTextListFormat format;
    format.setStyle(ListStyle(numbering));
    format.setIndent(0);
    QTextList* list = FCursor->createList(format);
    FLists[key] = list;
    FLastListKey = key;
    return list;
}

void TReader::ApplyParagraph(const TParaState& para)
{
    TNumbering numbering = para.Pn;
    if (para.ListOverride > 0) {
        numbering = nmBullet;
        const auto ov = FOverrides.find(para.ListOverride);
        for (const TListDef& def : FListDefs) {
            if (ov == FOverrides.end() || def.Id != ov->second) continue;
            const int level = qBound(0, para.Level, int(def.LevelFormats.size()) - 1);
            numbering = def.LevelFormats.empty() ? nmBullet : NumberingOfFormat(def.LevelFormats[size_t(level)]);
        }
    }
    QTextBlockFormat f;
    switch (para.Align) {
    case 1: f.setAlignment(Qt::AlignRight); break;
    case 2: f.setAlignment(Qt::AlignHCenter); break;
    case 3: f.setAlignment(Qt::AlignJustify); break;
    default: f.setAlignment(Qt::AlignLeft); break;
    }
    SetBlockIndents(f, para.Indents, numbering != nmNone);
    if (para.Before) f.setTopMargin(TwipsToDocUnits(para.Before));
    if (para.After) f.setBottomMargin(TwipsToDocUnits(para.After));
    if (para.LineSpacing != 0) {
        if (para.LineMultiple) f.setLineHeight(qAbs(para.LineSpacing) * 100.0 / 240.0, QTextBlockFormat::ProportionalHeight);
        else if (para.LineSpacing > 0) f.setLineHeight(TwipsToDocUnits(para.LineSpacing), QTextBlockFormat::MinimumHeight);
        else f.setLineHeight(TwipsToDocUnits(-para.LineSpacing), QTextBlockFormat::FixedHeight);
    }
    if (!para.Tabs.isEmpty()) f.setTabPositions(para.Tabs);
    QTextBlock block = FCursor->block();
    if (QTextList* old = block.textList()) old->remove(block);
    FCursor->setBlockFormat(f);
    block = FCursor->block();
    if (numbering != nmNone) {
        FLastList = ListFor(para, numbering);
    } else {
        FLastList = nullptr;
        FLastListKey = 0;
    }
}

bool TReader::DecodePicture(const TPicture& pict, QImage& image)
{
    QByteArray bytes = pict.Data;
    if (pict.Kind == TPicture::pkDib) {
        // a packed bitmap: give it the file header a bitmap file has
        if (bytes.size() < 40) return false;
        const quint32 headerSize = quint32(quint8(bytes[0])) | quint32(quint8(bytes[1])) << 8;
        const int bits = quint8(bytes[14]) | quint8(bytes[15]) << 8;
        quint32 colors = quint32(quint8(bytes[32])) | quint32(quint8(bytes[33])) << 8 | quint32(quint8(bytes[34])) << 16;
        if (colors == 0 && bits <= 8) colors = 1u << bits;
        const quint32 offset = 14 + headerSize + colors * 4;
        QByteArray file("BM");
        const quint32 size = quint32(14 + bytes.size());
        for (quint32 v : {size, 0u, offset})
            for (int i = 0; i < 4; ++i) file.append(char((v >> (8 * i)) & 0xFF));
        file.remove(6, 4);
        file.insert(6, QByteArray(4, '\0'));
        bytes = file + bytes;
    } else if (pict.Kind != TPicture::pkPng && pict.Kind != TPicture::pkJpeg) {
        return false;
    }
    try {
        image = ReadPicture(bytes);
    } catch (const std::exception&) {
        image = QImage();
    }
    return !image.isNull();
}

void TReader::PictureSize(const TPicture& pict, const QImage& image, double& width, double& height) const
{
    auto twips = [&](int goal, int pic, int imagePixels) {
        if (goal > 0) return goal;
        if (pict.Kind == TPicture::pkWmf || pict.Kind == TPicture::pkEmf) return pic * 1440 / 2540;   // HIMETRIC
        const int pixels = pic > 0 ? pic : imagePixels;
        return pixels * 15;   // 96 pixels per inch
    };
    width = TwipsToDocUnits(twips(pict.GoalW, pict.PicW, image.width()) * qMax(pict.ScaleX, 1) / 100);
    height = TwipsToDocUnits(twips(pict.GoalH, pict.PicH, image.height()) * qMax(pict.ScaleY, 1) / 100);
    if (width <= 0) width = 32;
    if (height <= 0) height = 32;
}

void TReader::InsertImage(const QImage& image, double width, double height, const QByteArray& raw, bool isObject,
                          const QString& objectClass)
{
    Flush();
    BeginContent();
    if (FPlain) return;   // pictures and objects are no text
    QTextDocument* document = FCursor->document();
    const QString name = NewResourceName(isObject ? "object" : "pict");
    document->addResource(QTextDocument::ImageResource, QUrl(name), image);
    QTextImageFormat format;
    format.merge(CharFormat());
    format.setName(name);
    format.setWidth(width);
    format.setHeight(height);
    if (!raw.isEmpty()) format.setProperty(rpRawGroup, raw);
    if (isObject) {
        format.setProperty(rpIsObject, true);
        format.setProperty(rpObjectClass, objectClass);
    }
    FCursor->insertImage(format);
}

void TReader::FinishPicture(qsizetype endPos, bool complete)
{
    FInPict = false;
    if (FPlain) {
        // text only: a picture is no text, and is not decoded
        if (!FInObject && Top().Dest == dPict) InsertImage(QImage(), 0, 0, QByteArray(), false, QString());
        return;
    }
    QImage image;
    DecodePicture(FPict, image);
    double width = 0, height = 0;
    PictureSize(FPict, image, width, height);
    if (FInObject) {
        if (!image.isNull()) {
            FObject.Result = image;
            FObject.ResultWidth = width;
            FObject.ResultHeight = height;
        }
        return;
    }
    if (Top().Dest != dPict) return;
    const qsizetype start = Top().Start;
    const QByteArray raw = complete ? FData.sliced(start, endPos - start).toByteArray() : QByteArray();
    if (image.isNull()) {
        if (!complete) return;   // nothing to show and nothing to keep
        image = RichTextPlaceholder(int(width), int(height), QStringLiteral("Picture"));
    }
    InsertImage(image, width, height, raw, false, QString());
}

void TReader::FinishObject(qsizetype endPos, bool complete)
{
    FInObject = false;
    if (!complete) return;   // a cut object cannot be written back whole
    if (FPlain) {
        InsertImage(QImage(), 0, 0, QByteArray(), true, QString());
        return;
    }
    const qsizetype start = Top().Start;
    const QByteArray raw = FData.sliced(start, endPos - start).toByteArray();
    QImage image = FObject.Result;
    double width = FObject.ResultWidth, height = FObject.ResultHeight;
    if (image.isNull()) {
        width = TwipsToDocUnits(qMax(FObject.Width, 1440) * qMax(FObject.ScaleX, 1) / 100);
        height = TwipsToDocUnits(qMax(FObject.Height, 720) * qMax(FObject.ScaleY, 1) / 100);
        const QString caption = FObject.Class.trimmed().isEmpty() ? QStringLiteral("Object")
                                                                  : FObject.Class.trimmed();
        image = RichTextPlaceholder(int(width), int(height), caption);
    }
    // The object's group is closed by the caller; its content belongs to the enclosing text.
    TGroup saved = Top();
    Top().Dest = dText;
    InsertImage(image, width, height, raw, true, FObject.Class.trimmed());
    Top() = saved;
}

} // namespace

bool LooksLikeRtf(QByteArrayView data)
{
    return data.startsWith(QByteArrayView("{\\rtf")) || data.startsWith(QByteArrayView("{\\urtf"));
}

TRtfReadStatus CheckRtf(QByteArrayView data) { return LooksLikeRtf(data) ? CheckSyntax(data) : rrNotRtf; }

QString RtfPlainText(QByteArrayView data, TRtfReadResult* result)
{
    QString plain;
    TRtfReadResult r;
    r.Status = CheckRtf(data);
    if (r.Status == rrOk) {
        TReader reader(data, plain);
        r = reader.Run();
    }
    if (result) *result = r;
    return plain;
}

TRtfReadResult ReadRtf(QByteArrayView data, QTextCursor& cursor, const TRtfReadOptions& options)
{
    TRtfReadResult result;
    if (!LooksLikeRtf(data)) {
        result.Status = rrNotRtf;
        return result;
    }
    result.Status = CheckSyntax(data);
    if (result.Status != rrOk) return result;
    TReader reader(data, cursor, options);
    return reader.Run();
}
