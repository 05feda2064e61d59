#pragma once
// Base of the library's dialog components: Execute shows the dialog and applies its result,
// GetPrimaryDataSet names the dataset the dialog works on.

#include <QObject>

class TDataSet;

class TkqCustomDialog : public QObject {
    Q_OBJECT
public:
    explicit TkqCustomDialog(QObject* owner = nullptr) : QObject(owner) {}
    virtual bool Execute() = 0;
    virtual TDataSet* GetPrimaryDataSet() const = 0;
};
