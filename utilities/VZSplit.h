#pragma once
// The splitter: a thin panel between two aligned controls of one parent that resizes one of
// them when the user drags it. While dragging, an inverted line on the form shows where the
// edge will go; the size changes when the mouse is released, Escape cancels. Which control
// changes and in which direction follows from the alignments (ControlAlign) of the two
// controls and of the splitter itself.

#include "platform/vcl/Canvas.h"
#include "platform/vcl/Controls.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class TVzSplitter : public QWidget {
    Q_OBJECT

public:
    explicit TVzSplitter(QWidget* parent = nullptr);
    ~TVzSplitter() override;

    QWidget* ControlFirst() const { return FControlFirst; }
    // The splitter itself and forms are refused (the control becomes none).
    void SetControlFirst(QWidget* control);
    QWidget* ControlSecond() const { return FControlSecond; }
    void SetControlSecond(QWidget* control);
    TAlign Align() const { return ControlAlign(this); }
    // From no alignment to top or bottom (left or right) the splitter becomes 3 pixels thick;
    // without controls it takes the sibling next to it on that side as ControlFirst.
    void SetAlign(TAlign value);
    int TopLeftLimit = 20;
    int BottomRightLimit = 20;
    // What older forms stored: both limits at once.
    void SetLimitOffset(int value) { TopLeftLimit = BottomRightLimit = value; }

    // 1: the first control's height, 2: the second's, 3: the first's width, 4: the second's;
    // 0: nothing to resize.
    int SplitKind() const;
    bool Horizontal() const { return SplitKind() == 1 || SplitKind() == 2; }
    Qt::CursorShape SplitCursor() const;
    bool Sizing() const { return FSizing; }
    // The screen point of the line as last drawn.
    QPoint LinePoint() const { return FLastLine; }
    // The limits of the dragged splitter in its own client coordinates.
    TRect LimitRect() const { return FLimitRect; }
    // Ends a drag as Escape does.
    void CancelSizing();

    std::function<void(QObject*)> OnPosChanged;
    std::function<void(QObject*, int x, int y, bool& allowChange)> OnPosChanging;

protected:
    virtual void DoPosChanged();
    virtual void DoPosChanging(int x, int y, bool& allowChange);
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void UpdateCursor();
    void ClampToLimits(int& x, int& y) const;
    void DrawLine(const QPoint& splitterPoint, bool first);
    void EraseLine();
    void StopSizing(int x, int y, bool apply);
    void ApplySize(int x, int y);
    QPointer<QWidget> FControlFirst;
    QPointer<QWidget> FControlSecond;
    bool FSizing = false;
    int FKind = 0;
    QPoint FOffset;
    QPoint FLastLine;
    bool FNoDrop = false;
    TRect FLimitRect;
    QPointer<QWidget> FOverlay;
    int FLineWidth = 2;
};
