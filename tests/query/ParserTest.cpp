// The NodePath parser: what each kind of path parses to, the four error
// messages, and hostile texts.
#include "query/ExpressParse.h"
#include "support/Exception.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace linkvane {
namespace {

/// A step as one line:
/// Kind|Name|Index|ChildrenOnly|AllMatches|Func|Tag|MaskText|Argument|LeftOp|LeftValue|RightOp|RightValue
std::string Render(const TNodePathStep& s) {
    const TSelectCondition& c = s.Condition;
    return std::string(NodeKindName(s.Kind)) + "|" + s.Name + "|" + std::to_string(s.Index) + "|" +
           (s.ChildrenOnly ? "1" : "0") + "|" + (s.AllMatches ? "1" : "0") + "|" +
           std::string(SelectFunctionName(c.Func)) + "|" + c.Tag + "|" + c.MaskText + "|" +
           c.Argument + "|" + std::string(CompareOpName(c.LeftOp)) + "|" +
           std::to_string(c.LeftValue) + "|" + std::string(CompareOpName(c.RightOp)) + "|" +
           std::to_string(c.RightValue);
}

std::vector<std::string> Parse(const std::string& text) {
    TNodePath path;
    EXPECT_TRUE(ParseNodePath(path, text));
    std::vector<std::string> lines;
    for (int i = 0; i < CountSteps(path); ++i) {
        lines.push_back(Render(path.Steps[i]));
    }
    EXPECT_EQ(path.Steps[MaxNodePathSteps].Kind, nkNone);
    return lines;
}

struct ValidCase {
    const char* Name;
    std::string Text;
    std::vector<std::string> Steps;
};

void PrintTo(const ValidCase& c, std::ostream* os) {
    *os << c.Name;
}

class ParseValidTest : public ::testing::TestWithParam<ValidCase> {};

TEST_P(ParseValidTest, Steps) {
    const ValidCase& c = GetParam();
    EXPECT_EQ(Parse(c.Text), c.Steps) << c.Text;
}

// A plain tag step with no condition and no index, as the last step.
const std::string PlainA = "nkTag|A|0|0|1|sfNone||||opGT|0|opLT|1000";

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseValidTest,
    ::testing::Values(
        ValidCase{"NextPageByText",
                  ".A(PosText('next')<10)[1#]",
                  {"nkTag|A|0|0|0|sfPosText|||next|opGT|0|opLT|10"}},
        ValidCase{"NextPageByHtmlGreaterThanZero",
                  ".A(PosHTML('class=next')>0)[1#]",
                  {"nkTag|A|0|0|0|sfPosHTML|||class=next|opGT|-1|opGT|0"}},
        ValidCase{"DialogPath",
                  ".a(PosText('Weiter')>0)[1#]",
                  {"nkTag|A|0|0|0|sfPosText|||Weiter|opGT|-1|opGT|0"}},
        ValidCase{"IndexesAndLastStepAll",
                  "TABLE[2#].TR[3].TD",
                  {"nkTag|TABLE|1|0|0|sfNone||||opGT|0|opLT|1000",
                   "nkTag|TR|2|1|0|sfNone||||opGT|0|opLT|1000",
                   "nkTag|TD|0|0|1|sfNone||||opGT|0|opLT|1000"}},
        ValidCase{"IntermediateStepWithoutIndexTakesFirst",
                  "TABLE.TD[1]",
                  {"nkTag|TABLE|0|0|0|sfNone||||opGT|0|opLT|1000",
                   "nkTag|TD|0|1|0|sfNone||||opGT|0|opLT|1000"}},
        ValidCase{
            "BodyExactlyIsOneElement", "BODY", {"nkTag|BODY|0|0|0|sfNone||||opGT|0|opLT|1000"}},
        ValidCase{
            "BodyOtherSpellingIsAll", "body", {"nkTag|BODY|0|0|1|sfNone||||opGT|0|opLT|1000"}},
        ValidCase{"HeadExactly",
                  "HTML.HEAD",
                  {"nkTag|HTML|0|0|0|sfNone||||opGT|0|opLT|1000",
                   "nkTag|HEAD|0|0|0|sfNone||||opGT|0|opLT|1000"}},
        ValidCase{"DepthRange", "TD(2<Depth<=3)", {"nkTag|TD|0|0|1|sfDepth||||opGT|2|opLE|3"}},
        ValidCase{"DepthLowerBoundInclusive",
                  "TD(0<=depth<>4)",
                  {"nkTag|TD|0|0|1|sfDepth||||opGE|0|opNE|4"}},
        ValidCase{"DepthSingle", "TD(Depth=1)", {"nkTag|TD|0|0|1|sfDepth||||opGT|0|opEQ|1"}},
        ValidCase{"DepthAsCall", "TD(Depth('x')>=2)", {"nkTag|TD|0|0|1|sfDepth|||x|opGT|0|opGE|2"}},
        ValidCase{"UrlMaskCondition",
                  "TD(URLMask('*.pdf')>0)",
                  {"nkTag|TD|0|0|1|sfURLMask|||*.pdf|opGT|-1|opGT|0"}},
        ValidCase{"PatternCondition",
                  "TD(Pattern('x')=1)",
                  {"nkTag|TD|0|0|1|sfPattern|||x|opGT|0|opEQ|1"}},
        ValidCase{"PosPropertyDoubleQuotes",
                  "A( posproperty ( \"href=\" ) >= 5 )",
                  {"nkTag|A|0|0|1|sfPosProperty|||href=|opGT|0|opGE|5"}},
        ValidCase{"QuotesInsideArgumentStay",
                  "A(PosText('it\"s')>0)",
                  {"nkTag|A|0|0|1|sfPosText|||it\"s|opGT|-1|opGT|0"}},
        ValidCase{"EmptyQuotedArgument",
                  "A(PosText('')>0)",
                  {"nkTag|A|0|0|1|sfPosText||||opGT|-1|opGT|0"}},
        ValidCase{"OperatorInsideParenthesesIgnored",
                  "A(PosText('a<b')<3)",
                  {"nkTag|A|0|0|1|sfPosText|||a<b|opGT|0|opLT|3"}},
        ValidCase{"HexAndSignedValues",
                  "A(-5<PosText('x')<$10)[0x2]",
                  {"nkTag|A|1|1|0|sfPosText|||x|opGT|-5|opLT|16"}},
        ValidCase{"ZeroWrittenOtherwiseIsNotZero",
                  "A(PosText('x')>00)",
                  {"nkTag|A|0|0|1|sfPosText|||x|opGT|0|opGT|0"}},
        ValidCase{"CollectionWord",
                  "LINKS('*')",
                  {"nkCollection|LINKS|0|0|0|sfURLMask|A|*||opGT|0|opLT|1000"}},
        ValidCase{"CollectionAfterEquals",
                  "images(src='*.jpg')",
                  {"nkCollection|IMAGES|0|0|0|sfURLMask|IMG|*.jpg||opGT|0|opLT|1000"}},
        ValidCase{"CollectionIndexIgnored",
                  "EMBEDS(\"*swf\")[3]",
                  {"nkCollection|EMBEDS|0|0|0|sfURLMask|EMBED|*swf||opGT|0|opLT|1000"}},
        ValidCase{"ShortNavigationArgumentIsEmptyTag",
                  "PARENTNODE(TD)",
                  {"nkParentNode|PARENTNODE|0|0|0|sfTagName||||opGT|0|opLT|1000"}},
        ValidCase{"NavigationTagForms",
                  "PARENTNODE(TagName='TABLE').PREVIOUSNODE('table').NEXTNODE(table)",
                  {"nkParentNode|PARENTNODE|0|0|0|sfTagName|TABLE|||opGT|0|opLT|1000",
                   "nkPreviousNode|PREVIOUSNODE|0|0|0|sfTagName|table|||opGT|0|opLT|1000",
                   "nkNextNode|NEXTNODE|0|0|0|sfTagName|table|||opGT|0|opLT|1000"}},
        ValidCase{"NavigationWithoutArgumentIndexIgnored",
                  "FirstChildNode[4].LASTCHILDNODE()",
                  {"nkFirstChildNode|FIRSTCHILDNODE|0|0|0|sfNone||||opGT|0|opLT|1000",
                   "nkLastChildNode|LASTCHILDNODE|0|0|0|sfNone||||opGT|0|opLT|1000"}},
        ValidCase{"TextNodeWithTextAndIndex",
                  "TD.TEXTNODE('Price: ')[2]",
                  {"nkTag|TD|0|0|0|sfNone||||opGT|0|opLT|1000",
                   "nkTextNode|TEXTNODE|1|1|0|sfTagName|Price: |||opGT|0|opLT|1000"}},
        ValidCase{
            "TextNodeAll", "TEXTNODE", {"nkTextNode|TEXTNODE|0|0|1|sfNone||||opGT|0|opLT|1000"}},
        ValidCase{
            "PatternStrings",
            "PATTERNSTRINGS('<b>*</b>$D$A')",
            {"nkPatternStrings|PATTERNSTRINGS|0|0|0|sfPattern||<b>*</b>$D$A||opGT|0|opLT|1000"}},
        ValidCase{"DocumentAndSource",
                  "DOCUMENT[7].SOURCE",
                  {"nkDocument|DOCUMENT|0|0|0|sfNone||||opGT|0|opLT|1000",
                   "nkSource|SOURCE|0|0|0|sfNone||||opGT|0|opLT|1000"}},
        ValidCase{
            "IndexWithBlanksAndHash", "A[ 2 # ]", {"nkTag|A|1|0|0|sfNone||||opGT|0|opLT|1000"}},
        ValidCase{"HashAloneIsFirst", "A[#]", {"nkTag|A|0|0|0|sfNone||||opGT|0|opLT|1000"}},
        ValidCase{"EmptyBracketsAreNoIndex", "A[]", {PlainA}},
        ValidCase{"DoubleDot",
                  "A..B",
                  {"nkTag|A|0|0|0|sfNone||||opGT|0|opLT|1000",
                   "nkTag|B|0|0|1|sfNone||||opGT|0|opLT|1000"}},
        ValidCase{"BlanksAroundSteps",
                  "  . A . B  ",
                  {"nkTag|A|0|0|0|sfNone||||opGT|0|opLT|1000",
                   "nkTag|B|0|0|1|sfNone||||opGT|0|opLT|1000"}},
        ValidCase{"TrailingDot", "A.", {PlainA}},
        ValidCase{"DotInSingleQuotedArgument",
                  "A(PosText('1.5')>0).B",
                  {"nkTag|A|0|0|0|sfPosText|||1.5|opGT|-1|opGT|0",
                   "nkTag|B|0|0|1|sfNone||||opGT|0|opLT|1000"}},
        ValidCase{
            "DotsInMaskArgument",
            "LINKS('http://*.example.com/*')",
            {"nkCollection|LINKS|0|0|0|sfURLMask|A|http://*.example.com/*||opGT|0|opLT|1000"}},
        ValidCase{"EmptyWordIsTagStep",
                  "DIV.(PosText('x')>0)",
                  {"nkTag|DIV|0|0|0|sfNone||||opGT|0|opLT|1000",
                   "nkTag||0|0|1|sfPosText|||x|opGT|-1|opGT|0"}},
        ValidCase{"EmptyParenthesesAreNoArgument", "A()", {PlainA}},
        ValidCase{
            "TenSteps",
            "A.A.A.A.A.A.A.A.A.A",
            {"nkTag|A|0|0|0|sfNone||||opGT|0|opLT|1000", "nkTag|A|0|0|0|sfNone||||opGT|0|opLT|1000",
             "nkTag|A|0|0|0|sfNone||||opGT|0|opLT|1000", "nkTag|A|0|0|0|sfNone||||opGT|0|opLT|1000",
             "nkTag|A|0|0|0|sfNone||||opGT|0|opLT|1000", "nkTag|A|0|0|0|sfNone||||opGT|0|opLT|1000",
             "nkTag|A|0|0|0|sfNone||||opGT|0|opLT|1000", "nkTag|A|0|0|0|sfNone||||opGT|0|opLT|1000",
             "nkTag|A|0|0|0|sfNone||||opGT|0|opLT|1000", PlainA}},
        ValidCase{"Empty", "", {}}, ValidCase{"OnlyDot", " . ", {}}),
    [](const auto& info) { return std::string(info.param.Name); });

