#include "Kcompiler.h"

#include "KTrace.h"
#include "KVariables.h"
#include "Kinterface.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

namespace {

// Bytes that repeats may add to the programs of one compiled subtree: a
// floor for small scripts, then a fixed share per byte of script.
constexpr size_t kRepeatBytesFloor = size_t{1} << 20;
constexpr size_t kRepeatBytesPerScriptByte = 64;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// Characters that end a label, message name, address or word.
bool EndsRun(char c)
{
    switch (c) {
    case ' ': case '\r': case '\n': case '/': case '?': case '&': case '@': case '#': case '"':
        return true;
    default:
        return false;
    }
}


void AppendNumber(std::string& code, int number)
{
    code += std::to_string(number);
    code += ' ';
}

}  // namespace

void KAddCompiler(KParts& parts)
{
    parts.makeCompiler = [](KOwned<Kcompiler>& out) {
        out = KOwned<Kcompiler>(std::make_unique<Kcompiler>().release(),
                                [](Kcompiler* compiler) { std::default_delete<Kcompiler>{}(compiler); });
        return true;
    };
    parts.compileTree = [](Kcompiler& compiler, Kobject& node) { compiler.Compile(node); };
}

Kcompiler::Kcompiler() : inputNames_(KBuildInputNames())
{
    for (size_t i = 0; i < inputNames_.size(); ++i) inputIndex_.emplace(inputNames_[i], static_cast<int>(i));
}

int Kcompiler::InputIndexOf(std::string_view name) const
{
    // emplace kept the first index of every name, so this is the first equal entry.
    const auto found = inputIndex_.find(std::string(name));
    return found == inputIndex_.end() ? -1 : found->second;
}

size_t Kcompiler::RepeatBudgetFor(size_t sourceBytes)
{
    const size_t most = std::numeric_limits<size_t>::max();
    if (sourceBytes > (most - kRepeatBytesFloor) / kRepeatBytesPerScriptByte) return most;
    return kRepeatBytesFloor + sourceBytes * kRepeatBytesPerScriptByte;
}

size_t Kcompiler::CopyCost(const KCompiledCommand& command)
{
    return sizeof(KCompiledCommand) + command.code.size() + command.target.size();
}

// --- Tokenizer --------------------------------------------------------------------

void Kcompiler::SetSource(std::string_view text)
{
    source_.assign(text);
    position_ = 0;
    state_ = kStart;
}

KToken Kcompiler::GetToken()
{
    // The scanner builds each token in tokenText_, which keeps its buffer
    // from token to token; the token returned gets a copy.
    KToken token;
    tokenKind_ = kTokEndOfProgram;
    state_ = kStart;
    tokenStart_ = std::min(position_, source_.size());
    if (position_ < source_.size()) {
        const char c = source_[position_];
        tokenStart_ = position_;
        ++position_;
        BeginToken(c);
        switch (state_) {
        case kInNumber: ScanNumber(); break;
        case kInCommand: ScanCommandWord(); break;
        case kInLabel: case kInMessage: case kInAddress: case kInWord: ScanRun(); break;
        case kInQuoted: ScanQuoted(); break;
        default: break;
        }
        // Spaces after every finished token go, the line end's included, so
        // an indented command is a command. Tabs stay.
        SkipSpaces();
        state_ = kDone;
        if (tokenKind_ == kTokQuoted) tokenKind_ = kTokWord;
        token.text.assign(tokenText_);
    }
    KTRACE("GetToken: (%s)\n", token.text.c_str());
    token.kind = tokenKind_;
    token.start = tokenStart_;
    return token;
}

