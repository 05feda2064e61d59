#pragma once
// The program's printer: the system's printers (CUPS) or a PDF file, through QPrinter. It
// answers what the old printer escapes did (physical page size and printing offset in device
// units) and takes the old paper-size codes.

#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>
#include <memory>

class QPainter;
class QPrinter;
class QPaintDevice;

class TPrinter {
public:
    TPrinter();
    ~TPrinter();
    TPrinter(const TPrinter&) = delete;
    TPrinter& operator=(const TPrinter&) = delete;

    // The system's printers, then "PDF" (a file, always there).
    QStringList Printers() const;
    int PrinterIndex() const { return FPrinterIndex; }
    void SetPrinterIndex(int index);
    // Printing goes to this PDF file when set (and always with the "PDF" printer).
    QString OutputFileName() const;
    void SetOutputFileName(const QString& fileName);

    QString Title;
    int Copies = 1;
    bool Collate = false;

    void BeginDoc();
    void EndDoc();
    void NewPage();
    void Abort();
    bool Printing() const { return FPainter != nullptr; }
    // While printing: the painter of the current page.
    QPainter* Canvas() const { return FPainter.get(); }
    QPaintDevice* Handle() const;
    QPrinter* QtPrinter() const { return FPrinter.get(); }

    // Device units: pixels at the printer's resolution.
    int XResolution() const;
    int YResolution() const;
    int PageWidth() const;    // printable area
    int PageHeight() const;
    QSize PhysicalPageSize() const;
    QPoint PrintingOffset() const;

    // Paper sizes by the old codes (1 letter, 5 legal, 8 A3, 9 A4, 11 A5, ...); 0 when the
    // current size has no code.
    int PaperSize() const;
    void SetPaperSize(int code);

private:
    std::unique_ptr<QPrinter> FPrinter;
    std::unique_ptr<QPainter> FPainter;
    int FPrinterIndex = -1;
    QString FOutputFileName;
};

// The one printer of the program.
TPrinter& Printer();
// True when something can be printed on (the PDF printer always can).
bool PrinterInstalled();