struct InvalidCase {
    const char* Name;
    std::string Text;
    std::string Message;
};

void PrintTo(const InvalidCase& c, std::ostream* os) {
    *os << c.Name;
}

class ParseInvalidTest : public ::testing::TestWithParam<InvalidCase> {};

TEST_P(ParseInvalidTest, RaisesMessageAndKeepsPath) {
    const InvalidCase& c = GetParam();
    TNodePath path;
    ASSERT_TRUE(ParseNodePath(path, "DIV[2]"));
    const TNodePath before = path;
    try {
        ParseNodePath(path, c.Text);
        FAIL() << "parsed: " << c.Text;
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), c.Message);
    }
    EXPECT_EQ(path.Text, before.Text);
    EXPECT_EQ(path.Steps, before.Steps) << "a failed parse changed the path";
}

std::string Invalid(const std::string& step) {
    return "NodePath express is invalid in '" + step + "'";
}
std::string Unknown(const std::string& step) {
    return "Unknown TagName : " + step + " !";
}
std::string NotExist(const std::string& step) {
    return "NodePath express '" + step +
           "' does not exist or it is not a middle node, or the TAG is not correct!";
}
const std::string TooLong = "The NodePath express is too long(exceed10 nodeds)!";

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseInvalidTest,
    ::testing::Values(
        InvalidCase{"TagNameIsNoConditionFunction", "TD(TagName('x')>0)",
                    Invalid("TD(TagName('x')>0)")},
        InvalidCase{"BlankBeforeLowerOperator", "TD(2 < Depth <= 3)",
                    Invalid("TD(2 < Depth <= 3)")},
        InvalidCase{"BareNumberLeft", "TD(3>Depth)", Invalid("TD(3>Depth)")},
        InvalidCase{"LeftOperatorNotLess", "TD(2>Depth>1)", Invalid("TD(2>Depth>1)")},
        InvalidCase{"LeftOperatorEquals", "TD(2=Depth>1)", Invalid("TD(2=Depth>1)")},
        InvalidCase{"NoComparison", "A(PosText('x'))", Invalid("A(PosText('x'))")},
        InvalidCase{"EmptyCall", "A(PosText()>0)", Invalid("A(PosText()>0)")},
        InvalidCase{"UnquotedCallArgument", "A(PosText(x)>0)", Invalid("A(PosText(x)>0)")},
        InvalidCase{"MixedQuotes", "A(PosText('x\")>0)", Invalid("A(PosText('x\")>0)")},
        InvalidCase{"UnknownFunction", "A(Foo('x')>0)", Invalid("A(Foo('x')>0)")},
        InvalidCase{"ValueNotInteger", "A(PosText('x')>abc)", Invalid("A(PosText('x')>abc)")},
        InvalidCase{"ValueTooBig", "A(PosText('x')>99999999999)",
                    Invalid("A(PosText('x')>99999999999)")},
        InvalidCase{"CollectionWithoutArgument", "LINKS", Invalid("LINKS")},
        InvalidCase{"CollectionEmptyValue", "LINKS(src=)", Invalid("LINKS(src=)")},
        InvalidCase{"PatternStringsWithoutArgument", "DIV.PATTERNSTRINGS",
                    Invalid("PATTERNSTRINGS")},
        InvalidCase{"ArgumentOnDocument", "DOCUMENT(x)", Invalid("DOCUMENT(x)")},
        InvalidCase{"NavigationTagOutsideList", "PARENTNODE(NOSCRIPT)",
                    Invalid("PARENTNODE(NOSCRIPT)")},
        InvalidCase{"IndexZero", "FORM.INPUT[0]", Invalid("INPUT[0]")},
        InvalidCase{"IndexNegative", "A[-1]", Invalid("A[-1]")},
        InvalidCase{"IndexNotInteger", "A[x]", Invalid("A[x]")},
        InvalidCase{"IndexMinimumInteger", "A[-2147483648]", Invalid("A[-2147483648]")},
        InvalidCase{"IndexTrailingJunk", "A[2#x]", Invalid("A[2#x]")},
        InvalidCase{"BracketAtStart", "[1]", Invalid("[1]")},
        InvalidCase{"CloseBracketOnly", "A]", Invalid("A]")},
        InvalidCase{"ParenthesesReversed", "A)x([1]", Invalid("A)x([1]")},
        InvalidCase{"EmptyStep", "A. .B", Invalid("")},
        InvalidCase{"ElevenSteps", "A.A.A.A.A.A.A.A.A.A.A", TooLong},
        InvalidCase{"TenStepsAndADot", "A.A.A.A.A.A.A.A.A.A..", TooLong},
        InvalidCase{"UnknownFirstWord", "FOO", NotExist("FOO")},
        InvalidCase{"UnknownLaterWord", "TABLE.FOO", Unknown("FOO")},
        InvalidCase{"UnknownWordKeepsCase", "TABLE.Foo[2]", Unknown("Foo[2]")},
        InvalidCase{"TagOutsideList", "NOSCRIPT", NotExist("NOSCRIPT")},
        InvalidCase{"EmailListIsNoStepWord", "EMAILADDRESLIST('*')",
                    NotExist("EMAILADDRESLIST('*')")},
        InvalidCase{"UnclosedArgument", "A(PosText('x')>0", NotExist("A(PosText('x')>0")},
        // Double quotes do not protect a dot: the step is cut there.
        InvalidCase{"DotInDoubleQuotedArgument", "A(PosText(\"1.5\")>0)",
                    NotExist("A(PosText(\"1")},
        InvalidCase{"InvalidBeatsUnknown", "FOO[x]", Invalid("FOO[x]")}),
    [](const auto& info) { return std::string(info.param.Name); });

