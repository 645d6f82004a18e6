#include "TestSupport.h"

#include <allegro.h>
#include <gtest/gtest.h>

namespace {

std::vector<std::string> ChildNames(const Kobject& node)
{
    std::vector<std::string> names;
    for (const auto& child : node.children) names.push_back(child->name);
    return names;
}

// Objects stand in descending depth, boards in ascending; later after equal.
TEST(Tree, ChildrenStandInDepthOrderLaterAfterEqual)
{
    TestEngine engine;
    Kobject* board = engine.AddBoard("b", 4, 4, 6);
    engine.AddObject(*board, "first5", 1, 1, 5);
    engine.AddObject(*board, "second5", 1, 1, 5);
    engine.AddObject(*board, "seven", 1, 1, 7);
    EXPECT_EQ(ChildNames(*board), (std::vector<std::string>{"seven", "first5", "second5"}));
    engine.AddBoard("first5", 1, 1, 5);
    engine.AddBoard("second5", 1, 1, 5);
    engine.AddBoard("seven", 1, 1, 7);
    engine.AddBoard("minus", 1, 1, -1);
    EXPECT_EQ(ChildNames(*engine->vMain), (std::vector<std::string>{"minus", "first5", "second5", "b", "seven"}));
}

// Linking many nodes at once leaves the children as linking them one by
// one does, among siblings in depth order or not, and charges the tick
// for the children it passes rather than once per node.
TEST(Tree, LinkAllOrdersAsLinkingOneByOne)
{
    struct Case {
        const char* what;
        std::vector<int> siblings, nodes;
    };
    const Case cases[] = {
        {"in order", {9, 5, 5, 0, -3}, {7, 5, 5, 1, -3, -9}},
        {"all after", {9, 5}, {3, 1, 1}},
        {"all before", {-1, -2}, {4, 2}},
        {"siblings out of order", {0, 5, -2, 7, -8}, {6, 1, -1, -9}},
        {"nodes out of order", {5, 0}, {1, 6, 1}},
        {"no siblings", {}, {3, 3, 1}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> orders[2];
        for (int way = 0; way < 2; ++way) {
            TestEngine engine;
            Kobject* board = engine.AddBoard("b", 8, 8);
            for (size_t i = 0; i < c.siblings.size(); ++i) {
                Kobject* sibling = engine.AddObject(*board, "s" + std::to_string(i), 1, 1);
                sibling->posz = c.siblings[i];  // as written, out of order or not
            }
            std::vector<std::unique_ptr<Kobject>> nodes;
            for (size_t i = 0; i < c.nodes.size(); ++i) {
                nodes.push_back(std::make_unique<Kobject>());
                nodes.back()->name = "n" + std::to_string(i);
                nodes.back()->posz = c.nodes[i];
            }
            if (way == 0) {
                for (auto& node : nodes) board->Link(std::move(node));
            } else {
                board->LinkAll(std::move(nodes));
            }
            for (const auto& child : board->children) {
                orders[way].push_back(child->name);
                EXPECT_EQ(child->parent, board) << c.what;
            }
        }
        EXPECT_EQ(orders[1], orders[0]) << c.what;
    }

    TestEngine engine;
    Kobject* board = engine.AddBoard("b", 8, 8);
    for (int i = 0; i < 4000; ++i) engine.AddObject(*board, "s", 1, 1, 0);
    engine.AddObject(*board, "low", 1, 1, -10);
    std::vector<std::unique_ptr<Kobject>> nodes;
    for (int i = 0; i < 100; ++i) {
        nodes.push_back(std::make_unique<Kobject>());
        nodes.back()->posz = -1;
    }
    engine->vWork.SetCapacity(1000000, 1000000);
    board->LinkAll(std::move(nodes));
    EXPECT_EQ(board->children[4000]->posz, -1);
    EXPECT_EQ(board->children.back()->name, "low");
    const int64_t merged = 1000000 - engine->vWork.Left();
    EXPECT_GE(merged, 4000 / 8) << "the children passed are charged";
    EXPECT_LT(merged, 4 * 4100 / 8) << "once, not once per node";
    auto one = std::make_unique<Kobject>();
    one->posz = -1;
    engine->vWork.SetCapacity(1000000, 1000000);
    board->Link(std::move(one));
    EXPECT_GE(1000000 - engine->vWork.Left(), 4000 / 8) << "a link that reads 4,000 depths pays for them";
}

TEST(Tree, FindByNameReturnsGrandchildBeforeLaterSiblingEraseAndUnLinkOnlyChildren)
{
    TestEngine engine;
    Kobject* board = engine.AddBoard("b", 4, 4);
    Kobject* a = engine.AddObject(*board, "a", 1, 1, 9);
    Kobject* grandchild = engine.AddObject(*a, "door", 1, 1);
    engine.AddObject(*board, "door", 1, 1, 1);
    EXPECT_EQ(board->FindByName("door"), grandchild);
    EXPECT_EQ(board->FindByName("b"), nullptr) << "the node itself is not searched";
    EXPECT_EQ(board->FindByName("Door"), nullptr) << "names compare byte for byte";
    EXPECT_EQ(board->DepthOf("door"), 1);
    EXPECT_EQ(board->DepthOf("a"), 0);
    EXPECT_EQ(board->DepthOf("nobody"), -1);

    // Erase and UnLink take direct children only.
    EXPECT_FALSE(board->Erase(grandchild)) << "not a direct child";
    EXPECT_EQ(board->UnLink(grandchild), nullptr);
    std::unique_ptr<Kobject> taken = board->UnLink(a);
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(taken->parent, nullptr);
    EXPECT_EQ(board->children.size(), 1u);
    taken->posz = 3;
    board->Link(std::move(taken));
    ASSERT_EQ(board->children.size(), 2u);
    EXPECT_EQ(board->children[0]->parent, board);
    EXPECT_TRUE(board->Erase(board->children[0].get()));
    EXPECT_EQ(board->children.size(), 1u);
}

TEST(Tree, EditorTracesOnlyWhenSomethingHappensRunnerNever)
{
    for (const KFlavour flavour : {KFlavour::Editor, KFlavour::Runner}) {
        TestEngine engine(flavour);
        Kobject* board = engine.AddBoard("b", 2, 2);
        Kobject* a = engine.AddObject(*board, "a", 1, 1);
        Kobject* deep = engine.AddObject(*a, "deep", 1, 1);
        TraceCapture trace;
        board->Erase(deep);
        EXPECT_EQ(trace.text, "");
        board->Spawn(99, 4)->Create("x", 1, 1);
        board->Erase(a);
        EXPECT_EQ(trace.text, flavour == KFlavour::Editor ? "b->Spawn(4)\nx->Create(1,1)\nb->Erase(a)\n" : "");
    }
}

TEST(Cells, WritesOutsideTheGridAreIgnoredMinusOneKeepsAFieldAndRunnerRedraws)
{
    TestEngine engine;
    Kobject* board = engine.AddBoard("b", 2, 2);
    for (const auto& [x, y] : {std::pair{2, 0}, {-1, 0}, {0, 2}}) board->SetCell(x, y, 1, 2, 3, 4);
    EXPECT_EQ(board->GetCell(2, 0), nullptr);
    EXPECT_EQ(board->GetCell(0, -1), nullptr);
    for (const KCell& cell : board->cells) EXPECT_EQ(cell.chr, 0);
    board->SetCellNow(1, 1, 65, 4, 5, 6);
    ASSERT_EQ(board->GetCell(1, 1)->drawn, 1);
    board->SetCell(1, 1, -1, -1, -1, -1);
    const KCell* cell = board->GetCell(1, 1);
    EXPECT_EQ((std::vector<int>{cell->chr, cell->fg, cell->bg, cell->attrib}), (std::vector<int>{65, 4, 5, 6}));
    EXPECT_EQ(cell->drawn, 0) << "the cell is redrawn at the next composite";
    board->SetCell(1, 1, -1, 9, -1, 70000);
    EXPECT_EQ(cell->fg, 9);
    EXPECT_EQ(cell->attrib, static_cast<int16_t>(70000)) << "values are truncated to 16 bits";
}

TEST(Cells, WriteTextTakesBytesAsSignedAndTheEditorRendersAtOnce)
{
    TestEngine engine;
    Kobject* board = engine.AddBoard("b", 4, 1);
    board->SetCell(2, 0, 42, 0, 0, 0);
    board->WriteText(0, 0, std::string("AB\xff", 3), 15, 1, 0);
    EXPECT_EQ(board->GetCell(0, 0)->chr, 'A');
    EXPECT_EQ(board->GetCell(1, 0)->chr, 'B');
    EXPECT_EQ(board->GetCell(2, 0)->chr, 42) << "byte 255 counts as -1 and keeps the glyph";
    EXPECT_EQ(board->GetCell(2, 0)->fg, 15);
    EXPECT_EQ(board->GetCell(0, 0)->drawn, 1);

    TestEngine editor(KFlavour::Editor);
    Kobject* drawn = editor.AddBoard("b", 2, 1);
    drawn->SetCell(0, 0, 219, 7, 1, 0);  // the full block: every pixel set
    ASSERT_NE(drawn->Surface(), nullptr);
    EXPECT_EQ(drawn->Surface()->line[0][0], 7) << "the editor renders at once";
    EXPECT_EQ(drawn->Surface()->line[7][7], 7);
}

TEST(Resize, KeepsTheTopLeftClampsTheViewAndFillsNewCells)
{
    TestEngine engine(KFlavour::Editor);
    Kobject* node = engine.AddBoard("b", 4, 3);
    node->SetCell(0, 0, 1, 2, 3, 4);
    node->SetCell(1, 1, 5, 6, 7, 8);
    node->SetCell(3, 2, 9, 9, 9, 9);
    EXPECT_TRUE(node->Resize(2, 2));
    EXPECT_EQ((std::vector<int>{node->width, node->height, node->vieww, node->viewh}), (std::vector<int>{2, 2, 2, 2}));
    EXPECT_EQ(node->GetCell(0, 0)->chr, 1);
    EXPECT_EQ(node->GetCell(1, 1)->attrib, 8);
    EXPECT_EQ(KBitmapWidth(node->vSurf.get()), 16);

    TraceCapture trace;
    EXPECT_TRUE(node->Resize(3, 4));
    EXPECT_EQ(trace.text, "b->Resize(3,4)\n");
    EXPECT_EQ(node->vieww, 2) << "the view is only clamped, never grown";
    const KCell* fresh = node->GetCell(2, 3);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ((std::vector<int>{fresh->chr, fresh->fg, fresh->bg, fresh->attrib}), (std::vector<int>{0, 255, 255, 0}));
    EXPECT_EQ(node->GetCell(0, 0)->bg, 3);
}

TEST(Restart, SetsEveryNodeRunningAndPointsProgramsAtTheirStart)
{
    TestEngine engine;
    Kobject* board = engine.AddBoard("b", 1, 1);
    Kobject* a = engine.AddObject(*board, "a", 1, 1);
    a->lines.Edit().resize(2);
    a->lines.Edit()[0].commands.resize(1);
    a->currentCommand = 5;
    a->currentLine = 1;
    a->running = 0;
    a->locked = 1;
    a->wait = 3;
    board->running = 0;
    board->RestartTree();
    EXPECT_EQ((std::vector<int>{a->currentLine, a->currentCommand, a->running, a->locked, a->wait}),
              (std::vector<int>{0, 0, 1, 0, 0}));
    EXPECT_EQ(board->currentLine, -1) << "no program, no line";
    EXPECT_EQ(board->running, 1);
}

TEST(Geometry, WindowOriginAddsPositionsLessParentViews)
{
    TestEngine engine;
    engine->vMain->viewx = 50;  // the root's view never counts
    Kobject* board = engine.AddBoard("b", 20, 20);
    board->posx = 2;
    board->posy = 3;
    board->viewx = 5;
    board->viewy = 1;
    Kobject* a = engine.AddObject(*board, "a", 4, 4, 0, 10, 10);
    a->viewx = 1;
    Kobject* inner = engine.AddObject(*a, "inner", 1, 1, 0, 2, 2);
    const auto origin = [](const Kobject& node) {
        int32_t x = 0;
        int32_t y = 0;
        node.WindowOrigin(x, y);
        return std::pair{x, y};
    };
    EXPECT_EQ(origin(*board), std::pair(2, 3));
    EXPECT_EQ(origin(*a), std::pair(2 + 10 - 5, 3 + 10 - 1));
    EXPECT_EQ(origin(*inner), std::pair(7 + 2 - 1, 12 + 2));
    int32_t ox = 0;
    int32_t oy = 0;
    inner->OffsetToAncestor("b", ox, oy);
    EXPECT_EQ(std::pair(ox, oy), std::pair(10 - 1, 10));
}

}  // namespace
