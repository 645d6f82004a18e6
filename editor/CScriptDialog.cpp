#include "CScriptDialog.h"

#include "KSettings.h"

#include <Qsci/qsciscintilla.h>

#include <QEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr const char* kColorFile = "Library/SyntaxColors.txt";
constexpr int kFontPoints = 10;
constexpr int kMaxFonts = 200;
constexpr int kMaxFontName = 63;
constexpr int kErrorMarker = 1;
constexpr int kErrorMarginWidth = 14;
// The error check waits for a pause in typing.
constexpr int kCheckDelayMs = 400;
// A typed address or command word is looked for no further back than this.
constexpr long kMaxLookBack = 256;
constexpr int kCallTipCancelSpaces = 4;

constexpr const char* kStyleNames[kScriptStyleCount] = {
    "Default", "Command", "Comment", "Label", "Message", "Address", "Text", "Argument", "Quoted", "Number", "Unknown"};

QColor ColorOf(uint32_t rrggbb)
{
    return QColor(static_cast<int>(rrggbb >> 16) & 0xFF, static_cast<int>(rrggbb >> 8) & 0xFF,
                  static_cast<int>(rrggbb) & 0xFF);
}

QFont ScriptFont(const QString& face)
{
    QFont font = face.isEmpty() ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : QFont(face);
    font.setPointSize(kFontPoints);
    return font;
}

// The text from..to as bytes; QsciScintilla::bytes adds the terminating zero.
QByteArray TextBytes(const QsciScintilla& editor, long from, long to)
{
    QByteArray bytes = editor.bytes(static_cast<int>(from), static_cast<int>(to));
    bytes.chop(1);
    return bytes;
}

}  // namespace

QStringList KFixedPitchFonts()
{
    QStringList fonts;
    for (const QString& family : QFontDatabase::families()) {
        if (fonts.size() >= kMaxFonts) break;
        if (family.size() <= kMaxFontName && QFontDatabase::isFixedPitch(family)) fonts.push_back(family);
    }
    return fonts;
}

// --- Lexer ------------------------------------------------------------------------

CScriptLexer::CScriptLexer(const KSyntaxColors& colors, const QFont& font, QObject* parent) : QsciLexerCustom(parent)
{
    setDefaultColor(ColorOf(colors[0]));
    setDefaultPaper(Qt::white);
    setDefaultFont(font);
    setFont(font, -1);
    setPaper(Qt::white, -1);
    for (int style = 0; style < kScriptStyleCount; ++style) setColor(ColorOf(KStyleColor(colors, style)), style);
}

QString CScriptLexer::description(int style) const
{
    return style >= 0 && style < kScriptStyleCount ? kStyleNames[style] : QString();
}

void CScriptLexer::styleText(int start, int end)
{
    QsciScintilla* ed = editor();
    if (ed == nullptr) return;
    // From the start of the line, or of the quoted text that runs into it:
    // only there does the compiler's reading begin afresh.
    long line = ed->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION, static_cast<unsigned long>(start));
    while (line > 0) {
        const long previousEnd = ed->SendScintilla(QsciScintillaBase::SCI_GETLINEENDPOSITION,
                                                   static_cast<unsigned long>(line - 1));
        if (ed->SendScintilla(QsciScintillaBase::SCI_GETSTYLEAT, static_cast<unsigned long>(previousEnd)) !=
            kStyleQuoted) {
            break;
        }
        --line;
    }
    const long from = ed->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
    const long lastLine = ed->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION, static_cast<unsigned long>(end));
    const long to = std::max<long>(end, ed->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE,
                                                          static_cast<unsigned long>(lastLine + 1)));
    const QByteArray bytes = TextBytes(*ed, from, to);
    const std::vector<uint8_t> styles = KScriptStyles(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    styledBytes_ += styles.size();
    startStyling(static_cast<int>(from));
    for (size_t at = 0; at < styles.size();) {
        size_t run = at + 1;
        while (run < styles.size() && styles[run] == styles[at]) ++run;
        setStyling(static_cast<int>(run - at), styles[at]);
        at = run;
    }
}

// --- Dialog -----------------------------------------------------------------------

