#pragma once
// The lookup combo with an ellipsis button that opens the modal lookup form over its lookup
// table instead of dropping down its grid; on OK the chosen record's key goes into the bound
// field. Everything else (data link, key values, display text, typing and searching) is the
// lookup combo's.

#include "gridlib/dialogs/kqlookupdlg.h"
#include "gridlib/editors/kqdblook.h"

class TkqDBLookupComboDlg : public TkqDBCustomLookupCombo {
    Q_OBJECT
    Q_PROPERTY(QString Caption MEMBER Caption)
    Q_PROPERTY(int MaxWidth MEMBER MaxWidth)
    Q_PROPERTY(int MaxHeight MEMBER MaxHeight)
    Q_PROPERTY(QStringList ControlType READ ControlType WRITE SetControlType)
    Q_PROPERTY(QStringList PictureMasks READ PictureMasks WRITE SetPictureMasks)
    Q_PROPERTY(bool ControlInfoInDataset MEMBER ControlInfoInDataset)
    Q_PROPERTY(bool PictureMaskFromDataSet MEMBER PictureMaskFromDataset)
    Q_PROPERTY(bool PictureMaskFromField MEMBER PictureMaskFromField)

public:
    explicit TkqDBLookupComboDlg(QWidget* parent = nullptr);

    TkqDBLookupDlgOptions Options = DefaultLookupDlgOptions;
    TkqDBGridOptions GridOptions = DefaultLookupDlgGridOptions;
    TColor GridColor = TColor(0xFFFFFF);
    TAlignment GridTitleAlignment = taLeftJustify;
    QString Caption = QStringLiteral("Lookup");
    int MaxWidth = 0;
    int MaxHeight = 209;
    QString UserButton1Caption, UserButton2Caption;
    TkqUserButtonEvent OnUserButton1Click, OnUserButton2Click;
    TkqOnInitDialogEvent OnInitDialog, OnCloseDialog;
    std::function<void(QObject*)> OnSortChange;
    bool PictureMaskFromField = false;
    bool ControlInfoInDataset = true;
    bool PictureMaskFromDataset = true;
    QStringList ControlType() const { return FControlType; }
    void SetControlType(const QStringList& lines) { FControlType = lines; }
    QStringList PictureMasks() const { return FPictureMasks; }
    void SetPictureMasks(const QStringList& lines) { FPictureMasks = lines; }
    // Called with the form once it is shown.
    std::function<void(TkqLookupDlg*)> OnShown;

    void DropDown() override;
    bool ExtraKeysAlwaysCurrent() const override { return true; }

private:
    // Runs the form; true on OK.
    bool RunLookupForm(const QString& initialSearchText);

    QStringList FControlType, FPictureMasks;
};
