// NodePath evaluation over fixture pages: which positions GetNodeCollection
// answers and which node GetRelativeNode and GetNodeByPath reach, as tables
// of path -> answer.
#include "QueryTestUtil.h"

#include "support/DateTimeFormat.h"
#include "support/Exception.h"
#include "support/Mask.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace linkvane {
namespace {

using test::Describe;
using test::DescribePositions;

/// One browser per fixture page, loaded once for all cases of a suite.
TStaticWebBrowser& PageBrowser(const std::string& Page) {
    static std::map<std::string, std::unique_ptr<TStaticWebBrowser>> browsers;
    auto& b = browsers[Page];
    if (!b) {
        b = std::make_unique<TStaticWebBrowser>();
        test::LoadFile(*b, test::QueryFixture(Page));
    }
    return *b;
}

struct CollectionCase {
    const char* Name;
    const char* Page;
    std::string Path;
    std::string Expected; ///< "position=item ..."
};

void PrintTo(const CollectionCase& c, std::ostream* os) {
    *os << c.Name;
}

class CollectionTest : public ::testing::TestWithParam<CollectionCase> {};

TEST_P(CollectionTest, Positions) {
    const CollectionCase& c = GetParam();
    TCoreDataExtractor engine;
    engine.SetMainWB(&PageBrowser(c.Page));
    std::vector<int32_t> positions = {99};
    const TNode collection = engine.GetNodeCollection(c.Path, positions);
    EXPECT_EQ(DescribePositions(collection, positions), c.Expected) << c.Path;
    EXPECT_EQ(VarHasValue(collection), !positions.empty());
}

constexpr const char* Nav = "navigation.html";
constexpr const char* Obj = "objects.html";

INSTANTIATE_TEST_SUITE_P(
    Pages, CollectionTest,
    ::testing::Values(
        CollectionCase{"AllLinks", Nav, ".A", "0=a1 1=a2 2=a3 3=a4 4=a5"},
        CollectionCase{"LinksByText", Nav, "A(PosText('pdf')>0)", "1=a2"},
        CollectionCase{"LinkTextAbsent", Nav, "A(PosText('next')<1)", "0=a1 1=a2 4=a5"},
        CollectionCase{"LinkTextAbsentEq", Nav, "A(PosText('next')=0)", "0=a1 1=a2 4=a5"},
        CollectionCase{"LinkTextAbsentLe", Nav, "A(PosText('next')<=0)", "0=a1 1=a2 4=a5"},
        CollectionCase{"NextWithinNine", Nav, ".A(PosText('next')<10)[1#]", "0=a4"},
        CollectionCase{"TextBetweenBounds", Nav, "A(3<PosText('e')<20)", "1=a2 2=a3 4=a5"},
        CollectionCase{"StarInArgument", Nav, "A(PosText('go*page')=1)", "2=a3"},
        CollectionCase{"HtmlPosition", Nav, "A(PosHTML('href=\"next')>0)", "3=a4"},
        CollectionCase{"StartTagOnly", Nav, "TD(PosProperty('t1c')>0)",
                       "0=t1c1 1=t1c2 2=t1c3 5=t1c4"},
        CollectionCase{"StartTagOnlyNotInner", Nav, "TD(PosProperty('t2c1')>0)", "3=t2c1"},
        CollectionCase{"PdfLinks", Nav, "LINKS('*.pdf')", "1=a2 2=a3"},
        CollectionCase{"EveryLinkEvenWithoutHref", Nav, "LINKS('*')", "0=a1 1=a2 2=a3 3=a4 4=a5"},
        CollectionCase{"UrlMaskConditionKeeps", Nav, "A(URLMask('*.pdf')>0)", "1=a2 2=a3"},
        CollectionCase{"UrlMaskConditionDrops", Nav, "A(URLMask('*.pdf')=0)", "0=a1 3=a4 4=a5"},
        CollectionCase{"RowsOfNestedTables", Nav, "TABLE[1#].TR", "0=t1r1 1=t1r2 2=t2r1"},
        CollectionCase{"ImpliedTbodyHidesRows", Nav, "TABLE[1#].TR[1]", ""},
        CollectionCase{"FirstRowAnywhere", Nav, "TABLE[1#].TR[1#]", "0=t1r1"},
        CollectionCase{"ThroughTbody", Nav, "TABLE[1#].TBODY[1].TR[2].TD",
                       "0=t1c3 1=t2c1 2=t2c2 3=t1c4"},
        CollectionCase{"ChildCellsOnly", Nav, "TABLE[1#].TBODY[1].TR[2].TD[2]", "0=t1c4"},
        CollectionCase{"NestedMatchFirst", Nav, "TD(PosText('x')>0)[1#]", "0=t2c1"},
        CollectionCase{"ContainerSecond", Nav, "TD(PosText('x')>0)[2#]", "0=t1c3"},
        CollectionCase{"ThenDocumentOrder", Nav, "TD(PosText('x')>0)[3#]", "0=t1c4"},
        CollectionCase{"NoFourthMatch", Nav, "TD(PosText('x')>0)[4#]", ""},
        CollectionCase{"StartNodeTestedLast", Nav, "TABLE[2#].TABLE(PosText('inner')>0)[1#]",
                       "0=t2"},
        CollectionCase{"OuterCells", Nav, "TD(Depth=1)", "0=t1c1 1=t1c2 2=t1c3 5=t1c4"},
        CollectionCase{"InnerCells", Nav, "TD(Depth=2)", "3=t2c1 4=t2c2"},
        CollectionCase{"DepthBetween", Nav, "TD(1<Depth<=2)", "3=t2c1 4=t2c2"},
        CollectionCase{"DepthBelowContext", Nav, "TABLE[1#].TD[3#].TD(Depth=1)", "0=t2c1 1=t2c2"},
        CollectionCase{"ConditionalStepDepth", Nav, "TD(Depth=2)[2#]", "0=t2c2"},
        CollectionCase{"SingleElementAsCollection", Nav, "P[2#]", "0=p2"},
        CollectionCase{"NavigationWordAnswer", Nav, "A[2#].PARENTNODE('TABLE')", "0=t1"},
        CollectionCase{"EmptyPathIsBody", Nav, "", "0=body"},
        CollectionCase{"BodyWord", Nav, "BODY.P", "0=p1 1=p2 2=p3"},
        CollectionCase{"DocumentBody", Nav, "DOCUMENT.BODY.DIV", "0=d1 1=empty"},
        CollectionCase{"DocumentLater", Nav, "P[1#].DOCUMENT", ""},
        CollectionCase{"NoMatch", Nav, "FORM", ""},
        CollectionCase{"ImagesInThirdTable", Obj, "TABLE[3#].IMAGES('*')", "0=i3 1=i4"},
        CollectionCase{"ImagesCaseIgnored", Obj, "IMAGES('*.png')", "0=i1 1=i2 3=i4"},
        CollectionCase{"EmbedsOfWholeDocument", Obj, "TABLE[3#].EMBEDS('*')", "0=e1 1=e2"},
        CollectionCase{"ObjectsByMovieOrSrc", Obj, "OBJECTS('*.swf')", "0=o1 1=o2"},
        CollectionCase{"ObjectWithoutParams", Obj, "OBJECTS('*')", "0=o1 1=o2 2=o3"},
        CollectionCase{"ObjectEmptyAddress", Obj, "OBJECTS('?*')", "0=o1 1=o2"},
        CollectionCase{"ObjectsNoMatch", Obj, "OBJECTS('*.mov')", ""}));

struct RelativeCase {
    const char* Name;
    std::string Start; ///< id of the start element
    std::string Path;
    std::string Expected;
};

void PrintTo(const RelativeCase& c, std::ostream* os) {
    *os << c.Name;
}

class RelativeTest : public ::testing::TestWithParam<RelativeCase> {};

TEST_P(RelativeTest, Node) {
    const RelativeCase& c = GetParam();
    TStaticWebBrowser& browser = PageBrowser(Nav);
    TCoreDataExtractor engine;
    engine.SetMainWB(&browser);
    const TNode start = test::ById(browser.Document(), c.Start);
    ASSERT_TRUE(VarHasValue(start)) << c.Start;
    EXPECT_EQ(Describe(engine.GetRelativeNode(start, c.Path)), c.Expected) << c.Path;
}

INSTANTIATE_TEST_SUITE_P(
    Navigation, RelativeTest,
    ::testing::Values(
        RelativeCase{"EmptyPath", "a1", "", "a1"}, RelativeCase{"BlankPath", "a1", "  \t", "a1"},
        RelativeCase{"DotPath", "a1", ".", "a1"}, RelativeCase{"Parent", "a1", "PARENTNODE", "p1"},
        RelativeCase{"AncestorTable", "a2", "PARENTNODE('TABLE')", "t1"},
        RelativeCase{"NearestTable", "t2c1", "PARENTNODE(TagName='table')", "t2"},
        RelativeCase{"OutsideTableGivesParent", "a1", "PARENTNODE('TABLE')", "p1"},
        RelativeCase{"NeverAboveBody", "p1", "PARENTNODE('HTML')", "body"},
        RelativeCase{"ShortTagArgument", "a2", "PARENTNODE(TD)", "t1c1"},
        RelativeCase{"NeighbourCell", "a2", "PARENTNODE('TR').TD[2]", "t1c2"},
        RelativeCase{"PreviousIsText", "p2", "PREVIOUSNODE", "''"},
        RelativeCase{"PreviousByTag", "p2", "PREVIOUSNODE('P')", "p1"},
        RelativeCase{"PreviousSkipsOthers", "d1", "PREVIOUSNODE('P')", "p2"},
        RelativeCase{"NextByTag", "d1", "NEXTNODE('TABLE')", "t1"},
        RelativeCase{"NextRunsOut", "d1", "NEXTNODE('FORM')", "-"},
        RelativeCase{"NextText", "p2", "NEXTNODE", "'text between'"},
        RelativeCase{"FirstChild", "d1", "FIRSTCHILDNODE", "s1"},
        RelativeCase{"FirstChildNone", "empty", "FIRSTCHILDNODE", "-"},
        RelativeCase{"NothingStaysNothing", "empty", "FIRSTCHILDNODE.PARENTNODE", "-"},
        RelativeCase{"FirstChildSkipsText", "p1", "FIRSTCHILDNODE", "a1"},
        RelativeCase{"LastChild", "t1r1", "LASTCHILDNODE", "t1c2"},
        RelativeCase{"FirstChildByTag", "t1r1", "FIRSTCHILDNODE('TD')", "t1c1"},
        RelativeCase{"LastChildByTagBackwards", "t1r2", "LASTCHILDNODE('TD')", "t1c4"},
        RelativeCase{"LastChildByMissingTag", "t1r2", "LASTCHILDNODE('TH')", "-"},
        RelativeCase{"FirstText", "p1", "TEXTNODE", "'Intro'"},
        RelativeCase{"SecondText", "p1", "TEXTNODE[2]", "'tail'"},
        RelativeCase{"TextContaining", "p1", "TEXTNODE('TAIL')", "'tail'"},
        RelativeCase{"NoThirdText", "p1", "TEXTNODE[3]", "-"},
        RelativeCase{"RowsCollection", "t1", "TR", "[t1r1 t1r2 t2r1]"},
        RelativeCase{"ChildRowsNone", "t1", "TR[1]", "-"},
        RelativeCase{"IndexBeyond", "t1", "TR[4#]", "-"},
        RelativeCase{"UnfilteredCollectionWord", "t1", "LINKS('*.html')", "[a2]"},
        RelativeCase{"ConditionalCollection", "t1", "TD(PosText('zzz')>0)",
                     "[t1c1 t1c2 t1c3 t2c1 t2c2 t1c4]"},
        RelativeCase{"Document", "a1", "DOCUMENT", "#document:navigation.html"},
        RelativeCase{"DocumentBody", "a1", "DOCUMENT.BODY", "body"},
        RelativeCase{"DocumentOnlyFirst", "a1", "PARENTNODE.DOCUMENT", "-"},
        RelativeCase{"Source", "a1", "SOURCE", "num:0"},
        RelativeCase{"SourceOnlyFirst", "a1", "PARENTNODE.SOURCE", "-"},
        RelativeCase{"BodyFirstStep", "s1", "BODY", "body"}));

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override { engine.SetMainWB(&PageBrowser(Nav)); }
    TNode Doc() { return PageBrowser(Nav).Document(); }
    TCoreDataExtractor engine;
};

