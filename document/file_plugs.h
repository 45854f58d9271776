// Text plugs that name a file: the file's default extension is their list
// text, and they carry flag 0x10. Panels offer them a browse button, and
// compiled projects check that the files they read are there.
//
// Threads: editor only.
#pragma once

#include <string>

namespace ov {

class generic_parameter;

// The default extension of the file `parameter` names ("wav"), or empty
// when it is not a text plug naming one.
std::string FileTypeOf(const generic_parameter& parameter);

}  // namespace ov
