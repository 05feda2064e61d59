#include "gridlib/dialogs/kqrich.h"

#include "gridlib/core/Kqintl.h"
#include "gridlib/core/kqgroupbox.h"
#include "gridlib/dialogs/kqriched.h"
#include "gridlib/editors/kqdbcombo.h"
#include "platform/vcl/CommonDialogs.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Menus.h"
#include "platform/vcl/Printers.h"
#include "treestatus/qeKeyState.h"
#include "treestatus/qeStatusBar.h"
#include "utilities/VZCtrls.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPrinter>
#include <QStatusTipEvent>
#include <QVBoxLayout>

namespace {

const TkqDBRichEditIntl& Texts() { return *KqIntl()->GetRichEdit(); }

// The short part of a hint ("Bold | Makes the selection bold" gives "Bold").
QString ShortHint(const QString& hint) { return hint.section(QLatin1Char('|'), 0, 0).trimmed(); }
QString LongHint(const QString& hint)
{
    return hint.contains(QLatin1Char('|')) ? hint.section(QLatin1Char('|'), 1).trimmed() : hint;
}

// The buttons' pictures, drawn here on the transparent colour.
QImage Glyph(const QString& kind)
{
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(QColor(255, 0, 255));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QColor ink(0, 0, 0), grey(128, 128, 128), white(255, 255, 255), navy(0, 0, 128);
    auto page = [&](int x, int y, int w, int h) {
        p.setPen(ink);
        p.setBrush(white);
        p.drawRect(x, y, w, h);
    };
    auto letter = [&](const QString& text, bool bold, bool italic, bool underline, QColor colour = QColor(0, 0, 0)) {
        QFont f(QStringLiteral("DejaVu Serif"));
        f.setPixelSize(13);
        f.setBold(bold);
        f.setItalic(italic);
        f.setUnderline(underline);
        p.setFont(f);
        p.setPen(colour);
        p.drawText(QRect(0, 0, 16, 15), Qt::AlignCenter, text);
    };
    auto alignLines = [&](int kind) {   // 0 left, 1 centre, 2 right, 3 justify
        p.setPen(ink);
        for (int row = 0; row < 5; ++row) {
            const int y = 3 + row * 2 + (row > 0 ? row : 0) / 2;
            const int w = kind == 3 || row % 2 == 0 ? 12 : 8;
            const int x = kind == 0 || kind == 3 ? 2 : kind == 1 ? 2 + (12 - w) / 2 : 14 - w;
            p.drawLine(x, y, x + w - 1, y);
        }
    };
    if (kind == QLatin1String("new")) {
        page(3, 1, 9, 13);
    } else if (kind == QLatin1String("load")) {
        p.setPen(ink);
        p.setBrush(QColor(255, 255, 128));
        p.drawRect(1, 5, 13, 8);
        p.drawRect(1, 3, 5, 2);
    } else if (kind == QLatin1String("saveas")) {
        p.setPen(ink);
        p.setBrush(navy);
        p.drawRect(1, 1, 13, 13);
        p.setBrush(white);
        p.drawRect(4, 2, 7, 5);
        p.setBrush(grey);
        p.drawRect(4, 10, 7, 4);
    } else if (kind == QLatin1String("print")) {
        page(4, 1, 7, 6);
        p.setBrush(QColor(192, 192, 192));
        p.drawRect(1, 7, 13, 5);
        page(4, 11, 7, 3);
    } else if (kind == QLatin1String("find")) {
        p.setPen(QPen(ink, 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(2, 2, 7, 7);
        p.drawLine(9, 9, 13, 13);
    } else if (kind == QLatin1String("spell")) {
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(7);
        p.setFont(f);
        p.setPen(ink);
        p.drawText(QRect(0, 0, 16, 8), Qt::AlignCenter, QStringLiteral("ABC"));
        p.setPen(QPen(QColor(0, 128, 0), 2));
        p.drawLine(4, 11, 7, 14);
        p.drawLine(7, 14, 13, 8);
    } else if (kind == QLatin1String("cut")) {
        p.setPen(ink);
        p.drawLine(4, 1, 10, 10);
        p.drawLine(11, 1, 5, 10);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(2, 10, 4, 4);
        p.drawEllipse(9, 10, 4, 4);
    } else if (kind == QLatin1String("copy")) {
        page(1, 1, 8, 10);
        page(6, 4, 8, 10);
    } else if (kind == QLatin1String("paste")) {
        p.setPen(ink);
        p.setBrush(QColor(160, 110, 50));
        p.drawRect(1, 2, 10, 12);
        page(6, 6, 8, 9);
    } else if (kind == QLatin1String("undo") || kind == QLatin1String("redo")) {
        // a hooked arrow, pointing left (undo) or right (redo)
        const bool undo = kind == QLatin1String("undo");
        auto x = [undo](int v) { return undo ? v : 15 - v; };
        p.setPen(QPen(navy, 2));
        p.drawLine(x(4), 6, x(10), 6);
        p.drawLine(x(11), 7, x(12), 9);
        p.drawLine(x(12), 10, x(10), 12);
        p.setPen(Qt::NoPen);
        p.setBrush(navy);
        p.drawPolygon(QPolygon({QPoint(x(1), 6), QPoint(x(5), 2), QPoint(x(5), 10)}));
    } else if (kind == QLatin1String("bold")) {
        letter(QStringLiteral("B"), true, false, false);
    } else if (kind == QLatin1String("italic")) {
        letter(QStringLiteral("I"), false, true, false);
    } else if (kind == QLatin1String("underline")) {
        letter(QStringLiteral("U"), false, false, true);
    } else if (kind == QLatin1String("color")) {
        letter(QStringLiteral("A"), true, false, false);
        p.fillRect(1, 13, 14, 3, QColor(255, 0, 0));
    } else if (kind == QLatin1String("left")) {
        alignLines(0);
    } else if (kind == QLatin1String("center")) {
        alignLines(1);
    } else if (kind == QLatin1String("right")) {
        alignLines(2);
    } else if (kind == QLatin1String("justify")) {
        alignLines(3);
    } else if (kind == QLatin1String("bullet")) {
        p.setPen(ink);
        for (int row = 0; row < 3; ++row) {
            p.fillRect(2, 3 + row * 4, 2, 2, ink);
            p.drawLine(6, 4 + row * 4, 14, 4 + row * 4);
        }
    } else if (kind == QLatin1String("highlight")) {
        p.fillRect(1, 3, 14, 10, QColor(255, 255, 0));
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(10);
        p.setFont(f);
        p.setPen(ink);
        p.drawText(QRect(1, 3, 14, 10), Qt::AlignCenter, QStringLiteral("ab"));
    }
    return image;
}

} // namespace

// The colour menu draws each colour's swatch before its caption.
class TkqColorMenu : public TPopupMenu {
public:
    using TPopupMenu::TPopupMenu;
    QSize MeasureItem(TMenuItem* item) override
    {
        const QFontMetrics metrics(ItemFont(item));
        const QString caption = QString(item->Caption).remove(QLatin1Char('&'));
        return QSize(metrics.horizontalAdvance(caption) + 45, metrics.height() + 2);
    }
    void DrawItem(TCanvas& canvas, TMenuItem* item, const TRect& rect, TOwnerDrawState state) override
    {
        const bool selected = state.Contains(odSelected);
        canvas.Brush.Color = selected ? clHighlight : clBtnFace;
        canvas.Brush.Style = bsSolid;
        canvas.FillRect(rect);
        canvas.Font = TFont(ItemFont(item), selected ? clHighlightText : clWindowText);
        const QString caption = QString(item->Caption).remove(QLatin1Char('&'));
        canvas.Brush.Style = bsClear;
        canvas.TextOut(rect.Left + 46, rect.Top + (rect.Height() - canvas.TextHeight(caption)) / 2, caption);
        canvas.Brush.Style = bsSolid;
        canvas.Pen.Color = clBlack;
        canvas.Brush.Color = item->Tag >= 0 && item->objectName() != QLatin1String("Automatic1") ? TColor(item->Tag)
                                                                                                  : clWindowText;
        canvas.Rectangle(TRect(rect.Left + 3, rect.Top + 2, rect.Left + 43, rect.Bottom - 2));
    }
};

// The colour values are the old BGR ones (red 255 is pure red).
const std::vector<std::pair<QString, int>>& TkqRichEditForm::ColorItems()
{
    static const std::vector<std::pair<QString, int>> items = {
        {QStringLiteral("Black"), 0},         {QStringLiteral("Maroon"), 128},         {QStringLiteral("Green"), 32768},
        {QStringLiteral("Olive"), 32896},     {QStringLiteral("Navy"), 8388608},       {QStringLiteral("Purple"), 8388736},
        {QStringLiteral("Teal"), 8421376},    {QStringLiteral("Gray"), 8421504},       {QStringLiteral("Silver"), 12632256},
        {QStringLiteral("Red"), 255},         {QStringLiteral("Lime"), 65280},         {QStringLiteral("Yellow"), 65535},
        {QStringLiteral("Blue"), 16711680},   {QStringLiteral("Fuchsia"), 16711935},   {QStringLiteral("Aqua"), 16776960},
        {QStringLiteral("White"), 16777215}};
    return items;
}

TkqRichEditForm::TkqRichEditForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("kqRichEditForm"));
    setWindowTitle(QStringLiteral("Edit Rich Text"));
    resize(610, 455);
    CreateMenus();
    CreateBars();
}