// Hostile texts end in one of the four messages (or parse), quickly and
// without touching memory they do not own.
TEST(ParseHostileTest, LongAndBrokenTextsGetMessages) {
    const size_t big = 100000;
    const std::vector<std::string> texts = {
        std::string(big, 'A'),
        std::string(big, '.'),
        std::string(big, '('),
        std::string(big, ')'),
        std::string(big, '['),
        std::string(big, ']'),
        std::string(big, '\''),
        std::string(big, '"'),
        std::string(big, '<'),
        std::string(big, '#'),
        std::string(big, '\0'),
        "A(" + std::string(big, 'x'),
        "A[" + std::string(big, '1') + "]",
        "A(PosText('" + std::string(big, 'x') + "')>0)",
        "A(PosText('" + std::string(big, '.') + "')>0)",
        "A(" + std::string(big, '<') + ")",
        "A(PosText('x')" + std::string(big, '=') + "0)",
        "A('" + std::string(big, '.') + ")",
        std::string("A\0B", 3),
        std::string("A(PosText('\0')>0)", 17),
        "A.'.'.'.'.'.'.'.'.'.'.'.'",
        "A(PosText(')').B",
        "A(''').(').B",
        "LINKS('" + std::string(big, '*') + "')",
    };
    for (const std::string& text : texts) {
        TNodePath path;
        try {
            ParseNodePath(path, text);
        } catch (const Exception& e) {
            const std::string m = e.Message();
            EXPECT_TRUE(m.rfind("NodePath express", 0) == 0 || m.rfind("Unknown TagName", 0) == 0 ||
                        m.rfind("The NodePath express", 0) == 0)
                << m.substr(0, 80);
        }
        for (const TNodePathStep& step : path.Steps) {
            EXPECT_LE(step.Name.size(), NodePathTextMax);
            EXPECT_LE(step.Condition.Argument.size(), NodePathTextMax);
            EXPECT_LE(step.Condition.MaskText.size(), NodePathTextMax);
            EXPECT_LE(step.Condition.Tag.size(), NodePathTextMax);
        }
    }
}