TEST_F(EngineTest, DocumentModelErrorsLeaveTheQuery) {
    const TNode a1 = test::ById(Doc(), "a1");
    std::vector<int32_t> positions;
    // A number is not a collection, and a number has no parent.
    EXPECT_THROW(engine.GetNodeCollection("SOURCE", positions), Exception);
    EXPECT_THROW(engine.GetRelativeNode(a1, "SOURCE.PARENTNODE"), Exception);
    // BODY after the first step needs a document.
    EXPECT_THROW(engine.GetRelativeNode(a1, "PARENTNODE.BODY"), Exception);
    // An invalid URL mask raises the mask error while the items are tested.
    try {
        engine.GetNodeCollection("LINKS('[')", positions);
        FAIL() << "no mask error";
    } catch (const EMaskException& e) {
        EXPECT_EQ(std::string(e.what()), "'[' is an invalid mask at (2)");
    }
}

TEST_F(EngineTest, ParseErrorsPassUnchanged) {
    std::vector<int32_t> positions = {1};
    try {
        engine.GetNodeCollection("TABLE.FOO", positions);
        FAIL() << "no parse error";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), "Unknown TagName : FOO !");
    }
    EXPECT_TRUE(positions.empty());
    EXPECT_THROW(engine.GetRelativeNode(Doc(), "A[0]"), Exception);
    EXPECT_THROW(engine.GetNodeByPath("FOO"), Exception);
    // An empty relative path is not parsed at all.
    EXPECT_EQ(engine.GetRelativeNode(TNode(), " "), TNode());
}