void Kcompiler::BeginToken(char c)
{
    tokenText_.assign(1, c);
    switch (c) {
    case '\r': case '\n':
        tokenKind_ = kTokEndOfLine;
        tokenText_ = "EOL";
        SkipLineEnds();
        state_ = kDone;
        return;
    case '"': tokenKind_ = kTokQuoted; state_ = kInQuoted; return;
    case '#': tokenKind_ = kTokCommand; state_ = kInCommand; return;
    case '&': case '/': case '?': tokenKind_ = kTokCommand; state_ = kDone; return;
    case '\'': case ':': tokenKind_ = kTokLabel; state_ = kInLabel; return;
    case '.': tokenKind_ = kTokAddress; state_ = kInAddress; return;
    case '@': tokenKind_ = kTokMessage; state_ = kInMessage; tokenText_.clear(); return;
    default: break;
    }
    if (c == '-' || IsDigit(c)) {
        tokenKind_ = kTokNumber;
        state_ = kInNumber;
        return;
    }
    tokenKind_ = kTokWord;
    state_ = kInWord;
}

void Kcompiler::ScanNumber()
{
    while (position_ < source_.size() && IsDigit(source_[position_])) tokenText_ += source_[position_++];
}

void Kcompiler::ScanCommandWord()
{
    while (position_ < source_.size()) {
        const char c = source_[position_];
        if (!IsLetter(c) && c != '_') break;
        tokenText_ += KLowerAscii(c);
        ++position_;
    }
}

void Kcompiler::ScanRun()
{
    const size_t from = position_;
    while (position_ < source_.size() && !EndsRun(source_[position_])) ++position_;
    tokenText_.append(source_, from, position_ - from);
}

void Kcompiler::ScanQuoted()
{
    const size_t close = source_.find('"', position_);
    const size_t end = close == std::string::npos ? source_.size() : close + 1;
    tokenText_.append(source_, position_, end - position_);
    position_ = end;
}

void Kcompiler::SkipLineEnds()
{
    while (position_ < source_.size() && IsLineEnd(source_[position_])) ++position_;
}

void Kcompiler::SkipSpaces()
{
    while (position_ < source_.size() && source_[position_] == ' ') ++position_;
}

KToken Kcompiler::GetRestOfLine(size_t start)
{
    start = std::min(start, source_.size());
    size_t end = start;
    while (end < source_.size() && !IsLineEnd(source_[end])) ++end;
    position_ = end;
    KToken token;
    token.kind = kTokWord;
    token.text.assign(source_, start, end - start);
    token.start = start;
    return token;
}

int Kcompiler::LineAt(size_t position)
{
    position = std::min(position, source_.size());
    if (position < lineCachePosition_) {
        lineCachePosition_ = 0;
        lineCacheNumber_ = 1;
    }
    // Line ends as an editor counts them: CR LF is one, a lone CR or LF one.
    for (size_t at = lineCachePosition_; at < position; ++at) {
        const char c = source_[at];
        if (c == '\n' || (c == '\r' && (at + 1 >= source_.size() || source_[at + 1] != '\n'))) ++lineCacheNumber_;
    }
    lineCachePosition_ = position;
    return lineCacheNumber_;
}

// --- Compiler ---------------------------------------------------------------------

void Kcompiler::Compile(Kobject& node)
{
    // Depth first, each node before its children, without recursion: the
    // tree may be deeper than the stack allows.
    worldBytes_ = 0;
    // What a pass keeps is for that pass only: nodes may change between them.
    ++pass_;
    if (compiledScripts_.empty()) compiledScripts_.resize(kScriptSlots);
    std::vector<Kobject*> pending{&node};
    while (!pending.empty()) {
        Kobject* current = pending.back();
        pending.pop_back();
        CompileNode(*current);
        for (auto child = current->children.rbegin(); child != current->children.rend(); ++child) {
            pending.push_back(child->get());
        }
    }
}

