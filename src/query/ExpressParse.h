#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace linkvane {

/// NodePath: a chain of at most 10 dot-separated steps over a page's element
/// tree, such as ".A(PosText('next')<10)[1#]" or "TABLE[2#].TR[3].TD". Each
/// step is a word (a tag name, a navigation word, a collection word), an
/// optional argument in parentheses and an optional 1-based index in square
/// brackets. Parsing is a pure function of the text.

/// What a step selects. The codes are stable; NodeKindName gives the names.
enum TNodeKind : uint8_t {
    nkNone = 0,            ///< end of the path
    nkDocument = 1,        ///< DOCUMENT: the browser's document (first step only)
    nkSource = 2,          ///< SOURCE: no element (first step only)
    nkReference = 3,       ///< an unrecognised word; the parser rejects it
    nkParentNode = 4,      ///< PARENTNODE: parent, or nearest ancestor with Tag
    nkPreviousNode = 5,    ///< PREVIOUSNODE: previous sibling, or nearest one with Tag
    nkNextNode = 6,        ///< NEXTNODE: next sibling, or nearest one with Tag
    nkFirstChildNode = 7,  ///< FIRSTCHILDNODE: first child element (with Tag)
    nkLastChildNode = 8,   ///< LASTCHILDNODE: last child element (with Tag)
    nkTextNode = 9,        ///< TEXTNODE: a text node among the children, containing Tag
    nkTag = 10,            ///< a known tag name, optionally with a select condition
    nkPatternStrings = 11, ///< PATTERNSTRINGS: a text match made into an element
    nkCollection = 12,     ///< IMAGES, LINKS, OBJECTS, EMBEDS filtered by a URL mask
};

/// The function of a select condition, or the form of a step's argument.
enum TSelectFunction : uint8_t {
    sfNone = 0,        ///< no condition
    sfTagName = 1,     ///< Tag holds a navigation word's tag (or TEXTNODE's text)
    sfPosProperty = 2, ///< position of Argument in the element's start tag
    sfPosHTML = 3,     ///< position of Argument in the element's outer HTML
    sfPosText = 4,     ///< position of Argument in the element's inner text
    sfDepth = 5,       ///< same-tag nesting depth below the search start
    sfURLMask = 6,     ///< URL mask test (MaskText for a collection word)
    sfPattern = 7,     ///< PATTERNSTRINGS pattern in MaskText; always true
};

/// A comparison; a condition holds when "value Op bound".
enum TCompareOp : uint8_t {
    opGE = 0, ///< ">="
    opLE = 1, ///< "<="
    opGT = 2, ///< ">"
    opLT = 3, ///< "<"
    opEQ = 4, ///< "="
    opNE = 5, ///< "<>"
};

/// Function names of the language indexed by TSelectFunction (entry 0 empty),
/// matched ignoring case.
inline constexpr std::array<std::string_view, 8> SelectFunctionNames = {
    "", "TagName", "PosProperty", "PosHTML", "PosText", "Depth", "URLMask", "Pattern"};
/// Operator texts indexed by TCompareOp, compared exactly.
inline constexpr std::array<std::string_view, 6> CompareOpTexts = {">=", "<=", ">", "<", "=", "<>"};

/// Texts of the parsed records hold at most this many bytes (cut at a UTF-8
/// character boundary).
inline constexpr size_t NodePathTextMax = 255;

/// The argument of a step in parsed form. A condition reads
/// "value LeftOp LeftValue and value RightOp RightValue", where value is the
/// function's result for an element; the left bound is stored mirrored, so
/// "2<Depth<=3" becomes LeftOp opGT, LeftValue 2, RightOp opLE, RightValue 3.
struct TSelectCondition {
    TSelectFunction Func = sfNone;
    std::string MaskText; ///< URL mask of a collection word, or the PATTERNSTRINGS pattern
    std::string Tag;      ///< tag of a navigation word, text of TEXTNODE, or a collection's tag
    std::string Argument; ///< the quoted text of a select function, quotes removed
    TCompareOp LeftOp = opGT;
    int32_t LeftValue = 0;
    TCompareOp RightOp = opLT;
    int32_t RightValue = 1000;

    bool operator==(const TSelectCondition&) const = default;
};

/// One step of a path.
struct TNodePathStep {
    TNodeKind Kind = nkNone;
    /// The step has no index and is the last step: every match is wanted (a
    /// collection). Only tag steps and TEXTNODE steps set it.
    bool AllMatches = false;
    TSelectCondition Condition;
    /// 0-based place of the wanted match (the written index minus 1); 0 when
    /// no index is written.
    int32_t Index = 0;
    /// An index without "#": a plain tag step searches only the direct
    /// children of the current node instead of all descendants.
    bool ChildrenOnly = false;
    std::string Name; ///< the step word in upper case (as written for nkReference)

    bool operator==(const TNodePathStep&) const = default;
};

inline constexpr int MaxNodePathSteps = 10;

/// A parsed path: the steps in order, ended by the first nkNone step; at most
/// 10 are used and the 11th always stays nkNone.
struct TNodePath {
    std::string Text; ///< the trimmed path text; only tested for emptiness
    std::array<TNodePathStep, MaxNodePathSteps + 1> Steps;
};

/// Parses Text into Path and answers true. Every failure raises a
/// linkvane::Exception with one of the messages
///   "NodePath express is invalid in '%s'"
///   "Unknown TagName : %s !"
///   "NodePath express '%s' does not exist or it is not a middle node, or the TAG is not correct!"
///   "The NodePath express is too long(exceed10 nodeds)!"
/// and leaves Path untouched. An empty path (or ".") has no steps.
bool ParseNodePath(TNodePath& Path, std::string_view Text);

/// Parses one step's text; false when the step is invalid. An unrecognised
/// word gives a valid nkReference step (ParseNodePath rejects it).
bool ParseStep(TNodePathStep& Step, std::string_view StepText);

/// Parses a tag step's select condition, "F op V" or "L<F op V" / "L<=F op V".
bool ParseSelectCondition(TSelectCondition& Condition, std::string_view Text);

/// Splits a comparison at its last operator outside the first parentheses.
/// Left keeps its blanks; Right is trimmed.
bool SplitCompare(std::string_view Text, std::string& Left, std::string& Op, std::string& Right);

/// The kind of a step word (ignoring case and surrounding blanks).
TNodeKind NodeKindOf(std::string_view Word);

/// Number of leading steps that are not nkNone.
int CountSteps(const TNodePath& Path);

/// True for the known tag names, the collection words and the empty name.
bool IsKnownTagName(std::string_view Name);

/// True for FRAME and IFRAME (ignoring case).
bool IsFrameTag(std::string_view Name);

/// The tag a collection word stands for (IMAGES: IMG, LINKS: A, OBJECTS:
/// OBJECT, EMBEDS: EMBED), or empty text.
std::string CollectionTag(std::string_view Word);

/// Enumeration names as written in code ("nkTag", "sfPosText", "opLT").
std::string_view NodeKindName(TNodeKind Kind);
std::string_view SelectFunctionName(TSelectFunction Func);
std::string_view CompareOpName(TCompareOp Op);

} // namespace linkvane
