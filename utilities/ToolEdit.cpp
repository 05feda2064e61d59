#include "utilities/ToolEdit.h"

#include "platform/vcl/Edges.h"
#include "platform/vcl/Forms.h"
#include "utilities/AppUtils.h"
#include "utilities/FileUtil.h"
#include "utilities/VCLUtils.h"
#include "utilities/vzStrUtils.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

int ShortCut(int key, TShiftState shift)
{
    int result = key;
    if (shift.Contains(ssShift)) result |= scShift;
    if (shift.Contains(ssCtrl)) result |= scCtrl;
    if (shift.Contains(ssAlt)) result |= scAlt;
    return result;
}

namespace {
// A name with a blank goes into quotes, so that reading it back as a command line gives it whole.
QString QuotedName(const QString& name)
{
    if (name.contains(QLatin1Char(' ')) && !name.startsWith(QLatin1Char('"'))) return QLatin1Char('"') + name + QLatin1Char('"');
    return name;
}

// An entry by that name exists and is no folder.
bool IsExistingFile(const QString& name) { return !name.isEmpty() && FileExists(name) && !FolderExists(name); }
} // namespace

// ---- TEditButton ----

TEditButton::TEditButton(QWidget* parent) : TVzSpeedButton(parent) {}

void TEditButton::PaintButton(TCanvas& canvas)
{
    TVzSpeedButton::PaintButton(canvas);
    if (State() == bsDown) return;
    // The edge towards the text, so that the button looks set into the edit.
    canvas.Pen.Mode = pmCopy;
    canvas.Pen.Color = NewStyleControls() ? clBtnFace : clBtnShadow;
    canvas.MoveTo(0, 0);
    canvas.LineTo(0, height() - 1);
    canvas.Pen.Color = clBtnHighlight;
    canvas.MoveTo(1, 1);
    canvas.LineTo(1, height() - 2);
}

void TEditButton::mousePressEvent(QMouseEvent* event)
{
    auto* edit = qobject_cast<TCustomComboEdit*>(parentWidget() ? parentWidget()->parentWidget() : nullptr);
    if (edit && event->button() == Qt::LeftButton) {
        NoAction = edit->FPopup && edit->FPopupVisible;
        if (NoAction) edit->PopupCloseUp(true);
        else if ((edit->focusPolicy() & Qt::TabFocus) && edit->isEnabled() && !edit->hasFocus()) edit->setFocus(Qt::MouseFocusReason);
    }
    TVzSpeedButton::mousePressEvent(event);
}

void TEditButton::Click()
{
    // The click that follows a press which closed the popup does nothing more.
    if (NoAction) {
        NoAction = false;
        return;
    }
    TVzSpeedButton::Click();
}

// ---- TCustomComboEdit ----

TCustomComboEdit::TCustomComboEdit(QWidget* parent)
    : TVzFramedEdit(parent), FBtnControl(new QWidget(this)), FButton(new TEditButton(FBtnControl))
{
    FBtnControl->setGeometry(0, 0, 21, 17);
    FBtnControl->setCursor(Qt::ArrowCursor);
    FButton->setGeometry(0, 0, 21, 17);
    FButton->OnClick = [this](QObject*) { EditButtonClick(); };
    connect(this, &QLineEdit::textChanged, this, [this] { TextChanged(); });
    setMinimumHeight(MinimumHeight());
    PlaceButton();
    FCreating = false;
}

TCustomComboEdit::~TCustomComboEdit()
{
    FButton->OnClick = nullptr;
    if (FPopup) FPopup->removeEventFilter(this);
}

void TCustomComboEdit::TextChanged()
{
    if (FPopupVisible) {
        PopupValueChanged();
        return;
    }
    if (OnChange) TApplication::Guard([this] { OnChange(this); });
}

int TCustomComboEdit::MinimumHeight() const
{
    const int textHeight = std::min(QFontMetrics(QApplication::font()).height(), QFontMetrics(font()).height());
    return textHeight + 4 * GetSystemMetrics(SM_CYBORDER) + 1;
}

QSize TCustomComboEdit::minimumSizeHint() const { return QSize(FBtnControl->width() + 16, MinimumHeight()); }

QRect TCustomComboEdit::EditRect() const
{
    // Inside the two-pixel frame, left of the button host.
    return QRect(2, 2, std::max(0, width() - 4 - FBtnControl->width() - 2), height() - 4 + 1);
}

