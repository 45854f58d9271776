// The checks that end every load, from a stream or from text. A stream may
// name objects that nothing holds, or connections that its plugs do not
// list; after these checks every reference leads to an object the document
// holds and every connection is listed by exactly its two plugs.
//
// Threads: editor only.
#pragma once

namespace ov {

class COrvaneDocBase;

// Clears references to objects the document does not hold, then sets the
// parent links and drops connections that lack an end.
void CheckLoadedDocument(COrvaneDocBase& document);

}  // namespace ov