CScriptDialog::CScriptDialog(KScriptDialogSetup setup, QWidget* parent)
    : QDialog(parent), setup_(std::move(setup)), editor_(new QsciScintilla(this)),
      fontButton_(new QPushButton("Change Font", this)), checkTimer_(new QTimer(this))
{
    setWindowTitle("Programming");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(editor_, 1);
    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton("OK", this);
    auto* cancel = new QPushButton("Cancel", this);
    ok->setDefault(true);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    buttons->addWidget(fontButton_);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &CScriptDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &CScriptDialog::reject);
    connect(fontButton_, &QPushButton::clicked, this, &CScriptDialog::PopUpFonts);
    resize(570, 395);

    Initialise();

    connect(editor_, &QsciScintillaBase::SCN_CHARADDED, this, &CScriptDialog::CharAdded);
    checkTimer_->setSingleShot(true);
    checkTimer_->setInterval(kCheckDelayMs);
    connect(checkTimer_, &QTimer::timeout, this, &CScriptDialog::CheckNow);
    connect(editor_, &QsciScintilla::textChanged, checkTimer_, qOverload<>(&QTimer::start));
    editor_->viewport()->installEventFilter(this);
    editor_->installEventFilter(this);
    CheckNow();
}

void CScriptDialog::Initialise()
{
    QsciScintilla& ed = *editor_;
    lexer_ = new CScriptLexer(KReadSyntaxColors(kColorFile), ScriptFont(KScriptFontFace()), this);
    ed.setLexer(lexer_);
    UseFont(KScriptFontFace());

    ed.SendScintilla(QsciScintillaBase::SCI_SETMARGINTYPEN, 0UL, static_cast<long>(QsciScintillaBase::SC_MARGIN_NUMBER));
    ed.SendScintilla(QsciScintillaBase::SCI_SETMARGINMASKN, 0UL, 0L);
    ed.SendScintilla(QsciScintillaBase::SCI_SETMARGINTYPEN, 1UL, static_cast<long>(QsciScintillaBase::SC_MARGIN_SYMBOL));
    ed.SendScintilla(QsciScintillaBase::SCI_SETMARGINMASKN, 1UL, 1L << kErrorMarker);
    ed.SendScintilla(QsciScintillaBase::SCI_SETMARGINWIDTHN, 1UL, 0L);
    ed.markerDefine(QsciScintilla::Circle, kErrorMarker);
    ed.setMarkerBackgroundColor(Qt::red, kErrorMarker);

    const QByteArray text = setup_.text.toUtf8();
    ed.SendScintilla(QsciScintillaBase::SCI_SETTEXT, text.constData());
    ed.SendScintilla(QsciScintillaBase::SCI_SETEOLMODE, static_cast<unsigned long>(QsciScintillaBase::SC_EOL_LF));
    ed.SendScintilla(QsciScintillaBase::SCI_CONVERTEOLS, static_cast<unsigned long>(QsciScintillaBase::SC_EOL_LF));
    ed.SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
    ed.setModified(false);

    ed.SendScintilla(QsciScintillaBase::SCI_AUTOCSETSEPARATOR, static_cast<unsigned long>(' '));
    ed.SendScintilla(QsciScintillaBase::SCI_AUTOCSETAUTOHIDE, 0UL);
    ed.SendScintilla(QsciScintillaBase::SCI_AUTOCSETCANCELATSTART, 0UL);
    ed.SendScintilla(QsciScintillaBase::SCI_AUTOCSETCHOOSESINGLE, 1UL);
    ed.SendScintilla(QsciScintillaBase::SCI_AUTOCSETDROPRESTOFWORD, 0UL);
}

void CScriptDialog::UseFont(const QString& family)
{
    const QFont font = ScriptFont(family);
    lexer_->setDefaultFont(font);
    lexer_->setFont(font, -1);
    if (family != KScriptFontFace()) KSetScriptFontFace(family);
    // Room for four digits of line numbers.
    const long nine = editor_->SendScintilla(QsciScintillaBase::SCI_TEXTWIDTH,
                                             static_cast<uintptr_t>(QsciScintillaBase::STYLE_DEFAULT), "9");
    editor_->SendScintilla(QsciScintillaBase::SCI_SETMARGINWIDTHN, 0UL, 4 * nine + 4);
}

