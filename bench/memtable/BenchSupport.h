#pragma once
// Shared by the memory-table benchmarks.

#include <QByteArray>
#include <QIODevice>

// The stream of a million records of ten fields.
const QByteArray& MillionRecordStream();

// Counts what is written and keeps nothing: the encoder's own cost, as a file would take it.
class TCountingDevice : public QIODevice {
public:
    TCountingDevice() { open(QIODevice::WriteOnly); }
    qint64 Count = 0;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 len) override
    {
        Count += len;
        return len;
    }
};
