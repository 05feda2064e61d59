#include "treestatus/qeTreeView.h"
#include "tests/common/TestSupport.h"

#include <QTest>
#include <gtest/gtest.h>

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
