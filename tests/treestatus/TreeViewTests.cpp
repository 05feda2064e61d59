#include "platform/vcl/Shell.h"
#include "treestatus/qeTreeView.h"
#include "tests/common/TestSupport.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDataStream>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {
struct TreeFixture : ::testing::Test {
    TqeTreeView Tree;
    TqeTreeNodes& Items = Tree.Items();
    TreeFixture() { Tree.resize(300, 200); }
    // The centre of a node's label, for clicks.
    QPoint Label(TqeTreeNode* n)
    {
        const TRect r = n->GetDisplayRect(true);
        return QPoint(r.Left + 3, (r.Top + r.Bottom) / 2);
    }
    void Click(TqeTreeNode* n, Qt::KeyboardModifiers mods = {}, Qt::MouseButton b = Qt::LeftButton)
    {
        QTest::mouseClick(Tree.viewport(), b, mods, Label(n));
    }
};

qint32 IntAt(const QByteArray& b, int offset)
{
    qint32 v;
    memcpy(&v, b.constData() + offset, 4);
    return v;
}
} // namespace

TEST_F(TreeFixture, ItemsIndexesAndFinding)
{
    TqeTreeNode* a = Items.AddChild(nullptr, QStringLiteral("abc"));
    EXPECT_EQ(Items.GetItem(0), a);
    EXPECT_THROW(Items.GetItem(1), ETreeViewError);
    EXPECT_THROW(Items.GetItem(-1), ETreeViewError);
    try {
        a->Item(5);
        ADD_FAILURE();
    } catch (const ETreeViewError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("List index out of bounds (5)"));
    }
    TqeTreeNode* b = Items.AddChild(a, QStringLiteral("b"));
    TqeTreeNode* c = Items.AddChild(a, QStringLiteral("c"));
    TqeTreeNode* d = Items.AddChild(nullptr, QStringLiteral("Élan"));
    EXPECT_EQ(Items.Count(), 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Items.GetItem(i)->AbsoluteIndex(), i);
    EXPECT_EQ(Items.GetItem(3), d);
    EXPECT_EQ(Items.GetItem(1), b);   // far from the cached index: walks from the first node
    EXPECT_EQ(c->Index(), 1);
    EXPECT_EQ(c->Level(), 1);
    EXPECT_EQ(Items.FindNodeByText(QStringLiteral("ABC"), false), a);
    EXPECT_EQ(Items.FindNodeByText(QStringLiteral("élan"), false), nullptr);   // only a to z fold
    EXPECT_EQ(Items.FindNodeByText(QStringLiteral("Élan"), false), d);
    EXPECT_EQ(Items.FindNodeByText(QStringLiteral("C"), true), nullptr);       // hidden under a

    b->SetStateIndex(0);
    EXPECT_EQ(b->StateIndex(), -1);
    b->SetCheckboxType(cbtCheckbox);
    EXPECT_EQ(b->StateIndex(), 1);
    b->SetStateIndex(2);
    EXPECT_EQ(b->StateIndex(), 1);

    // Expanding a node without children fires nothing; DeleteChildren frees the placeholder.
    QStringList events;
    Tree.OnExpanding = [&](TqeCustomTreeView*, TqeTreeNode* n, bool&) { events << QStringLiteral("expanding ") + n->Text(); };
    Tree.OnDeletion = [&](TqeCustomTreeView*, TqeTreeNode* n) { events << QStringLiteral("deleted ") + n->Text(); };
    b->Expand();
    EXPECT_TRUE(events.isEmpty());
    Items.AddChild(d, QStringLiteral("placeholder"));
    EXPECT_TRUE(d->HasChildren());
    d->DeleteChildren();
    EXPECT_EQ(events, QStringList{QStringLiteral("deleted placeholder")});
    EXPECT_FALSE(d->HasChildren());
}

