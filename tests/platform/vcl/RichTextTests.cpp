// The rich-text reader and writer: files of real word processors, round trips with formats,
// code pages, refused and cut streams.

#include "platform/vcl/RichText.h"
#include "platform/vcl/RtfReader.h"
#include "platform/vcl/RtfWriter.h"
#include "tests/common/TestSupport.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <gtest/gtest.h>

namespace {

QTextDocument* Read(QTextDocument& doc, const QByteArray& rtf, TRtfReadResult* result = nullptr)
{
    doc.clear();
    QTextCursor cursor(&doc);
    const TRtfReadResult r = ReadRtf(rtf, cursor);
    if (result) *result = r;
    return &doc;
}

QStringList Blocks(const QTextDocument& doc)
{
    QStringList lines;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) lines << b.text();
    return lines;
}

// Everything the formats say, one line per paragraph and one per run, to compare documents.
QString Describe(const QTextDocument& doc)
{
    QString out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const QTextBlockFormat f = b.blockFormat();
        const TBlockIndents ind = BlockIndents(f, b.textList() != nullptr);
        out += QStringLiteral("P align=%1 li=%2 fi=%3 ri=%4 sb=%5 sa=%6 lh=%7/%8 list=%9 tabs=")
                   .arg(int(f.alignment() & Qt::AlignHorizontal_Mask))
                   .arg(ind.Left).arg(ind.First).arg(ind.Right)
                   .arg(DocUnitsToTwips(f.topMargin())).arg(DocUnitsToTwips(f.bottomMargin()))
                   .arg(f.lineHeightType()).arg(qRound(f.lineHeight() * 100))
                   .arg(b.textList() ? int(b.textList()->format().style()) : 0);
        for (const auto& t : f.tabPositions()) out += QString::number(DocUnitsToTwips(t.position)) + ',';
        out += '\n';
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat c = it.fragment().charFormat();
            QString text = it.fragment().text();
            if (c.isImageFormat())
                text = QStringLiteral("<image %1x%2>").arg(qRound(c.toImageFormat().width())).arg(qRound(c.toImageFormat().height()));
            // what a run leaves unsaid is the document's default (12 points without one)
            const QString family = c.fontFamilies().toStringList().value(0, doc.defaultFont().family());
            const double points = c.fontPointSize() > 0 ? c.fontPointSize()
                                  : doc.defaultFont().pointSizeF() > 0 ? doc.defaultFont().pointSizeF() : 12;
            out += QStringLiteral("  [%1] font=%2 pt=%3 b=%4 i=%5 u=%6 s=%7 fg=%8 bg=%9 va=%10 href=%11 prot=%12\n")
                       .arg(text, family)
                       .arg(points).arg(c.fontWeight() > QFont::Medium).arg(c.fontItalic())
                       .arg(c.fontUnderline()).arg(c.fontStrikeOut())
                       .arg(c.foreground().style() == Qt::NoBrush ? QStringLiteral("-") : c.foreground().color().name())
                       .arg(c.background().style() == Qt::NoBrush ? QStringLiteral("-") : c.background().color().name())
                       .arg(int(c.verticalAlignment()))
                       .arg(c.anchorHref())
                       .arg(c.boolProperty(rpProtected));
        }
    }
    return out;
}

// The text as it stands, line separators and no-break spaces included; paragraphs end in '\n'.
QString RawText(const QTextDocument& doc) { return doc.toRawText().replace(QChar::ParagraphSeparator, u'\n'); }

QTextFragment FragmentWith(const QTextDocument& doc, const QString& text)
{
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().text() == text) return it.fragment();
    return {};
}

QString Tool(const char* name) { return QStandardPaths::findExecutable(QLatin1String(name)); }

} // namespace

struct TWordProcessorFile {
    const char* Name;
    int ListLeft, ListFirst;   // the bullet paragraphs' indents as each program writes them
    int ImageWidth, ImageHeight;
    int Paragraphs;            // one program ends with empty paragraphs
};

class RtfWordProcessorFile : public ::testing::TestWithParam<TWordProcessorFile> {};

