#include "treestatus/qeStatusBar.h"

#include "platform/vcl/Edges.h"
#include "platform/vcl/Forms.h"
#include "platform/core/SysFormat.h"
#include "platform/core/SysUtils.h"
#include "treestatus/qeCommon.h"
#include "treestatus/qeKeyState.h"

#include <QApplication>
#include <QSysInfo>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolTip>
#include <cmath>
#include <pwd.h>
#include <unistd.h>

namespace {
const QString WidthError = QStringLiteral(
    "Width must be a valid, positive integer, or must be an integer followed by a \"%\" sign.");
constexpr int PartTop = 2;   // the status window's border above its parts
constexpr int PartGap = 2;   // between parts

std::vector<TqeCustomStatusBar*>& Bars()
{
    static std::vector<TqeCustomStatusBar*> bars;
    return bars;
}

// The lock-key panels repaint when those keys go down anywhere in the program; installed while
// a bar exists.
class TLockKeyFilter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->isAutoRepeat()) return false;
        int vk = 0;
        TqeStatusPanelStyle style = psTextOnly;
        switch (key->key()) {
        case Qt::Key_CapsLock: vk = VK_CAPITAL; style = psCapsLock; break;
        case Qt::Key_Insert: vk = VK_INSERT; style = psOverWrite; break;
        case Qt::Key_NumLock: vk = VK_NUMLOCK; style = psNumLock; break;
        case Qt::Key_ScrollLock: vk = VK_SCROLL; style = psScrollLock; break;
        default: return false;
        }
        NoteLockKeyPressed(vk);
        for (TqeCustomStatusBar* bar : Bars()) bar->Panels().RepaintStyle(style);
        return false;
    }
};
TLockKeyFilter* LockKeyFilter = nullptr;

int LockKeyOf(TqeStatusPanelStyle style)
{
    switch (style) {
    case psOverWrite: return VK_INSERT;
    case psCapsLock: return VK_CAPITAL;
    case psNumLock: return VK_NUMLOCK;
    case psScrollLock: return VK_SCROLL;
    default: return 0;
    }
}

TMouseButton ButtonOf(Qt::MouseButton b)
{
    return b == Qt::RightButton ? mbRight : b == Qt::MiddleButton ? mbMiddle : mbLeft;
}

// The form whose border the size grip resizes: the child frame of a form in a
// multiple-document area, else the bar's window.
QWidget* SizeableFormOf(const QWidget* bar)
{
    QWidget* form = bar->parentWidget();
    if (!form) return nullptr;
    for (QWidget* w = form; w; w = w->parentWidget())
        if (auto* sub = qobject_cast<QMdiSubWindow*>(w)) return sub;
    QWidget* window = form->window();
    if (window->minimumSize() == window->maximumSize()) return nullptr;
    if (window->windowFlags() & Qt::MSWindowsFixedSizeDialogHint) return nullptr;
    return window;
}
} // namespace

std::function<double()> TqeCustomStatusBar::Clock = [] { return Now(); };
std::function<QString()> TqeCustomStatusBar::UserName = [] {
    if (const passwd* pw = getpwuid(getuid())) return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
};
std::function<QString()> TqeCustomStatusBar::ComputerName = [] { return QSysInfo::machineHostName(); };

// ---- TqeStatusBarText ----

void TqeStatusBarText::Set(QString& field, const QString& value)
{
    if (field == value) return;
    field = value;
    FBar->update();
}

// ---- TqeStatusPanel ----

TqeStatusPanel::TqeStatusPanel(TqeStatusPanels* panels)
    : TqeCollectionItem(panels), FPanels(panels), FFont(panels->Owner()->font(), clBtnText)
{
    FTextOptions = std::make_unique<TqeCaptionText>(
        TqeText::THooks{[this] { Repaint(); }, nullptr, [this] { return GetDrawEnabled(); }}, &FFont, nullptr);
    FTextOptions->SetVAlignment(vaVCenter);
    FName = GetDefaultName();
}