TEST_F(TreeFixture, DataStreamRoundTrips)
{
    EXPECT_EQ(Tree.Data(), QByteArray(4, '\0'));

    TqeTreeNode* a = Items.AddChild(nullptr, QString(300, QLatin1Char('x')));
    a->SetLinkText(QStringLiteral("https://example.org"));
    a->SetExtraText(QStringLiteral("extra"));
    a->SetData(-7);
    a->SetImageIndex(3);
    a->SetCheckboxType(cbtRadioButton);
    a->SetChecked(true);
    a->SetGrayed(true);
    TqeTreeNode* wide = Items.AddChild(a, QString(200, QChar(0xE9)));   // 400 bytes of UTF-8
    Items.AddChild(a, QStringLiteral("second"));
    const QByteArray data = Tree.Data();
    EXPECT_EQ(IntAt(data, 0), 1);
    EXPECT_EQ(IntAt(data, 4), 294);   // 39 + the text cut to 255 bytes
    Q_UNUSED(wide);

    TqeTreeView copy;
    copy.SetData(data);
    EXPECT_EQ(copy.StreamVersion(), 1);
    TqeTreeNode* r = copy.Items().GetFirstNode();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->Text(), QString(255, QLatin1Char('x')));
    EXPECT_EQ(r->LinkText(), QStringLiteral("https://example.org"));
    EXPECT_EQ(r->ExtraText(), QStringLiteral("extra"));
    EXPECT_EQ(r->Data(), -7);
    EXPECT_EQ(r->ImageIndex(), 3);
    EXPECT_EQ(r->CheckboxType(), cbtRadioButton);
    EXPECT_TRUE(r->Checked());
    EXPECT_TRUE(r->Grayed());
    ASSERT_EQ(r->Count(), 2);
    EXPECT_EQ(r->Item(0)->Text(), QString(127, QChar(0xE9)));   // cut at a character boundary
    EXPECT_EQ(r->Item(1)->Text(), QStringLiteral("second"));

    // Items.Assign copies through the same stream and selects the first node.
    TqeTreeView assigned;
    assigned.Items().Assign(Items);
    EXPECT_EQ(assigned.Items().Count(), 3);
    EXPECT_EQ(assigned.Selected(), assigned.Items().GetFirstNode());

    // A damaged stream gives an error, never a crash.
    for (int cut : {2, 6, 20, 60, int(data.size()) - 3})
        EXPECT_THROW(copy.SetData(data.left(cut)), ETreeViewError) << cut;
}

TEST_F(TreeFixture, RadioButtonsAndCheckBoxes)
{
    QList<TqeTreeNode*> toggled;
    Tree.OnToggleCheckbox = [&](TqeCustomTreeView*, TqeTreeNode* n) { toggled << n; };
    TqeTreeNode* r1 = Items.AddChild(nullptr, QStringLiteral("r1"));
    TqeTreeNode* r2 = Items.AddChild(nullptr, QStringLiteral("r2"));
    TqeTreeNode* box = Items.AddChild(nullptr, QStringLiteral("box"));
    r1->SetCheckboxType(cbtRadioButton);
    r2->SetCheckboxType(cbtRadioButton);
    box->SetCheckboxType(cbtCheckbox);
    r1->SetChecked(true);
    box->SetChecked(true);
    toggled.clear();
    r2->SetChecked(true);   // unchecks r1 without its event, and the checked box with its own
    EXPECT_FALSE(r1->Checked());
    EXPECT_FALSE(box->Checked());
    EXPECT_EQ(toggled, (QList<TqeTreeNode*>{box, r2}));
    toggled.clear();
    r2->SetChecked(false);
    EXPECT_TRUE(toggled.isEmpty());

    // Three presses on a three-state box: checked, checked-grayed, unchecked (Space on the
    // selected node acts as a click on its box and never reaches the control).
    Tree.SetOptions(Tree.Options().With(tvo3StateCheckbox, true));
    box->SetChecked(false);
    Tree.SetSelected(box);
    Tree.show();
    std::vector<std::pair<bool, bool>> states;
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(&Tree, Qt::Key_Space);
        states.emplace_back(box->Checked(), box->Grayed());
    }
    EXPECT_EQ(states, (std::vector<std::pair<bool, bool>>{{true, false}, {true, true}, {false, false}}));
    // A node without a box toggles too when there is no multi-selection.
    TqeTreeNode* plain = Items.AddChild(nullptr, QStringLiteral("plain"));
    Tree.SetSelected(plain);
    toggled.clear();
    QTest::keyClick(&Tree, Qt::Key_Space);
    EXPECT_TRUE(plain->Checked());
    EXPECT_EQ(toggled, QList<TqeTreeNode*>{plain});
    Tree.SetReadOnly(true);
    QTest::keyClick(&Tree, Qt::Key_Space);
    EXPECT_TRUE(plain->Checked());
}

