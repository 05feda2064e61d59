// The expand button: a nested dataset opens in a detail grid inside the current row.

#include "gridlib/grid/Kqdbgrid.h"
#include "gridlib/grid/kqexpand.h"
#include "platform/client/ClientDataSet.h"

#include <QApplication>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <memory>

namespace {

// Orders (ID, Items) with a nested list of items (Code, Qty) in the record grid; the button
// opens the items in the detail grid.
struct NestedForm {
    explicit NestedForm(int orders = 8, int itemsEach = 3)
    {
        form = std::make_unique<QWidget>();
        form->setObjectName(QStringLiteral("NestedForm"));
        form->resize(560, 340);
        auto* layout = new QVBoxLayout(form.get());
        grid = new TkqDBGrid(form.get());
        grid->setObjectName(QStringLiteral("grdMaster"));
        layout->addWidget(grid);
        detail = new TkqDBGrid(form.get());
        detail->setObjectName(QStringLiteral("grdDetail"));
        detail->resize(300, 120);
        button = new TkqExpandButton(form.get());
        button->setObjectName(QStringLiteral("ExpandButton"));
        button->SetAutoShrink(false);
        button->SetGrid(detail);

        ds = std::make_unique<TClientDataSet>();
        ds->FieldDefs().Add(QStringLiteral("ID"), ftInteger);
        TFieldDef* items = ds->FieldDefs().Add(QStringLiteral("Items"), ftDataSet);
        items->ChildDefs()->Add(QStringLiteral("Code"), ftString, 10);
        items->ChildDefs()->Add(QStringLiteral("Qty"), ftInteger);
        ds->CreateDataSet();
        auto* nested = Items();
        for (int i = 1; i <= orders; ++i) {
            ds->Append();
            ds->FieldByName(QStringLiteral("ID"))->SetAsInteger(i);
            for (int k = 1; k <= itemsEach; ++k) {
                nested->Append();
                nested->FieldByName(QStringLiteral("Code"))->SetAsString(QStringLiteral("c%1.%2").arg(i).arg(k));
                nested->FieldByName(QStringLiteral("Qty"))->SetAsInteger(k);
                nested->Post();
            }
            ds->Post();
        }
        ds->First();
        ds->AfterPost = [this](TDataSet*) { ++posts; };
        masterSource.SetDataSet(ds.get());
        detailSource.SetDataSet(nested);
        grid->SetDataSource(&masterSource);
        detail->SetDataSource(&detailSource);
        grid->SetControlType(QStringLiteral("Items"), 3, QStringLiteral("ExpandButton"));
        // As the data window does: a collapse posts what the nested grid changed.
        button->OnBeforeCollapse = [this](QObject*) {
            Items()->CheckBrowseMode();
            if (ds->State() == dsEdit) ds->Post();
        };
        form->show();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        grid->setFocus();
        grid->SelectFieldByName(QStringLiteral("Items"));
        QApplication::processEvents();
    }
    TClientDataSet* Items() const
    {
        return qobject_cast<TClientDataSet*>(qobject_cast<TDataSetField*>(ds->FieldByName(QStringLiteral("Items")))->NestedDataSet());
    }
    void Key(QWidget* target, int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::keyClick(target, Qt::Key(key), mods);
        QApplication::processEvents();
    }

    std::unique_ptr<QWidget> form;
    TkqDBGrid* grid = nullptr;
    TkqDBGrid* detail = nullptr;
    TkqExpandButton* button = nullptr;
    std::unique_ptr<TClientDataSet> ds;
    TDataSource masterSource, detailSource;
    int posts = 0;
};

} // namespace

