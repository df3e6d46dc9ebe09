// Builds our documents from MyHTML's HTML5 tree. MyHTML is used here and
// nowhere else.

#include "browser/Dom.h"
#include "browser/DomData.h"

#include <myencoding/encoding.h>
#include <myhtml/callback.h>
#include <myhtml/myhtml.h>
#include <myhtml/tree.h>

#include <QByteArray>
#include <QStringDecoder>

#include <charconv>
#include <cstring>
#include <unordered_set>

namespace linkvane {
namespace dom {
namespace {

/// One MyHTML instance per thread (the parser state is not shared).
class TMyHtml {
public:
    TMyHtml() {
        m_handle = myhtml_create();
        myhtml_init(m_handle, MyHTML_OPTIONS_PARSE_MODE_SINGLE, 1, 0);
    }
    ~TMyHtml() { myhtml_destroy(m_handle); }
    TMyHtml(const TMyHtml&) = delete;
    TMyHtml& operator=(const TMyHtml&) = delete;
    myhtml_t* Handle() const { return m_handle; }

private:
    myhtml_t* m_handle;
};

myhtml_t* MyHtml() {
    thread_local TMyHtml instance;
    return instance.Handle();
}

/// Keeps the stack of open elements at most MaxTreeDepth deep. Tree
/// construction checks element scope by walking that stack for every tag,
/// which makes deep nesting quadratic; browsers cap the depth the same way.
/// A start tag that would open an element below the cap is handed to the
/// tree builder as a void element (so nothing is pushed) and gets its own
/// tag back as soon as its node is inserted: the element is kept, its
/// content becomes its following siblings.
struct TDepthGuard {
    myhtml_token_node_t* Pending = nullptr;
    myhtml_tag_id_t OriginalTag = 0;
};

bool KeepsItsTag(myhtml_tag_id_t Tag) {
    switch (Tag) {
    // These switch the tokenizer to raw text and close right after it.
    case MyHTML_TAG_SCRIPT:
    case MyHTML_TAG_STYLE:
    case MyHTML_TAG_TEXTAREA:
    case MyHTML_TAG_TITLE:
    case MyHTML_TAG_XMP:
    case MyHTML_TAG_IFRAME:
    case MyHTML_TAG_NOEMBED:
    case MyHTML_TAG_NOFRAMES:
    case MyHTML_TAG_NOSCRIPT:
    case MyHTML_TAG_PLAINTEXT:
    // These never nest below the body.
    case MyHTML_TAG_HTML:
    case MyHTML_TAG_HEAD:
    case MyHTML_TAG_BODY:
    case MyHTML_TAG_FRAMESET:
        return true;
    default:
        return false;
    }
}

void* BeforeToken(myhtml_tree_t* Tree, myhtml_token_node_t* Token, void* Ctx) {
    auto* guard = static_cast<TDepthGuard*>(Ctx);
    guard->Pending = nullptr;
    if ((Token->type & MyHTML_TOKEN_TYPE_CLOSE) || Token->tag_id < MyHTML_TAG_A ||
        Token->tag_id == MyHTML_TAG__END_OF_FILE || KeepsItsTag(Token->tag_id))
        return Ctx;
    if (Tree->open_elements && Tree->open_elements->length >= static_cast<size_t>(MaxTreeDepth)) {
        guard->Pending = Token;
        guard->OriginalTag = Token->tag_id;
        Token->tag_id = MyHTML_TAG_WBR;
        Token->type = static_cast<myhtml_token_type>(Token->type | MyHTML_TOKEN_TYPE_CLOSE_SELF);
    }
    return Ctx;
}

void NodeInserted(myhtml_tree_t*, myhtml_tree_node_t* Node, void* Ctx) {
    auto* guard = static_cast<TDepthGuard*>(Ctx);
    if (guard->Pending && Node->token == guard->Pending) {
        Node->tag_id = guard->OriginalTag;
        guard->Pending = nullptr;
    }
}

/// A MyHTML tree for one parse.
class TTree {
public:
    TTree() {
        m_tree = myhtml_tree_create();
        m_ok = m_tree && myhtml_tree_init(m_tree, MyHtml()) == MyHTML_STATUS_OK;
        if (m_ok) {
            myhtml_callback_before_token_done_set(m_tree, BeforeToken, &m_guard);
            myhtml_callback_tree_node_insert_set(m_tree, NodeInserted, &m_guard);
        }
    }
    ~TTree() {
        if (m_tree)
            myhtml_tree_destroy(m_tree);
    }
    TTree(const TTree&) = delete;
    TTree& operator=(const TTree&) = delete;
    bool Ok() const { return m_ok; }
    myhtml_tree_t* Get() const { return m_tree; }

private:
    myhtml_tree_t* m_tree = nullptr;
    bool m_ok = false;
    TDepthGuard m_guard;
};

/// Copies MyHTML nodes into a document, caching interned names per tag id.
class TConverter {
public:
    TConverter(TDocumentData& Doc, myhtml_tree_t* Tree, const std::string& ExternalIdAttribute)
        : m_doc(Doc), m_tree(Tree), m_externalId(ExternalIdAttribute) {}

