// "Font Edit" through the real widgets on the offscreen platform: a glyph
// edited by clicks and keys, "Color Select", the buttons, the "&File" menu,
// Cancel's question, OK as one undo step and the font entries of the world
// saved afterwards.

#include "CBrushDialog.h"
#include "CFontDialog.h"
#include "CMainFrame.h"
#include "KWorldFile.h"
#include "KZip.h"
#include "Kfont.h"
#include "TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

namespace {

void Click(QWidget& widget, QPoint at)
{
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, QPointF(at), widget.mapToGlobal(QPointF(at)), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&widget, &event);
    }
}

void Press(QDialog& dialog, const QString& text)
{
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        if (button->text() == text) return button->click();
    }
    ADD_FAILURE() << "no button " << text.toStdString();
}

class FontDialog : public testing::Test {
protected:
    std::unique_ptr<CMainFrame> MakeFrame()
    {
        WriteFileBytes(dir.File("world.zqav"), ReadFileBytes("Library/default.zqav"));
        KFrameHooks hooks;
        hooks.confirm = [this](const QString& caption, const QString& text) {
            confirmations << caption + "|" + text;
            return confirmAnswer;
        };
        hooks.runDialog = [this](QDialog& dialog) { return onDialog(dialog); };
        hooks.chooseFontPath = [this](bool save) { return QString::fromStdString(dir.File(save ? "saved.bmp" : "in.bmp")); };
        auto frame = std::make_unique<CMainFrame>(doc, hooks);
        frame->OpenPath(QString::fromStdString(dir.File("world.zqav")));
        return frame;
    }

    Kfont& Font() { return *engine->vFont; }

    TempDir dir;
    TestEngine engine{KFlavour::Editor};
    KEditorDoc doc{*engine};
    bool confirmAnswer = false;
    QStringList confirmations;
    std::function<bool(QDialog&)> onDialog;
};

TEST_F(FontDialog, AGlyphEditedByMouseAndKeysIsKeptByOkAsOneStepAndSavedWithTheWorld)
{
    auto frame = MakeFrame();
    frame->PaintSettings().chr = 'A';
    const int before = Font().GetGlyphPixel('A', 2, 3);
    const size_t steps = doc.UndoSteps();
    onDialog = [&](QDialog& shown) {
        if (auto* colours = qobject_cast<CColourDialog*>(&shown)) {
            for (Qt::Key key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Down}) QTest::keyClick(colours, key);
            return true;
        }
        auto& dialog = dynamic_cast<CFontDialog&>(shown);
        dialog.show();
        // Char Edit is 160 pixels: grid cell (2, 3), then Space draws there.
        Click(dialog.Grid(), QPoint(2 * 20 + 4, 3 * 20 + 4));
        QTest::keyClick(&dialog, Qt::Key_Space);
        EXPECT_EQ(Font().GetGlyphPixel('A', 2, 3), before == 0 ? 15 : 0);
        QTest::keyClick(&dialog, Qt::Key_C);
        EXPECT_EQ(frame->PaintSettings().fg, 15 + 2 + 16) << "Color Select's arrows";
        QTest::keyClick(&dialog, Qt::Key_Return);
        EXPECT_EQ(frame->PaintSettings().fg, before == 0 ? 15 : 0) << "Enter picks the pixel's colour";
        EXPECT_TRUE(dialog.isVisible()) << "Enter is no OK here";

        Press(dialog, "New Line");
        EXPECT_EQ(Font().glyphCount, 272);
        dialog.Slider().setValue(100);
        EXPECT_EQ(dialog.Characters().RowOffset(), 2) << "one row past the picker, plus one";
        dialog.findChild<QMenuBar*>()->actions().value(0)->menu()->actions().value(1)->trigger();  // &File > &Save
        EXPECT_TRUE(FileExists(dir.File("saved.bmp")));

        // Cancel asks; answered Cancel, the dialog stays.
        dialog.reject();
        EXPECT_EQ(confirmations, QStringList{"Confirm Cancel|Discard Changes ?"});
        EXPECT_TRUE(dialog.isVisible());
        dialog.accept();
        return dialog.result() == QDialog::Accepted;
    };
    QAction* fontEdit = frame->FindAction("&Font Edit");
    ASSERT_NE(fontEdit, nullptr);
    EXPECT_EQ(fontEdit->shortcut(), QKeySequence("Ctrl+F"));
    fontEdit->trigger();
    EXPECT_EQ(doc.UndoSteps(), steps + 1);
    EXPECT_EQ(frame->PaintSettings().fg, 15) << "the brush is put back";
    const int edited = Font().GetGlyphPixel('A', 2, 3);
    EXPECT_NE(edited, before);

    ASSERT_TRUE(frame->FileSave());
    KZipReader zip;
    std::string error;
    std::string header;
    ASSERT_TRUE(zip.OpenFile(dir.File("world.zqav"), size_t{64} << 20, error)) << error;
    ASSERT_EQ(zip.Read("font.hdr", header, 4096), KZipReader::Entry::Ok);
    EXPECT_EQ(header, "128 136 2\n");
    TestEngine reread(KFlavour::Editor);
    ASSERT_TRUE(LoadWorld(*reread, dir.File("world.zqav")));
    EXPECT_EQ(reread->vFont->GetGlyphPixel('A', 2, 3), edited);

    // Undo takes the whole session back; a confirmed Cancel keeps nothing.
    frame->Undo();
    EXPECT_EQ(Font().GetGlyphPixel('A', 2, 3), before);
    EXPECT_EQ(Font().glyphCount, 256);
    confirmAnswer = true;
    onDialog = [&](QDialog& shown) {
        auto& dialog = dynamic_cast<CFontDialog&>(shown);
        Press(dialog, "Invert");
        Press(dialog, "Delete Line");
        dialog.reject();
        return dialog.result() == QDialog::Accepted;
    };
    fontEdit->trigger();
    EXPECT_EQ(Font().glyphCount, 256);
    EXPECT_EQ(Font().GetGlyphPixel('A', 2, 3), before);
    EXPECT_EQ(doc.UndoSteps(), steps);
}

}  // namespace
