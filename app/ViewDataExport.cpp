// The data window's Export command.

#include "app/ViewDataExport.h"

#include "gridlib/grid/Kqdbgrid.h"
#include "platform/core/ScopeExit.h"

#include <QFileInfo>

QString ExportFileFilter()
{
    return QStringLiteral("Comma-separated text|*.csv|Tab-separated text|*.txt|Fixed-width text|*.prn|"
                          "HTML table|*.html;*.htm|SYLK spreadsheet|*.slk");
}

bool ExportFormatOf(const QString& fileName, TkqGridExportType& type, QString& delimiter)
{
    const QString ext = QFileInfo(fileName).suffix().toLower();
    delimiter = QStringLiteral(",");
    if (ext == QLatin1String("csv")) type = kqgetTxt;
    else if (ext == QLatin1String("txt")) type = kqgetTxt, delimiter = QStringLiteral("\t");
    else if (ext == QLatin1String("prn")) type = kqgetTxt, delimiter.clear();
    else if (ext == QLatin1String("html") || ext == QLatin1String("htm")) type = kqgetHTML;
    else if (ext == QLatin1String("slk")) type = kqgetSYLK;
    else return false;
    return true;
}

bool ExportGridToFile(TkqDBGrid* grid, const QString& fileName, const QString& title)
{
    TkqGridExportType type;
    QString delimiter;
    if (!ExportFormatOf(fileName, type, delimiter)) return false;
    TkqExportOptions* ex = grid->ExportOptions();
    ex->SetExportType(type);
    ex->SetDelimiter(delimiter);
    ex->SetFileName(fileName);
    ex->SetTitleName(title);
    TkqExportSaveOptions options = DefaultExportSaveOptions;
    if (type == kqgetHTML) options = options | TkqExportSaveOptions{esoBestColFit, esoEmbedURL};
    if (!grid->SelectedBookmarks().isEmpty()) options.Include(esoSaveSelectedOnly);
    ex->SetOptions(options);
    TDataSet* ds = grid->DataSet();
    if (!ds) return true;
    ds->CheckBrowseMode();
    // The walk over the records is no scrolling the status line has to follow.
    const TDataSet::TDataSetNotifyEvent afterScroll = ds->AfterScroll;
    ds->AfterScroll = nullptr;
    TScopeExit restore([&] { ds->AfterScroll = afterScroll; });
    ex->Save();
    return true;
}