    /// Converts the children of Source (not Source itself) and appends them
    /// to Target. The walk is a loop, whatever the depth.
    void ConvertChildren(myhtml_tree_node_t* Source, TNodeData* Target,
                         std::vector<TNodeData*>* All = nullptr) {
        // With All, the elements are listed in document order on the way,
        // with their SourceIndex and SubtreeEnd, so the document needs no
        // second walk for its All collection.
        auto leave = [All](TNodeData* n) {
            if (All && n && n->IsElement())
                n->SubtreeEnd = static_cast<int32_t>(All->size());
        };
        myhtml_tree_node_t* s = Source->child;
        TNodeData* parent = Target;
        while (s) {
            TNodeData* d = Convert(s);
            if (d) {
                AppendChild(parent, d);
                if (All && d->IsElement()) {
                    d->SourceIndex = static_cast<int32_t>(All->size());
                    All->push_back(d);
                }
            }
            if (d && d->IsElement() && s->child) {
                if (s->tag_id != MyHTML_TAG_TEMPLATE) {
                    parent = d;
                    s = s->child;
                    continue;
                }
                d->TemplateContentSkipped = true;
            }
            leave(d);
            // Up until a node with a next sibling; our parent follows along.
            for (;;) {
                if (s->next) {
                    s = s->next;
                    break;
                }
                s = s->parent;
                if (!s || s == Source) {
                    s = nullptr;
                    break;
                }
                leave(parent);
                parent = parent->Parent;
            }
        }
    }

private:
    TNodeData* Convert(myhtml_tree_node_t* s) {
        TNodeData* d = nullptr;
        switch (s->tag_id) {
        case MyHTML_TAG__TEXT: {
            size_t len = 0;
            const char* text = myhtml_node_text(s, &len);
            d = m_doc.NewText(std::string(text ? text : "", text ? len : 0));
            break;
        }
        case MyHTML_TAG__COMMENT: {
            size_t len = 0;
            const char* text = myhtml_node_text(s, &len);
            d = m_doc.NewNode(TNodeValueKind::Comment);
            d->Text.assign(text ? text : "", text ? len : 0);
            break;
        }
        case MyHTML_TAG__DOCTYPE:
        case MyHTML_TAG__UNDEF:
        case MyHTML_TAG__END_OF_FILE:
            return nullptr;
        default:
            d = NewElement(s);
            break;
        }
        return d;
    }

    TNodeData* NewElement(myhtml_tree_node_t* s) {
        TNodeData* d = m_doc.NewNode(TNodeValueKind::Element);
        const auto& names = NamesOf(s->tag_id);
        d->LocalName = names.first;
        d->TagName = names.second;
        switch (s->ns) {
        case MyHTML_NAMESPACE_SVG:
            d->Namespace = TNamespace::Svg;
            break;
        case MyHTML_NAMESPACE_MATHML:
            d->Namespace = TNamespace::MathML;
            break;
        default:
            break;
        }
        myhtml_tree_attr_t* first = myhtml_node_attribute_first(s);
        if (first) {
            size_t count = 0;
            for (myhtml_tree_attr_t* a = first; a; a = myhtml_attribute_next(a))
                ++count;
            d->Attributes.reserve(count);
        }
        for (myhtml_tree_attr_t* a = first; a; a = myhtml_attribute_next(a)) {
            size_t keyLen = 0, valueLen = 0;
            const char* key = myhtml_attribute_key(a, &keyLen);
            const char* value = myhtml_attribute_value(a, &valueLen);
            std::string_view name(key ? key : "", key ? keyLen : 0);
            std::string_view val(value ? value : "", value ? valueLen : 0);
            if (name.empty())
                continue;
            if (!m_externalId.empty() && name == m_externalId) {
                int64_t id = -1;
                std::from_chars(val.data(), val.data() + val.size(), id);
                d->ExternalId = id;
                continue;
            }
            if (IsDuplicate(d, name))
                continue;
            d->Attributes.push_back({std::string(name), std::string(val)});
        }
        return d;
    }

