#pragma once
// Fields of the client dataset and the packet: field definitions from packet descriptors and
// back, and values between the store's cells and the fields' variants.

#include "platform/client/ClientStore.h"
#include "platform/data/DB.h"

#include <vector>

// How one field reads and writes its column of a level.
struct TColumnBinding {
    int Column = -1;
    TFieldType Type = ftUnknown;
    bool WideText = false;     // a memo of UTF-16 text
    int CodePage = 1252;       // 8-bit text
    int Precision = 0;         // BCD digits and decimals
    int Scale = 0;
};

// The field type a descriptor opens as, with its size (characters, bytes or decimals) and
// precision.
TFieldType FieldTypeOfDescriptor(const TPacketFieldDesc& f, int& size, int& precision);
// Fills the definitions of a level (children of nested, ADT and array fields included).
void FieldDefsFromDescriptors(const std::vector<TPacketFieldDesc>& fields, TFieldDefs& defs);
// The descriptors of field definitions; raises for a type no packet can hold or a bad size.
std::vector<TPacketFieldDesc> DescriptorsFromFieldDefs(const TFieldDefs& defs);
// The column of each descriptor of a level, in descriptor order.
std::vector<int> DescriptorColumns(const TPacketLevel& level);
bool IsWideTextDescriptor(const TPacketFieldDesc& f);

// Reads a cell of a block (already resolved; see TRecordStore::CellBlock) as the field's value.
bool ReadCell(const TRecordStore& store, const TStoreLevel& lv, const char* block, const TColumnBinding& b, TVariant& value);
// Writes a value into a block's cell. Null or Empty clears it; a value the column cannot hold
// raises.
void WriteCell(TRecordStore& store, const TStoreLevel& lv, char* block, const TColumnBinding& b, const TVariant& value);
