// Clicks the live element behind an element of the snapshot.
//
// Runs in the engine's own script world. Argument:
//   { token, generation: the snapshot's, doc: the position of the element's
//     document in the snapshot, index: the element's index in that document,
//     tag: its lower-case tag name, attributes: { name: value } to compare }
// Answers true when the element was clicked; false when the snapshot is not
// the page's current one, the element has left the page, or the live element
// at that place is not the one the snapshot shows.
(function (args) {
    'use strict';
    const state = window.__linkvaneSnapshot;
    if (!state || state.token !== args.token || state.generation !== args.generation)
        return false;
    const list = state.lists[args.doc];
    const element = list ? list[args.index] : null;
    if (!element || !element.isConnected || element.localName.toLowerCase() !== args.tag)
        return false;
    for (const name of Object.keys(args.attributes))
        if ((element.getAttribute(name) || '') !== args.attributes[name])
            return false;
    if (typeof element.click === 'function') {
        element.click();
    } else {
        // SVG and other non-HTML elements have no click().
        const view = element.ownerDocument.defaultView;
        element.dispatchEvent(new MouseEvent('click', {bubbles: true, cancelable: true, view: view}));
    }
    return true;
})