TqeStatusPanel::~TqeStatusPanel() = default;

TqeCustomStatusBar* TqeStatusPanel::GetStatusBar() const { return FPanels->Owner(); }

QString TqeStatusPanel::GetDefaultName() const
{
    for (int n = 0;; ++n) {
        const QString name = QStringLiteral("Panel%1").arg(n);
        bool used = false;
        for (int i = 0; i < FPanels->Count() && !used; ++i) {
            const TqeStatusPanel* p = FPanels->GetItem(i);
            used = p != this && p->FName == name;
        }
        if (!used) return name;
    }
}

QString TqeStatusPanel::GetDisplayName() const { return FName.isEmpty() ? TqeCollectionItem::GetDisplayName() : FName; }

void TqeStatusPanel::Assign(const TqeStatusPanel& source)
{
    FBevel = source.FBevel;
    FColor = source.FColor;
    FComponent = source.FComponent;
    FEnabled = source.FEnabled;
    FFont = source.FFont;
    FHint = source.FHint;
    FImageIndex = source.FImageIndex;
    FIndent = source.FIndent;
    FMargin = source.FMargin;
    FPopupMenu = source.FPopupMenu;
    FStyle = source.FStyle;
    FText = source.FText;
    FWidth = source.FWidth;
    FWidthValue = source.FWidthValue;
    FPercent = source.FPercent;
    OnClick = source.OnClick;
    OnDblClick = source.OnDblClick;
    OnMouseDown = source.OnMouseDown;
    OnMouseMove = source.OnMouseMove;
    OnMouseUp = source.OnMouseUp;
    OnDrawText = source.OnDrawText;
    OnTextChanged = source.OnTextChanged;
    Changed(false);
}

void TqeStatusPanel::SetBevel(TqeStatusPanelBevel value)
{
    if (value == FBevel) return;
    FBevel = value;
    Changed(false);
}

void TqeStatusPanel::SetColor(TColor value)
{
    if (value == FColor) return;
    FColor = value;
    Changed(false);
}

void TqeStatusPanel::ApplyToControl()
{
    if (FStyle != psControl || !FComponent) return;
    FComponent->setEnabled(FEnabled);
    FComponent->setFont(FFont.Font);
    FComponent->setToolTip(FHint);
}

void TqeStatusPanel::SetComponent(QWidget* component)
{
    if (!component && !FComponent) return;
    TqeCustomStatusBar* bar = GetStatusBar();
    if (component == bar) throw Exception(QStringLiteral("Control cannot equal parent StatusBar"));
    if (FComponent && FComponent != component && FStyle != psRichEditStatus && FComponent->parentWidget() == bar)
        FComponent->setParent(bar->parentWidget());
    FComponent = component;
    if (!component) FStyle = psTextOnly;
    else if (qobject_cast<QTextEdit*>(component) || qobject_cast<QPlainTextEdit*>(component)) SetStyle(psRichEditStatus);
    else SetStyle(psControl);
    ApplyToControl();
    Changed(false);
}

void TqeStatusPanel::SetEnabled(bool value)
{
    if (value == FEnabled) return;
    FEnabled = value;
    ApplyToControl();
    Changed(false);
}

void TqeStatusPanel::SetFont(const QFont& font)
{
    FFont.Font = font;
    ApplyToControl();
    Changed(false);
}

void TqeStatusPanel::SetHint(const QString& hint)
{
    if (hint == FHint) return;
    FHint = hint;
    ApplyToControl();
}

void TqeStatusPanel::SetImageIndex(int value)
{
    if (value == FImageIndex) return;
    FImageIndex = value;
    Changed(false);
}

void TqeStatusPanel::SetIndent(int value)
{
    if (value == FIndent) return;
    FIndent = value;
    Changed(false);
}

void TqeStatusPanel::SetMargin(int value)
{
    if (value == FMargin) return;
    FMargin = value;
    Changed(false);
}

