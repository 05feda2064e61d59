// The grid export: delimited and fixed-width text, the HTML table and the SYLK spreadsheet,
// compared byte for byte with what they must write, to a file and to the clipboard.

#include "gridlib/core/kqradiogroup.h"
#include "gridlib/grid/Kqdbgrid.h"
#include "platform/core/AtomicFile.h"
#include "platform/core/SysUtils.h"
#include "tests/common/TestSupport.h"
#include "tests/gridlib/GridTestData.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QScreen>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

// A drop-down list control as the grid finds it on a form: by the name of its class, with
// Items of "display<Tab>stored" lines, showing the display text of a stored value.
class TkqDBComboBox : public QLineEdit, public TkqCellTextMap {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource MEMBER Source)
    Q_PROPERTY(QString DataField MEMBER Field)
    Q_PROPERTY(QStringList Items MEMBER Items)
public:
    using QLineEdit::QLineEdit;
    QString MapStoredToDisplay(const QString& stored) const override
    {
        for (const QString& item : Items)
            if (item.section(QLatin1Char('\t'), 1) == stored) return item.section(QLatin1Char('\t'), 0, 0);
        return {};
    }
    TDataSource* Source = nullptr;
    QString Field;
    QStringList Items;
};

// Lines written with "\n" in the expectations end in CR LF in the files.
QByteArray Crlf(const char* text) { return QByteArray(text).replace("\n", "\r\n"); }

// Two customers: Id, a "Name" group of First and Last, a hidden Secret, a check-box field, a
// combo field, a link, a memo with a line break and a text with a semicolon and quotes.
struct ExportForm {
    ExportForm()
    {
        form = std::make_unique<QWidget>();
        form->setObjectName(QStringLiteral("ExportForm"));
        form->resize(900, 300);
        grid = new TkqDBGrid(form.get());
        grid->setObjectName(QStringLiteral("Grid1"));
        grid->resize(880, 280);
        combo = new TkqDBComboBox(form.get());
        combo->setObjectName(QStringLiteral("cboKind"));
        combo->Items = {QStringLiteral("Retail\tR"), QStringLiteral("Wholesale\tW")};
        ds = new TGridTestDataSet(form.get());
        ds->Define({{"Id", ftInteger}, {"First", ftWideString}, {"Last", ftWideString}, {"Secret", ftWideString},
                    {"Paid", ftWideString}, {"Kind", ftWideString}, {"Web", ftWideString}, {"Notes", ftMemo},
                    {"Remark", ftWideString}});
        ds->AddRow({TVariant(1), TVariant(QStringLiteral("Ann")), TVariant(QStringLiteral("Lee")), TVariant(QStringLiteral("s1")),
                    TVariant(QStringLiteral("Yes")), TVariant(QStringLiteral("R")),
                    TVariant(QStringLiteral("Quarrow#http://quarrow.example/")),
                    TVariant(QStringLiteral("line one\r\nline two")), TVariant(QStringLiteral("a;b \"c\""))});
        ds->AddRow({TVariant(2), TVariant(QStringLiteral("Bob")), TVariant::Null(), TVariant(QStringLiteral("s2")),
                    TVariant(QStringLiteral("No")), TVariant(QStringLiteral("W")), TVariant(QStringLiteral("bob@mail.example")),
                    TVariant::Null(), TVariant(QStringLiteral("x < y & z"))});
        source = new TDataSource(form.get());
        source->SetDataSet(ds);
        ds->Open();
        grid->SetUseTFields(false);
        grid->SetSelected({QStringLiteral("Id\t4\tNo"), QStringLiteral("First\t8\tFirst\tF\tName"), QStringLiteral("Last\t8\tLast\tF\tName"),
                           QStringLiteral("Paid\t4\tPaid"), QStringLiteral("Kind\t9\tKind"), QStringLiteral("Web\t12\tSite~Link"),
                           QStringLiteral("Notes\t12\tNotes"), QStringLiteral("Remark\t10\tRemark")});
        grid->SetControlType({QStringLiteral("Paid;CheckBox;Yes;No"), QStringLiteral("Kind;CustomEdit;cboKind"),
                              QStringLiteral("Web;URL-Link")});
        grid->SetMemoAttributes({mGridShow});
        grid->SetFont(TFont(QFont(QStringLiteral("Arial"), 10), clBlack));
        QFont title(QStringLiteral("Arial"), 10);
        title.setBold(true);
        grid->SetTitleFont(TFont(title, clNavy));
        grid->SetColor(clWhite);
        grid->SetTitleColor(clSilver);
        grid->PaintOptions()->SetAlternatingRowColor(clCream);
        grid->SetDataSource(source);
        form->show();
        QApplication::processEvents();
        path = dir.filePath(QStringLiteral("export.out"));
        ex()->SetFileName(path);
    }
    TkqExportOptions* ex() const { return grid->ExportOptions(); }
    QByteArray Export(TkqGridExportType type, TkqExportSaveOptions options, const QString& delimiter = QStringLiteral(","))
    {
        ex()->SetExportType(type);
        ex()->SetOptions(options);
        ex()->SetDelimiter(delimiter);
        ex()->Save();
        return ReadWholeFile(path);
    }
    int NotesWidth() const { return grid->ColWidths(6 + grid->IndicatorOffset()); }

