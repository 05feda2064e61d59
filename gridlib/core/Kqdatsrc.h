#pragma once
// The library's data source: the platform's data source under the library's name, used by
// the application's forms between their datasets and grids.

#include "platform/data/DB.h"

class TkqDataSource : public TDataSource {
    Q_OBJECT
public:
    explicit TkqDataSource(QObject* owner = nullptr) : TDataSource(owner) {}
};
