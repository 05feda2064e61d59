#pragma once
// What the XML packet reader and writer share: the parameters written as attributes, the XML
// names of field types, and the XML names of fields.

#include "platform/client/PacketModel.h"

#include <QByteArray>
#include <string_view>
#include <vector>

namespace PacketXml {

enum TAttrKind { akInt, akBool, akText, akList };

struct TKnownAttr {
    const char* Name;
    TAttrKind Kind;
    quint32 TypeWord;   // for akList the element type
};

// Field-level and dataset-level parameters the XML form writes as attributes.
const TKnownAttr* FindFieldAttr(std::string_view name);
const TKnownAttr* FindDataSetAttr(std::string_view name);
// Whether a stored parameter can be written as that attribute without losing its meaning.
bool FitsAttr(const TKnownAttr& a, const TPacketParam& p);

bool EqualsNoCase(std::string_view a, const char* b);
// XML type names of scalar parameter and field types; nullptr when XML has none.
const char* TypeNameOf(quint32 typeWord);
// Type word of an XML field type; 0 when unknown. width: WIDTH, or -1.
quint32 TypeWordOf(std::string_view t, qint64 width, bool hasSubType, bool& widthIsSize);

} // namespace PacketXml

// Escaped XML names of a level's fields: characters an XML name cannot hold become '_', names
// with non-ASCII bytes (or that would collide) become xF<field number>.
std::vector<QByteArray> PacketXmlNames(const std::vector<TPacketFieldDesc>& fields);
