// The library's rich edit: lines view, memory stream, piece reading, component stream, highlight
// codes, paragraph texts, find and replace, fonts, units, printing, the data-aware control on a
// formatted memo, the editor window with its ruler and dialogs, the popup menu and the grid
// library's rich-text seam.

#include "gridlib/core/Kqintl.h"
#include "gridlib/core/kqcommon.h"
#include "gridlib/core/kqgroupbox.h"
#include "gridlib/dialogs/kqrchdlg.h"
#include "gridlib/dialogs/kqrich.h"
#include "gridlib/dialogs/kqrichtb.h"
#include "gridlib/editors/kqdbcombo.h"
#include "treestatus/qeStatusBar.h"
#include "utilities/VZCtrls.h"
#include "gridlib/dialogs/kqriched.h"
#include "platform/client/ClientDataSet.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Printers.h"
#include "platform/vcl/RtfReader.h"
#include "platform/vcl/Shell.h"
#include "tests/common/TestSupport.h"
#include "tests/gridlib/dialogs/ModalTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextList>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

const QByteArray Formatted =
    "{\\rtf1\\ansi{\\fonttbl{\\f0 DejaVu Sans;}}{\\colortbl ;\\red255\\green0\\blue0;}\\f0\\fs20 "
    "Plain \\b bold\\b0  and \\cf1 red\\cf0\\par"
    "\\pard{\\*\\pn\\pnlvlblt{\\pntxtb\\'b7}}\\fi-360\\li720 first bullet\\par second bullet\\par}";

// A client dataset with a formatted memo field.
struct TMemoData {
    TMemoData()
    {
        ds.FieldDefs().Add(QStringLiteral("Id"), ftInteger);
        ds.FieldDefs().Add(QStringLiteral("Notes"), ftFmtMemo);
        ds.CreateDataSet();
        for (int i = 1; i <= 3; ++i) {
            ds.Append();
            ds.FieldByName(QStringLiteral("Id"))->SetAsInteger(i);
            ds.FieldByName(QStringLiteral("Notes"))->SetAsBytes(i == 1 ? Formatted : QByteArray("plain memo ") + QByteArray::number(i));
            ds.Post();
        }
        ds.First();
        source.SetDataSet(&ds);
    }
    TField* Notes() { return ds.FieldByName(QStringLiteral("Notes")); }
    TClientDataSet ds;
    TDataSource source;
};

bool IsBold(TCustomRichEdit& edit, int from, int to)
{
    edit.SetSel({from, to});
    return edit.GetCharFormat(SCF_SELECTION).Effects & CFE_BOLD;
}

QString Tool(const char* name) { return QStandardPaths::findExecutable(QLatin1String(name)); }

} // namespace

TEST(RichEditStrings, LinesThroughTheControl)
{
    TkqCustomRichEdit edit;
    TkqRichEditStrings* lines = edit.Lines();
    EXPECT_EQ(lines->Count(), 0);
    lines->Add(QStringLiteral("one"));
    EXPECT_EQ(lines->Count(), 1);
    lines->Add(QStringLiteral("two"));
    EXPECT_EQ(lines->ToStringList(), QStringList({"one", "two"}));
    lines->Put(5, QStringLiteral("x"));   // a line that does not exist
    lines->Put(1, QStringLiteral("TWO"));
    EXPECT_EQ(lines->ToStringList(), QStringList({"one", "TWO"}));

    edit.SetText(QStringLiteral("a\n"));   // one line and a break: two control lines
    lines->Insert(2, QStringLiteral("never"));
    EXPECT_EQ(edit.Text(), QStringLiteral("a\n"));
    lines->Insert(1, QStringLiteral("b"));
    EXPECT_EQ(lines->ToStringList(), QStringList({"a", "b"}));
    lines->Insert(0, QStringLiteral("first"));
    EXPECT_EQ(lines->ToStringList(), QStringList({"first", "a", "b"}));
    lines->Delete(1);
    EXPECT_EQ(lines->ToStringList(), QStringList({"first", "b"}));

    edit.SetText(QString(5000, QLatin1Char('x')));
    EXPECT_EQ(lines->Get(0).length(), 4096);
}

TEST(RichMemoryStream, GrowsIn128KBSteps)
{
    TkqRichMemoryStream stream;
    stream.SetCapacity(1);
    EXPECT_EQ(stream.Capacity(), 131072);
    stream.SetCapacity(131073);
    EXPECT_EQ(stream.Capacity(), 262144);
    stream.SetCapacity(0);
    EXPECT_EQ(stream.Capacity(), 0);
    stream.write(QByteArray(200000, 'a'));
    EXPECT_EQ(stream.Capacity(), 262144);
    EXPECT_EQ(stream.size(), 200000);
    EXPECT_THROW(stream.SetCapacity(qint64(1) << 62), EStreamError);
    EXPECT_EQ(stream.Capacity(), 262144);   // the old block stays
}

TEST(RichEditStreamIn, PiecesLimitWhatIsRead)
{
    // one paragraph per line, far longer than a piece
    QByteArray rtf = "{\\rtf1\\ansi\\pard first paragraph\\par\n";
    for (int i = 0; i < 400; ++i) rtf += "\\pard line " + QByteArray::number(i) + " {\\b of} the text\\par\n";
    rtf += "}";
    TkqCustomRichEdit edit;
    QBuffer stream(&rtf);
    stream.open(QIODevice::ReadOnly);
    edit.StreamIn(stream, false, 0);
    EXPECT_EQ(edit.LineCount(), 401);

    // limit 2: exactly the first piece of 2048 bytes, not cut
    stream.seek(0);
    edit.StreamIn(stream, false, 2);
    const QString preview = edit.Text();
    EXPECT_TRUE(preview.startsWith(QStringLiteral("first paragraph\nline 0 of the text")));
    EXPECT_LT(edit.LineCount(), 100);
    EXPECT_GT(edit.LineCount(), 20);

    // limit 1: the piece is cut at the first group after the first \pard
    stream.seek(0);
    edit.StreamIn(stream, false, 1);
    EXPECT_EQ(edit.Text(), QStringLiteral("first paragraph\nline 0 "));

    // rich text that breaks loads as text; a stream that cannot be read at all raises
    QByteArray broken = "{\\rtf1 \\abcdefghijklmnopqrstuvwxyzabcdefgh}";
    QBuffer brokenStream(&broken);
    brokenStream.open(QIODevice::ReadOnly);
    edit.StreamIn(brokenStream, false, 0);
    EXPECT_EQ(edit.Text(), QString::fromLatin1(broken));
    QBuffer closed;
    EXPECT_THROW(edit.StreamIn(closed, false, 0), EOutOfResources);
}