void TqeStatusPanel::SetName(const QString& name)
{
    for (int i = 0; i < FPanels->Count(); ++i) {
        const TqeStatusPanel* p = FPanels->GetItem(i);
        if (p != this && p->FName == name) throw Exception(Format(QStringLiteral("A panel named %s already exists."), {name}));
    }
    FName = name;
    Changed(false);
}

void TqeStatusPanel::SetStyle(TqeStatusPanelStyle value)
{
    if (value == FStyle) return;
    FStyle = value;
    if (value == psControl && FComponent) {
        for (TqeCustomStatusBar* bar : Bars())
            for (int i = 0; i < bar->Panels().Count(); ++i) {
                TqeStatusPanel* p = bar->Panels()[i];
                if (p != this && p->FComponent == FComponent) {
                    p->FComponent = nullptr;
                    p->FStyle = psTextOnly;
                }
            }
    }
    GetStatusBar()->UpdateTimers();
    Changed(false);
}

void TqeStatusPanel::SetText(const QString& text)
{
    if (text == FText) return;
    FText = text;
    TextChanged(text);
    Repaint();
}

void TqeStatusPanel::TextChanged(const QString& text)
{
    if (OnTextChanged) OnTextChanged(this, text);
}

void TqeStatusPanel::SetWidth(const QString& width)
{
    if (width == FWidth) return;
    bool ok = false;
    int value = width.toInt(&ok);
    bool percent = false;
    if (!ok && width.endsWith(QLatin1Char('%'))) {
        value = width.left(width.size() - 1).toInt(&ok);
        percent = ok;
    }
    if (!ok || value == -1) throw Exception(WidthError);
    FWidth = width;
    FWidthValue = value;
    FPercent = percent;
    FPixelWidth = percent ? 0 : value;
    GetStatusBar()->Resize();
    Changed(true);
}

int TqeStatusPanel::PixelWidth() const
{
    GetStatusBar()->EnsureLayout();
    return FPixelWidth;
}

TRect TqeStatusPanel::GetRect() const { return GetStatusBar()->PartRect(Index()); }

void TqeStatusPanel::Repaint()
{
    TqeCustomStatusBar* bar = GetStatusBar();
    if (FStyle == psDate && !bar->FResizing) {
        const int today = int(std::floor(TqeCustomStatusBar::Clock()));
        if (today == int(FLastTimeValue)) return;
    }
    const TRect r = GetRect();
    if (r.Width() < 1) return;
    bar->update(r.ToQRect());
}

bool TqeStatusPanel::UpdateDateTimeText()
{
    const double now = TqeCustomStatusBar::Clock();
    QString text;
    switch (FStyle) {
    case psDateTime:
        text = FormatDateTime(QStringLiteral("ddddd t"), now);
        FLastTimeValue = now;
        break;
    case psDate:
        text = FormatDateTime(QStringLiteral("ddddd"), now);
        FLastTimeValue = std::floor(now);
        break;
    case psTime:
        text = FormatDateTime(QStringLiteral("t"), now);
        FLastTimeValue = now - std::floor(now);
        break;
    default: return false;
    }
    if (text == FText) return false;
    FText = text;
    TextChanged(text);
    return true;
}

void TqeStatusPanel::Draw(TCanvas& canvas, const TRect& rect)
{
    FCanvas = &canvas;
    FDrawRect = rect;
    if (IsDateTimeStyle()) UpdateDateTimeText();
    if (FStyle != psControl) {
        canvas.Brush.Color = FColor;
        canvas.Brush.Style = bsSolid;
        canvas.FillRect(rect);
    }
    switch (FStyle) {
    case psControl: DrawControl(); break;
    case psOverWrite:
    case psCapsLock:
    case psNumLock:
    case psScrollLock: DrawKeyState(); break;
    case psGlyph: DrawGlyph(); break;
    case psRichEditStatus: DrawRichEditStatus(); break;
    case psHint:
    case psHintContainerOnly: DrawHint(); break;
    case psUserName: DrawUserName(); break;
    case psComputerName: DrawComputerName(); break;
    default: DrawText(FText, rect, FEnabled); break;
    }
    FCanvas = nullptr;
}

