// Serializes the live page for the document model of the browser engine.
//
// Runs in the engine's own script world, so page scripts can neither see nor
// disturb the state kept here. Called as a function with one JSON argument:
//   { token: "<token of the snapshot the engine holds>", generation: <number>,
//     force: <bool>, numbered: <bool>, idAttribute: "<attribute name>" }
// Answers { unchanged: true } when neither the page nor any readable frame
// changed since that snapshot (and force is false), else
//   { token, generation, docs: [ { url, html, frameIndex, count, numbered } ] }
// docs[0] is the page, each further entry the document of a FRAME or IFRAME
// element; frameIndex is that element's index among the elements of the
// document listed before it (in docs, "parent"). Frames of another origin
// cannot be read and are left out.
//
// For each document, lists[document's position in docs] keeps its live
// elements in document order, so that a click on the snapshot reaches the
// live element by its index. Two ways of serializing:
// - the browser's own serializer (fast); the engine checks that parsing the
//   text gives as many elements as the page holds (count), so that an
//   element's position in the parsed document is its index;
// - numbered (when that check failed, or the page is not HTML): every element
//   carries idAttribute with its index, so the engine finds the index even
//   where the parser rebuilds the tree differently.
(function (args) {
    'use strict';
    const maxDocuments = 64;

    // Changes of inline style (animations) leave the snapshot as good as it was.
    const matters = (record) => record.type !== 'attributes' || record.attributeName !== 'style';

    let state = window.__linkvaneSnapshot;
    if (!state) {
        state = {
            token: String(Date.now()) + '.' + String(Math.random()).slice(2),
            generation: 0,
            dirty: true,
            lists: [],
            documents: [],
            observed: new WeakSet(),
            observer: null,
        };
        state.observer = new MutationObserver(function (records) {
            if (records.some(matters))
                state.dirty = true;
        });
        window.__linkvaneSnapshot = state;
    }

    function observe(doc) {
        if (state.observed.has(doc))
            return;
        state.observed.add(doc);
        state.observer.observe(doc, {
            subtree: true,
            childList: true,
            attributes: true,
            characterData: true,
        });
    }

    function frameDocument(frame) {
        try {
            return frame.contentDocument || null;
        } catch (e) {
            return null;
        }
    }

    // The readable documents of the page and their frame elements, breadth first.
    function readableDocuments() {
        const found = [{doc: document, parent: -1, frame: null}];
        for (let i = 0; i < found.length && found.length < maxDocuments; ++i) {
            const frames = found[i].doc.querySelectorAll('iframe,frame');
            for (const frame of frames) {
                const d = frameDocument(frame);
                if (d && found.length < maxDocuments)
                    found.push({doc: d, parent: i, frame: frame});
            }
        }
        return found;
    }

    const found = readableDocuments();
    if (!state.dirty && state.observer.takeRecords().some(matters))
        state.dirty = true;
    if (!state.dirty && (found.length !== state.documents.length ||
                         found.some((f, i) => f.doc !== state.documents[i])))
        state.dirty = true;
    if (!args.force && !state.dirty && args.token === state.token &&
        args.generation === state.generation)
        return {unchanged: true};

    const textEscapes = {'&': '&amp;', '<': '&lt;', '>': '&gt;', '\u00a0': '&nbsp;'};
    const attrEscapes = {'&': '&amp;', '"': '&quot;', '\u00a0': '&nbsp;'};
    const escapeText = (s) => s.replace(/[&<>\u00a0]/g, (c) => textEscapes[c]);
    const escapeAttr = (s) => s.replace(/[&"\u00a0]/g, (c) => attrEscapes[c]);

    // The parser must build the tree in the page's mode: in quirks mode a
    // TABLE may sit inside a P, in standards mode it closes the P.
    function doctypeOf(doc) {
        return doc.compatMode === 'BackCompat' ? '' : '<!DOCTYPE html>';
    }

    // The browser's serializer. In a page that runs scripts NOSCRIPT holds its
    // content as text and writes it out as it is; a parser reads that back
    // as elements, so that text is escaped here. Answers null when the text
    // cannot be found where it must be.
    function serializeNative(doc) {
        const root = doc.documentElement;
        if (!root)
            return '';
        let html = root.outerHTML;
        const noscripts = doc.getElementsByTagName('noscript');
        let out = '';
        let cursor = 0;
        for (const ns of noscripts) {
            if (ns.firstElementChild)
                continue; // scripts are off: its content is elements
            const text = ns.textContent;
            if (!/[<&]/.test(text))
                continue;
            const outer = ns.outerHTML;
            const at = html.indexOf(outer, cursor);
            if (at < 0)
                return null;
            const startTag = outer.length - text.length - '</noscript>'.length;
            out += html.slice(cursor, at) + outer.slice(0, startTag) + escapeText(text) +
                   '</noscript>';
            cursor = at + outer.length;
        }
        if (cursor > 0)
            html = out + html.slice(cursor);
        return doctypeOf(doc) + html;
    }

    const voidTags = new Set(['area', 'base', 'basefont', 'bgsound', 'br', 'col', 'embed',
        'frame', 'hr', 'img', 'input', 'keygen', 'link', 'meta', 'param', 'source', 'track',
        'wbr']);
    // Elements whose text the parser reads raw. NOSCRIPT is not among them:
    // its content is written as escaped text (see above).
    const rawTags = new Set(['style', 'script', 'xmp', 'iframe', 'noembed', 'noframes',
        'plaintext']);
    // Raw text may not close its element early.
    const escapeRaw = (s, tag) => s.replace(new RegExp('</(' + tag + ')', 'gi'), '<\\/$1');

    // Writes every element with its index, without recursion; elements gets
    // the live elements in the same order.
    function serializeNumbered(doc, elements) {
        const idAttribute = args.idAttribute;
        let out = doctypeOf(doc);
        let node = doc.documentElement;
        while (node) {
            let descend = false;
            switch (node.nodeType) {
            case Node.ELEMENT_NODE: {
                const tag = node.localName;
                out += '<' + tag;
                for (const a of node.attributes)
                    if (a.name !== idAttribute)
                        out += ' ' + a.name + '="' + escapeAttr(a.value) + '"';
                out += ' ' + idAttribute + '="' + elements.length + '">';
                elements.push(node);
                if (voidTags.has(tag))
                    break;
                if (rawTags.has(tag)) {
                    out += escapeRaw(node.textContent, tag) + '</' + tag + '>';
                    break;
                }
                // TEMPLATE content is not part of the document's tree.
                if (tag === 'template' || !node.firstChild) {
                    out += '</' + tag + '>';
                    break;
                }
                descend = true;
                break;
            }
            case Node.TEXT_NODE:
                out += escapeText(node.data);
                break;
            case Node.COMMENT_NODE:
                out += '<!--' + node.data.replace(/--!?>/g, '-- >') + '-->';
                break;
            default:
                break;
            }
            if (descend) {
                node = node.firstChild;
                continue;
            }
            while (node && !node.nextSibling) {
                node = node.parentNode;
                if (!node || node === doc)
                    return out;
                out += '</' + node.localName + '>';
            }
            node = node ? node.nextSibling : null;
        }
        return out;
    }

    // The index of element in list (document order), by bisection.
    function indexIn(list, element) {
        let lo = 0;
        let hi = list.length - 1;
        while (lo <= hi) {
            const mid = (lo + hi) >> 1;
            const item = list[mid];
            if (item === element)
                return mid;
            if (item.compareDocumentPosition(element) & Node.DOCUMENT_POSITION_FOLLOWING)
                lo = mid + 1;
            else
                hi = mid - 1;
        }
        return -1;
    }

    const docs = [];
    const lists = [];
    for (const f of found) {
        const doc = f.doc;
        const isHtml = doc.documentElement instanceof HTMLElement;
        let html = args.numbered || !isHtml ? null : serializeNative(doc);
        let list;
        const numbered = html === null;
        if (numbered) {
            list = [];
            html = serializeNumbered(doc, list);
        } else {
            list = doc.querySelectorAll('*');
        }
        const frameIndex = f.parent < 0 ? -1 : indexIn(lists[f.parent], f.frame);
        docs.push({url: doc.URL, html: html, frameIndex: frameIndex, parent: f.parent,
                   count: list.length, numbered: numbered});
        lists.push(list);
        observe(doc);
    }

    state.lists = lists;
    state.documents = found.map((f) => f.doc);
    state.dirty = false;
    state.observer.takeRecords();
    state.generation += 1;
    return {token: state.token, generation: state.generation, docs: docs};
})
