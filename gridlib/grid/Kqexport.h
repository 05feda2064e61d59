#pragma once
// The data grid's export: the records as the grid shows them, all or only the multi-selected
// ones, written as delimited or fixed-width text, an HTML table or a SYLK spreadsheet, to a
// file or to the clipboard. A program sets the options of a grid's ExportOptions and calls Save.
//
// Files are UTF-8 without a byte-order mark, every line ends in CR LF (the last one too), and
// a file is replaced atomically: a failing export leaves the old file as it was. Text and HTML
// stream through one reused buffer; SYLK, whose head (fonts, row count) is known only at the
// end, keeps its body in a temporary file meanwhile, so no file export holds the file in memory.

#include "gridlib/core/kqcommon.h"

#include <QObject>
#include <QString>

class TkqDBGrid;

enum TkqGridExportType { kqgetTxt, kqgetHTML, kqgetSYLK, kqgetXML };

enum TkqExportSaveOption {
    esoShowHeader, esoShowFooter, esoDynamicColors, esoShowTitle, esoDblQuoteFields, esoSaveSelectedOnly,
    esoAddControls, esoBestColFit, esoShowRecordNo, esoEmbedURL, esoShowAlternating, esoTransparentGrid,
    esoClipboard
};
using TkqExportSaveOptions = TkqSet<TkqExportSaveOption>;

constexpr TkqExportSaveOptions DefaultExportSaveOptions{esoShowHeader, esoShowTitle, esoDblQuoteFields,
                                                        esoShowAlternating};

// The MIME type a SYLK export has on the clipboard (beside plain text).
inline constexpr char SylkMimeType[] = "application/x-sylk";
// The MIME type of the HTML clipboard form with its description header (beside text/html).
inline constexpr char HtmlFormatMimeType[] = "application/x-qt-windows-mime;value=\"HTML Format\"";

class TkqExportOptions : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Delimiter READ Delimiter WRITE SetDelimiter)
    Q_PROPERTY(int ExportType READ ExportTypeValue WRITE SetExportTypeValue)
    Q_PROPERTY(QString FileName READ FileName WRITE SetFileName)
    Q_PROPERTY(int HTMLBorderWidth READ HTMLBorderWidth WRITE SetHTMLBorderWidth)
    Q_PROPERTY(qulonglong Options READ OptionsValue WRITE SetOptionsValue)
    Q_PROPERTY(int OutputWidthinTwips READ OutputWidthinTwips WRITE SetOutputWidthinTwips)
    Q_PROPERTY(QString TitleName READ TitleName WRITE SetTitleName)

public:
    explicit TkqExportOptions(TkqDBGrid* grid);

    QString Delimiter() const { return FDelimiter; }
    void SetDelimiter(const QString& value) { FDelimiter = value; }
    TkqGridExportType ExportType() const { return FExportType; }
    void SetExportType(TkqGridExportType value) { FExportType = value; }
    int ExportTypeValue() const { return int(FExportType); }
    void SetExportTypeValue(int value) { FExportType = TkqGridExportType(qBound(0, value, int(kqgetXML))); }
    // The name set; when empty, the program's name up to its first "." followed by ".txt".
    QString FileName() const;
    void SetFileName(const QString& value) { FFileName = value; }
    int HTMLBorderWidth() const { return FHTMLBorderWidth; }
    void SetHTMLBorderWidth(int value) { FHTMLBorderWidth = value; }
    TkqExportSaveOptions Options() const { return FOptions; }
    void SetOptions(TkqExportSaveOptions value) { FOptions = value; }
    qulonglong OptionsValue() const { return FOptions.Bits(); }
    void SetOptionsValue(qulonglong bits) { FOptions = TkqExportSaveOptions::FromBits(bits); }
    // HTML cell widths are scaled so that the exported columns fill this many twips (0: pixels).
    int OutputWidthinTwips() const { return FOutputWidthinTwips; }
    void SetOutputWidthinTwips(int value) { FOutputWidthinTwips = value; }
    QString TitleName() const { return FTitleName; }
    void SetTitleName(const QString& value) { FTitleName = value; }

    // With esoDblQuoteFields a non-empty text in double quotes; an empty one becomes "" only in
    // fixed-width text. Quotes inside are left as they are.
    virtual QString QuoteValue(const QString& text) const;
    // Exports as set. A file that cannot be created raises before any record is read.
    virtual void Save();

    TkqDBGrid* Grid() const { return FGrid; }

private:
    TkqDBGrid* FGrid;
    QString FDelimiter = QStringLiteral(",");
    TkqGridExportType FExportType = kqgetTxt;
    QString FFileName;
    int FHTMLBorderWidth = 1;
    TkqExportSaveOptions FOptions = DefaultExportSaveOptions;
    int FOutputWidthinTwips = 0;
    QString FTitleName;
};