void TqeStatusPanel::DrawText(QString text, const TRect& rect, bool enabled)
{
    if (!FCanvas) return;
    TRect r(rect.Left + 2 + FIndent, rect.Top, rect.Right - 2, rect.Bottom);
    FCanvas->Font = FFont;
    FTextOptions->SetCanvas(FCanvas);
    FTextOptions->SetBounds(r);
    if (!FInDrawText && OnDrawText) {
        auto changed = std::move(FTextOptions->Hooks().Changed);
        FTextOptions->Hooks().Changed = nullptr;
        FInDrawText = true;
        try {
            OnDrawText(this, text, enabled);
        } catch (...) {
            FInDrawText = false;
            FTextOptions->Hooks().Changed = std::move(changed);
            throw;
        }
        FInDrawText = false;
        FTextOptions->Hooks().Changed = std::move(changed);
    }
    FTextOptions->SetText(text);
    FDrawEnabled = enabled;
    FCanvas->Brush.Style = bsClear;
    FTextOptions->Draw();
    FTextOptions->SetCanvas(nullptr);
    if (text != FText) TextChanged(text);
}

void TqeStatusPanel::DrawControl()
{
    TqeCustomStatusBar* bar = GetStatusBar();
    if (!FComponent) {
        DrawText(FText, FDrawRect, FEnabled);
        return;
    }
    if (FComponent->parentWidget() != bar) {
        FComponent->setParent(bar);
        FComponent->show();
    }
    DrawText(FText, FDrawRect, FEnabled);
    TRect r = FDrawRect;
    const TRect textBox = FTextOptions->Bounds();
    if (FTextOptions->Alignment() == taLeftJustify) r.Left = textBox.Right + 2;
    else if (FTextOptions->Alignment() == taRightJustify) r.Right = textBox.Left - 2;
    r = r.Inflated(-FMargin, -FMargin);
    if (r.Width() > 0 && r.Height() > 0 && FComponent->geometry() != r.ToQRect()) {
        // Placed after the paint: moving a child inside a paint would paint again at once.
        QPointer<QWidget> control = FComponent;
        const QRect g = r.ToQRect();
        QMetaObject::invokeMethod(bar, [control, g] {
            if (control) control->setGeometry(g);
        }, Qt::QueuedConnection);
    }
}

void TqeStatusPanel::DrawGlyph()
{
    TqeCustomStatusBar* bar = GetStatusBar();
    TRect r = FDrawRect;
    TImageList* images = bar->Images();
    if (images && FImageIndex >= 0 && FImageIndex < images->Count()) {
        DrawImageListImage(images, FImageIndex, *FCanvas, r.Left + FMargin, r.Top + (r.Height() - images->Height()) / 2,
                           FEnabled);
        r.Left += images->Width() + 5;
    }
    DrawText(FText, r, FEnabled);
}

void TqeStatusPanel::DrawKeyState()
{
    FText.clear();
    TqeStatusBarText& texts = GetStatusBar()->StatusBarText();
    QString text;
    switch (FStyle) {
    case psOverWrite: text = texts.Overwrite(); break;
    case psCapsLock: text = texts.CapsLock(); break;
    case psNumLock: text = texts.NumLock(); break;
    default: text = texts.ScrollLock(); break;
    }
    const bool on = KeyToggled(LockKeyOf(FStyle));
    TqeCustomStatusBar* bar = GetStatusBar();
    if (bar->OnDrawKeyboardState) bar->OnDrawKeyboardState(bar, this, on, FDrawRect, text);
    DrawText(text, FDrawRect, on);
}

void TqeStatusPanel::DrawHint()
{
    if (FStyle == psHint || GetStatusBar()->PointerInForm())
        DrawText(Application() ? Application()->Hint() : QString(), FDrawRect, FEnabled);
}

