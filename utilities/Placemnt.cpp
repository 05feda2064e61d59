#include "utilities/Placemnt.h"

#include "platform/vcl/Forms.h"
#include "platform/core/SysUtils.h"
#include "utilities/AppUtils.h"
#include "utilities/VzHook.h"
#include "utilities/vzStrUtils.h"

#include <QCoreApplication>
#include <QDialog>
#include <QEvent>
#include <QWidget>

namespace {
constexpr int MaxNameLength = 255;

QString VariantText(const QVariant& v)
{
    if (!v.isValid() || v.isNull()) return QString();
    if (v.typeId() == QMetaType::Bool) return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    return v.toString();
}

bool HasMaximizeButton(const QWidget* w)
{
    const Qt::WindowFlags f = w->windowFlags();
    if (f & Qt::WindowMaximizeButtonHint) return true;
    return !(f & Qt::CustomizeWindowHint) && (f & Qt::WindowType_Mask) == Qt::Window;
}

void SetMaximizeButton(QWidget* w, bool on)
{
    if (HasMaximizeButton(w) == on) return;
    Qt::WindowFlags f = w->windowFlags();
    if (on) {
        f |= Qt::WindowMaximizeButtonHint;
    } else {
        f |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
           | Qt::WindowCloseButtonHint;
        f &= ~Qt::WindowMaximizeButtonHint;
    }
    const bool visible = w->isVisible();
    w->setWindowFlags(f);
    if (visible) w->show();   // a new set of flags hides a window
}
} // namespace

// ---- TWinMinMaxInfo ----

TWinMinMaxInfo::TWinMinMaxInfo(TFormPlacement* owner) : QObject(owner), FOwner(owner) {}

bool TWinMinMaxInfo::IsDefault() const
{
    for (int v : FValues)
        if (v != 0) return false;
    return true;
}

void TWinMinMaxInfo::Assign(const TWinMinMaxInfo& source)
{
    std::copy(std::begin(source.FValues), std::end(source.FValues), std::begin(FValues));
    if (FOwner) FOwner->MinMaxInfoChanged();
}

void TWinMinMaxInfo::SetValue(int index, int value)
{
    if (FValues[index] == value) return;
    FValues[index] = value;
    if (FOwner) FOwner->MinMaxInfoChanged();
}

// ---- TIniLink ----

TIniLink::~TIniLink()
{
    OnSaveSettings = nullptr;
    OnLoadSettings = nullptr;
    SetStorage(nullptr);
}

void TIniLink::SetStorage(TFormPlacement* storage)
{
    if (storage == FStorage) return;
    if (FStorage) std::erase(FStorage->FLinks, this);
    FStorage = storage;
    if (FStorage) FStorage->FLinks.push_back(this);
}

TCustomIniFile* TIniLink::SettingsObject() const { return FStorage ? FStorage->SettingsObject() : nullptr; }

QString TIniLink::RootSection() const
{
    if (!FStorage || FStorage->StoredIniSection().isEmpty()) return QString();
    return FStorage->StoredIniSection() + '\\';
}

void TIniLink::SaveToSettings()
{
    if (OnSaveSettings) OnSaveSettings(this);
}

void TIniLink::LoadFromSettings()
{
    if (OnLoadSettings) OnLoadSettings(this);
}

// ---- TStoredValue(s) ----

void TStoredValue::SetName(const QString& name)
{
    if (!name.isEmpty() && FCollection) {
        const int i = FCollection->IndexOfName(name);
        if (i >= 0 && FCollection->Items(i) != this) throw EListError(QStringLiteral("String list does not allow duplicates"));
    }
    FName = name;
}

void TStoredValue::Assign(const TStoredValue& source)
{
    Value = source.Value.isNull() ? QVariant() : source.Value;
    SetName(source.FName);
    KeyString = source.KeyString;
}

void TStoredValue::SaveValue()
{
    TFormStorage* storage = FCollection ? FCollection->Storage() : nullptr;
    if (!storage) return;
    QVariant v = Value;
    if (OnSave) OnSave(this, v);
    QString text = VariantText(v);
    if (!KeyString.isEmpty()) text = KeyXorEncode(KeyString, text);
    storage->WriteSettingString(FName, text);
}

