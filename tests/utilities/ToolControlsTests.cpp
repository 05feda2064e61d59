#include "platform/vcl/Dialogs.h"
#include "tests/common/TestSupport.h"
#include "utilities/VZProps.h"
#include "utilities/VZSplit.h"

#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

TEST(VzSplitter, DraggingResizesTheControlBelow)
{
    QWidget form;
    form.resize(300, 300);
    auto* layout = new QVBoxLayout(&form);
    auto* top = new QWidget(&form);
    auto* splitter = new TVzSplitter(&form);
    splitter->setFixedHeight(12);
    auto* bottom = new QWidget(&form);
    bottom->setFixedHeight(100);
    layout->addWidget(top);
    layout->addWidget(splitter);
    layout->addWidget(bottom);
    splitter->SetControlFirst(bottom);
    form.show();
    QTest::mousePress(splitter, Qt::LeftButton, Qt::NoModifier, QPoint(10, 5));
    QTest::mouseMove(splitter, QPoint(10, -25));
    QTest::mouseRelease(splitter, Qt::LeftButton, Qt::NoModifier, QPoint(10, -25));
    EXPECT_EQ(bottom->height(), 130);
    // Escape cancels a drag.
    QTest::mousePress(splitter, Qt::LeftButton, Qt::NoModifier, QPoint(10, 5));
    QTest::mouseMove(splitter, QPoint(10, 60));
    QTest::keyClick(splitter, Qt::Key_Escape);
    QTest::mouseRelease(splitter, Qt::LeftButton, Qt::NoModifier, QPoint(10, 60));
    EXPECT_EQ(bottom->height(), 130);
}
