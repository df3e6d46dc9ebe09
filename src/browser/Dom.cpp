#include "browser/Dom.h"

#include "browser/BrowserUrl.h"
#include "browser/DomData.h"
#include "support/Exception.h"
#include "support/TextTrim.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <memory>
#include <new>

namespace linkvane {
namespace dom {
namespace {

std::atomic<uint64_t> g_nextUniqueId{1};

char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}
char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

std::string AsciiUpperCopy(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        c = AsciiUpper(c);
    return r;
}

} // namespace

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

const TAttribute* TNodeData::FindAttribute(std::string_view Name) const {
    for (const TAttribute& a : Attributes)
        if (EqualsIgnoringAsciiCase(a.Name, Name))
            return &a;
    return nullptr;
}

TAttribute* TNodeData::FindAttribute(std::string_view Name) {
    for (TAttribute& a : Attributes)
        if (EqualsIgnoringAsciiCase(a.Name, Name))
            return &a;
    return nullptr;
}

TNodeStore::~TNodeStore() {
    for (const TBlock& b : m_blocks) {
        std::destroy_n(b.Nodes, b.Used);
        std::allocator<TNodeData>().deallocate(b.Nodes, b.Size);
    }
}

TNodeData& TNodeStore::Add() {
    if (m_blocks.empty() || m_blocks.back().Used == m_blocks.back().Size) {
        const size_t size =
            m_blocks.empty() ? 16 : std::min<size_t>(m_blocks.back().Size * 2, 4096);
        m_blocks.push_back({std::allocator<TNodeData>().allocate(size), 0, size});
    }
    TBlock& b = m_blocks.back();
    TNodeData* n = new (b.Nodes + b.Used) TNodeData();
    ++b.Used;
    return *n;
}

TDocumentData::TDocumentData() {
    Root = NewNode(TNodeValueKind::Document);
    Root->TagName = Root->LocalName = Intern("#document");
}

TNodeData* TDocumentData::NewNode(TNodeValueKind Kind) {
    static const std::string textName = "#text";
    static const std::string commentName = "#comment";
    TNodeData& n = Nodes.Add();
    n.Kind = Kind;
    if (m_idsLeft == 0) {
        constexpr uint64_t Run = 1024;
        m_nextId = g_nextUniqueId.fetch_add(Run, std::memory_order_relaxed);
        m_idsLeft = Run;
    }
    n.UniqueId = m_nextId++;
    --m_idsLeft;
    if (Kind == TNodeValueKind::Text)
        n.TagName = n.LocalName = &textName;
    else if (Kind == TNodeValueKind::Comment)
        n.TagName = n.LocalName = &commentName;
    return &n;
}

TNodeData* TDocumentData::NewElement(std::string_view LocalName, TNamespace Ns) {
    TNodeData* n = NewNode(TNodeValueKind::Element);
    n->Namespace = Ns;
    n->LocalName = Intern(LocalName);
    n->TagName = InternUpper(LocalName);
    return n;
}

TNodeData* TDocumentData::NewText(std::string Text) {
    TNodeData* n = NewNode(TNodeValueKind::Text);
    n->Text = std::move(Text);
    return n;
}

const std::string* TDocumentData::Intern(std::string_view Name) {
    return &*m_names.emplace(Name).first;
}

const std::string* TDocumentData::InternUpper(std::string_view Name) {
    for (char c : Name)
        if (c >= 'a' && c <= 'z')
            return Intern(AsciiUpperCopy(Name));
    return Intern(Name);
}

const std::vector<TNodeData*>& TDocumentData::EnsureAll() {
    if (AllVersion == Version)
        return All;
    for (TNodeData* n : All)
        n->SourceIndex = n->SubtreeEnd = -1;
    All.clear();
    TNodeData* n = Root->FirstChild;
    while (n) {
        if (n->IsElement()) {
            n->SourceIndex = static_cast<int32_t>(All.size());
            All.push_back(n);
        }
        if (n->FirstChild) {
            n = n->FirstChild;
            continue;
        }
        while (n) {
            if (n->IsElement())
                n->SubtreeEnd = static_cast<int32_t>(All.size());
            if (n->Next) {
                n = n->Next;
                break;
            }
            n = n->Parent;
            if (n == Root)
                n = nullptr;
        }
    }
    AllVersion = Version;
    return All;
}

const TUrlParts& TDocumentData::EnsureBase() {
    if (BaseVersion == Version)
        return Base;
    TUrlParts docUrl;
    if (!ParseAbsoluteURL(URL, docUrl))
        docUrl = TUrlParts();
    Base = docUrl;
    for (TNodeData* n : EnsureAll()) {
        if (*n->TagName == "BASE" && n->Namespace == TNamespace::Html) {
            if (const TAttribute* href = n->FindAttribute("href")) {
                TUrlParts resolved;
                if (ParseAbsoluteURL(
                        ResolveURL(docUrl.Scheme.empty() ? nullptr : &docUrl, href->Value),
                        resolved))
                    Base = resolved;
                break;
            }
        }
    }
    BaseVersion = Version;
    return Base;
}

std::string TDocumentData::ResolveAddress(std::string_view Reference) {
    const TUrlParts& base = EnsureBase();
    return ResolveURL(base.Scheme.empty() ? nullptr : &base, Reference);
}

void AppendChild(TNodeData* Parent, TNodeData* Child) {
    Child->Parent = Parent;
    Child->Prev = Parent->LastChild;
    Child->Next = nullptr;
    if (Parent->LastChild)
        Parent->LastChild->Next = Child;
    else
        Parent->FirstChild = Child;
    Parent->LastChild = Child;
}

void InsertChildBefore(TNodeData* Parent, TNodeData* Child, TNodeData* Ref) {
    if (!Ref) {
        AppendChild(Parent, Child);
        return;
    }
    Child->Parent = Parent;
    Child->Next = Ref;
    Child->Prev = Ref->Prev;
    if (Ref->Prev)
        Ref->Prev->Next = Child;
    else
        Parent->FirstChild = Child;
    Ref->Prev = Child;
}

void Detach(TNodeData* Node) {
    TNodeData* p = Node->Parent;
    if (!p)
        return;
    if (Node->Prev)
        Node->Prev->Next = Node->Next;
    else
        p->FirstChild = Node->Next;
    if (Node->Next)
        Node->Next->Prev = Node->Prev;
    else
        p->LastChild = Node->Prev;
    Node->Parent = Node->Prev = Node->Next = nullptr;
}

void TCollectionData::Refresh() {
    if (Source == TSource::Fixed || Version == Doc->Version)
        return;
    Items.clear();
    switch (Source) {
    case TSource::DocumentAll:
        Items = Doc->EnsureAll();
        break;
    case TSource::ElementAll: {
        const auto& all = Doc->EnsureAll();
        if (Root->SourceIndex >= 0) {
            Items.assign(all.begin() + Root->SourceIndex + 1, all.begin() + Root->SubtreeEnd);
        } else {
            for (TNodeData* n = NextInTree(Root, Root); n; n = NextInTree(n, Root))
                if (n->IsElement())
                    Items.push_back(n);
        }
        break;
    }
    case TSource::Children:
        for (TNodeData* n = Root->FirstChild; n; n = n->Next)
            if (n->IsElement())
                Items.push_back(n);
        break;
    case TSource::ChildNodes:
        for (TNodeData* n = Root->FirstChild; n; n = n->Next)
            Items.push_back(n);
        break;
    case TSource::Tags:
        Base->Refresh();
        for (TNodeData* n : Base->Items)
            if (n->IsElement() && *n->TagName == TagFilter)
                Items.push_back(n);
        break;
    case TSource::Frames:
        for (TNodeData* n : Doc->EnsureAll())
            if (*n->TagName == "FRAME" || *n->TagName == "IFRAME")
                Items.push_back(n);
        break;
    case TSource::Fixed:
        break;
    }
    Version = Doc->Version;
}

int32_t TCollectionData::Length() {
    if (Source == TSource::Fixed)
        return static_cast<int32_t>(FixedItems.size());
    Refresh();
    return static_cast<int32_t>(Items.size());
}

TNode TCollectionData::Item(int32_t Index) {
    if (Source == TSource::Fixed) {
        if (Index < 0 || Index >= static_cast<int32_t>(FixedItems.size()))
            return {};
        return FixedItems[Index];
    }
    Refresh();
    if (Index < 0 || Index >= static_cast<int32_t>(Items.size()))
        return {};
    TNodeData* n = Items[Index];
    if (Source == TSource::Frames) {
        auto it = Doc->ContentDocuments.find(n);
        if (it == Doc->ContentDocuments.end() || !it->second)
            return {};
        return TNode::FromData(it->second, it->second->Root);
    }
    return TNode::FromData(Doc, n);
}

bool IsVoidElement(const TNodeData* Node) {
    if (!Node->IsElement() || Node->Namespace != TNamespace::Html)
        return false;
    static const std::unordered_set<std::string> voids = {
        "AREA", "BASE",  "BASEFONT", "BGSOUND", "BR",   "COL",   "EMBED",  "FRAME", "HR",
        "IMG",  "INPUT", "KEYGEN",   "LINK",    "META", "PARAM", "SOURCE", "TRACK", "WBR"};
    return voids.count(*Node->TagName) > 0;
}

} // namespace dom