void TStoredValue::RestoreValue()
{
    TFormStorage* storage = FCollection ? FCollection->Storage() : nullptr;
    if (!storage) return;
    QString def = VariantText(Value);
    if (!KeyString.isEmpty()) def = KeyXorEncode(KeyString, def);
    QString text = storage->ReadSettingString(FName, def);
    if (!KeyString.isEmpty()) text = KeyXorDecode(KeyString, text);
    QVariant v(text);
    if (OnRestore) OnRestore(this, v);
    Value = v;
}

TStoredValue* TStoredValues::Add(const QString& name)
{
    std::unique_ptr<TStoredValue> item(new TStoredValue(this));
    item->SetName(name);
    FItems.push_back(std::move(item));
    return FItems.back().get();
}

void TStoredValues::Delete(int index)
{
    if (index < 0 || index >= Count()) throw EListError(Format(QStringLiteral("List index out of bounds (%d)"), {index}));
    FItems.erase(FItems.begin() + index);
}

int TStoredValues::IndexOfName(const QString& name) const
{
    for (int i = 0; i < Count(); ++i)
        if (FItems[size_t(i)]->Name().compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

TStoredValue* TStoredValues::ValueByName(const QString& name) const
{
    const int i = IndexOfName(name);
    return i < 0 ? nullptr : Items(i);
}

void TStoredValues::WriteAllValues()
{
    for (int i = 0; i < Count(); ++i) Items(i)->SaveValue();
}

void TStoredValues::ReadAllValues()
{
    for (int i = 0; i < Count(); ++i) Items(i)->RestoreValue();
}

// ---- TFormPlacement ----

TFormPlacement::TFormPlacement(QObject* owner) : QObject(owner)
{
    FMinMaxInfo = new TWinMinMaxInfo(this);
    FWinHook = new TVzWindowHook(this);
    FWinHook->SetActive(false);
    FWinHook->AfterMessage = [this](QObject*, QEvent* event, bool&) { HandleWindowMessage(event); };
    if (IsForm(owner)) FOptions = fpState | fpPosition;
    if (owner && owner->isWidgetType()) {
        FHookedForm = static_cast<QWidget*>(owner);
        owner->installEventFilter(this);
        // A dialog that ends with accept or reject gets no close event.
        if (auto* dialog = qobject_cast<QDialog*>(owner))
            connect(dialog, &QDialog::finished, this, [this] {
                if (FActive && !FSaved && Form()) TApplication::Guard([this] { SaveSettings(); });
            });
    }
}

TFormPlacement::~TFormPlacement()
{
    SaveOnDestroy();
    FWinHook->AfterMessage = nullptr;
    FSettings.reset();
    for (TIniLink* link : FLinks) link->FStorage = nullptr;
    FLinks.clear();
    if (FHookedForm) FHookedForm->removeEventFilter(this);
}

void TFormPlacement::SaveOnDestroy()
{
    if (!FActive || FSaved || !Form()) return;
    FDestroying = true;
    TApplication::Guard([this] { SaveSettings(); });
    FDestroying = false;
}

QWidget* TFormPlacement::Form() const
{
    QObject* owner = parent();
    return IsForm(owner) ? static_cast<QWidget*>(owner) : nullptr;
}

QString TFormPlacement::IniFileName() const
{
    if (!FIniFileName.isEmpty()) return FIniFileName;
    return FUseRegistry ? DefaultSettingsRegistryKey() : DefaultSettingsFileName();
}

void TFormPlacement::SetIniFileName(const QString& name) { FIniFileName = name.left(MaxNameLength); }

QString TFormPlacement::IniSection() const
{
    if (!FIniSection.isEmpty()) return FIniSection;
    if (!FDefaultSection.isEmpty()) return FDefaultSection;
    return DefaultSettingsSection(parent());
}

void TFormPlacement::SetIniSection(const QString& section) { FIniSection = section.left(MaxNameLength); }

void TFormPlacement::SetPreventResize(bool value)
{
    if (value == FPreventResize || !Form()) return;
    FPreventResize = value;
    AdjustMaximizedPosition();
    ApplyPreventResize();
}

void TFormPlacement::Loaded()
{
    FLoaded = true;
    if (parent()) FDefaultSection = DefaultSettingsSection(parent());
    if (QWidget* form = Form()) {
        FDefMaximize = HasMaximizeButton(PlacementWindow(form));
        TrackNormalGeometry(form);
        if (FPreventResize) ApplyPreventResize();
    }
    UpdateWindowHook();
}

bool TFormPlacement::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != FHookedForm) return false;
    if (event->type() == QEvent::Show && !event->spontaneous()) {
        if (!FLoaded) Loaded();
        HandleFormShow();
    } else if (event->type() == QEvent::Close) {
        return HandleFormClose(watched, event);
    }
    return false;
}

