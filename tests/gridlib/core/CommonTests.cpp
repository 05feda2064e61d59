#include "gridlib/core/Kqdbspin.h"
#include "gridlib/core/kqclient.h"
#include "gridlib/core/kqcommon.h"
#include "platform/client/ClientDataSet.h"
#include "tests/common/TestSupport.h"
#include "tests/gridlib/GridTestData.h"
#include "tests/gridlib/core/CoreTestObjects.h"

#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

TEST(ClassesByName, ClassOrAncestorIgnoringCase)
{
    TkqClientDataSet ds;
    EXPECT_TRUE(IsClassOrAncestorNamed(&ds, "tclientdataset"));
    EXPECT_TRUE(IsClassOrAncestorNamed(&ds, "TDataSet"));
    EXPECT_FALSE(IsClassOrAncestorNamed(&ds, "TBDEDataSet"));
    EXPECT_FALSE(IsClassOrAncestorNamed(static_cast<const QObject*>(nullptr), "TClientDataSet"));
    EXPECT_FALSE(IsClassOrAncestorNamed(static_cast<const QMetaObject*>(nullptr), "TClientDataSet"));
    EXPECT_TRUE(IsClassOrAncestorNamed(&TkqCustomDBGrid::staticMetaObject, "TCUSTOMGRID"));
}

TEST(PropertiesByName, ReadersAnswerDefaultsAndWritersCheckTheKind)
{
    TPropertyHolder holder;
    QObject bare;

    // Names are found ignoring case.
    EXPECT_TRUE(FindPublishedProperty(&holder, "databasename").isValid());
    EXPECT_TRUE(SetDataSetDatabaseName(&holder, QStringLiteral("DBDEMOS")));
    EXPECT_EQ(GetDataSetDatabaseName(&holder), QStringLiteral("DBDEMOS"));
    EXPECT_FALSE(SetDataSetDatabaseName(&bare, QStringLiteral("x")));
    EXPECT_EQ(GetDataSetDatabaseName(&bare), QString());
    // A session name that is no text is left alone.
    EXPECT_FALSE(SetDataSetSessionName(&holder, QStringLiteral("Default")));
    EXPECT_EQ(holder.SessionName, 3);
    EXPECT_EQ(GetDataSetTableName(&holder), QStringLiteral("customer.db"));

    EXPECT_EQ(GetDataSetCursorLocation(&holder), 2);
    EXPECT_EQ(GetDataSetCursorLocation(&bare), 0);
    EXPECT_TRUE(SetDataSetCursorLocation(&holder, 3));
    EXPECT_EQ(holder.CursorLocation, 3);
    EXPECT_FALSE(SetDataSetMaxRecords(&holder, 10));

    QObject connection;
    EXPECT_TRUE(SetDataSetConnection(&holder, &connection));
    EXPECT_EQ(GetDataSetConnection(&holder), &connection);
    EXPECT_FALSE(SetDataSetDatabaseObject(&holder, &connection));
    EXPECT_EQ(GetDataSetMasterSource(&holder), nullptr);

    EXPECT_FALSE(GetControlInfoInDataSet(&holder));
    EXPECT_TRUE(GetControlInfoInDataSet(&bare));
    EXPECT_TRUE(GetPictureMaskFromDataSet(&holder));
    EXPECT_FALSE(GetControlWantReturns(&holder));

    // Lines: a list property takes them, a text property takes them joined with CR LF.
    const QStringList lines{QStringLiteral("SELECT *"), QStringLiteral("FROM t")};
    EXPECT_TRUE(AssignLinesToProperty(&holder, lines, "SQL"));
    EXPECT_EQ(holder.SQL, lines);
    EXPECT_TRUE(AssignLinesToProperty(&holder, lines, "Caption"));
    EXPECT_EQ(holder.Caption, QStringLiteral("SELECT *\r\nFROM t"));
    EXPECT_FALSE(AssignLinesToProperty(&holder, lines, "CursorLocation"));
    EXPECT_FALSE(AssignLinesToProperty(&holder, lines, "Missing"));

    EXPECT_TRUE(ControlHasBorder(&holder));
    EXPECT_TRUE(SetControlBorderStyle(&holder, false));
    EXPECT_FALSE(ControlHasBorder(&holder));
    EXPECT_FALSE(ControlHasBorder(&bare));

    // Filter options: the set when published, else the Filtered flag.
    SetFilterEnabledOption(&holder, false);
    EXPECT_EQ(GetDataSetFilterOptions(&holder), TkqOnFilterOptions{ofoShowHourGlass});
    TGridTestDataSet ds;
    EXPECT_TRUE(GetDataSetFilterOptions(&ds).IsEmpty());
    ds.SetFiltered(true);
    EXPECT_EQ(GetDataSetFilterOptions(&ds), TkqOnFilterOptions{ofoEnabled});
    SetFilterEnabledOption(&ds, false);   // nothing to change
    EXPECT_TRUE(ds.Filtered());

    int calls = 0;
    holder.Handler = [&](TDataSet*, TField*) { ++calls; };
    TkqInvalidValueEvent handler = GetOnInvalidValueHandler(&holder);
    ASSERT_TRUE(bool(handler));
    handler(nullptr, nullptr);
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(bool(GetOnInvalidValueHandler(&bare)));
}

