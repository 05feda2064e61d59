#pragma once
// Base of the library's dialog components: Execute shows the dialog and applies its result
// (a Boolean whose meaning each dialog defines), GetPrimaryDataSet names the dataset the
// dialog works on. Every descendant implements both.

#include <QObject>

class TDataSet;

class TkqCustomDialog : public QObject {
    Q_OBJECT
public:
    explicit TkqCustomDialog(QObject* owner = nullptr) : QObject(owner) {}
    virtual bool Execute() = 0;
    virtual TDataSet* GetPrimaryDataSet() const = 0;
};
