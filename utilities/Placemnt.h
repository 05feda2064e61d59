#pragma once
// Window placement and stored control values in one section of the settings file, saved and
// restored at fixed moments of the window's life with no code in the window: the component
// watches its owner window (restores when it is shown, saves when a close is allowed, or when
// it is destroyed without having saved).
//
//   auto* storage = new TFormStorage(form);          // the form is the owner
//   storage->SetIniFileName(ProgramDataFolder() + "Quarrow.ini");
//   storage->SetIniSection("TreeDir");
//   storage->SetStoredProps({"cbRecurse.Checked", "EdtDirectory.Text"});

#include "platform/core/IniFiles.h"
#include "utilities/VZProps.h"

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

class QWidget;
class TFormPlacement;
class TVzWindowHook;

namespace PlacementTypes {
Q_NAMESPACE
enum TPlacementOption { fpState = 0x1, fpPosition = 0x2, fpActiveControl = 0x4 };
Q_DECLARE_FLAGS(TPlacementOptions, TPlacementOption)
Q_FLAG_NS(TPlacementOptions)
enum TPlacementRegRoot { prCurrentUser, prLocalMachine, prCurrentConfig, prClassesRoot, prUsers, prDynData };
Q_ENUM_NS(TPlacementRegRoot)
} // namespace PlacementTypes
Q_DECLARE_OPERATORS_FOR_FLAGS(PlacementTypes::TPlacementOptions)
using namespace PlacementTypes;

// Limits of a window's size; all zero means none.
class TWinMinMaxInfo : public QObject {
    Q_OBJECT
    Q_PROPERTY(int MaxPosLeft READ MaxPosLeft WRITE SetMaxPosLeft)
    Q_PROPERTY(int MaxPosTop READ MaxPosTop WRITE SetMaxPosTop)
    Q_PROPERTY(int MaxSizeHeight READ MaxSizeHeight WRITE SetMaxSizeHeight)
    Q_PROPERTY(int MaxSizeWidth READ MaxSizeWidth WRITE SetMaxSizeWidth)
    Q_PROPERTY(int MaxTrackHeight READ MaxTrackHeight WRITE SetMaxTrackHeight)
    Q_PROPERTY(int MaxTrackWidth READ MaxTrackWidth WRITE SetMaxTrackWidth)
    Q_PROPERTY(int MinTrackHeight READ MinTrackHeight WRITE SetMinTrackHeight)
    Q_PROPERTY(int MinTrackWidth READ MinTrackWidth WRITE SetMinTrackWidth)
public:
    explicit TWinMinMaxInfo(TFormPlacement* owner);
    int MaxPosLeft() const { return FValues[0]; }
    int MaxPosTop() const { return FValues[1]; }
    int MaxSizeHeight() const { return FValues[2]; }
    int MaxSizeWidth() const { return FValues[3]; }
    int MaxTrackHeight() const { return FValues[4]; }
    int MaxTrackWidth() const { return FValues[5]; }
    int MinTrackHeight() const { return FValues[6]; }
    int MinTrackWidth() const { return FValues[7]; }
    void SetMaxPosLeft(int v) { SetValue(0, v); }
    void SetMaxPosTop(int v) { SetValue(1, v); }
    void SetMaxSizeHeight(int v) { SetValue(2, v); }
    void SetMaxSizeWidth(int v) { SetValue(3, v); }
    void SetMaxTrackHeight(int v) { SetValue(4, v); }
    void SetMaxTrackWidth(int v) { SetValue(5, v); }
    void SetMinTrackHeight(int v) { SetValue(6, v); }
    void SetMinTrackWidth(int v) { SetValue(7, v); }
    bool IsDefault() const;
    void Assign(const TWinMinMaxInfo& source);

private:
    void SetValue(int index, int value);
    TFormPlacement* FOwner;
    int FValues[8] = {};
};

// Lets another component save and load its own settings whenever a storage does.
class TIniLink {
public:
    TIniLink() = default;
    virtual ~TIniLink();
    TIniLink(const TIniLink&) = delete;
    TIniLink& operator=(const TIniLink&) = delete;