TEST_F(TreeFixture, SelectionRefusalChangeDelayAndKeys)
{
    TqeTreeNode* a = Items.AddChild(nullptr, QStringLiteral("a"));
    TqeTreeNode* a1 = Items.AddChild(a, QStringLiteral("a1"));
    TqeTreeNode* b = Items.AddChild(nullptr, QStringLiteral("b"));
    QStringList events;
    bool refuse = false;
    Tree.OnChanging = [&](TqeCustomTreeView*, TqeTreeNode* n, bool& allow) {
        events << QStringLiteral("changing ") + (n ? n->Text() : QString());
        allow = !refuse;
    };
    Tree.OnChange = [&](TqeCustomTreeView*, TqeTreeNode* n) { events << QStringLiteral("change ") + (n ? n->Text() : QString()); };
    Tree.show();
    Tree.setFocus();
    Tree.SetSelected(a);
    QTest::keyClick(&Tree, Qt::Key_Down);
    EXPECT_EQ(Tree.Selected(), b);   // a is collapsed
    QTest::keyClick(&Tree, Qt::Key_Up);
    QTest::keyClick(&Tree, Qt::Key_Right);
    EXPECT_TRUE(a->Expanded());
    QTest::keyClick(&Tree, Qt::Key_Right);
    EXPECT_EQ(Tree.Selected(), a1);
    QTest::keyClick(&Tree, Qt::Key_Left);
    EXPECT_EQ(Tree.Selected(), a);
    QTest::keyClick(&Tree, Qt::Key_End);
    EXPECT_EQ(Tree.Selected(), b);
    refuse = true;
    QTest::keyClick(&Tree, Qt::Key_Home);
    EXPECT_EQ(Tree.Selected(), b);
    refuse = false;

    // With a delay, three changes give one change event, for the last node, when the timer fires.
    Tree.SetChangeDelay(300);
    events.clear();
    Tree.SetSelected(a);
    Tree.SetSelected(a1);
    Tree.SetSelected(b);
    EXPECT_EQ(events.filter(QStringLiteral("change ")).size(), 0);
    Tree.ChangeTimerTick();
    EXPECT_EQ(events.filter(QStringLiteral("change ")), QStringList{QStringLiteral("change b")});

    events.clear();
    Items.Clear();
    EXPECT_TRUE(events.isEmpty());
    EXPECT_EQ(Tree.Selected(), nullptr);
    EXPECT_EQ(Items.Count(), 0);
}