void TCustomComboEdit::PlaceButton()
{
    const int w = FButton->width();
    FBtnControl->setGeometry(width() - w - 2, 2, w, std::max(0, height() - 4));
    FButton->setGeometry(0, 0, w, FBtnControl->height());
    UpdateEditRect();
}

void TCustomComboEdit::SetButtonWidth(int value)
{
    if (value == ButtonWidth()) return;
    FBtnControl->setVisible(value > 1);
    if (FCreating) {
        FBtnControl->resize(value, FBtnControl->height());
        FButton->resize(value, FButton->height());
        FButton->setProperty("FixedWidth", false);
        RecreateGlyph(false);
    } else if (value < width() - 4) {
        FButton->resize(value, FButton->height());
        FButton->setProperty("FixedWidth", false);
        PlaceButton();
        RecreateGlyph(false);
    }
    UpdateEditRect();
}

bool TCustomComboEdit::ButtonWidthStored() const
{
    switch (FGlyphKind) {
    case gkDefault: {
        const int cells = std::max(1, NumGlyphs());
        return ButtonWidth() != std::max(Glyph().Width() / cells + 6, 21);
    }
    case gkDropDown: return ButtonWidth() != GetSystemMetrics(SM_CXVSCROLL);
    default: return ButtonWidth() != 21;
    }
}

const TBitmap* TCustomComboEdit::DefaultGlyphBitmap(bool& destroyNeeded)
{
    destroyNeeded = false;
    return nullptr;
}

void TCustomComboEdit::SetGlyphKind(TGlyphKind value)
{
    if (value == FGlyphKind) return;
    FGlyphKind = value;
    RecreateGlyph();
}

void TCustomComboEdit::SetGlyph(const TBitmap& value)
{
    FGlyphKind = gkCustom;
    FButton->SetGlyph(value);
}

void TCustomComboEdit::SetNumGlyphs(int value)
{
    if (FGlyphKind == gkDropDown || FGlyphKind == gkEllipsis) value = 1;
    else if (FGlyphKind == gkDefault) value = FDefNumGlyphs;
    FButton->SetNumGlyphs(value);
}

void TCustomComboEdit::RecreateGlyph(bool adjustWidth)
{
    switch (FGlyphKind) {
    case gkDefault: {
        bool destroy = false;
        const TBitmap* bitmap = DefaultGlyphBitmap(destroy);
        if (bitmap) {
            FButton->SetGlyph(*bitmap);
            FButton->SetNumGlyphs(FDefNumGlyphs);
            const int width = std::max(bitmap->Width() / FDefNumGlyphs + 6, ButtonWidth());
            if (destroy) delete bitmap;
            if (adjustWidth) SetButtonWidth(width);
        } else {
            FButton->SetGlyph(TBitmap());
        }
        break;
    }
    case gkDropDown: {
        // The combo box's arrow: a black triangle seven pixels wide.
        TBitmap arrow(7, 4);
        arrow.Fill(clFuchsia);
        for (int row = 0; row < 4; ++row)
            for (int x = row; x < 7 - row; ++x) arrow.SetPixel(x, row, clBlack);
        arrow.SetTransparentColor(clFuchsia);
        FButton->SetGlyph(arrow);
        FButton->SetNumGlyphs(1);
        if (adjustWidth) {
            SetButtonWidth(GetSystemMetrics(SM_CXVSCROLL));
            FButton->setProperty("FixedWidth", true);
        }
        break;
    }
    case gkEllipsis: {
        const int w = std::max(1, ButtonWidth() - 6);
        TBitmap dots(w, 4);
        dots.Fill(clWhite);
        const int gap = std::clamp((w - 6) / 2, 1, 3);
        const int x0 = (w - 6 - 2 * gap) / 2;
        for (int x : {x0, x0 + gap + 2, x0 + 2 * gap + 4})
            for (int dx = 0; dx < 2; ++dx)
                for (int dy = 1; dy < 3; ++dy) dots.SetPixel(x + dx, dy, clBlack);
        dots.SetMonochrome(true);
        FButton->SetGlyph(dots);
        FButton->SetNumGlyphs(1);
        break;
    }
    case gkCustom: break;
    }
}

void TCustomComboEdit::SetDirectInput(bool value)
{
    FDirectInput = value;
    UpdateReadOnly();
}

void TCustomComboEdit::SetReadOnly(bool value)
{
    FReadOnly = value;
    UpdateReadOnly();
}

void TCustomComboEdit::UpdateReadOnly() { setReadOnly(!FDirectInput || FReadOnly); }