QString CScriptDialog::Text() const
{
    editor_->SendScintilla(QsciScintillaBase::SCI_CONVERTEOLS, static_cast<unsigned long>(QsciScintillaBase::SC_EOL_LF));
    return editor_->text();
}

int CScriptDialog::StyleAt(long position, long through) const
{
    if (position < 0) return kStyleDefault;
    // Styling is done lazily, as text is shown; the line must be styled up
    // to and with the character just typed, for that character decides what
    // the blanks before it are: a blank that ends a line is plain, the same
    // blank inside a comment, a text line or a quoted text is part of it.
    // Colouring from an earlier place would throw away the styles from
    // there on, so it starts where styling stopped (the lexer itself goes
    // back to the start of the line).
    const long styled = editor_->SendScintilla(QsciScintillaBase::SCI_GETENDSTYLED);
    if (styled < through) {
        editor_->SendScintilla(QsciScintillaBase::SCI_COLOURISE, static_cast<unsigned long>(styled), through);
    }
    return static_cast<int>(editor_->SendScintilla(QsciScintillaBase::SCI_GETSTYLEAT, static_cast<unsigned long>(position)));
}

void CScriptDialog::CharAdded(int c)
{
    const long position = editor_->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS);
    const int before = StyleAt(position - 2, position);
    switch (c) {
    case '#':
        if (KOffersCommands(before)) ShowCompletion(KCommandList());
        break;
    case '.':
        if (KOffersAddresses(before)) ShowAddresses(position);
        break;
    case ' ':
        if (editor_->SendScintilla(QsciScintillaBase::SCI_CALLTIPACTIVE) != 0 && ++callTipSpaces_ >= kCallTipCancelSpaces) {
            editor_->SendScintilla(QsciScintillaBase::SCI_CALLTIPCANCEL);
        }
        if (before == kStyleCommand) SpaceTyped(position);
        break;
    default: break;
    }
}

void CScriptDialog::ShowCompletion(const std::string& list)
{
    editor_->SendScintilla(QsciScintillaBase::SCI_AUTOCSHOW, 1UL, list.c_str());
}

void CScriptDialog::ShowAddresses(long position)
{
    const long lineStart = editor_->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE,
        static_cast<unsigned long>(editor_->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION, static_cast<unsigned long>(position))));
    const long from = std::max(lineStart, position - kMaxLookBack);
    const QByteArray before = TextBytes(*editor_, from, position);
    const qsizetype space = before.lastIndexOf(' ');
    const QByteArray typed = space < 0 ? before : before.mid(space + 1);
    std::vector<std::string> names;
    if (setup_.addressNames) names = setup_.addressNames(std::string_view(typed.constData(), static_cast<size_t>(typed.size())));
    ShowCompletion(KAddressList(names));
}

void CScriptDialog::SpaceTyped(long position)
{
    const long line = editor_->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION, static_cast<unsigned long>(position));
    const long lineStart = editor_->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
    const long from = std::max(lineStart, position - kMaxLookBack);
    const QByteArray before = TextBytes(*editor_, from, position);
    qsizetype start = before.size();
    while (start > 0 && !QByteArray("#/?").contains(before[start - 1])) --start;
    if (start == 0) return;
    const QByteArray typed = before.mid(start - 1);
    const std::string help = GetCommandHelp(std::string_view(typed.constData(), static_cast<size_t>(typed.size())));
    // An empty tip would be an empty box over the text.
    if (help.empty()) return;
    editor_->SendScintilla(QsciScintillaBase::SCI_CALLTIPSHOW, static_cast<uintptr_t>(lineStart), help.c_str());
    callTipSpaces_ = 0;
}

void CScriptDialog::CheckNow()
{
    checkTimer_->stop();
    const QByteArray text = editor_->text().toUtf8();
    errors_.clear();
    if (setup_.check) errors_ = setup_.check(std::string_view(text.constData(), static_cast<size_t>(text.size())));
    editor_->markerDeleteAll(kErrorMarker);
    for (const KScriptError& error : errors_) editor_->markerAdd(error.line, kErrorMarker);
    editor_->SendScintilla(QsciScintillaBase::SCI_SETMARGINWIDTHN, 1UL, errors_.empty() ? 0L : long{kErrorMarginWidth});
}