TEST(PropertiesByName, DataSourceAndFieldOnWindowedControlsOnly)
{
    TGridTestDataSet ds;
    ds.Define({{"Size", ftWideString}});
    ds.AddRow({TVariant(QStringLiteral("50"))});
    TDataSource source;
    source.SetDataSet(&ds);
    ds.Open();
    QWidget form;
    auto* spin = new TkqDBSpinEdit(&form);
    EXPECT_TRUE(SetControlDataSource(spin, &source));
    EXPECT_TRUE(SetControlDataField(spin, QStringLiteral("Size")));
    EXPECT_EQ(GetControlDataSource(spin), &source);
    EXPECT_EQ(GetControlDataField(spin), QStringLiteral("Size"));
    EXPECT_EQ(spin->Text(), QStringLiteral("50"));
    EXPECT_TRUE(SetControlDataSource(spin, nullptr));
    EXPECT_EQ(GetControlDataSource(spin), nullptr);

    EXPECT_FALSE(SetControlDataSource(&form, &source));   // no such property
    TPropertyHolder notWindowed;
    EXPECT_FALSE(SetControlDataField(&notWindowed, QStringLiteral("Size")));
    EXPECT_EQ(GetControlDataField(&notWindowed), QString());
}

TEST(WhereAControlSits, GridsFramesAndForms)
{
    TkqCustomDBGrid grid;
    auto* inGrid = new QLineEdit(&grid);
    QWidget plain;
    auto* outside = new QLineEdit(&plain);
    EXPECT_TRUE(IsInGrid(inGrid));
    EXPECT_FALSE(IsInGrid(outside));
    EXPECT_FALSE(IsPaintCopyInGrid(inGrid));
    SetControlState(inGrid, {csPaintCopy});
    EXPECT_TRUE(IsPaintCopyInGrid(inGrid));
    EXPECT_TRUE(IsPaintCopyInDBGrid(inGrid));
    SetControlState(outside, {csPaintCopy});
    EXPECT_FALSE(IsPaintCopyInGrid(outside));
    EXPECT_FALSE(IsInInspector(inGrid));
    EXPECT_FALSE(IsInDesigner(inGrid));

    // Forms: a window, or each child window of a multiple-document frame.
    QWidget frame;
    auto* area = new QMdiArea(&frame);
    QWidget* forms[2];
    QWidget* controls[2];
    for (int i = 0; i < 2; ++i) {
        forms[i] = new QWidget;
        auto* panel = new TCustomFrame(forms[i]);
        controls[i] = new QLineEdit(panel);
        controls[i]->setObjectName(QStringLiteral("ExpandButton"));
        area->addSubWindow(forms[i]);
    }
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(FindOwnerForm(controls[i]), forms[i]);
        EXPECT_EQ(FindOwnerFormOrFrame(controls[i]), controls[i]->parentWidget());
        EXPECT_EQ(FindNamedControl(FindOwnerForm(controls[i]), QStringLiteral("ExpandButton")), controls[i]);
    }
    EXPECT_EQ(FindOwnerForm(&frame), &frame);
    EXPECT_EQ(FindOwnerForm(outside), &plain);
    EXPECT_EQ(FindOwnerForm(nullptr), nullptr);
    QObject orphan;
    EXPECT_EQ(FindOwnerForm(&orphan), nullptr);

    auto* named = new QWidget(&plain);
    named->setObjectName(QStringLiteral("Frame1"));
    auto* edit = new QLineEdit(named);
    edit->setObjectName(QStringLiteral("EdtSize"));
    EXPECT_EQ(FindNamedControl(&plain, QStringLiteral("EdtSize")), edit);
    EXPECT_EQ(FindNamedControl(&plain, QStringLiteral("Frame1.EdtSize")), edit);
    EXPECT_EQ(FindNamedControl(&plain, QStringLiteral("Frame1.")), nullptr);

    plain.resize(100, 50);
    EXPECT_FALSE(HasChildOutsideClient(&plain));
    edit->move(-5, 3);
    edit->setParent(&plain);
    EXPECT_TRUE(HasChildOutsideClient(&plain));
}

