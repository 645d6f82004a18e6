// The editor: start-up to a drawn window on the template world (engine,
// template, frame, first paint of every pane, on Qt's offscreen platform),
// and one redraw of the tree pane for a world of 10,000 nodes, at the top
// of the list and scrolled to its middle.

#include "BenchSupport.h"
#include "CMainFrame.h"
#include "CViews.h"
#include "KEditorDoc.h"
#include "KTreeRows.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

constexpr int kBoards = 10;
constexpr int kObjectsPerBoard = 999;  // with the boards, 10,000 nodes

void StartUpToDrawnWindow(benchmark::State& state)
{
    for (auto _ : state) {
        auto engine = BenchEngine(KParts{KFlavour::Editor});
        KEditorDoc doc(*engine);
        doc.NewFromTemplate();
        CMainFrame frame(doc);
        frame.resize(1024, 720);
        frame.show();
        const QPixmap drawn = frame.grab();
        benchmark::DoNotOptimize(drawn.width());
    }
}
BENCHMARK(StartUpToDrawnWindow)->Unit(benchmark::kMillisecond);

void TreeRedraw10000Nodes(benchmark::State& state)
{
    auto engine = BenchEngine(KParts{KFlavour::Editor});
    for (int b = 0; b < kBoards; ++b) {
        Kobject* board = engine->vMain->Spawn_Back(engine->TakeNextId(), 0);
        board->Create("board" + std::to_string(b), 40, 30);
        Kobject* parent = board;
        for (int o = 0; o < kObjectsPerBoard; ++o) {
            // Every tenth object nests under the one before, for indents.
            Kobject* object = parent->Spawn(engine->TakeNextId(), 0);
            object->Create("object" + std::to_string(o), 1, 1);
            parent = o % 10 == 9 ? object : board;
        }
    }
    KBitmap pane = KMakeBitmap(200, 700);
    const int rowOffset = static_cast<int>(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(KDrawTree(pane.get(), *engine, 5000, 4001, 0, rowOffset));
    }
    state.counters["rows"] = static_cast<double>(KTreeRowCount(*engine));
}
BENCHMARK(TreeRedraw10000Nodes)->Arg(0)->Arg(5000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    BenchStart();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