TEST(ExpandButton, NestedEditIsPostedOnceWhenTheDetailCloses)
{
    NestedForm f;
    TkqDBGrid& g = *f.grid;
    EXPECT_EQ(g.CurrentCellControl(), f.button);
    EXPECT_TRUE(f.button->isVisible());
    const int rowHeight = g.RowHeights(g.Row());
    f.Key(&g, Qt::Key_Right, Qt::ControlModifier);
    ASSERT_TRUE(f.button->Expanded());
    EXPECT_TRUE(f.detail->isVisible());
    EXPECT_EQ(f.detail->parentWidget(), g.viewport());
    EXPECT_EQ(f.detail->y(), f.button->y() + f.button->height());
    EXPECT_EQ(g.RowHeights(g.Row()), rowHeight + f.detail->height() - 1);
    EXPECT_TRUE(f.detail->hasFocus());

    // Typing in the detail grid edits a nested row; the master goes into edit state with it.
    f.detail->SelectFieldByName(QStringLiteral("Qty"));
    f.Key(f.detail, Qt::Key_Down);
    for (QChar ch : QStringLiteral("42")) f.Key(QApplication::focusWidget(), ch.unicode());
    f.Key(QApplication::focusWidget(), Qt::Key_Up);
    EXPECT_EQ(f.Items()->FieldByName(QStringLiteral("Qty"))->AsInteger(), 1);
    EXPECT_EQ(f.ds->State(), dsEdit);
    EXPECT_EQ(f.posts, 0);

    // Ctrl+Left in the detail closes it: the master record is posted, once.
    f.Key(f.detail, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_FALSE(f.button->Expanded());
    EXPECT_FALSE(f.detail->isVisible());
    EXPECT_EQ(f.posts, 1);
    EXPECT_EQ(g.RowHeights(g.Row()), rowHeight);
    EXPECT_TRUE(g.hasFocus());
    f.Items()->First();
    f.Items()->Next();
    EXPECT_EQ(f.Items()->FieldByName(QStringLiteral("Qty"))->AsInteger(), 42);
}

TEST(ExpandButton, RecordChangesCloseTheDetailAndTheLastRowsShiftUp)
{
    NestedForm f(30);
    TkqDBGrid& g = *f.grid;
    f.button->SetExpanded(true);
    ASSERT_TRUE(f.button->Expanded());
    EXPECT_EQ(g.RowOffset(), 0);
    f.ds->Next();
    QApplication::processEvents();
    EXPECT_FALSE(f.button->Expanded());
    EXPECT_FALSE(f.detail->isVisible());

    // Expanding on the last visible row moves the rows up by what the detail would hide.
    g.setFocus();
    const int last = g.VisibleRowCount() - 1;
    g.SetDataRow(last);
    QApplication::processEvents();
    g.repaint();
    const int buttonTop = f.button->y();
    f.button->SetExpanded(true);
    ASSERT_TRUE(f.button->Expanded());
    const int pitch = g.DefaultRowHeight() + 1;
    EXPECT_GT(g.RowOffset(), 0);
    EXPECT_LE(g.RowOffset(), last);
    EXPECT_EQ(f.button->y(), buttonTop - g.RowOffset() * pitch);
    EXPECT_LE(f.detail->geometry().bottom(), g.viewport()->height());
    f.button->SetExpanded(false);
    EXPECT_EQ(g.RowOffset(), 0);
}

TEST(ExpandButton, ShrinksToItsRowsAndCanHideItsGlyph)
{
    NestedForm f(4, 2);
    f.button->SetAutoShrink(true);
    const int designed = f.detail->height();
    f.button->SetExpanded(true);
    ASSERT_TRUE(f.button->Expanded());
    EXPECT_LT(f.detail->height(), designed);
    const TRect last = f.detail->GetCellRectDefaultHeight(0, f.detail->RowCount() - 1);
    EXPECT_GE(f.detail->viewport()->height(), last.Top + f.detail->DefaultRowHeight());
    f.button->SetExpanded(false);

    // The registered request expands; a second one changes nothing.
    QEvent request{QEvent::Type(TkqExpandButton::ExpandEventType())};
    QApplication::sendEvent(f.button, &request);
    EXPECT_TRUE(f.button->Expanded());
    QApplication::sendEvent(f.button, &request);
    EXPECT_TRUE(f.button->Expanded());
    f.button->SetExpanded(false);

    // An expansion refused by its handler leaves everything as it was.
    f.button->OnBeforeExpand = [](QObject*) { Abort(); };
    f.button->SetExpanded(true);
    EXPECT_FALSE(f.button->Expanded());
    EXPECT_FALSE(f.detail->isVisible());
}
