// Text of a subtree as a browser renders it, and HTML serialization.

#include "browser/DomData.h"

#include <unordered_map>

namespace linkvane::dom {
namespace {

/// Pre-order walk with a leave step, without recursion. Enter answers
/// whether to go into the node's children; Leave runs after the children of
/// each node that Enter went into.
template <class TEnter, class TLeave>
void Walk(const TNodeData* Root, bool IncludeRoot, TEnter Enter, TLeave Leave) {
    const TNodeData* n = IncludeRoot ? Root : Root->FirstChild;
    if (!n)
        return;
    for (;;) {
        if (Enter(n)) {
            if (n->FirstChild) {
                n = n->FirstChild;
                continue;
            }
            Leave(n);
        }
        for (;;) {
            if (n == Root)
                return;
            if (n->Next) {
                n = n->Next;
                break;
            }
            n = n->Parent;
            if (n == Root && !IncludeRoot)
                return;
            Leave(n);
        }
    }
}

enum class TRender : uint8_t { Inline, Block, Paragraph, Cell, Row, Break, Pre, Hidden };

TRender RenderOf(const TNodeData* n) {
    static const std::unordered_map<std::string, TRender> table = {
        {"HEAD", TRender::Hidden},      {"TITLE", TRender::Hidden},
        {"META", TRender::Hidden},      {"LINK", TRender::Hidden},
        {"BASE", TRender::Hidden},      {"STYLE", TRender::Hidden},
        {"SCRIPT", TRender::Hidden},    {"TEMPLATE", TRender::Hidden},
        {"NOEMBED", TRender::Hidden},   {"NOFRAMES", TRender::Hidden},
        {"PARAM", TRender::Hidden},     {"SOURCE", TRender::Hidden},
        {"TRACK", TRender::Hidden},     {"DATALIST", TRender::Hidden},
        {"AREA", TRender::Hidden},      {"RP", TRender::Hidden},
        {"IFRAME", TRender::Hidden},    {"CANVAS", TRender::Hidden},
        {"VIDEO", TRender::Hidden},     {"AUDIO", TRender::Hidden},
        {"OBJECT", TRender::Hidden},    {"EMBED", TRender::Hidden},
        {"BR", TRender::Break},         {"P", TRender::Paragraph},
        {"TD", TRender::Cell},          {"TH", TRender::Cell},
        {"TR", TRender::Row},           {"PRE", TRender::Pre},
        {"LISTING", TRender::Pre},      {"XMP", TRender::Pre},
        {"PLAINTEXT", TRender::Pre},    {"TEXTAREA", TRender::Pre},
        {"HTML", TRender::Block},       {"BODY", TRender::Block},
        {"ADDRESS", TRender::Block},    {"BLOCKQUOTE", TRender::Block},
        {"CENTER", TRender::Block},     {"DIALOG", TRender::Block},
        {"DIV", TRender::Block},        {"FIGURE", TRender::Block},
        {"FIGCAPTION", TRender::Block}, {"FOOTER", TRender::Block},
        {"FORM", TRender::Block},       {"HEADER", TRender::Block},
        {"HR", TRender::Block},         {"LEGEND", TRender::Block},
        {"MAIN", TRender::Block},       {"SEARCH", TRender::Block},
        {"ARTICLE", TRender::Block},    {"ASIDE", TRender::Block},
        {"H1", TRender::Block},         {"H2", TRender::Block},
        {"H3", TRender::Block},         {"H4", TRender::Block},
        {"H5", TRender::Block},         {"H6", TRender::Block},
        {"HGROUP", TRender::Block},     {"NAV", TRender::Block},
        {"SECTION", TRender::Block},    {"DIR", TRender::Block},
        {"DD", TRender::Block},         {"DL", TRender::Block},
        {"DT", TRender::Block},         {"MENU", TRender::Block},
        {"OL", TRender::Block},         {"UL", TRender::Block},
        {"LI", TRender::Block},         {"FIELDSET", TRender::Block},
        {"TABLE", TRender::Block},      {"CAPTION", TRender::Block},
        {"DETAILS", TRender::Block},    {"SUMMARY", TRender::Block},
        {"OPTION", TRender::Block},     {"OPTGROUP", TRender::Block},
        {"FRAMESET", TRender::Block},   {"FRAME", TRender::Block},
    };
    if (n->RenderClass == 0xFF) {
        auto it = table.find(*n->TagName);
        n->RenderClass = static_cast<uint8_t>(
            n->Namespace != TNamespace::Html || it == table.end() ? TRender::Inline : it->second);
    }
    if (!n->Attributes.empty() && n->FindAttribute("hidden"))
        return TRender::Hidden;
    return static_cast<TRender>(n->RenderClass);
}

bool IsCollapsible(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

/// Collects rendered text: white space runs collapse to one blank, blanks
/// at line starts and ends go, block boundaries ask for line breaks that
/// are written only between pieces of text.
class TTextBuilder {
public:
    void Text(const std::string& t, bool Pre) {
        if (Pre) {
            if (t.empty())
                return;
            StartPiece();
            m_out += t;
            m_lineStart = !m_out.empty() && m_out.back() == '\n';
            return;
        }
        // Runs of non-blank characters are copied whole.
        const size_t n = t.size();
        size_t i = 0;
        while (i < n) {
            if (IsCollapsible(t[i])) {
                m_space = true;
                ++i;
                continue;
            }
            size_t end = i + 1;
            while (end < n && !IsCollapsible(t[end]))
                ++end;
            StartPiece();
            m_out.append(t, i, end - i);
            m_lineStart = false;
            i = end;
        }
    }
    void RequireBreaks(int Count) {
        if (Count > m_breaks)
            m_breaks = Count;
        m_space = false;
    }
    /// A character of its own (BR's line feed, a cell's tab): written even at
    /// the very start; blanks before and after it go.
    void Literal(char c) {
        if (!m_out.empty() && m_breaks > 0)
            m_out.append(static_cast<size_t>(m_breaks), '\n');
        m_breaks = 0;
        m_space = false;
        m_out += c;
        m_lineStart = true;
    }
    std::string Take() { return std::move(m_out); }

private:
    void StartPiece() {
        if (m_breaks > 0) {
            if (!m_out.empty())
                m_out.append(static_cast<size_t>(m_breaks), '\n');
            m_breaks = 0;
            m_space = false;
            m_lineStart = true;
        }
        if (m_space && !m_lineStart && !m_out.empty())
            m_out += ' ';
        m_space = false;
    }

    std::string m_out;
    int m_breaks = 0;
    bool m_space = false;
    bool m_lineStart = true;
};

bool HasFollowingCell(const TNodeData* Cell) {
    for (const TNodeData* n = Cell->Next; n; n = n->Next)
        if (n->IsElement() && (*n->TagName == "TD" || *n->TagName == "TH"))
            return true;
    return false;
}

bool IsRawTextParent(const TNodeData* n) {
    if (!n || !n->IsElement() || n->Namespace != TNamespace::Html)
        return false;
    const std::string& t = *n->TagName;
    return t == "STYLE" || t == "SCRIPT" || t == "XMP" || t == "IFRAME" || t == "NOEMBED" ||
           t == "NOFRAMES" || t == "PLAINTEXT";
}

void AppendEscaped(std::string& Out, const std::string& Text, bool Attribute) {
    size_t start = 0;
    for (size_t i = 0; i < Text.size(); ++i) {
        const char c = Text[i];
        const char* rep = nullptr;
        size_t skip = 1;
        if (c == '&')
            rep = "&amp;";
        else if (c == '"' && Attribute)
            rep = "&quot;";
        else if (c == '<' && !Attribute)
            rep = "&lt;";
        else if (c == '>' && !Attribute)
            rep = "&gt;";
        else if (c == '\xC2' && i + 1 < Text.size() && Text[i + 1] == '\xA0') {
            rep = "&nbsp;";
            skip = 2;
        }
        if (rep) {
            Out.append(Text, start, i - start);
            Out += rep;
            i += skip - 1;
            start = i + 1;
        }
    }
    Out.append(Text, start, std::string::npos);
}

} // namespace

std::string TextContentOf(const TNodeData* Node) {
    if (Node->Kind == TNodeValueKind::Text || Node->Kind == TNodeValueKind::Comment)
        return Node->Text;
    std::string out;
    for (const TNodeData* n = Node->FirstChild; n; n = NextInTree(const_cast<TNodeData*>(n), Node))
        if (n->Kind == TNodeValueKind::Text)
            out += n->Text;
    return out;
}

std::string InnerTextOf(const TNodeData* Node) {
    if (Node->IsElement() && RenderOf(Node) == TRender::Hidden)
        return TextContentOf(Node);
    TTextBuilder text;
    int pre = Node->IsElement() && RenderOf(Node) == TRender::Pre ? 1 : 0;
    Walk(
        Node, false,
        [&](const TNodeData* n) {
            if (n->Kind == TNodeValueKind::Text) {
                text.Text(n->Text, pre > 0);
                return false;
            }
            if (!n->IsElement())
                return false;
            switch (RenderOf(n)) {
            case TRender::Hidden:
                return false;
            case TRender::Break:
                text.Literal('\n');
                return false;
            case TRender::Block:
            case TRender::Row:
                text.RequireBreaks(1);
                break;
            case TRender::Paragraph:
                text.RequireBreaks(2);
                break;
            case TRender::Pre:
                text.RequireBreaks(*n->TagName == "TEXTAREA" ? 0 : 1);
                ++pre;
                break;
            case TRender::Cell:
            case TRender::Inline:
                break;
            }
            return true;
        },
        [&](const TNodeData* n) {
            switch (RenderOf(n)) {
            case TRender::Block:
            case TRender::Row:
                text.RequireBreaks(1);
                break;
            case TRender::Paragraph:
                text.RequireBreaks(2);
                break;
            case TRender::Pre:
                --pre;
                text.RequireBreaks(*n->TagName == "TEXTAREA" ? 0 : 1);
                break;
            case TRender::Cell:
                if (HasFollowingCell(n))
                    text.Literal('\t');
                break;
            default:
                break;
            }
        });
    return text.Take();
}

void SerializeNode(const TNodeData* Node, bool IncludeSelf, std::string& Out) {
    Walk(
        Node, IncludeSelf,
        [&](const TNodeData* n) {
            switch (n->Kind) {
            case TNodeValueKind::Text:
                if (IsRawTextParent(n->Parent))
                    Out += n->Text;
                else
                    AppendEscaped(Out, n->Text, false);
                return false;
            case TNodeValueKind::Comment:
                Out += "<!--";
                Out += n->Text;
                Out += "-->";
                return false;
            case TNodeValueKind::Element:
                Out += '<';
                Out += *n->LocalName;
                for (const TAttribute& a : n->Attributes) {
                    Out += ' ';
                    Out += a.Name;
                    Out += "=\"";
                    AppendEscaped(Out, a.Value, true);
                    Out += '"';
                }
                Out += '>';
                return !IsVoidElement(n);
            default:
                return true;
            }
        },
        [&](const TNodeData* n) {
            if (n->IsElement()) {
                Out += "</";
                Out += *n->LocalName;
                Out += '>';
            }
        });
}

} // namespace linkvane::dom
