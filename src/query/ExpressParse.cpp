#include "query/ExpressParse.h"

#include "support/Exception.h"
#include "support/FastStringUtils.h"
#include "support/IniFile.h"

#include <algorithm>
#include <optional>

namespace linkvane {
namespace {

constexpr std::array<std::string_view, 93> KnownTagNames = {
    "A",         "ACRONYM", "ADDRESS", "APPLET",     "AREA",     "B",      "BASE",   "BASEFONT",
    "BDO",       "BGSOUND", "BIG",     "BLOCKQUOTE", "BODY",     "BR",     "BUTTON", "CAPTION",
    "CENTER",    "CITE",    "CODE",    "COL",        "COLGROUP", "CUSTOM", "DD",     "DEL",
    "DFN",       "DIR",     "DIV",     "DL",         "DT",       "EM",     "EMBED",  "FIELDSET",
    "FONT",      "FORM",    "FRAME",   "FRAMESET",   "HEAD",     "H1",     "H2",     "H3",
    "H4",        "H5",      "H6",      "HR",         "HTML",     "I",      "IFRAME", "IMG",
    "INPUT",     "INS",     "KBD",     "LABEL",      "LEGEND",   "LI",     "LINK",   "LISTING",
    "MAP",       "MARQUEE", "MENU",    "NOBR",       "OBJECT",   "OL",     "OPTION", "P",
    "PLAINTEXT", "PRE",     "Q",       "S",          "SAMP",     "SCRIPT", "SELECT", "SMALL",
    "SPAN",      "STRIKE",  "STRONG",  "SUB",        "SUP",      "TABLE",  "TBODY",  "TD",
    "TEXTAREA",  "TFOOT",   "TH",      "THEAD",      "TITLE",    "TR",     "TT",     "U",
    "UL",        "VAR",     "WBR",     "XML",        "XMP"};

struct TCollectionWord {
    std::string_view Word;
    std::string_view Tag;
};
constexpr std::array<TCollectionWord, 4> CollectionWords = {
    {{"IMAGES", "IMG"}, {"LINKS", "A"}, {"OBJECTS", "OBJECT"}, {"EMBEDS", "EMBED"}}};

struct TKindWord {
    std::string_view Word;
    TNodeKind Kind;
};
constexpr std::array<TKindWord, 9> KindWords = {{{"DOCUMENT", nkDocument},
                                                 {"SOURCE", nkSource},
                                                 {"PARENTNODE", nkParentNode},
                                                 {"PREVIOUSNODE", nkPreviousNode},
                                                 {"NEXTNODE", nkNextNode},
                                                 {"FIRSTCHILDNODE", nkFirstChildNode},
                                                 {"LASTCHILDNODE", nkLastChildNode},
                                                 {"TEXTNODE", nkTextNode},
                                                 {"PATTERNSTRINGS", nkPatternStrings}}};

constexpr std::array<std::string_view, 13> NodeKindNames = {
    "nkNone",         "nkDocument",       "nkSource",         "nkReference",     "nkParentNode",
    "nkPreviousNode", "nkNextNode",       "nkFirstChildNode", "nkLastChildNode", "nkTextNode",
    "nkTag",          "nkPatternStrings", "nkCollection"};
constexpr std::array<std::string_view, 8> SelectFunctionEnumNames = {
    "sfNone",    "sfTagName", "sfPosProperty", "sfPosHTML",
    "sfPosText", "sfDepth",   "sfURLMask",     "sfPattern"};
constexpr std::array<std::string_view, 6> CompareOpNames = {"opGE", "opLE", "opGT",
                                                            "opLT", "opEQ", "opNE"};

/// Blanks and control characters, as trimmed around paths, steps and values.
bool IsSpace(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsSpace(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - ('a' - 'A'));
        }
    }
    return out;
}

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && Upper(a) == Upper(b);
}

bool IsQuote(char c) {
    return c == '\'' || c == '"';
}

std::string Stored(std::string_view s) {
    return Utf8Prefix(s, NodePathTextMax);
}

