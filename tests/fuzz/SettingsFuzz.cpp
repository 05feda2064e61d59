// libFuzzer target for the settings file: any bytes must read as sections and keys, restore a
// window's placement without harm, and take a new value and write back.

#include "platform/core/IniFiles.h"
#include "platform/core/SysUtils.h"
#include "tests/fuzz/FuzzSupport.h"
#include "utilities/AppUtils.h"

#include <QWidget>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzInitApplication(argc, argv, true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path =
        FuzzWriteFile(QStringLiteral("fuzz.ini"), QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    TIniFile ini(path);
    QWidget form;
    form.resize(400, 300);
    for (const QString& section : ini.ReadSections()) {
        for (const QString& key : ini.ReadSection(section)) {
            (void)ini.ReadString(section, key, QString());
            (void)ini.ReadInteger(section, key, 0);
            (void)ini.ReadBool(section, key, false);
        }
        ReadWindowPlacement(&form, &ini, section, true, true);
    }
    ini.BeginUpdate();
    try {
        ini.WriteString(QStringLiteral("Fuzz"), QStringLiteral("Key"), QStringLiteral("Value"));
    } catch (const Exception&) {
    }
    (void)ini.Contents();
    return 0;
}