    // The first of duplicate attributes wins, as in tree construction.
    bool IsDuplicate(TNodeData* d, std::string_view name) {
        if (d->Attributes.size() < 16) {
            for (const TAttribute& a : d->Attributes)
                if (a.Name == name)
                    return true;
            return false;
        }
        if (m_seenFor != d) {
            m_seen.clear();
            for (const TAttribute& a : d->Attributes)
                m_seen.insert(a.Name);
            m_seenFor = d;
        }
        return !m_seen.insert(std::string(name)).second;
    }

    const std::pair<const std::string*, const std::string*>& NamesOf(myhtml_tag_id_t tag) {
        if (tag >= m_names.size())
            m_names.resize(tag + 1, {nullptr, nullptr});
        auto& entry = m_names[tag];
        if (!entry.first) {
            size_t len = 0;
            const char* name = myhtml_tag_name_by_id(m_tree, tag, &len);
            std::string_view local(name ? name : "unknown", name ? len : 7);
            entry.first = m_doc.Intern(local);
            entry.second = m_doc.InternUpper(local);
        }
        return entry;
    }

    TDocumentData& m_doc;
    myhtml_tree_t* m_tree;
    const std::string& m_externalId;
    std::vector<std::pair<const std::string*, const std::string*>> m_names;
    std::unordered_set<std::string> m_seen;
    TNodeData* m_seenFor = nullptr;
};

std::string_view TrimmedLabel(std::string_view s) {
    auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
    };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front())
        s = s.substr(1, s.size() - 2);
    return s;
}

/// Whether Bytes are well-formed UTF-8 with at least one non-ASCII
/// character; a sequence cut off at the very end (a partial load) counts as
/// well-formed.
bool LooksLikeUtf8(std::string_view Bytes) {
    bool nonAscii = false;
    size_t i = 0;
    const size_t n = Bytes.size();
    while (i < n) {
        auto c = static_cast<unsigned char>(Bytes[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        nonAscii = true;
        size_t len;
        unsigned char lo = 0x80, hi = 0xBF;
        if (c >= 0xC2 && c <= 0xDF)
            len = 2;
        else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            if (c == 0xE0)
                lo = 0xA0;
            if (c == 0xED)
                hi = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            if (c == 0xF0)
                lo = 0x90;
            if (c == 0xF4)
                hi = 0x8F;
        } else
            return false;
        for (size_t k = 1; k < len; ++k) {
            if (i + k >= n)
                return true;
            auto t = static_cast<unsigned char>(Bytes[i + k]);
            if (t < (k == 1 ? lo : 0x80) || t > (k == 1 ? hi : 0xBF))
                return false;
        }
        i += len;
    }
    return nonAscii;
}

struct TEncodingChoice {
    myencoding_t Encoding = MyENCODING_WINDOWS_1252;
    size_t BomLength = 0;
};

TEncodingChoice ChooseEncoding(std::string_view Bytes, std::string_view HttpCharset) {
    TEncodingChoice choice;
    myencoding_t e = MyENCODING_DEFAULT;
    const char* rest = nullptr;
    size_t restSize = 0;
    // 1. A byte order mark.
    if (myencoding_detect_and_cut_bom(Bytes.data(), Bytes.size(), &e, &rest, &restSize)) {
        choice.Encoding = e;
        choice.BomLength = Bytes.size() - restSize;
        return choice;
    }
    // 2. The transport's charset.
    std::string_view label = TrimmedLabel(HttpCharset);
    if (!label.empty() && myencoding_by_name(label.data(), label.size(), &e)) {
        choice.Encoding = e;
        return choice;
    }
    // 3. The meta prescan of the first 1024 bytes. UTF-16 named in the page
    // itself means UTF-8, x-user-defined means windows-1252.
    e = myencoding_prescan_stream_to_determine_encoding(Bytes.data(),
                                                        std::min<size_t>(Bytes.size(), 1024));
    if (e != MyENCODING_NOT_DETERMINED) {
        if (e == MyENCODING_UTF_16LE || e == MyENCODING_UTF_16BE)
            e = MyENCODING_UTF_8;
        if (e == MyENCODING_X_USER_DEFINED)
            e = MyENCODING_WINDOWS_1252;
        choice.Encoding = e;
        return choice;
    }
    // 4. Unlabelled: UTF-8 when the bytes are UTF-8, else windows-1252.
    choice.Encoding = LooksLikeUtf8(Bytes) ? MyENCODING_UTF_8 : MyENCODING_WINDOWS_1252;
    return choice;
}

std::string EncodingName(myencoding_t e) {
    size_t len = 0;
    const char* name = myencoding_name_by_id(e, &len);
    return name ? std::string(name, len) : std::string("UTF-8");
}

myhtml_tag_id_t ContextTag(myhtml_tree_t* Tree, const TNodeData* Context) {
    if (!Context || !Context->IsElement() || Context->Namespace != TNamespace::Html)
        return MyHTML_TAG_BODY;
    const std::string& local = *Context->LocalName;
    myhtml_tag_id_t id = myhtml_tag_id_by_name(Tree, local.data(), local.size());
    if (id == MyHTML_TAG__UNDEF || id >= MyHTML_TAG_LAST_ENTRY)
        return MyHTML_TAG_DIV;
    return id;
}

} // namespace

std::vector<TNodeData*> ParseFragment(TDocumentData& Doc, const TNodeData* Context,
                                      std::string_view Html) {
    TTree tree;
    if (!tree.Ok())
        return {};
    myhtml_tag_id_t context = ContextTag(tree.Get(), Context);
    if (myhtml_parse_fragment(tree.Get(), MyENCODING_UTF_8, Html.data(), Html.size(), context,
                              MyHTML_NAMESPACE_HTML) != MyHTML_STATUS_OK)
        return {};
    myhtml_tree_node_t* root = myhtml_tree_get_node_html(tree.Get());
    if (!root)
        return {};
    // The fragment's nodes are built under a holder element so that the
    // walk can append to a parent, then taken out of it.
    TNodeData* holder = Doc.NewNode(TNodeValueKind::Element);
    holder->LocalName = holder->TagName = Doc.Intern("#fragment");
    static const std::string noExternalId;
    TConverter converter(Doc, tree.Get(), noExternalId);
    converter.ConvertChildren(root, holder);
    std::vector<TNodeData*> nodes;
    while (holder->FirstChild) {
        nodes.push_back(holder->FirstChild);
        Detach(holder->FirstChild);
    }
    return nodes;
}

} // namespace dom

