// `orvane graph`: a project's patch as a picture. Containers become
// clusters, each module a box titled with its title and type, its connected
// plugs the box's ports, connections edges coloured by datatype. Graphviz
// lays it out.
// Thread: the program's main thread.
#pragma once

#include <ostream>
#include <string>

#include "document/document.h"
#include "tools/arguments.h"

namespace ov {

// The patch in Graphviz's DOT language. Nodes are named by where they stand:
// "m" then the index of each container's module among its modules (its
// input/output module left out) from the main container down, joined by
// "_"; a container's inputs and outputs are two nodes, its name plus "_in"
// and "_out". Every node's tooltip is its module type ("Container" for
// those two); ports are named after their plugs.
std::string PatchGraphDot(const COrvaneDocBase& document);

// Writes DOT for "-o X.dot" or "-o X.gv", for no -o or "-o -" to `out`;
// runs Graphviz's `dot` for "-o X.svg" and "-o X.png".
int RunGraphCommand(const ProjectCommandLine& command, std::ostream& out, std::ostream& err);

}  // namespace ov
