#include "gridlib/dialogs/kqdbnav.h"

#include "gridlib/core/Kqintl.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

namespace {

// The glyph of a style, drawn in the button's text colour (grey when disabled).
QIcon StyleIcon(TkqNavButtonStyle style)
{
    QIcon icon;
    for (const bool enabled : {true, false}) {
        QPixmap pm(18, 18);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor ink = enabled ? QColor(Qt::black) : QColor(Qt::gray);
        p.setPen(QPen(ink, 1.5));
        p.setBrush(ink);
        auto triangle = [&](double x, bool right) {
            QPainterPath t;
            t.moveTo(right ? x : x + 5, 4);
            t.lineTo(right ? x + 5 : x, 9);
            t.lineTo(right ? x : x + 5, 14);
            t.closeSubpath();
            p.drawPath(t);
        };
        switch (style) {
        case nbsFirst: p.drawLine(QPointF(5, 4), QPointF(5, 14)); triangle(7, false); break;
        case nbsPrior: triangle(6, false); break;
        case nbsNext: triangle(7, true); break;
        case nbsLast: triangle(6, true); p.drawLine(QPointF(13, 4), QPointF(13, 14)); break;
        case nbsPriorPage: triangle(3, false); triangle(9, false); break;
        case nbsNextPage: triangle(3, true); triangle(9, true); break;
        case nbsInsert: p.drawLine(QPointF(4, 9), QPointF(14, 9)); p.drawLine(QPointF(9, 4), QPointF(9, 14)); break;
        case nbsDelete: p.drawLine(QPointF(4, 9), QPointF(14, 9)); break;
        case nbsEdit: {
            QPainterPath t;
            t.moveTo(4, 13);
            t.lineTo(9, 5);
            t.lineTo(14, 13);
            t.closeSubpath();
            p.drawPath(t);
            break;
        }
        case nbsPost: p.setBrush(Qt::NoBrush); p.drawPolyline(QPolygonF({{4, 9}, {8, 13}, {14, 5}})); break;
        case nbsCancel: p.drawLine(QPointF(5, 5), QPointF(13, 13)); p.drawLine(QPointF(13, 5), QPointF(5, 13)); break;
        case nbsRefresh: p.setBrush(Qt::NoBrush); p.drawArc(QRectF(4, 4, 10, 10), 30 * 16, 300 * 16); break;
        default: p.setBrush(Qt::NoBrush); p.drawRect(QRectF(4, 4, 10, 10)); break;
        }
        p.end();
        icon.addPixmap(pm, enabled ? QIcon::Normal : QIcon::Disabled);
    }
    return icon;
}

} // namespace

class TkqDBNavigator::TNavDataLink : public TDataLink {
public:
    explicit TNavDataLink(TkqDBNavigator* navigator) : FNavigator(navigator) {}

protected:
    void ActiveChanged() override { FNavigator->UpdateStates(); }
    void DataSetChanged() override { FNavigator->UpdateStates(); }
    void DataSetScrolled(int) override { FNavigator->UpdateStates(); }
    void EditingChanged() override { FNavigator->UpdateStates(); }

private:
    TkqDBNavigator* FNavigator;
};

// ---------------------------------------------------------------------------------------------

TkqNavButton::TkqNavButton(TkqDBNavigator* navigator, TkqNavButtonStyle style)
    : QToolButton(navigator), FNavigator(navigator), FStyle(style)
{
    setIcon(StyleIcon(style));
    SetHint(TkqDBNavigator::DefaultHint(style));
    setFocusPolicy(Qt::NoFocus);
    const bool repeats = style == nbsFirst || style == nbsPrior || style == nbsNext || style == nbsLast ||
                         style == nbsPriorPage || style == nbsNextPage;
    setAutoRepeat(repeats);
    connect(this, &QToolButton::clicked, this, [this] { TApplication::Guard([this] { Click(); }); });
}

