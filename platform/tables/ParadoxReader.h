#pragma once
// Paradox tables (.db, versions 3 to 7) with their blob file (.mb).

#include "platform/tables/OemCodePages.h"
#include "platform/tables/TableReader.h"

class TParadoxReader : public TTableReader {
public:
    // codePage, when not 0, replaces the code page the table declares.
    explicit TParadoxReader(const QString& fileName, int codePage = 0);
    ~TParadoxReader() override;

    int RecordCount() const override { return FRecordCount; }
    bool ReadValue(int record, int field, TVariant& value) override;
    std::vector<int> PrimaryKeyFields() const override;

    // 30, 35, 40, 50 or 70.
    int Version() const { return FVersion; }
    // The code page the header declares (0: none).
    int DeclaredCodePage() const { return FDeclaredCodePage; }
    bool Keyed() const { return FKeyFields > 0; }

private:
    struct TColumn {
        quint8 Type;
        int Width;     // bytes in the record
        int Offset;
    };
    struct TBlock {
        qint64 Offset;     // of the block's first record
        int FirstRecord;
    };

    void ReadHeader();
    void ReadBlockList();
    const uchar* Record(int record);
    bool ReadBlob(const TColumn& column, const uchar* data, int record, int field, TVariant& value);
    QByteArray ReadBlobFile(qint64 offset, quint32 length, int record, int field);
    [[noreturn]] void Damaged(const QString& detail) const;

    TTableFile FFile;
    std::unique_ptr<TTableFile> FBlobFile;
    bool FBlobFileChecked = false;
    TTableText FText;
    int FOverrideCodePage = 0;
    std::vector<TColumn> FColumns;
    std::vector<TBlock> FBlocks;
    int FRecordSize = 0;
    int FHeaderSize = 0;
    int FBlockSize = 0;
    int FRecordCount = 0;
    int FVersion = 0;
    int FDeclaredCodePage = 0;
    int FKeyFields = 0;
    quint32 FEncryption = 0;
    quint16 FFirstBlock = 0;
    // The record read last.
    int FCurrent = -1;
    const uchar* FCurrentData = nullptr;
};