QString CScriptDialog::ErrorsOfLine(int line) const
{
    QStringList messages;
    for (const KScriptError& error : errors_) {
        if (error.line == line) messages.push_back(QString::fromStdString(error.message));
    }
    return messages.join('\n');
}

bool CScriptDialog::EnterAcceptsTypedWord()
{
    if (editor_->SendScintilla(QsciScintillaBase::SCI_AUTOCACTIVE) == 0) return false;
    // Every list is shown with one character (the "#" or ".") entered.
    const long start = editor_->SendScintilla(QsciScintillaBase::SCI_AUTOCPOSSTART) - 1;
    const long position = editor_->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS);
    if (start < 0 || position <= start) return false;
    const QByteArray typed = TextBytes(*editor_, start, position);
    const long length = editor_->SendScintilla(QsciScintillaBase::SCI_AUTOCGETCURRENTTEXT, 0UL, static_cast<long>(0));
    QByteArray chosen(static_cast<qsizetype>(std::max(0L, length)) + 1, '\0');
    editor_->SendScintilla(QsciScintillaBase::SCI_AUTOCGETCURRENTTEXT, 0UL, chosen.data());
    chosen.truncate(static_cast<qsizetype>(std::max(0L, length)));
    if (typed != chosen) return false;
    // Taking the entry would change nothing; the key is the line break.
    editor_->SendScintilla(QsciScintillaBase::SCI_AUTOCCANCEL);
    return true;
}

bool CScriptDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        // The list closes and the key goes on to the editor as a line break.
        if (key == Qt::Key_Return || key == Qt::Key_Enter) EnterAcceptsTypedWord();
        return QDialog::eventFilter(watched, event);
    }
    if (watched != editor_->viewport() || event->type() != QEvent::ToolTip) return QDialog::eventFilter(watched, event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const long margins = editor_->SendScintilla(QsciScintillaBase::SCI_GETMARGINWIDTHN, 0UL) +
                         editor_->SendScintilla(QsciScintillaBase::SCI_GETMARGINWIDTHN, 1UL);
    QString text;
    if (help->pos().x() < margins) {
        const long position = editor_->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMPOINT,
                                                     static_cast<unsigned long>(margins), long{help->pos().y()});
        text = ErrorsOfLine(static_cast<int>(editor_->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION,
                                                                    static_cast<unsigned long>(position))));
    }
    if (text.isEmpty()) {
        QToolTip::hideText();
    } else {
        QToolTip::showText(help->globalPos(), text, editor_);
    }
    return true;
}

void CScriptDialog::accept()
{
    const QByteArray text = Text().toUtf8();
    const std::string_view script(text.constData(), static_cast<size_t>(text.size()));
    const std::vector<int> lost = KLinesLostOnSave(script);
    if (!lost.empty()) {
        QStringList numbers;
        for (const int line : lost) numbers.push_back(QString::number(line + 1));
        const QString question = "Line " + numbers.join(", ") +
                                 " begins with ~pe or ~pb, which a saved world cannot keep. Indent with a space?";
        if (!setup_.confirm || !setup_.confirm("Programming", question)) return;
        const std::string indented = KIndentLinesLostOnSave(script);
        editor_->SendScintilla(QsciScintillaBase::SCI_SETTEXT, indented.c_str());
    }
    QDialog::accept();
}

void CScriptDialog::reject()
{
    if (editor_->isModified() && setup_.confirm && !setup_.confirm("Confirm Cancel", "Discard Changes ?")) return;
    QDialog::reject();
}

void CScriptDialog::PopUpFonts()
{
    QMenu menu(this);
    for (const QString& family : KFixedPitchFonts()) menu.addAction(family)->setData(family);
    menu.addSeparator();
    menu.addAction("&Cancel");
    const QAction* chosen = menu.exec(fontButton_->mapToGlobal(QPoint(0, fontButton_->height())));
    if (chosen != nullptr && chosen->data().isValid()) UseFont(chosen->data().toString());
}