TEST(NumbersAndFields, SmallRoutines)
{
    EXPECT_EQ(ClampInteger(5, 10, 20), 10);
    EXPECT_EQ(ClampInteger(25, 10, 20), 20);
    EXPECT_EQ(ClampInteger(15, 10, 20), 15);
    EXPECT_EQ(ScaleToScreenDpi(10, 120), 12);
    EXPECT_EQ(ScaleToScreenDpi(-10, 120), -12);
    EXPECT_EQ(ScaleToScreenDpi(77, 144), 115);
    EXPECT_EQ(IntegerMax(-1, 2), 2);
    EXPECT_EQ(IntegerMin(-1, 2), -1);

    TGridTestDataSet ds;
    ds.Define({{"CustNo", ftInteger}, {"Name", ftWideString}, {"Pic", ftBlob}});
    ds.Open();
    ds.FieldByName(QStringLiteral("CustNo"))->SetDisplayLabel(QStringLiteral("Customer~No"));
    EXPECT_EQ(FieldNameFromDisplayLabel(&ds, QStringLiteral("customer no")), QStringLiteral("CustNo"));
    EXPECT_EQ(FieldNameFromDisplayLabel(&ds, QStringLiteral("Customer~no")), QStringLiteral("CustNo"));
    EXPECT_EQ(FieldNameFromDisplayLabel(&ds, QStringLiteral("Nobody")), QString());
    EXPECT_TRUE(DataSetHasField(&ds, QStringLiteral("name")));
    QObject notADataSet;
    EXPECT_FALSE(DataSetHasField(&notADataSet, QStringLiteral("Name")));
    // Our datasets have no index that a search could use.
    EXPECT_TRUE(IsScanOnlyField(ds.FieldByName(QStringLiteral("Name"))));
    EXPECT_FALSE(IsSearchableFieldType(ftBlob));
    EXPECT_FALSE(IsSearchableFieldType(ftVarBytes));
    EXPECT_TRUE(IsSearchableFieldType(ftMemo));

    EXPECT_EQ(FindTextInList({QStringLiteral("a"), QStringLiteral("Name")}, QStringLiteral("NAME")), 1);
    EXPECT_EQ(FindTextInList({QStringLiteral("a")}, QStringLiteral("b")), -1);
    EXPECT_EQ(JoinLinesToBuffer({QStringLiteral("a"), QStringLiteral("b")}, true), QStringLiteral("a b"));
    EXPECT_EQ(JoinLinesToBuffer({QStringLiteral("a"), QStringLiteral("b")}, false), QStringLiteral("a\r\nb"));
    EXPECT_EQ(BoolToTF(true), QStringLiteral("T"));

    for (int vk : std::initializer_list<int>{VK_BACK, VK_SPACE, VK_DELETE, 0x30, 0x41, 0x6F, 0x92, 0xBA}) EXPECT_TRUE(IsTypingKey(vk)) << vk;
    for (int vk : std::initializer_list<int>{VK_TAB, VK_RETURN, VK_ESCAPE, VK_LEFT, VK_F1, 0x91, VK_SHIFT}) EXPECT_FALSE(IsTypingKey(vk)) << vk;
}

