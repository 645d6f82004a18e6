#pragma once
// "Programming": a node's script in a code editor, coloured as the compiler
// reads it, with the command list after "#", the address list after ".",
// the parameters of a command after a space, and the compile errors in the
// margin.

#include "KScriptHelp.h"

#include <Qsci/qscilexercustom.h>

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QPushButton;
class QTimer;
class QsciScintilla;

// Colours the script with the styles of KScriptStyles.
class CScriptLexer : public QsciLexerCustom {
    Q_OBJECT
public:
    CScriptLexer(const KSyntaxColors& colors, const QFont& font, QObject* parent);
    const char* language() const override { return "QUAV! script"; }
    QString description(int style) const override;
    void styleText(int start, int end) override;
    // Bytes styled so far: typing must restyle only near the change.
    size_t StyledBytes() const { return styledBytes_; }

private:
    size_t styledBytes_ = 0;
};

struct KScriptDialogSetup {
    QString text;
    // The OK/Cancel questions: true for OK.
    std::function<bool(const QString& caption, const QString& text)> confirm;
    // Node names for a typed address (".", ".top." ...).
    std::function<std::vector<std::string>(std::string_view typed)> addressNames;
    // Compile errors of a script text.
    std::function<std::vector<KScriptError>(std::string_view text)> check;
};

class CScriptDialog : public QDialog {
    Q_OBJECT
public:
    CScriptDialog(KScriptDialogSetup setup, QWidget* parent);

    // The script with LF line ends.
    QString Text() const;
    QsciScintilla& Editor() const { return *editor_; }
    CScriptLexer& Lexer() const { return *lexer_; }
    // The errors shown in the margin, by 0-based line.
    const std::vector<KScriptError>& Errors() const { return errors_; }
    // The margin text for a line: its errors, one a line.
    QString ErrorsOfLine(int line) const;
    // Runs the waiting error check at once.
    void CheckNow();
    // Makes family the editor's font and the profile's "Font"/"Face".
    void UseFont(const QString& family);

    void accept() override;
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Initialise();
    void CharAdded(int c);
    void ShowCommands();
    void ShowAddresses(long position);
    void SpaceTyped(long position);
    void ShowCompletion(const std::string& list);
    void PopUpFonts();
    // The style at position, once the text is styled up to through.
    int StyleAt(long position, long through) const;
    // Enter with the completion list open, when the typed word is already
    // the chosen entry: closes the list, so Enter breaks the line.
    bool EnterAcceptsTypedWord();

    KScriptDialogSetup setup_;
    QsciScintilla* editor_;
    CScriptLexer* lexer_ = nullptr;
    QPushButton* fontButton_;
    QTimer* checkTimer_;
    std::vector<KScriptError> errors_;
    int callTipSpaces_ = 0;
};

// Up to 200 names of installed fixed-pitch font families.
QStringList KFixedPitchFonts();