TkqRichEditForm::~TkqRichEditForm() = default;

QAction* TkqRichEditForm::AddItem(QMenu* menu, const char* name, const QString& caption, const QString& shortcut)
{
    QAction* item = caption == QLatin1String("-") ? menu->addSeparator() : menu->addAction(caption);
    item->setObjectName(QLatin1String(name));
    if (!shortcut.isEmpty()) {
        item->setShortcut(QKeySequence(shortcut));
        item->setShortcutContext(Qt::WindowShortcut);
    }
    return item;
}

QAction* TkqRichEditForm::Item(const QString& name) const { return findChild<QAction*>(name); }
TVzSpeedButton* TkqRichEditForm::Button(const QString& name) const { return findChild<TVzSpeedButton*>(name); }
QWidget* TkqRichEditForm::Bevel(const QString& name) const { return findChild<QFrame*>(name); }

void TkqRichEditForm::CreateMenus()
{
    FMainMenu = new QMenuBar(this);
    FMainMenu->setObjectName(QStringLiteral("MainMenu1"));
    FMainMenu->setNativeMenuBar(false);
    auto menu = [this](const char* name) {
        QMenu* m = FMainMenu->addMenu(QString());
        m->setObjectName(QLatin1String(name));
        m->menuAction()->setObjectName(QLatin1String(name));
        return m;
    };
    QMenu* file = menu("File1");
    connect(AddItem(file, "Load1", QStringLiteral("Load")), &QAction::triggered, this, &TkqRichEditForm::LoadClick);
    connect(AddItem(file, "SaveAs1", QStringLiteral("Save As")), &QAction::triggered, this, &TkqRichEditForm::SaveAsClick);
    AddItem(file, "N1", QStringLiteral("-"));
    connect(AddItem(file, "SaveExit1", QString(), QStringLiteral("Ctrl+S")), &QAction::triggered, this,
            &TkqRichEditForm::SaveAndExit);
    connect(AddItem(file, "Print1", QString(), QStringLiteral("Ctrl+P")), &QAction::triggered, this,
            &TkqRichEditForm::PrintClick);
    connect(AddItem(file, "PageSetup1", QString()), &QAction::triggered, this, &TkqRichEditForm::PageSetupClick);
    AddItem(file, "N2", QStringLiteral("-"));
    connect(AddItem(file, "Exit1", QString()), &QAction::triggered, this, &TkqRichEditForm::ExitEditor);

    QMenu* edit = menu("Edit1");
    connect(edit, &QMenu::aboutToShow, this, &TkqRichEditForm::UpdateCommandStates);
    connect(AddItem(edit, "Undo1", QString(), QStringLiteral("Ctrl+Z")), &QAction::triggered, this, [this] {
        if (FRichEdit) FRichEdit->undo();
        UpdateCommandStates();
    });
    connect(AddItem(edit, "Redo1", QString(), QStringLiteral("Ctrl+Y")), &QAction::triggered, this, [this] {
        if (FRichEdit) FRichEdit->redo();
        UpdateCommandStates();
    });
    AddItem(edit, "N3", QStringLiteral("-"));
    connect(AddItem(edit, "Cut1", QString(), QStringLiteral("Ctrl+X")), &QAction::triggered, this,
            [this] { if (FRichEdit) FRichEdit->CutToClipboard(); });
    connect(AddItem(edit, "Copy1", QString(), QStringLiteral("Ctrl+C")), &QAction::triggered, this,
            [this] { if (FRichEdit) FRichEdit->CopyToClipboard(); });
    connect(AddItem(edit, "Paste1", QString(), QStringLiteral("Ctrl+V")), &QAction::triggered, this,
            [this] { if (FRichEdit) FRichEdit->PasteFromClipboard(); });
    connect(AddItem(edit, "Clear1", QString()), &QAction::triggered, this,
            [this] { if (FRichEdit) FRichEdit->ReplaceSel(QString()); });
    AddItem(edit, "N4", QStringLiteral("-"));
    connect(AddItem(edit, "SelectAll1", QString(), QStringLiteral("Ctrl+A")), &QAction::triggered, this,
            [this] { if (FRichEdit) FRichEdit->SelectAll(); });
    AddItem(edit, "N5", QStringLiteral("-"));
    connect(AddItem(edit, "Find1", QString(), QStringLiteral("Ctrl+F")), &QAction::triggered, this,
            [this] { if (FRichEdit) FRichEdit->FindDialog(); });
    connect(AddItem(edit, "FindNext1", QString(), QStringLiteral("F3")), &QAction::triggered, this,
            [this] { if (FRichEdit) FRichEdit->FindNext(); });
    connect(AddItem(edit, "Replace1", QString(), QStringLiteral("Ctrl+H")), &QAction::triggered, this,
            [this] { if (FRichEdit) FRichEdit->ReplaceDialog(); });

    QMenu* view = menu("View1");
    for (const char* name : {"Toolbar1", "FormatBar1", "StatusBar1", "Ruler1"}) {
        QAction* item = AddItem(view, name, QString());
        item->setCheckable(true);
        item->setChecked(true);
        connect(item, &QAction::triggered, this, [this, item] { ToggleBar(item); });
    }
    AddItem(view, "N6", QStringLiteral("-"));
    AddItem(view, "Options1", QString())->setVisible(false);

    QMenu* insert = menu("Insert1");
    AddItem(insert, "DateTime1", QStringLiteral("Date and Time"))->setVisible(false);
    connect(AddItem(insert, "InsertObject1", QString()), &QAction::triggered, this,
            [this] { if (FRichEdit) FRichEdit->InsertObjectDialog(); });

    QMenu* format = menu("Format1");
    connect(AddItem(format, "Font1", QString()), &QAction::triggered, this, [this] {
        if (FRichEdit) FRichEdit->FontDialog();
        UpdateCommandStates();
    });
    QAction* bulletStyle = AddItem(format, "BulletStyle1", QString());
    bulletStyle->setCheckable(true);
    connect(bulletStyle, &QAction::triggered, this, &TkqRichEditForm::BulletClick);
    connect(AddItem(format, "Paragraph1", QString()), &QAction::triggered, this, [this] {
        if (FRichEdit && FRichEdit->ParagraphDialog() && FRuler) FRuler->UpdateMarkers();
    });
    connect(AddItem(format, "Tabs1", QString()), &QAction::triggered, this,
            [this] { if (FRichEdit) FRichEdit->TabsDialog(); });

    QMenu* tools = menu("Tools1");
    connect(AddItem(tools, "Spelling1", QString()), &QAction::triggered, this,
            [this] { if (FRichEdit) FRichEdit->SpellCheck(); });
    menu("Help1")->menuAction()->setVisible(false);

    FColorMenu = new TkqColorMenu(this);
    FColorMenu->setObjectName(QStringLiteral("PopupMenu1"));
    for (const auto& [caption, color] : ColorItems()) {
        const int value = color;
        TMenuItem* item = FColorMenu->Items()->AddItem(caption, [this, value](QObject*) { SetTextColor(value); });
        item->Tag = value;
    }
    // Automatic: the editing control's own font colour (known when the window shows)
    TMenuItem* automatic = FColorMenu->Items()->AddItem(QStringLiteral("Automatic"), [this](QObject*) {
        if (FRichEdit) SetTextColor(int(ColorToRGB(TColor(FRichEdit->DefAttributes()->Color()))));
    });
    automatic->setObjectName(QStringLiteral("Automatic1"));
}