using dom::TCollectionData;
using dom::TDocumentData;
using dom::TNodeData;

namespace {

const char* KindText(TNodeValueKind Kind) {
    switch (Kind) {
    case TNodeValueKind::Nothing:
        return "nothing";
    case TNodeValueKind::Element:
        return "an element";
    case TNodeValueKind::Text:
        return "a text node";
    case TNodeValueKind::Comment:
        return "a comment";
    case TNodeValueKind::Document:
        return "a document";
    case TNodeValueKind::Collection:
        return "a collection";
    case TNodeValueKind::Number:
        return "a number";
    }
    return "nothing";
}

std::shared_ptr<TCollectionData> NewCollection(const std::shared_ptr<TDocumentData>& Doc,
                                               TCollectionData::TSource Source,
                                               TNodeData* Root = nullptr) {
    auto c = std::make_shared<TCollectionData>();
    c->Source = Source;
    c->Doc = Doc;
    c->Root = Root;
    return c;
}

bool IsAncestorOrSelf(const TNodeData* Candidate, const TNodeData* Node) {
    for (const TNodeData* n = Node; n; n = n->Parent)
        if (n == Candidate)
            return true;
    return false;
}

std::string CollapsedText(const std::string& Text) {
    std::string out;
    bool space = false;
    for (char c : Text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
            space = !out.empty();
            continue;
        }
        if (space)
            out += ' ';
        space = false;
        out += c;
    }
    return out;
}

} // namespace

