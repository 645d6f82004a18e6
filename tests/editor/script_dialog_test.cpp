// The "Programming" dialog on the offscreen platform: typing offers the
// command and address lists where the style allows, a space after a
// command shows its parameters until the fourth space, compile errors go
// into the margin, and Cancel asks only about changes.

#include "CScriptDialog.h"
#include "TestSupport.h"

#include <Qsci/qsciscintilla.h>

#include <QTest>

#include <gtest/gtest.h>

namespace {

class ScriptDialog : public testing::Test {
protected:
    std::unique_ptr<CScriptDialog> Make(const QString& text)
    {
        KScriptDialogSetup setup;
        setup.text = text;
        setup.confirm = [this](const QString& caption, const QString& question) {
            questions.push_back(caption + "|" + question);
            return answer;
        };
        setup.addressNames = [this](std::string_view typed) {
            typedAddresses.emplace_back(typed);
            return std::vector<std::string>{"door"};
        };
        setup.check = [this](std::string_view script) { return KCheckScript(*engine, "lamp", script); };
        auto dialog = std::make_unique<CScriptDialog>(std::move(setup), nullptr);
        dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        return dialog;
    }

    static long Send(const CScriptDialog& dialog, unsigned int message, unsigned long w = 0, long l = 0)
    {
        return dialog.Editor().SendScintilla(message, w, l);
    }

    // Types at position, or at the end of the text.
    static void TypeAt(CScriptDialog& dialog, const QString& keys, long position = -1)
    {
        if (position < 0) position = Send(dialog, QsciScintillaBase::SCI_GETLENGTH);
        Send(dialog, QsciScintillaBase::SCI_GOTOPOS, static_cast<unsigned long>(position));
        QTest::keyClicks(&dialog.Editor(), keys);
    }

    static bool ListShown(CScriptDialog& dialog)
    {
        const bool shown = Send(dialog, QsciScintillaBase::SCI_AUTOCACTIVE) != 0;
        Send(dialog, QsciScintillaBase::SCI_AUTOCCANCEL);
        return shown;
    }

    static bool TipShown(const CScriptDialog& dialog) { return Send(dialog, QsciScintillaBase::SCI_CALLTIPACTIVE) != 0; }