TEST(NextSqlToken, QuotesRunsAndSingleCharacters)
{
    struct Case {
        const char* text;
        std::vector<const char*> tokens;
    };
    const Case cases[] = {
        {"A.B = 'x y'", {"A.B", "=", "'x y'"}},
        {"x=1", {"x", "=", "1"}},
        {"(WHERE $T_1.A>\"q\")", {"(", "WHERE", "$T_1.A", ">", "\"q\"", ")"}},   // nothing skipped after "("
        {"\tSELECT  Name", {"SELECT", "N", "a", "m", "e"}},                           // lower case ends a run
    };
    for (const Case& c : cases) {
        const QString text = QString::fromLatin1(c.text);
        int pos = 1;
        std::vector<QString> got;
        while (pos <= text.size() && got.size() < 10) got.push_back(NextSqlToken(text, pos));
        std::vector<QString> want;
        for (const char* t : c.tokens) want.push_back(QString::fromLatin1(t));
        EXPECT_EQ(got, want) << c.text;
    }
    int pos = 3;
    EXPECT_EQ(NextSqlToken(QStringLiteral("a 'open"), pos), QString());   // unclosed: stays on the quote
    EXPECT_EQ(pos, 3);
    pos = 0;
    EXPECT_EQ(NextSqlToken(QStringLiteral("A"), pos), QString());
    EXPECT_EQ(pos, 0);
}

namespace {
// Dark pixels in a band of rows.
int DarkPixels(const QImage& image, int top, int bottom)
{
    int n = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128) ++n;
    return n;
}
} // namespace

TEST(Drawing, AlignedTextBreaksWordsOrEndsInAnEllipsis)
{
    const QString text = QStringLiteral("alpha beta gamma delta epsilon zeta");
    auto draw = [&](unsigned options) {
        QImage image(80, 60, QImage::Format_RGB32);
        image.fill(Qt::white);
        TCanvas canvas(&image);
        canvas.Font.Font = QFont(QStringLiteral("DejaVu Sans"));
        canvas.Font.Font.setPixelSize(12);
        canvas.Font.Color = clBlack;
        canvas.Brush.Color = clWhite;
        DrawAlignedText(canvas, TRect(0, 0, 80, 60), 2, options, 0, text, 1);
        return image;
    };
    const QImage wrapped = draw(datWordBreak);
    const QImage elided = draw(datWordBreak | datEllipsis);
    const int line = QFontMetrics(QFont(QStringLiteral("DejaVu Sans"))).height();
    EXPECT_GT(DarkPixels(wrapped, 1, 1 + line), 0);
    EXPECT_GT(DarkPixels(wrapped, 1 + line + 2, 60), 0);   // a second line
    EXPECT_GT(DarkPixels(elided, 1, 1 + line), 0);
    EXPECT_EQ(DarkPixels(elided, 1 + line + 2, 60), 0);    // one line only
}

TEST(Drawing, EllipsisButtonSquaresAndFocusFrame)
{
    auto draw = [](TButtonState state) {
        QImage image(16, 16, QImage::Format_RGB32);
        image.fill(Qt::white);
        TCanvas canvas(&image);
        DrawEllipsisButton(canvas, TRect(0, 0, 16, 16), state, true, true, {});
        return image;
    };
    // Squares of (16 + 1) / 8 = 2 pixels; the middle one at (7, 7), the others 4 pixels away.
    const QImage up = draw(bsUp);
    for (int x : {3, 7, 11}) EXPECT_EQ(QColor(up.pixel(x, 7)), QColor(Qt::black)) << x;
    EXPECT_EQ(QColor(up.pixel(5, 7)), QColor(Qt::white));
    EXPECT_EQ(QColor(up.pixel(7, 9)), QColor(Qt::white));
    const QImage down = draw(bsDown);
    EXPECT_EQ(QColor(down.pixel(7, 7)), QColor(Qt::white));
    EXPECT_EQ(QColor(down.pixel(8, 8)), QColor(Qt::black));

    // The focus frame inverts every other pixel; drawing it twice removes it.
    QImage image(10, 10, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        TCanvas canvas(&image);
        DrawFocusRect(canvas, TRect(0, 0, 10, 10));
    }
    EXPECT_EQ(QColor(image.pixel(0, 0)), QColor(Qt::black));
    EXPECT_EQ(QColor(image.pixel(1, 0)), QColor(Qt::white));
    EXPECT_EQ(QColor(image.pixel(5, 5)), QColor(Qt::white));
    {
        TCanvas canvas(&image);
        DrawFocusRect(canvas, TRect(0, 0, 10, 10));
    }
    EXPECT_EQ(QColor(image.pixel(0, 0)), QColor(Qt::white));
}

