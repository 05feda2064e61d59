// The rich edit control: streams, lines, formats, find, pages, protection, notifications, links.

#include "platform/vcl/RichEdit.h"
#include "platform/vcl/RichText.h"
#include "tests/common/TestSupport.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QTest>
#include <QTextBlock>
#include <QTextList>
#include <gtest/gtest.h>

namespace {

// Streams bytes in through the callback, in requests of the control's size.
int StreamBytesIn(TCustomRichEdit& edit, const QByteArray& bytes, int format, int* error = nullptr)
{
    TEditStream es;
    qsizetype at = 0;
    es.Callback = [&](char* buffer, int count, int& done) {
        done = int(qMin<qsizetype>(count, bytes.size() - at));
        memcpy(buffer, bytes.constData() + at, size_t(done));
        at += done;
        return 0;
    };
    const int read = edit.StreamIn(format, es);
    if (error) *error = es.Error;
    return read;
}

QByteArray StreamBytesOut(TCustomRichEdit& edit, int format)
{
    QByteArray out;
    TEditStream es;
    es.Callback = [&](char* buffer, int count, int& done) {
        out.append(buffer, count);
        done = count;
        return 0;
    };
    edit.StreamOut(format, es);
    return out;
}

class TRecordingRichEdit : public TCustomRichEdit {
public:
    using TCustomRichEdit::TCustomRichEdit;
    std::vector<TENLink> Links;
    int Changes = 0, SelectionChanges = 0;

protected:
    void LinkNotify(const TENLink& link) override { Links.push_back(link); }
    void Change() override { ++Changes; }
    void SelectionChange() override { ++SelectionChanges; }
};

const QByteArray Sample = "{\\rtf1\\ansi{\\fonttbl{\\f0 DejaVu Sans;}}\\f0\\fs20 one \\b two\\b0\\par three\\par four}";

} // namespace

TEST(RichEditStreams, RichTextAndTextComeInWholeOrIntoTheSelection)
{
    TCustomRichEdit edit;
    EXPECT_EQ(StreamBytesIn(edit, Sample, SF_RTF), 18);
    EXPECT_EQ(edit.Text(), QStringLiteral("one two\nthree\nfour"));
    EXPECT_FALSE(edit.Modified());
    EXPECT_FALSE(edit.CanUndoEdit());   // a load is no edit

    edit.SetSel({4, 7});
    StreamBytesIn(edit, "{\\rtf1 2\\par 2b}", SF_RTF | SFF_SELECTION);
    EXPECT_EQ(edit.Text(), QStringLiteral("one 2\n2b\nthree\nfour"));
    EXPECT_TRUE(edit.Modified());

    edit.SetSel({0, 0});
    StreamBytesIn(edit, "plain\r\nlines\rend \x80", SF_TEXT | SFF_SELECTION);
    EXPECT_TRUE(edit.Text().startsWith(QStringLiteral("plain\nlines\nend \u20acone")));

    // a stream that is no rich text is refused and changes nothing
    const QString before = edit.Text();
    int error = 0;
    EXPECT_EQ(StreamBytesIn(edit, "not rich", SF_RTF, &error), 0);
    EXPECT_EQ(error, EditStreamBadRichText);
    EXPECT_EQ(edit.Text(), before);
}

TEST(RichEditStreams, OutAsRichTextEndingInAZeroByteOrAsLines)
{
    TCustomRichEdit edit;
    StreamBytesIn(edit, Sample, SF_RTF);
    const QByteArray rtf = StreamBytesOut(edit, SF_RTF);
    EXPECT_TRUE(rtf.startsWith("{\\rtf1"));
    EXPECT_TRUE(rtf.endsWith(QByteArray("}\0", 2)));
    EXPECT_EQ(StreamBytesOut(edit, SF_TEXT), QByteArray("one two\r\nthree\r\nfour"));
    edit.SetSel({4, 10});
    EXPECT_EQ(StreamBytesOut(edit, SF_TEXT | SFF_SELECTION), QByteArray("two\r\nth"));
    TCustomRichEdit other;
    StreamBytesIn(other, StreamBytesOut(edit, SF_RTF | SFF_SELECTION), SF_RTF);
    EXPECT_EQ(other.Text(), QStringLiteral("two\nth"));
    other.SetSel({0, 3});
    EXPECT_TRUE(other.GetCharFormat(SCF_SELECTION).Effects & CFE_BOLD);
    other.SetSel({4, 6});
    EXPECT_FALSE(other.GetCharFormat(SCF_SELECTION).Effects & CFE_BOLD);

    // a callback that fails stops the transfer and its answer stays
    TEditStream es;
    int calls = 0;
    es.Callback = [&](char*, int, int& done) {
        ++calls;
        done = 0;
        return EditStreamFail;
    };
    edit.StreamOut(SF_RTF, es);
    EXPECT_EQ(es.Error, EditStreamFail);
    EXPECT_EQ(calls, 1);
}