TEST_F(TreeFixture, MultiSelectionByMouse)
{
    Tree.MultiSelectAttributes().SetEnabled(true);
    Tree.MultiSelectAttributes().SetMultiSelectCheckbox(false);
    TqeTreeNode* n[4];
    for (int i = 0; i < 4; ++i) n[i] = Items.AddChild(nullptr, QString(QChar('A' + i)));
    TqeTreeNode* child = Items.AddChild(n[3], QStringLiteral("child"));
    Tree.show();
    auto selected = [&] {
        QString s;
        for (TqeTreeNode* m : Tree.MultiSelection()) s += m->Text();
        std::sort(s.begin(), s.end());
        return s;
    };
    Click(n[0]);
    Click(n[3], Qt::ShiftModifier);
    EXPECT_EQ(selected(), QStringLiteral("ABCD"));
    EXPECT_EQ(Tree.Selected(), n[3]);
    n[3]->Expand();
    Click(child);   // not a selectable level: the list stays
    EXPECT_EQ(selected(), QStringLiteral("ABCD"));

    Tree.MultiSelectAttributes().SetAutoUnselect(false);
    Tree.ClearMultiSelection(nullptr);
    Click(n[1]);
    EXPECT_EQ(selected(), QString());
    Click(n[1], Qt::ControlModifier);
    Click(n[2], Qt::ControlModifier);
    Click(n[1], Qt::ControlModifier);
    EXPECT_EQ(selected(), QStringLiteral("C"));

    // Every level: a Shift range across parents selects nothing and keeps the anchor.
    Tree.MultiSelectAttributes().SetAutoUnselect(true);
    Tree.MultiSelectAttributes().SetMultiSelectLevel(-1);
    Click(n[0]);
    EXPECT_EQ(selected(), QStringLiteral("A"));
    Click(child, Qt::ShiftModifier);
    EXPECT_EQ(selected(), QString());
    EXPECT_EQ(Tree.MultiSelectAnchor(), n[0]);

    // With check boxes: checking a box adds the node and fires the toggle event once.
    Tree.MultiSelectAttributes().SetMultiSelectCheckbox(true);
    int toggles = 0;
    Tree.OnToggleCheckbox = [&](TqeCustomTreeView*, TqeTreeNode*) { ++toggles; };
    n[2]->SetChecked(true);
    EXPECT_TRUE(n[2]->MultiSelected());
    EXPECT_EQ(toggles, 1);
    Tree.ClearMultiSelection(nullptr);
    EXPECT_FALSE(n[2]->Checked());
}

TEST_F(TreeFixture, DrawingGeometryAndColours)
{
    TImageList images(16, 16);
    QImage red(16, 16, QImage::Format_ARGB32);
    red.fill(Qt::red);
    images.AddImage(red);
    Tree.SetImages(&images);
    TqeTreeNode* a = Items.AddChild(nullptr, QStringLiteral("with image"));
    TqeTreeNode* b = Items.AddChild(nullptr, QStringLiteral("no image"));
    b->SetImageIndex(-2);
    TqeTreeNode* c = Items.AddChild(nullptr, QStringLiteral("checked"));
    c->SetCheckboxType(cbtCheckbox);
    Tree.show();
    Tree.grab();
    EXPECT_EQ(Tree.PaintedCount(), 3);
    // Image -2: the text starts where the image would be; the others' images are drawn.
    EXPECT_EQ(b->GetDisplayRect(true).Left, a->GetDisplayRect(true).Left - 17);
    const QImage img = Tree.PaintedImage();
    const TRect ra = a->GetDisplayRect(true);
    EXPECT_EQ(img.pixelColor(ra.Left - 10, (ra.Top + ra.Bottom) / 2), QColor(Qt::red));
    const TRect rb = b->GetDisplayRect(true);
    EXPECT_NE(img.pixelColor(rb.Left + 1, (rb.Top + rb.Bottom) / 2), QColor(Qt::red));
    EXPECT_EQ(Tree.GetHitTestInfoAt(rb.Left + 2, rb.Top + 3).Contains(hitOnLabel), true);
    EXPECT_GE(Tree.ItemHeight(), 16);

    // A selected node in an unfocused tree: like an unselected one with HideSelection, else in
    // the inactive colour (grey when that is the tree's colour).
    Tree.SetSelected(a);
    Tree.clearFocus();
    Tree.grab();
    const int y = (ra.Top + ra.Bottom) / 2;
    EXPECT_EQ(Tree.PaintedImage().pixel(ra.Right - 2, y), ColorToQColor(clWindow).rgb());
    Tree.SetOptions(Tree.Options().With(tvoHideSelection, false));
    Tree.SetInactiveFocusColor(clWindow);
    Tree.grab();
    EXPECT_EQ(Tree.PaintedImage().pixelColor(ra.Right - 2, y), QColor(128, 128, 128));

    // OnDrawText without default drawing: background stays, text goes.
    Tree.OnDrawText = [](TqeCustomTreeView*, TqeTreeNode*, TRect, TqeItemStates, bool& def) { def = false; };
    Tree.grab();
    int dark = 0;
    const TRect rc = c->GetDisplayRect(true);
    for (int x = rc.Left; x < rc.Right; ++x)
        for (int yy = rc.Top; yy < rc.Bottom; ++yy) dark += qGray(Tree.PaintedImage().pixel(x, yy)) < 100;
    EXPECT_EQ(dark, 0);
}