bool Kcompiler::CompileFromCache(Kobject& node)
{
    keptSlot_ = kNoSlot;
    // A traced compile writes every command it compiles: it is done in full.
    if (gKTraceEnabled) return false;
    const std::string& text = node.source.Text();
    const uint64_t hash = SampleHash(text);
    const size_t slot = static_cast<size_t>(hash) & (kScriptSlots - 1);
    CompiledScript& compiled = compiledScripts_[slot];
    const bool same = compiled.pass == pass_ && compiled.hash == hash &&
                      (compiled.node->source.SameAs(node.source) || compiled.node->source.Text() == text);
    if (!same) {
        // The slot goes to this script if it compiles cleanly.
        keptSlot_ = slot;
        keptHash_ = hash;
        return false;
    }
    // Near the world's bound the compile runs in full, to stop where it would.
    if (worldBytes_ + compiled.bytes > worldBound_) return false;
    worldBytes_ += compiled.bytes;
    node.lines = compiled.node->lines;
    node.markers = KMarkers(compiled.node->markers.View());
    node.keyMarkers = compiled.node->keyMarkers;
    node.currentLine = node.lines.empty() ? -1 : 0;
    node.currentCommand = 0;
    return true;
}

// A hash of a script's length and its first and last sixteen bytes: a few
// loads, whatever the script's length. Scripts it cannot tell apart share a
// slot, and a hit compares whole texts.
uint64_t Kcompiler::SampleHash(std::string_view text)
{
    constexpr size_t kEnd = 16;
    uint64_t words[4] = {};
    std::memcpy(words, text.data(), std::min(text.size(), kEnd));
    const size_t tail = std::min(text.size(), kEnd);
    std::memcpy(reinterpret_cast<char*>(words + 2) + (kEnd - tail), text.data() + text.size() - tail, tail);
    uint64_t hash = text.size() * 0x9e3779b97f4a7c15ull;
    for (const uint64_t word : words) hash = (hash ^ word) * 0xff51afd7ed558ccdull + (hash >> 29);
    return hash ^ (hash >> 32);
}

void Kcompiler::KeepInCache(const Kobject& node, size_t reportedBefore)
{
    if (keptSlot_ == kNoSlot || reported_ != reportedBefore || node.lines.empty()) return;
    compiledScripts_[keptSlot_] = CompiledScript{keptHash_, &node, nodeBytes_, pass_};
}

void Kcompiler::CompileNode(Kobject& node)
{
    KTRACE("----------- Compiling: %s -----------\n", node.name.c_str());
    if (CompileFromCache(node)) return;
    const size_t reportedBefore = reported_;
    node_ = &node;
    SetSource(node.source.Text());
    lineCachePosition_ = 0;
    lineCacheNumber_ = 1;
    // Key markers index the markers, so they go with them.
    node.markers.clear();
    node.keyMarkers.clear();
    node.lines.clear();
    line_ = KProgramLine{};
    pendingAddress_ = ".self";
    // Repeats are bounded for each script by its own size.
    repeatBudget_ = RepeatBudgetFor(node.source.size());
    nodeBytes_ = 0;
    countedInLine_ = 0;
    Next();
    while (token_.kind != kTokEndOfProgram) {
        if (!CountCompiled()) {
            DropProgram(node);
            return;
        }
        switch (token_.kind) {
        case kTokCommand: CompileCommand(); break;
        case kTokLabel: CompileLabel(); break;
        case kTokMessage: CompileMessage(); break;
        case kTokAddress:
            pendingAddress_ = token_.text;
            Next();
            break;
        case kTokNumber: case kTokWord: CompileTextLine(); break;
        case kTokEndOfLine:
            CloseLine();
            Next();
            break;
        default: Next(); break;
        }
    }
    CloseLine();
    if (!CountCompiled()) {
        DropProgram(node);
        return;
    }
    if (!node.lines.empty()) {
        node.currentLine = 0;
        node.currentCommand = 0;
    } else {
        // No program: a current line left from an earlier compile would
        // point past the lines.
        node.currentLine = -1;
    }
    KTRACE("----------------- Finished Compiling ( %s,%i )\n", node.name.c_str(), node.currentLine);
    KeepInCache(node, reportedBefore);
    node_ = nullptr;
}

bool Kcompiler::CountCompiled()
{
    for (; countedInLine_ < line_.commands.size(); ++countedInLine_) {
        const size_t cost = CopyCost(line_.commands[countedInLine_]);
        nodeBytes_ += cost;
        worldBytes_ += cost;
    }
    return nodeBytes_ <= programBound_ && worldBytes_ <= worldBound_;
}