TEST(RichEditComponentStream, DataAndRichEditVersion)
{
    TkqCustomRichEdit edit;
    QBuffer in;
    in.setData(Formatted);
    in.open(QIODevice::ReadOnly);
    edit.PlatformLines()->LoadFromStream(in);
    const QByteArray data = edit.WriteDataProperty();
    EXPECT_EQ(edit.RichEditVersion(), 2);
    const quint32 count = quint8(data[0]) | quint8(data[1]) << 8 | quint8(data[2]) << 16 | quint32(quint8(data[3])) << 24;
    EXPECT_EQ(qsizetype(count), data.size() - 4);

    TkqCustomRichEdit back;
    back.ReadState({{QStringLiteral("RichEditVersion"), 2}, {QStringLiteral("Data"), data}});
    EXPECT_EQ(back.Text(), edit.Text());
    EXPECT_TRUE(IsBold(back, 6, 10));
    EXPECT_EQ(back.RichEditVersion(), 2);

    TkqCustomRichEdit versionOnly;
    versionOnly.ReadState({{QStringLiteral("RichEditVersion"), 2}});
    EXPECT_TRUE(versionOnly.Text().isEmpty());

    // an older stream held the text: RTF source text becomes formatted content
    TkqCustomRichEdit old;
    old.ReadState({}, {QStringLiteral("{\\rtf1 old \\b style}")});
    EXPECT_EQ(old.Text(), QStringLiteral("old style"));
    EXPECT_EQ(old.RichEditVersion(), 1);

    // a bound field leaves the bytes unread but takes as many as the value states
    TMemoData d;
    TkqDBRichEdit bound;
    bound.SetDataSource(&d.source);
    bound.SetDataField(QStringLiteral("Notes"));
    EXPECT_TRUE(bound.WriteDataProperty().isEmpty());
    const QByteArray following = data + QByteArray("next");
    EXPECT_EQ(bound.ReadDataProperty(following), data.size());
}

TEST(RichEditHighlight, CodesRemovedFromTheSelection)
{
    TkqCustomRichEdit edit;
    QBuffer in;
    QByteArray rtf = "{\\rtf1{\\colortbl ;\\red255\\green255\\blue0;}a \\highlight1 marked\\highlight0  b \\\\highlight text}";
    in.setData(rtf);
    in.open(QIODevice::ReadOnly);
    edit.PlatformLines()->LoadFromStream(in);
    ASSERT_EQ(edit.Text(), QStringLiteral("a marked b \\highlight text"));
    edit.SetSel({2, 8});
    EXPECT_EQ(edit.GetSelHighlight(), clYellow);
    edit.SetSel({0, edit.TextLength()});
    edit.RemoveHighlightCodes();
    EXPECT_EQ(edit.Text(), QStringLiteral("a marked b \\highlight text"));   // the escaped word stays text
    edit.SetSel({2, 8});
    EXPECT_TRUE(edit.GetCharFormat(SCF_SELECTION).Effects & CFE_AUTOBACKCOLOR);

    edit.SetSel({0, 1});
    edit.SetSelHighlight(clLime);
    EXPECT_EQ(edit.SelLength(), 0);
    edit.SetSel({0, 1});
    EXPECT_EQ(edit.GetSelHighlight(), clLime);
    edit.SetRichEditVersion(1);
    edit.SetSel({2, 3});
    edit.SetSelHighlight(clRed);
    EXPECT_EQ(edit.GetSelHighlight(), 0xFFFFFF);
    edit.SetRichEditVersion(2);
    EXPECT_NE(edit.GetSelHighlight(), clRed);
}

TEST(RichEditParagraph, AlignmentTextsBulletsAndLineSpacingKinds)
{
    TkqCustomRichEdit edit;
    edit.SetText(QStringLiteral("one\ntwo"));
    const TkqRichEditParagraphDlg* texts = KqIntl()->GetRichEdit()->ParagraphDialog;
    const std::pair<QString, int> cases[] = {
        {texts->AlignLeft, PFA_LEFT}, {texts->AlignRight, PFA_RIGHT}, {texts->AlignJustify, PFA_JUSTIFY},
        {texts->AlignCenter, PFA_CENTER}, {QStringLiteral("anything"), PFA_CENTER}};
    for (const auto& [text, alignment] : cases) {
        edit.SetParaFormat(1, text, false, 0, 0, 0, 0, nullptr, 0, 0, 0, 0);
        EXPECT_EQ(edit.GetParaFormat().Alignment, alignment) << text.toStdString();
    }
    edit.SetSel({0, 5});
    edit.SetBullets(true);
    TParaFormat2 p;
    edit.GetParaFormat(p);
    EXPECT_EQ(p.Numbering, PFN_BULLET);
    EXPECT_EQ(p.Offset, 720);
    int offset = 0, right = 0, start = 0;
    edit.GetParaIndents(offset, right, start);
    EXPECT_EQ(offset, 720);
    edit.SetBullets(false);
    EXPECT_EQ(edit.GetParaFormat().Numbering, 0);
    // one and a half and double go as multiples of a line
    edit.SetParaFormat(1 << 8, QString(), false, 0, 0, 0, 0, nullptr, 0, 0, 0, 2);
    EXPECT_EQ(edit.GetParaFormat().LineSpacingRule, 2);
    int tabs[40];
    for (int i = 0; i < 40; ++i) tabs[i] = 720 * (i + 1);
    edit.SetParaFormat(1 << 5, QString(), false, 0, 0, 0, 40, tabs, 0, 0, 0, 0);   // capped by the list
    EXPECT_EQ(edit.GetParaFormat().TabCount, 32);
}

TEST(RichEditFind, FindsOnWrapsAndReportsNoMoreMatches)
{
    TkqCustomRichEdit edit;
    edit.SetText(QStringLiteral("a word and a word"));
    edit.SetSel({0, 0});
    edit.FindDialog();
    TFindDialog* dialog = edit.FindDialogObject();
    dialog->SetFindText(QStringLiteral("word"));
    dialog->ClickFindNext();
    EXPECT_EQ(edit.GetSel(), (TCharRange{2, 6}));
    dialog->ClickFindNext();
    EXPECT_EQ(edit.GetSel(), (TCharRange{13, 17}));
    TDialogSeam::AnswerMessages({mrOk});
    dialog->ClickFindNext();   // the start was before the first: nothing more
    EXPECT_EQ(TDialogSeam::Messages(), QStringList({"No more matches found"}));
    EXPECT_TRUE(edit.HasFindText());
    dialog->CloseDialog();

    // the caret in front of the first: the second comes first, then the first after the wrap
    edit.SetText(QStringLiteral("cat and cat"));
    edit.SetSel({0, 0});
    edit.FindDialog();
    dialog->SetFindText(QStringLiteral("cat"));
    dialog->ClickFindNext();
    EXPECT_EQ(edit.SelStart(), 8);
    dialog->ClickFindNext();
    EXPECT_EQ(edit.SelStart(), 0);
    TDialogSeam::Clear();
    dialog->ClickFindNext();
    EXPECT_EQ(TDialogSeam::Messages().size(), 1);
    dialog->CloseDialog();

    // a selection over two lines is not the find text; the last one is offered
    edit.SetText(QStringLiteral("x\ny"));
    edit.SetSel({0, 3});
    edit.FindDialog();
    EXPECT_EQ(dialog->FindText(), QStringLiteral("cat"));
    edit.SetSel({0, 1});
    edit.FindDialog();
    EXPECT_EQ(dialog->FindText(), QStringLiteral("x"));
    dialog->CloseDialog();
}