TEST_F(TreeFixture, LinksHintsAndDoubleClicks)
{
    Tree.SetOptions(Tree.Options().With(tvoAutoURL, true).With(tvoExpandOnDblClk, false));
    TqeTreeNode* link = Items.AddChild(nullptr, QStringLiteral("doc"));
    link->SetLinkText(QStringLiteral("/tmp/readme.txt"));
    TqeTreeNode* plain = Items.AddChild(nullptr, QStringLiteral("plain"));
    Items.AddChild(plain, QStringLiteral("kid"));
    TqeTreeNode* wide = Items.AddChild(nullptr, QString(80, QLatin1Char('w')));
    Tree.show();
    QStringList opened;
    SetShellOpenHandler([&](const QString& t) { opened << t; return true; });
    Click(link);
    Click(link, {}, Qt::RightButton);
    Click(plain);
    SetShellOpenHandler(nullptr);
    EXPECT_EQ(opened, QStringList{QStringLiteral("/tmp/readme.txt")});

    // A double click without tvoExpandOnDblClk gives the mouse events but does not expand.
    QStringList events;
    Tree.OnMouseDown = [&](TqeCustomTreeView*, TqeTreeNode*, TMouseButton, TShiftState, int, int) { events << "down"; };
    Tree.OnDblClick = [&](QObject*) { events << "dbl"; };
    QTest::mouseDClick(Tree.viewport(), Qt::LeftButton, {}, Label(plain));
    EXPECT_FALSE(plain->Expanded());
    EXPECT_TRUE(events.contains("down"));
    EXPECT_TRUE(events.contains("dbl"));

    // Hints only for texts the tree cuts off; gone after 17 ticks.
    QTest::mouseMove(Tree.viewport(), Label(plain));
    EXPECT_EQ(Tree.HintWindow(), nullptr);
    QTest::mouseMove(Tree.viewport(), Label(wide));
    ASSERT_NE(Tree.HintWindow(), nullptr);
    EXPECT_EQ(Tree.HintedNode(), wide);
    QCursor::setPos(Tree.viewport()->mapToGlobal(Label(wide)));
    for (int i = 0; i < 16; ++i) Tree.HintTimerTick();
    EXPECT_NE(Tree.HintWindow(), nullptr);
    Tree.HintTimerTick();
    EXPECT_EQ(Tree.HintWindow(), nullptr);

    // A drag image of the node's item; dragging over marks the drop target, leaving remembers it.
    Tree.BeginDragNode(plain);
    EXPECT_FALSE(Tree.DragImage().isNull());
    Tree.DragOverAt(Label(link).x(), Label(link).y());
    EXPECT_EQ(Tree.DropHighlight(), link);
    Tree.DragLeft();
    EXPECT_FALSE(link->DropTarget());
    EXPECT_EQ(Tree.DropHighlight(), link);
    Tree.DragDropped();
    EXPECT_EQ(Tree.DropHighlight(), nullptr);
}

