#include "app/ChildForm.h"

#include "platform/vcl/Forms.h"

#include <QApplication>
#include <QCloseEvent>
#include <QShowEvent>
#include <QDialog>
#include <QMdiArea>
#include <QMdiSubWindow>

namespace {
TChildHost* GChildHost = nullptr;

QList<TMDIChildForm*>& Registry()
{
    static QList<TMDIChildForm*> list;
    return list;
}
} // namespace

void SetChildHost(TChildHost* host) { GChildHost = host; }

TChildHost* ChildHost() { return GChildHost; }

bool TFirstShow::Take(const QShowEvent* event)
{
    if (FDone || event->spontaneous()) return false;
    FDone = true;
    return true;
}

TMDIChildForm::TMDIChildForm(QWidget* parent) : QWidget(parent) { Registry().append(this); }

TMDIChildForm::~TMDIChildForm() { Registry().removeAll(this); }

QList<TMDIChildForm*> TMDIChildForm::Instances() { return Registry(); }

void TMDIChildForm::SetFormSize(int width, int height)
{
    FFormSize = QSize(width, height);
    if (FSubWindow || isVisible()) OuterWindow()->resize(FFormSize);
}

void TMDIChildForm::ShowChild()
{
    QMdiArea* area = GChildHost ? GChildHost->ChildArea() : nullptr;
    if (!area) {
        setAttribute(Qt::WA_DeleteOnClose);
        resize(FFormSize);
        show();
        return;
    }
    FSubWindow = area->addSubWindow(this);
    FSubWindow->setAttribute(Qt::WA_DeleteOnClose);
    connect(area, &QMdiArea::subWindowActivated, this, &TMDIChildForm::ActiveChildChanged);
    FSubWindow->resize(FFormSize);
    FSubWindow->show();
    // Placed where the area had room, but never hanging out of it: what does not fit moves
    // towards the top left corner.
    const QRect room = area->viewport()->rect();
    QRect place = FSubWindow->geometry();
    if (place.right() > room.right()) place.moveLeft(qMax(0, room.right() + 1 - place.width()));
    if (place.bottom() > room.bottom()) place.moveTop(qMax(0, room.bottom() + 1 - place.height()));
    if (place.topLeft() != FSubWindow->pos()) FSubWindow->move(place.topLeft());
    // A new child comes to the front, as it always did, also while the frame is not the
    // active window (the area only activates children of an active frame by itself).
    if (area->activeSubWindow() != FSubWindow) area->setActiveSubWindow(FSubWindow);
}

void TMDIChildForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (FFirstShow.Take(event)) TApplication::Guard([this] { FormShow(); });
}

QWidget* TMDIChildForm::OuterWindow()
{
    if (FSubWindow) return FSubWindow;
    return this;
}

bool TMDIChildForm::CloseChild()
{
    if (FSubWindow) return FSubWindow->close();
    return close();
}

void TMDIChildForm::ActiveChildChanged(QMdiSubWindow* active)
{
    if (FClosed) return;
    const bool nowActive = active && active == FSubWindow;
    if (nowActive == FActive) return;
    FActive = nowActive;
    if (nowActive)
        FormActivate();
    else
        FormDeactivate();
}

void TMDIChildForm::closeEvent(QCloseEvent* event)
{
    const bool answered = FCloseAnswered;
    FCloseAnswered = false;
    if (!answered && !CloseQuery()) {
        event->ignore();
        return;
    }
    event->accept();
    FClosed = true;
    if (FActive) {
        FActive = false;
        FormDeactivate();
    }
    FormClose();
}

QList<QWidget*> OpenForms()
{
    QList<QWidget*> forms;
    auto add = [&forms](QWidget* w) {
        if (w && !forms.contains(w)) forms.append(w);
    };
    if (QWidget* modal = QApplication::activeModalWidget()) add(modal);
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QDialog*>(w) && w->isVisible()) add(w);
    QWidget* frame = GChildHost ? GChildHost->HostWindow() : nullptr;
    if (frame) {
        QList<QMdiSubWindow*> subs = GChildHost->ChildArea()->subWindowList(QMdiArea::StackingOrder);
        for (auto it = subs.crbegin(); it != subs.crend(); ++it) {
            auto* child = qobject_cast<TMDIChildForm*>((*it)->widget());
            if (child && !child->IsClosed()) add(child);
        }
    }
    for (TMDIChildForm* child : Registry())
        if (!child->IsClosed()) add(child);
    if (frame) add(frame);
    return forms;
}

QString OwnCaption(const QWidget* form)
{
    if (!form) return QString();
    if (GChildHost && form == GChildHost->HostWindow()) return GChildHost->HostCaption();
    return form->windowTitle();
}

bool ActivateWindowByCaption(const QString& caption)
{
    for (QWidget* form : OpenForms()) {
        if (OwnCaption(form) != caption) continue;
        auto* child = qobject_cast<TMDIChildForm*>(form);
        if (child && child->SubWindow()) {
            QMdiSubWindow* sub = child->SubWindow();
            if (sub->isMinimized()) sub->showNormal();
            if (QMdiArea* area = sub->mdiArea()) area->setActiveSubWindow(sub);
            sub->raise();
        } else {
            if (form->isMinimized()) form->showNormal();
            form->raise();
            form->activateWindow();
        }
        return true;
    }
    return false;
}
