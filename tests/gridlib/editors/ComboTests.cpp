// The edit with a button and the data-aware combo box: stored and display texts, the drop-down
// list's life cycle by keys and mouse, type-ahead, clearing, the button's geometry and face.

#include "gridlib/core/kqgridhost.h"
#include "gridlib/editors/kqdbcombo.h"
#include "platform/core/IniFiles.h"
#include "platform/core/SysUtils.h"
#include "platform/vcl/Forms.h"
#include "tests/common/TestSupport.h"
#include "tests/gridlib/GridTestData.h"

#include <QApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct Data {
    explicit Data(std::initializer_list<const char*> values = {"Y", "N", "y", ""})
    {
        ds.Define({{"Id", ftInteger}, {"Code", ftWideString}});
        int id = 1;
        for (const char* v : values)
            ds.AddRow({TVariant(id++), *v ? TVariant(QString::fromLatin1(v)) : TVariant::Null()});
        source.SetDataSet(&ds);
        ds.Open();
    }
    QString Stored(int row) const { return ds.Stored(row, 1).IsNull() ? QString() : ds.Stored(row, 1).RawString(); }
    TGridTestDataSet ds;
    TDataSource source;
};

QStringList YesNo() { return {QStringLiteral("Yes\tY"), QStringLiteral("No\tN"), QStringLiteral("Nothing")}; }

QStringList Types()
{
    return {QStringLiteral("String"), QStringLiteral("Smallint"), QStringLiteral("Integer"), QStringLiteral("Date"),
            QStringLiteral("DateTime"), QStringLiteral("DataSet")};
}

// A shown, focused combo on a window of its own.
struct Shown {
    Shown()
    {
        window.resize(300, 200);
        combo = new TkqDBComboBox(&window);
        combo->setGeometry(10, 10, 150, 21);
        other = new QLineEdit(&window);
        other->setGeometry(10, 100, 150, 21);
        window.show();
        combo->setFocus();
        QApplication::processEvents();
    }
    ~Shown() { combo->CloseUp(false); }
    void Key(int key, Qt::KeyboardModifiers m = Qt::NoModifier) { QTest::keyClick(combo, Qt::Key(key), m); }
    void Type(const QString& text) { QTest::keyClicks(combo, text); }
    QWidget window;
    TkqDBComboBox* combo;
    QLineEdit* other;
};

} // namespace

TEST(DBComboBox, MapsStoredAndDisplayTextsBothWays)
{
    TkqDBComboBox combo;
    combo.SetItems(YesNo());
    // Without a map both directions give the value itself.
    EXPECT_EQ(combo.StoredToDisplay(QStringLiteral("Y")), "Y");
    EXPECT_EQ(combo.DisplayToStored(QStringLiteral("Yes")), "Yes");
    EXPECT_TRUE(static_cast<TkqCellTextMap&>(combo).MapStoredToDisplay(QStringLiteral("Y")).isNull());
    combo.SetMapList(true);
    struct Case {
        const char* Stored;
        const char* Display;
    };
    // Exact and case-sensitive; a line without a tab stores an empty text.
    for (const Case& c : {Case{"Y", "Yes"}, Case{"N", "No"}, Case{"y", ""}, Case{"", "Nothing"}, Case{"X", ""}})
        EXPECT_EQ(combo.StoredToDisplay(QString::fromLatin1(c.Stored)), QString::fromLatin1(c.Display)) << c.Stored;
    for (const Case& c : {Case{"Y", "Yes"}, Case{"N", "No"}, Case{"", "Nothing"}, Case{"yes", "yes"}, Case{"Typed", "Typed"}})
        EXPECT_EQ(combo.DisplayToStored(QString::fromLatin1(c.Display)), QString::fromLatin1(c.Stored)) << c.Display;
    // The grid's view: a display text for every value, empty for one the items lack.
    const QString unknown = static_cast<TkqCellTextMap&>(combo).MapStoredToDisplay(QStringLiteral("Z"));
    EXPECT_FALSE(unknown.isNull());
    EXPECT_TRUE(unknown.isEmpty());
    // Two columns map too, without MapList.
    combo.SetMapList(false);
    combo.TwoColumnDisplay = true;
    EXPECT_EQ(combo.StoredToDisplay(QStringLiteral("N")), "No");
}