void TCustomComboEdit::EditButtonClick()
{
    if (!ReadOnly()) ButtonClick();
}

void TCustomComboEdit::ButtonClick()
{
    if (OnButtonClick) OnButtonClick(this);
    if (FPopup) {
        if (FPopupVisible) PopupCloseUp(true);
        else DropDownPopup(true);
    }
}

void TCustomComboEdit::keyPressEvent(QKeyEvent* event)
{
    const int key = KeyEventToVirtualKey(event);
    if (key != 0 && ShortCut(key, ShiftStateFromModifiers(event->modifiers())) == ClickKey && ButtonWidth() > 0) {
        TApplication::Guard([this] { EditButtonClick(); });
        event->accept();
        return;
    }
    if ((key == VK_RETURN || key == VK_ESCAPE) && FPopup && FPopupVisible) {
        PopupCloseUp(key == VK_RETURN);
        event->accept();
        return;
    }
    // Enter and Escape go on to the form (its default and cancel buttons) unhandled.
    QLineEdit::keyPressEvent(event);
}

void TCustomComboEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    // The window coming back to the front, or a popup closing, is no entering of the edit.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason) return;
    if (!(QApplication::mouseButtons() & Qt::LeftButton)) {
        if (FDirectInput) selectAll();
        else deselect();
    }
    if (OnEnter) TApplication::Guard([this] { OnEnter(this); });
}

void TCustomComboEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (FPopupVisible && FPopup && !FPopup->isAncestorOf(QApplication::focusWidget())) PopupCloseUp(false);
    if (OnExit && event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason)
        TApplication::Guard([this] { OnExit(this); });
}

void TCustomComboEdit::mousePressEvent(QMouseEvent* event)
{
    if (FPopup && event->button() == Qt::LeftButton) {
        if (focusPolicy() != Qt::NoFocus && isEnabled()) setFocus(Qt::MouseFocusReason);
        if (!hasFocus()) return;
        if (FPopupVisible) PopupCloseUp(false);
    }
    QLineEdit::mousePressEvent(event);
}

void TCustomComboEdit::changeEvent(QEvent* event)
{
    TVzFramedEdit::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) FButton->setEnabled(isEnabled());
    if (event->type() == QEvent::LayoutDirectionChange && FPopup) FPopup->setLayoutDirection(layoutDirection());
}

void TCustomComboEdit::DropDownPopup(bool disableEdit)
{
    if (!FPopup || ReadOnly() || FPopupVisible) return;
    const QPoint p = mapToGlobal(QPoint(0, 0));
    const TScreenMetrics screen = ScreenMetrics();
    const int pw = FPopup->width(), ph = FPopup->height();
    int y = p.y() + height();
    if (y + ph > screen.Height) y = p.y() - ph;
    int x;
    if (PopupAlign == epaRight) {
        x = p.x() + width() - pw;
        if (x < 0) x = p.x();
    } else {
        x = p.x();
        if (p.x() + pw > screen.Width) x = p.x() - (pw - width());
    }
    if (x < 0) x = 0;
    if (x + pw > screen.Width) x = screen.Width - pw;
    PassValueToPopup(text().isEmpty() ? QVariant() : QVariant(text()));
    if (focusPolicy() != Qt::NoFocus && isEnabled()) setFocus();
    FPopup->installEventFilter(this);
    ShowPopupAt(QPoint(x, y));
    FPopupVisible = true;
    if (disableEdit) setReadOnly(true);
}

void TCustomComboEdit::PopupCloseUp(bool accept)
{
    if (!FPopup || !FPopupVisible) return;
    if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
    const QVariant value = ReadPopupValue();
    FPopupVisible = false;
    HidePopupWindow();
    if (focusPolicy() != Qt::NoFocus && isEnabled()) setFocus();
    UpdateReadOnly();
    update();
    if (accept && CanAcceptPopupValue(value) && !ReadOnly()) {
        ApplyPopupValue(value);
        if (hasFocus()) selectAll();
    }
}

bool TCustomComboEdit::eventFilter(QObject* watched, QEvent* event)
{
    // A popup that closes by itself (a press elsewhere) is closed without accepting.
    if (watched == FPopup && event->type() == QEvent::Hide && FPopupVisible) {
        FPopupVisible = false;
        UpdateReadOnly();
        update();
    }
    return QLineEdit::eventFilter(watched, event);
}