TEST(RichEditLines, ParagraphsAreLinesWithTheirEnds)
{
    TCustomRichEdit edit;
    EXPECT_EQ(edit.LineCount(), 1);
    StreamBytesIn(edit, Sample, SF_RTF);
    EXPECT_EQ(edit.LineCount(), 3);
    EXPECT_EQ(edit.LineIndex(1), 8);
    EXPECT_EQ(edit.LineIndex(3), -1);
    EXPECT_EQ(edit.LineLength(9), 5);
    EXPECT_EQ(edit.LineFromChar(9), 1);
    EXPECT_EQ(edit.Line(0, 4096), QStringLiteral("one two\r"));
    EXPECT_EQ(edit.Line(2, 4096), QStringLiteral("four"));
    EXPECT_EQ(edit.Line(1, 3), QStringLiteral("thr"));
    EXPECT_EQ(edit.TextRange({2, 10}), QStringLiteral("e two\rth"));
    edit.SetSel({0, -1});
    EXPECT_EQ(edit.SelLength(), edit.TextLength());
    edit.SetSel({5, 5});
    edit.ReplaceSel(QStringLiteral("X\r\nY"));
    EXPECT_EQ(edit.Text(), QStringLiteral("one tX\nYwo\nthree\nfour"));
    EXPECT_EQ(edit.SelStart(), 8);   // behind what was put in
}

TEST(RichEditFormats, CharacterFormatsWithMasks)
{
    TCustomRichEdit edit;
    StreamBytesIn(edit, Sample, SF_RTF);
    edit.SetSel({4, 7});
    TCharFormat2 f = edit.GetCharFormat(SCF_SELECTION);
    EXPECT_TRUE(f.Effects & CFE_BOLD);
    EXPECT_EQ(f.Height, 200);
    EXPECT_EQ(f.FaceName, QStringLiteral("DejaVu Sans"));
    EXPECT_TRUE(f.Effects & CFE_AUTOCOLOR);
    // a selection over bold and plain text leaves the bold bit out of the mask
    edit.SetSel({0, 7});
    f = edit.GetCharFormat(SCF_SELECTION);
    EXPECT_FALSE(f.Mask & CFM_BOLD);
    EXPECT_TRUE(f.Mask & CFM_SIZE);

    TCharFormat2 red;
    red.Mask = CFM_COLOR | CFM_ITALIC;
    red.TextColor = clRed;
    red.Effects = CFE_ITALIC;
    edit.SetCharFormat(SCF_SELECTION, red);
    edit.SetSel({4, 7});
    f = edit.GetCharFormat(SCF_SELECTION);
    EXPECT_TRUE(f.Effects & CFE_BOLD);   // what the record left out stays
    EXPECT_TRUE(f.Effects & CFE_ITALIC);
    EXPECT_EQ(f.TextColor, clRed);
    EXPECT_FALSE(f.Effects & CFE_AUTOCOLOR);
    red.Mask = CFM_COLOR;
    red.Effects = CFE_AUTOCOLOR;
    edit.SetCharFormat(SCF_SELECTION, red);
    EXPECT_TRUE(edit.GetCharFormat(SCF_SELECTION).Effects & CFE_AUTOCOLOR);

    // without a selection the format is the one typing takes
    edit.SetSel({18, 18});
    TCharFormat2 under;
    under.Mask = CFM_UNDERLINE;
    under.Effects = CFE_UNDERLINE;
    edit.SetCharFormat(SCF_SELECTION, under);
    QTest::keyClicks(&edit, QStringLiteral("u"));
    edit.SetSel({18, 19});
    EXPECT_TRUE(edit.GetCharFormat(SCF_SELECTION).Effects & CFE_UNDERLINE);
    EXPECT_EQ(edit.SelAttributes()->Style(), TFontStyles{fsUnderline});
}

