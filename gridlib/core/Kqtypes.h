#pragma once
// A dialog's remembered position (the record view dialog publishes one as its FormPosition).

#include <QObject>

class TkqFormPosition : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Left MEMBER Left)
    Q_PROPERTY(int Top MEMBER Top)
    Q_PROPERTY(int Width MEMBER Width)
    Q_PROPERTY(int Height MEMBER Height)
public:
    explicit TkqFormPosition(QObject* parent = nullptr) : QObject(parent) {}
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
};
