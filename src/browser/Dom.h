#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace linkvane {

namespace dom {
struct TNodeData;
struct TDocumentData;
struct TCollectionData;
} // namespace dom

class TNode;

/// What a node value holds.
enum class TNodeValueKind : uint8_t {
    Nothing,    ///< no value (a query that found nothing)
    Element,    ///< an element of a document
    Text,       ///< a text node ("#text")
    Comment,    ///< a comment node ("#comment")
    Document,   ///< a whole document ("#document")
    Collection, ///< an element collection (live unless made with MakeCollection)
    Number,     ///< a plain number (the 0 that a SOURCE step answers)
};

/// The engine behind a document. A document calls it when an element is
/// clicked, so each engine decides what a click does (the static engine
/// follows links and submits forms; a scripting engine clicks the live
/// element). Documents hold it weakly: a document that outlives its engine
/// simply ignores clicks.
class TDocumentOwner {
public:
    virtual ~TDocumentOwner() = default;
    virtual void ClickElement(const TNode& Element) = 0;
};

/// A node value: nothing, an element, a text or comment node, a document, an
/// element collection or a number. It is a cheap handle (copying shares the
/// underlying document), compares by identity, and keeps its document alive.
///
/// Members follow the document model the query engine and the runner use.
/// A member that the kind of value does not have (Length of an element, Body
/// of an element, anything of nothing) raises linkvane::Exception with the
/// message "'<member>' is not a member of <kind>"; callers test with
/// VarHasValue or catch the error. Texts are UTF-8.
///
/// Collections are 0-based and live: they see later changes of the document.
/// `All` is in document order (pre-order, elements only) and an element's
/// `SourceIndex` is its position in the document's `All`.
class TNode {
public:
    TNode() = default;

    /// The number value (kind Number).
    static TNode Number(int32_t Value);
    /// A fixed (not live) collection of the given nodes; nothing-values are
    /// left out. Used where an answer must be a collection of known items.
    static TNode MakeCollection(const std::vector<TNode>& Items);

    TNodeValueKind Kind() const { return m_kind; }
    bool IsNothing() const { return m_kind == TNodeValueKind::Nothing; }
    bool IsElement() const { return m_kind == TNodeValueKind::Element; }
    bool IsText() const { return m_kind == TNodeValueKind::Text; }
    bool IsDocument() const { return m_kind == TNodeValueKind::Document; }
    bool IsCollection() const { return m_kind == TNodeValueKind::Collection; }
    bool IsNumber() const { return m_kind == TNodeValueKind::Number; }
    /// Element, text, comment or document: a node of a tree.
    bool IsTreeNode() const;
    /// Kind Number: its value.
    int32_t NumberValue() const;

    /// Same node (or same collection object, or same number). Nothing equals nothing.
    bool operator==(const TNode& Other) const;
    bool operator!=(const TNode& Other) const { return !(*this == Other); }

    // --- document ---------------------------------------------------------
    /// The BODY element (or the FRAMESET of a frameset page); nothing when the
    /// document has neither.
    TNode Body() const;
    /// Every element of the document (of a document), or every element below
    /// this one (of an element), in document order.
    TNode All() const;
    /// The documents of the FRAME and IFRAME elements of this document, in
    /// document order. Item(i) answers the i-th frame's document, or nothing
    /// when that frame has no document.
    TNode Frames() const;
    /// The EMBED elements of the document.
    TNode Embeds() const;
    /// A new element owned by this document but not yet in its tree, made
    /// from an HTML fragment ("<DIV id=x>text</DIV>") or a plain tag name
    /// ("DIV"). A fragment that yields no element raises an error.
    TNode createElement(const std::string& Html) const;
    /// The root element (HTML).
    TNode DocumentElement() const;
    /// The document's address and the base URL that relative addresses are
    /// resolved against (the first BASE element with an href, else the address).
    std::string URL() const;
    std::string BaseURL() const;
    /// The character encoding the document was decoded from (WHATWG name).
    std::string Charset() const;
    /// The title (collapsed text of the first TITLE element).
    std::string Title() const;
    /// Sets the engine that handles clicks on this document's elements.
    void SetOwner(const std::shared_ptr<TDocumentOwner>& Owner) const;
    /// The document a node belongs to (itself for a document).
    TNode OwnerDocument() const;

    // --- collection -------------------------------------------------------
    int32_t Length() const;
    /// The item at a 0-based position; nothing when out of range.
    TNode Item(int32_t Index) const;
    /// The items whose tag name equals TagName, ignoring case; a live
    /// collection. Also offered by elements and documents (short for All.Tags).
    TNode Tags(const std::string& TagName) const;

    // --- node and element -------------------------------------------------
    /// Upper-case tag name of an element; "#text", "#comment", "#document"
    /// for the other node kinds.
    std::string TagName() const;
    std::string NodeName() const;
    /// The text of a text or comment node; empty for elements and documents.
    std::string NodeValue() const;
    /// The parent node (the document for the root element); nothing at the top.
    TNode ParentNode() const;
    /// The parent element; nothing for the root element and for non-elements.
    TNode ParentElement() const;
    TNode PreviousSibling() const;
    TNode NextSibling() const;
    TNode FirstChild() const;
    TNode LastChild() const;
    /// The child elements (live).
    TNode Children() const;
    /// All child nodes: elements, text and comments (live).
    TNode ChildNodes() const;