TNode TNode::FromData(const std::shared_ptr<TDocumentData>& Doc, TNodeData* Node) {
    TNode r;
    if (!Doc || !Node)
        return r;
    r.m_doc = Doc;
    r.m_node = Node;
    r.m_kind = Node->Kind;
    return r;
}

TNode TNode::Number(int32_t Value) {
    TNode r;
    r.m_kind = TNodeValueKind::Number;
    r.m_number = Value;
    return r;
}

TNode TNode::MakeCollection(const std::vector<TNode>& Items) {
    TNode r;
    r.m_kind = TNodeValueKind::Collection;
    r.m_coll = std::make_shared<TCollectionData>();
    r.m_coll->Source = TCollectionData::TSource::Fixed;
    for (const TNode& n : Items)
        if (VarHasValue(n))
            r.m_coll->FixedItems.push_back(n);
    return r;
}

bool TNode::IsTreeNode() const {
    return m_node != nullptr;
}

int32_t TNode::NumberValue() const {
    Require(m_kind == TNodeValueKind::Number, "NumberValue");
    return m_number;
}

bool TNode::operator==(const TNode& Other) const {
    if (m_kind != Other.m_kind)
        return false;
    switch (m_kind) {
    case TNodeValueKind::Nothing:
        return true;
    case TNodeValueKind::Number:
        return m_number == Other.m_number;
    case TNodeValueKind::Collection:
        return m_coll == Other.m_coll;
    default:
        return m_node == Other.m_node;
    }
}

void TNode::Require(bool Ok, const char* Member) const {
    if (!Ok)
        throw Exception(FormatMessage("'%s' is not a member of %s", {Member, KindText(m_kind)}));
}

TNodeData* TNode::RequireTreeNode(const char* Member) const {
    Require(m_node != nullptr, Member);
    return m_node;
}

TNodeData* TNode::RequireElement(const char* Member) const {
    Require(m_kind == TNodeValueKind::Element, Member);
    return m_node;
}

const std::shared_ptr<TCollectionData>& TNode::RequireCollection(const char* Member) const {
    Require(m_kind == TNodeValueKind::Collection, Member);
    return m_coll;
}

// --- document --------------------------------------------------------------