TEST(RichEditFormats, ParagraphFormatsWithMasks)
{
    TCustomRichEdit edit;
    StreamBytesIn(edit, Sample, SF_RTF);
    edit.SetSel({2, 10});   // the first two paragraphs
    TParaFormat2 p;
    p.Mask = PFM_ALIGNMENT | PFM_STARTINDENT | PFM_OFFSET | PFM_RIGHTINDENT | PFM_TABSTOPS | PFM_SPACEBEFORE
             | PFM_SPACEAFTER | PFM_LINESPACING;
    p.Alignment = PFA_CENTER;
    p.StartIndent = 360;
    p.Offset = 720;
    p.RightIndent = 144;
    p.TabCount = 2;
    p.Tabs[0] = 1440;
    p.Tabs[1] = 2880;
    p.SpaceBefore = 100;
    p.SpaceAfter = 200;
    p.LineSpacingRule = 4;
    p.LineSpacing = 300;
    edit.SetParaFormat(p);
    for (int at : {0, 9}) {
        edit.SetSel({at, at});
        const TParaFormat2 r = edit.GetParaFormat();
        EXPECT_EQ(r.Alignment, PFA_CENTER);
        EXPECT_EQ(r.StartIndent, 360);
        EXPECT_EQ(r.Offset, 720);
        EXPECT_EQ(r.RightIndent, 144);
        ASSERT_EQ(r.TabCount, 2);
        EXPECT_EQ(r.Tabs[1], 2880);
        EXPECT_EQ(r.SpaceBefore, 100);
        EXPECT_EQ(r.SpaceAfter, 200);
        EXPECT_EQ(r.LineSpacingRule, 4);
        EXPECT_EQ(r.LineSpacing, 300);
    }
    edit.SetSel({15, 15});
    EXPECT_EQ(edit.GetParaFormat().Alignment, PFA_LEFT);   // the third paragraph was not selected

    // bullets: the paragraphs join one list; the smaller record knows no spacing
    edit.SetSel({0, 10});
    TParaFormat2 bullets;
    bullets.Mask = PFM_NUMBERING | PFM_OFFSET;
    bullets.Numbering = PFN_BULLET;
    bullets.Offset = 360;
    edit.SetParaFormat(bullets);
    EXPECT_NE(edit.document()->firstBlock().textList(), nullptr);
    EXPECT_EQ(edit.document()->firstBlock().textList(), edit.document()->firstBlock().next().textList());
    EXPECT_EQ(edit.Paragraph()->Numbering(), nsBullet);
    const TParaFormat2 small = edit.GetParaFormat(ParaFormatSize);
    EXPECT_FALSE(small.Mask & PFM_SPACEBEFORE);
    EXPECT_EQ(small.Offset, 360);
    edit.Paragraph()->SetNumbering(nsNone);
    EXPECT_EQ(edit.document()->firstBlock().textList(), nullptr);

    struct TRule {
        int Rule, Spacing, ReadRule, ReadSpacing;
    };
    for (const TRule& r : {TRule{0, 0, 0, 0}, TRule{1, 0, 1, 0}, TRule{2, 0, 2, 0}, TRule{3, 400, 3, 400},
                           TRule{5, 30, 1, 0}, TRule{5, 25, 5, 25}}) {
        TParaFormat2 s;
        s.Mask = PFM_LINESPACING;
        s.LineSpacingRule = quint8(r.Rule);
        s.LineSpacing = r.Spacing;
        edit.SetParaFormat(s);
        EXPECT_EQ(edit.GetParaFormat().LineSpacingRule, r.ReadRule) << r.Rule << " " << r.Spacing;
        EXPECT_EQ(edit.GetParaFormat().LineSpacing, r.ReadSpacing) << r.Rule << " " << r.Spacing;
    }
}

