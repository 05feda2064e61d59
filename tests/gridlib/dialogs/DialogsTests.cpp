#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"
#include "tests/common/TestSupport.h"
#include "tests/gridlib/dialogs/ModalTestSupport.h"
#include "tests/gridlib/GridTestData.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <functional>

namespace {

struct Data {
    Data()
    {
        ds.Define({{"Id", ftInteger}, {"Name", ftWideString}, {"Amount", ftFloat}, {"Notes", ftMemo}});
        const char* names[] = {"Apple", "banana", "Cherry", "apricot", "", "Banana split"};
        for (int i = 0; i < 6; ++i)
            ds.AddRow({TVariant(i + 1), TVariant(QString::fromLatin1(names[i])), TVariant(1.5 * i), TVariant::Null()});
        source.SetDataSet(&ds);
        ds.Open();
    }
    TGridTestDataSet ds;
    TDataSource source;
};

} // namespace