TEST(DBComboBox, ShowsTheFieldThroughTheMapAndStoresWhatIsChosen)
{
    Data d;
    TkqDBComboBox combo;
    combo.SetMapList(true);
    combo.SetStyle(csDropDownList);
    combo.SetItems(YesNo());
    combo.SetDataSource(&d.source);
    combo.SetDataField(QStringLiteral("Code"));
    const QStringList shown = {"Yes", "No", "", "Nothing"};
    for (int row = 0; row < 4; ++row) {
        d.ds.SetRecNo(row + 1);
        EXPECT_EQ(combo.text(), shown[row]) << row;
    }
    // Choosing a line stores its stored part.
    d.ds.First();
    combo.DropDown();
    combo.PopupList()->SetItemIndex(1);
    combo.CloseUp(true);
    EXPECT_EQ(combo.text(), "No");
    EXPECT_EQ(d.ds.State(), dsEdit);
    d.ds.Post();
    EXPECT_EQ(d.Stored(0), "N");
}

TEST(DBComboBox, EditableComboStoresUnmappedTextAsTypedAndNothingForEmpty)
{
    Data d;
    Shown s;
    s.combo->SetMapList(true);
    s.combo->SetItems(YesNo());
    s.combo->SetDataSource(&d.source);
    s.combo->SetDataField(QStringLiteral("Code"));
    s.combo->selectAll();
    s.Type(QStringLiteral("Maybe"));
    EXPECT_EQ(s.combo->GetStoredText(), "Maybe");
    s.other->setFocus();
    d.ds.Post();
    EXPECT_EQ(d.Stored(0), "Maybe");
    d.ds.First();
    s.combo->setFocus();
    s.combo->selectAll();
    s.Key(Qt::Key_Delete);
    EXPECT_EQ(s.combo->GetStoredText(), "");
    s.other->setFocus();
    d.ds.Post();
    EXPECT_EQ(d.Stored(0), "");
}

