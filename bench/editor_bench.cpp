// The editor: start-up to a drawn window on the template world (engine,
// template, frame, first paint of every pane, on Qt's offscreen platform),
// and one redraw of the tree pane for a world of 10,000 nodes, at the top
// of the list and scrolled to its middle. The script editor: opening the
// "Programming" dialog on a 5,000-line script, one keystroke with the
// re-colouring of the lines shown, and the compile check run after a pause.
// The canvas: a paint key to a repainted canvas, a Shift-drag stroke, and
// what undo keeps on a world of 3.1 million cells. The font editor: a pixel
// edit to a repainted "Char Edit", "Char Select" and canvas on a sheet of
// 4,096 glyphs, and OK's undo step with the cells of changed glyphs drawn anew.

#include "BenchSupport.h"
#include "CBrushDialog.h"
#include "CCanvasViews.h"
#include "CFontDialog.h"
#include "CMainFrame.h"
#include "CScriptDialog.h"
#include "CViews.h"
#include "KEditorDoc.h"
#include "KTileClipboard.h"
#include "KTools.h"
#include "KFontEdit.h"
#include "KTreeEdits.h"
#include "KTreeRows.h"

#include <Qsci/qsciscintilla.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSlider>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include <unistd.h>

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

// 10 boards of 999 objects each.
void Add10000Nodes(Kinterface& engine)
{
    for (int b = 0; b < kBoards; ++b) {
        Kobject* board = engine.vMain->Spawn_Back(engine.TakeNextId(), 0);
        board->Create("board" + std::to_string(b), 40, 30);
        Kobject* parent = board;
        for (int o = 0; o < kObjectsPerBoard; ++o) {
            // Every tenth object nests under the one before, for indents.
            Kobject* object = parent->Spawn(engine.TakeNextId(), 0);
            object->Create("object" + std::to_string(o), 1, 1);
            parent = o % 10 == 9 ? object : board;
        }
    }
}

void TreeRedraw10000Nodes(benchmark::State& state)
{
    auto engine = BenchEngine(KParts{KFlavour::Editor});
    Add10000Nodes(*engine);
    KBitmap pane = KMakeBitmap(200, 700);
    const int rowOffset = static_cast<int>(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(KDrawTree(pane.get(), *engine, 5000, 4001, 0, rowOffset));
    }
    state.counters["rows"] = static_cast<double>(KTreeRowCount(*engine));
}
BENCHMARK(TreeRedraw10000Nodes)->Arg(0)->Arg(5000)->Unit(benchmark::kMicrosecond);

// The main window on the 10,000-node world, its tree pane 700 pixels high,
// an object in the middle of the list selected and shown.
struct TreeFrame {
    TreeFrame()
    {
        Add10000Nodes(*engine);
        KFrameHooks hooks;
        // The menu is laid out and popped up, then closed again at once.
        hooks.runMenu = [](QMenu& menu, const QPoint& at) {
            menu.popup(at);
            menu.hide();
        };
        frame = std::make_unique<CMainFrame>(doc, hooks);
        frame->resize(1024, 720);
        frame->show();
        doc.Select(5000);
        frame->Tree().ShowCurrent();
        const QPixmap first = frame->grab();
    }
    std::unique_ptr<Kinterface> engine = BenchEngine(KParts{KFlavour::Editor});
    KEditorDoc doc{*engine};
    std::unique_ptr<CMainFrame> frame;
};

// A right-click on the selected object's row: the hit test, the selection,
// and the object menu built and popped up ("Move" is filled when opened).
void TreeRightClickMenu10000Nodes(benchmark::State& state)
{
    TreeFrame shown;
    CSelectView& tree = shown.frame->Tree();
    const int64_t row = KTreeRowOf(*shown.engine, shown.doc.CurrentNode());
    const QPointF at(30, 15 + kTreeRowPixels * (row - tree.RowOffset()));
    for (auto _ : state) {
        QMouseEvent press(QEvent::MouseButtonPress, at, tree.mapToGlobal(at), Qt::RightButton, Qt::RightButton,
                          Qt::NoModifier);
        QApplication::sendEvent(&tree, &press);
    }
    state.counters["current"] = static_cast<double>(shown.doc.CurrentNode());
}
BENCHMARK(TreeRightClickMenu10000Nodes)->Unit(benchmark::kMillisecond);

