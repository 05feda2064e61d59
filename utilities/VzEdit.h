#pragma once
// The single-line edit the utility library's edits build on: it draws its own sunken frame,
// keeps at least the height its font needs, and keeps typed text clear of the parts a
// descendant places at its edge (a browse button, spin buttons).

#include <QLineEdit>

class TVzFramedEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TVzFramedEdit(QWidget* parent = nullptr);

    // The font's character height plus four border heights and one.
    virtual int MinimumHeight() const;
    // Where the text goes: inside the frame and clear of the edge parts.
    virtual QRect EditRect() const;
    QSize sizeHint() const override;

protected:
    // Places the edge parts after a size, font or direction change.
    virtual void PlaceParts() {}
    void UpdateEditRect();

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
};