QWidget* TkqRichEditForm::AddBevel(QWidget* parent, const char* name, bool vertical)
{
    auto* bevel = new QFrame(parent);
    bevel->setObjectName(QLatin1String(name));
    bevel->setFrameShape(vertical ? QFrame::VLine : QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    bevel->resize(vertical ? 2 : width(), vertical ? 22 : 2);
    return bevel;
}

TVzSpeedButton* TkqRichEditForm::AddButton(QWidget* bar, const char* name, int x, int width, const QImage& glyph)
{
    auto* button = new TVzSpeedButton(bar);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(x, 1, width, 22);
    button->SetFlat(true);
    button->SetGlyph(glyph);
    return button;
}

void TkqRichEditForm::CreateBars()
{
    AddBevel(this, "ToolBarBevel", false);
    FToolbar = new QWidget(this);
    FToolbar->setObjectName(QStringLiteral("Toolbar"));
    FToolbar->resize(width(), 24);
    struct Spec { const char* name; const char* glyph; };
    auto connectClick = [](TVzSpeedButton* b, std::function<void()> fn) { b->OnClick = [fn](QObject*) { fn(); }; };
    connectClick(AddButton(FToolbar, "NewButton", 4, 23, Glyph(QStringLiteral("new"))), [this] { NewClick(); });
    TVzSpeedButton* load = AddButton(FToolbar, "LoadButton1", 27, 23, Glyph(QStringLiteral("load")));
    load->hide();
    connectClick(load, [this] { LoadClick(); });
    TVzSpeedButton* saveAs = AddButton(FToolbar, "SaveAsButton", 50, 23, Glyph(QStringLiteral("saveas")));
    saveAs->hide();
    connectClick(saveAs, [this] { SaveAsClick(); });
    connectClick(AddButton(FToolbar, "PrintButton", 27, 23, Glyph(QStringLiteral("print"))), [this] { PrintClick(); });
    AddBevel(FToolbar, "Bevel1", true)->move(53, 1);
    connectClick(AddButton(FToolbar, "FindButton", 58, 23, Glyph(QStringLiteral("find"))),
                 [this] { if (FRichEdit) FRichEdit->FindDialog(); });
    connectClick(AddButton(FToolbar, "SpellButton", 81, 23, Glyph(QStringLiteral("spell"))),
                 [this] { if (FRichEdit) FRichEdit->SpellCheck(); });
    AddBevel(FToolbar, "ToolbarBevel1", true)->move(107, 1);
    connectClick(AddButton(FToolbar, "CutButton", 112, 23, Glyph(QStringLiteral("cut"))),
                 [this] { if (FRichEdit) FRichEdit->CutToClipboard(); });
    connectClick(AddButton(FToolbar, "CopyButton", 135, 23, Glyph(QStringLiteral("copy"))),
                 [this] { if (FRichEdit) FRichEdit->CopyToClipboard(); });
    connectClick(AddButton(FToolbar, "PasteButton", 158, 23, Glyph(QStringLiteral("paste"))),
                 [this] { if (FRichEdit) FRichEdit->PasteFromClipboard(); });
    AddBevel(FToolbar, "Bevel2", true)->move(184, 1);
    connectClick(AddButton(FToolbar, "UndoButton", 189, 23, Glyph(QStringLiteral("undo"))), [this] {
        if (FRichEdit) FRichEdit->undo();
        UpdateCommandStates();
    });
    connectClick(AddButton(FToolbar, "RedoButton", 212, 23, Glyph(QStringLiteral("redo"))), [this] {
        if (FRichEdit) FRichEdit->redo();
        UpdateCommandStates();
    });
    AddBevel(FToolbar, "UserButtonBevel", true)->hide();

    AddBevel(this, "FormatBarBevel", false);
    FFormatBar = new QWidget(this);
    FFormatBar->setObjectName(QStringLiteral("FormatBar"));
    FFormatBar->resize(width(), 26);
    FFontName = new TkqDBComboBox(FFormatBar);
    FFontName->setObjectName(QStringLiteral("FontNameCombo"));
    FFontName->SetSorted(true);
    FFontName->SetDropDownCount(20);
    FFontName->setGeometry(4, 2, 150, 22);
    FFontName->OnCloseUp = [this](QObject*) { FontNameCloseUp(); };
    FFontSize = new TkqDBComboBox(FFormatBar);
    FFontSize->setObjectName(QStringLiteral("FontSizeCombo"));
    FFontSize->SetDropDownCount(8);
    FFontSize->SetItems({"8", "9", "10", "11", "12", "14", "16", "18", "20", "22", "24", "26", "28", "36", "48", "72"});
    FFontSize->setGeometry(158, 2, 50, 22);
    FFontSize->OnCloseUp = [this](QObject*) { FontSizeCloseUp(); };
    int x = 212;
    int group = 1;
    for (const char* name : {"BoldButton", "ItalicButton", "UnderlineButton"}) {
        const QString kind = QString::fromLatin1(name).chopped(6).toLower();
        TVzSpeedButton* b = AddButton(FFormatBar, name, x, 23, Glyph(kind));
        b->SetGroupIndex(group++);
        b->SetAllowAllUp(true);
        b->OnMouseDown = [b](QObject*, TMouseButton, TShiftState, int, int) { b->setProperty("PressedDown", b->Down()); };
        b->OnClick = [this, b](QObject*) { StyleClick(b); };
        x += 23;
    }
    TVzSpeedButton* color = AddButton(FFormatBar, "ColorButton", x, 23, Glyph(QStringLiteral("color")));
    color->OnClick = [this, color](QObject*) {
        const QPoint at = color->mapToGlobal(QPoint(-1, color->height()));
        FColorMenu->Popup(at.x(), at.y());
    };
    x += 26;
    AddBevel(FFormatBar, "Bevel3", true)->move(x, 2);
    x += 5;
    for (const char* name : {"LeftButton", "CenterButton", "RightButton", "JustifyButton"}) {
        const QString kind = QString::fromLatin1(name).chopped(6).toLower();
        TVzSpeedButton* b = AddButton(FFormatBar, name, x, 23, Glyph(kind));
        b->SetGroupIndex(group);
        b->OnClick = [this, b](QObject*) { AlignClick(b); };
        x += 23;
    }
    Button(QStringLiteral("JustifyButton"))->hide();
    ++group;
    QWidget* bevel4 = AddBevel(FFormatBar, "Bevel4", true);
    bevel4->move(x + 3, 2);
    TVzSpeedButton* bullet = AddButton(FFormatBar, "BulletButton", x + 8, 23, Glyph(QStringLiteral("bullet")));
    bullet->SetGroupIndex(group++);
    bullet->SetAllowAllUp(true);
    bullet->OnClick = [this](QObject*) { BulletClick(); };
    TVzSpeedButton* highlight = AddButton(FFormatBar, "HighlightButton", x + 32, 23, Glyph(QStringLiteral("highlight")));
    highlight->SetGroupIndex(group++);
    highlight->SetAllowAllUp(true);
    highlight->OnClick = [this](QObject*) { HighlightClick(); };

    AddBevel(this, "RulerBevel", false);

    FStatusBar = new TqeStatusBar(this);
    FStatusBar->setObjectName(QStringLiteral("StatusBar"));
    for (const auto& [width, bevel] : std::initializer_list<std::pair<int, TqeStatusPanelBevel>>{
             {400, pbNone}, {32, pbLowered}, {32, pbLowered}, {18, pbNone}}) {
        TqeStatusPanel* panel = FStatusBar->Panels().Add();
        panel->SetWidth(QString::number(width));
        panel->SetBevel(bevel);
    }
}

void TkqRichEditForm::SetEditors(TkqCustomRichEdit* source, TkqCustomRichEdit* richEdit)
{
    FSource = source;
    FRichEdit = richEdit;
    richEdit->setParent(this);
    richEdit->show();
    richEdit->setFocus();
    richEdit->installEventFilter(this);
    richEdit->OnSelectionChange = [this](QObject*) {
        if (FRichEdit && FRichEdit->isVisible()) UpdateCommandStates();
    };
    if (FRuler) FRuler->SetRichEdit(richEdit);
    LayOut();
}

void TkqRichEditForm::SetRuler(TkqRulerPanel* ruler)
{
    FRuler = ruler;
    if (FRichEdit) ruler->SetRichEdit(FRichEdit);
}

TkqCustomRichEdit* TkqRichEditForm::Source() const { return FSource; }
TkqCustomRichEdit* TkqRichEditForm::RichEdit1() const { return FRichEdit; }
TkqRulerPanel* TkqRichEditForm::Ruler() const { return FRuler; }

bool TkqRichEditForm::ReadOnlyContent() const { return FRichEdit && FRichEdit->GetReadOnly(); }

int TkqRichEditForm::ScaleX(int pixels) const { return pixels * logicalDpiX() / 96; }

void TkqRichEditForm::showEvent(QShowEvent* event)
{
    if (!FShownOnce && FSource && FRichEdit) {
        FShownOnce = true;
        PrepareToShow();
    }
    QDialog::showEvent(event);
}

void TkqRichEditForm::PrepareToShow()
{
    // the editing control works on a copy; the source's own flag stays as it was
    const bool sourceModified = FSource->Modified();
    CopyRichContent(FSource, FRichEdit);
    FSource->SetModified(sourceModified);
    FRichEdit->SetGutterWidth(6);

    QStringList families = QFontDatabase::families();
    families.removeDuplicates();
    FFontName->SetItems(families);

    const bool readOnly = ReadOnlyContent();
    TkqRichEditOptions& options = FRichEdit->EditorOptions;
    if (readOnly)
        for (TkqRichEditOption o : {reoShowLoad, reoShowSaveAs, reoShowSaveExit, reoShowFormatBar, reoShowToolBar,
                                     reoShowStatusBar, reoShowRuler, reoShowSpellCheck})
            options.Exclude(o);
    // no spell checker without a word processor to ask
    if (!IsClassOrAncestorNamed(FRichEdit, "TkqDBRichEditMSWord")) options.Exclude(reoShowSpellCheck);

    auto show = [this](const char* name, bool visible) {
        if (QAction* a = Item(QLatin1String(name))) a->setVisible(visible);
        if (TVzSpeedButton* b = Button(QLatin1String(name))) b->setVisible(visible);
    };
    const bool ole = !FRichEdit->OleOptions().Contains(reoDisableOLE);
    show("Load1", options.Contains(reoShowLoad));
    show("LoadButton1", options.Contains(reoShowLoad));
    show("SaveAs1", options.Contains(reoShowSaveAs));
    show("SaveAsButton", options.Contains(reoShowSaveAs));
    show("Print1", options.Contains(reoShowPrint));
    show("PrintButton", options.Contains(reoShowPrint));
    show("Spelling1", options.Contains(reoShowSpellCheck) && !readOnly);
    show("SpellButton", options.Contains(reoShowSpellCheck) && !readOnly);
    show("JustifyButton", options.Contains(reoShowJustifyButton) && !readOnly);
    show("Insert1", options.Contains(reoShowInsertObject) && ole && !readOnly);
    show("InsertObject1", options.Contains(reoShowInsertObject) && ole && !readOnly);
    show("N2", options.Contains(reoShowPrint) || options.Contains(reoShowPageSetup));
    show("PageSetup1", options.Contains(reoShowPageSetup));
    show("SaveExit1", options.Contains(reoShowSaveExit));
    show("N1", options.Contains(reoShowLoad) || options.Contains(reoShowSaveExit));
    show("Tools1", !readOnly && options.Contains(reoShowSpellCheck));

    // the toolbar's places follow the buttons that show
    auto place = [this](const char* name, int x) {
        if (QWidget* w = FToolbar->findChild<QWidget*>(QLatin1String(name))) w->move(x, w->y());
    };
    auto right = [this](const char* name) {
        QWidget* w = FToolbar->findChild<QWidget*>(QLatin1String(name));
        return w->x() + w->width();
    };
    int x = 4 + 23;
    if (Button(QStringLiteral("LoadButton1"))->isVisibleTo(this)) place("LoadButton1", x), x += 23;
    if (Button(QStringLiteral("SaveAsButton"))->isVisibleTo(this)) place("SaveAsButton", x), x += 23;
    place("PrintButton", x);
    QWidget* bevel1 = Bevel(QStringLiteral("Bevel1"));
    bevel1->move(Button(QStringLiteral("PrintButton"))->isVisibleTo(this) ? x + 26 : x + 3, bevel1->y());
    place("FindButton", bevel1->x() + 5);
    place("SpellButton", right("FindButton"));
    const bool spell = Button(QStringLiteral("SpellButton"))->isVisibleTo(this);
    place("ToolbarBevel1", (spell ? right("SpellButton") : right("FindButton")) + 3);
    place("CutButton", Bevel(QStringLiteral("ToolbarBevel1"))->x() + 5);
    place("CopyButton", right("CutButton"));
    place("PasteButton", right("CopyButton"));
    place("Bevel2", right("PasteButton") + 3);
    place("UndoButton", Bevel(QStringLiteral("Bevel2"))->x() + 5);
    place("RedoButton", right("UndoButton"));
    place("UserButtonBevel", (Button(QStringLiteral("RedoButton"))->isVisibleTo(this) ? right("RedoButton")
                                                                                         : right("UndoButton")) + 3);
    if (!Button(QStringLiteral("JustifyButton"))->isVisibleTo(this)) {
        QWidget* bevel4 = Bevel(QStringLiteral("Bevel4"));
        bevel4->move(ScaleX(485) - FFormatBar->x(), bevel4->y());
        Button(QStringLiteral("BulletButton"))->move(bevel4->x() + 5, 1);
        Button(QStringLiteral("HighlightButton"))->move(bevel4->x() + 5 + ScaleX(24), 1);
    }

    // bars from the options; a read-only control has no Format or View menu and no new button
    FStatusBar->setVisible(options.Contains(reoShowStatusBar));
    FFormatBar->setVisible(options.Contains(reoShowFormatBar));
    Bevel(QStringLiteral("FormatBarBevel"))->setVisible(options.Contains(reoShowFormatBar));
    FToolbar->setVisible(options.Contains(reoShowToolBar));
    Bevel(QStringLiteral("ToolBarBevel"))->setVisible(options.Contains(reoShowToolBar));
    if (FRuler) FRuler->setVisible(options.Contains(reoShowRuler));
    Bevel(QStringLiteral("RulerBevel"))->setVisible(options.Contains(reoShowRuler));
    if (readOnly) {
        show("Format1", false);
        show("View1", false);
        show("NewButton", false);
    }
    Item(QStringLiteral("Toolbar1"))->setChecked(options.Contains(reoShowToolBar));
    Item(QStringLiteral("FormatBar1"))->setChecked(options.Contains(reoShowFormatBar));
    Item(QStringLiteral("StatusBar1"))->setChecked(options.Contains(reoShowStatusBar));
    Item(QStringLiteral("Ruler1"))->setChecked(options.Contains(reoShowRuler));

    // the source's user buttons sit on the toolbar while the window shows
    int userX = right("UndoButton") + 32;
    for (QWidget* userButton : {FSource->UserSpeedButton1.data(), FSource->UserSpeedButton2.data()}) {
        if (!userButton) continue;
        Bevel(QStringLiteral("UserButtonBevel"))->show();
        userButton->setProperty("kqFormerParent", QVariant::fromValue<QObject*>(userButton->parentWidget()));
        userButton->setParent(FToolbar);
        const QWidget* undo = Button(QStringLiteral("UndoButton"));
        userButton->setGeometry(userX, undo->y(), userButton->width(), undo->height());
        userButton->show();
        userX += userButton->width();
    }

    if (!options.Contains(reoFlatButtons)) {
        FToolbar->resize(FToolbar->width(), FToolbar->height() + 4);
        FFormatBar->resize(FFormatBar->width(), FFormatBar->height() + 2);
        for (TVzSpeedButton* b : FToolbar->findChildren<TVzSpeedButton*>()) {
            b->move(b->x(), b->y() + 2);
            b->SetMargin(b->Margin() - 1);
            b->SetFlat(false);
        }
        for (TVzSpeedButton* b : FFormatBar->findChildren<TVzSpeedButton*>()) {
            b->move(b->x(), b->y() + 1);
            b->SetMargin(b->Margin() - 1);
            b->SetFlat(false);
        }
        for (QFrame* bevel : FToolbar->findChildren<QFrame*>()) bevel->hide();
        for (QFrame* bevel : FFormatBar->findChildren<QFrame*>()) bevel->hide();
    }
    resize(ScaleX(width()), height() * logicalDpiY() / 96);

    // texts: captions always, hints with reoShowHints
    const TkqRichEditMenuLabels& m = *Texts().GetMenuLabels();
    const std::pair<const char*, QString> captions[] = {
        {"File1", m.FileCaption}, {"Load1", m.LoadCaption}, {"SaveAs1", m.SaveAsCaption},
        {"SaveExit1", m.SaveExitCaption}, {"Print1", m.PrintCaption}, {"PageSetup1", m.PageSetupCaption},
        {"Exit1", m.ExitCaption}, {"Edit1", m.EditCaption}, {"Undo1", m.UndoCaption}, {"Cut1", m.CutCaption},
        {"Copy1", m.CopyCaption}, {"Paste1", m.PasteCaption}, {"Clear1", m.ClearCaption},
        {"SelectAll1", m.SelectallCaption}, {"Find1", m.FindCaption}, {"FindNext1", m.FindNextCaption},
        {"Replace1", m.ReplaceCaption}, {"InsertObject1", m.InsertObjectCaption},
        {"Insert1", m.InsertCaption.isEmpty() ? QStringLiteral("&Insert") : m.InsertCaption},
        {"Ruler1", m.RulerCaption.isEmpty() ? QStringLiteral("&Ruler") : m.RulerCaption},
        {"Redo1", m.RedoCaption.isEmpty() ? QStringLiteral("&Redo") : m.RedoCaption}, {"View1", m.ViewCaption},
        {"Tools1", m.ToolCaption}, {"Spelling1", m.SpellCheckCaption}, {"Toolbar1", m.ToolbarCaption},
        {"FormatBar1", m.FormatBarCaption}, {"StatusBar1", m.ViewStatusBarCaption}, {"Options1", m.OptionsCaption},
        {"Format1", m.FormatCaption}, {"Font1", m.FontCaption}, {"BulletStyle1", m.BulletStyleCaption},
        {"Paragraph1", m.ParagraphCaption}, {"Tabs1", m.TabsCaption}, {"Help1", m.HelpCaption}};
    for (const auto& [name, caption] : captions)
        if (QAction* a = Item(QLatin1String(name))) a->setText(caption);

    const bool hints = options.Contains(reoShowHints);
    const TkqDBRichEditIntl& t = Texts();
    const QString redoHint = t.RedoButtonHint.isEmpty() ? QStringLiteral("Redo | Reverses the last undo action")
                                                        : t.RedoButtonHint;
    const std::tuple<const char*, const char*, QString> buttonHints[] = {
        {"NewButton", nullptr, t.NewButtonHint}, {"LoadButton1", "Load1", t.LoadButtonHint},
        {"SaveAsButton", "SaveAs1", t.SaveAsButtonHint}, {"PrintButton", "Print1", t.PrintButtonHint},
        {"FindButton", "Find1", t.FindButtonHint}, {"CutButton", "Cut1", t.CutButtonHint},
        {"CopyButton", "Copy1", t.CopyButtonHint}, {"UndoButton", "Undo1", t.UndoButtonHint},
        {"SpellButton", "Spelling1", t.SpellCheckHint}, {"RedoButton", "Redo1", redoHint},
        {"PasteButton", "Paste1", t.PasteButtonHint}, {"BoldButton", nullptr, t.BoldButtonHint},
        {"ColorButton", nullptr, t.ColorButtonHint}, {"UnderlineButton", nullptr, t.UnderlineButtonHint},
        {"ItalicButton", nullptr, t.ItalicButtonHint}, {"LeftButton", nullptr, t.LeftButtonHint},
        {"CenterButton", nullptr, t.CenterButtonHint}, {"JustifyButton", nullptr, t.JustifyButtonHint},
        {"RightButton", nullptr, t.RightButtonHint}, {"BulletButton", "BulletStyle1", t.BulletButtonHint},
        {"HighlightButton", nullptr, t.HighlightButtonHint}, {nullptr, "SaveExit1", t.SaveExitHint},
        {nullptr, "PageSetup1", t.PageSetupHint}, {nullptr, "Exit1", t.ExitHint}, {nullptr, "Clear1", t.ClearHint},
        {nullptr, "SelectAll1", t.SelectAllHint}, {nullptr, "FindNext1", t.FindNextHint},
        {nullptr, "Replace1", t.ReplaceHint}, {nullptr, "InsertObject1", t.InsertObjectHint},
        {nullptr, "Toolbar1", t.ToolbarHint}, {nullptr, "FormatBar1", t.FormatBarHint},
        {nullptr, "StatusBar1", t.ViewStatusBarHint}, {nullptr, "Options1", t.OptionsHint},
        {nullptr, "Font1", t.FontHint}, {nullptr, "Paragraph1", t.ParagraphHint}, {nullptr, "Tabs1", t.TabsHint}};
    for (const auto& [buttonName, itemName, hint] : buttonHints) {
        if (buttonName) {
            TVzSpeedButton* b = Button(QLatin1String(buttonName));
            b->setToolTip(hints ? ShortHint(hint) : QString());
            b->setStatusTip(hints ? LongHint(hint) : QString());
        }
        if (itemName) Item(QLatin1String(itemName))->setStatusTip(hints ? LongHint(hint) : QString());
    }
    FFontName->setToolTip(hints ? ShortHint(t.FontNameComboHint) : QString());
    FFontName->setStatusTip(hints ? LongHint(t.FontNameComboHint) : QString());
    // no object linking here: Insert Object says why it does nothing
    QAction* insertObject = Item(QStringLiteral("InsertObject1"));
    insertObject->setEnabled(false);
    insertObject->setStatusTip(QStringLiteral("Embedded objects need object linking, which this system does not have"));
    FFontSize->setToolTip(hints ? ShortHint(t.FontSizeComboHint) : QString());
    FFontSize->setStatusTip(hints ? LongHint(t.FontSizeComboHint) : QString());

    UpdateKeyIndicators();
    UpdateCommandStates();
    FRichEdit->SetModified(false);
    FSource->DoInitDialog(this);
    LayOut();
}

bool TkqRichEditForm::event(QEvent* event)
{
    // the hint of what the mouse is over goes into the status bar's first panel
    if (event->type() == QEvent::StatusTip && FStatusBar) {
        FStatusBar->Panels()[0]->SetText(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QDialog::event(event);
}

void TkqRichEditForm::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    LayOut();
}

void TkqRichEditForm::LayOut()
{
    const int menuHeight = FMainMenu->isVisible() || !isVisible() ? FMainMenu->sizeHint().height() : 0;
    FMainMenu->setGeometry(0, 0, width(), menuHeight);
    int y = menuHeight;
    auto placeBar = [&](const char* bevelName, QWidget* bar) {
        QWidget* bevel = Bevel(QLatin1String(bevelName));
        if (!bar->isVisibleTo(this)) return;
        bevel->setGeometry(0, y, width(), 2);
        bar->setGeometry(0, y + 2, width(), bar->height());
        y += bar->height() + 2;
    };
    placeBar("ToolBarBevel", FToolbar);
    placeBar("FormatBarBevel", FFormatBar);
    if (FRuler && FRuler->isVisibleTo(this)) {
        if (!FRichEdit || !FRichEdit->IsPrinterWidth()) {
            FRuler->resize(width() - 8, FRuler->height());
        }
        Bevel(QStringLiteral("RulerBevel"))->setGeometry(0, y, width(), 2);
        FRuler->move(FRuler->x(), y + 2);
        y += FRuler->height() + 2;
    }
    const int statusHeight = FStatusBar->isVisibleTo(this) ? FStatusBar->sizeHint().height() : 0;
    if (FStatusBar->Panels().Count() > 0)
        FStatusBar->Panels()[0]->SetWidth(QString::number(qMax(width() - ScaleX(90), 0)));
    if (FRichEdit) {
        FRichEdit->setGeometry(FRichEdit->x(), y, width() - 8, qMax(height() - y - statusHeight, 0));
        if (FRuler && FRuler->RightMarker()) {
            FRuler->RightMarker()->MaxValue = FRuler->InnerRect().Right - FRuler->RightMarker()->width() / 2;
            FRuler->UpdateMarkers();
        }
        FRichEdit->UpdateEditRect();
    }
    if (statusHeight) FStatusBar->setGeometry(FRichEdit ? FRichEdit->x() : 0, height() - statusHeight,
                                              FRichEdit ? FRichEdit->width() : width(), statusHeight);
}

void TkqRichEditForm::ToggleBar(QAction* item)
{
    const bool on = item->isChecked();
    auto toggle = [on](QWidget* bar, QWidget* bevel) {
        // a bar shows before its line and hides after it, so the line keeps its place above it
        if (on) {
            bar->show();
            if (bevel) bevel->show();
        } else {
            if (bevel) bevel->hide();
            bar->hide();
        }
    };
    const QString name = item->objectName();
    if (name == QLatin1String("Toolbar1")) toggle(FToolbar, Bevel(QStringLiteral("ToolBarBevel")));
    else if (name == QLatin1String("FormatBar1")) toggle(FFormatBar, Bevel(QStringLiteral("FormatBarBevel")));
    else if (name == QLatin1String("StatusBar1")) toggle(FStatusBar, nullptr);
    else if (name == QLatin1String("Ruler1") && FRuler) toggle(FRuler, Bevel(QStringLiteral("RulerBevel")));
    LayOut();
}

void TkqRichEditForm::UpdateKeyIndicators()
{
    if (!FStatusBar || FStatusBar->Panels().Count() < 3) return;
    const TkqDBRichEditIntl& t = Texts();
    FStatusBar->Panels()[1]->SetText(KeyToggled(VK_CAPITAL) ? t.CAPLockCaption : QString());
    FStatusBar->Panels()[2]->SetText(KeyToggled(VK_NUMLOCK) ? t.NUMLockCaption : QString());
}

void TkqRichEditForm::UpdateCommandStates()
{
    if (!FRichEdit || FUpdating) return;
    FUpdating = true;
    TkqCustomRichEdit* r = FRichEdit;
    const TFontStyles style = r->SelAttributes()->Style();
    Button(QStringLiteral("BoldButton"))->SetDown(style.Contains(fsBold));
    Button(QStringLiteral("ItalicButton"))->SetDown(style.Contains(fsItalic));
    Button(QStringLiteral("UnderlineButton"))->SetDown(style.Contains(fsUnderline));
    const bool bullets = r->Paragraph()->Numbering() == nsBullet;
    Button(QStringLiteral("BulletButton"))->SetDown(bullets);
    Item(QStringLiteral("BulletStyle1"))->setChecked(bullets);
    const TColor back = r->GetSelHighlight();
    Button(QStringLiteral("HighlightButton"))->SetDown(back != 0 && ColorToRGB(back) != ColorToRGB(clWindow));
    const char* align = "LeftButton";
    switch (r->GetParaFormat().Alignment) {
    case PFA_CENTER: align = "CenterButton"; break;
    case PFA_RIGHT: align = "RightButton"; break;
    case PFA_JUSTIFY: align = "JustifyButton"; break;
    default: break;
    }
    Button(QLatin1String(align))->SetDown(true);

    // an unknown face is written in red
    const QString face = r->SelAttributes()->Name();
    const bool known = FFontName->Items().contains(face);
    FFontName->SetText(face);
    QPalette names = FFontName->palette();
    names.setColor(QPalette::Text, known ? palette().color(QPalette::WindowText) : QColor(255, 0, 0));
    FFontName->setPalette(names);
    FFontSize->SetText(QString::number(r->SelAttributes()->Size()));

    const bool readOnly = ReadOnlyContent();
    const bool selected = r->HasSelText();
    const bool notEmpty = r->LineCount() > 1 || r->TextLength() > 0;
    auto enable = [this](const char* name, bool on) {
        if (QAction* a = Item(QLatin1String(name))) a->setEnabled(on);
        if (TVzSpeedButton* b = Button(QLatin1String(name))) b->setEnabled(on);
    };
    enable("Paste1", r->CanPaste() && !readOnly);
    enable("PasteButton", r->CanPaste() && !readOnly);
    enable("Undo1", r->CanUndo());
    enable("UndoButton", r->CanUndo());
    enable("Redo1", r->CanRedo());
    enable("RedoButton", r->CanRedo());
    enable("Cut1", selected && !readOnly);
    enable("CutButton", selected && !readOnly);
    enable("Clear1", selected && !readOnly);
    enable("Copy1", selected);
    enable("CopyButton", selected);
    enable("SelectAll1", notEmpty);
    enable("Find1", notEmpty);
    enable("FindButton", notEmpty);
    enable("FindNext1", r->HasFindText());
    enable("Replace1", notEmpty && !readOnly);
    if (FRuler) FRuler->UpdateMarkers();
    FUpdating = false;
}

// --- Commands

void TkqRichEditForm::LoadClick()
{
    bool doDefault = true;
    if (FSource && FSource->OnMenuLoadClick) FSource->OnMenuLoadClick(this, FRichEdit, doDefault);
    if (!doDefault || !FRichEdit) return;
    TOpenDialog dialog;
    dialog.Filter = QStringLiteral("Rich Text Files (*.RTF)|*.RTF|Text Files (*.TXT)|*.TXT");
    if (!dialog.Execute(this)) return;
    FRichEdit->PlatformLines()->LoadFromFile(dialog.FileName);
    // loading resets the control's flag; the document did change, so OK takes it back
    FRichEdit->SetModified(true);
    FRichEdit->setFocus();
}

void TkqRichEditForm::SaveAsClick()
{
    bool doDefault = true;
    if (FSource && FSource->OnMenuSaveAsClick) FSource->OnMenuSaveAsClick(this, FRichEdit, doDefault);
    if (!doDefault || !FRichEdit) return;
    TSaveDialog dialog;
    dialog.Filter = QStringLiteral("Rich Text Files (*.RTF)|*.RTF|Text Files (*.TXT)|*.TXT");
    dialog.DefaultExt = QStringLiteral("rtf");
    if (!dialog.Execute(this)) return;
    if (QFileInfo::exists(dialog.FileName)
        && MessageDlg(QStringLiteral("OK to overwrite %1").arg(dialog.FileName), mtConfirmation, mbYesNoCancel) != mrYes)
        return;
    const bool plain = FRichEdit->PlainText();
    FRichEdit->SetPlainText(dialog.FilterIndex == 2);
    try {
        FRichEdit->PlatformLines()->SaveToFile(dialog.FileName);
    } catch (...) {
        FRichEdit->SetPlainText(plain);
        throw;
    }
    FRichEdit->SetPlainText(plain);
}

void TkqRichEditForm::SaveAndExit()
{
    bool doDefault = true;
    if (FSource && FSource->OnMenuSaveAndExitClick) FSource->OnMenuSaveAndExitClick(this, FRichEdit, doDefault);
    if (!doDefault) return;
    FClosing = true;
    done(QDialog::Accepted);
}

void TkqRichEditForm::PrintClick()
{
    bool doDefault = true;
    if (FSource && FSource->OnMenuPrintClick) FSource->OnMenuPrintClick(this, FRichEdit, doDefault);
    if (!doDefault || !FRichEdit) return;
    TPrintDialog dialog;
    dialog.Collate = true;
    if (dialog.Execute(this)) FRichEdit->Print(FSource ? FSource->PrintJobName : QString());
}

void TkqRichEditForm::PageSetupClick()
{
    if (!FRichEdit) return;
    TkqPageSetupDialog dialog(FRichEdit);
    if (!dialog.Execute(this)) return;
    if (FRichEdit->IsPrinterWidth() && FRuler) {
        FRuler->SetPrinterWidth();
        FRuler->UpdateMarkers();
        if (FRuler->RightMarker()) FRuler->MarkerEndDrag(FRuler->RightMarker());
    } else {
        FRichEdit->UpdateEditRect();
    }
}

void TkqRichEditForm::ExitEditor() { close(); }

void TkqRichEditForm::NewClick()
{
    if (!FRichEdit) return;
    if (MessageDlg(KqIntl()->GetUserMessages()->RichEditClearWarning, mtConfirmation, mbOKCancel) != mrOk) return;
    FRichEdit->Clear();
    FRichEdit->SetModified(true);
}

void TkqRichEditForm::StyleClick(TVzSpeedButton* button)
{
    if (!FRichEdit) return;
    // the state before the click decides: a button that was up turns its style on
    const bool wasDown = button->property("PressedDown").isValid() ? button->property("PressedDown").toBool()
                                                                   : !button->Down();
    button->setProperty("PressedDown", QVariant());
    const QString name = button->objectName();
    const int effect = name == QLatin1String("BoldButton") ? 0 : name == QLatin1String("ItalicButton") ? 1 : 2;
    FRichEdit->BeginFieldChange();
    FRichEdit->SetSelEffect(effect, !wasDown);
    UpdateCommandStates();
}

void TkqRichEditForm::AlignClick(TVzSpeedButton* button)
{
    if (!FRichEdit) return;
    const TkqRichEditParagraphDlg& texts = *Texts().GetParagraphDialog();
    const QString name = button->objectName();
    const QString align = name == QLatin1String("LeftButton")     ? texts.AlignLeft
                          : name == QLatin1String("RightButton")  ? texts.AlignRight
                          : name == QLatin1String("JustifyButton") ? texts.AlignJustify
                                                                   : texts.AlignCenter;
    FRichEdit->SetParaFormat(0x01, align, false, 0, 0, 0, 0, nullptr, 0, 0, 0, 0);
    UpdateCommandStates();
}

void TkqRichEditForm::BulletClick()
{
    if (!FRichEdit) return;
    FRichEdit->SetBullets(FRichEdit->Paragraph()->Numbering() != nsBullet);
    UpdateCommandStates();
}

void TkqRichEditForm::HighlightClick()
{
    if (!FRichEdit) return;
    FRichEdit->BeginFieldChange();
    FRichEdit->SetSelHighlight(Button(QStringLiteral("HighlightButton"))->Down() ? FRichEdit->HighlightColor : TColor(-1));
    UpdateCommandStates();
}

void TkqRichEditForm::SetTextColor(int color)
{
    if (!FRichEdit) return;
    FRichEdit->BeginFieldChange();
    FRichEdit->SelAttributes()->SetColor(TColor(color));
}

void TkqRichEditForm::FontNameCloseUp()
{
    if (!FRichEdit || !FRichEdit->HasSelText()) return;
    const QString face = FFontName->Text();
    if (!face.isEmpty() && FRichEdit->SelAttributes()->Name() != face) {
        TCharFormat2 format;
        format.Mask = CFM_FACE | CFM_CHARSET;
        format.FaceName = face.left(31);
        format.CharSet = quint8(FRichEdit->GetFontCharset(face));
        FRichEdit->BeginFieldChange();
        FRichEdit->SetCharFormat(SCF_SELECTION, format);
    }
    FRichEdit->setFocus();
    UpdateCommandStates();
}

void TkqRichEditForm::FontSizeCloseUp()
{
    if (!FRichEdit || !FRichEdit->HasSelText()) return;
    bool ok = false;
    const int size = FFontSize->Text().toInt(&ok);
    if (ok && size > 0) {
        FRichEdit->BeginFieldChange();
        FRichEdit->SelAttributes()->SetSize(size);
    }
    FRichEdit->setFocus();
    UpdateCommandStates();
}

// --- Keys and closing

bool TkqRichEditForm::PreviewKey(QKeyEvent* event)
{
    const bool readOnly = ReadOnlyContent();
    if (event->key() == Qt::Key_Escape) {
        if (readOnly || (FRichEdit && FRichEdit->EditorOptions.Contains(reoCloseOnEscape))) close();
        else if (FRichEdit) FRichEdit->undo();
        return true;
    }
    if (!readOnly && event->modifiers() == Qt::ControlModifier) {
        const char* name = event->key() == Qt::Key_B   ? "BoldButton"
                           : event->key() == Qt::Key_U ? "UnderlineButton"
                           : event->key() == Qt::Key_I ? "ItalicButton"
                                                       : nullptr;
        if (name) {
            TVzSpeedButton* b = Button(QLatin1String(name));
            b->setProperty("PressedDown", b->Down());
            StyleClick(b);
            return true;
        }
    }
    return false;
}

bool TkqRichEditForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == FRichEdit) {
        if (event->type() == QEvent::KeyPress && PreviewKey(static_cast<QKeyEvent*>(event))) return true;
        if (event->type() == QEvent::ShortcutOverride) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Escape) {
                key->accept();
                return true;
            }
        }
        if (event->type() == QEvent::KeyRelease) UpdateKeyIndicators();
    }
    return QDialog::eventFilter(watched, event);
}

