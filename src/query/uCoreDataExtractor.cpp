#include "query/uCoreDataExtractor.h"

#include "browser/PageWaitSettings.h"
#include "browser/TWebBrowser.h"
#include "browser/WebTools.h"
#include "support/DateTimeFormat.h"
#include "support/FastStringUtils.h"
#include "support/LogFile.h"
#include "support/Mask.h"
#include "support/TextTrim.h"

#include <QString>

#include <algorithm>
#include <limits>
#include <memory>

namespace linkvane {
namespace {

/// A failure in a guarded place is logged and the query goes on; a log that
/// cannot be written must not change the query's answer.
void LogGuarded(const std::string& Message) {
    try {
        LogError(Message);
    } catch (const std::exception&) {
    }
}

bool Compare(int64_t Value, TCompareOp Op, int64_t Bound) {
    switch (Op) {
    case opGE:
        return Value >= Bound;
    case opLE:
        return Value <= Bound;
    case opGT:
        return Value > Bound;
    case opLT:
        return Value < Bound;
    case opEQ:
        return Value == Bound;
    case opNE:
        return Value != Bound;
    }
    return false;
}

int32_t TextLength(const std::string& Text) {
    return static_cast<int32_t>(
        std::min<size_t>(Text.size(), static_cast<size_t>(std::numeric_limits<int32_t>::max())));
}

TNode FirstElementChild(const TNode& Node) {
    for (TNode c = Node.FirstChild(); VarHasValue(c); c = c.NextSibling())
        if (c.IsElement())
            return c;
    return {};
}

TNode NextElementSibling(const TNode& Node) {
    for (TNode c = Node.NextSibling(); VarHasValue(c); c = c.NextSibling())
        if (c.IsElement())
            return c;
    return {};
}

/// The node after Node in document order below Root, or nothing.
TNode NextInTree(const TNode& Node, const TNode& Root) {
    TNode next = Node.FirstChild();
    if (VarHasValue(next))
        return next;
    for (TNode n = Node; VarHasValue(n) && n != Root; n = n.ParentNode()) {
        next = n.NextSibling();
        if (VarHasValue(next))
            return next;
    }
    return {};
}

/// Children.Tags(Tag).Item(Index) or All.Tags(Tag).Item(Index) of Root,
/// found by walking instead of building the collections.
TNode NthElementByTag(const TNode& Root, bool ChildrenOnly, const std::string& Tag, int32_t Index) {
    int32_t count = -1;
    if (ChildrenOnly) {
        for (TNode c = FirstElementChild(Root); VarHasValue(c); c = NextElementSibling(c))
            if (c.TagName() == Tag && ++count == Index)
                return c;
        return {};
    }
    for (TNode n = NextInTree(Root, Root); VarHasValue(n); n = NextInTree(n, Root))
        if (n.IsElement() && n.TagName() == Tag && ++count == Index)
            return n;
    return {};
}

/// Pattern with every "$D$A", in any letter case, made a CR LF.
std::string ExpandLineBreaks(const std::string& Pattern) {
    std::string out;
    out.reserve(Pattern.size());
    for (size_t i = 0; i < Pattern.size();) {
        if (i + 4 <= Pattern.size() &&
            UpperAscii(std::string_view(Pattern).substr(i, 4)) == "$D$A") {
            out += "\r\n";
            i += 4;
        } else {
            out += Pattern[i++];
        }
    }
    return out;
}

/// The last mask compiled, so testing every item of a collection against
/// the same mask does not compile it again each time.
struct TMaskCache {
    std::string Text;
    std::unique_ptr<TMask> Mask;