TNode TNode::DocumentElement() const {
    Require(m_kind == TNodeValueKind::Document, "DocumentElement");
    for (TNodeData* n = m_node->FirstChild; n; n = n->Next)
        if (n->IsElement())
            return FromData(m_doc, n);
    return {};
}

TNode TNode::Body() const {
    Require(m_kind == TNodeValueKind::Document, "Body");
    TNode html = DocumentElement();
    if (!html.m_node)
        return {};
    for (TNodeData* n = html.m_node->FirstChild; n; n = n->Next)
        if (n->IsElement() && (*n->TagName == "BODY" || *n->TagName == "FRAMESET"))
            return FromData(m_doc, n);
    return {};
}

TNode TNode::All() const {
    Require(m_kind == TNodeValueKind::Document || m_kind == TNodeValueKind::Element, "All");
    TNode r;
    r.m_kind = TNodeValueKind::Collection;
    r.m_coll = m_kind == TNodeValueKind::Document
                   ? NewCollection(m_doc, TCollectionData::TSource::DocumentAll)
                   : NewCollection(m_doc, TCollectionData::TSource::ElementAll, m_node);
    return r;
}

TNode TNode::Frames() const {
    Require(m_kind == TNodeValueKind::Document, "Frames");
    TNode r;
    r.m_kind = TNodeValueKind::Collection;
    r.m_coll = NewCollection(m_doc, TCollectionData::TSource::Frames);
    return r;
}

TNode TNode::Embeds() const {
    Require(m_kind == TNodeValueKind::Document, "Embeds");
    return All().Tags("EMBED");
}

TNode TNode::createElement(const std::string& Html) const {
    Require(m_kind == TNodeValueKind::Document, "createElement");
    size_t b = Html.find_first_not_of(" \t\r\n\f");
    std::string_view text =
        b == std::string::npos ? std::string_view() : std::string_view(Html).substr(b);
    while (!text.empty() &&
           std::string_view(" \t\r\n\f").find(text.back()) != std::string_view::npos)
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '<') {
        for (TNodeData* n : dom::ParseFragment(*m_doc, nullptr, text))
            if (n->IsElement())
                return FromData(m_doc, n);
    } else if (!text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
                   return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '_' || c == ':';
               })) {
        return FromData(m_doc, m_doc->NewElement(LowerAscii(std::string(text))));
    }
    throw Exception(FormatMessage("Invalid argument to createElement: %s", {Html}));
}

std::string TNode::URL() const {
    Require(m_kind == TNodeValueKind::Document, "URL");
    return m_doc->URL;
}

std::string TNode::BaseURL() const {
    Require(m_kind == TNodeValueKind::Document, "BaseURL");
    const TUrlParts& base = m_doc->EnsureBase();
    return base.Scheme.empty() ? m_doc->URL : base.Serialize();
}

std::string TNode::Charset() const {
    Require(m_kind == TNodeValueKind::Document, "Charset");
    return m_doc->Charset;
}

std::string TNode::Title() const {
    Require(m_kind == TNodeValueKind::Document, "Title");
    for (TNodeData* n : m_doc->EnsureAll())
        if (*n->TagName == "TITLE")
            return CollapsedText(dom::TextContentOf(n));
    return {};
}

void TNode::SetOwner(const std::shared_ptr<TDocumentOwner>& Owner) const {
    Require(m_kind == TNodeValueKind::Document, "SetOwner");
    m_doc->Owner = Owner;
}

TNode TNode::OwnerDocument() const {
    RequireTreeNode("OwnerDocument");
    return FromData(m_doc, m_doc->Root);
}

// --- collection --------------------------------------------------------------

int32_t TNode::Length() const {
    return RequireCollection("Length")->Length();
}

TNode TNode::Item(int32_t Index) const {
    return RequireCollection("Item")->Item(Index);
}

TNode TNode::Tags(const std::string& TagName) const {
    if (m_kind == TNodeValueKind::Document || m_kind == TNodeValueKind::Element)
        return All().Tags(TagName);
    const auto& base = RequireCollection("Tags");
    std::string want = UpperAscii(TagName);
    TNode r;
    r.m_kind = TNodeValueKind::Collection;
    if (base->Source == TCollectionData::TSource::Fixed) {
        r.m_coll = std::make_shared<TCollectionData>();
        for (const TNode& n : base->FixedItems)
            if (n.m_kind == TNodeValueKind::Element && *n.m_node->TagName == want)
                r.m_coll->FixedItems.push_back(n);
        return r;
    }
    r.m_coll = NewCollection(base->Doc, TCollectionData::TSource::Tags);
    r.m_coll->Base = base;
    r.m_coll->TagFilter = std::move(want);
    return r;
}

