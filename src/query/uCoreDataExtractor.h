#pragma once

#include "browser/Dom.h"
#include "query/ExpressParse.h"

#include <cstdint>
#include <string>
#include <vector>

namespace linkvane {

class TWebBrowser;

/// The query engine: evaluates NodePath expressions over the document of the
/// active browser and answers elements, element collections or nothing.
///
/// Every query parses its path again and lets the parser's exception out
/// unchanged. At the start of each query the active browser's document is
/// brought up to date (RefreshDocument) and taken as CurrentDocument; a
/// browser without a document answers nothing. Errors of the document model
/// in the guarded places (TEXTNODE, the tag lookup of a plain tag step, the
/// search of a conditional tag step, the click) are written to the error log
/// and answer nothing; other errors of the document model leave the query as
/// exceptions.
class TCoreDataExtractor {
public:
    /// Makes "yyyy/mm/dd" and "hh:mm:ss" the process-wide default date and
    /// time formats (see DateTimeFormat.h).
    TCoreDataExtractor();

    /// MainWB and ActiveWB := Browser, CurrentDocument := its document; a
    /// null Browser is ignored.
    void SetMainWB(TWebBrowser* Browser);
    TWebBrowser* MainWB() const { return m_mainWB; }
    /// The browser whose document is queried: MainWB, except inside a
    /// ClickNode call that names another browser.
    TWebBrowser* ActiveWB() const { return m_activeWB; }
    TNode CurrentDocument() const { return m_currentDocument; }
    /// The container made by the most recent PATTERNSTRINGS step.
    TNode PatternContainer() const { return m_patternContainer; }

    /// Evaluates NodePath from the document's body and answers the
    /// collection of the last step with, in ItemIndexes, the ascending
    /// positions of the items that the last step's condition selects
    /// (collection words: whose address matches the URL mask). A path that
    /// answers a single node answers it as a one-item collection. No
    /// positions: Collection is nothing.
    TNode GetNodeCollection(const std::string& NodePath, std::vector<int32_t>& ItemIndexes);
    /// Evaluates NodePath from StartNode; an empty path answers StartNode.
    TNode GetRelativeNode(const TNode& StartNode, const std::string& NodePath);
    /// Evaluates NodePath from the document's body; an empty path answers the body.
    TNode GetNodeByPath(const std::string& NodePath);
    /// Clicks the element that NodePath names (in Browser's document when one
    /// is given) and waits for the page: 1 when the page got ready, 0 when
    /// the wait failed or the click raised an error (logged), -1 when the
    /// path names nothing. ActiveWB is the same after the call in every case.
    int32_t ClickNode(const std::string& NodePath, TWebBrowser* Browser = nullptr);

    /// Runs the steps of Path from StartNode. ContextNode receives the node
    /// the last step started from (nothing for a path without steps).
    TNode EvaluateNodePath(const TNodePath& Path, const TNode& StartNode, TNode& ContextNode);
    /// One step from CurrentNode.
    TNode GetPathNodeVariant(const TNode& CurrentNode, const TNodePathStep& Step, bool IsFirst,
                             bool IsLast);
    /// Whether Node passes Condition; ContextNode is the search root of Depth.
    bool CheckSelectCondition(const TNode& Node, const TNode& ContextNode,
                              const TSelectCondition& Condition);
    /// The Index-th (0-based) element with TagName that passes Condition, in
    /// post-order below and including StartNode (nested matches before the
    /// element that holds them, StartNode last); nothing when there are fewer.
    TNode FindNthMatch(const TNode& StartNode, const std::string& TagName, int32_t Index,
                       const TSelectCondition& Condition);
    /// Tests the position of the star pattern Argument in Text (1-based, not
    /// case-sensitive). A condition that can only hold for a missing text
    /// (RightOp <, <= or = with RightValue <= 0, or < 1) holds exactly when
    /// Argument is not found.
    static bool CheckTextPosition(const std::string& Text, const std::string& Argument,
                                  int32_t RightValue, TCompareOp RightOp, int32_t LeftValue,
                                  TCompareOp LeftOp);
    /// The address a URL mask is tested against: Src of IMG and EMBED, Href
    /// of A, the MOVIE (or else SRC) parameter of OBJECT, empty otherwise.
    std::string ElementURL(const TNode& Node);
    /// The PATTERNSTRINGS step: appends a new pattern container to the body
    /// and, when Pattern matches in Current's HTML, a match element holding
    /// the matched piece, which is answered.
    TNode BuildPatternStrings(const TNode& Current, const std::string& Pattern);

private:
    /// The parsed form of NodePath. Parsing is a pure function of the text,
    /// so the last path parsed is kept: the runner asks the same relative
    /// path for every link of a page. Parse errors are raised every time.
    const TNodePath& ParsedPath(const std::string& NodePath);
    /// Takes the active browser's up-to-date document; false when there is none.
    bool SetUpQuery();
    TNode DocumentBody() const;
    TNode TagStep(const TNode& Current, const TNodePathStep& Step, bool IsFirst, bool IsLast);

    TWebBrowser* m_mainWB = nullptr;
    TWebBrowser* m_activeWB = nullptr;
    TNode m_currentDocument;
    TNode m_patternContainer;
    std::string m_parsedText;
    TNodePath m_parsedPath;
    bool m_hasParsedPath = false;
};

} // namespace linkvane
