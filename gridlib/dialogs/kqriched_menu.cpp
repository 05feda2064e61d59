#include "gridlib/dialogs/kqriched.h"

#include "gridlib/core/Kqintl.h"
#include "gridlib/core/kqcommon.h"
#include "gridlib/dialogs/kqrchdlg.h"
#include "gridlib/dialogs/kqrichtb.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Menus.h"

#include <QApplication>
#include <QContextMenuEvent>

namespace {

// The default menu's items, in their order; separators have no option.
struct TPopupItemSpec {
    const char* Name;
    int Option;   // a TkqRichEditPopupOption, or -1 for a separator
};
constexpr TPopupItemSpec PopupItems[] = {
    {"PopupEdit", rpoPopupEdit},          {"PopupN1", -1},
    {"PopupCut", rpoPopupCut},            {"PopupCopy", rpoPopupCopy},
    {"PopupPaste", rpoPopupPaste},        {"PopupN2", -1},
    {"PopupBold", rpoPopupBold},          {"PopupItalic", rpoPopupItalic},
    {"PopupUnderline", rpoPopupUnderline}, {"PopupN3", -1},
    {"PopupFont", rpoPopupFont},          {"PopupBullet", rpoPopupBullet},
    {"PopupParagraph", rpoPopupParagraph}, {"PopupTabs", rpoPopupTabs},
    {"PopupN4", -1},                      {"PopupFind", rpoPopupFind},
    {"PopupReplace", rpoPopupReplace},    {"PopupN5", -1},
    {"PopupInsertObject", rpoPopupInsertObject}, {"PopupSpellCheck", rpoPopupMSWordSpellCheck}};

QString NoObjectsReason()
{
    return QStringLiteral("Embedded objects need object linking, which this system does not have");
}

} // namespace

void TkqCustomRichEdit::CreatePopupMenu()
{
    if (FDefaultPopup) return;
    FDefaultPopup = new TPopupMenu(this);
    FDefaultPopup->setObjectName(QStringLiteral("kqRichEditPopup"));
    FDefaultPopup->OnPopup = [this](QObject*) { PopupMenuOpening(); };
    for (const TPopupItemSpec& spec : PopupItems) {
        auto* item = new TMenuItem(FDefaultPopup);
        item->setObjectName(QLatin1String(spec.Name));
        if (spec.Option < 0) item->Caption = QStringLiteral("-");
        FDefaultPopup->Items()->Add(item);
    }
    auto on = [this](const char* name, std::function<void()> fn) {
        PopupItem(QLatin1String(name))->OnClick = [fn](QObject*) { fn(); };
    };
    on("PopupEdit", [this] { Execute(); });
    on("PopupCut", [this] { CutToClipboard(); });
    on("PopupCopy", [this] { CopyToClipboard(); });
    on("PopupPaste", [this] { PasteFromClipboard(); });
    on("PopupBold", [this] {
        TMenuItem* item = PopupItem(QStringLiteral("PopupBold"));
        item->SetChecked(!item->Checked());
        SetSelBold(item->Checked());
    });
    on("PopupItalic", [this] {
        TMenuItem* item = PopupItem(QStringLiteral("PopupItalic"));
        item->SetChecked(!item->Checked());
        SetSelItalic(item->Checked());
    });
    on("PopupUnderline", [this] {
        TMenuItem* item = PopupItem(QStringLiteral("PopupUnderline"));
        item->SetChecked(!item->Checked());
        SetSelUnderline(item->Checked());
    });
    on("PopupFont", [this] { FontDialog(); });
    on("PopupBullet", [this] {
        TMenuItem* item = PopupItem(QStringLiteral("PopupBullet"));
        item->SetChecked(!item->Checked());
        SetBullets(item->Checked());
    });
    on("PopupParagraph", [this] { ParagraphDialog(); });
    on("PopupTabs", [this] { TabsDialog(); });
    on("PopupFind", [this] { FindDialog(); });
    on("PopupReplace", [this] { ReplaceDialog(); });
    on("PopupInsertObject", [this] { InsertObjectDialog(); });
    on("PopupSpellCheck", [this] { SpellCheck(); });
    ReadPopupCaptions();
    if (!FPopupMenu) FPopupMenu = FDefaultPopup;
}