void TqeStatusPanel::DrawUserName()
{
    // A name longer than the old 25-character buffer could take leaves the panel blank.
    const QString name = TqeCustomStatusBar::UserName();
    if (name.size() > 24) return;
    DrawText(name, FDrawRect, FEnabled);
}

void TqeStatusPanel::DrawComputerName()
{
    QString name = TqeCustomStatusBar::ComputerName();
    if (name.size() > 24) name.clear();
    DrawText(name, FDrawRect, FEnabled);
}

void TqeStatusPanel::DrawRichEditStatus()
{
    DrawText(QStringLiteral("Ln: %1, Col: %2").arg(FRichEditLine + 1).arg(FRichEditColumn + 1), FDrawRect, FEnabled);
}

bool TqeStatusPanel::CheckCaret()
{
    int line = 0, column = 0;
    if (auto* rich = qobject_cast<QTextEdit*>(FComponent.data())) {
        const QTextCursor c = rich->textCursor();
        line = c.blockNumber();
        column = c.positionInBlock();
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(FComponent.data())) {
        const QTextCursor c = plain->textCursor();
        line = c.blockNumber();
        column = c.positionInBlock();
    } else {
        return false;
    }
    if (line == FRichEditLine && column == FRichEditColumn) return false;
    FRichEditLine = line;
    FRichEditColumn = column;
    Repaint();
    return true;
}

void TqeStatusPanel::Click()
{
    if (OnClick) OnClick(this);
}

void TqeStatusPanel::DblClick()
{
    if (OnDblClick) OnDblClick(this);
    if (const int vk = LockKeyOf(FStyle)) {
        ToggleKey(vk);
        for (TqeCustomStatusBar* bar : Bars()) bar->Panels().RepaintStyle(FStyle);
    }
}

void TqeStatusPanel::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
    if (button == mbRight && FPopupMenu) FPopupMenu->popup(GetCursorPosition());
}

void TqeStatusPanel::MouseMove(TShiftState shift, int x, int y)
{
    if (OnMouseMove) OnMouseMove(this, shift, x, y);
    TqeCustomStatusBar* bar = GetStatusBar();
    if (FHint != bar->toolTip()) {
        QToolTip::hideText();
        bar->setToolTip(FHint);
    }
}

void TqeStatusPanel::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

// ---- TqeStatusPanels ----

std::unique_ptr<TqeCollectionItem> TqeStatusPanels::CreateItem() { return std::make_unique<TqeStatusPanel>(this); }

TqeStatusPanel* TqeStatusPanels::FindPanel(const QString& name) const
{
    for (int i = 0; i < Count(); ++i)
        if (GetItem(i)->Name() == name) return GetItem(i);
    return nullptr;
}

void TqeStatusPanels::RepaintStyle(TqeStatusPanelStyle style)
{
    for (int i = 0; i < Count(); ++i)
        if (GetItem(i)->Style() == style) GetItem(i)->Repaint();
}

void TqeStatusPanels::Update(TqeCollectionItem* item)
{
    if (item) static_cast<TqeStatusPanel*>(item)->Repaint();
    else FBar->UpdatePanels();
}

// ---- TqeCustomStatusBar ----

TqeCustomStatusBar::TqeCustomStatusBar(QWidget* parent) : QWidget(parent), FPanels(this), FStatusBarText(this)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setMouseTracking(true);
    resize(width(), 20);
    Bars().push_back(this);
    if (!LockKeyFilter && qApp) {
        LockKeyFilter = new TLockKeyFilter;
        qApp->installEventFilter(LockKeyFilter);
    }
    FDateTimeTimer.setInterval(1000);
    FHintTimer.setInterval(100);
    FCaretTimer.setInterval(100);
    connect(&FDateTimeTimer, &QTimer::timeout, this, [this] { TApplication::Guard([this] { DateTimeTick(); }); });
    connect(&FHintTimer, &QTimer::timeout, this, [this] { TApplication::Guard([this] { HintTick(); }); });
    connect(&FCaretTimer, &QTimer::timeout, this, [this] { TApplication::Guard([this] { CaretTick(); }); });
}