    TFormPlacement* Storage() const { return FStorage; }
    void SetStorage(TFormPlacement* storage);
    TCustomIniFile* SettingsObject() const;
    // The storage's own section text (not its default) followed by "\"; empty without one.
    QString RootSection() const;

    std::function<void(TIniLink*)> OnSaveSettings;
    std::function<void(TIniLink*)> OnLoadSettings;

    virtual void SaveToSettings();
    virtual void LoadFromSettings();

private:
    friend class TFormPlacement;
    TFormPlacement* FStorage = nullptr;
};

class TFormStorage;
class TStoredValues;

// A named value of the window's section.
class TStoredValue {
public:
    using TStoredValueEvent = std::function<void(TStoredValue* sender, QVariant& value)>;

    QString Name() const { return FName; }
    // Raises EListError "String list does not allow duplicates" when another value has the name.
    void SetName(const QString& name);
    QVariant Value;
    QString KeyString;
    TStoredValueEvent OnSave;
    TStoredValueEvent OnRestore;

    void Assign(const TStoredValue& source);
    virtual void SaveValue();
    virtual void RestoreValue();
    virtual ~TStoredValue() = default;

private:
    friend class TStoredValues;
    explicit TStoredValue(TStoredValues* collection) : FCollection(collection) {}
    TStoredValues* FCollection;
    QString FName;
};

class TStoredValues {
public:
    explicit TStoredValues(TFormStorage* storage) : FStorage(storage) {}
    TStoredValues(const TStoredValues&) = delete;
    TStoredValues& operator=(const TStoredValues&) = delete;

    TFormStorage* Storage() const { return FStorage; }
    int Count() const { return int(FItems.size()); }
    TStoredValue* Items(int index) const { return FItems[size_t(index)].get(); }
    TStoredValue* Add(const QString& name = QString());
    void Delete(int index);
    void Clear() { FItems.clear(); }
    int IndexOfName(const QString& name) const;
    TStoredValue* ValueByName(const QString& name) const;   // null when absent
    virtual void WriteAllValues();
    virtual void ReadAllValues();
    virtual ~TStoredValues() = default;

private:
    TFormStorage* FStorage;
    std::vector<std::unique_ptr<TStoredValue>> FItems;
};

class TFormPlacement : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active WRITE SetActive)
    Q_PROPERTY(QString IniFileName READ IniFileName WRITE SetIniFileName)
    Q_PROPERTY(QString IniSection READ IniSection WRITE SetIniSection)
    Q_PROPERTY(TWinMinMaxInfo* MinMaxInfo READ MinMaxInfo)
    Q_PROPERTY(PlacementTypes::TPlacementOptions Options READ Options WRITE SetOptions)
    Q_PROPERTY(bool PreventResize READ PreventResize WRITE SetPreventResize)
    Q_PROPERTY(PlacementTypes::TPlacementRegRoot RegistryRoot READ RegistryRoot WRITE SetRegistryRoot)
    Q_PROPERTY(bool UseRegistry READ UseRegistry WRITE SetUseRegistry)
    Q_PROPERTY(int Version READ Version WRITE SetVersion)