void TFormPlacement::HandleFormShow()
{
    // Only a first show, or one after a save, reads the settings: a window shown again without
    // having saved (Qt re-shows the contents of a child window whose state changes) keeps what
    // the user did since; and applying a state may show the window again inside the restore.
    if (!FActive || FInShow || (FRestored && !FSaved)) return;
    FInShow = true;
    TApplication::Guard([this] { RestoreSettings(); });
    FInShow = false;
}

bool TFormPlacement::HandleFormClose(QObject* watched, QEvent* event)
{
    if (FInClose) return false;
    // The window decides first whether it may close; we save only when it may.
    QPointer<TFormPlacement> self(this);
    FInClose = true;
    try {
        QCoreApplication::sendEvent(watched, event);
    } catch (...) {
        if (self) FInClose = false;
        throw;
    }
    if (!self) return true;
    FInClose = false;
    if (event->isAccepted() && FActive && Form()) TApplication::Guard([this] { SaveSettings(); });
    return true;
}

void TFormPlacement::OpenSettingsObject(bool readOnly)
{
    if (FSettings) return;
    if (FUseRegistry) {
        FSettings = std::make_unique<TRegIniFile>(IniFileName());
    } else {
        auto ini = std::make_unique<TIniFile>(IniFileName());
        if (!readOnly) ini->BeginUpdate();
        FSettings = std::move(ini);
    }
    FSettingsReadOnly = readOnly;
}

void TFormPlacement::CloseSettingsObject()
{
    std::unique_ptr<TCustomIniFile> settings = std::move(FSettings);
    if (auto* ini = dynamic_cast<TIniFile*>(settings.get()); ini && !FSettingsReadOnly) ini->EndUpdate();
}

void TFormPlacement::SaveSettings()
{
    if (!FRestored && FActive) return;   // never restored: the stored settings stay as they are
    OpenSettingsObject(false);
    try {
        SettingsWriteInteger(FSettings.get(), IniSection(), QStringLiteral("FormVersion"), FVersion);
        SavePlacement();
        DoSavePlacement();
        FSaved = true;
    } catch (...) {
        try { CloseSettingsObject(); } catch (...) {}
        throw;
    }
    CloseSettingsObject();
}

void TFormPlacement::RestoreSettings()
{
    FSaved = false;
    OpenSettingsObject(true);
    try {
        if (SettingsReadInteger(FSettings.get(), IniSection(), QStringLiteral("FormVersion"), 0) >= FVersion) {
            RestorePlacement();
            FRestored = true;
            DoRestorePlacement();
            if (FOptions.testFlag(fpActiveControl) && Form()) {
                const QString name = SettingsReadString(FSettings.get(), IniSection(), QStringLiteral("ActiveControl"), QString());
                QObject* found = FindComponentByName(Form(), name);
                if (found && found->isWidgetType()) {
                    auto* control = static_cast<QWidget*>(found);
                    if (control->isEnabled() && !control->isHidden() && control->focusPolicy() != Qt::NoFocus)
                        control->setFocus();
                }
            }
        }
        FRestored = true;
    } catch (...) {
        CloseSettingsObject();
        throw;
    }
    CloseSettingsObject();
    AdjustMaximizedPosition();
}

void TFormPlacement::SavePlacement()
{
    if (QWidget* form = Form()) {
        const QString section = IniSection();
        WriteWindowPlacement(form, FSettings.get(), section);
        if (FOptions.testFlag(fpActiveControl)) {
            QWidget* focus = form->focusWidget();
            if (focus && focus != form && form->isAncestorOf(focus) && !focus->objectName().isEmpty())
                FSettings->WriteString(section, QStringLiteral("ActiveControl"), focus->objectName());
        }
        FSettings->WriteBool(section, QStringLiteral("Visible"), FDestroying);
    }
    const std::vector<TIniLink*> links = FLinks;
    for (TIniLink* link : links) link->SaveToSettings();
}