TqeCustomStatusBar::~TqeCustomStatusBar()
{
    FDateTimeTimer.stop();
    FHintTimer.stop();
    FCaretTimer.stop();
    SetImages(nullptr);
    auto& bars = Bars();
    bars.erase(std::remove(bars.begin(), bars.end(), this), bars.end());
    if (bars.empty() && LockKeyFilter) {
        if (qApp) qApp->removeEventFilter(LockKeyFilter);
        delete LockKeyFilter;
        LockKeyFilter = nullptr;
    }
}

const std::vector<TqeCustomStatusBar*>& TqeCustomStatusBar::AllBars() { return Bars(); }

void TqeCustomStatusBar::SetImages(TImageList* images)
{
    if (images == FImages) return;
    if (FImages) FImages->RemoveFreeListener(FImagesFreeKey);
    FImages = images;
    if (FImages) FImagesFreeKey = FImages->AddFreeListener([this] { FImages = nullptr; update(); });
    update();
}

void TqeCustomStatusBar::SetSimplePanel(bool value)
{
    if (value == FSimplePanel) return;
    FSimplePanel = value;
    update();
}

void TqeCustomStatusBar::SetSimpleText(const QString& text)
{
    if (text == FSimpleText) return;
    FSimpleText = text;
    if (FSimplePanel) update();
}

bool TqeCustomStatusBar::SizeGrip() const { return FSizeGrip && SizeableFormOf(this) != nullptr; }

void TqeCustomStatusBar::SetSizeGrip(bool value)
{
    if (value == FSizeGrip) return;
    FSizeGrip = value;
    update();
}

void TqeCustomStatusBar::SetColor(TColor color)
{
    if (color == FColor) return;
    FColor = color;
    update();
}

int TqeCustomStatusBar::GripAllowance() const
{
    return SizeGrip() ? std::min(23, GetSystemMetrics(SM_CXVSCROLL) + 1) : 0;
}

void TqeCustomStatusBar::UpdateTimers()
{
    bool dateTime = false, hint = false, caret = false;
    for (int i = 0; i < FPanels.Count(); ++i) {
        const TqeStatusPanel* p = FPanels[i];
        dateTime = dateTime || p->IsDateTimeStyle();
        hint = hint || p->IsHintStyle();
        caret = caret || p->Style() == psRichEditStatus;
    }
    auto run = [](QTimer& t, bool on) {
        if (on && !t.isActive()) t.start();
        else if (!on && t.isActive()) t.stop();
    };
    run(FDateTimeTimer, dateTime);
    run(FHintTimer, hint);
    run(FCaretTimer, caret);
}

void TqeCustomStatusBar::DateTimeTick()
{
    for (int i = 0; i < FPanels.Count(); ++i)
        if (FPanels[i]->IsDateTimeStyle()) FPanels[i]->Repaint();
}

void TqeCustomStatusBar::HintTick()
{
    const QString hint = Application() ? Application()->Hint() : QString();
    for (int i = 0; i < FPanels.Count(); ++i) {
        TqeStatusPanel* p = FPanels[i];
        if (p->Style() == psHint || (p->Style() == psHintContainerOnly && PointerInForm())) p->SetText(hint);
    }
}

void TqeCustomStatusBar::CaretTick()
{
    for (int i = 0; i < FPanels.Count(); ++i)
        if (FPanels[i]->Style() == psRichEditStatus) FPanels[i]->CheckCaret();
}

bool TqeCustomStatusBar::PointerInForm() const
{
    const QWidget* form = window();
    if (!form || form == this) return true;
    const QPoint pos = GetCursorPosition();
    if (auto* sub = [this]() -> QMdiSubWindow* {
            for (QWidget* w = parentWidget(); w; w = w->parentWidget())
                if (auto* s = qobject_cast<QMdiSubWindow*>(w)) return s;
            return nullptr;
        }()) {
        const QRect client(sub->mapToGlobal(QPoint(0, 0)), sub->size());
        return client.contains(pos);
    }
    return form->isActiveWindow() && form->frameGeometry().contains(pos);
}