void Kcompiler::DropProgram(Kobject& node)
{
    if (nodeBytes_ > programBound_) {
        ErrorAtNode("Script too large: its program passes " + std::to_string(programBound_) + " bytes");
    } else {
        ErrorAtNode("Scripts too large: the world's programs pass " + std::to_string(worldBound_) + " bytes");
    }
    // A script past the bounds runs nothing: half a program could do anything.
    worldBytes_ -= std::min(worldBytes_, nodeBytes_);
    line_ = KProgramLine{};
    node.lines.clear();
    node.markers.clear();
    node.keyMarkers.clear();
    node.currentLine = -1;
    node_ = nullptr;
}

void Kcompiler::Next()
{
    token_ = GetToken();
    if (token_.text.size() > kMaxTextBytes) {
        token_.text.resize(kMaxTextBytes);
        ErrorAtNode("Text too long: cut to " + std::to_string(kMaxTextBytes) + " bytes", token_.start);
    }
}

bool Kcompiler::AtLineEnd() const
{
    return token_.kind == kTokEndOfLine || token_.kind == kTokEndOfProgram;
}

void Kcompiler::CloseLine()
{
    if (line_.commands.empty()) return;
    CountCompiled();
    node_->lines.Edit().push_back(std::move(line_));
    line_ = KProgramLine{};
    countedInLine_ = 0;
}

void Kcompiler::Error(const char* what, const KToken& token)
{
    std::string message = what;
    message += token.text;
    ErrorAtNode(std::move(message), token.start);
}

void Kcompiler::ErrorAtNode(std::string message, size_t position)
{
    ++reported_;
    const int line = LineAt(position == std::string::npos ? token_.start : position);
    if (Kinterface* engine = KEngine()) engine->Report(message, node_->name, line);
    if (collected_ != nullptr) collected_->push_back(KCompileError{node_->name, line, std::move(message)});
}

void Kcompiler::CompileCommand()
{
    const KCommandWord* command = KFindCommand(token_.text);
    if (command == nullptr) {
        Error("Bad command: ", token_);
        Next();
        return;
    }
    if (command->form == KArgForm::Repeat) {
        KTRACE("** repeat operator **\n");
        Next();
        CompileRepeat();
    } else {
        KTRACE("** command %s **\n", token_.text.c_str());
        KCompiledCommand compiled;
        compiled.code.assign(1, static_cast<char>(command->opcode));
        compiled.target = pendingAddress_;
        Next();
        EncodeArguments(command->form, compiled.code);
        line_.commands.push_back(std::move(compiled));
    }
    pendingAddress_ = ".self";
}

void Kcompiler::CompileLabel()
{
    KTRACE("MRK *** Line %i, Com %i\n", static_cast<int>(node_->lines.size()),
           static_cast<int>(line_.commands.size()));
    KCompiledCommand label;
    label.code.assign(1, static_cast<char>(kOpMarker));
    label.code += token_.text;
    const auto commandIndex = static_cast<int32_t>(line_.commands.size());
    line_.commands.push_back(std::move(label));
    AddMarker(token_.text, commandIndex);
    if (token_.text[0] == '\'') GetRestOfLine(position_);  // a switched-off label comments out its line
    Next();
}

void Kcompiler::AddMarker(std::string_view labelText, int32_t commandIndex)
{
    KMarker marker;
    marker.name = KLowered(labelText.substr(1));
    marker.line = static_cast<int32_t>(node_->lines.size());
    marker.command = commandIndex;
    marker.active = labelText[0] == ':' ? 1 : 0;
    KTRACE("Adding Marker %s,%i,%i,%i\n", marker.name.c_str(), marker.line, marker.command, marker.active);
    const int input = InputIndexOf(marker.name);
    if (input >= 0) {
        KTRACE("New Key Marker ... ");
        node_->keyMarkers.Edit().push_back(KKeyMarker{input, static_cast<int32_t>(node_->markers.size())});
        KTRACE("Finished\n");
    }
    KTRACE("Finished Adding Marker %s,%i,%i,%i\n", marker.name.c_str(), marker.line, marker.command, marker.active);
    node_->markers.Edit().push_back(std::move(marker));
}