void TkqRichEditForm::keyPressEvent(QKeyEvent* event)
{
    if (PreviewKey(event)) return;
    QDialog::keyPressEvent(event);
}

bool TkqRichEditForm::CanClose(int& result)
{
    if (FClosing) return true;
    if (FRichEdit && FRichEdit->EditorOptions.Contains(reoNoConfirmation)) {
        result = QDialog::Accepted;
        return true;
    }
    if (FRichEdit && FRichEdit->Modified() && !ReadOnlyContent()) {
        switch (MessageDlg(KqIntl()->GetUserMessages()->RichEditExitWarning, mtConfirmation, mbYesNoCancel)) {
        case mrYes: result = QDialog::Accepted; return true;
        case mrNo: result = QDialog::Rejected; return true;
        default: return false;
        }
    }
    result = QDialog::Rejected;
    return true;
}

void TkqRichEditForm::closeEvent(QCloseEvent* event)
{
    int result = QDialog::Rejected;
    if (!CanClose(result)) {
        event->ignore();
        return;
    }
    // the user buttons go back where they came from, hidden
    if (FSource)
        for (QWidget* userButton : {FSource->UserSpeedButton1.data(), FSource->UserSpeedButton2.data()}) {
            if (!userButton) continue;
            userButton->hide();
            userButton->setParent(qobject_cast<QWidget*>(userButton->property("kqFormerParent").value<QObject*>()));
        }
    // the window closes with the answer's result (not the dialog's own reject)
    FClosing = true;
    event->ignore();
    done(result);
}