TEST_F(TreeFixture, MovingNodesByAttachMode)
{
    // Top level a, b, c; b has children b1, b2. Each case moves a fresh copy of that tree.
    struct TCase {
        const char* node;
        const char* destination;
        TqeNodeAttachMode mode;
        const char* order;   // every node in tree order, children after their parent in brackets
    };
    const TCase cases[] = {
        {"a", "c", namAdd, "b[b1b2]ca"},
        {"c", "a", namAddFirst, "cab[b1b2]"},
        {"a", "b", namAddChild, "b[b1b2a]c"},
        {"c", "b", namAddChildFirst, "ab[cb1b2]"},
        {"c", "b2", namInsert, "ab[b1cb2]"},
        {"c", "b1", namInsert, "ab[cb1b2]"},
        {"a", "b", namInsert, "ab[b1b2]c"},   // already before it: nothing moves
        {"a", "b1", namInsertAfter, "b[b1ab2]c"},
        {"b", "b1", namAddChild, "ab[b1b2]c"},   // into its own subtree: nothing moves
        {"b1", nullptr, namAdd, "ab[b2]cb1"},
    };
    std::function<QString(TqeTreeNode*)> order = [&](TqeTreeNode* n) {
        QString s;
        for (; n; n = n->GetNextSibling()) {
            s += n->Text();
            if (n->GetFirstChild()) s += QLatin1Char('[') + order(n->GetFirstChild()) + QLatin1Char(']');
        }
        return s;
    };
    for (const TCase& c : cases) {
        Items.Clear();
        TqeTreeNode* b = nullptr;
        for (const char* t : {"a", "b", "c"}) {
            TqeTreeNode* n = Items.AddChild(nullptr, QString::fromLatin1(t));
            if (n->Text() == QLatin1String("b")) b = n;
        }
        Items.AddChild(b, QStringLiteral("b1"));
        Items.AddChild(b, QStringLiteral("b2"));
        auto find = [&](const char* t) { return t ? Items.FindNodeByText(QString::fromLatin1(t), false) : nullptr; };
        int changes = 0;
        Tree.OnChange = [&](TqeCustomTreeView*, TqeTreeNode*) { ++changes; };
        TqeTreeNode* moved = find(c.node);
        Tree.SetSelected(moved);
        changes = 0;
        moved->MoveTo(find(c.destination), c.mode);
        EXPECT_EQ(order(Items.GetFirstNode()), QString::fromLatin1(c.order)) << c.node << " " << c.mode;
        EXPECT_EQ(changes, 0);
        EXPECT_EQ(Tree.Selected(), moved);
        EXPECT_EQ(Items.Count(), 5);
        if (moved->Parent()) {
            EXPECT_TRUE(moved->Parent()->Expanded());
        }
        for (int i = 0; i < 5; ++i) EXPECT_EQ(Items.GetItem(i)->AbsoluteIndex(), i);
        Tree.OnChange = nullptr;
    }
    // The old parent that loses its only child has no children any more.
    Items.Clear();
    TqeTreeNode* p = Items.AddChild(nullptr, QStringLiteral("p"));
    TqeTreeNode* only = Items.AddChild(p, QStringLiteral("only"));
    p->Expand();
    only->MoveTo(nullptr, namAdd);
    EXPECT_FALSE(p->HasChildren());
    EXPECT_FALSE(p->Expanded());
}

TEST_F(TreeFixture, SortingByTextAndByTheComparison)
{
    for (const char* t : {"pear", "apple", "fig"}) Items.AddChild(nullptr, QString::fromLatin1(t));
    TqeTreeNode* apple = Items.FindNodeByText(QStringLiteral("apple"), false);
    Items.AddChild(apple, QStringLiteral("z"));
    Items.AddChild(apple, QStringLiteral("y"));
    auto texts = [&] {
        QStringList s;
        for (TqeTreeNode* n = Items.GetFirstNode(); n; n = n->GetNext()) s << n->Text();
        return s.join(QLatin1Char(' '));
    };
    Tree.SetSortType(qestText);
    EXPECT_EQ(texts(), QStringLiteral("apple y z fig pear"));
    Items.AddChild(nullptr, QStringLiteral("banana"));   // adding does not sort
    EXPECT_EQ(texts(), QStringLiteral("apple y z fig pear banana"));
    apple->SetText(QStringLiteral("quince"));   // a text change re-sorts the siblings
    EXPECT_EQ(texts(), QStringLiteral("banana fig pear quince y z"));

    // qestData sorts only with a comparison; a data change then re-sorts.
    Tree.SetSortType(qestNone);
    Tree.OnCompare = [](TqeCustomTreeView*, TqeTreeNode* a, TqeTreeNode* b, qint32, int& result) {
        result = a->Data() - b->Data();
    };
    int d = 10;
    for (TqeTreeNode* n = Items.GetFirstNode(); n; n = n->GetNextSibling()) n->SetData(d--);
    Tree.SetSortType(qestData);
    EXPECT_EQ(texts(), QStringLiteral("quince y z pear fig banana"));
    Items.GetFirstNode()->SetData(100);
    EXPECT_EQ(texts(), QStringLiteral("pear fig banana quince y z"));
}