TEST(DBComboBox, ListSizeAndPlace)
{
    Shown s;
    s.combo->SetItems({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    s.combo->DropDown();
    const int line = QFontMetrics(s.combo->font()).height() + 2;
    EXPECT_EQ(s.combo->PopupList()->height(), 3 * line + 4);
    EXPECT_EQ(s.combo->PopupList()->width(), s.combo->width());
    // Right below the combo, overlapping its bottom pixel.
    const QPoint below = s.combo->mapToGlobal(QPoint(0, s.combo->height() - 1));
    EXPECT_EQ(s.combo->PopupList()->pos(), below);
    s.combo->CloseUp(false);
    s.combo->Column1Width = 100;
    s.combo->DropDownCount = 2;
    s.combo->DropDown();
    EXPECT_EQ(s.combo->PopupList()->width(), 150);
    EXPECT_EQ(s.combo->PopupList()->height(), 2 * line + 4);
    s.combo->CloseUp(false);
    // Near the bottom of the screen the list opens above the combo.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    s.window.move(screen.left() + 5, screen.bottom() - 40);
    QApplication::processEvents();
    s.combo->DropDown();
    EXPECT_EQ(s.combo->PopupList()->y() + s.combo->PopupList()->height(), s.combo->mapToGlobal(QPoint(0, 0)).y());
}

TEST(DBComboBox, OpensAndClosesByKeysWithoutLosingTheTypedText)
{
    Shown s;
    s.combo->SetItems(Types());
    s.Type(QStringLiteral("Fo"));
    EXPECT_FALSE(TkqDBCustomComboBox::MouseHookInstalled());
    struct Case {
        int Open;
        Qt::KeyboardModifiers OpenMods;
        int Close;
        Qt::KeyboardModifiers CloseMods;
    };
    for (const Case& c : {Case{Qt::Key_F4, {}, Qt::Key_F4, {}}, Case{Qt::Key_Down, Qt::AltModifier, Qt::Key_Up, Qt::AltModifier},
                          Case{Qt::Key_F4, {}, Qt::Key_Escape, {}}, Case{Qt::Key_F4, {}, Qt::Key_Return, {}}}) {
        s.Key(c.Open, c.OpenMods);
        ASSERT_TRUE(s.combo->IsDroppedDown());
        EXPECT_TRUE(s.combo->PopupList()->isVisible());
        EXPECT_TRUE(TkqDBCustomComboBox::MouseHookInstalled());
        EXPECT_EQ(QApplication::focusWidget(), s.combo);   // the list never takes the focus
        s.Key(c.Close, c.CloseMods);
        EXPECT_FALSE(s.combo->IsDroppedDown());
        EXPECT_FALSE(s.combo->PopupList()->isVisible());
        EXPECT_FALSE(TkqDBCustomComboBox::MouseHookInstalled());
        EXPECT_EQ(s.combo->text(), "Fo");
    }
    // Alt+F4 is the window's; Enter and Escape pass on while closed.
    s.Key(Qt::Key_F4, Qt::AltModifier);
    EXPECT_FALSE(s.combo->IsDroppedDown());
}

TEST(DBComboBox, OpensAndClosesByMouse)
{
    Shown s;
    s.combo->SetItems(Types());
    s.Type(QStringLiteral("Fo"));
    TkqComboDlgButton* button = s.combo->Button();
    ASSERT_TRUE(button->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_TRUE(s.combo->IsDroppedDown());
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_FALSE(s.combo->IsDroppedDown());
    EXPECT_EQ(s.combo->text(), "Fo");
    // A press elsewhere closes the list once the posted message arrives, keeping the text.
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_TRUE(s.combo->IsDroppedDown());
    QTest::mousePress(&s.window, Qt::LeftButton, {}, QPoint(250, 150));
    EXPECT_TRUE(s.combo->IsDroppedDown());
    QApplication::processEvents();
    EXPECT_FALSE(s.combo->IsDroppedDown());
    EXPECT_FALSE(TkqDBCustomComboBox::MouseHookInstalled());
    EXPECT_EQ(s.combo->text(), "Fo");
    QTest::mouseRelease(&s.window, Qt::LeftButton, {}, QPoint(250, 150));
    // A click on a line takes it.
    QTest::mouseClick(button, Qt::LeftButton);
    TkqPopupListbox* list = s.combo->PopupList();
    const QPoint third = list->ItemRect(2).ToQRect().center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, third);
    EXPECT_FALSE(s.combo->IsDroppedDown());
    EXPECT_EQ(s.combo->text(), "Integer");
    // Losing the focus closes it too.
    s.Key(Qt::Key_F4);
    s.other->setFocus();
    QApplication::processEvents();
    EXPECT_FALSE(s.combo->IsDroppedDown());
}

TEST(DBComboBox, ListOnlyComboTogglesOnAClickOnItself)
{
    Shown s;
    s.combo->SetItems(Types());
    s.combo->SetStyle(csDropDownList);
    int downs = 0;
    s.combo->OnMouseDown = [&](QObject*, TMouseButton, TShiftState, int, int) { ++downs; };
    QTest::mouseClick(s.combo, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(s.combo->IsDroppedDown());
    QTest::mouseClick(s.combo, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_FALSE(s.combo->IsDroppedDown());
    EXPECT_EQ(downs, 2);
}

TEST(DBComboBox, TypeAheadInTheEdit)
{
    struct Case {
        TComboBoxStyle Style;
        bool ShowMatchText;
        const char* Start;   // whole text selected first
        const char* Keys;
        const char* Text;
        const char* Selected;
    };
    const Case cases[] = {
        // Completion: the rest of the first matching line is selected; typing on replaces it.
        {csDropDownList, true, "", "d", "Date", "ate"},
        {csDropDownList, true, "", "date", "Date", ""},
        {csDropDownList, true, "", "datet", "DateTime", "ime"},
        {csDropDownList, true, "", "i", "Integer", "nteger"},
        // A character that starts no line is swallowed.
        {csDropDownList, true, "", "dx", "Date", "ate"},
        {csDropDown, true, "", "dx", "Dx", ""},
        {csDropDown, true, "", "sm", "Smallint", "allint"},
        // Without completion a list-only combo jumps to the next line with the letter.
        {csDropDownList, false, "", "d", "Date", ""},
        {csDropDownList, false, "", "dd", "DateTime", ""},
        {csDropDownList, false, "", "ddd", "DataSet", ""},
        {csDropDownList, false, "", "dddd", "Date", ""},
        {csDropDownList, false, "", "z", "", ""},
        {csDropDown, false, "", "da", "da", ""},
    };
    for (const Case& c : cases) {
        Shown s;
        s.combo->SetItems(Types());
        s.combo->SetStyle(c.Style);
        s.combo->ShowMatchText = c.ShowMatchText;
        s.combo->setText(QString::fromLatin1(c.Start));
        s.combo->selectAll();
        s.Type(QString::fromLatin1(c.Keys));
        EXPECT_EQ(s.combo->text(), QString::fromLatin1(c.Text)) << c.Keys << " style " << c.Style << " " << c.ShowMatchText;
        EXPECT_EQ(s.combo->selectedText(), QString::fromLatin1(c.Selected)) << c.Keys;
    }
}

TEST(DBComboBox, CompletionSkipsTheRecentBlock)
{
    Shown s;
    s.combo->SetItems(Types());
    s.combo->ShowMatchText = true;
    s.combo->HistoryList()->Enabled = true;
    s.combo->HistoryList()->MRUEnabled = true;
    s.combo->HistoryList()->Entries() = QStringList{QStringLiteral("Dx"), QStringLiteral("DateTime")};
    s.combo->FillPopupList();
    ASSERT_EQ(s.combo->PopupList()->Line(0), "DateTime");
    s.Type(QStringLiteral("d"));
    EXPECT_EQ(s.combo->text(), "Date");
    EXPECT_EQ(s.combo->ItemIndex(), 5);   // the ordinary line, after the block of two
}

TEST(DBComboBox, KeysInTheOpenList)
{
    Shown s;
    s.combo->SetItems(Types());
    s.combo->SetStyle(csDropDownList);
    s.combo->DropDown();
    TkqPopupListbox* list = s.combo->PopupList();
    // Typing searches the list; the search starts again from what the key makes of the text.
    s.Type(QStringLiteral("i"));
    EXPECT_EQ(list->ItemIndex(), 2);
    EXPECT_EQ(s.combo->text(), "Integer");
    // Up and Down move the selection and the text follows (unbound).
    s.Key(Qt::Key_Down);
    EXPECT_EQ(list->ItemIndex(), 3);
    EXPECT_EQ(s.combo->text(), "Date");
    s.Key(Qt::Key_Up);
    s.Key(Qt::Key_Up);
    EXPECT_EQ(list->ItemIndex(), 1);
    EXPECT_EQ(s.combo->text(), "Smallint");
    EXPECT_TRUE(s.combo->IsDroppedDown());
    s.Key(Qt::Key_Return);
    EXPECT_FALSE(s.combo->IsDroppedDown());
    EXPECT_EQ(s.combo->text(), "Smallint");
    EXPECT_EQ(s.combo->ItemIndex(), 1);
}

TEST(DBComboBox, OwnerDrawnListSearchRestartsAfterAPause)
{
    Shown s;
    s.combo->SetItems(Types());
    s.combo->SetStyle(csOwnerDrawFixed);
    qint64 now = 10000;
    const auto saved = TkqPopupListbox::TickCount;
    TkqPopupListbox::TickCount = [&now] { return now; };
    s.combo->DropDown();
    TkqPopupListbox* list = s.combo->PopupList();
    QChar key('d');
    list->KeyPressMessage(key);
    now += 500;
    key = QLatin1Char('a');
    list->KeyPressMessage(key);
    key = QLatin1Char('t');
    list->KeyPressMessage(key);
    key = QLatin1Char('a');
    list->KeyPressMessage(key);
    key = QLatin1Char('s');
    list->KeyPressMessage(key);
    EXPECT_EQ(list->SearchText(), "datas");
    EXPECT_EQ(list->ItemIndex(), 5);
    now += 1501;
    key = QLatin1Char('s');
    list->KeyPressMessage(key);
    EXPECT_EQ(list->SearchText(), "s");
    EXPECT_EQ(list->ItemIndex(), 0);
    TkqPopupListbox::TickCount = saved;
}

TEST(DBComboBox, UpAndDownWhileClosedChooseLines)
{
    Data d({"Integer"});
    Shown s;
    s.combo->SetItems(Types());
    s.combo->SetStyle(csDropDownList);
    s.combo->SetDataSource(&d.source);
    s.combo->SetDataField(QStringLiteral("Code"));
    int keyDowns = 0;
    s.combo->OnKeyDown = [&](QObject*, int&, TShiftState) { ++keyDowns; };
    s.Key(Qt::Key_Down);
    EXPECT_EQ(s.combo->text(), "Date");
    EXPECT_EQ(d.ds.State(), dsEdit);
    EXPECT_EQ(keyDowns, 1);
    s.Key(Qt::Key_Up);
    s.Key(Qt::Key_Up);
    EXPECT_EQ(s.combo->text(), "Smallint");
    s.Key(Qt::Key_Up);
    s.Key(Qt::Key_Up);   // nothing before the first line
    EXPECT_EQ(s.combo->text(), "String");
    EXPECT_FALSE(s.combo->IsDroppedDown());
}

TEST(DBComboBox, ClearKey)
{
    Data d({"Date"});
    Shown s;
    s.combo->SetItems(Types());
    s.combo->SetStyle(csDropDownList);
    s.combo->AllowClearKey = true;
    s.combo->SetDataSource(&d.source);
    s.combo->SetDataField(QStringLiteral("Code"));
    ASSERT_EQ(s.combo->text(), "Date");
    s.Key(Qt::Key_Delete);
    EXPECT_EQ(s.combo->text(), "");
    EXPECT_EQ(s.combo->ItemIndex(), -1);
    EXPECT_TRUE(s.combo->isModified());
    s.other->setFocus();
    d.ds.Post();
    EXPECT_EQ(d.Stored(0), "");

    // With completion the whole text must be selected for the key to clear it.
    d.ds.First();
    d.ds.Edit();
    d.ds.FieldByName(QStringLiteral("Code"))->SetAsString(QStringLiteral("Date"));
    d.ds.Post();
    s.combo->ShowMatchText = true;
    s.combo->setFocus();
    s.combo->setSelection(2, 2);
    s.Key(Qt::Key_Delete);
    EXPECT_EQ(s.combo->text(), "Date");
    s.combo->selectAll();
    s.Key(Qt::Key_Backspace);
    EXPECT_EQ(s.combo->text(), "");
    EXPECT_EQ(s.combo->ItemIndex(), -1);
}

TEST(DBComboBox, BackspaceInCompletionWidensTheSelection)
{
    Shown s;
    s.combo->SetItems(Types());
    s.combo->SetStyle(csDropDownList);
    s.combo->ShowMatchText = true;
    s.combo->AutoDropDown = true;
    s.Type(QStringLiteral("d"));
    ASSERT_TRUE(s.combo->IsDroppedDown());
    ASSERT_EQ(s.combo->selectedText(), "ate");
    s.Key(Qt::Key_Backspace);
    EXPECT_EQ(s.combo->text(), "Date");
    EXPECT_EQ(s.combo->selectedText(), "Date");
    s.Key(Qt::Key_Return);
    EXPECT_EQ(s.combo->text(), "Date");
}

// ---------------------------------------------------------------------------------------------
// Inside a grid

namespace {
// The least of a grid a cell control needs: its class name and the grid's interface.
class TCustomGrid : public QWidget, public TkqGridHost {
    Q_OBJECT
public:
    int TitleRowHeight() const override { return 18; }
    TColor FixedColor() const override { return clBtnFace; }
    void GridKeyDown(int& key, TShiftState) override { Keys << key; }
    QList<int> Keys;
};
} // namespace

TEST(DBComboBox, UpAndDownInAGridMoveRowsInsteadOfChangingTheValue)
{
    Data d({"Integer"});
    TCustomGrid grid;
    grid.resize(300, 200);
    auto* combo = new TkqDBComboBox(&grid);
    combo->SetItems(Types());
    combo->SetStyle(csDropDownList);
    combo->AutoDropDown = true;
    combo->ShowMatchText = true;
    combo->SetDataSource(&d.source);
    combo->SetDataField(QStringLiteral("Code"));
    combo->setGeometry(0, 0, 120, 18);
    grid.show();
    combo->setFocus();
    QApplication::processEvents();
    QTest::keyClick(combo, Qt::Key_Down);
    QTest::keyClick(combo, Qt::Key_Up);
    EXPECT_EQ(grid.Keys, (QList<int>{VK_DOWN, VK_UP}));
    EXPECT_EQ(combo->text(), "Integer");
    EXPECT_EQ(d.ds.State(), dsBrowse);
    // While the list is open they are the list's.
    QTest::keyClick(combo, Qt::Key_F4);
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(grid.Keys.size(), 2);
    EXPECT_EQ(combo->PopupList()->ItemIndex(), 3);
    QTest::keyClick(combo, Qt::Key_Escape);
}

TEST(DBComboBox, CopyInAGridShowsTheDisplayTextWithoutTheButton)
{
    Data d;
    TCustomGrid grid;
    auto* combo = new TkqDBComboBox(&grid);
    combo->SetMapList(true);
    combo->SetItems(YesNo());
    combo->SetBorderStyle(0);
    combo->SetDataSource(&d.source);
    combo->SetDataField(QStringLiteral("Code"));
    combo->setGeometry(0, 0, 120, 18);
    grid.resize(200, 100);
    grid.show();
    QImage image(120, 18, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        TCanvas canvas(painter);
        canvas.Font = TFont(combo->font(), clBlack);
        PaintControlCopy(combo, canvas, 0, 0);
    }
    int dark = 0;
    for (int x = 0; x < 40; ++x)
        for (int y = 0; y < 18; ++y) dark += qGray(image.pixel(x, y)) < 128;
    EXPECT_GT(dark, 10);   // "Yes"
    const QRect button = combo->ButtonContainer()->geometry();
    for (int x = button.left(); x <= button.right(); ++x)
        for (int y = button.top(); y <= button.bottom(); ++y) ASSERT_EQ(image.pixel(x, y), qRgb(255, 255, 255)) << x << "," << y;
}

// ---------------------------------------------------------------------------------------------
// The button

namespace {
class TRecordingCombo : public TkqDBComboBox {
public:
    using TkqDBComboBox::TkqDBComboBox;
    void DrawButton(TCanvas& canvas, const TRect& rect, bool& defaultDraw, TControlState cs, TButtonState bs) override
    {
        ++Faces;
        TkqDBComboBox::DrawButton(canvas, rect, defaultDraw, cs, bs);
    }
    int Faces = 0;
};

int PaintButton(TRecordingCombo& combo)
{
    combo.Faces = 0;
    QImage image(combo.Button()->size(), QImage::Format_RGB32);
    QPainter painter(&image);
    TCanvas canvas(painter);
    combo.Button()->PaintButton(canvas);
    return combo.Faces;
}
} // namespace

TEST(DBComboBox, ButtonGeometry)
{
    TkqDBComboBox combo;
    combo.SetAutoSize(false);
    combo.resize(150, 21);
    combo.show();
    const int automatic = std::max(GetSystemMetrics(SM_CXVSCROLL), 15);
    EXPECT_EQ(combo.Button()->width(), automatic);
    EXPECT_EQ(combo.ButtonContainer()->geometry(), QRect(150 - 2 - automatic, 2, automatic, 17));
    // The text stops short of the button.
    EXPECT_EQ(combo.FormattingRect().Right, combo.ButtonContainer()->x() - 2 - 2);
    combo.SetButtonWidth(30);
    EXPECT_EQ(combo.ButtonContainer()->width(), 30);
    combo.SetButtonWidth(0);
    EXPECT_EQ(combo.ButtonContainer()->width(), automatic);
    // Without a border the button stands one pixel above its container and one taller.
    combo.SetBorderStyle(0);
    EXPECT_EQ(combo.ButtonContainer()->geometry(), QRect(150 - automatic, 0, automatic, 21));
    EXPECT_EQ(combo.Button()->geometry(), QRect(0, -1, automatic, 22));
    combo.SetShowButton(false);
    EXPECT_EQ(combo.FormattingRect().Right, combo.ClientWidth() - 2);
    // Only a custom glyph is stored.
    for (TkqComboButtonStyle style : {cbsEllipsis, cbsDownArrow, cbsCustom}) {
        combo.SetButtonStyle(style);
        EXPECT_EQ(combo.IsButtonGlyphStored(), style == cbsCustom);
    }
}

TEST(DBComboBox, FlatAndTransparentButtonFaces)
{
    TRecordingCombo combo;
    combo.resize(150, 21);
    EXPECT_EQ(PaintButton(combo), 1);
    EXPECT_TRUE(combo.Button()->Glyph().Empty());
    // Flat: the flat glyph is loaded, and shows while the mouse is away from an unfocused combo.
    combo.ButtonEffects()->SetFlat(true);
    EXPECT_FALSE(combo.Button()->Glyph().Empty());
    EXPECT_TRUE(combo.Button()->Flat());
    EXPECT_EQ(PaintButton(combo), 0);
    // Transparent: the arrow face is never drawn.
    combo.ButtonEffects()->SetFlat(false);
    combo.ButtonEffects()->SetTransparent(true);
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(combo.Button(), &enter);
    EXPECT_EQ(PaintButton(combo), 0);
    // An ellipsis keeps its face.
    combo.SetButtonStyle(cbsEllipsis);
    EXPECT_EQ(PaintButton(combo), 1);
}

TEST(DBCustomCombo, DialogHandlerRunsWithTheDropDownFlagAndEditState)
{
    Data d;
    struct TEllipsis : TkqDBCustomCombo {
        using TkqDBCustomCombo::TkqDBCustomCombo;
    } edit;
    edit.SetDataSource(&d.source);
    edit.SetDataField(QStringLiteral("Code"));
    bool flagInside = false;
    edit.CustomDialogHandler = [&](TkqDBCustomCombo* c) {
        flagInside = c->IsDroppedDown();
        throw Exception(QStringLiteral("refused"));
    };
    EXPECT_THROW(edit.DropDown(), Exception);
    EXPECT_TRUE(flagInside);
    EXPECT_FALSE(edit.IsDroppedDown());
    EXPECT_EQ(d.ds.State(), dsEdit);
    d.ds.Cancel();
    edit.AutoEditOnDialog = false;
    edit.CustomDialogHandler = [](TkqDBCustomCombo*) {};
    edit.DropDown();
    EXPECT_EQ(d.ds.State(), dsBrowse);
    // Enter and Escape only close an open drop-down; otherwise they pass on.
    int key = VK_RETURN;
    EXPECT_FALSE(edit.HandleDropDownKey(key, {}));
    EXPECT_EQ(key, VK_RETURN);
}

TEST(DBCustomCombo, ButtonContainerNeedsAnEditWithAButton)
{
    QWidget plain;
    EXPECT_THROW(TBtnWinControl container(&plain), EInvalidCast);
}

#include "ComboTests.moc"

TEST(HistoryList, SavesTheNewestEntriesUnderTheirPositionsAndLoadsThemInOrder)
{
    QTemporaryDir dir;
    struct Case {
        int MaxSize;
        QStringList Keys;
    };
    const Case cases[] = {{3, {"7", "8", "9"}}, {-1, {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}},
                          {0, {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.MaxSize);
        const QString file = dir.filePath(QStringLiteral("h%1.ini").arg(c.MaxSize));
        TkqDBComboBox combo;
        TkqHistoryList* h = combo.HistoryList();
        h->Enabled = true;
        h->Section = QStringLiteral("Recent");
        h->SetFileName(file);
        h->MaxSize = c.MaxSize;
        for (int i = 0; i < 10; ++i) combo.AddHistoryItem(QStringLiteral("e%1").arg(i), true);
        h->Save();
        EXPECT_EQ(h->Entries().size(), 10);   // an INI save leaves the entries in memory whole
        TIniFile ini(file);
        EXPECT_EQ(ini.ReadSection(QStringLiteral("Recent")), c.Keys);

        // A fresh list reads what was saved, oldest first, and adds only what the target lacks.
        TkqHistoryList fresh;
        fresh.Section = QStringLiteral("Recent");
        fresh.SetFileName(file);
        QStringList target{QStringLiteral("E9"), QStringLiteral("other")};
        fresh.LoadInto(target);
        ASSERT_EQ(fresh.Entries().size(), c.Keys.size());
        EXPECT_EQ(fresh.Entries().front(), QStringLiteral("e%1").arg(10 - c.Keys.size()));
        EXPECT_EQ(fresh.Entries().back(), "e9");
        EXPECT_EQ(target.size(), 2 + c.Keys.size() - 1);   // "e9" is there already, in another case
    }
}

TEST(HistoryList, AddingMovesATextToTheNewestPlaceAndTheRecentBlockIsCapped)
{
    TkqDBComboBox combo;
    TkqHistoryList* h = combo.HistoryList();
    combo.AddHistoryItem(QStringLiteral("a"), true);
    combo.AddHistoryItem(QStringLiteral("b  \t"), true);   // trailing blanks go
    combo.AddHistoryItem(QStringLiteral("a"), true);
    combo.AddHistoryItem(QStringLiteral(" "), true);       // nothing left: not added
    EXPECT_EQ(h->Entries(), (QStringList{"b", "a"}));
    EXPECT_EQ(h->MRUCount(), 0);   // not enabled
    h->Enabled = true;
    h->MRUEnabled = true;
    h->MRUMaxSize = 3;
    EXPECT_EQ(h->MRUCount(), 2);
    h->MRUMaxSize = 1;
    EXPECT_EQ(h->MRUCount(), 1);
    // Without a section nothing is stored: the entries stay in memory only.
    EXPECT_TRUE(h->StorePath().isEmpty());
    h->Save();
    QStringList target;
    h->LoadInto(target);
    EXPECT_EQ(target, (QStringList{"b", "a"}));
}

TEST(HistoryList, RegistryKeyPathBecomesASettingsFileThatKeepsOnlyWhatItWrote)
{
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    TkqDBComboBox combo;
    TkqHistoryList* h = combo.HistoryList();
    h->StorageType = stRegistry;
    h->Section = QStringLiteral("Names");
    h->SetFileName(QStringLiteral("Software\\Firm\\..\\Program"));
    h->MaxSize = 2;
    const QString path = h->StorePath();
    EXPECT_TRUE(path.startsWith(dir.path())) << path.toStdString();
    EXPECT_TRUE(path.endsWith(QStringLiteral("/Software/Firm/Program.ini"))) << path.toStdString();
    for (const char* e : {"x", "y", "z"}) combo.AddHistoryItem(QString::fromLatin1(e), true);
    h->Save();
    EXPECT_EQ(h->Entries(), (QStringList{"y", "z"}));
    EXPECT_TRUE(QFileInfo::exists(path));
    qunsetenv("XDG_CONFIG_HOME");
}
