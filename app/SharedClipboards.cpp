#include "app/SharedClipboards.h"

#include "app/UGeneral.h"
#include "platform/client/ClientDataSet.h"

#include <QCoreApplication>

namespace {
TSharedClipboards* GClipboards = nullptr;
}

TSharedClipboards::TSharedClipboards(QObject* owner) : QObject(owner)
{
    setObjectName(QStringLiteral("SharedClipboards"));
    cdsFieldDefsClipBoard = new TClientDataSet(this);
    cdsFieldDefsClipBoard->setObjectName(QStringLiteral("cdsFieldDefsClipBoard"));
    CreateFieldDefsClipboard(cdsFieldDefsClipBoard);
    cdsViewClipboard = new TClientDataSet(this);
    cdsViewClipboard->setObjectName(QStringLiteral("cdsViewClipboard"));
    GClipboards = this;
}

TSharedClipboards::~TSharedClipboards()
{
    if (GClipboards == this) GClipboards = nullptr;
}

TSharedClipboards* TSharedClipboards::Instance()
{
    if (!GClipboards) new TSharedClipboards(QCoreApplication::instance());
    return GClipboards;
}