// --- Page setup

TkqPageSetupDialog::TkqPageSetupDialog(TkqCustomRichEdit* control, QObject* owner) : QObject(owner), FControl(control) {}

bool TkqPageSetupDialog::Execute(QWidget* parent)
{
    TkqPrintMargins* margins = FControl->PrintMargins();
    MarginLeft = int(margins->Left * 1000);
    MarginTop = int(margins->Top * 1000);
    MarginRight = int(margins->Right * 1000);
    MarginBottom = int(margins->Bottom * 1000);
    PaperEnabled = FControl->IsPrinterWidth();
    PaperSize = PaperEnabled ? FControl->PrintPageSize() : Printer().PaperSize();
    QPrinter* printer = Printer().QtPrinter();
    Landscape = printer && printer->pageLayout().orientation() == QPageLayout::Landscape;
    const bool accepted = TCommonDialogSeam::OnExecute ? TCommonDialogSeam::OnExecute(this) : Show(parent);
    if (!accepted) return false;
    margins->Left = MarginLeft / 1000.0;
    margins->Top = MarginTop / 1000.0;
    margins->Right = MarginRight / 1000.0;
    margins->Bottom = MarginBottom / 1000.0;
    if (printer) printer->setPageOrientation(Landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    if (PaperSize > 0) FControl->SetPrintPageSize(PaperSize);
    FControl->ApplyPaperSize();
    return true;
}

bool TkqPageSetupDialog::Show(QWidget* parent)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Page Setup"));
    auto* form = new QFormLayout;
    const QString unit = FControl->MeasurementUnits == muCentimeters ? QStringLiteral(" cm") : QStringLiteral(" in");
    auto margin = [&](const QString& label, int value) {
        auto* box = new QDoubleSpinBox(&dialog);
        box->setDecimals(2);
        box->setRange(0, 99);
        box->setSuffix(unit);
        box->setValue(value / 1000.0);
        form->addRow(label, box);
        return box;
    };
    QDoubleSpinBox* left = margin(QStringLiteral("Left:"), MarginLeft);
    QDoubleSpinBox* right = margin(QStringLiteral("Right:"), MarginRight);
    QDoubleSpinBox* top = margin(QStringLiteral("Top:"), MarginTop);
    QDoubleSpinBox* bottom = margin(QStringLiteral("Bottom:"), MarginBottom);
    auto* paper = new QComboBox(&dialog);
    const std::pair<int, const char*> sizes[] = {{1, "Letter"}, {5, "Legal"}, {8, "A3"}, {9, "A4"}, {11, "A5"}};
    for (const auto& [code, name] : sizes) {
        paper->addItem(QLatin1String(name), code);
        if (code == PaperSize) paper->setCurrentIndex(paper->count() - 1);
    }
    paper->setEnabled(PaperEnabled);
    form->addRow(QStringLiteral("Paper:"), paper);
    auto* orientation = new QComboBox(&dialog);
    orientation->addItems({QStringLiteral("Portrait"), QStringLiteral("Landscape")});
    orientation->setCurrentIndex(Landscape ? 1 : 0);
    form->addRow(QStringLiteral("Orientation:"), orientation);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(form);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted) return false;
    MarginLeft = int(left->value() * 1000);
    MarginRight = int(right->value() * 1000);
    MarginTop = int(top->value() * 1000);
    MarginBottom = int(bottom->value() * 1000);
    if (PaperEnabled) PaperSize = paper->currentData().toInt();
    Landscape = orientation->currentIndex() == 1;
    return true;
}

TPopupMenu* TkqRichEditForm::ColorMenu() const { return FColorMenu; }