// --- node and element --------------------------------------------------------

std::string TNode::TagName() const {
    return *RequireTreeNode("TagName")->TagName;
}

std::string TNode::NodeName() const {
    return *RequireTreeNode("NodeName")->TagName;
}

std::string TNode::NodeValue() const {
    TNodeData* n = RequireTreeNode("NodeValue");
    return (n->Kind == TNodeValueKind::Text || n->Kind == TNodeValueKind::Comment) ? n->Text
                                                                                   : std::string();
}

TNode TNode::ParentNode() const {
    return FromData(m_doc, RequireTreeNode("ParentNode")->Parent);
}

TNode TNode::ParentElement() const {
    TNodeData* p = RequireTreeNode("ParentElement")->Parent;
    return (p && p->IsElement()) ? FromData(m_doc, p) : TNode();
}

TNode TNode::PreviousSibling() const {
    return FromData(m_doc, RequireTreeNode("PreviousSibling")->Prev);
}

TNode TNode::NextSibling() const {
    return FromData(m_doc, RequireTreeNode("NextSibling")->Next);
}

TNode TNode::FirstChild() const {
    return FromData(m_doc, RequireTreeNode("FirstChild")->FirstChild);
}

TNode TNode::LastChild() const {
    return FromData(m_doc, RequireTreeNode("LastChild")->LastChild);
}

TNode TNode::Children() const {
    TNode r;
    r.m_kind = TNodeValueKind::Collection;
    r.m_coll =
        NewCollection(m_doc, TCollectionData::TSource::Children, RequireTreeNode("Children"));
    return r;
}

TNode TNode::ChildNodes() const {
    TNode r;
    r.m_kind = TNodeValueKind::Collection;
    r.m_coll =
        NewCollection(m_doc, TCollectionData::TSource::ChildNodes, RequireTreeNode("ChildNodes"));
    return r;
}

std::string TNode::InnerText() const {
    TNodeData* n = RequireTreeNode("InnerText");
    if (n->Kind == TNodeValueKind::Text)
        return n->Text;
    if (n->Kind == TNodeValueKind::Comment)
        return {};
    return dom::InnerTextOf(n);
}

std::string TNode::OuterText() const {
    RequireTreeNode("OuterText");
    return InnerText();
}

std::string TNode::OuterHTML() const {
    TNodeData* n = RequireTreeNode("OuterHTML");
    std::string out;
    dom::SerializeNode(n, n->Kind != TNodeValueKind::Document, out);
    return out;
}

std::string TNode::InnerHTML() const {
    TNodeData* n = RequireTreeNode("InnerHTML");
    std::string out;
    dom::SerializeNode(n, false, out);
    return out;
}

void TNode::SetInnerHTML(const std::string& Html) const {
    TNodeData* n = RequireElement("InnerHTML");
    std::vector<TNodeData*> parsed = dom::ParseFragment(*m_doc, n, Html);
    while (n->FirstChild)
        dom::Detach(n->FirstChild);
    for (TNodeData* c : parsed)
        dom::AppendChild(n, c);
    m_doc->Changed();
}

std::string TNode::GetAttribute(const std::string& Name) const {
    TNodeData* n = RequireElement("GetAttribute");
    const dom::TAttribute* a = n->FindAttribute(Name);
    if (!a)
        return {};
    if (dom::EqualsIgnoringAsciiCase(Name, "href") || dom::EqualsIgnoringAsciiCase(Name, "src"))
        return m_doc->ResolveAddress(a->Value);
    return a->Value;
}

std::string TNode::GetRawAttribute(const std::string& Name) const {
    const dom::TAttribute* a = RequireElement("GetRawAttribute")->FindAttribute(Name);
    return a ? a->Value : std::string();
}

bool TNode::HasAttribute(const std::string& Name) const {
    return RequireElement("HasAttribute")->FindAttribute(Name) != nullptr;
}

void TNode::SetAttribute(const std::string& Name, const std::string& Value) const {
    TNodeData* n = RequireElement("SetAttribute");
    if (dom::TAttribute* a = n->FindAttribute(Name))
        a->Value = Value;
    else
        n->Attributes.push_back({LowerAscii(Name), Value});
    m_doc->Changed();
}