// Page Down (and Page Up, by turns) in the tree pane, and the pane drawn
// again with the selection moved and kept in view.
void TreePageDown10000Nodes(benchmark::State& state)
{
    TreeFrame shown;
    CSelectView& tree = shown.frame->Tree();
    bool down = true;
    for (auto _ : state) {
        QKeyEvent key(QEvent::KeyPress, down ? Qt::Key_PageDown : Qt::Key_PageUp, Qt::NoModifier);
        QApplication::sendEvent(&tree, &key);
        const QPixmap drawn = tree.grab();
        benchmark::DoNotOptimize(drawn.width());
        down = !down;
    }
    state.counters["rows_shown"] = static_cast<double>(tree.VisibleRows());
}
BENCHMARK(TreePageDown10000Nodes)->Unit(benchmark::kMillisecond);

// Labels, commands with arguments, messages, comments and text lines.
std::string LongScript()
{
    constexpr const char* kLines[] = {":touch", "#walk seek", "#if health < 10 #give health 5", "'old code here",
                                      "Hello, \"friend\"!", ".parent @opened", "#put n red wall", "/n/e?s"};
    std::string script;
    for (int line = 0; line < 5000; ++line) script += std::string(kLines[line % 8]) + "\n";
    return script;
}

KScriptDialogSetup ScriptSetup(Kinterface& engine, const std::string& script)
{
    KScriptDialogSetup setup;
    setup.text = QString::fromStdString(script);
    setup.check = [&engine](std::string_view text) { return KCheckScript(engine, "bench", text); };
    return setup;
}

// Styles everything the editor shows, as its next paint would.
void StyleShownLines(const QsciScintilla& editor)
{
    const long first = editor.SendScintilla(QsciScintillaBase::SCI_GETFIRSTVISIBLELINE);
    const long shown = editor.SendScintilla(QsciScintillaBase::SCI_LINESONSCREEN);
    const long end = editor.SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, static_cast<unsigned long>(first + shown + 1));
    const long styled = editor.SendScintilla(QsciScintillaBase::SCI_GETENDSTYLED);
    if (styled < end) editor.SendScintilla(QsciScintillaBase::SCI_COLOURISE, static_cast<unsigned long>(styled), end);
}

void ScriptDialogOpen5000Lines(benchmark::State& state)
{
    auto engine = BenchEngine(KParts{KFlavour::Editor});
    const std::string script = LongScript();
    for (auto _ : state) {
        CScriptDialog dialog(ScriptSetup(*engine, script), nullptr);
        dialog.show();
        StyleShownLines(dialog.Editor());
        benchmark::DoNotOptimize(dialog.Errors().size());
    }
}
BENCHMARK(ScriptDialogOpen5000Lines)->Unit(benchmark::kMillisecond);

void ScriptKeystrokeRecolour(benchmark::State& state)
{
    auto engine = BenchEngine(KParts{KFlavour::Editor});
    CScriptDialog dialog(ScriptSetup(*engine, LongScript()), nullptr);
    dialog.show();
    QsciScintilla& editor = dialog.Editor();
    editor.SendScintilla(QsciScintillaBase::SCI_GOTOLINE, 2500UL);
    StyleShownLines(editor);
    // Typing and rubbing out by turns keeps the line as it was.
    bool rubOut = false;
    for (auto _ : state) {
        QKeyEvent press(QEvent::KeyPress, rubOut ? Qt::Key_Backspace : Qt::Key_X, Qt::NoModifier, rubOut ? "" : "x");
        QApplication::sendEvent(&editor, &press);
        StyleShownLines(editor);
        rubOut = !rubOut;
    }
}
BENCHMARK(ScriptKeystrokeRecolour)->Unit(benchmark::kMicrosecond);

void ScriptCheck5000Lines(benchmark::State& state)
{
    auto engine = BenchEngine(KParts{KFlavour::Editor});
    const std::string script = LongScript();
    for (auto _ : state) benchmark::DoNotOptimize(KCheckScript(*engine, "bench", script).size());
}
BENCHMARK(ScriptCheck5000Lines)->Unit(benchmark::kMillisecond);