void TFormPlacement::RestorePlacement()
{
    if (QWidget* form = Form())
        ReadWindowPlacement(form, FSettings.get(), IniSection(), FOptions.testFlag(fpState), FOptions.testFlag(fpPosition));
    const std::vector<TIniLink*> links = FLinks;
    for (TIniLink* link : links) link->LoadFromSettings();
}

void TFormPlacement::DoSavePlacement()
{
    if (OnSavePlacement) OnSavePlacement();
}

void TFormPlacement::DoRestorePlacement()
{
    if (OnRestorePlacement) OnRestorePlacement();
}

void TFormPlacement::AccessSettings(bool readOnly, const std::function<void(TCustomIniFile*)>& access)
{
    // Inside a save or restore the open object serves; otherwise one is opened for this access.
    if (FSettings) {
        access(FSettings.get());
        return;
    }
    OpenSettingsObject(readOnly);
    try {
        access(FSettings.get());
    } catch (...) {
        FSettings.reset();
        throw;
    }
    CloseSettingsObject();
}

QString TFormPlacement::ReadString(const QString& section, const QString& ident, const QString& def)
{
    QString result;
    AccessSettings(true, [&](TCustomIniFile* settings) { result = SettingsReadString(settings, section, ident, def); });
    return result;
}

void TFormPlacement::WriteString(const QString& section, const QString& ident, const QString& value)
{
    AccessSettings(false, [&](TCustomIniFile* settings) { SettingsWriteString(settings, section, ident, value); });
}

QString TFormPlacement::ReadSettingString(const QString& ident, const QString& def) { return ReadString(IniSection(), ident, def); }

void TFormPlacement::WriteSettingString(const QString& ident, const QString& value) { WriteString(IniSection(), ident, value); }

int TFormPlacement::ReadSettingInteger(const QString& ident, int def)
{
    int result = def;
    AccessSettings(true, [&](TCustomIniFile* settings) { result = SettingsReadInteger(settings, IniSection(), ident, def); });
    return result;
}

void TFormPlacement::WriteSettingInteger(const QString& ident, int value)
{
    AccessSettings(false, [&](TCustomIniFile* settings) { SettingsWriteInteger(settings, IniSection(), ident, value); });
}

void TFormPlacement::MinMaxInfoChanged()
{
    AdjustMaximizedPosition();
    UpdateWindowHook();
}

void TFormPlacement::AdjustMaximizedPosition()
{
    QWidget* form = Form();
    if (!form || FPreventResize || !FMinMaxInfo->IsDefault()) return;
    const TScreenMetrics m = ScreenMetrics();
    QPoint pos(0, 0);
    switch (FormBorderStyle(form)) {
    case bsSingle: case bsToolWindow: pos = QPoint(-m.BorderCx, -m.BorderCy); break;
    case bsSizeable: case bsSizeToolWin: pos = QPoint(-m.FrameCx, -m.FrameCy); break;
    case bsDialog: pos = QPoint(-m.DlgFrameCx, -m.DlgFrameCy); break;
    case bsNone: break;
    }
    SetMaxPosition(form, pos);
}

void TFormPlacement::ApplyPreventResize()
{
    QWidget* form = Form();
    if (!form) return;
    QWidget* w = PlacementWindow(form);
    if (FPreventResize) FDefMaximize = HasMaximizeButton(w);
    const bool wasActive = FActive;
    FActive = false;
    try {
        SetMaximizeButton(w, !(FPreventResize || !FDefMaximize || FormBorderStyle(form) == bsDialog));
    } catch (...) {
        FActive = wasActive;
        throw;
    }
    FActive = wasActive;
    UpdateWindowHook();
}

void TFormPlacement::UpdateWindowHook()
{
    QWidget* form = Form();
    const bool needed = form && (FPreventResize || !FMinMaxInfo->IsDefault());
    if (needed) {
        FWinHook->SetWinControl(form);
        FWinHook->SetActive(true);
        ApplySizeLimits();
    } else {
        FWinHook->SetActive(false);
        if (FLimitsSaved && form) {
            QWidget* w = PlacementWindow(form);
            w->setMinimumSize(FSavedMinSize);
            w->setMaximumSize(FSavedMaxSize);
        }
        FLimitsSaved = false;
    }
}