void TCustomComboEdit::ShowPopupAt(const QPoint& origin)
{
    FPopup->move(origin);
    FPopup->show();
    FPopup->raise();
}

void TCustomComboEdit::HidePopupWindow() { FPopup->hide(); }

bool TCustomComboEdit::CanAcceptPopupValue(const QVariant&) { return true; }

void TCustomComboEdit::ApplyPopupValue(const QVariant& value)
{
    if (text() == value.toString()) return;
    FPopupVisible = FPopup && FPopup->isVisible();
    setText(value.toString());
    setModified(true);
}

void TCustomComboEdit::PassValueToPopup(const QVariant& value)
{
    if (FPopup) FPopup->setProperty("Value", value);
}

QVariant TCustomComboEdit::ReadPopupValue() { return FPopup ? FPopup->property("Value") : QVariant(QString()); }

void TCustomComboEdit::PopupValueChanged() {}

// ---- TFileDirEdit ----

const TBitmap& FileEditBitmap()
{
    // An open folder: K outline, Y yellow, L light yellow, O olive front.
    static const TBitmap bitmap = [] {
        static const char* const rows[] = {
            "..............", ".KKKK.........", "KLYLYKKKKKKK..", "KYLYLYLYLYLK..", "KLYLYLYLYLYK..", "KYLYKKKKKKKKKK",
            "KLYKOOOOOOOOOK", "KYKOOOOOOOOOK.", "KLKOOOOOOOOOK.", "KKOOOOOOOOOK..", "KKKKKKKKKKKK..", "..............",
        };
        TBitmap b(14, 12);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 14; ++x) {
                TColor c = clFuchsia;
                switch (rows[y][x]) {
                case 'K': c = clBlack; break;
                case 'Y': c = clYellow; break;
                case 'L': c = RGBToColor(255, 255, 192); break;
                case 'O': c = clOlive; break;
                default: break;
                }
                b.SetPixel(x, y, c);
            }
        b.SetTransparentColor(clFuchsia);
        return b;
    }();
    return bitmap;
}

TFileDirEdit::TFileDirEdit(QWidget* parent) : TCustomComboEdit(parent)
{
    FCreating = true;
    SetGlyphKind(gkDefault);
    FCreating = false;
}

const TBitmap* TFileDirEdit::DefaultGlyphBitmap(bool& destroyNeeded)
{
    destroyNeeded = false;
    return &FileEditBitmap();
}

void TFileDirEdit::SetAcceptFiles(bool value)
{
    FAcceptFiles = value;
    setAcceptDrops(value);
}

void TFileDirEdit::DoBeforeDialog(QString& name, bool& action)
{
    if (OnBeforeDialog) OnBeforeDialog(this, name, action);
}

void TFileDirEdit::DoAfterDialog(QString& name, bool& action)
{
    if (OnAfterDialog) OnAfterDialog(this, name, action);
}

void TFileDirEdit::DropNames(const QStringList& names)
{
    if (names.isEmpty()) return;
    ClearFileList();
    for (const QString& name : names) {
        AcceptDroppedName(name.left(255));
        if (!FMultipleNames) break;
    }
    if (OnDropFiles) OnDropFiles(this);
}

void TFileDirEdit::dragEnterEvent(QDragEnterEvent* event)
{
    if (FAcceptFiles && event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
        return;
    }
    QLineEdit::dragEnterEvent(event);
}

void TFileDirEdit::dropEvent(QDropEvent* event)
{
    if (!FAcceptFiles || !event->mimeData()->hasUrls()) {
        QLineEdit::dropEvent(event);
        return;
    }
    QStringList names;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) names << url.toLocalFile();
    event->acceptProposedAction();
    DropNames(names);
}

// ---- TFilenameEdit ----

TFilenameEdit::TFilenameEdit(QWidget* parent) : TFileDirEdit(parent), FDialog(std::make_unique<TOpenDialog>())
{
    FDialog->Title = DefaultTitle();
    FDialog->Filter = DefaultFilter();
    FDialog->Options = {ofHideReadOnly};
}

void TFilenameEdit::SetDialogKind(TFileDialogKind value)
{
    if (value == FDialogKind) return;
    std::unique_ptr<TOpenDialog> dialog;
    switch (value) {
    case dkOpen: dialog = std::make_unique<TOpenDialog>(); break;
    case dkSave: dialog = std::make_unique<TSaveDialog>(); break;
    case dkOpenPicture: dialog = std::make_unique<TOpenPictureDialog>(); break;
    case dkSavePicture: dialog = std::make_unique<TSavePictureDialog>(); break;
    }
    dialog->AssignSettings(*FDialog);
    FDialog = std::move(dialog);
    FDialogKind = value;
}