void TkqNavButton::SetHint(const QString& hint)
{
    FHint = hint;
    setToolTip(FNavigator->ShowHint() ? hint : QString());
}

void TkqNavButton::Click()
{
    if (OnClick) {
        try {
            OnClick(this);
        } catch (const EAbort&) {
            return;
        }
    }
    FNavigator->DoAction(FStyle);
}

// ---------------------------------------------------------------------------------------------

TkqDBNavigator::TkqDBNavigator(QWidget* parent)
    : QWidget(parent), FDataLink(std::make_unique<TNavDataLink>(this)), FLayout(new QHBoxLayout(this)),
      FOptions({noConfirmDelete})
{
    FLayout->setContentsMargins(0, 0, 0, 0);
    FLayout->setSpacing(0);
    SetVisibleButtons({nbsFirst, nbsPrior, nbsNext, nbsLast, nbsInsert, nbsDelete, nbsEdit, nbsPost, nbsCancel, nbsRefresh});
}

TkqDBNavigator::~TkqDBNavigator() { FDataLink->SetDataSource(nullptr); }

TDataSource* TkqDBNavigator::DataSource() const { return FDataLink->DataSource(); }

void TkqDBNavigator::SetDataSource(TDataSource* source)
{
    FDataLink->SetDataSource(source);
    FSavedBookmark = TBookmark();
    UpdateStates();
}

TDataSet* TkqDBNavigator::DataSet() const { return FDataLink->DataSet(); }

QString TkqDBNavigator::DefaultHint(TkqNavButtonStyle style)
{
    const TkqDBNavigatorIntlHints* h = KqIntl()->Navigator->Hints;
    switch (style) {
    case nbsFirst: return h->FirstHint;
    case nbsPrior: return h->PriorHint;
    case nbsNext: return h->NextHint;
    case nbsLast: return h->LastHint;
    case nbsInsert: return h->InsertHint;
    case nbsDelete: return h->DeleteHint;
    case nbsEdit: return h->EditHint;
    case nbsPost: return h->PostHint;
    case nbsCancel: return h->CancelHint;
    case nbsRefresh: return h->RefreshHint;
    case nbsPriorPage: return h->PriorPageHint;
    case nbsNextPage: return h->NextPageHint;
    case nbsSaveBookmark: return h->SaveBookmarkHint;
    case nbsRestoreBookmark: return h->RestoreBookmarkHint;
    case nbsFilterDialog: return h->FilterDialogHint;
    case nbsRecordViewDialog: return h->RecordViewDialogHint;
    case nbsLocateDialog: return h->LocateDialogHint;
    case nbsSearchDialog: return h->SearchDialogHint;
    case nbsCustom: break;
    }
    return {};
}

void TkqDBNavigator::SetVisibleButtons(TkqNavButtonStyles styles)
{
    for (TkqNavButton* b : FButtons) {
        FLayout->removeWidget(b);
        delete b;
    }
    FButtons.clear();
    FVisible = styles;
    for (int s = nbsFirst; s <= nbsCustom; ++s) {
        const auto style = TkqNavButtonStyle(s);
        if (!styles.Contains(style)) continue;
        auto* b = new TkqNavButton(this, style);
        b->setAutoRaise(FFlat);
        b->setFixedSize(FButtonSide, FButtonSide);
        b->setAutoRepeatDelay(FRepeat.InitialDelay);
        b->setAutoRepeatInterval(FRepeat.Interval);
        if (style == nbsPriorPage || style == nbsNextPage) b->SetHint(Format(b->Hint(), {FMoveBy}));
        FLayout->addWidget(b);
        FButtons.push_back(b);
    }
    FLayout->addStretch();
    UpdateStates();
}

TkqNavButton* TkqDBNavigator::Buttons(int index) const
{
    if (index < 0 || index >= int(FButtons.size()))
        throw EInvalidOperation(QStringLiteral("Index of Buttons[] out of range"));
    return FButtons[size_t(index)];
}