    /// The text as a browser renders it without style sheets: script, style,
    /// template and head content left out, BR and block boundaries as line
    /// breaks (LF), table cells separated by TAB, white space collapsed
    /// outside PRE and TEXTAREA. For a text node, its text.
    std::string InnerText() const;
    /// Read, the same as InnerText.
    std::string OuterText() const;
    /// The HTML serialization of the node including itself.
    std::string OuterHTML() const;
    /// The HTML serialization of the node's children.
    std::string InnerHTML() const;
    /// Replaces the children with the nodes parsed from Html in the context
    /// of this element.
    void SetInnerHTML(const std::string& Html) const;

    /// The attribute's value; empty when absent. Names ignore case. "href" and
    /// "src" answer the address resolved against the document's base URL.
    std::string GetAttribute(const std::string& Name) const;
    /// The attribute's value as written (no resolving); empty when absent.
    std::string GetRawAttribute(const std::string& Name) const;
    bool HasAttribute(const std::string& Name) const;
    void SetAttribute(const std::string& Name, const std::string& Value) const;
    /// The "href" attribute resolved against the base URL; empty when absent.
    std::string Href() const;
    /// The "src" attribute resolved against the base URL; empty when absent.
    std::string Src() const;
    /// The "name" attribute.
    std::string Name() const;
    /// The value of a form control or PARAM: the value attribute; the text of
    /// a TEXTAREA; an OPTION's text when it has no value attribute; the
    /// selected (or first) option of a SELECT.
    std::string Value() const;
    /// The element's position in the document's All; -1 when it is not in
    /// the document's tree (or is not an element).
    int32_t SourceIndex() const;
    /// A text unique to this node for the life of the process.
    std::string uniqueID() const;
    uint64_t UniqueNumber() const;
    /// Lets the document's engine handle a click on this element.
    void Click() const;
    /// Inserts NewChild (moved if already in a tree) before RefChild, or as
    /// the last child when RefChild is nothing; answers NewChild.
    TNode InsertBefore(const TNode& NewChild, const TNode& RefChild) const;
    TNode InsertBefore(const TNode& NewChild) const;
    /// Removes the node from its parent; answers the node.
    TNode RemoveNode() const;

    /// The document shown by a FRAME or IFRAME element; nothing when none.
    TNode ContentDocument() const;
    /// Attaches a document to a FRAME or IFRAME element (engines do this).
    void SetContentDocument(const TNode& Document) const;
    /// The number an engine attached to the element while building a
    /// snapshot (see TDocumentOptions::ExternalIdAttribute); -1 when none.
    int64_t ExternalId() const;

    /// For the document model's own use.
    dom::TNodeData* Data() const { return m_node; }
    const std::shared_ptr<dom::TDocumentData>& DocumentData() const { return m_doc; }
    static TNode FromData(const std::shared_ptr<dom::TDocumentData>& Doc, dom::TNodeData* Node);

private:
    void Require(bool Ok, const char* Member) const;
    dom::TNodeData* RequireTreeNode(const char* Member) const;
    dom::TNodeData* RequireElement(const char* Member) const;
    const std::shared_ptr<dom::TCollectionData>& RequireCollection(const char* Member) const;

    std::shared_ptr<dom::TDocumentData> m_doc;
    dom::TNodeData* m_node = nullptr;
    std::shared_ptr<dom::TCollectionData> m_coll;
    int32_t m_number = 0;
    TNodeValueKind m_kind = TNodeValueKind::Nothing;
};

/// Whether a node value holds something: false for nothing, true otherwise.
bool VarHasValue(const TNode& V);

/// How a document is built from bytes.
struct TDocumentOptions {
    /// The document's address (used for URL, BaseURL and resolving).
    std::string URL;
    /// The charset label of the HTTP Content-Type header, if any.
    std::string HttpCharset;
    /// The bytes are UTF-8 whatever they declare (a serialized snapshot).
    bool ForceUtf8 = false;
    /// When not empty: this attribute is taken off every element and its
    /// integer value kept as the element's ExternalId.
    std::string ExternalIdAttribute;
};

/// Parses an HTML document. The charset comes from a byte order mark, the
/// HTTP charset, the meta prescan, UTF-8 when the bytes are valid UTF-8, and
/// windows-1252 otherwise. Never fails: any bytes give a document.
TNode ParseHtmlDocument(std::string_view Bytes, const TDocumentOptions& Options = {});
/// The charset (WHATWG name, upper case) that ParseHtmlDocument decodes Bytes with.
std::string DetectHtmlCharset(std::string_view Bytes, const std::string& HttpCharset = "");
/// An empty document (<html><head></head><body></body></html>) at URL.
TNode BlankDocument(const std::string& URL = "about:blank");

/// Tree depth at which the parser stops nesting new elements (they become
/// siblings instead), as browsers do, so hostile pages parse in linear time.
constexpr int MaxTreeDepth = 512;

} // namespace linkvane
