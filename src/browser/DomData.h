#pragma once

// The storage behind TNode. Only the document model's own files use it.

#include "browser/Dom.h"

#include "browser/BrowserUrl.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace linkvane::dom {

enum class TNamespace : uint8_t { Html, Svg, MathML };

struct TAttribute {
    std::string Name; ///< lower case for HTML elements
    std::string Value;
};

struct TNodeData {
    TNodeValueKind Kind = TNodeValueKind::Element; ///< Element, Text, Comment or Document
    TNamespace Namespace = TNamespace::Html;
    bool TemplateContentSkipped = false;
    mutable uint8_t RenderClass = 0xFF;     ///< how the tag renders as text; computed on first use
    const std::string* LocalName = nullptr; ///< as serialized ("div", "foreignObject")
    const std::string* TagName = nullptr;   ///< upper case, or "#text" etc.
    TNodeData* Parent = nullptr;
    TNodeData* FirstChild = nullptr;
    TNodeData* LastChild = nullptr;
    TNodeData* Prev = nullptr;
    TNodeData* Next = nullptr;
    std::string Text; ///< text and comment data
    std::vector<TAttribute> Attributes;
    int32_t SourceIndex = -1; ///< valid while Doc->AllVersion == Doc->Version
    int32_t SubtreeEnd = -1;  ///< All index one past the last descendant element
    uint64_t UniqueId = 0;
    int64_t ExternalId = -1;

    bool IsElement() const { return Kind == TNodeValueKind::Element; }
    const TAttribute* FindAttribute(std::string_view Name) const;
    TAttribute* FindAttribute(std::string_view Name);
};

/// The nodes of a document, in blocks that never move (node addresses stay
/// valid; detached nodes stay here too). Blocks grow with the document, so a
/// small fragment stays small and a large page needs few allocations.
class TNodeStore {
public:
    TNodeStore() = default;
    TNodeStore(const TNodeStore&) = delete;
    TNodeStore& operator=(const TNodeStore&) = delete;
    ~TNodeStore();
    TNodeData& Add();

private:
    struct TBlock {
        TNodeData* Nodes;
        size_t Used;
        size_t Size;
    };
    std::vector<TBlock> m_blocks;
};

struct TDocumentData : std::enable_shared_from_this<TDocumentData> {
    TDocumentData();
    TDocumentData(const TDocumentData&) = delete;
    TDocumentData& operator=(const TDocumentData&) = delete;

    TNodeStore Nodes;
    TNodeData* Root = nullptr; ///< the document node
    std::string URL;
    std::string Charset = "UTF-8";
    std::weak_ptr<TDocumentOwner> Owner;

    /// Bumped by every change of the tree or of an attribute.
    uint64_t Version = 0;
    /// Elements of the tree in document order, with SourceIndex and
    /// SubtreeEnd set; rebuilt on demand after a change.
    std::vector<TNodeData*> All;
    uint64_t AllVersion = ~uint64_t(0);
    /// The base URL, parsed once per version (Scheme empty when none).
    TUrlParts Base;
    uint64_t BaseVersion = ~uint64_t(0);
    /// The documents of FRAME and IFRAME elements (few, so kept aside).
    std::unordered_map<const TNodeData*, std::shared_ptr<TDocumentData>> ContentDocuments;

    TNodeData* NewNode(TNodeValueKind Kind);
    TNodeData* NewElement(std::string_view LocalName, TNamespace Ns = TNamespace::Html);
    TNodeData* NewText(std::string Text);
    /// Interned names: each name string lives as long as the document.
    const std::string* Intern(std::string_view Name);
    const std::string* InternUpper(std::string_view Name);

    void Changed() { ++Version; }
    const std::vector<TNodeData*>& EnsureAll();
    const TUrlParts& EnsureBase();
    std::string ResolveAddress(std::string_view Reference);

private:
    std::unordered_set<std::string> m_names;
    /// Unique ids taken from the process-wide counter in runs, not one by one.
    uint64_t m_nextId = 0;
    uint64_t m_idsLeft = 0;
};

/// A live collection: what it is over and the items it had at Version.
struct TCollectionData {
    enum class TSource : uint8_t {
        DocumentAll, ///< all elements of Doc
        ElementAll,  ///< elements below Root
        Children,    ///< child elements of Root
        ChildNodes,  ///< child nodes of Root
        Tags,        ///< items of Base with tag TagFilter
        Frames,      ///< FRAME and IFRAME elements of Doc (items answer their documents)
        Fixed,       ///< FixedItems, not live
    };
    TSource Source = TSource::Fixed;
    std::shared_ptr<TDocumentData> Doc;
    TNodeData* Root = nullptr;
    std::shared_ptr<TCollectionData> Base;
    std::string TagFilter; ///< upper case
    std::vector<TNode> FixedItems;

    uint64_t Version = ~uint64_t(0);
    std::vector<TNodeData*> Items;

    void Refresh();
    int32_t Length();
    TNode Item(int32_t Index);
};

/// Tree helpers shared by the model's files.
void AppendChild(TNodeData* Parent, TNodeData* Child);
void InsertChildBefore(TNodeData* Parent, TNodeData* Child, TNodeData* Ref);
void Detach(TNodeData* Node);
/// The next node in pre-order below Root (nullptr at the end).
inline TNodeData* NextInTree(TNodeData* Node, const TNodeData* Root) {
    if (Node->FirstChild)
        return Node->FirstChild;
    while (Node && Node != Root) {
        if (Node->Next)
            return Node->Next;
        Node = Node->Parent;
    }
    return nullptr;
}
/// The next node in pre-order below Root, skipping Node's children.
inline TNodeData* NextSkippingChildren(TNodeData* Node, const TNodeData* Root) {
    while (Node && Node != Root) {
        if (Node->Next)
            return Node->Next;
        Node = Node->Parent;
    }
    return nullptr;
}

bool IsVoidElement(const TNodeData* Node);
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);
std::string InnerTextOf(const TNodeData* Node);
std::string TextContentOf(const TNodeData* Node);
void SerializeNode(const TNodeData* Node, bool IncludeSelf, std::string& Out);
/// Parses Html in the context of Context (an element) into new nodes of Doc,
/// answered in order, detached.
std::vector<TNodeData*> ParseFragment(TDocumentData& Doc, const TNodeData* Context,
                                      std::string_view Html);

} // namespace linkvane::dom