void Kcompiler::CompileMessage()
{
    KTRACE("-- Message --\n");
    KCompiledCommand message;
    message.code.assign(1, static_cast<char>(kOpMessage));
    message.code += KLowered(token_.text);
    message.code += ' ';
    message.target = pendingAddress_;
    line_.commands.push_back(std::move(message));
    pendingAddress_ = ".self";
    Next();
}

void Kcompiler::CompileTextLine()
{
    KTRACE("** command text **\n");
    const KToken rest = GetRestOfLine(token_.start);
    WarnIfIndentedCommand(rest);
    KCompiledCommand text;
    text.code.assign(1, static_cast<char>(kOpText));
    if (rest.text.empty() || rest.text[0] != '"') {
        text.code += '"';
        text.code += rest.text;
        text.code += '"';
    } else {
        text.code += rest.text;
    }
    line_.commands.push_back(std::move(text));
    CloseLine();
    Next();
}

void Kcompiler::WarnIfIndentedCommand(const KToken& line)
{
    // Tabs (or spaces at the very start of a script) before a command make
    // the whole line text: almost never what its author meant.
    if (collected_ == nullptr) return;
    const size_t first = line.text.find_first_not_of(" \t");
    if (first == 0 || first == std::string::npos) return;
    if (std::string_view("#/?:@.").find(line.text[first]) == std::string_view::npos) return;
    std::string message = "this line is text, not a command: it starts with ";
    message += line.text.find('\t') < first ? "a tab" : "a space";
    message += " (indent with spaces)";
    ++reported_;
    collected_->push_back(KCompileError{node_->name, LineAt(line.start), std::move(message), true});
}

void Kcompiler::CompileRepeat()
{
    if (token_.kind != kTokNumber) {
        // Counts as no repeat at all.
        Error("Bad repeat type: ", token_);
        ConsumeUnlessLineEnd();
        return;
    }
    const KToken countToken = token_;
    const int32_t count = KTextToInt(countToken.text);
    Next();
    if (count < 2 || line_.commands.empty()) return;  // nothing to copy, or nothing more to add
    size_t copies = static_cast<size_t>(count) - 1;
    const size_t cost = CopyCost(line_.commands.back());
    if (copies > repeatBudget_ / cost) {
        Error("Repeat count too large: ", countToken);
        copies = repeatBudget_ / cost;
    }
    repeatBudget_ -= copies * cost;
    for (size_t i = 0; i < copies; ++i) {
        KCompiledCommand copy = line_.commands.back();
        const bool isLabel = static_cast<uint8_t>(copy.code[0]) == kOpMarker && copy.code.size() > 1;
        const auto commandIndex = static_cast<int32_t>(line_.commands.size());
        line_.commands.push_back(std::move(copy));
        if (isLabel) AddMarker(std::string_view(line_.commands.back().code).substr(1), commandIndex);
    }
}

// --- Argument encoders ------------------------------------------------------------

