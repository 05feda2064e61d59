#include "treestatus/qeStatusBar.h"
#include "treestatus/qeTreeView.h"
#include "tests/common/TestSupport.h"

#include <QTest>
#include <gtest/gtest.h>

TEST(StatusBar, PanelWidthsInPixelsAndPercent)
{
    struct Case {
        std::vector<const char*> widths;
        int barWidth;
        std::vector<int> pixels;
    };
    const Case cases[] = {
        {{"100%", "80"}, 659, {579, 80}},
        {{"100", "50%", "50%"}, 600, {100, 250, 250}},
        {{"100", "130", "130", "100", "60", "50"}, 400, {100, 130, 130, 40, 0, 0}},
    };
    for (const Case& c : cases) {
        TqeStatusBar bar;
        bar.SetSizeGrip(false);
        for (const char* w : c.widths) bar.Panels().Add()->SetWidth(QString::fromLatin1(w));
        bar.resize(c.barWidth, 20);
        bar.UpdatePanels();
        for (size_t i = 0; i < c.pixels.size(); ++i) EXPECT_EQ(bar.Panels()[int(i)]->PixelWidth(), c.pixels[i]) << i;
        // The last part reaches the right edge whatever its width.
        EXPECT_EQ(bar.Panels()[bar.Panels().Count() - 1]->GetRect().right(), c.barWidth - 1);
    }
    TqeStatusBar bar;
    TqeStatusPanel* p = bar.Panels().Add();
    for (const char* bad : {"-1", "abc", "%", "10%%", "-1%"}) EXPECT_THROW(p->SetWidth(QString::fromLatin1(bad)), Exception) << bad;
    EXPECT_EQ(p->Width(), QStringLiteral("50"));
}

TEST(StatusBar, PanelNamesTextsAndTheDrawTextEvent)
{
    TqeStatusBar bar;
    EXPECT_EQ(bar.Panels().Add()->Name(), QStringLiteral("Panel0"));
    EXPECT_EQ(bar.Panels().Add()->Name(), QStringLiteral("Panel1"));
    bar.Panels().Delete(0);
    EXPECT_EQ(bar.Panels().Add()->Name(), QStringLiteral("Panel0"));
    bar.Panels()[0]->SetName(QStringLiteral("panVersion"));
    EXPECT_EQ(bar.Panels().FindPanel(QStringLiteral("panVersion")), bar.Panels()[0]);
    EXPECT_EQ(bar.Panels().FindPanel(QStringLiteral("PANVERSION")), nullptr);
    EXPECT_THROW(bar.Panels()[1]->SetName(QStringLiteral("panVersion")), Exception);
    EXPECT_THROW(bar.Panels()[9], EListError);

    QStringList changes;
    TqeStatusPanel* rec = bar.Panels()[1];
    rec->OnTextChanged = [&](TqeStatusPanel*, const QString& t) { changes << t; };
    rec->SetText(QStringLiteral("Rec: 1 / 2"));
    rec->SetText(QStringLiteral("Rec: 1 / 2"));
    EXPECT_EQ(changes, QStringList{QStringLiteral("Rec: 1 / 2")});

    // The version panel: its text comes from the event when it is drawn.
    TqeStatusPanel* version = bar.Panels()[0];
    version->OnDrawText = [](TqeStatusPanel*, QString& text, bool& enabled) {
        text = QStringLiteral("1.0.0.0");
        enabled = true;
    };
    bar.resize(300, 20);
    bar.grab();
    EXPECT_EQ(version->DrawnText(), QStringLiteral("1.0.0.0"));
    EXPECT_TRUE(version->Text().isEmpty());
    EXPECT_EQ(bar.GetPanelAt(5, 5), version);
}

TEST(TreeView, FileNodesExpandIntoColumnsOnDemand)
{
    TqeTreeView tree;
    tree.resize(300, 300);
    TqeTreeNodes& items = tree.Items();
    items.BeginUpdate();
    TqeTreeNode* file = items.AddChild(nullptr, QStringLiteral("/data/orders.cds"));
    TqeTreeNode* columns = items.AddChild(file, QStringLiteral("Columns"));
    columns->SetImageIndex(0);
    items.AddChild(columns, QString());   // placeholder: shows the expand button
    items.AddChild(nullptr, QStringLiteral("/data/Zeta.xml"));
    items.EndUpdate();
    EXPECT_EQ(items.Count(), 4);
    EXPECT_EQ(items.Item(1), columns);
    EXPECT_THROW(items.Item(4), ETreeViewError);
    EXPECT_THROW(items.Item(-1), ETreeViewError);
    EXPECT_EQ(columns->Level(), 1);
    EXPECT_EQ(columns->Parent(), file);
    EXPECT_EQ(items.Item(3)->Index(), 1);
    EXPECT_TRUE(columns->HasChildren());

    QStringList deleted;
    tree.OnDeletion = [&](TqeTreeView*, TqeTreeNode* n) { deleted << n->Text(); };
    tree.OnExpanding = [&](TqeTreeView* t, TqeTreeNode* node, bool& allow) {
        if (node->Text() == QLatin1String("Columns")) {
            node->DeleteChildren();
            t->Items().AddChild(node, QStringLiteral("Code String(20)"));
            t->Items().AddChild(node, QStringLiteral("Amount Float(0)"));
        }
        allow = node->Text() != QLatin1String("/data/Zeta.xml");
    };
    file->Expand();
    columns->Expand();
    EXPECT_TRUE(columns->Expanded());
    EXPECT_EQ(columns->Count(), 2);
    EXPECT_EQ(deleted, QStringList{QString()});
    EXPECT_EQ(columns->Item(1)->Text(), QStringLiteral("Amount Float(0)"));
    EXPECT_THROW(columns->Item(2), ETreeViewError);

    // Finding by text: a-z case ignored; visible nodes only when asked.
    EXPECT_EQ(items.FindNodeByText(QStringLiteral("/DATA/ORDERS.CDS"), true), file);
    columns->Collapse();
    EXPECT_EQ(items.FindNodeByText(QStringLiteral("code string(20)"), true), nullptr);
    EXPECT_NE(items.FindNodeByText(QStringLiteral("code string(20)"), false), nullptr);

    // A refused expansion leaves the node closed.
    TqeTreeNode* zeta = items.Item(items.Count() - 1);
    items.AddChild(zeta, QString());
    zeta->Expand();
    EXPECT_FALSE(zeta->Expanded());

    tree.SetSelected(file);
    EXPECT_EQ(tree.Selected(), file);
    tree.show();
    const QRect r = tree.visualItemRect(zeta);
    const QPoint at = tree.viewport()->mapTo(&tree, r.center());
    EXPECT_EQ(tree.GetNodeAt(at.x(), at.y()), zeta);
    tree.SetRightClickSelects(true);
    QTest::mouseClick(tree.viewport(), Qt::RightButton, Qt::NoModifier, r.center());
    EXPECT_EQ(tree.Selected(), zeta);

    deleted.clear();
    items.Clear();
    EXPECT_EQ(items.Count(), 0);
    EXPECT_EQ(deleted.size(), 6);
    EXPECT_EQ(items.GetFirstNode(), nullptr);
}