TEST_F(EngineTest, GetNodeByPathStartsAtBody) {
    EXPECT_EQ(Describe(engine.GetNodeByPath("")), "body");
    EXPECT_EQ(Describe(engine.GetNodeByPath(" A[3#] ")), "a3");
    EXPECT_EQ(Describe(engine.GetNodeByPath("DIV[2]")), "empty");
    EXPECT_EQ(Describe(engine.GetNodeByPath("HEAD")), "-");
}

TEST_F(EngineTest, CheckTextPositionTable) {
    struct Case {
        const char* Text;
        const char* Argument;
        int32_t RightValue;
        TCompareOp RightOp;
        int32_t LeftValue;
        TCompareOp LeftOp;
        bool Expected;
    };
    const Case cases[] = {
        {"go Next", "next", 0, opGT, -1, opGT, true}, // contains, any case
        {"go", "next", 0, opGT, -1, opGT, false},     // missing
        {"go", "next", 1, opLT, 0, opGT, true},       // <1: absent
        {"go next", "next", 1, opLT, 0, opGT, false}, // <1: present
        {"go", "next", 0, opEQ, -1, opGT, true},      // =0: absent
        {"go", "next", 0, opLE, -1, opGT, true},      // <=0: absent
        {"go", "next", -5, opLT, 0, opGT, true},      // <-5: absent
        {"", "next", 1, opLT, 0, opGT, true},         // empty text never matches
        {"next", "", 1, opLT, 0, opGT, true},         // empty argument never matches
        {"next", "", 0, opGT, -1, opGT, false},
        {"12345678next", "next", 10, opLT, 0, opGT, true},
        {"123456789next", "next", 10, opLT, 0, opGT, false},
        {"abcx", "x", 3, opGT, 0, opGT, true},  // 4 > 3
        {"abcx", "x", 20, opLT, 3, opGT, true}, // 3 < 4 < 20
        {"abx", "x", 20, opLT, 3, opGT, false}, // 3 < 3 fails
        {"abx", "x", 20, opLT, 3, opGE, true},  // 3 <= 3
        {"abx", "x", 3, opNE, 0, opGT, false},
        {"abx", "x", 2, opGE, 0, opGT, true},
        {"a<b>c", "<*>", 1, opEQ, 0, opGT, false}, // =1 is a position test
        {"a<b>c", "<*>", 2, opEQ, 0, opGT, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TCoreDataExtractor::CheckTextPosition(c.Text, c.Argument, c.RightValue, c.RightOp,
                                                        c.LeftValue, c.LeftOp),
                  c.Expected)
            << c.Text << " / " << c.Argument << " " << CompareOpTexts[c.RightOp] << " "
            << c.RightValue;
}

TEST_F(EngineTest, ConditionFunctions) {
    const TNode a2 = test::ById(Doc(), "a2");
    const TNode body = test::ById(Doc(), "body");
    TSelectCondition c;
    EXPECT_TRUE(engine.CheckSelectCondition(a2, body, c)); // sfNone
    c.Func = sfPattern;
    EXPECT_TRUE(engine.CheckSelectCondition(a2, body, c));
    c.Func = sfTagName;
    c.Tag = "A";
    EXPECT_FALSE(engine.CheckSelectCondition(a2, body, c));
    // A collection word's mask in MaskText; an empty mask passes everything.
    c = TSelectCondition();
    c.Func = sfURLMask;
    c.MaskText = " *.PDF ";
    EXPECT_TRUE(engine.CheckSelectCondition(a2, body, c));
    c.MaskText = "*.html";
    EXPECT_FALSE(engine.CheckSelectCondition(a2, body, c));
    c.MaskText = "  ";
    EXPECT_TRUE(engine.CheckSelectCondition(a2, body, c));
    EXPECT_EQ(engine.ElementURL(test::ById(Doc(), "t1c1")), "");
    EXPECT_EQ(engine.ElementURL(a2).substr(0, 7), "file://");
}

TEST_F(EngineTest, CreateSetsSortableDateFormats) {
    EXPECT_EQ(DefaultDateFormat(), QStringLiteral("yyyy/MM/dd"));
    EXPECT_EQ(DefaultTimeFormat(), QStringLiteral("hh:mm:ss"));
    const QDateTime t(QDate(2024, 3, 7), QTime(9, 5, 4));
    EXPECT_EQ(FormatDateTimeDefault(t), QStringLiteral("2024/03/07 09:05:04"));
}

TEST(EngineState, BrowserRoles) {
    TCoreDataExtractor engine;
    EXPECT_EQ(engine.MainWB(), nullptr);
    EXPECT_EQ(engine.ActiveWB(), nullptr);
    EXPECT_FALSE(VarHasValue(engine.CurrentDocument()));
    EXPECT_FALSE(VarHasValue(engine.PatternContainer()));
    // Without a browser every query answers nothing.
    std::vector<int32_t> positions = {3};
    EXPECT_FALSE(VarHasValue(engine.GetNodeCollection("A", positions)));
    EXPECT_TRUE(positions.empty());
    EXPECT_FALSE(VarHasValue(engine.GetNodeByPath("")));
    EXPECT_EQ(engine.ClickNode("A[1#]"), -1);

    TStaticWebBrowser empty; // no page yet
    engine.SetMainWB(&empty);
    EXPECT_EQ(engine.MainWB(), &empty);
    EXPECT_EQ(engine.ActiveWB(), &empty);
    EXPECT_FALSE(VarHasValue(engine.GetNodeByPath("A[1#]")));
    engine.SetMainWB(nullptr);
    EXPECT_EQ(engine.MainWB(), &empty);

    TStaticWebBrowser& page = PageBrowser(Nav);
    engine.SetMainWB(&page);
    EXPECT_EQ(engine.CurrentDocument(), page.Document());
}

} // namespace
} // namespace linkvane