void Kcompiler::EncodeArguments(KArgForm form, std::string& code)
{
    switch (form) {
    case KArgForm::None: case KArgForm::Repeat: return;
    case KArgForm::Text1: TakeTexts(code, 1); return;
    case KArgForm::Text2: TakeTexts(code, 2); return;
    case KArgForm::Text3: TakeTexts(code, 3); return;
    case KArgForm::Text4: TakeTexts(code, 4); return;
    case KArgForm::Text6: TakeTexts(code, 6); return;
    case KArgForm::Text8: TakeTexts(code, 8); return;
    case KArgForm::Patch: EncodePatch(code); return;
    case KArgForm::Sound: EncodeSound(code); return;
    case KArgForm::Variable: TakeWord(code, "Bad var type: "); return;
    case KArgForm::VariableValue:
        TakeWord(code, "Bad var type: ");
        TakeTexts(code, 1);
        return;
    case KArgForm::VariableThree:
        TakeWord(code, "Bad var type: ");
        TakeTexts(code, 2);
        return;
    case KArgForm::Set:
        TakeWord(code, "Bad var type: ");
        if (token_.kind == kTokWord || token_.kind == kTokNumber) TakeText(code);
        return;
    case KArgForm::Input: TakeWord(code, "Bad input type: "); return;
    case KArgForm::Collide:
        EncodeKeyword(code, KCollideModeOf, "Bad #collide command param: ", "Bad #collide command param type: ");
        return;
    case KArgForm::Enterable: EncodeEnterable(code); return;
    case KArgForm::Directions: TakeDirections(code); return;
    case KArgForm::TryDirections:
        TakeDirections(code);
        code += static_cast<char>(kDirListEnd);
        return;
    case KArgForm::PutThrow: EncodePutThrow(code); return;
    case KArgForm::Write: EncodeWrite(code); return;
    case KArgForm::Cycle: TakeValue(code, "Bad #cycle command param type: "); return;
    case KArgForm::CycleF: TakeValue(code, "Bad #cyclef command param type: "); return;
    case KArgForm::Mod: EncodeMod(code); return;
    case KArgForm::Get: EncodeGet(code); return;
    case KArgForm::Zap: EncodeZap(code); return;
    case KArgForm::Save: EncodeSave(code); return;
    case KArgForm::If: EncodeIf(code); return;
    case KArgForm::IfEx: EncodeIfEx(code); return;
    }
}

// T: the token's text and one space. A missing argument (the line or the
// script ends first) is left out and the line end stays for the compiler,
// so a short command never swallows the line after it.
bool Kcompiler::TakeText(std::string& code)
{
    if (AtLineEnd()) return false;
    code += token_.text;
    code += ' ';
    Next();
    return true;
}

void Kcompiler::TakeTexts(std::string& code, int count)
{
    for (int i = 0; i < count; ++i) {
        if (!TakeText(code)) return;
    }
}

// A name that must be a word; any other token is reported and kept.
void Kcompiler::TakeWord(std::string& code, const char* error)
{
    if (token_.kind != kTokWord) Error(error, token_);
    TakeText(code);
}

// A number or a word; any other token is reported and dropped.
void Kcompiler::TakeValue(std::string& code, const char* error)
{
    if (token_.kind == kTokNumber || token_.kind == kTokWord) {
        TakeText(code);
        return;
    }
    Error(error, token_);
    ConsumeUnlessLineEnd();
}

void Kcompiler::ConsumeUnlessLineEnd()
{
    if (!AtLineEnd()) Next();
}

void Kcompiler::TakeDirections(std::string& code)
{
    while (token_.kind == kTokWord) {
        const int direction = KDirectionByteOf(KLowered(token_.text));
        if (direction < 0) return;
        code += static_cast<char>(direction);
        Next();
    }
}

void Kcompiler::EncodePatch(std::string& code)
{
    if (token_.kind != kTokNumber) {
        code += '0';
        ConsumeUnlessLineEnd();
        return;
    }
    // The instrument number modulo 256, taken digit by digit so that no
    // count of digits can overflow.
    unsigned value = 0;
    for (const char c : token_.text) {
        if (IsDigit(c)) value = (value * 10 + static_cast<unsigned>(c - '0')) % 256;
    }
    if (token_.text[0] == '-') value = (256 - value) % 256;
    code += static_cast<char>(value);
    Next();
}

void Kcompiler::EncodeSound(std::string& code)
{
    TakeTexts(code, 2);
    code += KSoundModeText(KLowered(token_.text));
    ConsumeUnlessLineEnd();
}