TEST(RichEditFind, ForwardBackwardWordsAndCase)
{
    TCustomRichEdit edit;
    edit.SetText(QStringLiteral("Cat cat category\ncat"));
    const struct {
        int Flags;
        TCharRange Range;
        const char* Text;
        int Found;
    } cases[] = {
        {FR_DOWN, {0, -1}, "cat", 0},
        {FR_DOWN | FR_MATCHCASE, {0, -1}, "cat", 4},
        {FR_DOWN, {5, -1}, "cat", 8},
        {FR_DOWN | FR_WHOLEWORD, {5, -1}, "cat", 17},
        {FR_DOWN, {0, 6}, "cat", 0},
        {FR_DOWN, {1, 6}, "cat", -1},      // the match runs past the range
        {0, {16, 0}, "cat", 8},           // backwards from the end of the range
        {FR_DOWN, {0, -1}, "dog", -1},
        {FR_DOWN, {0, -1}, "", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(edit.FindTextEx(c.Flags, c.Range, QLatin1String(c.Text)), c.Found) << c.Text << " " << c.Range.Min;
    EXPECT_EQ(edit.FindText(QStringLiteral("CAT"), 1, 20, {stMatchCase}), -1);
    EXPECT_EQ(edit.FindText(QStringLiteral("cat"), 1, 20, {}), 4);
}

TEST(RichEditPages, MeasuresAndDrawsPageByPage)
{
    TCustomRichEdit edit;
    QString text;
    for (int i = 0; i < 120; ++i) text += QStringLiteral("Line %1 of the long text\n").arg(i);
    edit.SetText(text);
    QImage page(850, 1100, QImage::Format_ARGB32);   // a letter page at 100 pixels per inch
    page.setDotsPerMeterX(3937);
    page.setDotsPerMeterY(3937);
    TFormatRange range;
    range.Target = &page;
    range.Rc = TRect(1440, 1440, 1440 * 15 / 2, 1440 * 10);   // one-inch margins
    range.RcPage = range.Rc;
    std::vector<int> starts{0};
    for (;;) {
        range.Chrg = {starts.back(), -1};
        const int next = edit.FormatRange(&range, false);
        if (next >= edit.TextLength()) break;
        ASSERT_GT(next, starts.back());
        starts.push_back(next);
    }
    edit.FormatRange(nullptr, false);
    EXPECT_GE(starts.size(), 2u);
    EXPECT_LE(starts.size(), 6u);
    // each page starts at a line's start
    for (int s : starts) EXPECT_TRUE(s == 0 || edit.document()->findBlock(s).position() == s);
    // drawing the second page puts its lines inside the rectangle only
    page.fill(Qt::white);
    QPainter painter(&page);
    range.Painter = &painter;
    range.Chrg = {starts[1], -1};
    EXPECT_EQ(edit.FormatRange(&range, true), starts.size() > 2 ? starts[2] : edit.TextLength());
    painter.end();
    auto inked = [&](int x0, int y0, int x1, int y1) {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                if (qGray(page.pixel(x, y)) < 128) return true;
        return false;
    };
    EXPECT_TRUE(inked(100, 100, 750, 200));
    EXPECT_FALSE(inked(0, 0, 850, 95));
    EXPECT_FALSE(inked(0, 1005, 850, 1100));
}

TEST(RichEditProtection, ProtectedTextChangesOnlyWhenAllowed)
{
    TCustomRichEdit edit;
    StreamBytesIn(edit, "{\\rtf1 open {\\protect locked} open}", SF_RTF);
    std::vector<std::pair<int, int>> asked;
    bool allow = false;
    edit.OnProtectChange = [&](QObject*, int start, int end, bool& allowChange) {
        asked.emplace_back(start, end);
        allowChange = allow;
    };
    edit.show();
    edit.setFocus();
    edit.SetSel({7, 7});   // inside "locked"
    QTest::keyClicks(&edit, QStringLiteral("x"));
    EXPECT_EQ(edit.Text(), QStringLiteral("open locked open"));
    edit.SetSel({4, 8});
    QTest::keyClick(&edit, Qt::Key_Delete);
    EXPECT_EQ(edit.Text(), QStringLiteral("open locked open"));
    edit.ReplaceSel(QStringLiteral("-"));
    EXPECT_EQ(edit.Text(), QStringLiteral("open locked open"));
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[1], std::make_pair(4, 8));
    // text around it stays free, and an allowing handler lets the change through
    edit.SetSel({0, 0});
    QTest::keyClicks(&edit, QStringLiteral("y"));
    EXPECT_EQ(edit.Text(), QStringLiteral("yopen locked open"));
    allow = true;
    edit.SetSel({5, 12});
    edit.ReplaceSel(QStringLiteral("free"));
    EXPECT_EQ(edit.Text(), QStringLiteral("yopenfree open"));
}

TEST(RichEditNotifications, ChangesAndSelectionsWhileTheirMaskIsSet)
{
    TRecordingRichEdit edit;
    edit.SetText(QStringLiteral("abc"));
    EXPECT_EQ(edit.Changes, 1);
    edit.ReplaceSel(QStringLiteral("x"));
    EXPECT_EQ(edit.Changes, 2);
    const int selections = edit.SelectionChanges;
    edit.SetSel({1, 2});
    edit.SetSel({1, 2});
    EXPECT_EQ(edit.SelectionChanges, selections + 1);
    edit.SetEventMask(0);
    edit.ReplaceSel(QStringLiteral("y"));
    edit.SetSel({0, 0});
    EXPECT_EQ(edit.Changes, 2);
    EXPECT_EQ(edit.SelectionChanges, selections + 1);
    EXPECT_TRUE(edit.CanUndoEdit());
    edit.undo();
    EXPECT_EQ(edit.Text(), QStringLiteral("xabc"));
    EXPECT_TRUE(edit.CanRedoEdit());
}

TEST(RichEditLinks, DetectedAndFieldLinksNotifyTheirRange)
{
    TRecordingRichEdit edit;
    edit.resize(400, 200);
    edit.show();
    StreamBytesIn(edit, "{\\rtf1 see www.example.org/a, or {\\field{\\*\\fldinst HYPERLINK \"http://x.y\"}{\\fldrslt here}}.}", SF_RTF);
    edit.SetAutoUrlDetect(true);
    ASSERT_EQ(edit.UrlRanges().size(), 1u);
    EXPECT_EQ(edit.UrlRanges()[0], (TCharRange{4, 21}));   // the comma is not part of it
    edit.SetEventMask(edit.EventMask() | ENM_LINK);
    const QPoint onUrl = edit.PosFromChar(6) - edit.viewport()->pos() + QPoint(2, 4);
    QTest::mouseClick(edit.viewport(), Qt::LeftButton, {}, onUrl);
    ASSERT_EQ(edit.Links.size(), 2u);
    EXPECT_EQ(edit.Links[0].Msg, WM_LBUTTONDOWN);
    EXPECT_EQ(edit.Links[1].Msg, WM_LBUTTONUP);
    EXPECT_EQ(edit.Links[1].Chrg, (TCharRange{4, 21}));
    edit.Links.clear();
    const int here = int(edit.Text().indexOf(QStringLiteral("here")));
    const QPoint onField = edit.PosFromChar(here + 1) - edit.viewport()->pos() + QPoint(2, 4);
    QTest::mouseClick(edit.viewport(), Qt::LeftButton, {}, onField);
    ASSERT_FALSE(edit.Links.empty());
    EXPECT_EQ(edit.Links.back().Chrg, (TCharRange{here, here + 4}));
    EXPECT_EQ(edit.TextRange(edit.Links.back().Chrg), QStringLiteral("here"));
}

TEST(RichEditLimits, MaxLengthHoldsForLoadsTypingAndPastes)
{
    TCustomRichEdit edit;
    edit.SetMaxLength(5);
    StreamBytesIn(edit, "{\\rtf1 abcdefgh}", SF_RTF);
    EXPECT_EQ(edit.Text(), QStringLiteral("abcde"));
    edit.show();
    edit.setFocus();
    edit.SetSel({5, 5});
    QTest::keyClicks(&edit, QStringLiteral("z"));
    EXPECT_EQ(edit.Text(), QStringLiteral("abcde"));
    edit.SetSel({0, 2});
    edit.ReplaceSel(QStringLiteral("123"));
    EXPECT_EQ(edit.Text(), QStringLiteral("12cde"));
}

TEST(RichEditClipboard, CopiesRichTextAndPastesIt)
{
    TCustomRichEdit from, to;
    StreamBytesIn(from, Sample, SF_RTF);
    from.SetSel({4, 7});
    from.CopyToClipboard();
    const QMimeData* data = QApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->hasFormat(QStringLiteral("text/rtf")));
    EXPECT_TRUE(to.CanPasteClipboard());
    to.PasteFromClipboard();
    EXPECT_EQ(to.Text(), QStringLiteral("two"));
    to.SetSel({0, 3});
    EXPECT_TRUE(to.GetCharFormat(SCF_SELECTION).Effects & CFE_BOLD);
    // a picture alone is nothing the control pastes
    QApplication::clipboard()->setImage(QImage(4, 4, QImage::Format_RGB32));
    EXPECT_FALSE(to.CanPasteClipboard());
}

