#pragma once
// The speed button: a flat button with a glyph and a caption that can latch down in a group
// (Down) and, with DropDownMenu, drops that menu down below itself when pressed.

#include <QMenu>
#include <QPixmap>
#include <QPointer>
#include <QToolButton>
#include <functional>

class TVzSpeedButton : public QToolButton {
    Q_OBJECT
    Q_PROPERTY(bool Down READ Down WRITE SetDown)

public:
    explicit TVzSpeedButton(QWidget* parent = nullptr);

    QString Caption() const { return text(); }
    void SetCaption(const QString& caption) { setText(caption); }
    // The glyph the program assigned.
    QPixmap GetGlyph() const { return FGlyph; }
    QPixmap Glyph() const { return FGlyph; }
    void SetGlyph(const QPixmap& glyph);
    QMenu* DropDownMenu() const { return FDropDownMenu; }
    void SetDropDownMenu(QMenu* menu) { FDropDownMenu = menu; }
    // A non-zero group lets the button latch down; AllowAllUp lets the last one up again.
    int GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int index);
    bool AllowAllUp = false;
    bool Down() const { return isChecked(); }
    void SetDown(bool down) { setChecked(down); }
    bool Flat() const { return autoRaise(); }
    void SetFlat(bool flat) { setAutoRaise(flat); }
    bool GrayedInactive = true;

    std::function<void(QObject*)> OnClick;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void nextCheckState() override;

private:
    QPixmap FGlyph;
    QPointer<QMenu> FDropDownMenu;
    int FGroupIndex = 0;
};
