#pragma once
// dBASE tables (.dbf: dBASE III, IV and 7, FoxPro 2, Visual FoxPro) with their memo files
// (.dbt, .fpt). Deleted records are left out.

#include "platform/tables/OemCodePages.h"
#include "platform/tables/TableReader.h"

class TDBaseReader : public TTableReader {
public:
    // codePage, when not 0, replaces the code page the table declares.
    explicit TDBaseReader(const QString& fileName, int codePage = 0);
    ~TDBaseReader() override;

    int RecordCount() const override;
    bool ReadValue(int record, int field, TVariant& value) override;
    QString MissingCompanionFile() const override;
    QStringList CompanionFields() const override;

    quint8 VersionByte() const { return FVersion; }
    // The code page the header declares (0: none).
    int DeclaredCodePage() const { return FDeclaredCodePage; }
    // Records flagged deleted (not readable).
    int DeletedCount() const;

private:
    enum TMemoKind { mkNone, mkDbt, mkFpt };
    struct TColumn {
        char Type;
        int Offset;
        int Length;
        int Decimals;
        int NullBit = -1;     // bit of _NullFlags telling null
        int LengthBit = -1;   // bit of _NullFlags telling a shorter varying-length value
        bool Binary = false;  // memo without text translation
    };

    void ReadHeader();
    // The deletion flags are read on first need: reading only the structure reads no records.
    void ScanDeleted() const;
    const uchar* Record(int record);
    bool NullFlag(const uchar* record, int bit) const;
    bool ReadMemo(const TColumn& column, const uchar* data, int record, int field, TVariant& value);
    [[noreturn]] void Damaged(const QString& detail) const;

    mutable TTableFile FFile;
    std::unique_ptr<TTableFile> FMemoFile;
    bool FMemoFileChecked = false;
    TMemoKind FMemoKind = mkNone;
    int FMemoBlockSize = 512;
    TTableText FText;
    int FOverrideCodePage = 0;
    std::vector<TColumn> FColumns;
    std::vector<int> FFieldColumns;   // column of each field (the null flags have none)
    quint8 FVersion = 0;
    bool FLevel7 = false;
    bool FVisualFoxPro = false;
    int FDeclaredCodePage = 0;
    int FHeaderLength = 0;
    int FRecordLength = 0;
    int FNullFlagsOffset = -1;
    int FNullFlagsLength = 0;
    quint32 FPhysicalCount = 0;
    mutable bool FScanned = false;
    mutable int FRecordCount = 0;
    // Physical numbers of deleted records, ascending, each minus its index: the number of
    // deleted records before visible record v is the count of entries <= v.
    mutable std::vector<quint32> FDeletedShifted;
    mutable int FCurrent = -1;
    mutable const uchar* FCurrentData = nullptr;
};
