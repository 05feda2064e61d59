#pragma once
// The effect label: a caption drawn by an effect text (its TextOptions: outline, shadow,
// extrusion, rotation...), sized to its text unless AutoSize is off, transparent on request,
// moving the focus to FocusControl on its accelerator key, and, in its data-aware form, showing
// the value of a dataset field.

#include "platform/data/DB.h"
#include "treestatus/qetext.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class QShortcut;

class TqeCustomLabel : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
    Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)

public:
    explicit TqeCustomLabel(QWidget* parent = nullptr);
    ~TqeCustomLabel() override;

    QString Caption() const { return FCaption; }
    void SetCaption(const QString& caption);
    // The colour of the text's face (the font colour).
    TColor FontColor() const { return FFont.Color; }
    void SetFontColor(TColor color);
    TColor Color() const { return FColor; }
    void SetColor(TColor color);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);
    bool AutoSize() const { return FAutoSize; }
    virtual void SetAutoSize(bool value);
    QWidget* FocusControl() const { return FFocusControl; }
    void SetFocusControl(QWidget* control);
    TqeCaptionText& TextOptions() { return *FTextOptions; }
    const TqeCaptionText& TextOptions() const { return *FTextOptions; }

    std::function<void(QObject* sender)> OnMouseEnter;
    std::function<void(QObject* sender)> OnMouseLeave;
    std::function<void(QObject* sender)> OnClick;

    QSize sizeHint() const override;

protected:
    virtual QString GetLabelText() const { return FCaption; }
    virtual void DoMouseEnter();
    virtual void DoMouseLeave();
    virtual bool GetTextEnabled() const { return isEnabled(); }
    virtual void AdjustBounds();
    // The accelerator key arrived: the focus goes to FocusControl when it can take it.
    bool DialogChar();

    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void UpdateShortcut();
    // The text measured with the label's font, without a draw.
    TRect MeasureText();

    QString FCaption;
    TFont FFont;
    TColor FColor = clBtnFace;
    bool FTransparent = false;
    bool FAutoSize = true;
    QPointer<QWidget> FFocusControl;
    QShortcut* FShortcut = nullptr;
    std::unique_ptr<TqeCaptionText> FTextOptions;
    QSize FTextSize;
};

class TqeDBCustomLabel : public TqeCustomLabel {
    Q_OBJECT
public:
    explicit TqeDBCustomLabel(QWidget* parent = nullptr);
    ~TqeDBCustomLabel() override;

    TDataSource* DataSource() const { return FDataLink->DataSource(); }
    void SetDataSource(TDataSource* source);
    QString DataField() const { return FDataLink->FieldName(); }
    void SetDataField(const QString& name) { FDataLink->SetFieldName(name); }
    TField* Field() const { return FDataLink->Field(); }
    TFieldDataLink* DataLink() const { return FDataLink.get(); }

protected:
    // The caption, or the field's text while the label has a field.
    QString FieldText() const;

private:
    void DataChange();
    std::unique_ptr<TFieldDataLink> FDataLink;
};

class TqeLabel : public TqeDBCustomLabel {
    Q_OBJECT
public:
    explicit TqeLabel(QWidget* parent = nullptr) : TqeDBCustomLabel(parent) {}
};