TEST(ParseHostileTest, LongTextsAreCutAtCharacterBoundaries) {
    TNodePath path;
    // 200 two-byte characters: 400 bytes, cut to 254 so no character splits.
    std::string word;
    for (int i = 0; i < 200; ++i) {
        word += "\xC3\xA9";
    }
    ASSERT_TRUE(ParseNodePath(path, "A(PosText('" + word + "')>0)"));
    EXPECT_EQ(path.Steps[0].Condition.Argument, word.substr(0, 254));
    ASSERT_TRUE(ParseNodePath(path, "LINKS('" + std::string(300, 'x') + "')"));
    EXPECT_EQ(path.Steps[0].Condition.MaskText, std::string(255, 'x'));
}

TEST(SplitCompareTest, FindsLastOperatorOutsideFirstParentheses) {
    struct Case {
        std::string Text;
        bool Ok;
        std::string Left, Op, Right;
    };
    const std::vector<Case> cases = {
        {"a<=b", true, "a", "<=", "b"},
        {"a>=b", true, "a", ">=", "b"},
        {"a<>b", true, "a", "<>", "b"},
        {"a = b ", true, "a ", "=", "b"},
        {"1<f(x)<3", true, "1<f(x)", "<", "3"},
        {"f('<')>3", true, "f('<')", ">", "3"},
        {"f('>=')", false, "", "", ""},
        {"a=>b", true, "a=", ">", "b"},
        {"<3", false, "", "", ""},
        {"<=3", true, "", "<=", "3"},
        {"abc", false, "", "", ""},
        {"", false, "", "", ""},
    };
    for (const Case& c : cases) {
        std::string left, op, right;
        EXPECT_EQ(SplitCompare(c.Text, left, op, right), c.Ok) << c.Text;
        if (c.Ok) {
            EXPECT_EQ(left, c.Left) << c.Text;
            EXPECT_EQ(op, c.Op) << c.Text;
            EXPECT_EQ(right, c.Right) << c.Text;
        }
    }
}