    const TMask& Get(const std::string& MaskText) {
        if (!Mask || Text != MaskText) {
            Mask.reset();
            Mask = std::make_unique<TMask>(MaskText);
            Text = MaskText;
        }
        return *Mask;
    }
};

thread_local TMaskCache g_maskCache;

} // namespace

TCoreDataExtractor::TCoreDataExtractor() {
    SetDefaultDateTimeFormats(QString::fromLatin1(SortableDateFormat),
                              QString::fromLatin1(SortableTimeFormat));
}

void TCoreDataExtractor::SetMainWB(TWebBrowser* Browser) {
    if (!Browser)
        return;
    m_mainWB = Browser;
    m_activeWB = Browser;
    TNode document = Browser->Document();
    if (VarHasValue(document))
        m_currentDocument = document;
}

const TNodePath& TCoreDataExtractor::ParsedPath(const std::string& NodePath) {
    if (!m_hasParsedPath || m_parsedText != NodePath) {
        m_hasParsedPath = false;
        ParseNodePath(m_parsedPath, NodePath);
        m_parsedText = NodePath;
        m_hasParsedPath = true;
    }
    return m_parsedPath;
}

bool TCoreDataExtractor::SetUpQuery() {
    m_currentDocument = TNode();
    if (!m_activeWB)
        return false;
    m_activeWB->RefreshDocument();
    m_currentDocument = m_activeWB->Document();
    return m_currentDocument.IsDocument();
}

TNode TCoreDataExtractor::DocumentBody() const {
    return m_currentDocument.IsDocument() ? m_currentDocument.Body() : TNode();
}

TNode TCoreDataExtractor::GetNodeCollection(const std::string& NodePath,
                                            std::vector<int32_t>& ItemIndexes) {
    ItemIndexes.clear();
    const TNodePath& path = ParsedPath(NodePath);
    if (!SetUpQuery())
        return {};
    const int count = CountSteps(path);
    const TSelectCondition lastCondition =
        count > 0 ? path.Steps[count - 1].Condition : TSelectCondition();
    TNode context;
    TNode result = EvaluateNodePath(path, DocumentBody(), context);
    if (!VarHasValue(result))
        return {};
    if (result.IsTreeNode()) {
        // A single node was already chosen by its step (a conditional tag
        // step applies its condition while searching), so it is answered
        // as it is: a one-item collection.
        ItemIndexes.push_back(0);
        return TNode::MakeCollection({result});
    }
    for (int32_t i = 0, length = result.Length(); i < length; ++i) {
        if (CheckSelectCondition(result.Item(i), context, lastCondition))
            ItemIndexes.push_back(i);
    }
    return ItemIndexes.empty() ? TNode() : result;
}

TNode TCoreDataExtractor::GetRelativeNode(const TNode& StartNode, const std::string& NodePath) {
    if (TrimText(NodePath).empty())
        return StartNode;
    const TNodePath& path = ParsedPath(NodePath);
    if (!SetUpQuery())
        return {};
    TNode context;
    return EvaluateNodePath(path, StartNode, context);
}

TNode TCoreDataExtractor::GetNodeByPath(const std::string& NodePath) {
    if (TrimText(NodePath).empty()) {
        SetUpQuery();
        return DocumentBody();
    }
    const TNodePath& path = ParsedPath(NodePath);
    if (!SetUpQuery())
        return {};
    TNode context;
    return EvaluateNodePath(path, DocumentBody(), context);
}

int32_t TCoreDataExtractor::ClickNode(const std::string& NodePath, TWebBrowser* Browser) {
    struct TRestore {
        TCoreDataExtractor* Self;
        TWebBrowser* Saved;
        ~TRestore() { Self->m_activeWB = Saved; }
    } restore{this, m_activeWB};
    if (Browser)
        m_activeWB = Browser;

    ParsedPath(NodePath); // a path that does not parse leaves before anything is clicked
    TNode node = GetNodeByPath(NodePath);
    if (!VarHasValue(node))
        return -1;
    try {
        WaitClock().Pump();
        node.Click();
        WaitClock().Pump();
        const int32_t wait = std::max(PageWaitSettings().MinWaitSeconds, 1);
        return WaitPageReady(*m_activeWB, wait, -1) ? 1 : 0;
    } catch (const std::exception& e) {
        LogGuarded(std::string(e.what()) + " in ClickNode ");
        return 0;
    }
}

TNode TCoreDataExtractor::EvaluateNodePath(const TNodePath& Path, const TNode& StartNode,
                                           TNode& ContextNode) {
    ContextNode = TNode();
    TNode current = StartNode;
    const int count = CountSteps(Path);
    for (int k = 0; k < count; ++k) {
        ContextNode = current;
        current = GetPathNodeVariant(current, Path.Steps[k], k == 0, k == count - 1);
    }
    return current;
}

TNode TCoreDataExtractor::GetPathNodeVariant(const TNode& CurrentNode, const TNodePathStep& Step,
                                             bool IsFirst, bool IsLast) {
    if (!VarHasValue(CurrentNode))
        return {};
    const TSelectCondition& condition = Step.Condition;
    TNode result;
    switch (Step.Kind) {
    case nkNone:
    case nkReference:
        break;
    case nkDocument:
        if (IsFirst)
            result = m_currentDocument;
        break;
    case nkSource:
        if (IsFirst)
            result = TNode::Number(0);
        break;
    case nkParentNode: {
        result = CurrentNode.ParentNode();
        // The node is its own element here (it was never copied out of its
        // document), so the ancestor is sought from the node itself; this also
        // holds for nodes of a frame's document.
        TNode ancestor;
        if (condition.Func == sfTagName && CurrentNode.IsElement() &&
            FindAncestorByTag(ancestor, CurrentNode, UpperAscii(condition.Tag)))
            result = ancestor;
        break;
    }
    case nkPreviousNode:
    case nkNextNode: {
        const bool previous = Step.Kind == nkPreviousNode;
        result = previous ? CurrentNode.PreviousSibling() : CurrentNode.NextSibling();
        if (condition.Func == sfTagName) {
            const std::string tag = UpperAscii(condition.Tag);
            while (VarHasValue(result)) {
                std::string name;
                try {
                    name = UpperAscii(result.NodeName());
                } catch (const std::exception&) {
                }
                if (name == tag)
                    break;
                result = previous ? result.PreviousSibling() : result.NextSibling();
            }
        }
        break;
    }
    case nkFirstChildNode:
    case nkLastChildNode: {
        const TNode children = CurrentNode.Children();
        const int32_t length = children.Length();
        if (length <= 0)
            break;
        const bool first = Step.Kind == nkFirstChildNode;
        if (condition.Func != sfTagName) {
            result = children.Item(first ? 0 : length - 1);
            break;
        }
        const std::string tag = UpperAscii(condition.Tag);
        for (int32_t n = 0; n < length; ++n) {
            TNode child = children.Item(first ? n : length - 1 - n);
            std::string name;
            try {
                name = UpperAscii(child.NodeName());
            } catch (const std::exception&) {
            }
            if (name == tag) {
                result = child;
                break;
            }
        }
        break;
    }
    case nkTextNode:
        try {
            const TNode nodes = CurrentNode.ChildNodes();
            const std::string tag = UpperAscii(condition.Tag);
            int32_t found = -1;
            for (int32_t i = 0, length = nodes.Length(); i < length; ++i) {
                TNode node = nodes.Item(i);
                if (UpperAscii(node.NodeName()) != "#TEXT")
                    continue;
                if (condition.Func == sfTagName &&
                    UpperAscii(node.NodeValue()).find(tag) == std::string::npos)
                    continue;
                if (++found == Step.Index) {
                    result = node;
                    break;
                }
            }
        } catch (const std::exception& e) {
            LogGuarded(std::string(e.what()) + "in GetPathNodeVariant,ntText");
        }
        break;
    case nkTag:
        result = TagStep(CurrentNode, Step, IsFirst, IsLast);
        break;
    case nkPatternStrings:
        result = BuildPatternStrings(CurrentNode, condition.MaskText);
        break;
    case nkCollection:
        if (UpperAscii(condition.Tag) == "EMBED")
            result = m_currentDocument.IsDocument() ? m_currentDocument.Embeds() : TNode();
        else
            result = CurrentNode.All().Tags(condition.Tag);
        break;
    }
    return VarHasValue(result) ? result : TNode();
}

TNode TCoreDataExtractor::TagStep(const TNode& Current, const TNodePathStep& Step, bool IsFirst,
                                  bool IsLast) {
    if (Step.Condition.Func == sfNone) {
        if (Step.Name == "BODY")
            return IsFirst ? DocumentBody() : Current.Body();
        if (IsFrameTag(Step.Name)) {
            TNode frameDocument;
            GetFrameDocument(IsFirst ? m_currentDocument : Current, Step.Index, frameDocument);
            return frameDocument;
        }
        // One element wanted: walking finds it without building collections.
        const bool walkable = Step.ChildrenOnly ? Current.IsTreeNode()
                                                : (Current.IsElement() || Current.IsDocument());
        if (walkable && !(IsLast && Step.AllMatches))
            return NthElementByTag(Current, Step.ChildrenOnly, Step.Name, Step.Index);
        TNode matches;
        try {
            matches = (Step.ChildrenOnly ? Current.Children() : Current.All()).Tags(Step.Name);
        } catch (const std::exception& e) {
            LogGuarded(std::string(e.what()) + "in GetPathNodeVariant, Child TagName is " +
                       Step.Name);
            return {};
        }
        if (IsLast && Step.AllMatches)
            return matches.Length() > 0 ? matches : TNode();
        return matches.Item(Step.Index);
    }
    TNode matches = Current.All().Tags(Step.Name);
    if (Step.AllMatches)
        return matches; // GetNodeCollection applies the condition to each item
    try {
        return FindNthMatch(Current, Step.Name, Step.Index, Step.Condition);
    } catch (const std::exception& e) {
        LogGuarded(std::string(e.what()) +
                   "in GetPathNodeVariant,Has SelectCondition, TagName is " + Step.Name);
        return {};
    }
}

TNode TCoreDataExtractor::FindNthMatch(const TNode& StartNode, const std::string& TagName,
                                       int32_t Index, const TSelectCondition& Condition) {
    if (!StartNode.IsTreeNode())
        StartNode.Children(); // raises the document model's error for this kind of value
    const std::string tag = UpperAscii(TagName);
    int32_t counter = -1;
    // Post-order without recursion: go down to the deepest first element,
    // visit, then continue with the next sibling's deepest first element, or
    // with the parent once the siblings are done. StartNode is visited last.
    auto descend = [](TNode node) {
        for (TNode child = FirstElementChild(node); VarHasValue(child);
             child = FirstElementChild(node))
            node = child;
        return node;
    };
    TNode node = descend(StartNode);
    for (;;) {
        if (node.NodeName() == tag && CheckSelectCondition(node, StartNode, Condition)) {
            if (++counter == Index)
                return node;
        }
        if (node == StartNode)
            return {};
        TNode sibling = NextElementSibling(node);
        node = VarHasValue(sibling) ? descend(sibling) : node.ParentNode();
        if (!VarHasValue(node))
            return {}; // StartNode left the tree during the search
    }
}

bool TCoreDataExtractor::CheckSelectCondition(const TNode& Node, const TNode& ContextNode,
                                              const TSelectCondition& Condition) {
    switch (Condition.Func) {
    case sfNone:
    case sfPattern:
        return true;
    case sfTagName:
        return false;
    case sfPosProperty: {
        const std::string html = Node.OuterHTML();
        const int32_t close = CharPosFrom(html, '>', 1);
        return CheckTextPosition(close > 0 ? CopyClipped(html, 1, close) : std::string(),
                                 Condition.Argument, Condition.RightValue, Condition.RightOp,
                                 Condition.LeftValue, Condition.LeftOp);
    }
    case sfPosHTML:
        return CheckTextPosition(Node.OuterHTML(), Condition.Argument, Condition.RightValue,
                                 Condition.RightOp, Condition.LeftValue, Condition.LeftOp);
    case sfPosText:
        return CheckTextPosition(Node.InnerText(), Condition.Argument, Condition.RightValue,
                                 Condition.RightOp, Condition.LeftValue, Condition.LeftOp);
    case sfDepth: {
        // Both bounds must hold: the left bound only narrows the right
        // comparison, so TD(Depth=1) means depth 1 exactly.
        const int32_t depth = SameTagDepth(Node, ContextNode);
        return Compare(depth, Condition.RightOp, Condition.RightValue) &&
               Compare(depth, Condition.LeftOp, Condition.LeftValue);
    }
    case sfURLMask: {
        // A collection word carries its mask in MaskText; a tag step's
        // URLMask('...') condition carries it in Argument and is tested
        // against its own mask, its value 1 for a match and 0 otherwise.
        const std::string mask =
            TrimText(Condition.MaskText.empty() ? Condition.Argument : Condition.MaskText);
        if (mask.empty())
            return true;
        const int32_t value = g_maskCache.Get(mask).Matches(ElementURL(Node)) ? 1 : 0;
        return Compare(value, Condition.RightOp, Condition.RightValue) &&
               Compare(value, Condition.LeftOp, Condition.LeftValue);
    }
    }
    return false;
}

bool TCoreDataExtractor::CheckTextPosition(const std::string& Text, const std::string& Argument,
                                           int32_t RightValue, TCompareOp RightOp,
                                           int32_t LeftValue, TCompareOp LeftOp) {
    int32_t first = 0;
    int32_t last = 0;
    const bool found = !Argument.empty() && !Text.empty() &&
                       MatchStarPattern(Text, Argument, TextLength(Text), 1, false, first, last);
    const bool absenceTest =
        ((RightOp == opLE || RightOp == opLT || RightOp == opEQ) && RightValue <= 0) ||
        (RightOp == opLT && RightValue == 1);
    if (absenceTest)
        return !found;
    if (!found)
        return false;
    bool ok = Compare(first, RightOp, RightValue);
    // The implicit left bound of a single comparison (0 or -1) never
    // restricts a position.
    if (ok && LeftValue > 0) {
        if (LeftOp == opGE)
            ok = first >= LeftValue;
        else if (LeftOp == opGT)
            ok = first > LeftValue;
    }
    return ok;
}

std::string TCoreDataExtractor::ElementURL(const TNode& Node) {
    const std::string name = Node.NodeName();
    if (name == "IMG" || name == "EMBED")
        return Node.Src();
    if (name == "A")
        return Node.Href();
    if (name == "OBJECT")
        // The parameters are sought in the element's own document, which is
        // the current document unless the element sits in a frame.
        return GetObjectMovieURL(Node.OwnerDocument(), Node.SourceIndex());
    return {};
}

TNode TCoreDataExtractor::BuildPatternStrings(const TNode& Current, const std::string& Pattern) {
    const std::string pattern = ExpandLineBreaks(Pattern);
    const std::string source = Current.OuterHTML();
    TNode container =
        m_currentDocument.createElement("<DIV id=\"PatternContainer\">PatternStrings</DIV>");
    m_currentDocument.Body().InsertBefore(container);
    TNode result;
    int32_t first = 0;
    int32_t last = 0;
    if (MatchStarPattern(source, pattern, TextLength(source), 1, false, first, last)) {
        TNode item = m_currentDocument.createElement("<DIV></DIV>");
        item.SetInnerHTML(
            source.substr(static_cast<size_t>(first - 1), static_cast<size_t>(last - first + 1)));
        container.InsertBefore(item);
        result = item;
    }
    m_patternContainer = container;
    return result;
}

} // namespace linkvane