std::string TNode::Href() const {
    const dom::TAttribute* a = RequireElement("Href")->FindAttribute("href");
    return a ? m_doc->ResolveAddress(a->Value) : std::string();
}

std::string TNode::Src() const {
    const dom::TAttribute* a = RequireElement("Src")->FindAttribute("src");
    return a ? m_doc->ResolveAddress(a->Value) : std::string();
}

std::string TNode::Name() const {
    const dom::TAttribute* a = RequireElement("Name")->FindAttribute("name");
    return a ? a->Value : std::string();
}

std::string TNode::Value() const {
    TNodeData* n = RequireElement("Value");
    const std::string& tag = *n->TagName;
    if (tag == "TEXTAREA")
        return dom::TextContentOf(n);
    if (tag == "OPTION") {
        const dom::TAttribute* a = n->FindAttribute("value");
        return a ? a->Value : CollapsedText(dom::TextContentOf(n));
    }
    if (tag == "SELECT") {
        TNode options = Tags("OPTION");
        TNode chosen;
        for (int32_t i = 0, count = options.Length(); i < count; ++i) {
            TNode o = options.Item(i);
            if (!chosen.m_node || o.m_node->FindAttribute("selected")) {
                chosen = o;
                if (o.m_node->FindAttribute("selected"))
                    break;
            }
        }
        return chosen.m_node ? chosen.Value() : std::string();
    }
    const dom::TAttribute* a = n->FindAttribute("value");
    return a ? a->Value : std::string();
}

int32_t TNode::SourceIndex() const {
    TNodeData* n = RequireTreeNode("SourceIndex");
    if (!n->IsElement())
        return -1;
    m_doc->EnsureAll();
    return n->SourceIndex;
}

std::string TNode::uniqueID() const {
    return "lvid" + std::to_string(RequireTreeNode("uniqueID")->UniqueId);
}

uint64_t TNode::UniqueNumber() const {
    return RequireTreeNode("UniqueNumber")->UniqueId;
}

void TNode::Click() const {
    RequireElement("Click");
    if (auto owner = m_doc->Owner.lock())
        owner->ClickElement(*this);
}

TNode TNode::InsertBefore(const TNode& NewChild, const TNode& RefChild) const {
    Require(m_kind == TNodeValueKind::Element || m_kind == TNodeValueKind::Document,
            "InsertBefore");
    TNodeData* child = NewChild.m_node;
    if (!child || child->Kind == TNodeValueKind::Document || NewChild.m_doc != m_doc)
        throw Exception("Invalid argument to InsertBefore");
    if (IsAncestorOrSelf(child, m_node))
        throw Exception("InsertBefore would put a node inside itself");
    TNodeData* ref = RefChild.m_node;
    if (ref && ref->Parent != m_node)
        throw Exception("The reference node of InsertBefore is not a child of this node");
    if (ref == child)
        return NewChild;
    dom::Detach(child);
    dom::InsertChildBefore(m_node, child, ref);
    m_doc->Changed();
    return NewChild;
}

TNode TNode::InsertBefore(const TNode& NewChild) const {
    return InsertBefore(NewChild, TNode());
}

TNode TNode::RemoveNode() const {
    TNodeData* n = RequireTreeNode("RemoveNode");
    if (n->Parent) {
        dom::Detach(n);
        m_doc->Changed();
    }
    return *this;
}

TNode TNode::ContentDocument() const {
    TNodeData* n = RequireElement("ContentDocument");
    auto it = m_doc->ContentDocuments.find(n);
    if (it == m_doc->ContentDocuments.end() || !it->second)
        return {};
    return FromData(it->second, it->second->Root);
}

void TNode::SetContentDocument(const TNode& Document) const {
    TNodeData* n = RequireElement("SetContentDocument");
    if (Document.m_kind != TNodeValueKind::Document && Document.m_kind != TNodeValueKind::Nothing)
        throw Exception("Invalid argument to SetContentDocument");
    if (Document.m_doc)
        m_doc->ContentDocuments[n] = Document.m_doc;
    else
        m_doc->ContentDocuments.erase(n);
}

int64_t TNode::ExternalId() const {
    return RequireElement("ExternalId")->ExternalId;
}

bool VarHasValue(const TNode& V) {
    return !V.IsNothing();
}

} // namespace linkvane