public:
    // owner: the window whose placement is kept (its settings are then saved and restored by
    // its own show and close); any other owner saves and restores only when asked.
    explicit TFormPlacement(QObject* owner = nullptr);
    ~TFormPlacement() override;

    bool Active() const { return FActive; }
    void SetActive(bool value) { FActive = value; }
    // Empty reads as DefaultSettingsFileName(); texts are cut to 255 characters.
    QString IniFileName() const;
    void SetIniFileName(const QString& name);
    QString StoredIniFileName() const { return FIniFileName; }
    // Empty reads as the owner's default section (a form's class name).
    QString IniSection() const;
    void SetIniSection(const QString& section);
    QString StoredIniSection() const { return FIniSection; }
    TWinMinMaxInfo* MinMaxInfo() const { return FMinMaxInfo; }
    TPlacementOptions Options() const { return FOptions; }
    void SetOptions(TPlacementOptions value) { FOptions = value; }
    bool PreventResize() const { return FPreventResize; }
    void SetPreventResize(bool value);
    TPlacementRegRoot RegistryRoot() const { return FRegistryRoot; }
    void SetRegistryRoot(TPlacementRegRoot value) { FRegistryRoot = value; }
    bool UseRegistry() const { return FUseRegistry; }
    void SetUseRegistry(bool value) { FUseRegistry = value; }
    int Version() const { return FVersion; }
    void SetVersion(int value) { FVersion = value; }

    std::function<void()> OnSavePlacement;
    std::function<void()> OnRestorePlacement;

    // The whole save and restore; what the window's show, close and destruction call.
    void SaveSettings();
    void RestoreSettings();
    QString ReadSettingString(const QString& ident, const QString& def);
    void WriteSettingString(const QString& ident, const QString& value);
    int ReadSettingInteger(const QString& ident, int def);
    void WriteSettingInteger(const QString& ident, int value);
    virtual QString ReadString(const QString& section, const QString& ident, const QString& def);
    virtual void WriteString(const QString& section, const QString& ident, const QString& value);

    // The open settings object while a save, a restore or a single access runs; else null.
    TCustomIniFile* SettingsObject() const { return FSettings.get(); }
    bool Saved() const { return FSaved; }
    bool Restored() const { return FRestored; }
    bool Destroying() const { return FDestroying; }
    QWidget* Form() const;   // the owner when it is a form

    // Done on the first show; windows that build their controls later may call it again.
    virtual void Loaded();
    void MinMaxInfoChanged();

protected:
    virtual void SavePlacement();
    virtual void RestorePlacement();
    virtual void DoSavePlacement();
    virtual void DoRestorePlacement();
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The destroy-time save; every class with its own SavePlacement calls it in its destructor.
    void SaveOnDestroy();
    void SetRestoredFlag() { FRestored = true; }

private:
    friend class TIniLink;
    void OpenSettingsObject(bool readOnly);
    void CloseSettingsObject();
    void AccessSettings(bool readOnly, const std::function<void(TCustomIniFile*)>& access);
    void HandleFormShow();
    bool HandleFormClose(QObject* watched, QEvent* event);
    void HandleWindowMessage(QEvent* event);
    void UpdateWindowHook();
    void AdjustMaximizedPosition();
    void ApplyPreventResize();
    void ApplySizeLimits();

    bool FActive = true;
    QString FIniFileName;
    QString FIniSection;
    QString FDefaultSection;   // taken while the owner is whole (its class name is gone while it is destroyed)
    TWinMinMaxInfo* FMinMaxInfo;
    TPlacementOptions FOptions;
    bool FPreventResize = false;
    TPlacementRegRoot FRegistryRoot = prCurrentUser;
    bool FUseRegistry = false;
    int FVersion = 0;

    bool FSaved = false;
    bool FRestored = false;
    bool FDestroying = false;
    bool FLoaded = false;
    bool FDefMaximize = true;
    bool FInClose = false;
    bool FInShow = false;
    bool FSettingsReadOnly = true;
    QSize FSavedMinSize, FSavedMaxSize;
    bool FLimitsSaved = false;
    QPointer<QWidget> FHookedForm;
    std::unique_ptr<TCustomIniFile> FSettings;
    std::vector<TIniLink*> FLinks;
    TVzWindowHook* FWinHook;
};

// Placement plus the properties of the window's controls (StoredProps: "Component.Property"
// lines, components found by name among the window's children) and named stored values.
class TFormStorage : public TFormPlacement {
    Q_OBJECT
    Q_PROPERTY(QStringList StoredProps READ StoredProps WRITE SetStoredProps)
public:
    explicit TFormStorage(QObject* owner = nullptr);
    ~TFormStorage() override;

    QStringList StoredProps() const;
    void SetStoredProps(const QStringList& lines);
    TStoredValues* StoredValues() const { return FStoredValues.get(); }

    void Loaded() override;
    virtual void SaveProperties();
    virtual void RestoreProperties();

protected:
    void SavePlacement() override;
    void RestorePlacement() override;

private:
    void ResolveStoredProps();
    TStoredList FStoredProps;
    std::unique_ptr<TStoredValues> FStoredValues;
};
