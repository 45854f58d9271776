// The trailing section of our bank chunk that carries each hosted plug-in's
// live state, so that a host's saved session restores what was set inside
// hosted plug-ins. Readers of the chunk's older layout never reach it: the
// section follows everything they read and ends with its length and a tag.
//
// Layout (little-endian): count k, then k times an int32 length and that
// many bytes (one "VST Plugin" module's state, in document order), then the
// section's byte length and the tag 'OvVh'.
//
// Threads: editor only.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ov {

class COrvaneDocBase;

// Appends the section for the hosted plug-ins of `document` that are loaded;
// nothing when there are none.
void AppendHostedStates(COrvaneDocBase& document, std::vector<uint8_t>& chunk);

// How many bytes of `chunk` come before a well-formed trailing section (all
// of them when there is none).
std::size_t HostedStatesStart(std::span<const uint8_t> chunk);

// Applies the section's states to the document's hosted plug-ins in order;
// each one that cannot be applied adds its reason to `problems`.
void RestoreHostedStates(COrvaneDocBase& document, std::span<const uint8_t> chunk,
                         std::vector<std::string>* problems);

}  // namespace ov
