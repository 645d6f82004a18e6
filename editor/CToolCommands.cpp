// The canvas's tools, run from its two context menus.

#include "CCanvasViews.h"
#include "CMainFrame.h"
#include "CClipDialogs.h"
#include "CToolDialogs.h"
#include "Kinterface.h"

#include <QCheckBox>

namespace {

// Runs a generator's dialog and, on OK, the generator with its settings.
template <typename Dialog, typename Run>
bool WithDialog(CMainFrame& frame, Dialog& dialog, const std::function<bool(QDialog&)>& exec, Run run)
{
    (void)frame;
    return exec(dialog) && run(dialog);
}

}  // namespace

void CMainFrame::RunTool(KRegionKind kind, KToolAction action)
{
    KCanvas& canvas = canvas_->Core();
    canvas.FinishStrokes();
    Kobject* node = doc_.Current();
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    if (node == nullptr || !canvas.ToolPoints(x1, y1, x2, y2)) return;
    Kinterface& engine = doc_.Engine();
    KToolRegion region = KBuildRegion(kind, *node, x1, y1, x2, y2);
    KBrushCell brush = KBrushOf(paint_);
    const auto exec = [this](QDialog& dialog) { return Exec(dialog); };
    auto speckle = [&](const KBrushCell& with) {
        CSpeckleDialog dialog(this);
        return WithDialog(*this, dialog, exec, [&](CSpeckleDialog& d) { return KSpeckle(doc_, *node, region, with, d.Percentage()); });
    };
    switch (action) {
    case KToolAction::Fill: KFill(doc_, *node, region, brush); break;
    case KToolAction::Fade: {
        CFadeDialog dialog(doc_, brush, KReadFadeSets(engine), KReadFadeBlends(engine), this);
        WithDialog(*this, dialog, exec,
                   [&](CFadeDialog& d) { return KFade(doc_, *node, region, brush, d.Pattern(), d.Set(), d.Random()); });
        break;
    }
    case KToolAction::Distance: {
        CDistanceDialog dialog(KReadFadeSets(engine), this);
        WithDialog(*this, dialog, exec, [&](CDistanceDialog& d) {
            return KDistance(doc_, *node, region, brush, d.Set(), d.XPosition(), d.YPosition(), d.Random());
        });
        break;
    }
    case KToolAction::Slime: {
        CSlimeDialog dialog(KReadFadeSets(engine), this);
        WithDialog(*this, dialog, exec, [&](CSlimeDialog& d) { return KSlime(doc_, *node, region, brush, d.Set(), d.Random()); });
        break;
    }
    case KToolAction::Speckle: speckle(brush); break;
    case KToolAction::ReplaceFill:
    case KToolAction::ReplaceSpeckle: {
        // Only the checked fields change; the brush itself stays as it is.
        CFilterDialog filter(this);
        if (!Exec(filter)) break;
        const KBrushCell filtered = filter.Filtered(brush);
        if (action == KToolAction::ReplaceFill) KFill(doc_, *node, region, filtered);
        else speckle(filtered);
        break;
    }
    case KToolAction::BlendFade:
        KBlendFade(doc_, *node, region, brush, canvas.CursorX(), canvas.CursorY(), canvas.AnchorX(), canvas.AnchorY(), x1, y1);
        break;
    case KToolAction::SpritePaste:
        if (engine.vFont) KSpritePaste(doc_, *node, region, paint_, *engine.vFont);
        BrushChanged();
        break;
    case KToolAction::CopyTiles: {
        CFilterDialog filter(this);
        if (!Exec(filter)) break;
        std::array<bool, 4> fields{};
        for (size_t f = 0; f < 4; ++f) fields[f] = filter.Box(static_cast<int>(f))->isChecked();
        KCopyTiles(*node, region, fields, tiles_);
        break;
    }
    case KToolAction::PasteTiles: KPasteTiles(doc_, *node, region, tiles_); break;
    case KToolAction::MakeObject:
        if (KMakeObject(doc_, *node, region) > 0) {
            Repaint();
            EditName();
        }
        break;
    }
    Repaint();
}

void CMainFrame::TileClipboard()
{
    canvas_->Core().FinishStrokes();
    CTileClipDialog dialog(tiles_, doc_, {hooks_.chooseClipPath, hooks_.askBmpAs}, this);
    Exec(dialog);
    canvas_->setFocus();
}

void CMainFrame::ObjectClipboard()
{
    CObjectClipDialog dialog(doc_, {hooks_.chooseClipPath, hooks_.askBmpAs}, this);
    Exec(dialog);
    Repaint();
    canvas_->setFocus();
}
