#pragma once
// The clipboards the workbench's windows share for the whole run: the structure window's field
// definitions (open and empty from the start) and the data window's records (closed until the
// first copy). The frame owns the one object; a window on its own (as in a test) gets one that
// lives as long as the application.

#include <QObject>

class TClientDataSet;

class TSharedClipboards : public QObject {
    Q_OBJECT
public:
    explicit TSharedClipboards(QObject* owner = nullptr);
    ~TSharedClipboards() override;

    TClientDataSet* cdsFieldDefsClipBoard;
    TClientDataSet* cdsViewClipboard;

    // The frame's clipboards, or the application's while there is no frame.
    static TSharedClipboards* Instance();
};