TMenuItem* TkqCustomRichEdit::PopupItem(const QString& name) const
{
    return FDefaultPopup ? FDefaultPopup->findChild<TMenuItem*>(name) : nullptr;
}

void TkqCustomRichEdit::ReadPopupCaptions()
{
    const TkqRichEditPopupMenuLabels& t = *KqIntl()->GetRichEdit()->GetPopupMenuLabels();
    const std::pair<const char*, QString> captions[] = {
        {"PopupEdit", t.EditCaption}, {"PopupCut", t.CutCaption}, {"PopupCopy", t.CopyCaption},
        {"PopupPaste", t.PasteCaption}, {"PopupBold", t.BoldCaption}, {"PopupItalic", t.ItalicCaption},
        {"PopupUnderline", t.UnderlineCaption}, {"PopupFont", t.FontCaption},
        {"PopupBullet", t.BulletStyleCaption}, {"PopupParagraph", t.ParagraphCaption},
        {"PopupTabs", t.TabsCaption}, {"PopupFind", t.FindCaption}, {"PopupReplace", t.ReplaceCaption},
        {"PopupInsertObject", t.InsertObjectCaption}, {"PopupSpellCheck", t.SpellCheckCaption}};
    for (const auto& [name, caption] : captions)
        if (TMenuItem* item = PopupItem(QLatin1String(name))) item->Caption = caption;
}

void TkqCustomRichEdit::PopupMenuOpening()
{
    if (!FDefaultPopup) return;
    TkqRichEditPopupOptions options = PopupOptions;
    if (!IsClassOrAncestorNamed(this, "TkqDBRichEditMSWord")) options.Exclude(rpoPopupMSWordSpellCheck);
    const bool readOnly = GetReadOnly();
    const TkqRichEditPopupMenuLabels& t = *KqIntl()->GetRichEdit()->GetPopupMenuLabels();
    if (readOnly) {
        TkqRichEditPopupOptions kept;
        for (TkqRichEditPopupOption o : {rpoPopupEdit, rpoPopupCut, rpoPopupCopy, rpoPopupPaste, rpoPopupFind})
            if (options.Contains(o)) kept.Include(o);
        options = kept;
    }
    PopupItem(QStringLiteral("PopupEdit"))->Caption = readOnly ? t.ViewCaption : t.EditCaption;

    auto has = [&options](std::initializer_list<TkqRichEditPopupOption> list) {
        for (TkqRichEditPopupOption o : list)
            if (options.Contains(o)) return true;
        return false;
    };
    auto from = [&options](TkqRichEditPopupOption first) {
        for (int o = first; o <= rpoPopupMSWordSpellCheck; ++o)
            if (options.Contains(TkqRichEditPopupOption(o))) return true;
        return false;
    };
    for (const TPopupItemSpec& spec : PopupItems)
        if (spec.Option >= 0) PopupItem(QLatin1String(spec.Name))->Visible = options.Contains(TkqRichEditPopupOption(spec.Option));
    const bool insertObject = options.Contains(rpoPopupInsertObject) && !OleOptions().Contains(reoDisableOLE);
    PopupItem(QStringLiteral("PopupInsertObject"))->Visible = insertObject;
    // no object linking here: the item says why it does nothing
    PopupItem(QStringLiteral("PopupInsertObject"))->Enabled = false;
    PopupItem(QStringLiteral("PopupInsertObject"))->Hint = NoObjectsReason();
    const bool otherThanEdit = from(rpoPopupCut);
    PopupItem(QStringLiteral("PopupN1"))->Visible = options.Contains(rpoPopupEdit) && otherThanEdit;
    PopupItem(QStringLiteral("PopupN2"))->Visible = has({rpoPopupCut, rpoPopupCopy, rpoPopupPaste}) && from(rpoPopupBold);
    PopupItem(QStringLiteral("PopupN3"))->Visible = has({rpoPopupBold, rpoPopupItalic, rpoPopupUnderline}) && from(rpoPopupFont);
    PopupItem(QStringLiteral("PopupN4"))->Visible =
        has({rpoPopupFont, rpoPopupBullet, rpoPopupParagraph, rpoPopupTabs})
        && (has({rpoPopupFind, rpoPopupReplace}) || insertObject || options.Contains(rpoPopupMSWordSpellCheck));
    PopupItem(QStringLiteral("PopupN5"))->Visible = insertObject && has({rpoPopupFind, rpoPopupReplace});

    PopupItem(QStringLiteral("PopupCut"))->Enabled = HasSelText() && !readOnly;
    PopupItem(QStringLiteral("PopupCopy"))->Enabled = HasSelText();
    PopupItem(QStringLiteral("PopupPaste"))->Enabled = CanPaste() && !readOnly;

    PopupItem(QStringLiteral("PopupBullet"))->SetChecked(Paragraph()->Numbering() != nsNone);
    const TFontStyles style = SelAttributes()->Style();
    PopupItem(QStringLiteral("PopupBold"))->SetChecked(style.Contains(fsBold));
    PopupItem(QStringLiteral("PopupItalic"))->SetChecked(style.Contains(fsItalic));
    PopupItem(QStringLiteral("PopupUnderline"))->SetChecked(style.Contains(fsUnderline));
}