void TqeCustomStatusBar::EnsureLayout() const
{
    if (FLayoutWidth != width()) const_cast<TqeCustomStatusBar*>(this)->Resize();
}

TRect TqeCustomStatusBar::PartRect(int index) const
{
    EnsureLayout();
    const int w = width(), h = height();
    if (FSimplePanel) return TRect(1, PartTop + 1, w - 1, h - 1);
    if (index < 0 || index >= int(FRights.size())) return TRect();
    const int left = index == 0 ? 0 : std::max(0, FRights[size_t(index) - 1]) + PartGap;
    const int right = FRights[size_t(index)] < 0 ? w : std::min(FRights[size_t(index)], w);
    if (right <= left) return TRect(left, PartTop + 1, left, h - 1);
    return TRect(left + 1, PartTop + 1, right - 1, h - 1);
}

void TqeCustomStatusBar::UpdatePanels()
{
    const int n = std::min(FPanels.Count(), 128);
    FRights.assign(size_t(std::max(n, 1)), -1);
    int edge = 0;
    for (int i = 0; i + 1 < n; ++i) {
        edge += FPanels[i]->PixelWidth();
        FRights[size_t(i)] = edge;
    }
    update();
}

void TqeCustomStatusBar::Resize()
{
    const int w = width();
    FLayoutWidth = w;
    if (OnResize) OnResize(this);
    if (w == 0) return;
    int used = 0;
    for (int i = 0; i < FPanels.Count(); ++i) {
        TqeStatusPanel* p = FPanels[i];
        p->FPixelWidth = std::min(w - used, p->FPercent ? -1 : p->FWidthValue);
        if (p->FPixelWidth != -1) used += p->FPixelWidth;
    }
    const int rest = w - used;
    for (int i = 0; i < FPanels.Count(); ++i) {
        TqeStatusPanel* p = FPanels[i];
        if (p->FPixelWidth == -1 && rest > 0) p->FPixelWidth = p->FWidthValue * rest / 100;
    }
    FResizing = true;
    UpdatePanels();
    FResizing = false;
}

void TqeCustomStatusBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Resize();
}

void TqeCustomStatusBar::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) update();
}

void TqeCustomStatusBar::DrawPanel(TqeStatusPanel* panel, TCanvas& canvas, const TRect& rect)
{
    panel->Draw(canvas, rect);
    if (OnDrawPanel) OnDrawPanel(this, panel, rect);
}

void TqeCustomStatusBar::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    TCanvas canvas(painter);
    canvas.Font = TFont(font(), clBtnText);
    canvas.Brush.Color = FColor;
    canvas.FillRect(TRect::FromQRect(event->rect()));
    const int grip = GripAllowance();
    EnsureLayout();
    if (FSimplePanel) {
        TRect r = PartRect(0);
        r.Left += 2;
        canvas.Brush.Style = bsClear;
        canvas.DrawText(FSimpleText, r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    } else {
        if (int(FRights.size()) != std::max(1, std::min(FPanels.Count(), 128))) UpdatePanels();
        const int n = std::min(FPanels.Count(), 128);
        for (int i = 0; i < n; ++i) {
            TqeStatusPanel* panel = FPanels[i];
            TRect r = PartRect(i);
            if (!event->rect().intersects(r.Inflated(1, 1).ToQRect())) continue;
            TRect frame = r.Inflated(1, 1);
            if (panel->Bevel() == pbLowered) DrawEdge(canvas, frame, BDR_SUNKENOUTER, BF_RECT);
            else if (panel->Bevel() == pbRaised) DrawEdge(canvas, frame, BDR_RAISEDINNER, BF_RECT);
            if (i == n - 1 && grip > 0) r.Right = std::max(r.Left, r.Right - grip);
            if (r.Width() < 1) continue;
            // Each panel draws off-screen and is copied in one step.
            QImage image(r.Width(), r.Height(), QImage::Format_RGB32);
            {
                TCanvas off(&image);
                off.Font = canvas.Font;
                off.Painter().translate(-r.Left, -r.Top);
                off.SetClipRect(r);
                DrawPanel(panel, off, r);
            }
            painter.drawImage(r.Left, r.Top, image);
        }
    }
    if (grip > 0) {
        const TRect g(width() - grip, height() - grip, width(), height());
        DrawFrameControl(canvas, g, DFC_SCROLL, DFCS_SCROLLSIZEGRIP);
    }
}