// One board of width x height cells with objects scattered over it.
Kobject* AddBoard(Kinterface& engine, int width, int height, int objects)
{
    Kobject* board = engine.vMain->Spawn_Back(engine.TakeNextId(), 0);
    board->Create("board", width, height);
    for (int o = 0; o < objects; ++o) {
        Kobject* object = board->Spawn(engine.TakeNextId(), 0);
        object->Create("object" + std::to_string(o), 2, 2);
        object->posx = (o * 37) % width;
        object->posy = (o * 53) % height;
        object->Refile();
    }
    return board;
}

void PaintKeyToRepaintedCanvas(benchmark::State& state)
{
    auto engine = BenchEngine(KParts{KFlavour::Editor});
    KEditorDoc doc(*engine);
    Kobject* board = AddBoard(*engine, 1024, 1024, 1000);
    doc.Select(board->id);
    CMainFrame frame(doc);
    CVantorView& canvas = frame.Canvas();
    canvas.resize(1280 + canvas.VerticalBar().sizeHint().width(), 1024 + canvas.HorizontalBar().sizeHint().height());
    KCanvas& core = canvas.Core();
    core.ZoomIn();
    core.ZoomIn();
    core.SetCursor(10, 10);
    const QPixmap first = canvas.grab();
    int character = 0;
    for (auto _ : state) {
        // A new character each time, so every key paints.
        frame.PaintSettings().chr = 1 + character++ % 200;
        core.PaintKey(KCanvasKey::Space);
        core.PaintKey(KCanvasKey::Right);
        const QPixmap drawn = canvas.grab();
        benchmark::DoNotOptimize(drawn.width());
    }
    state.counters["zoom"] = static_cast<double>(core.Zoom());
}
BENCHMARK(PaintKeyToRepaintedCanvas)->Unit(benchmark::kMillisecond);

void ShiftDragStroke20Cells(benchmark::State& state)
{
    auto engine = BenchEngine(KParts{KFlavour::Editor});
    KEditorDoc doc(*engine);
    Kobject* board = AddBoard(*engine, 1024, 1024, 1000);
    doc.Select(board->id);
    KPaintSettings paint;
    KCanvas canvas(doc, paint);
    canvas.LeftDown(4, 4, false, true, true);
    // Each pointer event crosses 20 cells, back and forth along a row.
    bool out = true;
    for (auto _ : state) {
        paint.chr = out ? 2 : 3;
        canvas.MouseMove(out ? 20 * 8 + 4 : 4, 4, true);
        out = !out;
    }
    canvas.LeftUp();
}
BENCHMARK(ShiftDragStroke20Cells)->Unit(benchmark::kMicrosecond);

// Three boards of 1024 x 1024 cells and a small one: 3.1 million cells.
void AddBigWorld(Kinterface& engine)
{
    for (int b = 0; b < 3; ++b) AddBoard(engine, 1024, 1024, 0);
    AddBoard(engine, 128, 96, 100);
}

void UndoMemoryOf1000PaintSteps(benchmark::State& state)
{
    auto engine = BenchEngine(KParts{KFlavour::Editor});
    KEditorDoc doc(*engine);
    AddBigWorld(*engine);
    doc.Select(engine->vMain->children.front()->id);
    KPaintSettings paint;
    KCanvas canvas(doc, paint);
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) {
            paint.chr = 1 + i % 100;
            canvas.SetCursor(i % 1000, i / 1000);
            canvas.PaintKey(KCanvasKey::Space);
        }
    }
    state.counters["undo_bytes"] = static_cast<double>(doc.UndoBytes());
    state.counters["steps"] = static_cast<double>(doc.UndoSteps());
}
BENCHMARK(UndoMemoryOf1000PaintSteps)->Unit(benchmark::kMillisecond)->Iterations(1);

void UndoTreeEditOnBigWorld(benchmark::State& state)
{
    auto engine = BenchEngine(KParts{KFlavour::Editor});
    KEditorDoc doc(*engine);
    AddBigWorld(*engine);
    const int32_t small = engine->vMain->children.back()->id;
    for (auto _ : state) {
        // Delete the 128 x 96 board with its 100 objects, then time the undo.
        state.PauseTiming();
        doc.Select(small);
        KDeleteCurrent(doc);
        state.ResumeTiming();
        doc.Undo();
    }
    state.counters["undo_bytes"] = static_cast<double>(doc.UndoBytes());
}
BENCHMARK(UndoTreeEditOnBigWorld)->Unit(benchmark::kMillisecond);