/// The integer conversion of the language: leading blanks and a sign, decimal
/// or "$"/"0x" hexadecimal, nothing after the digits.
std::optional<int32_t> StrToInt(std::string_view s) {
    if (s.empty() || IsSpace(s.back())) {
        return std::nullopt;
    }
    return TIniFile::ParseInteger(std::string(s));
}

/// The value of a navigation word's, TEXTNODE's, PATTERNSTRINGS' or a
/// collection word's argument: at least 3 characters, the text after "=" when
/// it is not quoted, then one leading and one trailing quote removed.
std::string ArgumentValue(std::string_view argument) {
    std::string_view t = Trim(argument);
    if (t.size() < 3) {
        return {};
    }
    if (!IsQuote(t.front())) {
        const size_t eq = t.find('=');
        if (eq != std::string_view::npos) {
            t = Trim(t.substr(eq + 1));
        }
    }
    if (!t.empty() && IsQuote(t.front())) {
        t.remove_prefix(1);
    }
    if (!t.empty() && IsQuote(t.back())) {
        t.remove_suffix(1);
    }
    return Stored(t);
}

/// Where the first step of Rest ends: its first "." unless a single quote
/// comes first; then the first "." after the ")" that follows the closing
/// quote. npos when Rest is one step.
size_t FindStepEnd(std::string_view rest) {
    constexpr auto npos = std::string_view::npos;
    size_t dot = rest.find('.');
    const size_t quote = rest.find('\'');
    if (quote != npos && dot != npos && quote < dot) {
        const size_t closeQuote = rest.find('\'', quote + 1);
        const size_t closeParen = rest.find(')', closeQuote == npos ? 0 : closeQuote + 1);
        dot = rest.find('.', closeParen == npos ? 0 : closeParen + 1);
    }
    return dot;
}

[[noreturn]] void Fail(const char* format, std::string_view stepText) {
    throw Exception(FormatMessage(format, {std::string(stepText)}));
}

} // namespace

bool SplitCompare(std::string_view Text, std::string& Left, std::string& Op, std::string& Right) {
    const std::string_view t = Trim(Text);
    // 1-based positions of the first "(" and the first ")", 0 when absent.
    const size_t open = t.find('(') == std::string_view::npos ? 0 : t.find('(') + 1;
    const size_t close = t.find(')') == std::string_view::npos ? 0 : t.find(')') + 1;
    size_t pos = 0; // 1-based position of the operator character
    for (size_t p = t.size(); p >= 1; --p) {
        const char c = t[p - 1];
        if ((c == '<' || c == '=' || c == '>') && (p > close || p < open)) {
            pos = p;
            break;
        }
    }
    if (pos <= 1) {
        return false;
    }
    const char c = t[pos - 1];
    Right = std::string(Trim(t.substr(pos)));
    const char before = t[pos - 2];
    if ((c == '=' && (before == '<' || before == '>')) || (c == '>' && before == '<')) {
        --pos;
        Op = std::string(t.substr(pos - 1, 2));
    } else {
        Op = std::string(1, c);
    }
    Left = std::string(t.substr(0, pos - 1));
    return true;
}