TEST(RichEditReplace, ReplaceAllGoesToTheEndThenWrapsToTheStart)
{
    TkqCustomRichEdit edit;
    edit.SetText(QStringLiteral("aa b aa c aa"));
    edit.SetSel({5, 5});
    edit.ReplaceDialog();
    TReplaceDialog* dialog = edit.ReplaceDialogObject();
    dialog->SetFindText(QStringLiteral("aa"));
    dialog->SetReplaceText(QStringLiteral("X"));
    TDialogSeam::AnswerMessages({mrOk});
    dialog->ClickReplaceAll();
    EXPECT_EQ(edit.Text(), QStringLiteral("X b X c X"));
    EXPECT_EQ(TDialogSeam::Messages(), QStringList({"No more matches found"}));

    // matches that touch one another are all replaced
    edit.SetText(QStringLiteral("aaaa"));
    edit.SetSel({0, 0});
    dialog->SetFindText(QStringLiteral("a"));
    dialog->SetReplaceText(QStringLiteral("b"));
    dialog->ClickReplaceAll();
    EXPECT_EQ(edit.Text(), QStringLiteral("bbbb"));
    // a replacement that holds the find text ends too
    edit.SetText(QStringLiteral("a a"));
    dialog->SetReplaceText(QStringLiteral("aa"));
    dialog->ClickReplaceAll();
    EXPECT_EQ(edit.Text(), QStringLiteral("aa aa"));

    edit.SetText(QStringLiteral("one two one"));
    edit.SetSel({1, 1});
    EXPECT_TRUE(edit.ReplaceText(QStringLiteral("one"), QStringLiteral("1"), {}));
    EXPECT_EQ(edit.Text(), QStringLiteral("one two 1"));
    EXPECT_FALSE(edit.ReplaceText(QStringLiteral("one"), QStringLiteral("1"), {}));
    dialog->CloseDialog();
}

TEST(RichEditFont, TheDialogLeavesColoursAloneWhenTheColourStays)
{
    TkqCustomRichEdit edit;
    QBuffer in;
    in.setData("{\\rtf1{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}\\cf1 red\\cf2 blue}");
    in.open(QIODevice::ReadOnly);
    edit.PlatformLines()->LoadFromStream(in);
    edit.SetSel({0, 3});
    TCommonDialogSeam::OnExecute = [](QObject* dialog) {
        auto* font = qobject_cast<TFontDialog*>(dialog);
        EXPECT_EQ(font->Font.Color, clRed);   // the selection's colour
        font->Font.Font.setFamily(QStringLiteral("DejaVu Serif"));
        font->Font.Font.setBold(true);
        return true;
    };
    edit.SetSel({0, 7});
    edit.FontDialog();
    TCommonDialogSeam::OnExecute = nullptr;
    edit.SetSel({0, 3});
    EXPECT_EQ(edit.GetCharFormat(SCF_SELECTION).TextColor, clRed);
    edit.SetSel({3, 7});
    const TCharFormat2 blue = edit.GetCharFormat(SCF_SELECTION);
    EXPECT_EQ(blue.TextColor, clBlue);
    EXPECT_EQ(blue.FaceName, QStringLiteral("DejaVu Serif"));
    EXPECT_TRUE(blue.Effects & CFE_BOLD);
}

TEST(RichEditUnits, TwipsAndTheMeasurementUnits)
{
    TkqCustomRichEdit edit;
    EXPECT_DOUBLE_EQ(edit.TwipsToUnits(720), 0.5);
    EXPECT_EQ(edit.UnitsText(0.5), QStringLiteral("0.5''"));
    EXPECT_EQ(edit.RoundedUnitsText(8, 0.05), QStringLiteral("0.125''"));
    EXPECT_EQ(edit.RoundedUnitsText(8, 0.04), QStringLiteral("0''"));
    EXPECT_EQ(edit.UnitsTextToTwips(QStringLiteral("0.5''")), 720);
    EXPECT_EQ(edit.UnitsTextToTwips(QStringLiteral("22 ")), 31680);
    edit.MeasurementUnits = muCentimeters;
    EXPECT_DOUBLE_EQ(edit.TwipsToUnits(720), 1.27);
    EXPECT_EQ(edit.UnitsText(1.5), QStringLiteral("1.5 cm"));
    EXPECT_EQ(edit.UnitsTextToTwips(QStringLiteral("1 cm")), 567);
    EXPECT_EQ(edit.UnitsTextToTwips(QStringLiteral("2 CM")), 1135);
    EXPECT_EQ(edit.UnitsTextToTwips(QStringLiteral("-1cm")), -567);
    EXPECT_THROW(edit.UnitsTextToTwips(QStringLiteral("x cm")), EConvertError);
}

TEST(RichEditPrinting, MarginsBeyondThePageStayOrdered)
{
    TkqCustomRichEdit edit;
    edit.PrintMargins()->Left = 30;
    edit.PrintMargins()->Right = 30;
    edit.PrintMargins()->Top = 40;
    edit.PrintMargins()->Bottom = 40;
    TRect r;
    edit.GetPrintRect(r);
    EXPECT_LE(r.Left, r.Right);
    EXPECT_LE(r.Top, r.Bottom);
    edit.PrintMargins()->Left = edit.PrintMargins()->Right = edit.PrintMargins()->Top = edit.PrintMargins()->Bottom = 1;
    edit.GetPrintRect(r);
    EXPECT_EQ(r.Width(), Printer().PhysicalPageSize().width() * 1440 / Printer().XResolution() - 2880);
}

TEST(RichEditPrinting, PrintsToAPdfWithThePagesItMeasures)
{
    TkqCustomRichEdit edit;
    QString text;
    for (int i = 0; i < 150; ++i) text += QStringLiteral("Paragraph %1 of the printed memo\n").arg(i);
    edit.SetText(text);
    edit.SetSel({0, 9});
    edit.SetSelBold(true);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("memo.pdf"));
    Printer().SetOutputFileName(pdf);
    Printer().SetPaperSize(1);
    edit.Print(QStringLiteral("Memo"));
    Printer().SetOutputFileName(QString());
    const QByteArray bytes = ReadWholeFile(pdf);
    ASSERT_TRUE(bytes.startsWith("%PDF"));
    // the pages the control measures on a letter page with one-inch margins
    TRect page;
    edit.GetPrintRect(page);
    TFormatRange range;
    range.Target = Printer().Handle();
    range.Rc = page;
    int pages = 0;
    for (int from = 0; from < edit.TextLength(); ++pages) {
        range.Chrg = {from, -1};
        const int next = edit.FormatRange(&range, false);
        ASSERT_GT(next, from);
        from = next;
    }
    edit.FormatRange(nullptr, false);
    EXPECT_GE(pages, 3);
    const QString pdfinfo = Tool("pdfinfo");
    if (pdfinfo.isEmpty()) GTEST_SKIP() << "pdfinfo is not installed";
    QProcess p;
    p.start(pdfinfo, {pdf});
    ASSERT_TRUE(p.waitForFinished(30000));
    const QString info = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+%1\\n").arg(pages)))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Title:\\s+Memo\\n")))) << info.toStdString();
}

TEST(RichEditPrinting, NoWordProcessorToPrintWith)
{
    TkqCustomRichEdit edit;
    TDialogSeam::AnswerMessages({mrOk});
    EXPECT_FALSE(edit.PrintWithWord(QString()));
    EXPECT_EQ(TDialogSeam::Messages(), QStringList({"Unable to start Microsoft Word's Spell Checker."}));
}

TEST(DBRichEdit, AFormattedMemoLoadsWithTheRecord)
{
    TMemoData d;
    TkqDBRichEdit edit;
    edit.SetDataSource(&d.source);
    edit.SetDataField(QStringLiteral("Notes"));
    EXPECT_EQ(edit.Text(), QStringLiteral("Plain bold and red\nfirst bullet\nsecond bullet"));
    EXPECT_TRUE(edit.IsContentLoaded());
    EXPECT_TRUE(IsBold(edit, 6, 10));
    EXPECT_NE(edit.document()->findBlockByNumber(1).textList(), nullptr);
    EXPECT_TRUE(edit.isReadOnly());   // until a change puts the record into edit state
    d.ds.Next();
    EXPECT_EQ(edit.Text(), QStringLiteral("plain memo 2"));
    EXPECT_FALSE(edit.Modified());
    // without AutoDisplay the label stands in until Enter loads the value
    edit.SetAutoDisplay(false);
    d.ds.Next();
    EXPECT_EQ(edit.Text(), QStringLiteral("(Notes)"));
    edit.show();
    edit.setFocus();
    QTest::keyClick(&edit, Qt::Key_Return);
    EXPECT_EQ(edit.Text(), QStringLiteral("plain memo 3"));
    EXPECT_EQ(d.ds.State(), dsBrowse);
}

