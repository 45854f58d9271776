// The checks that end every load, from a stream or from text. A stream may
// name objects that nothing holds, or connections that its plugs do not
// list; after these checks every reference leads to an object the document
// holds and every connection is listed by exactly its two plugs.
//
// Threads: editor only.
#pragma once

namespace ov {

class COrvaneDocBase;
class MessageSink;

// Clears references to objects the document does not hold, then sets the
// parent links and drops connections that lack an end, and those from an
// input, to an output or between different datatypes (told to `messages`
// when given).
void CheckLoadedDocument(COrvaneDocBase& document, MessageSink* messages);

}  // namespace ov