TkqNavButton* TkqDBNavigator::Button(TkqNavButtonStyle style) const
{
    for (TkqNavButton* b : FButtons)
        if (b->Style() == style) return b;
    return nullptr;
}

void TkqDBNavigator::SetFlat(bool flat)
{
    FFlat = flat;
    for (TkqNavButton* b : FButtons) b->setAutoRaise(flat);
}

void TkqDBNavigator::SetShowHint(bool show)
{
    FShowHint = show;
    for (TkqNavButton* b : FButtons) b->SetHint(b->Hint());
}

void TkqDBNavigator::SetRepeatInterval(const TkqNavRepeatInterval& interval)
{
    FRepeat = interval;
    for (TkqNavButton* b : FButtons) {
        b->setAutoRepeatDelay(interval.InitialDelay);
        b->setAutoRepeatInterval(interval.Interval);
    }
}

void TkqDBNavigator::SetButtonSize(int side)
{
    FButtonSide = side;
    for (TkqNavButton* b : FButtons) b->setFixedSize(side, side);
}

void TkqDBNavigator::UpdateStates()
{
    TDataSet* ds = DataSet();
    const bool active = FDataLink->Active() && isEnabled() && ds;
    const bool bof = !active || ds->Bof();
    const bool eof = !active || ds->Eof();
    const bool canModify = active && ds->CanModify();
    const bool editing = active && FDataLink->Editing();
    for (TkqNavButton* b : FButtons) {
        bool enabled = false;
        switch (b->Style()) {
        case nbsFirst: case nbsPrior: case nbsPriorPage: enabled = active && !bof; break;
        case nbsNext: case nbsLast: case nbsNextPage: enabled = active && !eof; break;
        case nbsInsert: case nbsRefresh: enabled = canModify; break;
        case nbsDelete: enabled = canModify && !(bof && eof); break;
        case nbsEdit: enabled = canModify && !editing; break;
        case nbsPost: case nbsCancel: enabled = canModify && editing; break;
        case nbsSaveBookmark: enabled = active; break;
        case nbsRestoreBookmark: enabled = active && !FSavedBookmark.IsNull() && ds->BookmarkValid(FSavedBookmark); break;
        case nbsCustom: continue;
        default: enabled = active; break;
        }
        b->setEnabled(enabled);
    }
}

void TkqDBNavigator::DoAction(TkqNavButtonStyle style)
{
    TDataSet* ds = DataSet();
    if (!DataSource()) throw EInvalidOperation(QStringLiteral("Error, DataSource not assigned"));
    if (!ds) throw EInvalidOperation(QStringLiteral("Error, DataSource has no DataSet"));
    switch (style) {
    case nbsFirst: ds->First(); break;
    case nbsPrior: ds->Prior(); break;
    case nbsNext: ds->Next(); break;
    case nbsLast: ds->Last(); break;
    case nbsPriorPage: ds->MoveBy(-qAbs(FMoveBy)); break;
    case nbsNextPage: ds->MoveBy(qAbs(FMoveBy)); break;
    case nbsInsert: ds->Insert(); break;
    case nbsDelete:
        if (FOptions.Contains(noConfirmDelete) &&
            MessageDlg(KqIntl()->Navigator->ConfirmDeleteMessage, mtConfirmation, mbOKCancel) != mrOk)
            return;
        ds->Delete();
        break;
    case nbsEdit: ds->Edit(); break;
    case nbsPost: ds->Post(); break;
    case nbsCancel: ds->Cancel(); break;
    case nbsRefresh: ds->Refresh(); break;
    case nbsSaveBookmark: FSavedBookmark = ds->GetBookmark(); break;
    case nbsRestoreBookmark:
        try {
            ds->GotoBookmark(FSavedBookmark);
        } catch (const std::exception&) {
            FSavedBookmark = TBookmark();
        }
        break;
    default: break;
    }
    UpdateStates();
}