    std::unique_ptr<QWidget> form;
    TkqDBGrid* grid = nullptr;
    TkqDBComboBox* combo = nullptr;
    TGridTestDataSet* ds = nullptr;
    TDataSource* source = nullptr;
    QTemporaryDir dir;
    QString path;
};

TEST(GridExport, TextFormatsByteForByte)
{
    ExportForm f;
    struct Case {
        const char* name;
        TkqExportSaveOptions options;
        const char* delimiter;
        const char* expected;
    };
    const Case cases[] = {
        {"defaults: quoted, empty values stay empty", DefaultExportSaveOptions, ",",
         "\"No\",\"First\",\"Last\",\"Paid\",\"Kind\",\"Site Link\",\"Notes\",\"Remark\"\n"
         "\"1\",\"Ann\",\"Lee\",\"Yes\",\"Retail\",\"Quarrow\",\"line one\nline two\",\"a;b \"c\"\"\n"
         "\"2\",\"Bob\",,\"No\",\"Wholesale\",\"bob@mail.example\",,\"x < y & z\"\n"},
        {"tab-delimited with record numbers, no quotes", {esoShowHeader, esoShowRecordNo}, "\t",
         "#\tNo\tFirst\tLast\tPaid\tKind\tSite Link\tNotes\tRemark\n"
         "1\t1\tAnn\tLee\tYes\tRetail\tQuarrow\tline one\nline two\ta;b \"c\"\n"
         "2\t2\tBob\t\tNo\tWholesale\tbob@mail.example\t\tx < y & z\n"},
        {"fixed width: numbers right-aligned, empty values as two quotes", {esoShowHeader, esoDblQuoteFields, esoShowRecordNo}, "",
         "       #   \"No\" \"First\"    \"Last\"     \"Paid\" \"Kind\"      \"Site Link\"    \"Notes\"        \"Remark\"    \n"
         "     \"1\"    \"1\" \"Ann\"      \"Lee\"      \"Yes\"  \"Retail\"    \"Quarrow\"      \"line one\nline two\" \"a;b \"c\"\"   \n"
         "     \"2\"    \"2\" \"Bob\"      \"\"         \"No\"   \"Wholesale\" \"bob@mail.example\" \"\"             \"x < y & z\" \n"},
        {"fixed width without quotes or header", {}, "",
         "   1 Ann      Lee      Yes  Retail    Quarrow      line one\nline two a;b \"c\"   \n"
         "   2 Bob               No   Wholesale bob@mail.example              x < y & z \n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(QString::fromUtf8(f.Export(kqgetTxt, c.options, QString::fromUtf8(c.delimiter))).replace("\r", "<CR>"), QString::fromUtf8(Crlf(c.expected)).replace("\r", "<CR>"));
    }
}

TEST(GridExport, RefusedFieldsAndEmptyExports)
{
    ExportForm f;
    // Refusing the grid's last field leaves a trailing delimiter on every line.
    f.grid->OnExportField = [](QObject*, TField* field, bool& accept) { accept = field->FieldName() != QLatin1String("Remark"); };
    EXPECT_EQ(f.Export(kqgetTxt, {}, QStringLiteral(";")),
              Crlf("1;Ann;Lee;Yes;Retail;Quarrow;line one\nline two;\n2;Bob;;No;Wholesale;bob@mail.example;;\n"));
    f.grid->OnExportField = nullptr;

    // Only the selected records, and nothing selected: the text has only its header.
    EXPECT_EQ(f.Export(kqgetTxt, {esoShowHeader, esoSaveSelectedOnly}, QStringLiteral(",")),
              Crlf("No,First,Last,Paid,Kind,Site Link,Notes,Remark\n"));
    // The selected second record alone.
    f.ds->Last();
    f.grid->SelectRecord();
    EXPECT_EQ(f.Export(kqgetTxt, {esoSaveSelectedOnly}, QStringLiteral(",")),
              Crlf("2,Bob,,No,Wholesale,bob@mail.example,,x < y & z\n"));
    f.grid->UnselectAll();

    // XML has no writer: the file is made and stays empty (an old one is replaced).
    WriteWholeFile(f.path, "old contents");
    EXPECT_TRUE(f.Export(kqgetXML, DefaultExportSaveOptions).isEmpty());
    EXPECT_TRUE(QFile::exists(f.path));

    // A grid whose data link is not active writes an empty file.
    f.ds->Close();
    WriteWholeFile(f.path, "old contents");
    EXPECT_TRUE(f.Export(kqgetHTML, DefaultExportSaveOptions).isEmpty());
    EXPECT_TRUE(QFile::exists(f.path));
}

TEST(GridExport, FileThatCannotBeCreatedRaisesAndKeepsTheOldFile)
{
    ExportForm f;
    f.ex()->SetFileName(f.dir.filePath(QStringLiteral("no/such/folder/out.txt")));
    EXPECT_THROW(f.ex()->Save(), EFCreateError);
    // A failing write leaves the file as it was.
    f.ex()->SetFileName(f.path);
    WriteWholeFile(f.path, "keep me");
    TAtomicFileWriter::InjectWriteFailure(10, 28);
    EXPECT_THROW(f.ex()->Save(), EInOutError);
    TAtomicFileWriter::InjectWriteFailure(-1, 0);
    EXPECT_EQ(ReadWholeFile(f.path), QByteArray("keep me"));
}

TEST(GridExport, HtmlWithGroupsControlsLinksAndAlternatingRows)
{
    ExportForm f;
    f.ex()->SetTitleName(QStringLiteral("Customers"));
    const QByteArray html = f.Export(kqgetHTML, DefaultExportSaveOptions | TkqExportSaveOptions{esoBestColFit, esoShowRecordNo,
                                                                                                 esoAddControls, esoEmbedURL});
    const QByteArray font = "STYLE=\"font-family: Arial;font-size: 10 pt;color:#000000;\"";
    const QByteArray title = "STYLE=\"font-family: Arial;font-size: 10 pt;color:#000080;\"";
    QByteArray expected = Crlf(
        "<HTML>\n<HEAD>\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=utf-8\">\n<TITLE>@PATH@</TITLE>\n</HEAD>\n<BODY>\n"
        "<TABLE ALIGN=Center BORDER=\"1\" CELLPADDING=\"1\" CELLSPACING=\"0\" dir=\"LTR\" BGCOLOR=#ffffff>\n"
        "<THEAD>\n"
        "<TR @T@ BGCOLOR=#c0c0c0>\n<TH colspan=\"9\" scope=\"colgroup\">Customers</TH>\n</TR>\n"
        "<TR @T@ ALIGN=left>\n"
        "<TD ALIGN=\"CENTER\" @T@ SCOPE=\"col\" bgcolor=#c0c0c0 RowSpan=\"2\"><B>#</B></TD>\n"
        "<TD ALIGN=\"left\" SCOPE=\"col\" bgcolor=#c0c0c0 RowSpan=\"2\"><B>No</B></TD>\n"
        "<TD SCOPE=\"col\" bgcolor=#c0c0c0 ALIGN=CENTER ColSpan=\"2\"><B>Name</B></TD>\n"
        "<TD ALIGN=\"left\" SCOPE=\"col\" bgcolor=#c0c0c0 RowSpan=\"2\"><B>Paid</B></TD>\n"
        "<TD ALIGN=\"left\" SCOPE=\"col\" bgcolor=#c0c0c0 RowSpan=\"2\"><B>Kind</B></TD>\n"
        "<TD ALIGN=\"left\" SCOPE=\"col\" bgcolor=#c0c0c0 RowSpan=\"2\"><B>Site<BR>Link</B></TD>\n"
        "<TD ALIGN=\"left\" SCOPE=\"col\" bgcolor=#c0c0c0 RowSpan=\"2\"><B>Notes</B></TD>\n"
        "<TD ALIGN=\"left\" SCOPE=\"col\" bgcolor=#c0c0c0 RowSpan=\"2\"><B>Remark</B></TD>\n"
        "</TR>\n"
        "<TR @T@ ALIGN=left>\n"
        "<TD ALIGN=\"left\" SCOPE=\"col\" bgcolor=#c0c0c0 ><B>First</B></TD>\n"
        "<TD ALIGN=\"left\" SCOPE=\"col\" bgcolor=#c0c0c0 ><B>Last</B></TD>\n"
        "</TR>\n"
        "</THEAD>\n"
        "<TBODY>\n"
        "<TR VALIGN=\"TOP\" @F@>\n"
        "<TD WIDTH=\"0*\" NOWRAP ALIGN=\"right\" scope=\"row\" @T@ BGCOLOR=#c0c0c0>1</TD>\n"
        "<TD NOWRAP ALIGN=\"right\" WIDTH=\"0*\" SCOPE=\"row\">1</TD>\n"
        "<TD NOWRAP ALIGN=\"left\" WIDTH=\"0*\" SCOPE=\"row\">Ann</TD>\n"
        "<TD NOWRAP ALIGN=\"left\" WIDTH=\"0*\" SCOPE=\"row\">Lee</TD>\n"
        "<TD NOWRAP WIDTH=\"0*\" SCOPE=\"row\"><input align=\"middle\" type=\"checkbox\" checked ></TD>\n"
        "<TD NOWRAP ALIGN=\"left\" WIDTH=\"0*\" SCOPE=\"row\"><Select Name=\"kqCombo1\"><Option Value=\"R\" selected>Retail"
        "<Option Value=\"W\">Wholesale</Select></TD>\n"
        "<TD NOWRAP ALIGN=\"left\" WIDTH=\"0*\" SCOPE=\"row\"><A href=\"http://quarrow.example/\">Quarrow</A></TD>\n"
        "<TD NOWRAP ALIGN=\"left\" WIDTH=\"@N@\" SCOPE=\"row\">line one<BR>line two</TD>\n"
        "<TD NOWRAP ALIGN=\"left\" WIDTH=\"0*\" SCOPE=\"row\">a;b \"c\"</TD>\n"
        "</TR>\n"
        "<TR VALIGN=\"TOP\" @F@>\n"
        "<TD WIDTH=\"0*\" NOWRAP ALIGN=\"right\" scope=\"row\" @T@ BGCOLOR=#c0c0c0>2</TD>\n"
        "<TD NOWRAP ALIGN=\"right\" BGCOLOR=#fffbf0 WIDTH=\"0*\" SCOPE=\"row\">2</TD>\n"
        "<TD NOWRAP ALIGN=\"left\" BGCOLOR=#fffbf0 WIDTH=\"0*\" SCOPE=\"row\">Bob</TD>\n"
        "<TD NOWRAP ALIGN=\"left\" BGCOLOR=#fffbf0 WIDTH=\"0*\" SCOPE=\"row\">&nbsp</TD>\n"
        "<TD NOWRAP BGCOLOR=#fffbf0 WIDTH=\"0*\" SCOPE=\"row\"><INPUT ALIGN=\"middle\" TYPE=\"checkbox\" ></TD>\n"
        "<TD NOWRAP ALIGN=\"left\" BGCOLOR=#fffbf0 WIDTH=\"0*\" SCOPE=\"row\"><Select Name=\"kqCombo2\"><Option Value=\"R\">Retail"
        "<Option Value=\"W\" selected>Wholesale</Select></TD>\n"
        "<TD NOWRAP ALIGN=\"left\" BGCOLOR=#fffbf0 WIDTH=\"0*\" SCOPE=\"row\"><A href=\"MailTo:bob@mail.example\">bob@mail.example</A></TD>\n"
        "<TD NOWRAP ALIGN=\"left\" BGCOLOR=#fffbf0 WIDTH=\"@N@\" SCOPE=\"row\">&nbsp</TD>\n"
        "<TD NOWRAP ALIGN=\"left\" BGCOLOR=#fffbf0 WIDTH=\"0*\" SCOPE=\"row\">x &lt; y &amp; z</TD>\n"
        "</TR>\n"
        "</TBODY>\n</TABLE>\n</BODY>\n</HTML>\n");
    expected.replace("@T@", title).replace("@F@", font).replace("@N@", QByteArray::number(f.NotesWidth()));
    expected.replace("@PATH@", f.path.toUtf8());
    EXPECT_EQ(QString::fromUtf8(html), QString::fromUtf8(expected));
}

TEST(GridExport, HtmlVariants)
{
    ExportForm f;
    // Transparent, no header, cells scaled to a width in twips; the rows keep their plain colour
    // without the alternating option; nothing is selected.
    f.ex()->SetOutputWidthinTwips(1440);
    f.grid->OnExportField = [](QObject*, TField* field, bool& accept) { accept = field->FieldName() == QLatin1String("First"); };
    QByteArray html = f.Export(kqgetHTML, {esoTransparentGrid, esoSaveSelectedOnly});
    EXPECT_TRUE(html.contains(Crlf("<TABLE ALIGN=Center BORDER=\"1\" CELLPADDING=\"1\" CELLSPACING=\"0\" dir=\"LTR\">\n<THEAD>\n</THEAD>\n<TBODY>\n"
                                   "<TR BGCOLOR=#c0c0c0><TH colspan=8 scope=colgroup>No Records Selected</TH></TR>\n</TBODY>\n")))
        << html.constData();
    // One exported column filling one inch: its width is the screen's pixels per inch.
    f.grid->SelectRecord();
    html = f.Export(kqgetHTML, {esoTransparentGrid, esoSaveSelectedOnly});
    const int firstWidth = f.grid->ColWidths(1 + f.grid->IndicatorOffset());
    const int ppi = qRound(QGuiApplication::primaryScreen()->logicalDotsPerInch());
    const int w = int(firstWidth * (1440 / (double(firstWidth + 5) / ppi * 1440)));
    EXPECT_TRUE(html.contains(Crlf("<TD NOWRAP ALIGN=\"left\" WIDTH=\"") + QByteArray::number(w) + "\" SCOPE=\"row\">Ann</TD>\r\n"))
        << html.constData();
    // Without a group row below, titles span one row: a span into the body would push the first
    // record aside in readers that do not end it at the header.
    f.grid->OnExportField = [](QObject*, TField* field, bool& accept) { accept = field->FieldName() != QLatin1String("Last") &&
                                                                                  field->FieldName() != QLatin1String("First"); };
    html = f.Export(kqgetHTML, {esoShowHeader, esoShowRecordNo});
    EXPECT_TRUE(html.contains(Crlf("SCOPE=\"col\" bgcolor=#c0c0c0><B>#</B></TD>\n"
                                   "<TD ALIGN=\"left\" SCOPE=\"col\" bgcolor=#c0c0c0><B>No</B></TD>\n"
                                   "<TD ALIGN=\"left\" SCOPE=\"col\" bgcolor=#c0c0c0><B>Paid</B></TD>\n")))
        << html.constData();
    EXPECT_FALSE(html.contains("RowSpan"));
    f.grid->OnExportField = nullptr;
    f.grid->UnselectAll();

    // The footer, dynamic colours and a font of a cell's own.
    f.grid->SetOptions(f.grid->Options().With(dgShowFooter, true));
    f.grid->GetColumn(0)->SetFooterText(QStringLiteral("2"));
    f.grid->SetFooterColor(clGray);
    f.grid->SetFooterCellColor(clYellow);
    f.grid->OnCalcCellColors = [](QObject*, TField* field, TGridDrawState, bool, TFont& font, TColor& brush) {
        if (field->FieldName() == QLatin1String("First")) {
            font.Font.setItalic(true);
            font.Color = clRed;
            brush = clLime;
        }
    };
    f.grid->OnCalcTitleAttributes = [](QObject*, const QString& name, TFont&, TColor& brush, TAlignment& alignment) {
        if (name == QLatin1String("Paid")) {
            brush = clAqua;
            alignment = taCenter;
        }
    };
    html = f.Export(kqgetHTML, {esoShowHeader, esoShowFooter, esoDynamicColors});
    const QByteArray font = "STYLE=\"font-family: Arial;font-size: 10 pt;color:#000000;\"";
    EXPECT_TRUE(html.contains(Crlf("<TFOOT STYLE=\"font-family: Arial;font-size: 10 pt;color:#000080;\" BGCOLOR=#808080>\n<TH>\n"
                                   "<TD ALIGN=right ") + font + Crlf(" BGCOLOR=#ffff00>2</TD>\n<TD>&nbsp</TD>\n")))
        << html.constData();
    EXPECT_TRUE(html.contains("<TD ALIGN=\"center\" SCOPE=\"col\" bgcolor=#00ffff RowSpan=\"2\"><B>Paid</B></TD>\r\n"))
        << html.constData();
    EXPECT_TRUE(html.contains("<TD NOWRAP ALIGN=\"left\" STYLE=\"font-family: Arial;font-size: 10 pt;color:#ff0000;\" BGCOLOR=#00ff00 WIDTH=\""));
    EXPECT_TRUE(html.contains("<I>Ann</I></TD>\r\n"));
    // Without the alternating option every row has the grid's colour.
    EXPECT_FALSE(html.contains("BGCOLOR=#fffbf0"));
    // A right-to-left grid writes its direction.
    f.grid->setLayoutDirection(Qt::RightToLeft);
    EXPECT_TRUE(f.Export(kqgetHTML, {}).contains("dir=\"RTL\" BGCOLOR=#ffffff>"));
}

TEST(GridExport, SylkByteForByte)
{
    ExportForm f;
    const QByteArray sylk = f.Export(kqgetSYLK, DefaultExportSaveOptions | TkqExportSaveOptions{esoShowRecordNo});
    EXPECT_EQ(sylk, Crlf("ID;PBrannock 3000;N;E\nP;FArial;M200;SB\nP;FArial;M200\nB;Y2;X9\n"
                         "F;G;M255\nF;W1 1 10\nF;W2 2 4\nF;W3 3 8\nF;W4 4 8\nF;W5 5 4\nF;W6 6 9\nF;W7 7 12\nF;W8 8 12\nF;W9 9 10\n"
                         "F;SLRTM0;FG0C;Y1;X1\nC;K\"#\"\n"
                         "F;SLRTM0;FG0L;Y1;X2\nC;K\"No\"\n"
                         "F;SLTBM0;FG0C;Y1;X3\nC;K\"Name\"\nF;STBM0;FG0C;X4\n"
                         "F;SLRTM0;FG0L;Y1;X5\nC;K\"Paid\"\n"
                         "F;SLRTM0;FG0L;Y1;X6\nC;K\"Kind\"\n"
                         "F;SLRTM0;FG0L;Y1;X7\nC;K\"Site Link\"\n"
                         "F;SLRTM0;FG0L;Y1;X8\nC;K\"Notes\"\n"
                         "F;SLRTM0;FG0L;Y1;X9\nC;K\"Remark\"\n"
                         "F;SLRBM0;FG0C;Y2;X1\n"
                         "F;SLRBM0;FG0L;Y2;X2\n"
                         "F;SLTBRM0;FG0L;Y2;X3\nC;K\"First\"\n"
                         "F;SLTBRM0;FG0L;Y2;X4\nC;K\"Last\"\n"
                         "F;SLRBM0;FG0L;Y2;X5\nF;SLRBM0;FG0L;Y2;X6\nF;SLRBM0;FG0L;Y2;X7\nF;SLRBM0;FG0L;Y2;X8\nF;SLRBM0;FG0L;Y2;X9\n"
                         "\n"
                         "F;SLRTBM1;FG0L;Y3;X1\nC;K1\n"
                         "F;SLTRBM1;FG0R;Y3;X2\nC;K1\n"
                         "F;SLTRBM1;FG0L;Y3;X3\nC;K\"Ann\"\n"
                         "F;SLTRBM1;FG0L;Y3;X4\nC;K\"Lee\"\n"
                         "F;SLTRBM1;FG0L;Y3;X5\nC;K\"Yes\"\n"
                         "F;SLTRBM1;FG0L;Y3;X6\nC;K\"Retail\"\n"
                         "F;SLTRBM1;FG0L;Y3;X7\nC;K\"Quarrow\"\n"
                         "F;SLTRBM1;FG0L;Y3;X8\nC;K\"line one line two\"\n"
                         "F;SLTRBM1;FG0L;Y3;X9\nC;K\"a;;b \"c\"\"\n"
                         "F;SLRTBM1;FG0L;Y4;X1\nC;K2\n"
                         "F;SLTRBM1;FG0R;Y4;X2\nC;K2\n"
                         "F;SLTRBM1;FG0L;Y4;X3\nC;K\"Bob\"\n"
                         "F;SLTRBM1;FG0L;Y4;X4\nC;K\"\"\n"
                         "F;SLTRBM1;FG0L;Y4;X5\nC;K\"No\"\n"
                         "F;SLTRBM1;FG0L;Y4;X6\nC;K\"Wholesale\"\n"
                         "F;SLTRBM1;FG0L;Y4;X7\nC;K\"bob@mail.example\"\n"
                         "F;SLTRBM1;FG0L;Y4;X8\nC;K\"\"\n"
                         "F;SLTRBM1;FG0L;Y4;X9\nC;K\"x < y & z\"\n"
                         "E\n"));
}

TEST(GridExport, SylkColumnsByGridPositionFontsAndEmptySelection)
{
    ExportForm f;
    // A refused field leaves its column out; the others keep their places among the grid's
    // fields, in the width records as in the cells. Unquoted, texts still get their quotes.
    f.grid->OnExportField = [](QObject*, TField* field, bool& accept) {
        accept = field->FieldName() == QLatin1String("Id") || field->FieldName() == QLatin1String("Kind");
    };
    QFont title(QStringLiteral("Arial"), 12);
    title.setBold(true);
    title.setItalic(true);
    title.setStrikeOut(true);
    f.grid->SetTitleFont(TFont(title, clNavy));
    const QByteArray widths = "F;W1 1 " + QByteArray::number(f.ds->FieldByName(QStringLiteral("Id"))->DisplayWidth()) +
                              "\r\nF;W5 5 " + QByteArray::number(f.ds->FieldByName(QStringLiteral("Kind"))->DisplayWidth()) + "\r\n";
    EXPECT_EQ(f.Export(kqgetSYLK, {esoBestColFit}),
              Crlf("ID;PBrannock 3000;N;E\nP;FArial;M240;SBIS\nP;FArial;M200\nB;Y2;X8\nF;G;M255\n") + widths +
              Crlf("F;SLTRBM1;FG0R;Y1;X1\nC;K1\nF;SLTRBM1;FG0L;Y1;X5\nC;K\"Retail\"\n"
                   "F;SLTRBM1;FG0R;Y2;X1\nC;K2\nF;SLTRBM1;FG0L;Y2;X5\nC;K\"Wholesale\"\nE\n"));
    // Nothing selected: only the head.
    const QByteArray empty = f.Export(kqgetSYLK, {esoShowHeader, esoSaveSelectedOnly});
    EXPECT_TRUE(empty.startsWith("ID;PBrannock 3000;N;E\r\nP;FArial;M240;SBIS\r\nP;FArial;M200\r\nB;Y0;X8\r\n"));
    EXPECT_TRUE(empty.endsWith("C;K\"Kind\"\r\n\r\nE\r\n")) << empty.constData();
}

TEST(GridExport, ClipboardForms)
{
    ExportForm f;
    QClipboard* clipboard = QGuiApplication::clipboard();
    f.ex()->SetOptions({esoClipboard});
    f.ex()->SetExportType(kqgetTxt);
    f.ex()->SetDelimiter(QStringLiteral("\t"));
    f.ex()->Save();
    EXPECT_FALSE(QFile::exists(f.path));
    EXPECT_EQ(clipboard->text(), QStringLiteral("1\tAnn\tLee\tYes\tRetail\tQuarrow\tline one\r\nline two\ta;b \"c\"\r\n"
                                                "2\tBob\t\tNo\tWholesale\tbob@mail.example\t\tx < y & z\r\n"));

    // HTML: the description header's start values are its own length, the end values the
    // whole text's; text/html holds the table alone, as the file would.
    f.ex()->SetExportType(kqgetHTML);
    f.ex()->SetOptions({esoShowHeader});
    const QByteArray file = f.Export(kqgetHTML, {esoShowHeader});
    f.ex()->SetOptions({esoShowHeader, esoClipboard});
    f.ex()->Save();
    const QMimeData* data = clipboard->mimeData();
    ASSERT_TRUE(data);
    const QByteArray text = data->data(QString::fromLatin1(HtmlFormatMimeType));
    const QByteArray head = "Version:0.9\r\nStartHTML:0000000157\r\nEndHTML:@E@\r\nStartFragment:0000000157\r\n"
                            "EndFragment:@E@\r\nStartSelection:0000000157\r\nEndSelection:@E@\r\n";
    EXPECT_EQ(text, QByteArray(head).replace("@E@", QByteArray::number(157 + file.size()).rightJustified(10, '0')) + file);
    EXPECT_EQ(data->data(QStringLiteral("text/html")), file);
    EXPECT_EQ(clipboard->text().toUtf8(), text);

    // SYLK under its own type and as text.
    const QByteArray sylk = f.Export(kqgetSYLK, DefaultExportSaveOptions);
    f.ex()->SetOptions(DefaultExportSaveOptions | TkqExportSaveOptions{esoClipboard});
    f.ex()->Save();
    EXPECT_EQ(clipboard->mimeData()->data(QString::fromLatin1(SylkMimeType)), sylk);
    EXPECT_EQ(clipboard->text().toUtf8(), sylk);

    // XML leaves the clipboard empty.
    f.ex()->SetExportType(kqgetXML);
    f.ex()->Save();
    EXPECT_TRUE(clipboard->text().isEmpty());
}

TEST(GridExport, CurrentRecordAndItsRowComeBack)
{
    ExportForm f;
    for (int i = 3; i <= 60; ++i)
        f.ds->AddRow({TVariant(i), TVariant(QStringLiteral("N%1").arg(i))});
    f.ds->First();
    f.ds->MoveBy(20);
    QApplication::processEvents();
    const int recNo = f.ds->RecNo();
    const int row = f.grid->GetDataRow();
    f.Export(kqgetTxt, DefaultExportSaveOptions);
    EXPECT_EQ(f.ds->RecNo(), recNo);
    EXPECT_EQ(f.grid->GetDataRow(), row);
    EXPECT_FALSE(f.ds->ControlsDisabled());
}

TEST(GridExport, FileNameDefaultAndQuoting)
{
    ExportForm f;
    f.ex()->SetFileName(QString());
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    EXPECT_EQ(f.ex()->FileName(), program.section(QLatin1Char('.'), 0, 0) + QStringLiteral(".txt"));
    f.ex()->SetOptions({esoDblQuoteFields});
    f.ex()->SetExportType(kqgetTxt);
    f.ex()->SetDelimiter(QString());
    EXPECT_EQ(f.ex()->QuoteValue(QString()), QStringLiteral("\"\""));
    EXPECT_EQ(f.ex()->QuoteValue(QStringLiteral("a\"b")), QStringLiteral("\"a\"b\""));
    f.ex()->SetDelimiter(QStringLiteral(","));
    EXPECT_EQ(f.ex()->QuoteValue(QString()), QString());
    f.ex()->SetOptions({});
    EXPECT_EQ(f.ex()->QuoteValue(QStringLiteral("x")), QStringLiteral("x"));
}

} // namespace

#include "DBGridExportTests.moc"