void Kcompiler::EncodeKeyword(std::string& code, int (*lookUp)(std::string_view), const char* badWord,
                              const char* badType)
{
    if (token_.kind != kTokWord) {
        Error(badType, token_);
        ConsumeUnlessLineEnd();
        return;
    }
    const int value = lookUp(KLowered(token_.text));
    if (value < 0) {
        Error(badWord, token_);
    } else {
        code += static_cast<char>(value);
    }
    Next();
}

void Kcompiler::EncodeEnterable(std::string& code)
{
    const size_t before = code.size();
    EncodeKeyword(code, KEnterableOf, "Bad #enterable command param: ", "Bad #enterable command param type: ");
    if (code.size() == before) code += '\0';  // the code is always two bytes long
}

void Kcompiler::EncodePutThrow(std::string& code)
{
    TakeDirections(code);
    code += static_cast<char>(kDirListEnd);
    if (AtLineEnd()) return;
    const KToken first = token_;
    Next();
    if (token_.kind == kTokWord) {
        // first is a colour word, the word after it the object's name
        AppendNumber(code, KColourNumberOf(KLowered(first.text)));
        TakeText(code);
        return;
    }
    code += first.text;
    code += ' ';
}

void Kcompiler::EncodeWrite(std::string& code)
{
    TakeTexts(code, 2);
    while (TakeText(code)) {
    }
}

// A property word of #mod or #get: its byte, or a report and no byte (-1).
int Kcompiler::TakeProperty(std::string& code, int (*lookUp)(std::string_view), const char* error)
{
    const int property = AtLineEnd() ? -1 : lookUp(KLowered(token_.text));
    if (property < 0) {
        Error(error, token_);
        ConsumeUnlessLineEnd();
        return -1;
    }
    code += static_cast<char>(property);
    Next();
    return property;
}

void Kcompiler::EncodeMod(std::string& code)
{
    TakeProperty(code, KModPropertyOf, "Bad #mod command param: ");
    TakeValue(code, "Bad #mod command param type: ");
}

void Kcompiler::EncodeGet(std::string& code)
{
    if (KGetPropertyTakesCell(TakeProperty(code, KGetPropertyOf, "Bad #get command param: "))) TakeTexts(code, 2);
    TakeWord(code, "Bad #get command param type: ");
}

void Kcompiler::EncodeZap(std::string& code)
{
    if (token_.kind != kTokWord) Error("Bad zap type: ", token_);
    if (AtLineEnd()) return;
    code += KLowered(token_.text);  // label names are matched lowercased
    code += ' ';
    Next();
}

void Kcompiler::EncodeSave(std::string& code)
{
    TakeTexts(code, 1);
    while (token_.kind == kTokWord) TakeText(code);
}

void Kcompiler::EncodeIf(std::string& code)
{
    const bool negated = token_.kind == kTokWord && KLowered(token_.text) == "not";
    code += static_cast<char>(negated ? 1 : 0);
    if (negated) Next();
    if (AtLineEnd()) {
        code += static_cast<char>(kCondFlag);  // a flag without a name: never set
        return;
    }
    const int condition = token_.kind == kTokWord ? KConditionOf(token_.text) : kCondFlag;
    code += static_cast<char>(condition);
    switch (condition) {
    case kCondFlag:
        TakeText(code);
        return;
    case kCondAlignDir: case kCondBlocked:
        Next();
        TakeDirections(code);
        code += static_cast<char>(kDirListEnd);
        return;
    case kCondRange: case kCondState: case kCondScope:
        Next();
        if (AtLineEnd()) return;
        code += token_.text;  // no space after it
        Next();
        return;
    case kCondAny:
        Next();
        TakeTexts(code, 4);
        return;
    default:
        Next();
        return;
    }
}

void Kcompiler::EncodeIfEx(std::string& code)
{
    TakeTexts(code, 1);
    if (token_.kind != kTokWord) {
        Error("Bad token type: ", token_);
        ConsumeUnlessLineEnd();
    } else {
        const int compare = KCompareOf(token_.text);
        if (compare < 0) {
            Error("Bad compare param: ", token_);
        } else {
            code += static_cast<char>(compare);
        }
        Next();
    }
    TakeTexts(code, 1);
}