TEST(RichEditLinesObject, LoadsRichTextOrTextAndSavesAtomically)
{
    TCustomRichEdit edit;
    QBuffer rich;
    rich.setData(Sample);
    rich.open(QIODevice::ReadOnly);
    edit.PlatformLines()->LoadFromStream(rich);
    EXPECT_EQ(edit.Text(), QStringLiteral("one two\nthree\nfour"));
    QBuffer text;
    text.setData("{\\rtf1 broken \\abcdefghijklmnopqrstuvwxyzabcdefgh}");
    text.open(QIODevice::ReadOnly);
    edit.PlatformLines()->LoadFromStream(text);
    EXPECT_EQ(edit.Text(), QStringLiteral("{\\rtf1 broken \\abcdefghijklmnopqrstuvwxyzabcdefgh}"));
    EXPECT_EQ(edit.PlatformLines()->Count(), 1);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.rtf"));
    edit.SetPlainText(false);
    edit.PlatformLines()->SaveToFile(path);
    TCustomRichEdit back;
    back.PlatformLines()->LoadFromFile(path);
    EXPECT_EQ(back.Text(), edit.Text());
    EXPECT_THROW(back.PlatformLines()->LoadFromFile(dir.filePath(QStringLiteral("missing.rtf"))), EFOpenError);
}
