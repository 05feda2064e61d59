#include "platform/vcl/Printers.h"

#include "platform/core/SysUtils.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QCoreApplication>

namespace {

const QString PdfPrinterName = QStringLiteral("PDF");

struct TPaperCode {
    int Code;
    QPageSize::PageSizeId Id;
};
const TPaperCode PaperCodes[] = {
    {1, QPageSize::Letter}, {3, QPageSize::Tabloid}, {4, QPageSize::Ledger}, {5, QPageSize::Legal},
    {7, QPageSize::Executive}, {8, QPageSize::A3}, {9, QPageSize::A4}, {11, QPageSize::A5},
    {12, QPageSize::B4}, {13, QPageSize::B5}, {14, QPageSize::Folio}, {20, QPageSize::Comm10E},
    {27, QPageSize::DLE}, {28, QPageSize::C5E},
};

} // namespace

TPrinter::TPrinter() : FPrinter(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    const QPrinterInfo def = QPrinterInfo::defaultPrinter();
    if (def.isNull()) {
        FPrinter->setOutputFormat(QPrinter::PdfFormat);
        FPrinterIndex = int(Printers().size()) - 1;
    } else {
        FPrinterIndex = int(QPrinterInfo::availablePrinterNames().indexOf(def.printerName()));
    }
}

TPrinter::~TPrinter()
{
    if (FPainter) FPainter->end();
}

QStringList TPrinter::Printers() const
{
    QStringList names = QPrinterInfo::availablePrinterNames();
    names << PdfPrinterName;
    return names;
}

void TPrinter::SetPrinterIndex(int index)
{
    const QStringList names = Printers();
    if (index < 0 || index >= names.size()) index = int(names.size()) - 1;
    FPrinterIndex = index;
    if (names[index] == PdfPrinterName) {
        FPrinter->setOutputFormat(QPrinter::PdfFormat);
    } else {
        FPrinter->setOutputFormat(QPrinter::NativeFormat);
        FPrinter->setPrinterName(names[index]);
        if (!FOutputFileName.isEmpty()) FPrinter->setOutputFileName(FOutputFileName);
    }
}

QString TPrinter::OutputFileName() const { return FOutputFileName; }

void TPrinter::SetOutputFileName(const QString& fileName)
{
    FOutputFileName = fileName;
    if (!fileName.isEmpty()) FPrinter->setOutputFormat(QPrinter::PdfFormat);
    FPrinter->setOutputFileName(fileName);
}

void TPrinter::BeginDoc()
{
    if (FPainter) throw EInvalidOperation(QStringLiteral("Printing in progress"));
    if (FPrinter->outputFormat() == QPrinter::PdfFormat && FPrinter->outputFileName().isEmpty())
        throw EInvalidOperation(QStringLiteral("No file to print to"));
    FPrinter->setDocName(Title);
    FPrinter->setCopyCount(qMax(Copies, 1));
    FPrinter->setCollateCopies(Collate);
    // device coordinates start at the printable area, as a printer's did
    FPrinter->setFullPage(false);
    auto painter = std::make_unique<QPainter>();
    if (!painter->begin(FPrinter.get())) throw EInvalidOperation(QStringLiteral("Printer is not currently printing"));
    FPainter = std::move(painter);
}

void TPrinter::EndDoc()
{
    if (!FPainter) return;
    FPainter->end();
    FPainter.reset();
}

void TPrinter::NewPage()
{
    if (!FPainter) throw EInvalidOperation(QStringLiteral("Printer is not currently printing"));
    FPrinter->newPage();
}

void TPrinter::Abort()
{
    if (!FPainter) return;
    FPrinter->abort();
    FPainter->end();
    FPainter.reset();
}

QPaintDevice* TPrinter::Handle() const { return FPrinter.get(); }

int TPrinter::XResolution() const { return FPrinter->logicalDpiX(); }
int TPrinter::YResolution() const { return FPrinter->logicalDpiY(); }

int TPrinter::PageWidth() const { return FPrinter->pageLayout().paintRectPixels(FPrinter->resolution()).width(); }
int TPrinter::PageHeight() const { return FPrinter->pageLayout().paintRectPixels(FPrinter->resolution()).height(); }

QSize TPrinter::PhysicalPageSize() const { return FPrinter->pageLayout().fullRectPixels(FPrinter->resolution()).size(); }

QPoint TPrinter::PrintingOffset() const
{
    return FPrinter->pageLayout().paintRectPixels(FPrinter->resolution()).topLeft();
}

int TPrinter::PaperSize() const
{
    const QPageSize::PageSizeId id = FPrinter->pageLayout().pageSize().id();
    for (const TPaperCode& p : PaperCodes)
        if (p.Id == id) return p.Code;
    return 0;
}

void TPrinter::SetPaperSize(int code)
{
    for (const TPaperCode& p : PaperCodes)
        if (p.Code == code) FPrinter->setPageSize(QPageSize(p.Id));
}

namespace {
std::unique_ptr<TPrinter>& ThePrinter()
{
    static std::unique_ptr<TPrinter> printer;
    return printer;
}
} // namespace

TPrinter& Printer()
{
    if (!ThePrinter()) {
        ThePrinter() = std::make_unique<TPrinter>();
        // the printer goes before the application object does
        qAddPostRoutine([] { ThePrinter().reset(); });
    }
    return *ThePrinter();
}

bool PrinterInstalled() { return true; }