std::string DetectHtmlCharset(std::string_view Bytes, const std::string& HttpCharset) {
    return dom::EncodingName(dom::ChooseEncoding(Bytes, HttpCharset).Encoding);
}

TNode ParseHtmlDocument(std::string_view Bytes, const TDocumentOptions& Options) {
    auto doc = std::make_shared<dom::TDocumentData>();
    doc->URL = Options.URL;
    dom::TEncodingChoice choice;
    if (Options.ForceUtf8) {
        choice.Encoding = MyENCODING_UTF_8;
        if (Bytes.size() >= 3 && std::memcmp(Bytes.data(), "\xEF\xBB\xBF", 3) == 0)
            choice.BomLength = 3;
    } else {
        choice = dom::ChooseEncoding(Bytes, Options.HttpCharset);
    }
    doc->Charset = dom::EncodingName(choice.Encoding);
    Bytes.remove_prefix(choice.BomLength);
    // MyHTML's Shift_JIS decoder keeps the first lead byte for every later
    // character, and its GB18030 decoder gets four-byte sequences wrong;
    // Qt's decoders are used for these two.
    QByteArray decoded;
    if (choice.Encoding == MyENCODING_SHIFT_JIS || choice.Encoding == MyENCODING_GB18030) {
        QStringDecoder decoder(doc->Charset.c_str());
        if (decoder.isValid()) {
            decoded = QString(decoder.decode(QByteArrayView(Bytes.data(),
                                                            static_cast<qsizetype>(Bytes.size()))))
                          .toUtf8();
            Bytes = std::string_view(decoded.constData(), static_cast<size_t>(decoded.size()));
            choice.Encoding = MyENCODING_UTF_8;
        }
    }

    dom::TTree tree;
    if (tree.Ok() &&
        myhtml_parse(tree.Get(), choice.Encoding, Bytes.data(), Bytes.size()) == MyHTML_STATUS_OK) {
        if (myhtml_tree_node_t* root = myhtml_tree_get_document(tree.Get())) {
            dom::TConverter converter(*doc, tree.Get(), Options.ExternalIdAttribute);
            converter.ConvertChildren(root, doc->Root, &doc->All);
            doc->AllVersion = doc->Version;
        }
    }
    if (!doc->Root->FirstChild) {
        // A parser failure still gives a document.
        dom::TNodeData* html = doc->NewElement("html");
        dom::AppendChild(doc->Root, html);
        dom::AppendChild(html, doc->NewElement("head"));
        dom::AppendChild(html, doc->NewElement("body"));
        doc->Changed();
    }
    return TNode::FromData(doc, doc->Root);
}

TNode BlankDocument(const std::string& URL) {
    TDocumentOptions options;
    options.URL = URL;
    options.ForceUtf8 = true;
    return ParseHtmlDocument("", options);
}

} // namespace linkvane