TEST_F(TreeFixture, ExpandButtonsRightClicksAndLabelEditing)
{
    Tree.SetOptions(Tree.Options().With(tvoExpandButtons3D, true));
    TqeTreeNode* a = Items.AddChild(nullptr, QStringLiteral("a"));
    Items.AddChild(a, QStringLiteral("a1"));
    TqeTreeNode* b = Items.AddChild(nullptr, QStringLiteral("b"));
    Tree.show();
    const TRect ra = a->GetDisplayRect(true);
    const int buttonX = ra.Left - 19 + 1 + std::min(ra.Height() / 4 + 2, 6);
    const QPoint button(buttonX, (ra.Top + ra.Bottom) / 2);
    ASSERT_TRUE(Tree.GetHitTestInfoAt(button.x(), button.y()).Contains(hitOnButton));
    // Pressed on the 3-D button and released off it: nothing; released on it: expanded.
    QTest::mousePress(Tree.viewport(), Qt::LeftButton, {}, button);
    QTest::mouseMove(Tree.viewport(), Label(b));
    QTest::mouseRelease(Tree.viewport(), Qt::LeftButton, {}, Label(b));
    EXPECT_FALSE(a->Expanded());
    QTest::mousePress(Tree.viewport(), Qt::LeftButton, {}, button);
    QTest::mouseRelease(Tree.viewport(), Qt::LeftButton, {}, button);
    EXPECT_TRUE(a->Expanded());

    // A right click selects only with RightClickSelects.
    Tree.SetSelected(a);
    QContextMenuEvent menu(QContextMenuEvent::Mouse, Label(b), Tree.viewport()->mapToGlobal(Label(b)));
    QApplication::sendEvent(Tree.viewport(), &menu);
    EXPECT_EQ(Tree.Selected(), a);
    Tree.SetRightClickSelects(true);
    QApplication::sendEvent(Tree.viewport(), &menu);
    EXPECT_EQ(Tree.Selected(), b);

    // Label editing: Enter keeps the text as OnEdited leaves it, Escape drops it, ReadOnly forbids it.
    Tree.SetOptions(Tree.Options().With(tvoEditText, true));
    Tree.OnEdited = [](TqeCustomTreeView*, TqeTreeNode*, QString& s) { s = s.toUpper(); };
    Tree.EditLabel(b);
    ASSERT_TRUE(Tree.IsEditing());
    QLineEdit* editor = Tree.viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("renamed"));
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_FALSE(Tree.IsEditing());
    EXPECT_EQ(b->Text(), QStringLiteral("RENAMED"));
    Tree.EditLabel(b);
    editor->setText(QStringLiteral("dropped"));
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_EQ(b->Text(), QStringLiteral("RENAMED"));
    bool refuse = true;
    Tree.OnEditing = [&](TqeCustomTreeView*, TqeTreeNode*, bool& allow) { allow = !refuse; };
    Tree.EditLabel(b);
    EXPECT_FALSE(Tree.IsEditing());
    refuse = false;
    Tree.SetReadOnly(true);
    Tree.EditLabel(b);
    EXPECT_FALSE(Tree.IsEditing());
}