TEST(VocabularyTest, NodeKindOfWords) {
    const std::vector<std::pair<std::string, TNodeKind>> cases = {
        {"document", nkDocument},
        {"Source", nkSource},
        {"PARENTNODE", nkParentNode},
        {"previousnode", nkPreviousNode},
        {"NextNode", nkNextNode},
        {"firstchildnode", nkFirstChildNode},
        {"LastChildNode", nkLastChildNode},
        {"textnode", nkTextNode},
        {"patternstrings", nkPatternStrings},
        {" links ", nkCollection},
        {"Images", nkCollection},
        {"objects", nkCollection},
        {"embeds", nkCollection},
        {"embed", nkTag},
        {"h6", nkTag},
        {"", nkTag},
        {"noscript", nkReference},
        {"EMAILADDRESLIST", nkReference},
        {"h7", nkReference},
    };
    for (const auto& [word, kind] : cases) {
        EXPECT_EQ(NodeKindName(NodeKindOf(word)), NodeKindName(kind)) << "'" << word << "'";
    }
}

TEST(VocabularyTest, KnownTagsAndFrames) {
    int known = 0;
    for (const char* tag :
         {"A",        "ACRONYM",   "ADDRESS", "APPLET",   "AREA",       "B",    "BASE",
          "BASEFONT", "BDO",       "BGSOUND", "BIG",      "BLOCKQUOTE", "BODY", "BR",
          "BUTTON",   "CAPTION",   "CENTER",  "CITE",     "CODE",       "COL",  "COLGROUP",
          "CUSTOM",   "DD",        "DEL",     "DFN",      "DIR",        "DIV",  "DL",
          "DT",       "EM",        "EMBED",   "FIELDSET", "FONT",       "FORM", "FRAME",
          "FRAMESET", "HEAD",      "H1",      "H2",       "H3",         "H4",   "H5",
          "H6",       "HR",        "HTML",    "I",        "IFRAME",     "IMG",  "INPUT",
          "INS",      "KBD",       "LABEL",   "LEGEND",   "LI",         "LINK", "LISTING",
          "MAP",      "MARQUEE",   "MENU",    "NOBR",     "OBJECT",     "OL",   "OPTION",
          "P",        "PLAINTEXT", "PRE",     "Q",        "S",          "SAMP", "SCRIPT",
          "SELECT",   "SMALL",     "SPAN",    "STRIKE",   "STRONG",     "SUB",  "SUP",
          "TABLE",    "TBODY",     "TD",      "TEXTAREA", "TFOOT",      "TH",   "THEAD",
          "TITLE",    "TR",        "TT",      "U",        "UL",         "VAR",  "WBR",
          "XML",      "XMP"}) {
        EXPECT_TRUE(IsKnownTagName(tag)) << tag;
        ++known;
    }
    EXPECT_EQ(known, 93);
    for (const char* other : {"images", "LINKS", "Objects", "EMBEDS", ""}) {
        EXPECT_TRUE(IsKnownTagName(other)) << other;
    }
    for (const char* other : {"NOSCRIPT", "META", "ARTICLE", "AA", " A"}) {
        EXPECT_FALSE(IsKnownTagName(other)) << other;
    }
    EXPECT_TRUE(IsFrameTag("frame"));
    EXPECT_TRUE(IsFrameTag("IFrame"));
    EXPECT_FALSE(IsFrameTag("FRAMESET"));
    EXPECT_EQ(CollectionTag("images"), "IMG");
    EXPECT_EQ(CollectionTag("EMAILADDRESLIST"), "");
}

