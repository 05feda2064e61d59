#include "tests/app/AppTestSupport.h"

#include "platform/client/ClientDataSet.h"

#include <QApplication>
#include <QTimer>
#include <gtest/gtest.h>

TWorkbenchFixture::TWorkbenchFixture()
{
    SetSettingsFileName(SettingsFile());
    SetDataWindowFactory([] { return new TFakeDataWindow; });
    SetStructureWindowFactory([] { return new TFakeStructureWindow; });
    SetMigrateWindowFactory([] { return new TFakeMigrateWindow; });
}

TWorkbenchFixture::~TWorkbenchFixture()
{
    SetDataWindowFactory(nullptr);
    SetStructureWindowFactory(nullptr);
    SetMigrateWindowFactory(nullptr);
    SetSettingsFileName(QString());
    Settle();
}

QList<TFakeDataWindow*> TWorkbenchFixture::DataWindows() const { return OpenChildren<TFakeDataWindow>(); }
QList<TFakeStructureWindow*> TWorkbenchFixture::StructureWindows() const { return OpenChildren<TFakeStructureWindow>(); }
QList<TFakeMigrateWindow*> TWorkbenchFixture::MigrateWindows() const { return OpenChildren<TFakeMigrateWindow>(); }

void WithModal(const std::function<void()>& action, const std::function<void(QDialog*)>& answer)
{
    bool answered = false;
    // Owned here, so that an action that throws frees it too.
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&answered, &answer, &timer] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || answered) return;
        answered = true;
        timer.stop();
        answer(dialog);
    });
    timer.start();
    action();
    timer.stop();
    EXPECT_TRUE(answered) << "no modal dialog was shown";
}

void Settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

void WriteNestedFile(const QString& path)
{
    TClientDataSet ds;
    ds.FieldDefs().Add("ID", ftInteger);
    TFieldDef* items = ds.FieldDefs().Add("Items", ftDataSet);
    items->ChildDefs()->Add("Code", ftString, 10);
    items->ChildDefs()->Add("Qty", ftInteger);
    ds.FieldDefs().Add("Notes", ftString, 40);
    ds.CreateDataSet();
    ds.SaveToFile(path);
}