void TFilenameEdit::SetDialogOptions(TOpenOptions value)
{
    if (value != FDialog->Options) {
        FMultipleNames = value.Contains(ofAllowMultiSelect);
        if (!FMultipleNames) ClearFileList();
    }
    FDialog->Options = value;
}

QString TFilenameEdit::FileName() const
{
    const QString t = text();
    if (IsExistingFile(t)) return t;
    return GetCommandToken(t, 0);
}

void TFilenameEdit::SetFileName(const QString& value)
{
    if (!value.isEmpty() && !IsValidFileName(GetCommandToken(value, 0)))
        throw EComboEditError(Format(MessageText(QStringLiteral("Invalid file name - %s")), {value}));
    setText(QuotedName(value));
    ClearFileList();
}

void TFilenameEdit::AcceptDroppedName(const QString& name)
{
    if (!FMultipleNames) {
        SetFileName(name);
        return;
    }
    if (FDialog->Files.isEmpty()) SetFileName(name);
    FDialog->Files << name;
}

QString TFilenameEdit::GetLongFileName() { return LongNameOf(FileName()); }

QString TFilenameEdit::GetShortFileName() { return ShortNameOf(FileName()); }

void TFilenameEdit::ButtonClick()
{
    TFileDirEdit::ButtonClick();
    QString name = FileName();
    bool action = true;
    DoBeforeDialog(name, action);
    if (!action) return;
    try {
        if (IsValidFileName(name)) {
            const QString folder = ExtractFilePath(name);
            if (FolderExists(folder)) SetInitialDir(folder);
            const QString file = ExtractFileName(name);
            if (file.isEmpty() || !IsValidFileName(file)) name.clear();
            FDialog->FileName = name;
        }
    } catch (...) {
        // A name the dialog cannot start from: it starts without one.
    }
    action = FDialog->Execute(window());
    if (action) name = FDialog->FileName;
    if (focusPolicy() != Qt::NoFocus && isEnabled() && isVisible()) setFocus();
    DoAfterDialog(name, action);
    if (action) {
        setText(QuotedName(name));
        SetInitialDir(ExtractFilePath(FDialog->FileName));
    }
}

// ---- TDirectoryEdit ----

TDirectoryEdit::TDirectoryEdit(QWidget* parent) : TFileDirEdit(parent) {}

void TDirectoryEdit::ButtonClick()
{
    TFileDirEdit::ButtonClick();
    QString name = text();
    bool action = true;
    DoBeforeDialog(name, action);
    if (!action) return;
    if (name.isEmpty()) name = FInitialDir.isEmpty() ? QStringLiteral("/") : FInitialDir;
    if (!FolderExists(name)) name = QStringLiteral("/");
    if (NewStyleControls() && DialogKind == dkWin32) action = BrowseForFolder(name, DialogText, 0);
    else action = SelectDirectory(DialogText, QString(), name, window());
    if (focusPolicy() != Qt::NoFocus && isEnabled() && isVisible()) setFocus();
    DoAfterDialog(name, action);
    if (!action) return;
    if (hasSelectedText()) del();
    if (!text().isEmpty() && MultipleDirs()) setText(text() + QLatin1Char(';') + name);
    else setText(name);
    if (!name.isEmpty() && FolderExists(name)) FInitialDir = name;
}

void TDirectoryEdit::AcceptDroppedName(const QString& name)
{
    const QString folder = IsExistingFile(name) ? ExtractFilePath(name) : name;
    if (!text().isEmpty() && MultipleDirs()) setText(text() + QLatin1Char(';') + folder);
    else setText(folder);
}

QString TDirectoryEdit::ConvertNames(QString (*convert)(const QString&)) const
{
    if (!MultipleDirs()) return convert(text());
    const QString t = text();
    const TCharSet separators{';'};
    QString result;
    int position = 1;
    while (position <= t.size()) {
        const QString piece = convert(NextField(t, position, separators));
        if (!result.isEmpty() && !piece.isEmpty()) result += QLatin1Char(';');
        result += piece;
    }
    return result;
}

QString TDirectoryEdit::GetLongFileName() { return ConvertNames(LongPathOf); }

QString TDirectoryEdit::GetShortFileName() { return ConvertNames(ShortPathOf); }
