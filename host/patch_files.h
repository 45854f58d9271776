// The bank and program files of a container that keeps patches, from its
// patch toolbar's file menu: "Load Bank", "Save Bank", "Load Inst" and
// "Save Inst" ask for a file name and read or write the container's
// patches as a state chunk inside the fxb or fxp layout.
//
// Thread: editor. The dialog's answer arrives in a later idle.
#pragma once

#include <cstdint>

namespace ov {

class CContainer;
class FileDialog;
class MessageSink;

// True for the four commands.
bool IsPatchFileCommand(int32_t id);

// Starts the command: the file dialog asks, and the answer loads or saves.
// A file of another plug-in, one that cannot be read or a chunk that is
// damaged leaves the patches as they were and says why in `messages`.
// Nothing happens for a container without patches of its own. `container`,
// `dialog` and `messages` must outlive the question (the dialog is
// withdrawn when the editor closes, before the document goes).
void RunPatchFileCommand(int32_t id, CContainer& container, int32_t plugin_id,
                         FileDialog& dialog, MessageSink& messages);

}  // namespace ov