namespace {
class TRecordingReader : public TkqRichTextReader {
public:
    explicit TRecordingReader(int* calls) : FCalls(calls) {}
    QString PlainText(const QByteArray& richText, int) override
    {
        ++*FCalls;
        return QString::fromLatin1(richText).remove(QStringLiteral("{\\rtf1 ")).remove(QLatin1Char('}'));
    }

private:
    int* FCalls;
};
} // namespace

TEST(RichTextToPlainText, TheCallersReaderIsMadeOnceAndReused)
{
    std::unique_ptr<TkqRichTextReader> slot;
    QObject owner;
    // Without a reader plugged in the bytes come back as text.
    EXPECT_EQ(RichTextToPlainText(&owner, QByteArray("plain"), slot), QStringLiteral("plain"));
    int made = 0, calls = 0;
    SetRichTextReaderFactory([&](QObject* o) {
        EXPECT_EQ(o, &owner);
        ++made;
        return std::make_unique<TRecordingReader>(&calls);
    });
    EXPECT_EQ(RichTextToPlainText(&owner, QByteArray("{\\rtf1 Hello}"), slot), QStringLiteral("Hello"));
    EXPECT_EQ(RichTextToPlainText(&owner, QByteArray("{\\rtf1 World}"), slot), QStringLiteral("World"));
    EXPECT_EQ(made, 1);
    EXPECT_EQ(calls, 2);
    SetRichTextReaderFactory(nullptr);
}

namespace {
class TKeyRecorder : public QWidget {
public:
    std::vector<std::tuple<QEvent::Type, int, Qt::KeyboardModifiers>> Keys;

protected:
    void keyPressEvent(QKeyEvent* e) override { Keys.emplace_back(e->type(), e->key(), e->modifiers()); }
    void keyReleaseEvent(QKeyEvent* e) override { Keys.emplace_back(e->type(), e->key(), e->modifiers()); }
};
} // namespace

TEST(KeysAndMouse, PostedKeystrokesAndTheEscapeThatStopsAFilter)
{
    TKeyRecorder window;
    PostKeystrokeWithModifier(&window, 'C', VK_CONTROL);
    QCoreApplication::processEvents();
    ASSERT_EQ(window.Keys.size(), 2u);
    EXPECT_EQ(window.Keys[0], std::make_tuple(QEvent::KeyPress, int(Qt::Key_C), Qt::KeyboardModifiers(Qt::ControlModifier)));
    EXPECT_EQ(std::get<0>(window.Keys[1]), QEvent::KeyRelease);

    TPropertyHolder dataSet;
    window.Keys.clear();
    EXPECT_FALSE(EscapeStopsFilter(&dataSet));   // nothing waiting
    QCoreApplication::postEvent(&window, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier));
    EXPECT_FALSE(EscapeStopsFilter(&dataSet));
    EXPECT_TRUE(window.Keys.empty());            // the key was taken
    EXPECT_TRUE(dataSet.OnFilterOptions.Contains(ofoEnabled));
    QCoreApplication::postEvent(&window, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    EXPECT_TRUE(EscapeStopsFilter(&dataSet));
    EXPECT_EQ(dataSet.OnFilterOptions, TkqOnFilterOptions{ofoShowHourGlass});
}
