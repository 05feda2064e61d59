#include "app/RegisterWindows.h"

#include "app/UDBFiller.h"
#include "app/UMigrate.h"
#include "app/UModifyEditStruct.h"
#include "app/UViewData.h"
#include "app/WorkbenchWindows.h"
#include "gridlib/editors/kqdbdatetimepicker.h"

#include <QApplication>

void RegisterWorkbenchWindows()
{
    // The data, structure and migration windows register their factories here.
    SetMigrateWindowFactory([] { return new TFrmMigrate; });
    SetDataWindowFactory([] { return new TFrmViewData; });
    SetFillerDialogFactory([](TClientDataSet* target) {
        TfrmDBFiller filler(QApplication::activeWindow());
        filler.SetDataSet(target);
        filler.exec();
    });
    SetStructureWindowFactory([] { return new TFrmModifyEditStruct; });
    // Date cells of the data grids edit through the picker.
    RegisterDateTimePickerClass();
}