bool ParseSelectCondition(TSelectCondition& Condition, std::string_view Text) {
    Condition = TSelectCondition();
    if (Trim(Text).empty()) {
        return false;
    }
    std::string left, rightOpText, rightText;
    if (!SplitCompare(Text, left, rightOpText, rightText)) {
        return false;
    }
    std::string leftText, leftOpText, funcText;
    if (!SplitCompare(left, leftText, leftOpText, funcText)) {
        funcText = left;
        leftOpText = "<";
        leftText = rightText == "0" ? "-1" : "0";
    }

    const std::string_view func = Trim(funcText);
    if (SameText(func, "Depth")) {
        Condition.Func = sfDepth;
    } else {
        if (func.empty() || func.back() != ')') {
            return false;
        }
        const size_t open = func.find('(');
        if (open == std::string_view::npos) {
            return false;
        }
        const std::string_view name = Trim(func.substr(0, open));
        const std::string_view inside = Trim(func.substr(open + 1, func.size() - open - 2));
        if (inside.size() < 2 || !IsQuote(inside.front()) || inside.back() != inside.front()) {
            return false;
        }
        Condition.Argument = Stored(inside.substr(1, inside.size() - 2));
        // TagName (code 1) marks a navigation word's argument and is no
        // function of a condition.
        bool known = false;
        for (size_t code = sfPosProperty; code < SelectFunctionNames.size(); ++code) {
            if (SameText(name, SelectFunctionNames[code])) {
                Condition.Func = static_cast<TSelectFunction>(code);
                known = true;
                break;
            }
        }
        if (!known) {
            return false;
        }
    }

    const auto opCode = [](std::string_view text) -> std::optional<TCompareOp> {
        for (size_t code = 0; code < CompareOpTexts.size(); ++code) {
            if (text == CompareOpTexts[code]) {
                return static_cast<TCompareOp>(code);
            }
        }
        return std::nullopt;
    };
    const auto leftOp = opCode(leftOpText);
    const auto rightOp = opCode(rightOpText);
    if (!leftOp || !rightOp || (*leftOp != opLE && *leftOp != opLT)) {
        return false;
    }
    const auto leftValue = StrToInt(leftText);
    const auto rightValue = StrToInt(rightText);
    if (!leftValue || !rightValue) {
        return false;
    }
    // Stored mirrored: "L < F" is kept as "F > L".
    Condition.LeftOp = *leftOp == opLE ? opGE : opGT;
    Condition.LeftValue = *leftValue;
    Condition.RightOp = *rightOp;
    Condition.RightValue = *rightValue;
    return true;
}

TNodeKind NodeKindOf(std::string_view Word) {
    const std::string w = Upper(Trim(Word));
    for (const TKindWord& k : KindWords) {
        if (w == k.Word) {
            return k.Kind;
        }
    }
    if (!CollectionTag(w).empty()) {
        return nkCollection;
    }
    return IsKnownTagName(w) ? nkTag : nkReference;
}

bool ParseStep(TNodePathStep& Step, std::string_view StepText) {
    std::string_view s = Trim(StepText);
    if (!s.empty() && s.front() == '.') {
        s.remove_prefix(1);
    }
    if (s.empty()) {
        return false;
    }
    constexpr auto npos = std::string_view::npos;
    const size_t open = s.find('(');
    const size_t close = s.rfind(')');
    std::string_view word = s;
    std::string_view argument;
    std::string_view indexText;
    if (s.back() == ']') {
        const size_t bracket = s.size() >= 2 ? s.rfind('[', s.size() - 2) : npos;
        if (bracket == npos || bracket == 0) {
            return false;
        }
        indexText = Trim(s.substr(bracket + 1, s.size() - bracket - 2));
        if (open != npos) {
            if (close == npos || close <= open) {
                return false;
            }
            argument = Trim(s.substr(open + 1, close - open - 1));
            word = s.substr(0, open);
        } else {
            word = s.substr(0, bracket);
        }
    } else if (open != npos && s.back() == ')') {
        argument = Trim(s.substr(open + 1, s.size() - open - 2));
        word = s.substr(0, open);
    }
    word = Trim(word);

    Step = TNodePathStep();
    Step.Kind = NodeKindOf(word);
    Step.Name = Stored(Upper(word));
    TSelectCondition& cond = Step.Condition;
    bool valid = false;
    switch (Step.Kind) {
    case nkNone:
        break;
    case nkDocument:
    case nkSource:
        valid = argument.empty();
        break;
    case nkReference:
        Step.Name = Stored(word);
        valid = true;
        break;
    case nkParentNode:
    case nkPreviousNode:
    case nkNextNode:
    case nkFirstChildNode:
    case nkLastChildNode:
    case nkTextNode:
        if (argument.empty()) {
            cond.Func = sfNone;
            valid = true;
        } else {
            cond.Tag = ArgumentValue(argument);
            cond.Func = sfTagName;
            valid = Step.Kind == nkTextNode || IsKnownTagName(cond.Tag);
        }
        break;
    case nkTag:
        valid = argument.empty() || ParseSelectCondition(cond, argument);
        break;
    case nkPatternStrings:
        cond.Func = sfPattern;
        cond.MaskText = ArgumentValue(argument);
        valid = !cond.MaskText.empty();
        break;
    case nkCollection:
        cond.Func = sfURLMask;
        cond.Tag = CollectionTag(word);
        cond.MaskText = ArgumentValue(argument);
        valid = !cond.MaskText.empty();
        break;
    }
    if (!valid) {
        return false;
    }

    if (Step.Kind == nkTag || Step.Kind == nkTextNode || Step.Kind == nkReference) {
        if (indexText.empty()) {
            // Written exactly "HEAD" or "BODY", the last step still means one
            // element; any other spelling asks for every match.
            Step.AllMatches = word != "HEAD" && word != "BODY";
            Step.Index = 0;
        } else {
            Step.AllMatches = false;
            std::string_view number = indexText;
            if (number.back() == '#') {
                Step.ChildrenOnly = false;
                number = Trim(number.substr(0, number.size() - 1));
            } else {
                Step.ChildrenOnly = true;
            }
            if (!number.empty()) {
                const auto n = StrToInt(number);
                if (!n || static_cast<int64_t>(*n) - 1 < 0) {
                    return false;
                }
                Step.Index = *n - 1;
            }
        }
    }
    return true;
}