    TestEngine engine{KFlavour::Editor};
    QStringList questions;
    bool answer = false;
    std::vector<std::string> typedAddresses;
};

TEST_F(ScriptDialog, ListsAreOfferedOnlyWhereTheStyleAllows)
{
    auto dialog = Make("'note\nhello\n#put n ");
    TypeAt(*dialog, "#", 5);  // in the comment
    EXPECT_FALSE(ListShown(*dialog));
    TypeAt(*dialog, ".", 12);  // after "hello", a text line
    EXPECT_FALSE(ListShown(*dialog));
    EXPECT_TRUE(typedAddresses.empty());
    TypeAt(*dialog, ".");
    EXPECT_TRUE(ListShown(*dialog));
    EXPECT_EQ(typedAddresses, (std::vector<std::string>{"."}));
    QTest::keyClick(&dialog->Editor(), Qt::Key_Return);
    QTest::keyClicks(&dialog->Editor(), "#");
    EXPECT_TRUE(ListShown(*dialog));
}

TEST_F(ScriptDialog, AHashAfterABlankOffersTheListOnlyOutsideCommentsTextAndQuotes)
{
    // The blank before the "#" is plain until the "#" is styled with its line.
    const struct {
        const char* text;
        bool offered;
    } cases[] = {{"' a note ", false}, {"hello there ", false}, {"#write 1 1 \"a b ", false}, {"#put n ", true}};
    for (const auto& c : cases) {
        auto dialog = Make(c.text);
        TypeAt(*dialog, "#");
        EXPECT_EQ(ListShown(*dialog), c.offered) << c.text;
    }
}

TEST_F(ScriptDialog, EnterBreaksTheLineWhenTheListWouldChangeNothing)
{
    // Typed key by key, as an author writes; the list opens at every "#".
    auto dialog = Make("");
    QTest::keyClicks(&dialog->Editor(), "#end");
    QTest::keyClick(&dialog->Editor(), Qt::Key_Return);
    QTest::keyClicks(&dialog->Editor(), ":key_right");
    QTest::keyClick(&dialog->Editor(), Qt::Key_Return);
    QTest::keyClicks(&dialog->Editor(), "#char 2 15 0 0");
    QTest::keyClick(&dialog->Editor(), Qt::Key_Return);
    QTest::keyClicks(&dialog->Editor(), "#wal");
    QTest::keyClick(&dialog->Editor(), Qt::Key_Return);  // takes "#walk", no line break
    EXPECT_EQ(dialog->Text(), "#end\n:key_right\n#char 2 15 0 0\n#walk");
}

TEST_F(ScriptDialog, ASpaceAfterACommandShowsItsTipUntilTheFourthSpace)
{
    auto dialog = Make("#nothing\n#sound");
    TypeAt(*dialog, " ", 8);
    EXPECT_FALSE(TipShown(*dialog));
    TypeAt(*dialog, " ");
    ASSERT_TRUE(TipShown(*dialog));
    for (int space = 1; space <= 3; ++space) {
        QTest::keyClicks(&dialog->Editor(), " ");
        EXPECT_TRUE(TipShown(*dialog)) << space;
    }
    QTest::keyClicks(&dialog->Editor(), " ");
    EXPECT_FALSE(TipShown(*dialog));
}

TEST_F(ScriptDialog, CompileErrorsAreMarkedAndLineEndsBecomeLf)
{
    auto dialog = Make("#walk n\r\n#bogus\r\n");
    EXPECT_EQ(dialog->Text(), "#walk n\n#bogus\n");
    ASSERT_EQ(dialog->Errors().size(), 1U);
    EXPECT_EQ(dialog->ErrorsOfLine(1), "Bad command: #bogus");
    EXPECT_NE(Send(*dialog, QsciScintillaBase::SCI_MARKERGET, 1) & 2, 0);
    EXPECT_GT(Send(*dialog, QsciScintillaBase::SCI_GETMARGINWIDTHN, 1), 0);
    EXPECT_EQ(Send(*dialog, QsciScintillaBase::SCI_GETSTYLEAT, 1), kStyleCommand);

    // The check follows the text after a pause.
    dialog->Editor().setText("#walk n\n#end\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return dialog->Errors().empty(); }, 5000));
    EXPECT_EQ(Send(*dialog, QsciScintillaBase::SCI_GETMARGINWIDTHN, 1), 0);
}

TEST_F(ScriptDialog, TypingRestylesOnlyNearTheChange)
{
    QString script;
    for (int line = 0; line < 2000; ++line) script += "#walk n\n";
    auto dialog = Make(script);
    Send(*dialog, QsciScintillaBase::SCI_COLOURISE, 0UL, -1L);  // all of it, as if scrolled through
    const size_t before = dialog->Lexer().StyledBytes();
    EXPECT_GE(before, 16000U);
    TypeAt(*dialog, "#set a 1 ", 8000);
    EXPECT_EQ(Send(*dialog, QsciScintillaBase::SCI_GETSTYLEAT, 8000), kStyleCommand);
    EXPECT_LT(dialog->Lexer().StyledBytes() - before, 1000U);
}

TEST_F(ScriptDialog, CancelAsksBeforeDroppingChangesOnly)
{
    auto untouched = Make("#end");
    untouched->reject();
    EXPECT_TRUE(questions.isEmpty());
    EXPECT_EQ(untouched->result(), QDialog::Rejected);

    auto changed = Make("#end");
    TypeAt(*changed, "x");
    changed->reject();
    EXPECT_EQ(questions, QStringList{"Confirm Cancel|Discard Changes ?"});
    EXPECT_TRUE(changed->isVisible());
    answer = true;
    changed->reject();
    EXPECT_FALSE(changed->isVisible());
}

}  // namespace