TPopupMenu* TkqCustomRichEdit::BuildObjectMenu()
{
    if (!FPopupMenu) return nullptr;
    FPopupMenu->PopupComponent = this;
    if (!OleOptions().Contains(reoAdjustPopupMenu) || OleOptions().Contains(reoDisableOLE)) return FPopupMenu;
    for (TMenuItem* item : FObjectItems) {
        FPopupMenu->Items()->Remove(item);
        delete item;
    }
    FObjectItems.clear();
    TRichObjectInfo info;
    if (!ObjectAtSelection(info)) return FPopupMenu;
    // the object's items: its properties and its (here verb-less) object menu
    const TkqRichEditPopupMenuLabels& t = *KqIntl()->GetRichEdit()->GetPopupMenuLabels();
    auto add = [this](const QString& caption) {
        auto* item = new TMenuItem(FPopupMenu);
        item->Caption = caption;
        FPopupMenu->Items()->Add(item);
        FObjectItems.push_back(item);
        return item;
    };
    add(QStringLiteral("-"));
    TMenuItem* properties = add(t.ObjectPropertiesCaption);
    properties->setObjectName(QStringLiteral("PopupObjectProperties"));
    properties->OnClick = [this](QObject*) { ObjectPropertiesDialog(); };
    TMenuItem* object = add((info.ClassName.isEmpty() ? QStringLiteral("Embedded") : info.ClassName)
                            + QStringLiteral(" &Object"));
    object->setObjectName(QStringLiteral("PopupObjectVerbs"));
    object->Enabled = false;
    object->Hint = NoObjectsReason();
    return FPopupMenu;
}

bool TkqCustomRichEdit::ObjectPropertiesDialog()
{
    // the properties there are to show: the object's type and where it lives
    TRichObjectInfo info;
    if (SelectionType() != SEL_OBJECT || !ObjectAtSelection(info)) return false;
    const QString app = QApplication::applicationDisplayName();
    const QString location = Title.trimmed().isEmpty() ? app : QStringLiteral("%1 - %2").arg(Title, app);
    MessageDlg(QStringLiteral("%1 Properties\n\nType: %1\nLocation: %2\n\n%3.")
                   .arg(info.ClassName.isEmpty() ? QStringLiteral("Embedded object") : info.ClassName, location,
                        NoObjectsReason()),
               mtInformation, {mbOK});
    return false;
}

void TkqCustomRichEdit::contextMenuEvent(QContextMenuEvent* event)
{
    TPopupMenu* menu = BuildObjectMenu();
    if (!menu) {
        TCustomRichEdit::contextMenuEvent(event);
        return;
    }
    menu->Popup(event->globalPos().x(), event->globalPos().y());
}

bool TkqCustomRichEdit::ParagraphDialog()
{
    TkqRichParagraphDialog dialog(this, window());
    if (dialog.exec() != QDialog::Accepted) return false;
    dialog.Apply();
    return true;
}

bool TkqCustomRichEdit::TabsDialog()
{
    TkqRichTabDialog dialog(this, window());
    if (dialog.exec() != QDialog::Accepted) return false;
    dialog.Apply();
    return true;
}
