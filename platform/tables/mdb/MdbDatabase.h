#pragma once
// The Access back end over the mdbtools library: libmdb finds the tables, their columns and
// their rows; the values are decoded here from the raw row bytes.

#include "platform/tables/AccessDatabase.h"

std::shared_ptr<TAccessDatabase> OpenMdbDatabase(const QString& fileName, int codePage);