TqeStatusPanel* TqeCustomStatusBar::GetPanelAt(int x, int y) const
{
    if (x == -1 && y == -1) {
        const QPoint p = mapFromGlobal(GetCursorPosition());
        x = p.x();
        y = p.y();
    }
    if (FSimplePanel) return nullptr;
    EnsureLayout();
    for (int i = 0; i < std::min(FPanels.Count(), 128); ++i)
        if (PartRect(i).Inflated(1, 1).Contains(x, y)) return FPanels[i];
    return nullptr;
}

void TqeCustomStatusBar::mousePressEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    const int grip = GripAllowance();
    if (event->button() == Qt::LeftButton && grip > 0 && p.x() >= width() - grip && p.y() >= height() - grip) {
        FGripWindow = SizeableFormOf(this);
        if (FGripWindow) {
            FGripDrag = true;
            FGripStart = event->globalPosition().toPoint();
            FGripStartSize = FGripWindow->size();
            return;
        }
    }
    const TShiftState shift = ShiftStateFromModifiers(event->modifiers(), event->buttons());
    FPressedPanel = GetPanelAt(p.x(), p.y());
    if (FPressedPanel) FPressedPanel->MouseDown(ButtonOf(event->button()), shift, p.x(), p.y());
    if (OnMouseDown) OnMouseDown(this, ButtonOf(event->button()), shift, p.x(), p.y());
}

void TqeCustomStatusBar::mouseMoveEvent(QMouseEvent* event)
{
    if (FGripDrag && FGripWindow) {
        const QPoint d = event->globalPosition().toPoint() - FGripStart;
        FGripWindow->resize(FGripStartSize + QSize(d.x(), d.y()));
        return;
    }
    const QPoint p = event->position().toPoint();
    const int grip = GripAllowance();
    setCursor(grip > 0 && p.x() >= width() - grip && p.y() >= height() - grip ? Qt::SizeFDiagCursor : Qt::ArrowCursor);
    const TShiftState shift = ShiftStateFromModifiers(event->modifiers(), event->buttons());
    if (TqeStatusPanel* panel = GetPanelAt(p.x(), p.y())) panel->MouseMove(shift, p.x(), p.y());
    if (OnMouseMove) OnMouseMove(this, shift, p.x(), p.y());
}

void TqeCustomStatusBar::mouseReleaseEvent(QMouseEvent* event)
{
    if (FGripDrag) {
        FGripDrag = false;
        return;
    }
    const QPoint p = event->position().toPoint();
    const TShiftState shift = ShiftStateFromModifiers(event->modifiers(), event->buttons());
    TqeStatusPanel* panel = GetPanelAt(p.x(), p.y());
    if (panel) panel->MouseUp(ButtonOf(event->button()), shift, p.x(), p.y());
    if (OnMouseUp) OnMouseUp(this, ButtonOf(event->button()), shift, p.x(), p.y());
    if (event->button() == Qt::LeftButton && rect().contains(p)) {
        if (panel && panel == FPressedPanel) panel->Click();
        if (OnClick) OnClick(this);
    }
    FPressedPanel = nullptr;
}

void TqeCustomStatusBar::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        if (TqeStatusPanel* panel = GetPanelAt(p.x(), p.y())) panel->DblClick();
        if (OnDblClick) OnDblClick(this);
    }
}