TEST(DBRichEdit, TheFirstKeyEditsWithoutLosingWhatIsTyped)
{
    TMemoData d;
    TkqDBRichEdit edit;
    edit.SetDataSource(&d.source);
    edit.SetDataField(QStringLiteral("Notes"));
    edit.show();
    edit.setFocus();
    edit.SetSel({0, 0});
    QTest::keyClicks(&edit, QStringLiteral("New "));
    EXPECT_EQ(d.ds.State(), dsEdit);
    EXPECT_TRUE(edit.Text().startsWith(QStringLiteral("New Plain bold")));
    EXPECT_TRUE(IsBold(edit, 10, 14));   // the formats survived the edit start
    d.ds.Post();
    const QByteArray stored = d.Notes()->AsBytes();
    EXPECT_TRUE(stored.startsWith("{\\rtf1"));
    QTextDocument doc;
    QTextCursor c(&doc);
    ASSERT_TRUE(ReadRtf(stored, c).Ok());
    EXPECT_TRUE(doc.toPlainText().startsWith(QStringLiteral("New Plain bold")));

    // a picture alone on the clipboard: Ctrl+V does nothing
    QApplication::clipboard()->setImage(QImage(4, 4, QImage::Format_RGB32));
    const QString before = edit.Text();
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit.Text(), before);
}

TEST(DBRichEdit, ExecuteWritesTheEditedRichTextBackOnlyOnOK)
{
    TMemoData d;
    TkqDBRichEdit edit;
    edit.hide();
    edit.SetDataSource(&d.source);
    edit.SetDataField(QStringLiteral("Notes"));
    // OK without changes writes nothing
    OnModal([](QWidget* w) {
        auto* form = qobject_cast<TkqRichEditForm*>(w);
        ASSERT_NE(form, nullptr);
        EXPECT_EQ(form->windowTitle(), QStringLiteral("Edit Rich Text"));
        EXPECT_EQ(form->RichEdit1()->objectName(), QStringLiteral("RichEdit1"));
        EXPECT_NE(qobject_cast<TkqDBRichEdit*>(form->RichEdit1()), nullptr);   // the opener's class
        EXPECT_TRUE(form->RichEdit1()->Text().startsWith(QStringLiteral("Plain bold")));
        form->SaveAndExit();
    });
    EXPECT_TRUE(edit.Execute());
    EXPECT_EQ(d.ds.State(), dsBrowse);
    // Cancel after changes: the question, answered No, keeps the field
    OnModal([](QWidget* w) {
        auto* form = qobject_cast<TkqRichEditForm*>(w);
        form->RichEdit1()->SetSel({0, 0});
        form->RichEdit1()->ReplaceSel(QStringLiteral("dropped "));
        TDialogSeam::AnswerMessages({mrNo});
        form->ExitEditor();
    });
    EXPECT_FALSE(edit.Execute());
    EXPECT_EQ(TDialogSeam::Messages(), QStringList({"Changes have been made!  Do you wish to save your changes?"}));
    EXPECT_EQ(d.ds.State(), dsBrowse);
    EXPECT_EQ(d.Notes()->AsBytes(), Formatted);
    // OK after changes: the field takes the RTF with its formats
    OnModal([](QWidget* w) {
        auto* form = qobject_cast<TkqRichEditForm*>(w);
        TkqCustomRichEdit* r = form->RichEdit1();
        r->SetSel({0, 5});
        r->SetSelItalic(true);
        r->SetSel({r->TextLength(), r->TextLength()});
        r->ReplaceSel(QStringLiteral("\r\nadded line"));
        form->SaveAndExit();
    });
    EXPECT_TRUE(edit.Execute());
    EXPECT_EQ(d.ds.State(), dsEdit);
    d.ds.Post();
    TkqDBRichEdit check;
    check.LoadFromBlobField(d.Notes());
    EXPECT_EQ(check.Text(), QStringLiteral("Plain bold and red\nfirst bullet\nsecond bullet\nadded line"));
    check.SetSel({0, 5});
    EXPECT_TRUE(check.GetCharFormat(SCF_SELECTION).Effects & CFE_ITALIC);
    EXPECT_TRUE(IsBold(check, 6, 10));
}

TEST(DBRichEdit, AReadOnlyFieldOpensReadOnlyAndEscapeCloses)
{
    TMemoData d;
    d.Notes()->SetReadOnly(true);
    TkqDBRichEdit edit;
    edit.SetDataSource(&d.source);
    edit.SetDataField(QStringLiteral("Notes"));
    EXPECT_TRUE(edit.GetReadOnly());
    OnModal([](QWidget* w) {
        auto* form = qobject_cast<TkqRichEditForm*>(w);
        EXPECT_TRUE(form->RichEdit1()->isReadOnly());
        // no bars, no Format or View menu, nothing to save
        for (QWidget* bar : {form->Toolbar(), form->FormatBar(), static_cast<QWidget*>(form->StatusBar()),
                             static_cast<QWidget*>(form->Ruler())})
            EXPECT_FALSE(bar->isVisible()) << bar->objectName().toStdString();
        EXPECT_FALSE(form->Item(QStringLiteral("Format1"))->isVisible());
        EXPECT_FALSE(form->Item(QStringLiteral("View1"))->isVisible());
        EXPECT_FALSE(form->Item(QStringLiteral("SaveExit1"))->isVisible());
        QTest::keyClick(form, Qt::Key_Escape);
    });
    EXPECT_FALSE(edit.Execute());
    EXPECT_TRUE(TDialogSeam::Messages().isEmpty());
}

TEST(DBRichEdit, AnEditedMemoSavedAndReopenedKeepsTextAndFormats)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("memo.cds"));
    {
        TMemoData d;
        TkqDBRichEdit edit;
        edit.SetDataSource(&d.source);
        edit.SetDataField(QStringLiteral("Notes"));
        edit.show();
        edit.setFocus();
        edit.SetSel({0, 5});
        QTest::keyClick(&edit, Qt::Key_Delete);
        edit.SetSel({0, 0});
        QTest::keyClicks(&edit, QStringLiteral("Start"));
        edit.SetSel({0, 5});
        edit.SetSelUnderline(true);
        d.ds.Post();
        d.ds.SaveToFile(path);
    }
    TClientDataSet reopened;
    reopened.LoadFromFile(path);
    TDataSource source;
    source.SetDataSet(&reopened);
    TkqDBRichEdit edit;
    edit.SetDataSource(&source);
    edit.SetDataField(QStringLiteral("Notes"));
    EXPECT_EQ(edit.Text(), QStringLiteral("Start bold and red\nfirst bullet\nsecond bullet"));
    edit.SetSel({0, 5});
    EXPECT_TRUE(edit.GetCharFormat(SCF_SELECTION).Effects & CFE_UNDERLINE);
    EXPECT_TRUE(IsBold(edit, 6, 10));
    edit.SetSel({15, 18});
    EXPECT_EQ(edit.GetCharFormat(SCF_SELECTION).TextColor, clRed);
    EXPECT_NE(edit.document()->findBlockByNumber(2).textList(), nullptr);
}