void TFormPlacement::HandleWindowMessage(QEvent* event)
{
    switch (event->type()) {
    case QEvent::Show: case QEvent::Resize: case QEvent::WindowStateChange: ApplySizeLimits(); break;
    default: break;
    }
}

void TFormPlacement::ApplySizeLimits()
{
    QWidget* form = Form();
    if (!form) return;
    QWidget* w = PlacementWindow(form);
    if (!FLimitsSaved) {
        FSavedMinSize = w->minimumSize();
        FSavedMaxSize = w->maximumSize();
        FLimitsSaved = true;
    }
    if (FPreventResize) {
        if (w->isVisible() && (w->minimumSize() != w->size() || w->maximumSize() != w->size())) w->setFixedSize(w->size());
        return;
    }
    const TWinMinMaxInfo& mm = *FMinMaxInfo;
    const QSize minSize(mm.MinTrackWidth() ? mm.MinTrackWidth() : FSavedMinSize.width(),
                        mm.MinTrackHeight() ? mm.MinTrackHeight() : FSavedMinSize.height());
    const QSize maxSize(mm.MaxTrackWidth() ? mm.MaxTrackWidth() : FSavedMaxSize.width(),
                        mm.MaxTrackHeight() ? mm.MaxTrackHeight() : FSavedMaxSize.height());
    if (w->minimumSize() != minSize) w->setMinimumSize(minSize);
    if (w->maximumSize() != maxSize) w->setMaximumSize(maxSize);
}

// ---- TFormStorage ----

TFormStorage::TFormStorage(QObject* owner) : TFormPlacement(owner), FStoredValues(std::make_unique<TStoredValues>(this)) {}

TFormStorage::~TFormStorage() { SaveOnDestroy(); }

QStringList TFormStorage::StoredProps() const
{
    QStringList lines;
    for (const TStoredItem& item : FStoredProps) lines << item.Text;
    return lines;
}

void TFormStorage::SetStoredProps(const QStringList& lines)
{
    FStoredProps.clear();
    for (const QString& line : lines) {
        TStoredItem item{line, nullptr};
        QString component, property;
        if (SplitStoredItem(line, component, property)) item.Object = FindComponentByName(parent(), component);
        FStoredProps.append(item);
    }
}

void TFormStorage::ResolveStoredProps()
{
    // Lines whose component is gone (or was never there) are dropped; the rest keep theirs.
    for (qsizetype i = FStoredProps.size() - 1; i >= 0; --i) {
        TStoredItem& item = FStoredProps[i];
        if (item.Object) continue;
        QString component, property;
        if (SplitStoredItem(item.Text, component, property)) item.Object = FindComponentByName(parent(), component);
        if (!item.Object) FStoredProps.removeAt(i);
    }
}

void TFormStorage::Loaded()
{
    TFormPlacement::Loaded();
    ResolveStoredProps();
}

void TFormStorage::SaveProperties()
{
    ResolveStoredProps();
    TPropsStorage storage;
    storage.TargetSection = IniSection();
    storage.OnWriteText = [this](const QString& s, const QString& i, const QString& v) { WriteString(s, i, v); };
    storage.OnEraseGroup = [this](const QString& s) { SettingsEraseSection(SettingsObject(), s); };
    storage.SaveStoredProperties(parent(), FStoredProps);
}

void TFormStorage::RestoreProperties()
{
    try {
        ResolveStoredProps();
        TPropsStorage storage;
        storage.TargetSection = IniSection();
        storage.OnReadText = [this](const QString& s, const QString& i, const QString& d) { return ReadString(s, i, d); };
        storage.LoadStoredProperties(parent(), FStoredProps);
    } catch (...) {
        // A value that cannot be restored leaves its control as designed.
    }
}

void TFormStorage::SavePlacement()
{
    TFormPlacement::SavePlacement();
    SaveProperties();
    FStoredValues->WriteAllValues();
}

void TFormStorage::RestorePlacement()
{
    TFormPlacement::RestorePlacement();
    SetRestoredFlag();
    RestoreProperties();
    FStoredValues->ReadAllValues();
}
