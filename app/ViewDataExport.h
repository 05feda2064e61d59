#pragma once
// The data window's Export command: the grid's records go to a file whose extension names the
// format: ".csv" comma-separated text, ".txt" tab-separated text, ".prn" fixed-width text,
// ".htm" or ".html" an HTML table, ".slk" a SYLK spreadsheet.

#include "gridlib/grid/Kqexport.h"

#include <QString>

class TkqDBGrid;

// The save dialog's filter, in the order of the formats.
QString ExportFileFilter();
// The format and delimiter a file name asks for; false when its extension names none.
bool ExportFormatOf(const QString& fileName, TkqGridExportType& type, QString& delimiter);
// Exports the grid's records (only the selected ones when there are) to the file, titled with
// title in HTML. The dataset's scroll handler is held back meanwhile; false for an unknown
// extension.
bool ExportGridToFile(TkqDBGrid* grid, const QString& fileName, const QString& title);