TEST_F(TreeFixture, LinesBoxesAndTheLinkCursor)
{
    Tree.SetOptions(Tree.Options().With(tvoAutoURL, true));
    TqeTreeNode* first = Items.AddChild(nullptr, QStringLiteral("first"));
    TqeTreeNode* link = Items.AddChild(nullptr, QStringLiteral("link"));
    link->SetLinkText(QStringLiteral("/tmp/x.txt"));
    link->SetCheckboxType(cbtCheckbox);
    Tree.SetColor(clYellow);   // the box's white edges stand out from it
    Tree.show();
    Tree.grab();
    const QImage img = Tree.PaintedImage();
    const QRgb line = ColorToQColor(clBtnShadow).rgb();
    // The first top-level node's line starts at its centre; the last one's ends just below it.
    const TRect rf = first->GetDisplayRect(false);
    const TRect rl = link->GetDisplayRect(false);
    const TRect tf = first->GetDisplayRect(true);
    const int lineX = tf.Left - 19 + 1 + std::min(rf.Height() / 4 + 2, 6);
    int topmost = -1, lowest = -1;
    for (int y = rf.Top; y < rl.Bottom; ++y)
        if (img.pixel(lineX, y) == line) {
            if (topmost < 0) topmost = y;
            lowest = y;
        }
    const int h = rf.Height();
    EXPECT_EQ(topmost, rf.Top + h / 2 + ((h / 2) % 2 ? 1 : 0));
    EXPECT_GT(lowest, rl.Top + h / 2 - 2);
    EXPECT_LE(lowest, rl.Bottom - (h / 2 - 1));

    // A 13 x 13 box for rows of 16 pixels or more, in the state slot before the text.
    ASSERT_GE(h, 16);
    const TRect tl = link->GetDisplayRect(true);
    int left = -1, right = -1, top = -1, bottom = -1;
    for (int x = tl.Left - 18; x < tl.Left; ++x)
        for (int y = rl.Top; y < rl.Bottom; ++y)
            if (img.pixelColor(x, y) != QColor(Qt::yellow) && img.pixel(x, y) != line) {
                left = left < 0 ? x : std::min(left, x);
                right = std::max(right, x);
                top = top < 0 ? y : std::min(top, y);
                bottom = std::max(bottom, y);
            }
    EXPECT_EQ(right - left + 1, 13);
    EXPECT_EQ(bottom - top + 1, 13);

    // The hand cursor over the link's item only, not over its indent or the row to its right.
    auto cursorAt = [&](int x) {
        QTest::mouseMove(Tree.viewport(), QPoint(x, (rl.Top + rl.Bottom) / 2));
        return Tree.viewport()->cursor().shape();
    };
    EXPECT_EQ(cursorAt(tl.Left + 3), Qt::PointingHandCursor);
    EXPECT_EQ(cursorAt(tl.Left - 8), Qt::PointingHandCursor);   // its check box
    EXPECT_EQ(cursorAt(tl.Right + 20), Qt::ArrowCursor);
    EXPECT_EQ(cursorAt(3), Qt::ArrowCursor);
}

TEST_F(TreeFixture, ExpandingRecursivelyFiresBeforeTheChange)
{
    TqeTreeNode* a = Items.AddChild(nullptr, QStringLiteral("a"));
    TqeTreeNode* a1 = Items.AddChild(a, QStringLiteral("a1"));
    Items.AddChild(a1, QStringLiteral("a11"));
    TqeTreeNode* b = Items.AddChild(nullptr, QStringLiteral("b"));
    Items.AddChild(b, QStringLiteral("b1"));
    QStringList events;
    Tree.OnExpanded = [&](TqeCustomTreeView*, TqeTreeNode* n) {
        events << n->Text() + (n->Expanded() ? QStringLiteral(" already") : QString());
    };
    a->Expand(true);
    EXPECT_EQ(events, (QStringList{QStringLiteral("a"), QStringLiteral("a1")}));
    EXPECT_TRUE(a1->Expanded());
    EXPECT_FALSE(b->Expanded());
    bool allow = false;
    Tree.OnCollapsing = [&](TqeCustomTreeView*, TqeTreeNode*, bool& ok) { ok = allow; };
    a->Collapse(true);
    EXPECT_TRUE(a->Expanded());
    allow = true;
    a->Collapse(true);
    EXPECT_FALSE(a->Expanded());
    EXPECT_FALSE(a1->Expanded());
}