TEST(DBRichEdit, AStringFieldShowsDisplayOrEditText)
{
    TClientDataSet ds;
    ds.FieldDefs().Add(QStringLiteral("Price"), ftFloat);
    ds.CreateDataSet();
    ds.Append();
    ds.FieldByName(QStringLiteral("Price"))->SetAsFloat(1234.5);
    ds.Post();
    auto* price = static_cast<TNumericField*>(ds.FieldByName(QStringLiteral("Price")));
    price->SetDisplayFormat(QStringLiteral("#,##0.00"));
    price->SetEditFormat(QStringLiteral("0.0"));
    TDataSource source;
    source.SetDataSet(&ds);
    TkqDBRichEdit edit;
    edit.SetDataSource(&source);
    edit.SetDataField(QStringLiteral("Price"));
    EXPECT_EQ(edit.Text(), QStringLiteral("1,234.50"));
    QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(&edit, &in);
    EXPECT_EQ(edit.Text(), QStringLiteral("1234.5"));
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(&edit, &out);
}

TEST(RichTextSeam, GridCellsReadThePlainTextOfTheFirstPiece)
{
    RegisterRichTextReader();
    std::unique_ptr<TkqRichTextReader> slot;
    QWidget grid;
    EXPECT_EQ(RichTextToPlainText(&grid, Formatted, slot, RichTextPreviewPieceLimit),
              QStringLiteral("Plain bold and red\nfirst bullet\nsecond bullet"));
    EXPECT_EQ(RichTextToPlainText(&grid, QByteArray("not rich \xe9"), slot), QStringLiteral("not rich \u00e9"));
    // a long value shows only what its first piece holds
    QByteArray longRtf = "{\\rtf1 ";
    for (int i = 0; i < 1000; ++i) longRtf += "word" + QByteArray::number(i) + " ";
    longRtf += "}";
    const QString preview = RichTextToPlainText(&grid, longRtf, slot, RichTextPreviewPieceLimit);
    EXPECT_TRUE(preview.startsWith(QStringLiteral("word0 word1")));
    EXPECT_FALSE(preview.contains(QStringLiteral("word999")));
    EXPECT_TRUE(RichTextToPlainText(&grid, longRtf, slot).contains(QStringLiteral("word999")));

    // the cell shows what the data-aware control holds after reading the same pieces
    QByteArray many = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl ;\\red1\\green2\\blue3;}";
    for (int i = 0; i < 120; ++i)
        many += "\\pard\\cf1 line " + QByteArray::number(i) + " {\\b with} caf\\'e9\\tab end{\\pict\\pngblip 00}\\par\r\n";
    many += "}";
    TkqDBRichEdit control;
    TRichProtectClass allow;   // as a grid hooks it while it loads
    control.OnProtectChange = [&](QObject* sender, int start, int end, bool& allowChange) {
        allow.AllowProtectChange(sender, start, end, allowChange);
    };
    for (const QByteArray& value : {Formatted, longRtf, many, QByteArray("{\\rtf1 {\\protect locked} text}")}) {
        for (int limit : {1, 2, 3, 0}) {
            if (limit) control.LoadBytesParagraphs(value, limit);
            else control.LoadFromBytes(value);
            EXPECT_EQ(RichTextToPlainText(&grid, value, slot, limit), control.Text()) << limit << " " << value.left(40).toStdString();
        }
    }
}

// --- The editor window, its ruler and dialogs, and the popup menu ---------------------------------

TEST(RichEditRuler, MarkersFollowTheIndentsAndSnapToTicks)
{
    TkqCustomRichEdit edit;
    edit.resize(600, 200);
    edit.SetText(QStringLiteral("One paragraph"));
    ASSERT_EQ(edit.ScreenPixelsPerInch(), 96);
    TkqRulerPanel ruler;
    ruler.resize(592, 25);
    ruler.SetRichEdit(&edit);
    ruler.CreateMarkers();
    const int zero = ruler.InnerRect().Left;
    auto centre = [](QWidget* m) { return m->x() + m->width() / 2; };
    // a hanging paragraph: first line at half an inch, the others at one inch
    edit.SetParaFormat(0x14, QString(), false, 720, 0, 720, 0, nullptr, 0, 0, 0, 0);
    ruler.UpdateMarkers();
    EXPECT_EQ(centre(ruler.FirstLineMarker()) - zero, 48);
    EXPECT_EQ(centre(ruler.LeftMarker()) - zero, 96);
    EXPECT_EQ(ruler.LeftMarker()->MinValue, 1);

    // dropped with its centre 49 pixels right of zero, the left marker snaps to the 1/2" tick
    edit.SetParaFormat(0x14, QString(), false, 0, 0, 0, 0, nullptr, 0, 0, 0, 0);
    ruler.UpdateMarkers();
    ruler.LeftMarker()->move(zero + 49 - 5, ruler.LeftMarker()->y());
    ruler.MarkerEndDrag(ruler.LeftMarker());
    EXPECT_EQ(ruler.LeftMarker()->x(), 49);
    int offset = 0, right = 0, start = 0;
    edit.GetParaIndents(offset, right, start);
    EXPECT_EQ(start + offset, 720);
    EXPECT_EQ(start, 0);

    // the left marker stops 48 pixels before the right one
    ruler.RightMarker()->move(300, ruler.RightMarker()->y());
    ruler.LeftMarker()->move(400, ruler.LeftMarker()->y());
    ruler.MarkerEndDrag(ruler.LeftMarker());
    EXPECT_LE(ruler.LeftMarker()->x(), ruler.RightMarker()->x() - 48 + 1);
    EXPECT_GE(ruler.LeftMarker()->x(), ruler.RightMarker()->x() - 48 - 12);

    // the right marker sets the right indent from the control's width
    ruler.RightMarker()->move(500, ruler.RightMarker()->y());
    ruler.MarkerEndDrag(ruler.RightMarker());
    edit.GetParaIndents(offset, right, start);
    const int x = ruler.RightMarker()->x();
    EXPECT_EQ(right, (edit.width() - edit.GutterWidth() - 4 - x + 5) * 1440 / 96);

    // centimetres: 4 ticks a unit of 96 / 2.537 pixels
    edit.MeasurementUnits = muCentimeters;
    EXPECT_NEAR(ruler.PixelsPerUnit(), 96 / 2.537, 1e-9);
    EXPECT_NEAR(ruler.Extent(), (592 - 12) / (96 / 2.537), 1e-9);
}

