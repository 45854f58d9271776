#include "tools/graph.h"

#include <filesystem>
#include <map>
#include <sstream>
#include <vector>

#include "document/connection.h"
#include "document/container.h"
#include "document/module.h"
#include "document/plug.h"
#include "engine/interface_object.h"
#include "platform/files.h"
#include "platform/process_starter.h"
#include "tools/project_commands.h"

namespace ov {
namespace {

constexpr const char* kName = "orvane graph";

std::string Html(std::string_view text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

const char* ColourOf(int32_t datatype) {
  switch (datatype) {
    case DT_FSAMPLE: return "#1f5fbf";  // audio
    case DT_MIDI: return "#2a9d3a";
    case DT_TEXT: return "#c77700";
    default: return "#6e6e6e";  // control values
  }
}

struct Port {
  std::string name;
  bool output = false;
};

struct Node {
  std::string title;
  std::string type;
  std::vector<Port> ports;

  void AddPort(const CPlug2& plug) {
    const std::string name = plug.Name();
    for (const Port& port : ports) {
      if (port.name == name) return;
    }
    ports.push_back({name, plug.Direction() == DR_OUT});
  }
};

class GraphWriter {
 public:
  std::string Write(const CContainer& root) {
    Name(root, "m");
    Collect(root);
    out_ << "digraph patch {\n"
         << "  graph [rankdir=LR, compound=true, fontname=\"Helvetica\", nodesep=0.3];\n"
         << "  node [shape=plaintext, fontname=\"Helvetica\", fontsize=10];\n"
         << "  edge [arrowsize=0.6, penwidth=1.4];\n";
    WriteContainer(root, "  ");
    for (const auto& [line, datatype] : lines_) WriteEdge(*line, datatype);
    out_ << "}\n";
    return out_.str();
  }

 private:
  // Every module's node name. A container's own plugs and its input/output
  // module's share two nodes: the container's inputs (left) and outputs.
  void Name(const CContainer& container, const std::string& path) {
    io_paths_[&container] = path;
    if (const CUG* io = container.IoModule()) io_paths_[io] = path;
    nodes_[path + "_in"] = {container.title() + " in", "Container", {}};
    nodes_[path + "_out"] = {container.title() + " out", "Container", {}};
    int index = 0;
    for (const auto& child : container.children()) {
      const auto* module = dynamic_cast<const CUG*>(child.get());
      if (module == nullptr || module == container.IoModule()) continue;
      const std::string name = path + "_" + std::to_string(index++);
      if (const auto* inner = dynamic_cast<const CContainer*>(module)) {
        Name(*inner, name);
      } else {
        names_[module] = name;
      }
    }
  }

  // The node a plug is drawn on. Inside a container its inputs come out of
  // the input/output module: an output there is the container's input.
  std::string NodeName(const CPlug2& plug) const {
    const CUG* owner = plug.owner();
    const auto io = io_paths_.find(owner);
    if (io == io_paths_.end()) return names_.at(owner);
    const bool outer = dynamic_cast<const CContainer*>(owner) != nullptr;
    const bool input = plug.Direction() == (outer ? DR_IN : DR_OUT);
    return io->second + (input ? "_in" : "_out");
  }

  void Collect(const CContainer& container) {
    for (const auto& child : container.children()) {
      if (const auto* line = dynamic_cast<const CLine2*>(child.get())) {
        if (line->from() == nullptr || line->to() == nullptr) continue;
        if (!Known(*line->from()) || !Known(*line->to())) continue;
        lines_.emplace_back(line, line->from()->Datatype());
        for (const CPlug2* plug : {line->from(), line->to()}) {
          if (!plug->hidden()) NodeOf(*plug).AddPort(*plug);
        }
      } else if (const auto* inner = dynamic_cast<const CContainer*>(child.get())) {
        Collect(*inner);
      }
    }
  }

  bool Known(const CPlug2& plug) const {
    return plug.owner() != nullptr &&
           (names_.contains(plug.owner()) || io_paths_.contains(plug.owner()));
  }

  Node& NodeOf(const CPlug2& plug) {
    const CUG& owner = *plug.owner();
    Node& node = nodes_[NodeName(plug)];
    if (node.type.empty()) {
      node.type = owner.type_key();
      node.title = owner.title();
    }
    return node;
  }

  void WriteContainer(const CContainer& container, const std::string& indent) {
    // A container's sides show when they have plugs in use; a sub-container
    // with none still shows its inputs, so that it appears at all.
    const std::string& path = io_paths_.at(&container);
    const Node& inputs = nodes_.at(path + "_in");
    const Node& outputs = nodes_.at(path + "_out");
    if (!inputs.ports.empty() || (outputs.ports.empty() && container.parent() != nullptr)) {
      WriteNode(path + "_in", inputs, indent);
    }
    if (!outputs.ports.empty()) WriteNode(path + "_out", outputs, indent);
    for (const auto& child : container.children()) {
      const auto* module = dynamic_cast<const CUG*>(child.get());
      if (module == nullptr || module == container.IoModule()) continue;
      if (const auto* inner = dynamic_cast<const CContainer*>(module)) {
        out_ << indent << "subgraph " << Quoted("cluster_" + io_paths_.at(inner)) << " {\n"
             << indent << "  label=" << Quoted(inner->title() + " (Container)")
             << "; style=rounded; color=\"#9a9a9a\"; fontsize=11;\n";
        WriteContainer(*inner, indent + "  ");
        out_ << indent << "}\n";
        continue;
      }
      const std::string& name = names_.at(module);
      Node& node = nodes_[name];
      if (node.type.empty()) {
        node.type = module->type_key();
        node.title = module->title();
      }
      WriteNode(name, node, indent);
    }
  }

  void WriteNode(const std::string& name, const Node& node, const std::string& indent) {
    std::vector<const Port*> inputs, outputs;
    for (const Port& port : node.ports) (port.output ? outputs : inputs).push_back(&port);
    out_ << indent << Quoted(name) << " [tooltip=" << Quoted(node.type) << ", label=<<table border=\"1\" cellborder=\"0\" "
         << "cellspacing=\"0\" cellpadding=\"3\" bgcolor=\"#f4f4f0\"><tr><td colspan=\"2\" "
         << "bgcolor=\"#dcdcd4\"><b>" << Html(node.title.empty() ? node.type : node.title)
         << "</b><br/><font point-size=\"8\">" << Html(node.type) << "</font></td></tr>";
    const std::size_t rows = std::max(inputs.size(), outputs.size());
    for (std::size_t row = 0; row < rows; ++row) {
      out_ << "<tr>";
      for (const auto* side : {&inputs, &outputs}) {
        if (row < side->size()) {
          const Port& port = *(*side)[row];
          out_ << "<td port=" << Quoted(Html(port.name)) << " align=\""
               << (port.output ? "right" : "left") << "\">" << Html(port.name) << "</td>";
        } else {
          out_ << "<td></td>";
        }
      }
      out_ << "</tr>";
    }
    out_ << "</table>>];\n";
  }

  void WriteEdge(const CLine2& line, int32_t datatype) {
    const CPlug2* from = line.from();
    const CPlug2* to = line.to();
    if (from->Direction() == DR_IN || to->Direction() == DR_OUT) std::swap(from, to);
    out_ << "  " << End(*from) << " -> " << End(*to) << " [color=" << Quoted(ColourOf(datatype))
         << "];\n";
  }

  std::string End(const CPlug2& plug) const {
    const std::string node = Quoted(NodeName(plug));
    return plug.hidden() ? node : node + ":" + Quoted(plug.Name());
  }

  std::map<const CUG*, std::string> names_;     // modules
  std::map<const CUG*, std::string> io_paths_;  // containers and their input/output modules
  std::map<std::string, Node> nodes_;
  std::vector<std::pair<const CLine2*, int32_t>> lines_;
  std::ostringstream out_;
};

}  // namespace

std::string PatchGraphDot(const COrvaneDocBase& document) {
  return GraphWriter().Write(*document.root());
}

int RunGraphCommand(const ProjectCommandLine& command, std::ostream& out, std::ostream& err) {
  std::vector<uint8_t> stream;
  COrvaneDocBase document;
  if (!LoadProjectDocument(command.input_path, kName, err, &document, &stream)) return 1;
  const std::string dot = PatchGraphDot(document);
  const std::string& output = command.output_path;
  if (output.empty() || output == "-") {
    out << dot;
    return 0;
  }
  const std::string extension = std::filesystem::path(output).extension().string();
  std::string error;
  if (extension == ".dot" || extension == ".gv") {
    if (!WriteFileBytes(output, {reinterpret_cast<const uint8_t*>(dot.data()), dot.size()}, &error)) {
      err << kName << ": " << error << "\n";
      return 1;
    }
    out << "Wrote " << output << "\n";
    return 0;
  }
  // Graphviz reads the DOT from a file beside the output, removed after.
  const std::string source = output + ".dot.tmp";
  if (!WriteFileBytes(source, {reinterpret_cast<const uint8_t*>(dot.data()), dot.size()}, &error)) {
    err << kName << ": " << error << "\n";
    return 1;
  }
  std::string failure;
  const int exit_code =
      ProcessStarter().RunToEnd({"dot", "-T" + extension.substr(1), source, "-o", output}, "", &failure);
  std::error_code ignored;
  std::filesystem::remove(source, ignored);
  if (exit_code != 0) {
    err << kName << ": "
        << (exit_code < 0 ? failure + " (Graphviz's dot draws the picture; install graphviz)"
                          : "dot could not draw " + output)
        << "\n";
    return 1;
  }
  out << "Wrote " << output << "\n";
  return 0;
}

}  // namespace ov