// The tools on a 1024 x 1024 node, undo recording included; each run
// starts from the same blank node (undone outside the timing). The
// generators run with their dialogs' start values (Random 0, 4 and 5).
enum ToolCase : int64_t { kFlood = 0, kFade, kDistance, kSlime, kSameAsFill };

void ToolsOnAMillionCells(benchmark::State& state)
{
    auto engine = BenchEngine(KParts{KFlavour::Editor});
    KEditorDoc doc(*engine);
    Kobject* node = AddBoard(*engine, 1024, 1024, 0);
    for (int y = 0; y < 1024; ++y) {
        for (int x = 0; x < 1024; ++x) node->SetCell(x, y, 32, 7, 0, 0);
    }
    doc.Select(node->id);
    const KFadeSet set{"bench", {32, 176, 177, 178, 219}};
    KBlendPattern pattern{"bench", {}};
    for (size_t y = 0; y < 10; ++y) {
        for (size_t x = 0; x < 10; ++x) pattern.table[y][x] = static_cast<int>((x + y) % 5);
    }
    const KBrushCell brush{219, 4, 1, 0};
    const auto which = static_cast<ToolCase>(state.range(0));
    for (auto _ : state) {
        KToolRegion region;
        switch (which) {
        case kFlood:
            region = KBuildRegion(KRegionKind::Flood, *node, 512, 512, 0, 0);
            KFill(doc, *node, region, brush);
            break;
        case kFade:
            region = KBuildRegion(KRegionKind::Rectangle, *node, 0, 0, 1023, 1023);
            KFade(doc, *node, region, brush, pattern, set, 0);
            break;
        case kDistance:
            region = KBuildRegion(KRegionKind::Rectangle, *node, 0, 0, 1023, 1023);
            KDistance(doc, *node, region, brush, set, 35, 45, 4);
            break;
        case kSlime:
            region = KBuildRegion(KRegionKind::Rectangle, *node, 0, 0, 1023, 1023);
            KSlime(doc, *node, region, brush, set, 5);
            break;
        case kSameAsFill:
            region = KBuildRegion(KRegionKind::SameAs, *node, 512, 512, 0, 0);
            KFill(doc, *node, region, brush);
            break;
        }
        state.PauseTiming();
        doc.Undo();
        state.ResumeTiming();
    }
    state.counters["cells"] = 1024.0 * 1024.0;
}
BENCHMARK(ToolsOnAMillionCells)->DenseRange(kFlood, kSameAsFill)->Unit(benchmark::kMillisecond);

// The tile clipboard on a 1024 x 1024 region of varied cells: copy, paste
// (undo recording included, undone outside the timing), and a .qcf file
// saved and loaded.
enum ClipCase : int64_t { kCopy = 0, kPaste, kSaveQcf, kLoadQcf };