TEST(RichEditRuler, DraggingAMarkerWithTheMouseSetsTheIndentInTwips)
{
    TkqCustomRichEdit edit;
    edit.resize(600, 200);
    edit.SetText(QStringLiteral("One paragraph"));
    TkqRulerPanel ruler;
    ruler.resize(600, 25);   // as wide as the control, as in the editor window
    ruler.SetRichEdit(&edit);
    ruler.CreateMarkers();
    ruler.UpdateMarkers();
    // press on the marker's centre, move by dx, release: the marker follows and snaps on release
    auto drag = [](QWidget* marker, int dx) {
        auto send = [marker](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
            QMouseEvent e(type, at, marker->mapToGlobal(at), button, buttons, Qt::NoModifier);
            QApplication::sendEvent(marker, &e);
        };
        const QPoint centre(marker->width() / 2, marker->height() / 2);
        send(QEvent::MouseButtonPress, centre, Qt::LeftButton, Qt::LeftButton);
        send(QEvent::MouseMove, centre + QPoint(dx, 0), Qt::NoButton, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, centre, Qt::LeftButton, Qt::NoButton);   // the marker moved with it
    };
    int offset = 0, right = 0, start = 0;
    auto indents = [&] {
        edit.GetParaIndents(offset, right, start);
        return std::tuple(start + offset, start, right);   // left, first line, right in twips
    };
    const int right0 = std::get<2>(indents());
    // an inch to the right moves the left indent by 1440 twips, the first line stays
    drag(ruler.LeftMarker(), 96);
    EXPECT_EQ(indents(), std::tuple(1440, 0, right0));
    // half an inch for the first line, dropped 5 pixels past it: it snaps back to the 1/8" tick
    drag(ruler.FirstLineMarker(), 48 + 5);
    EXPECT_EQ(indents(), std::tuple(1440, 720, right0));
    // the right marker an inch to the left: the right indent grows by an inch, give or take
    // the eighth of an inch the snap may take off
    drag(ruler.RightMarker(), -96);
    const int grown = std::get<2>(indents()) - right0;
    EXPECT_GE(grown, 1440);
    EXPECT_LE(grown, 1440 + 180);
    EXPECT_EQ(std::get<0>(indents()), 1440);
    // a press without a move changes nothing
    drag(ruler.LeftMarker(), 0);
    EXPECT_EQ(std::get<0>(indents()), 1440);
}

TEST(RichEditRuler, ThePrinterPageLessMarginsSetsTheScale)
{
    TkqCustomRichEdit edit;
    edit.EditWidth = rewPrinterSize;
    ASSERT_TRUE(edit.IsPrinterWidth());
    Printer().SetPaperSize(1);
    TkqRulerPanel ruler;
    ruler.resize(100, 25);
    ruler.SetRichEdit(&edit);
    ruler.CreateMarkers();
    ruler.SetPrinterWidth();
    // letter paper, 8.5" less two 1" margins
    EXPECT_NEAR(ruler.Extent(), 6.5, 0.01);
    EXPECT_NEAR(ruler.width(), 96 * 6.5 + 12, 1);
    EXPECT_EQ(ruler.RightMarker()->MaxValue, ruler.InnerRect().Right - 5);
    // margins wider than the page: nothing to draw
    edit.PrintMargins()->Left = 5;
    edit.PrintMargins()->Right = 5;
    EXPECT_LT(ruler.Extent(), 0);
    ruler.grab();   // paints without numbers or ticks
}

TEST(RichEditParagraphDialog, IndentsAndSpacingRoundTripThroughTheFields)
{
    TkqCustomRichEdit edit;
    edit.SetText(QStringLiteral("First\nSecond"));
    edit.SetBullets(true);
    {
        // bullets hang the first line: its field is negative and OK refuses it
        TkqRichParagraphDialog dialog(&edit);
        EXPECT_EQ(dialog.FirstLineEdit->text(), QStringLiteral("-0.5''"));
        EXPECT_EQ(dialog.LeftEdit->text(), QStringLiteral("0.5''"));
        dialog.show();
        dialog.OKClick();
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(dialog.focusWidget(), dialog.FirstLineEdit);
    }
    edit.SetBullets(false);
    edit.MeasurementUnits = muCentimeters;
    TkqRichParagraphDialog dialog(&edit);
    // each field converts and truncates on its own: 1 cm is 567 twips, 2 cm 1135
    dialog.FirstLineEdit->setText(QStringLiteral("1 cm"));
    dialog.LeftEdit->setText(QStringLiteral("2 cm"));
    dialog.RightEdit->setText(QStringLiteral("0.5 cm"));
    dialog.BeforeParagraphEdit->setText(QStringLiteral("0.2 cm"));
    dialog.AlignmentCombo->SetItemIndex(2);
    // a kind switch fills its default; typing a number while single makes it a multiple
    dialog.LineSpacingComboBox->SetItemIndex(4);
    EXPECT_EQ(dialog.WithinParagraphEdit->text(), QStringLiteral("0.42 cm"));
    dialog.LineSpacingComboBox->SetItemIndex(0);
    EXPECT_TRUE(dialog.WithinParagraphEdit->text().isEmpty());
    QTest::keyClicks(dialog.WithinParagraphEdit, QStringLiteral("3"));
    EXPECT_EQ(dialog.LineSpacingComboBox->ItemIndex(), 5);
    EXPECT_EQ(dialog.WithinParagraphEdit->text(), QStringLiteral("3"));
    dialog.OKClick();
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    dialog.Apply();
    TParaFormat2 format;
    edit.GetParaFormat(format);
    EXPECT_EQ(format.StartIndent, 1702);
    EXPECT_EQ(format.Offset, -567);
    EXPECT_EQ(format.RightIndent, int(0.5 * 1440 / 2.537));
    EXPECT_EQ(format.SpaceBefore, int(0.2 * 1440 / 2.537));
    EXPECT_EQ(format.Alignment, PFA_RIGHT);
    EXPECT_EQ(format.LineSpacingRule, 5);
    EXPECT_EQ(format.LineSpacing, 60);
    // and the dialog reads it back
    TkqRichParagraphDialog again(&edit);
    EXPECT_EQ(again.AlignmentCombo->Text(), QStringLiteral("Right"));
    EXPECT_EQ(again.LineSpacingComboBox->ItemIndex(), 5);
    EXPECT_EQ(again.WithinParagraphEdit->text(), QStringLiteral("3"));

    // the older control keeps no spacing
    edit.SetRichEditVersion(1);
    TkqRichParagraphDialog older(&edit);
    EXPECT_FALSE(older.BeforeParagraphEdit->isEnabled());
    EXPECT_FALSE(older.LineSpacingComboBox->isEnabled());
    EXPECT_EQ(older.AfterParagraphEdit->text(), QStringLiteral("0"));
}

TEST(RichEditTabDialog, PositionsStayOrderedWithinTwentyTwoInches)
{
    TkqCustomRichEdit edit;
    edit.SetText(QStringLiteral("a\tb"));
    const int tabs[] = {720, 2880};
    edit.SetParaFormat(0x20, QString(), false, 0, 0, 0, 2, tabs, 0, 0, 0, 0);
    TkqRichTabDialog dialog(&edit);
    EXPECT_EQ(dialog.Positions(), QStringList({"0.5''", "2''"}));
    const struct {
        const char* typed;
        bool taken;
    } cases[] = {{"1", true}, {"1''", false}, {"22", true}, {"22.01", false}, {"-1", false}, {"x", false}};
    for (const auto& c : cases) {
        dialog.Edit1->setText(QLatin1String(c.typed));
        EXPECT_EQ(dialog.SetClick(), c.taken) << c.typed;
    }
    EXPECT_EQ(dialog.Positions(), QStringList({"0.5''", "1''", "2''", "22''"}));
    dialog.ListBox1->item(0)->setSelected(true);
    dialog.ClearClick();
    // OK with a position still typed sets it first
    dialog.Edit1->setText(QStringLiteral("3"));
    dialog.OKClick();
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    dialog.Apply();
    TParaFormat2 format;
    edit.GetParaFormat(format);
    ASSERT_EQ(format.TabCount, 4);
    EXPECT_EQ(std::vector<int>(format.Tabs, format.Tabs + 4), std::vector<int>({1440, 2880, 4320, 31680}));
    dialog.ClearAllClick();
    EXPECT_TRUE(dialog.Positions().isEmpty());
}

