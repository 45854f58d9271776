#include "tools/command_help.h"

#include <array>

namespace ov {
namespace {

constexpr std::array kCommands = {
    CommandHelp{"info", "info LIB.so [--skin NAME]",
                "Loads a VST 2 plug-in as a host does and prints what the host sees of it.",
                "  --skin NAME   instead, list the skin an Orvane plug-in's panel gets for NAME\n"
                "                (its images with size and frames, its font categories)\n"},
    CommandHelp{"render",
                "render LIB.so|PROJECT.json -o OUT.wav [OPTION]...",
                "Plays a VST 2 plug-in offline and writes what it outputs to a WAV file.",
                "  -o OUT.wav                 the WAV file to write (needed)\n"
                "  --midi FILE.mid            play a Standard MIDI File\n"
                "  --note KEY:VEL:START:LEN   play a note (seconds); may be repeated\n"
                "  --in IN.wav                feed a WAV file to the plug-in's inputs\n"
                "  --seconds S                length (default: the music or the input, and a tail)\n"
                "  --tail S                   the tail after the music or the input (default 2)\n"
                "  --levels [S]               print peak and RMS every S seconds (default 0.5)\n"
                "  --rate R                   sample rate (default 48000)\n"
                "  --block N                  host block size (default 512)\n"
                "  --program P                choose a program first\n"
                "  --param INDEX=VALUE        set a parameter first (0 to 1); may be repeated\n"
                "  --midi-out FILE.mid        keep the MIDI the plug-in sends\n"
                "  --load-state FILE.fxb|fxp  restore a bank or program first\n"
                "  --save-state FILE.fxb|fxp  save the bank or program after playing\n"},
    CommandHelp{"dump", "dump PROJECT.ov1|LIB.so [-o OUT.json|-]",
                "Prints every object and field of a project stream or a baked plug-in's project.",
                "  -o OUT.json   write to a file; '-' or none: standard output\n"},
    CommandHelp{"compile", "compile PROJECT.json -o PROJECT.ov1 [--warn-only]",
                "Writes the project stream that a JSON project describes; exits 2 when the "
                "project is wrong.",
                "  -o PROJECT.ov1   the stream to write (needed)\n"
                "  --warn-only      let connections between datatypes that cannot meet, values\n"
                "                   that do not parse and missing files through, with warnings\n"},
    CommandHelp{"bake",
                "bake PROJECT.json|PROJECT.ov1 [--lv2] -o NAME.so|NAME.lv2 [--from LIB.so] "
                "[--warn-only]",
                "Writes a plug-in library that carries the project, or an LV2 bundle of it; "
                "exits 2 when the project is wrong.",
                "  -o NAME.so               the plug-in to write (needed)\n"
                "  --lv2 -o NAME.lv2        write an LV2 bundle folder instead\n"
                "  --warn-only              let a JSON project's checks warn (as compile)\n"
                "  --from LIB.so            the generic library to bake into (default: the\n"
                "                           orvane-vst.so or orvane-lv2.so installed with\n"
                "                           this program)\n"},
    CommandHelp{"modules", "modules [--json|--markdown]",
                "Lists every module type: its key, family and purpose.",
                "  --json       as JSON\n"
                "  --markdown   as the module reference (docs/module-reference.md)\n"},
    CommandHelp{"plugs", "plugs TYPE [--json]",
                "Lists a module type's plugs: name, direction, datatype, default, values, unit.",
                "  --json   as JSON\n"},
    CommandHelp{"graph", "graph PROJECT.json|PROJECT.ov1|LIB.so [-o PATCH.svg|.png|.dot|-]",
                "Draws the project's patch: containers, modules, plugs and connections.",
                "  -o PATCH.svg|.png   draw with Graphviz's dot\n"
                "  -o PATCH.dot|.gv    write the graph in the DOT language\n"
                "  -o - or none        write the DOT to standard output\n"},
    CommandHelp{"bench", "bench LIB.so|PROJECT.json [--voices N] [--seconds S] [--midi FILE.mid]",
                "Measures what a plug-in costs per voice and sample with notes held.",
                "  --voices N          notes held together (1 to 128, default 64)\n"
                "  --seconds S         how long to play (default 10)\n"
                "  --midi FILE.mid     play a MIDI file instead of held notes\n"
                "  --from orvane-vst.so  the generic library a JSON project is baked into\n"},
    CommandHelp{"validate", "validate LIB.so|NAME.lv2 [--quick]",
                "Puts a VST 2 plug-in, or an LV2 bundle loaded through lilv, through what hosts\n"
                "do to one; non-zero when a check fails.",
                "  --quick   play shorter and repeat less\n"},
    CommandHelp{"snapshot",
                "snapshot LIB.so|PROJECT.json -o VIEW.png [--program P] [--param INDEX=VALUE]... "
                "[--scale N]",
                "Draws the plug-in's panel into a PNG, without an X server.",
                "  -o VIEW.png            the picture to write (needed)\n"
                "  --program P            choose a program first (0 to 127)\n"
                "  --param INDEX=VALUE    set a parameter first (0 to 1); may be repeated\n"
                "  --scale N              draw N times larger (1 to 8)\n"},
    CommandHelp{"show",
                "show LIB.so|PROJECT.json [--quit-after S] [--no-engine] [--midi FILE.mid] "
                "[-o OUT.wav] [--capture WINDOW.png]",
                "Opens the plug-in's editor in a window, with the plug-in playing in real time.",
                "  --quit-after S          close after S seconds\n"
                "  --no-engine             open the editor without running the plug-in\n"
                "  --midi FILE.mid         play a MIDI file, looped\n"
                "  -o OUT.wav              keep what the plug-in plays\n"
                "  --capture WINDOW.png    save what the window shows at the end\n"},
    CommandHelp{"play",
                "play LIB.so|PROJECT.json [--audio jack|alsa|pulse] [--device NAME] [--rate R] "
                "[--period N] [--midi-in PORT]... [--no-connect] [--keyboard] [--watch] "
                "[-o TAKE.wav] [--quit-after S]",
                "Plays the plug-in live on a sound device, with MIDI from real ports and its editor\n"
                "in a window. SIGUSR1 prints how many periods ran late.",
                "  --audio jack|alsa|pulse  the backend (default: JACK when a server runs, else\n"
                "                           PulseAudio, else ALSA's default device)\n"
                "  --device NAME            JACK: the server's name; else (part of) a device name\n"
                "  --rate R                 sample rate (default: JACK's, else 48000)\n"
                "  --period N               frames a period (default 256; JACK keeps its own)\n"
                "  --midi-in PORT           connect a MIDI source (a JACK port, or an ALSA\n"
                "                           sequencer port by name or client:port); may be repeated\n"
                "  --no-connect             connect nothing by itself (only --midi-in ports)\n"
                "  --keyboard               the window's keys play notes: A S D F G H J K L ; '\n"
                "                           white, W E T Y U O P black, Z/X octave down/up\n"
                "  --watch                  rebuild a JSON project whenever it is saved; the\n"
                "                           new one takes over with a short crossfade, keeping\n"
                "                           the patch and the parameters it still has\n"
                "  -o TAKE.wav              keep what was played\n"
                "  --quit-after S           stop after S seconds\n"},
    CommandHelp{"install", "install NAME.so|NAME.lv2 [--system]",
                "Copies a baked plug-in to ~/.lxvst, where Linux hosts look for VST 2 plug-ins,\n"
                "or an LV2 bundle to ~/.lv2.",
                "  --system   install to /usr/local/lib/lxvst (or lib/lv2) for every user\n"},
    CommandHelp{"uninstall", "uninstall NAME|NAME.lv2 [--system]",
                "Removes a plug-in that `orvane install` put in ~/.lxvst, or a bundle in ~/.lv2.",
                "  --system   remove it from /usr/local/lib/lxvst (or lib/lv2) instead\n"},
    CommandHelp{"help", "help [COMMAND]", "Prints what a command does and its options.", ""},
};

}  // namespace

std::span<const CommandHelp> AllCommandHelp() { return kCommands; }

const CommandHelp* FindCommandHelp(std::string_view name) {
  for (const CommandHelp& help : kCommands) {
    if (name == help.name) return &help;
  }
  return nullptr;
}

void PrintCommandHelp(const CommandHelp& help, std::ostream& out) {
  out << "usage: orvane " << help.usage << "\n\n" << help.summary << "\n";
  if (*help.options != '\0') out << "\noptions:\n" << help.options;
}

void PrintOverview(std::ostream& out) {
  out << "usage: orvane COMMAND [ARGUMENT]...\n"
      << "       orvane --version\n\ncommands:\n";
  for (const CommandHelp& help : kCommands) out << "  orvane " << help.usage << "\n";
  out << "\nenvironment:\n"
      << "  ORVANE_ALLOW_COMMANDS=1   let a project's \"OS Command\" modules start programs\n"
      << "                            (without it they start nothing and say so)\n"
      << "\n'orvane help COMMAND' or 'orvane COMMAND --help' tells more.\n";
}

}  // namespace ov
