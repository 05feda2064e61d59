#pragma once
// The splitter bar: dragging it resizes the control on its one side (ControlFirst). A bar
// wider than high resizes heights, otherwise widths. The new size applies when the mouse is
// released; Escape cancels the drag.

#include <QPointer>
#include <QWidget>
#include <functional>

class TVzSplitter : public QWidget {
    Q_OBJECT
public:
    explicit TVzSplitter(QWidget* parent = nullptr);
    QWidget* ControlFirst() const { return FControlFirst; }
    void SetControlFirst(QWidget* control) { FControlFirst = control; }
    QWidget* ControlSecond() const { return FControlSecond; }
    void SetControlSecond(QWidget* control) { FControlSecond = control; }
    int MinSize = 1;
    std::function<void(QObject*)> OnPosChanged;
    bool Dragging() const { return FDragging; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool Horizontal() const { return width() >= height(); }
    QPointer<QWidget> FControlFirst;
    QPointer<QWidget> FControlSecond;
    bool FDragging = false;
    QPoint FStart;
    int FDelta = 0;
};