TEST(RichEditorWindow, BarsRulerAndCommandStatesFollowTheSelection)
{
    TMemoData d;
    TkqDBRichEdit edit;
    edit.SetDataSource(&d.source);
    edit.SetDataField(QStringLiteral("Notes"));
    bool ran = false;
    OnModal([&](QWidget* w) {
        auto* form = qobject_cast<TkqRichEditForm*>(w);
        ASSERT_NE(form, nullptr);
        ran = true;
        TkqCustomRichEdit* r = form->RichEdit1();
        ASSERT_NE(form->Ruler(), nullptr);
        EXPECT_TRUE(form->Ruler()->isVisible());
        EXPECT_TRUE(form->FormatBar()->isVisible());
        EXPECT_TRUE(form->Toolbar()->isVisible());
        EXPECT_TRUE(form->StatusBar()->isVisible());
        // top to bottom: toolbar, format bar, ruler, the control, the status bar
        EXPECT_LT(form->Toolbar()->y(), form->FormatBar()->y());
        EXPECT_LT(form->FormatBar()->y(), form->Ruler()->y());
        EXPECT_LT(form->Ruler()->y(), r->y());
        EXPECT_LE(r->y() + r->height(), form->StatusBar()->y());
        EXPECT_FALSE(form->Item(QStringLiteral("Load1"))->isVisible());
        EXPECT_EQ(form->Item(QStringLiteral("SaveExit1"))->text(), QStringLiteral("&Save and Exit"));
        EXPECT_FALSE(form->Button(QStringLiteral("SpellButton"))->isVisible());

        // the selection's formats press the buttons
        r->SetSel({6, 10});
        EXPECT_TRUE(form->Button(QStringLiteral("BoldButton"))->Down());
        EXPECT_TRUE(form->Item(QStringLiteral("Cut1"))->isEnabled());
        EXPECT_FALSE(form->Button(QStringLiteral("BulletButton"))->Down());
        r->SetSel({r->TextLength() - 3, r->TextLength() - 3});
        EXPECT_TRUE(form->Button(QStringLiteral("BulletButton"))->Down());
        EXPECT_FALSE(form->Item(QStringLiteral("Cut1"))->isEnabled());
        EXPECT_FALSE(form->Item(QStringLiteral("FindNext1"))->isEnabled());
        // disabled buttons draw their pictures in grey, undo and redo as well as cut
        auto darkPixels = [](QWidget* button) {
            const QImage image = button->grab().toImage();
            const int face = qGray(image.pixel(image.width() / 2 - 8, image.height() / 2 - 8));
            int n = 0;
            for (int y = image.height() / 2 - 6; y < image.height() / 2 + 6; ++y)
                for (int x = image.width() / 2 - 6; x < image.width() / 2 + 6; ++x)
                    n += qGray(image.pixel(x, y)) < face - 30;
            return n;
        };
        for (const char* name : {"UndoButton", "RedoButton", "CutButton"}) {
            TVzSpeedButton* button = form->Button(QLatin1String(name));
            EXPECT_FALSE(button->isEnabled()) << name;
            EXPECT_GT(darkPixels(button), 8) << name;
        }
        // the ruler's markers sit on the bulleted paragraph's indents
        int offset = 0, right = 0, start = 0;
        r->GetParaIndents(offset, right, start);
        const TRect inner = form->Ruler()->InnerRect();
        EXPECT_EQ(form->Ruler()->FirstLineMarker()->x() + 5, inner.Left + start * 96 / 1440);

        // Ctrl+B bolds the selection; the button follows
        r->SetSel({0, 5});
        EXPECT_FALSE(form->Button(QStringLiteral("BoldButton"))->Down());
        QTest::keyClick(r, Qt::Key_B, Qt::ControlModifier);
        EXPECT_TRUE(IsBold(*r, 0, 5));
        EXPECT_TRUE(form->Button(QStringLiteral("BoldButton"))->Down());
        // alignment and bullets from the format bar
        form->Button(QStringLiteral("CenterButton"))->Click();
        EXPECT_EQ(r->GetParaFormat().Alignment, PFA_CENTER);
        EXPECT_TRUE(form->Button(QStringLiteral("CenterButton"))->Down());
        form->Button(QStringLiteral("BulletButton"))->Click();
        EXPECT_EQ(r->Paragraph()->Numbering(), nsBullet);
        // a colour from the colour menu
        form->ColorMenu()->Items()->Find(QStringLiteral("Red"))->Click();
        EXPECT_EQ(r->SelAttributes()->Color(), clRed);
        // a black background does not press the highlight button; yellow does
        r->SetSelHighlight(clBlack);
        r->SetSel({0, 5});
        EXPECT_FALSE(form->Button(QStringLiteral("HighlightButton"))->Down());
        r->SetSelHighlight(clYellow);
        r->SetSel({0, 5});
        EXPECT_TRUE(form->Button(QStringLiteral("HighlightButton"))->Down());
        // a face that is not installed is written in red
        r->SelAttributes()->SetName(QStringLiteral("No Such Face Here"));
        form->UpdateCommandStates();
        EXPECT_EQ(form->FontNameCombo()->Text(), QStringLiteral("No Such Face Here"));
        EXPECT_EQ(form->FontNameCombo()->palette().color(QPalette::Text), QColor(255, 0, 0));

        // hiding and showing the toolbar keeps its line above it
        QAction* toolbar = form->Item(QStringLiteral("Toolbar1"));
        toolbar->trigger();
        EXPECT_FALSE(form->Toolbar()->isVisible());
        EXPECT_FALSE(toolbar->isChecked());
        EXPECT_LT(form->FormatBar()->y(), form->Toolbar()->y() + 24);
        toolbar->trigger();
        EXPECT_TRUE(form->Toolbar()->isVisible());
        EXPECT_EQ(form->Bevel(QStringLiteral("ToolBarBevel"))->y() + 2, form->Toolbar()->y());
        form->SaveAndExit();
    });
    EXPECT_TRUE(edit.Execute());
    EXPECT_TRUE(ran);
    d.ds.Post();
    TkqDBRichEdit check;
    check.LoadFromBlobField(d.Notes());
    EXPECT_TRUE(IsBold(check, 0, 5));
}