TEST_P(RtfWordProcessorFile, ReadsWithItsFormats)
{
    const TWordProcessorFile& file = GetParam();
    QTextDocument doc;
    TRtfReadResult result;
    Read(doc, ReadWholeFile(TestDataPath(QStringLiteral("rtf/") + file.Name)), &result);
    ASSERT_TRUE(result.Ok());
    EXPECT_FALSE(result.Truncated);
    const QStringList lines = Blocks(doc);
    ASSERT_EQ(lines.size(), file.Paragraphs) << Describe(doc).toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("Plain start bold italic underline strike red big marked x2 H2O"));
    EXPECT_EQ(lines[1], QStringLiteral("Centred paragraph"));
    EXPECT_EQ(lines[8], QStringLiteral("Special: \u00e9 \u00f1 \u00fc \u00df \u20ac \u201cquoted\u201d \u2018single\u2019 \u2014 \u2013 \u2026 \u03a9 \u0416 \u4e2d\u6587 \u2713"));
    EXPECT_EQ(lines[9], QStringLiteral("A link here and tab: after"));   // the page's tab was white space
    EXPECT_EQ(lines[10], QString(QChar::ObjectReplacementCharacter));

    EXPECT_TRUE(FragmentWith(doc, "bold").charFormat().fontWeight() > QFont::Medium);
    EXPECT_TRUE(FragmentWith(doc, "italic").charFormat().fontItalic());
    EXPECT_TRUE(FragmentWith(doc, "underline").charFormat().fontUnderline());
    EXPECT_TRUE(FragmentWith(doc, "strike").charFormat().fontStrikeOut());
    EXPECT_EQ(FragmentWith(doc, "red").charFormat().foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(FragmentWith(doc, "big").charFormat().fontPointSize(), 18);
    EXPECT_EQ(FragmentWith(doc, "marked").charFormat().background().color(), QColor(255, 255, 0));
    EXPECT_EQ(FragmentWith(doc, "2").charFormat().verticalAlignment(), QTextCharFormat::AlignSuperScript);
    EXPECT_EQ(FragmentWith(doc, "link here").charFormat().anchorHref(), QStringLiteral("http://example.com/page"));
    EXPECT_FALSE(FragmentWith(doc, "Plain start ").charFormat().fontWeight() > QFont::Medium);

    EXPECT_EQ(doc.findBlockByNumber(1).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(doc.findBlockByNumber(2).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    const TBlockIndents hanging = BlockIndents(doc.findBlockByNumber(3).blockFormat(), false);
    EXPECT_EQ(hanging.Left, 1440);
    EXPECT_EQ(hanging.First, -720);
    for (int i : {4, 5}) {
        const QTextBlock b = doc.findBlockByNumber(i);
        ASSERT_NE(b.textList(), nullptr);
        EXPECT_EQ(b.textList()->format().style(), QTextListFormat::ListDisc);
        EXPECT_EQ(BlockIndents(b.blockFormat(), true).Left, file.ListLeft);
        EXPECT_EQ(BlockIndents(b.blockFormat(), true).First, file.ListFirst);
    }
    EXPECT_EQ(doc.findBlockByNumber(4).textList(), doc.findBlockByNumber(5).textList());
    ASSERT_NE(doc.findBlockByNumber(6).textList(), nullptr);
    EXPECT_EQ(doc.findBlockByNumber(6).textList()->format().style(), QTextListFormat::ListDecimal);
    EXPECT_EQ(doc.findBlockByNumber(7).textList()->itemNumber(doc.findBlockByNumber(7)), 1);
    EXPECT_EQ(doc.findBlockByNumber(0).textList(), nullptr);

    const QTextCharFormat image = doc.findBlockByNumber(10).begin().fragment().charFormat();
    ASSERT_TRUE(image.isImageFormat());
    EXPECT_EQ(qRound(image.toImageFormat().width()), file.ImageWidth);
    EXPECT_EQ(qRound(image.toImageFormat().height()), file.ImageHeight);
    EXPECT_FALSE(doc.resource(QTextDocument::ImageResource, QUrl(image.toImageFormat().name())).value<QImage>().isNull());
}

TEST_P(RtfWordProcessorFile, WhatTheWriterWritesReadsBackWithEveryFormat)
{
    QTextDocument original;
    Read(original, ReadWholeFile(TestDataPath(QStringLiteral("rtf/") + GetParam().Name)));
    const QByteArray written = WriteRtf(&original);
    QTextDocument again;
    TRtfReadResult result;
    Read(again, written, &result);
    ASSERT_TRUE(result.Ok());
    EXPECT_EQ(Describe(again), Describe(original)) << written.toStdString();
    // the second generation writes the same bytes (the picture groups were kept as read)
    EXPECT_EQ(WriteRtf(&again), written);
}

INSTANTIATE_TEST_SUITE_P(Files, RtfWordProcessorFile,
                         ::testing::Values(TWordProcessorFile{"libreoffice-formats.rtf", 709, -283, 40, 30, 11},
                                           TWordProcessorFile{"abiword-formats.rtf", 720, -431, 53, 40, 13}));

TEST(RtfReader, CodePagesOfTheDocumentAndOfFonts)
{
    struct TCase {
        const char* Rtf;
        const char16_t* Text;
    };
    const TCase cases[] = {
        // the document's code page, and 1252 when none is given
        {"{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2}", u"\u041f\u0440\u0438\u0432\u0435\u0442"},
        {"{\\rtf1\\ansi caf\\'e9 \\'80\\'85}", u"caf\u00e9 \u20ac\u2026"},
        // a font's character set wins over the document's page
        {"{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0\\fcharset204 Arial Cyr;}{\\f1\\fcharset161 Greek;}{\\f2\\fcharset0 Arial;}}"
         "\\f0 \\'c4\\'e0 \\f1 \\'c1\\'e2 \\f2 \\'c1}", u"\u0414\u0430 \u0391\u03b2 \u00c1"},
        // double-byte pages: two escapes make one character
        {"{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset128 MS Mincho;}}\\f0 \\'82\\'a0\\'82\\'a2}", u"\u3042\u3044"},
        {"{\\rtf1\\ansi\\ansicpg936 \\'d6\\'d0\\'ce\\'c4}", u"\u4e2d\u6587"},
        {"{\\rtf1\\mac \\'8e}", u"\u00e9"},
        {"{\\urtf1 caf\xc3\xa9}", u"caf\u00e9"},
        // Unicode escapes skip their fallback: one byte by default, \ucN bytes, escapes count once
        {"{\\rtf1 \\u1046?\\u1046\\'3f x}", u"\u0416\u0416 x"},
        {"{\\rtf1 \\uc2\\u1046\\'3f\\'3fy\\uc0\\u1046 z}", u"\u0416y\u0416z"},
        {"{\\rtf1 \\u-3913?\\u-10179?\\u-8704?}", u"\uf0b7\U0001F600"},
        // the fallback ends with its group
        {"{\\rtf1 {\\uc3\\u1046}ab}", u"\u0416ab"},
        // symbols, escaped characters and special words
        {"{\\rtf1 a\\~b\\-c\\_d\\\\e\\{f\\}g\\tab h\\line i\\emdash\\endash\\bullet\\lquote\\rquote\\ldblquote\\rdblquote}",
         u"a\u00a0b\u00adc\u2011d\\e{f}g\th\u2028i\u2014\u2013\u2022\u2018\u2019\u201c\u201d"},
    };
    for (const TCase& c : cases) {
        QTextDocument doc;
        TRtfReadResult r;
        Read(doc, QByteArray(c.Rtf), &r);
        EXPECT_TRUE(r.Ok()) << c.Rtf;
        EXPECT_EQ(RawText(doc), QString::fromUtf16(c.Text)) << c.Rtf;
        // and what the writer makes of it reads back the same
        QTextDocument again;
        Read(again, WriteRtf(&doc));
        EXPECT_EQ(RawText(again), RawText(doc)) << c.Rtf;
    }
}

TEST(RtfWriter, TextOfAFontWithACharacterSetIsWrittenInItsCodePage)
{
    QTextDocument doc;
    Read(doc, "{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset204 Arial Cyr;}}\\f0 \\'c4\\'e0 \\u20013?}");
    const QByteArray rtf = WriteRtf(&doc);
    EXPECT_TRUE(rtf.contains("\\fcharset204 Arial Cyr;")) << rtf.toStdString();
    EXPECT_TRUE(rtf.contains("\\'c4\\'e0 \\u20013?")) << rtf.toStdString();
}

TEST(RtfReader, RefusesWhatIsNotRichTextOrBreaksItsSyntaxAndInsertsNothing)
{
    struct TCase {
        QByteArray Data;
        TRtfReadStatus Status;
    };
    const TCase cases[] = {
        {"", rrNotRtf},
        {"plain text", rrNotRtf},
        {"{\\RTF1 upper case is not rich text}", rrNotRtf},
        {" {\\rtf1 leading blank}", rrNotRtf},
        {"{\\rtf1 a control word of thirty-three letters \\abcdefghijklmnopqrstuvwxyzabcdefg}", rrBroken},
        {"{\\rtf1 an eleven-digit number \\fs12345678901 x}", rrBroken},
        {"{\\rtf1 a negative binary run \\bin-5 x}", rrBroken},
        {QByteArray("{\\rtf1 a zero byte\0 in the text}", 31), rrBroken},
        {"{\\rtf1 " + QByteArray(1001, '{') + "deep" + QByteArray(1001, '}') + "}", rrBroken},
    };
    for (const TCase& c : cases) {
        QTextDocument doc;
        doc.setPlainText(QStringLiteral("kept"));
        QTextCursor cursor(&doc);
        cursor.movePosition(QTextCursor::End);
        EXPECT_EQ(ReadRtf(c.Data, cursor).Status, c.Status) << c.Data.left(60).toStdString();
        EXPECT_EQ(doc.toPlainText(), QStringLiteral("kept"));
    }
    // what follows the document's group is not read, a zero byte there included
    QTextDocument doc;
    TRtfReadResult r;
    Read(doc, QByteArray("{\\rtf1 end}\0{\\zz", 17), &r);
    EXPECT_TRUE(r.Ok());
    EXPECT_EQ(doc.toPlainText(), QStringLiteral("end"));
}

TEST(RtfReader, ACutStreamLoadsWhatItHolds)
{
    const QByteArray full = ReadWholeFile(TestDataPath("rtf/libreoffice-formats.rtf"));
    QTextDocument whole;
    Read(whole, full);
    const QString wholeText = whole.toPlainText();
    // every length, so that each cut lands in every kind of token once
    for (qsizetype n = 6; n < full.size(); ++n) {
        QTextDocument doc;
        TRtfReadResult r;
        Read(doc, full.left(n), &r);
        ASSERT_TRUE(r.Ok()) << n;
        ASSERT_TRUE(r.Truncated) << n;
        // the text is the whole text's beginning, up to a paragraph mark not yet made
        QString text = doc.toPlainText();
        if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
        ASSERT_TRUE(wholeText.startsWith(text)) << n << " " << text.right(40).toStdString();
    }
    QTextDocument doc;
    Read(doc, full.left(full.indexOf("Centred") + 4));
    EXPECT_EQ(Blocks(doc).last(), QStringLiteral("Cent"));
    EXPECT_TRUE(FragmentWith(doc, "bold").charFormat().fontWeight() > QFont::Medium);
}

TEST(RtfReader, DamagedStreamsNeverCrash)
{
    const QByteArray full = ReadWholeFile(TestDataPath("rtf/libreoffice-formats.rtf"));
    quint32 seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u; };
    for (int round = 0; round < 300; ++round) {
        QByteArray damaged = full;
        for (int flips = 0; flips < 8; ++flips) damaged[int(next() % quint32(damaged.size() - 6)) + 6] = char(next() >> 8);
        QTextDocument doc;
        Read(doc, damaged);
    }
    SUCCEED();
}

TEST(RtfReader, ObjectsAndPicturesItCannotDrawAreKeptByteForByte)
{
    const QByteArray object = "{\\object\\objemb\\objw2880\\objh1440{\\*\\objclass Paint.Picture}{\\*\\objdata 0105000002000000}"
                              "{\\result{\\pict\\emfblip\\picwgoal2880\\pichgoal1440 0100000022}}}";
    const QByteArray bare = "{\\object\\objemb\\objw1440\\objh720{\\*\\objclass Equation.3}{\\*\\objdata 01050000}}";
    const QByteArray metafile = "{\\pict\\wmetafile8\\picw2540\\pich2540\\picwgoal720\\pichgoal720 010009000003}";
    const QByteArray rtf = "{\\rtf1\\ansi before " + object + " middle " + bare + metafile + " after\\par}";
    QTextDocument doc;
    Read(doc, rtf);
    EXPECT_EQ(doc.toPlainText(), QStringLiteral("before \ufffc middle \ufffc\ufffc after"));
    std::vector<QTextImageFormat> images;
    for (auto it = doc.begin().begin(); !it.atEnd(); ++it)
        if (it.fragment().charFormat().isImageFormat())
            for (int i = 0; i < it.fragment().length(); ++i) images.push_back(it.fragment().charFormat().toImageFormat());
    ASSERT_EQ(images.size(), 3u);
    EXPECT_TRUE(images[0].boolProperty(rpIsObject));
    EXPECT_EQ(images[0].stringProperty(rpObjectClass), QStringLiteral("Paint.Picture"));
    EXPECT_EQ(qRound(images[0].width()), 192);   // two inches by its result picture
    EXPECT_EQ(images[1].stringProperty(rpObjectClass), QStringLiteral("Equation.3"));
    EXPECT_EQ(qRound(images[1].height()), 48);   // half an inch by the object's own size
    EXPECT_FALSE(images[2].boolProperty(rpIsObject));
    // the placeholders are pictures, and the groups come back as they were
    for (const auto& image : images)
        EXPECT_FALSE(doc.resource(QTextDocument::ImageResource, QUrl(image.name())).value<QImage>().isNull());
    const QByteArray written = WriteRtf(&doc);
    EXPECT_TRUE(written.contains(object));
    EXPECT_TRUE(written.contains(bare + metafile));
}

TEST(RtfReader, FieldsReadAsTheirResultAndHyperlinksStayLinks)
{
    QTextDocument doc;
    Read(doc, "{\\rtf1 Page {\\field{\\*\\fldinst PAGE }{\\fldrslt 7}}, see "
              "{\\field{\\*\\fldinst {HYPERLINK \"http://x.org/a b\" \\\\l \"part\" \\\\o \"tip\"}}{\\fldrslt {\\ul here}}}.}");
    EXPECT_EQ(doc.toPlainText(), QStringLiteral("Page 7, see here."));
    const QTextCharFormat link = FragmentWith(doc, "here").charFormat();
    EXPECT_EQ(link.anchorHref(), QStringLiteral("http://x.org/a b#part"));
    EXPECT_TRUE(link.fontUnderline());
    EXPECT_FALSE(FragmentWith(doc, "7").charFormat().isAnchor());
    QTextDocument again;
    Read(again, WriteRtf(&doc));
    EXPECT_EQ(FragmentWith(again, "here").charFormat().anchorHref(), QStringLiteral("http://x.org/a b#part"));
}

TEST(RtfReader, DestinationsWithoutDocumentTextAreSkipped)
{
    QTextDocument doc;
    Read(doc, "{\\rtf1{\\info{\\title T}{\\author A}}{\\stylesheet{\\s1 Heading;}}{\\header head}{\\*\\unknownthing x}"
              "a{\\footnote note}b{\\*\\bkmkstart m}c{\\v hidden}d{\\upr{eight-bit}{\\*\\ud{wide}}}"
              "{\\*\\generator Gen;}{\\pntext 1.\\tab}e{\\listtext x}{\\nonshppict{\\pict\\wmetafile8 00}}\\bin3 {}f}");
    EXPECT_EQ(doc.toPlainText(), QStringLiteral("abcdwidee"));
}

TEST(RtfReader, AMarkThatEndsTheStreamEndsTheLastParagraph)
{
    const std::pair<const char*, QStringList> cases[] = {
        {"{\\rtf1 a}", {"a"}},
        {"{\\rtf1 a\\par}", {"a"}},
        {"{\\rtf1 a\\par\\par}", {"a", ""}},
        {"{\\rtf1 \\par}", {""}},
        {"{\\rtf1 a\\par b\\sect\\page}", {"a", "b"}},
        {"{\\rtf1 a\\par \\pard\\sect}", {"a"}},
    };
    for (const auto& [rtf, lines] : cases) {
        QTextDocument doc;
        Read(doc, rtf);
        EXPECT_EQ(Blocks(doc), lines) << rtf;
        // a written document has as many paragraphs when read again
        QTextDocument again;
        Read(again, WriteRtf(&doc));
        EXPECT_EQ(Blocks(again), lines) << rtf;
    }
    // into a selection the mark stays when text follows
    QTextDocument doc;
    doc.setPlainText(QStringLiteral("xy"));
    QTextCursor cursor(&doc);
    cursor.setPosition(1);
    ReadRtf("{\\rtf1 \\b a\\par}", cursor, {true});
    EXPECT_EQ(Blocks(doc), QStringList({"xa", "y"}));
    cursor.movePosition(QTextCursor::End);
    ReadRtf("{\\rtf1 \\qc b\\par}", cursor, {true});
    EXPECT_EQ(Blocks(doc), QStringList({"xa", "yb"}));
    EXPECT_EQ(doc.lastBlock().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
}

TEST(RtfWriter, ARangeReadsBackAsThatText)
{
    QTextDocument doc;
    Read(doc, "{\\rtf1 one \\b two\\par three\\par\\i four}");
    ASSERT_EQ(doc.toPlainText(), QStringLiteral("one two\nthree\nfour"));
    const std::tuple<int, int, QString> cases[] = {
        {4, 7, "two"}, {4, 10, "two\nth"}, {0, 8, "one two\n"}, {8, 13, "three"}, {14, 18, "four"}, {5, 5, ""}};
    for (const auto& [from, to, text] : cases) {
        const QByteArray rtf = WriteRtf(&doc, from, to);
        QTextDocument part;
        part.setPlainText(QStringLiteral("[]"));
        QTextCursor cursor(&part);
        cursor.setPosition(1);
        ReadRtf(rtf, cursor, {true});
        EXPECT_EQ(part.toPlainText(), "[" + text + "]") << rtf.toStdString();
    }
    QTextDocument part;
    Read(part, WriteRtf(&doc, 4, 7));
    EXPECT_TRUE(part.begin().begin().fragment().charFormat().fontWeight() > QFont::Medium);
}

TEST(RtfWriter, EveryParagraphAndCharacterFormatRoundTrips)
{
    QTextDocument doc;
    QTextCursor c(&doc);
    QTextBlockFormat exact;
    exact.setAlignment(Qt::AlignJustify);
    SetBlockIndents(exact, {720, -360, 1440}, false);
    exact.setTopMargin(TwipsToDocUnits(120));
    exact.setBottomMargin(TwipsToDocUnits(240));
    exact.setLineHeight(TwipsToDocUnits(300), QTextBlockFormat::FixedHeight);
    exact.setTabPositions({QTextOption::Tab(TwipsToDocUnits(1440), QTextOption::RightTab),
                           QTextOption::Tab(TwipsToDocUnits(2880), QTextOption::CenterTab),
                           QTextOption::Tab(TwipsToDocUnits(4320), QTextOption::DelimiterTab, QLatin1Char('.'))});
    c.setBlockFormat(exact);
    QTextCharFormat f;
    f.setFontFamilies({QStringLiteral("DejaVu Serif")});
    f.setFontPointSize(9.5);
    f.setForeground(QColor(1, 2, 3));
    f.setBackground(QColor(200, 100, 50));
    f.setProperty(rpProtected, true);
    c.insertText(QStringLiteral("protected {braces} \\ and \t tab"), f);
    QTextBlockFormat least;
    least.setLineHeight(TwipsToDocUnits(400), QTextBlockFormat::MinimumHeight);
    c.insertBlock(least);
    QTextCharFormat g;
    g.setFontItalic(true);
    g.setFontStrikeOut(true);
    g.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    c.insertText(QStringLiteral("sub"), g);
    QTextBlockFormat doubled;
    doubled.setLineHeight(200, QTextBlockFormat::ProportionalHeight);
    c.insertBlock(doubled);
    QTextListFormat roman;
    roman.setStyle(QTextListFormat::ListUpperRoman);
    c.createList(roman);
    c.insertText(QStringLiteral("numbered"));
    c.insertBlock();
    c.insertText(QStringLiteral("second"));
    QTextDocument again;
    Read(again, WriteRtf(&doc));
    EXPECT_EQ(Describe(again), Describe(doc)) << WriteRtf(&doc).toStdString();
}

TEST(RtfWriter, AnotherProgramReadsWhatItWrites)
{
    const QString unrtf = Tool("unrtf");
    if (unrtf.isEmpty()) GTEST_SKIP() << "unrtf is not installed";
    QTextDocument doc;
    Read(doc, ReadWholeFile(TestDataPath("rtf/libreoffice-formats.rtf")));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ours.rtf"));
    WriteWholeFile(path, WriteRtf(&doc));
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start(unrtf, {QStringLiteral("--html"), path});
    ASSERT_TRUE(p.waitForFinished(30000));
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    for (const char* part : {"<b>bold</b>", "<i>italic</i>", "<u>underline</u>", "<s>strike</s>", "color=\"#ff0000\">red",
                             "background:#ffff00\">marked", "<sup>2</sup>", "<sub>2</sub>", "Centred paragraph",
                             "Special: &eacute; &ntilde; &uuml; &szlig; &euro; &ldquo;quoted&rdquo; &lsquo;single&rsquo; "
                             "&mdash; &ndash; &hellip; &Omega; &#1046; &#20013;&#25991; &#10003;",
                             "http://example.com/page"})
        EXPECT_TRUE(html.contains(QLatin1String(part))) << part;
}

TEST(RtfWriter, AWordProcessorReadsWhatItWrites)
{
    const QString soffice = Tool("soffice");
    if (soffice.isEmpty()) GTEST_SKIP() << "LibreOffice (soffice) is not installed";
    QTextDocument doc;
    Read(doc, ReadWholeFile(TestDataPath("rtf/libreoffice-formats.rtf")));
    QTemporaryDir dir;
    WriteWholeFile(dir.filePath(QStringLiteral("ours.rtf")), WriteRtf(&doc));
    QProcess p;
    p.start(soffice, {QStringLiteral("-env:UserInstallation=file://") + dir.filePath(QStringLiteral("profile")),
                      QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("rtf"),
                      QStringLiteral("--outdir"), dir.filePath(QStringLiteral("out")), dir.filePath(QStringLiteral("ours.rtf"))});
    ASSERT_TRUE(p.waitForFinished(120000));
    QTextDocument back;
    TRtfReadResult r;
    Read(back, ReadWholeFile(dir.filePath(QStringLiteral("out/ours.rtf"))), &r);
    ASSERT_TRUE(r.Ok());
    // the word processor's reading of our file, read by us, is the document we wrote
    EXPECT_EQ(Blocks(back), Blocks(doc));
    EXPECT_TRUE(FragmentWith(back, "bold").charFormat().fontWeight() > QFont::Medium);
    EXPECT_EQ(FragmentWith(back, "red").charFormat().foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(FragmentWith(back, "marked").charFormat().background().color(), QColor(255, 255, 0));
    EXPECT_EQ(back.findBlockByNumber(2).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    EXPECT_EQ(BlockIndents(back.findBlockByNumber(3).blockFormat(), false).First, -720);
    ASSERT_NE(back.findBlockByNumber(4).textList(), nullptr);
    EXPECT_EQ(back.findBlockByNumber(4).textList()->format().style(), QTextListFormat::ListDisc);
    ASSERT_NE(back.findBlockByNumber(6).textList(), nullptr);
    EXPECT_EQ(back.findBlockByNumber(6).textList()->format().style(), QTextListFormat::ListDecimal);
    EXPECT_EQ(FragmentWith(back, "link here").charFormat().anchorHref(), QStringLiteral("http://example.com/page"));
}
