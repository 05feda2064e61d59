// The tree's visible-row paths at 100 and 100,000 nodes: building, expanding all, scrolling a
// page and selecting. Building and expanding are counted per node, scrolling and selecting per
// painted page, so equal figures at both sizes mean no path costs in proportion to the nodes.

#include "treestatus/qeTreeView.h"

#include <QScrollBar>
#include <benchmark/benchmark.h>

namespace {
// Parents of ten children each; n nodes in all.
void Fill(TqeTreeView& tree, int n)
{
    TqeTreeNodes& items = tree.Items();
    items.BeginUpdate();
    for (int i = 0; i < n / 11; ++i) {
        TqeTreeNode* parent = items.AddChild(nullptr, QStringLiteral("folder %1").arg(i));
        for (int k = 0; k < 10; ++k) items.AddChild(parent, QStringLiteral("field %1").arg(k));
    }
    items.EndUpdate();
}

void ExpandAll(TqeTreeView& tree)
{
    for (TqeTreeNode* n = tree.Items().GetFirstNode(); n; n = n->GetNextSibling()) n->Expand(false);
}

// A shown tree of n nodes, all expanded, scrolled to the middle.
void ShowExpanded(TqeTreeView& tree, int n)
{
    tree.resize(300, 400);
    Fill(tree, n);
    ExpandAll(tree);
    tree.show();
    tree.verticalScrollBar()->setValue(tree.verticalScrollBar()->maximum() / 2);
}

void BM_Build(benchmark::State& state)
{
    const int n = int(state.range(0));
    for (auto _ : state) {
        TqeTreeView tree;
        Fill(tree, n);
        benchmark::DoNotOptimize(tree.Items().Count());
    }
    state.SetItemsProcessed(state.iterations() * (n / 11) * 11);
}

void BM_ExpandAll(benchmark::State& state)
{
    const int n = int(state.range(0));
    TqeTreeView tree;
    Fill(tree, n);
    for (auto _ : state) {
        ExpandAll(tree);
        state.PauseTiming();
        for (TqeTreeNode* p = tree.Items().GetFirstNode(); p; p = p->GetNextSibling()) p->Collapse(false);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * (n / 11) * 11);
}

void BM_ScrollPage(benchmark::State& state)
{
    const int n = int(state.range(0));
    TqeTreeView tree;
    ShowExpanded(tree, n);
    QScrollBar* bar = tree.verticalScrollBar();
    const int middle = bar->value();
    bool down = false;
    for (auto _ : state) {
        bar->setValue(middle + (down ? bar->pageStep() : 0));
        down = !down;
        tree.grab();
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_Select(benchmark::State& state)
{
    const int n = int(state.range(0));
    TqeTreeView tree;
    ShowExpanded(tree, n);
    TqeTreeNode* a = tree.TopItem();
    TqeTreeNode* b = a;
    for (int i = 0; i < 10 && b->GetNextVisible(); ++i) b = b->GetNextVisible();
    bool flip = false;
    for (auto _ : state) {
        tree.SetSelected(flip ? a : b);
        flip = !flip;
        tree.grab();
    }
    state.SetItemsProcessed(state.iterations());
}
} // namespace

BENCHMARK(BM_Build)->Arg(110)->Arg(100001)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExpandAll)->Arg(110)->Arg(100001)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScrollPage)->Arg(110)->Arg(100001)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Select)->Arg(110)->Arg(100001)->Unit(benchmark::kMicrosecond);