TEST(RichEditPopupMenu, ItemsFollowTheOptionsAndTheReadOnlyState)
{
    TkqCustomRichEdit edit;
    ASSERT_EQ(edit.PopupMenu(), edit.DefaultPopupMenu());
    auto visible = [&edit] {
        QStringList names;
        for (int i = 0; i < edit.PopupMenu()->Items()->Count(); ++i) {
            TMenuItem* item = edit.PopupMenu()->Items()->Items(i);
            if (item->Visible) names << item->objectName().mid(5);
        }
        return names;
    };
    edit.PopupOptions = TkqRichEditPopupOptions{rpoPopupEdit};
    edit.PopupMenuOpening();
    EXPECT_EQ(visible(), QStringList({"Edit"}));
    edit.PopupOptions = TkqRichEditPopupOptions{rpoPopupEdit, rpoPopupCut, rpoPopupCopy, rpoPopupPaste,
                                                rpoPopupBold, rpoPopupFont, rpoPopupFind, rpoPopupInsertObject};
    edit.PopupMenuOpening();
    EXPECT_EQ(visible(), QStringList({"Edit", "N1", "Cut", "Copy", "Paste", "N2", "Bold", "N3", "Font", "N4", "Find",
                                      "N5", "InsertObject"}));
    EXPECT_FALSE(edit.PopupItem(QStringLiteral("PopupInsertObject"))->Enabled);
    EXPECT_EQ(edit.PopupItem(QStringLiteral("PopupEdit"))->Caption, QStringLiteral("&Edit"));
    // read-only: View, Cut, Copy, Paste and Find at most, Cut and Paste disabled
    edit.SetText(QStringLiteral("some text"));
    edit.SetSel({0, 4});
    QApplication::clipboard()->setText(QStringLiteral("clip"));
    edit.SetReadOnly(true);
    edit.PopupMenuOpening();
    EXPECT_EQ(visible(), QStringList({"Edit", "N1", "Cut", "Copy", "Paste", "N2", "Find"}));
    EXPECT_EQ(edit.PopupItem(QStringLiteral("PopupEdit"))->Caption, QStringLiteral("&View"));
    EXPECT_FALSE(edit.PopupItem(QStringLiteral("PopupCut"))->Enabled);
    EXPECT_FALSE(edit.PopupItem(QStringLiteral("PopupPaste"))->Enabled);
    EXPECT_TRUE(edit.PopupItem(QStringLiteral("PopupCopy"))->Enabled);
    // the bold item toggles the selection's style
    edit.SetReadOnly(false);
    edit.PopupMenuOpening();
    edit.PopupItem(QStringLiteral("PopupBold"))->Click();
    EXPECT_TRUE(IsBold(edit, 0, 4));
}

TEST(RichEditPopupMenu, ARightClickSelectsAnObjectAndKeepsATextSelection)
{
    TkqDBRichEdit edit;
    edit.resize(500, 200);
    edit.show();
    edit.LoadFromBytes("{\\rtf1\\ansi before {\\object\\objemb\\objw1440\\objh720{\\*\\objclass Equation.3}"
                       "{\\*\\objdata 01050000}} after\\par}");
    const int object = int(edit.document()->toPlainText().indexOf(QChar::ObjectReplacementCharacter));
    ASSERT_GT(object, 0);
    QStringList shown;
    auto rightClick = [&](int charIndex) {
        const QPoint at = (edit.PosFromChar(charIndex) + edit.PosFromChar(charIndex + 1)) / 2 - edit.viewport()->pos() +
                          QPoint(0, 4);
        QTimer::singleShot(0, [&] {
            shown.clear();
            for (int i = 0; i < edit.PopupMenu()->Items()->Count(); ++i)
                if (edit.PopupMenu()->Items()->Items(i)->Visible) shown << edit.PopupMenu()->Items()->Items(i)->Caption;
            edit.PopupMenu()->CloseMenu();
        });
        QContextMenuEvent e(QContextMenuEvent::Mouse, at, edit.viewport()->mapToGlobal(at));
        QApplication::sendEvent(edit.viewport(), &e);
    };
    edit.SetSel({0, 3});
    rightClick(object + 3);   // on " after": the selection stays
    EXPECT_EQ(edit.GetSel(), (TCharRange{0, 3}));
    EXPECT_FALSE(shown.contains(QStringLiteral("Equation.3 &Object")));
    rightClick(object);   // on the object: it is selected and its items appear
    EXPECT_EQ(edit.GetSel(), (TCharRange{object, object + 1}));
    EXPECT_TRUE(shown.contains(QStringLiteral("Equation.3 &Object"))) << shown.join(", ").toStdString();
}

TEST(RichEditLinks, AClickOnALinkOpensItThroughTheDesktopUnlessTheHandlerTakesIt)
{
    QStringList opened;
    SetShellOpenHandler([&opened](const QString& target) {
        opened << target;
        return true;
    });
    TkqCustomRichEdit edit;
    edit.resize(400, 200);
    edit.show();
    edit.SetText(QStringLiteral("see www.example.org/a or elsewhere"));
    edit.SetAutoURLDetect(true);
    QWidget* vp = edit.viewport();
    const QPoint onLink = edit.PosFromChar(6) - vp->pos() + QPoint(2, 4);
    const QPoint offLink = edit.PosFromChar(27) - vp->pos() + QPoint(2, 4);
    QTest::mouseClick(vp, Qt::LeftButton, {}, onLink);
    EXPECT_EQ(opened, QStringList({"www.example.org/a"}));
    // pressed off the link and released on it; pressed on it, released off, then a click that
    // starts elsewhere and ends on the link: none of these opens it
    QTest::mousePress(vp, Qt::LeftButton, {}, offLink);
    QTest::mouseRelease(vp, Qt::LeftButton, {}, onLink);
    QTest::mousePress(vp, Qt::LeftButton, {}, onLink);
    QTest::mouseRelease(vp, Qt::LeftButton, {}, offLink);
    QTest::mousePress(vp, Qt::LeftButton, {}, offLink);
    QTest::mouseRelease(vp, Qt::LeftButton, {}, onLink);
    EXPECT_EQ(opened.size(), 1);
    // the handler sees the link; clearing UseDefault keeps the desktop out of it
    QString seen;
    edit.OnURLOpen = [&seen](TkqCustomRichEdit*, const QString& link, bool& useDefault) {
        seen = link;
        useDefault = false;
    };
    QTest::mouseClick(vp, Qt::LeftButton, {}, onLink);
    EXPECT_EQ(seen, QStringLiteral("www.example.org/a"));
    EXPECT_EQ(opened.size(), 1);
    SetShellOpenHandler(nullptr);
}

TEST(RichEditorWindow, SaveAsAsksBeforeOverwritingAndLoadReadsAFile)
{
    QTemporaryDir dir;
    const QString existing = dir.filePath(QStringLiteral("old.rtf"));
    const QString text = dir.filePath(QStringLiteral("plain.txt"));
    for (const auto& [path, bytes] : {std::pair{existing, QByteArray("keep me")}, std::pair{text, QByteArray("plain words")}}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    TkqCustomRichEdit edit;
    edit.SetText(QStringLiteral("Saved text"));
    edit.EditorOptions.Include(reoShowLoad);
    edit.EditorOptions.Include(reoShowSaveAs);
    edit.EditorOptions.Include(reoNoConfirmation);
    OnModal([&](QWidget* w) {
        auto* form = qobject_cast<TkqRichEditForm*>(w);
        EXPECT_TRUE(form->Button(QStringLiteral("SaveAsButton"))->isVisible());
        EXPECT_TRUE(form->Item(QStringLiteral("Load1"))->isVisible());
        // No leaves the file as it was; Yes writes the content as RTF
        TDialogSeam::AnswerFiles({existing});
        TDialogSeam::AnswerMessages({mrNo});
        form->SaveAsClick();
        EXPECT_EQ(ReadWholeFile(existing), QByteArray("keep me"));
        TDialogSeam::AnswerFiles({existing});
        TDialogSeam::AnswerMessages({mrYes});
        form->SaveAsClick();
        EXPECT_TRUE(ReadWholeFile(existing).startsWith("{\\rtf1"));
        // a file that is not rich text loads as text
        TDialogSeam::AnswerFiles({text});
        form->LoadClick();
        EXPECT_EQ(form->RichEdit1()->Text(), QStringLiteral("plain words"));
        // without confirmation, closing keeps the changes without a question
        form->ExitEditor();
    });
    EXPECT_TRUE(edit.Execute());
    EXPECT_EQ(edit.Text(), QStringLiteral("plain words"));
    EXPECT_EQ(TDialogSeam::Messages(), QStringList({QStringLiteral("OK to overwrite %1").arg(existing),
                                                    QStringLiteral("OK to overwrite %1").arg(existing)}));
}