void TileClipboardOnAMillionCells(benchmark::State& state)
{
    auto engine = BenchEngine(KParts{KFlavour::Editor});
    KEditorDoc doc(*engine);
    Kobject* node = AddBoard(*engine, 1024, 1024, 0);
    for (int y = 0; y < 1024; ++y) {
        for (int x = 0; x < 1024; ++x) node->SetCellLater(x, y, (x * 7 + y) % 256, x % 256, y % 256, (x + y) % 4);
    }
    doc.Select(node->id);
    KTileClipboard clip;
    KToolRegion region = KBuildRegion(KRegionKind::Rectangle, *node, 0, 0, 1023, 1023);
    KCopyTiles(*node, region, {true, true, true, true}, clip);
    for (KTile& tile : clip.cells) tile[0] = static_cast<uint16_t>((tile[0] + 1) % 256);
    const std::string path = "/tmp/quav_editor_bench_" + std::to_string(getpid()) + ".qcf";
    std::string error;
    KSaveTiles(path, KTileSave::Qcf, clip, engine->vFont->Palette(), error);
    const auto which = static_cast<ClipCase>(state.range(0));
    for (auto _ : state) {
        KToolRegion all = KBuildRegion(KRegionKind::Rectangle, *node, 0, 0, 1023, 1023);
        switch (which) {
        case kCopy: KCopyTiles(*node, all, {true, true, true, true}, clip); break;
        case kPaste:
            KPasteTiles(doc, *node, all, clip);
            state.PauseTiming();
            doc.Undo();
            state.ResumeTiming();
            break;
        case kSaveQcf: KSaveTiles(path, KTileSave::Qcf, clip, engine->vFont->Palette(), error); break;
        case kLoadQcf: KLoadTiles(path, false, clip, error); break;
        }
    }
    state.counters["cells"] = 1024.0 * 1024.0;
    std::remove(path.c_str());
}
BENCHMARK(TileClipboardOnAMillionCells)->DenseRange(kCopy, kLoadQcf)->Unit(benchmark::kMillisecond);
// The font grown to 16 x 256 glyphs, and a 1,024 x 1,024-cell board (with
// 1,000 objects) whose cells run through all of them: each glyph shows in
// 256 cells.
Kobject* AddFontWorld(Kinterface& engine)
{
    while (engine.vFont->glyphCount < 4096) engine.vFont->AddGlyphRow();
    Kobject* board = AddBoard(engine, 1024, 1024, 1000);
    for (int y = 0; y < board->height; ++y) {
        for (int x = 0; x < board->width; ++x) board->SetCell(x, y, (x + y * 1024) % 4096, 15, 1, 0);
    }
    return board;
}

void FontPixelEditToRepaintedViews(benchmark::State& state)
{
    auto engine = BenchEngine(KParts{KFlavour::Editor});
    KEditorDoc doc(*engine);
    doc.Select(AddFontWorld(*engine)->id);
    CMainFrame frame(doc);
    CVantorView& canvas = frame.Canvas();
    canvas.resize(1280 + canvas.VerticalBar().sizeHint().width(), 1024 + canvas.HorizontalBar().sizeHint().height());
    canvas.Core().ZoomIn();
    canvas.Core().ZoomIn();
    frame.PaintSettings().chr = 2048;
    KFontEditor editor(doc, frame.PaintSettings());
    KFontDialogSetup setup{[](QDialog&) { return false; }, [](const QString&, const QString&) { return false; },
                           [](bool) { return QString(); }, [&canvas] { canvas.update(); }};
    CFontDialog dialog(editor, doc, frame.PaintSettings(), std::move(setup), &frame);
    dialog.Slider().setValue(50);  // glyph 2048's row is in the picker
    dialog.show();
    const int64_t redrawnBefore = editor.CellsRedrawn();
    for (auto _ : state) {
        QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
        QApplication::sendEvent(&dialog, &space);
        const QPixmap grid = dialog.Grid().grab();
        const QPixmap picker = dialog.Characters().grab();
        const QPixmap drawn = canvas.grab();
        benchmark::DoNotOptimize(grid.width() + picker.width() + drawn.width());
    }
    state.counters["glyphs"] = static_cast<double>(engine->vFont->glyphCount);
    state.counters["cells_redrawn"] =
        benchmark::Counter(static_cast<double>(editor.CellsRedrawn() - redrawnBefore), benchmark::Counter::kAvgIterations);
}
BENCHMARK(FontPixelEditToRepaintedViews)->Unit(benchmark::kMillisecond);

void FontOkStepOnBigBoard(benchmark::State& state)
{
    auto engine = BenchEngine(KParts{KFlavour::Editor});
    KEditorDoc doc(*engine);
    doc.Select(AddFontWorld(*engine)->id);
    KPaintSettings paint;
    paint.chr = 2048;
    for (auto _ : state) {
        // A session inverting one glyph, closed with OK.
        doc.EditFont([&] {
            KFontEditor editor(doc, paint);
            editor.Invert();
            return editor.Close(true);
        });
    }
    state.counters["step_bytes"] = static_cast<double>(doc.UndoBytes()) / static_cast<double>(doc.UndoSteps());
}
BENCHMARK(FontOkStepOnBigBoard)->Unit(benchmark::kMillisecond);

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