bool ParseNodePath(TNodePath& Path, std::string_view Text) {
    TNodePath parsed;
    std::string_view rest = Trim(Text);
    parsed.Text = Stored(rest);
    int count = 0;
    for (int i = 0; i < MaxNodePathSteps; ++i) {
        if (rest.empty()) {
            break;
        }
        if (rest.front() == '.') {
            rest.remove_prefix(1);
            if (rest.empty()) {
                break;
            }
        }
        const size_t end = FindStepEnd(rest);
        std::string_view stepText;
        if (end != std::string_view::npos) {
            stepText = Trim(rest.substr(0, end));
            rest = rest.substr(end + 1);
        } else {
            stepText = rest;
            rest = {};
        }
        TNodePathStep step;
        if (!ParseStep(step, stepText)) {
            Fail("NodePath express is invalid in '%s'", stepText);
        }
        if (!rest.empty() && step.AllMatches) {
            // Only the last step answers every match.
            step.AllMatches = false;
            step.Index = 0;
        }
        if (step.Kind == nkReference) {
            if (count > 0) {
                Fail("Unknown TagName : %s !", stepText);
            }
            Fail("NodePath express '%s' does not exist or it is not a middle node, or the TAG is "
                 "not correct!",
                 stepText);
        }
        parsed.Steps[count] = std::move(step);
        ++count;
    }
    if (!rest.empty()) {
        throw Exception("The NodePath express is too long(exceed10 nodeds)!");
    }
    Path = std::move(parsed);
    return true;
}

int CountSteps(const TNodePath& Path) {
    int n = 0;
    while (n < static_cast<int>(Path.Steps.size()) && Path.Steps[n].Kind != nkNone) {
        ++n;
    }
    return n;
}

bool IsKnownTagName(std::string_view Name) {
    const std::string n = Upper(Name);
    return n.empty() || !CollectionTag(n).empty() ||
           std::find(KnownTagNames.begin(), KnownTagNames.end(), n) != KnownTagNames.end();
}

bool IsFrameTag(std::string_view Name) {
    const std::string n = Upper(Name);
    return n == "FRAME" || n == "IFRAME";
}

std::string CollectionTag(std::string_view Word) {
    const std::string w = Upper(Word);
    for (const TCollectionWord& c : CollectionWords) {
        if (w == c.Word) {
            return std::string(c.Tag);
        }
    }
    return {};
}

std::string_view NodeKindName(TNodeKind Kind) {
    return Kind < NodeKindNames.size() ? NodeKindNames[Kind] : std::string_view("?");
}

std::string_view SelectFunctionName(TSelectFunction Func) {
    return Func < SelectFunctionEnumNames.size() ? SelectFunctionEnumNames[Func]
                                                 : std::string_view("?");
}

std::string_view CompareOpName(TCompareOp Op) {
    return Op < CompareOpNames.size() ? CompareOpNames[Op] : std::string_view("?");
}

} // namespace linkvane