TEST(VocabularyTest, TablesAreIndexedByCode) {
    EXPECT_EQ(SelectFunctionNames[sfNone], "");
    EXPECT_EQ(SelectFunctionNames[sfPosHTML], "PosHTML");
    EXPECT_EQ(SelectFunctionNames[sfPattern], "Pattern");
    EXPECT_EQ(CompareOpTexts[opGE], ">=");
    EXPECT_EQ(CompareOpTexts[opNE], "<>");
    EXPECT_EQ(NodeKindName(nkCollection), "nkCollection");
    EXPECT_EQ(SelectFunctionName(sfURLMask), "sfURLMask");
    EXPECT_EQ(CompareOpName(opLT), "opLT");
}

TEST(ParseStepTest, UnknownWordIsAValidReferenceStep) {
    TNodePathStep step;
    ASSERT_TRUE(ParseStep(step, "Foo[2#]"));
    EXPECT_EQ(step.Kind, nkReference);
    EXPECT_EQ(step.Name, "Foo");
    EXPECT_EQ(step.Index, 1);
    EXPECT_FALSE(ParseStep(step, " . "));
}

TEST(ParseConditionTest, ResetOnEveryCall) {
    TSelectCondition condition;
    ASSERT_TRUE(ParseSelectCondition(condition, "1<PosText('a')<9"));
    EXPECT_FALSE(ParseSelectCondition(condition, "  "));
    EXPECT_EQ(condition, TSelectCondition());
}

} // namespace
} // namespace linkvane
