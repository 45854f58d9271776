// Draws the default skin every plug-in carries: each image with its
// description, and global.txt. Run at build time:
//   make_default_skin FOLDER OUT.cpp
// writes the skin as a folder (the layout skin folders have) and as a C++
// source that links the same files into the plug-in library.
//
// The look: a calm dark-grey panel lit from the top left, machined knobs
// with an amber value arc, recessed slider slots, buttons with an amber
// indicator, etched panel-group lines.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "editor/skins/default_skin/paint.h"
#include "platform/png_codec.h"

namespace {

using namespace ov::skin_paint;

const Rgba kAccent = Hex(0xF0A030);
const Rgba kInk = Hex(0xF2F2F2);
const Rgba kSlot = Hex(0x141618);

struct SkinFile {
  std::string name;
  std::vector<uint8_t> bytes;
};

// Frames stacked top to bottom, as skins keep animations.
Picture Stack(const std::vector<Picture>& frames) {
  Picture all(frames[0].width(), frames[0].height() * static_cast<int32_t>(frames.size()));
  for (std::size_t i = 0; i < frames.size(); ++i) {
    all.Paste(frames[i], 0, static_cast<int32_t>(i) * frames[0].height());
  }
  return all;
}

// A soft shadow below a round shape: light comes from the top left.
void Shadow(Picture& p, Vec centre, double radius) {
  p.Fill([&](Vec q) { return CircleDistance(q, {centre.x + 0.6, centre.y + 1.4}, radius + 1.2); },
         [&](Vec q) {
           const double d = CircleDistance(q, {centre.x + 0.6, centre.y + 1.4}, radius + 1.2);
           return Rgba{0, 0, 0, 0.45 * std::clamp(-d / 2.4, 0.0, 1.0)};
         });
}

// A knob body: a turned metal cap with a bevelled rim.
void KnobBody(Picture& p, Vec c, double radius) {
  Shadow(p, c, radius);
  p.Fill([&](Vec q) { return CircleDistance(q, c, radius); }, [&](Vec q) {
    const double t = ((q.x - c.x) + (q.y - c.y)) / (4 * radius) + 0.5;
    return Mix(Hex(0x6A6F75), Hex(0x26292C), t);
  });
  p.Fill([&](Vec q) { return CircleDistance(q, c, radius - 1.6); }, [&](Vec q) {
    const double t = ((q.x - c.x) + (q.y - c.y)) / (4 * radius) + 0.5;
    return Mix(Hex(0x3C4044), Hex(0x4E5257), t);
  });
  // A thin bright edge on the lit side.
  p.Fill([&](Vec q) { return Stroke(CircleDistance(q, c, radius - 0.5), 0.5); }, [&](Vec q) {
    const double lit = -((q.x - c.x) + (q.y - c.y)) / (2 * radius);
    return Rgba{1, 1, 1, 0.22 * std::clamp(lit, 0.0, 1.0)};
  });
}

// A value knob: track and value arc from seven to five o'clock, a cap and a
// pointer. Frame i of n shows the value i / (n - 1).
Picture Knob(int32_t size, double body, double ring_width, int32_t frames) {
  std::vector<Picture> all;
  const Vec c{size / 2.0, size / 2.0};
  const double start = kPi * 3 / 4;
  const double sweep = kPi * 3 / 2;
  const double ring = size / 2.0 - ring_width / 2 - 1;
  for (int32_t i = 0; i < frames; ++i) {
    const double value = static_cast<double>(i) / (frames - 1);
    Picture p(size, size);
    p.Fill([&](Vec q) { return ArcDistance(q, c, ring, start, sweep, ring_width / 2); }, kSlot);
    if (i > 0) {
      p.Fill([&](Vec q) { return ArcDistance(q, c, ring, start, sweep * value, ring_width / 2 - 0.2); },
             kAccent);
    }
    KnobBody(p, c, body);
    const double angle = start + sweep * value;
    const Vec dir{Cos(angle), Sin(angle)};
    p.Fill([&](Vec q) {
      return CapsuleDistance(q, {c.x + dir.x * body * 0.3, c.y + dir.y * body * 0.3},
                             {c.x + dir.x * body * 0.8, c.y + dir.y * body * 0.8}, 1.1);
    }, kInk);
    all.push_back(std::move(p));
  }
  return Stack(all);
}

// A rotary switch: frame i points i / n of a clockwise turn from the right.
Picture RotarySwitch(int32_t size, int32_t frames) {
  std::vector<Picture> all;
  const Vec c{size / 2.0, size / 2.0};
  const double body = size / 2.0 - 6;
  for (int32_t i = 0; i < frames; ++i) {
    const double angle = 2 * kPi * i / frames;
    const Vec dir{Cos(angle), Sin(angle)};
    Picture p(size, size);
    KnobBody(p, c, body);
    // The pointer reaches past the cap, so the chosen label is plain to see.
    const Vec tip{c.x + dir.x * (size / 2.0 - 1.8), c.y + dir.y * (size / 2.0 - 1.8)};
    p.Fill([&](Vec q) { return CapsuleDistance(q, c, tip, 2.6); }, [&](Vec q) {
      const double t = ((q.x - c.x) + (q.y - c.y)) / size + 0.5;
      return Mix(Hex(0x5C6166), Hex(0x2A2D30), t);
    });
    p.Fill([&](Vec q) {
      return CapsuleDistance(q, {c.x + dir.x * 3, c.y + dir.y * 3}, tip, 0.9);
    }, kInk);
    all.push_back(std::move(p));
  }
  return Stack(all);
}

// A raised key: up in frame 0, pressed and lit in frame 1. `mark` draws
// what the key shows.
Picture Key(int32_t width, int32_t height, const std::function<void(Picture&, bool)>& mark) {
  std::vector<Picture> all;
  for (int pressed = 0; pressed < 2; ++pressed) {
    Picture p(width, height);
    const double w = width, h = height;
    p.Fill([&](Vec q) { return RoundRectDistance(q, 0.5, 1, w - 0.5, h, 3); },
           Rgba{0, 0, 0, 0.45});
    p.Fill([&](Vec q) { return RoundRectDistance(q, 0.5, 0.5, w - 0.5, h - 1, 3); },
           Hex(0x191B1D));
    p.Fill([&](Vec q) { return RoundRectDistance(q, 1.5, 1.5, w - 1.5, h - 2, 2.2); },
           [&](Vec q) {
             const double t = q.y / h;
             return pressed ? Mix(Hex(0x34373B), Hex(0x44484C), t)
                            : Mix(Hex(0x62666B), Hex(0x3E4246), t);
           });
    if (!pressed) {
      p.Fill([&](Vec q) {
        return std::max(Stroke(RoundRectDistance(q, 1.5, 1.5, w - 1.5, h - 2, 2.2), 0.5),
                        q.y - 3.0);
      }, Rgba{1, 1, 1, 0.18});
    }
    mark(p, pressed != 0);
    all.push_back(std::move(p));
  }
  return Stack(all);
}

// An amber indicator slit in the middle of a key.
std::function<void(Picture&, bool)> Indicator(double half_width, double half_height) {
  return [=](Picture& p, bool lit) {
    const Vec c{p.width() / 2.0, (p.height() - 1) / 2.0 + (lit ? 0.5 : 0)};
    if (lit) {
      p.Fill([&](Vec q) {
        return RoundRectDistance(q, c.x - half_width - 2, c.y - half_height - 2,
                                 c.x + half_width + 2, c.y + half_height + 2, half_height + 2);
      }, [&](Vec q) {
        const double d = RoundRectDistance(q, c.x - half_width, c.y - half_height,
                                           c.x + half_width, c.y + half_height, half_height);
        return Rgba{kAccent.r, kAccent.g, kAccent.b, 0.35 * std::clamp(1 - d / 2.5, 0.0, 1.0)};
      });
    }
    p.Fill([&](Vec q) {
      return RoundRectDistance(q, c.x - half_width, c.y - half_height, c.x + half_width,
                               c.y + half_height, half_height);
    }, lit ? kAccent : Hex(0x4A3A22));
  };
}

// Three dots in a row: "choose a file".
std::function<void(Picture&, bool)> Dots() {
  return [](Picture& p, bool lit) {
    const double y = (p.height() - 1) / 2.0 + (lit ? 0.5 : 0);
    for (const double x : {6.0, 10.0, 14.0}) {
      p.Fill([&](Vec q) { return CircleDistance(q, {x, y}, 1.4); }, lit ? kAccent : Hex(0xDADCDE));
    }
  };
}

std::function<void(Picture&, bool)> Triangle(std::vector<Vec> points) {
  return [=](Picture& p, bool lit) {
    std::vector<Vec> moved = points;
    for (Vec& v : moved) v.y += lit ? 0.5 : 0;
    p.Fill([&](Vec q) { return ConvexDistance(q, moved); }, lit ? kAccent : Hex(0xDADCDE));
  };
}

Picture Led(int32_t size) {
  std::vector<Picture> all;
  const Vec c{size / 2.0, size / 2.0};
  const double r = size / 2.0 - 1;
  for (int lit = 0; lit < 2; ++lit) {
    Picture p(size, size);
    p.Fill([&](Vec q) { return CircleDistance(q, c, r); }, Hex(0x17191B));
    p.Fill([&](Vec q) { return CircleDistance(q, c, r - 1.3); }, [&](Vec q) {
      const double t = CircleDistance(q, {c.x - 1, c.y - 1}, 0) / r;
      return lit ? Mix(Hex(0xFFE2A0), kAccent, t * 1.4) : Mix(Hex(0x5A4424), Hex(0x2E2414), t);
    });
    // The glassy highlight.
    p.Fill([&](Vec q) { return CircleDistance(q, {c.x - r * 0.3, c.y - r * 0.35}, r * 0.28); },
           Rgba{1, 1, 1, lit ? 0.55 : 0.18});
    all.push_back(std::move(p));
  }
  return Stack(all);
}

// Ten segments of five rows and a gap row, green to yellow to red, above a
// margin of two rows; frame 0 fully lit, frame 1 dark.
Picture BarGraph() {
  const int32_t width = 12, height = 64;
  std::vector<Picture> all;
  for (int unlit = 0; unlit < 2; ++unlit) {
    Picture p(width, height);
    p.Fill([&](Vec q) { return RoundRectDistance(q, 0, 0, width, height, 2); }, Hex(0x111315));
    for (int k = 0; k < 10; ++k) {
      const double bottom = height - 2 - 6.0 * k;
      const Rgba hue = k < 6 ? Hex(0x46D25A) : k < 8 ? Hex(0xE8C83C) : Hex(0xEA5238);
      p.Fill([&](Vec q) { return RoundRectDistance(q, 2, bottom - 5, width - 2, bottom, 1); },
             [&](Vec q) {
               const Rgba shade = Mix(hue, Hex(0xFFFFFF), 0.25 * (bottom - q.y) / 5 - 0.05);
               return unlit ? Mix(shade, Hex(0x111315), 0.78) : shade;
             });
    }
    all.push_back(std::move(p));
  }
  return Stack(all);
}

// A slider: frame 0 is the slot with its scale; the handle lies beside the
// frame (below a vertical one, right of a horizontal one).
Picture Slider(bool vertical) {
  const int32_t length = 100, across = 24, handle_long = 20, handle_short = 12;
  const int32_t w = vertical ? across : length + handle_short;
  const int32_t h = vertical ? length + handle_short : across;
  Picture p(w, h);
  // Everything is drawn as if vertical, through a flip of x and y.
  auto flip = [&](Vec q) { return vertical ? q : Vec{q.y, q.x}; };
  const double mid = across / 2.0;
  for (int k = 0; k <= 10; ++k) {
    const double y = 6 + k * 8.8;
    const double row = std::floor(y) + 0.5;
    const double tick = k % 5 == 0 ? 5.5 : 3.5;
    p.Fill([&](Vec q) {
      const Vec f = flip(q);
      return std::max(std::fabs(f.y - row) - 0.5,
                      std::max(1.5 - f.x, f.x - (1.5 + tick)));
    }, Rgba{1, 1, 1, 0.28});
  }
  // The slot, sunk into the panel: a light lip below it, dark inside.
  p.Fill([&](Vec q) {
    const Vec f = flip(q);
    return RoundRectDistance(f, mid - 2.5, 5.5, mid + 3, 95, 2.5);
  }, Rgba{1, 1, 1, 0.10});
  p.Fill([&](Vec q) {
    const Vec f = flip(q);
    return RoundRectDistance(f, mid - 2.5, 5, mid + 2.5, 94.5, 2.5);
  }, kSlot);
  // The handle, below (or right of) the frame.
  const double top = length;
  const double left = (across - handle_long) / 2.0;
  p.Fill([&](Vec q) {
    const Vec f = flip(q);
    return RoundRectDistance(f, left, top + 0.5, left + handle_long, top + handle_short, 2.5);
  }, Rgba{0, 0, 0, 0.5});
  p.Fill([&](Vec q) {
    const Vec f = flip(q);
    return RoundRectDistance(f, left + 0.5, top, left + handle_long - 0.5, top + handle_short - 1,
                             2.2);
  }, [&](Vec q) {
    const Vec f = flip(q);
    return Mix(Hex(0x74797E), Hex(0x3A3D41), (f.y - top) / handle_short);
  });
  p.Fill([&](Vec q) {
    const Vec f = flip(q);
    return std::max(std::fabs(f.y - (top + 5.5)) - 0.6,
                    std::max(left + 3 - f.x, f.x - (left + handle_long - 3)));
  }, kInk);
  return p;
}

// A panel group's frame: an etched rounded outline (dark, then light one
// pixel lower right) in a 17 x 17 cell, the horizontal line below it and the
// vertical line right of it, both two pixels thick; the horizontal line's
// three-pixel ends fade out where a title interrupts it.
Picture Lines() {
  const int32_t cell = 17, thick = 2, ends = 3;
  Picture p(cell + thick, cell + thick);
  const Rgba dark{0, 0, 0, 0.55};
  const Rgba light{1, 1, 1, 0.14};
  p.Fill([&](Vec q) {
    return std::max(Stroke(RoundRectDistance(q, 0.5, 0.5, cell - 1.5, cell - 1.5, 5), 0.5),
                    std::max(q.x - cell, q.y - cell));
  }, dark);
  p.Fill([&](Vec q) {
    return std::max(Stroke(RoundRectDistance(q, 1.5, 1.5, cell - 0.5, cell - 0.5, 5), 0.5),
                    std::max(q.x - cell, q.y - cell));
  }, light);
  for (int row = 0; row < thick; ++row) {
    const Rgba colour = row == 0 ? dark : light;
    p.Fill([&](Vec q) {
      return std::max(std::fabs(q.y - (cell + row + 0.5)) - 0.5, std::max(-q.x, q.x - cell));
    }, [&](Vec q) {
      const double edge = std::min(q.x, cell - q.x);
      const double fade = edge < ends ? (edge + 0.5) / (ends + 1) : 1;
      return Rgba{colour.r, colour.g, colour.b, colour.a * fade};
    });
    p.Fill([&](Vec q) {
      return std::max(std::fabs(q.x - (cell + row + 0.5)) - 0.5, std::max(-q.y, q.y - cell));
    }, colour);
  }
  return p;
}

// A fine-grained dark tile: noise per pixel and per row, so it repeats
// without seams.
Picture Background() {
  const int32_t size = 128;
  Picture p(size, size);
  p.Fill([](Vec) { return -1.0; }, [](Vec q) {
    const auto x = static_cast<uint32_t>(q.x), y = static_cast<uint32_t>(q.y);
    const double grain = (Noise(x, y, 1) - 0.5) * 2.4 + (Noise(0, y, 2) - 0.5) * 1.6;
    const double v = (0x2C + grain) / 255;
    return Rgba{v * 0.97, v * 0.99, v * 1.03, 1};
  });
  return p;
}

void AddImage(std::vector<SkinFile>& files, const std::string& name, const Picture& picture,
              const std::string& description) {
  std::string error;
  std::vector<uint8_t> png =
      ov::EncodePngColour(picture.width(), picture.height(), picture.Pixels(), &error);
  if (png.empty()) {
    std::cerr << "make_default_skin: " << name << ": " << error << "\n";
    std::exit(1);
  }
  files.push_back({name + ".png", std::move(png)});
  files.push_back({name + ".txt", std::vector<uint8_t>(description.begin(), description.end())});
}

std::vector<SkinFile> DrawSkin() {
  std::vector<SkinFile> files;
  const auto kKnobFrames = 61;
  AddImage(files, "background", Background(), "; the panel, repeated\ntiled true\n");
  AddImage(files, "knob_med", Knob(40, 12.5, 3, kKnobFrames),
           "type knob\nframe_size 40 40\nmouse_response rotary\n");
  AddImage(files, "knob_sm", Knob(28, 8.5, 2.5, kKnobFrames),
           "type knob\nframe_size 28 28\nmouse_response rotary\n");
  AddImage(files, "vslider_med", Slider(true),
           "type slider\nframe_size 24 100\nhandle_rect 2 100 22 112\nhandle_range 0 88\n"
           "orientation vertical\n");
  AddImage(files, "hslider_med", Slider(false),
           "type slider\nframe_size 100 24\nhandle_rect 100 2 112 22\nhandle_range 0 88\n"
           "orientation horizontal\n");
  // Buttons are two-frame knobs: 0 up, 1 pressed (or latched).
  AddImage(files, "button", Key(32, 20, Indicator(5, 1.5)),
           "type knob\nframe_size 32 20\nmouse_response click\n");
  AddImage(files, "button_sm", Key(20, 14, Indicator(3, 1)),
           "type knob\nframe_size 20 14\nmouse_response click\n");
  AddImage(files, "led", Led(12), "; off, then lit\ntype knob\nframe_size 12 12\n");
  AddImage(files, "bar_graph1", BarGraph(),
           "; frame 0 lit, frame 1 dark; ten segments of 6 rows above 2\n"
           "type bargraph\nframe_size 12 64\nsegment_count 9\nsegment 2 6\n");
  AddImage(files, "switch_rotary", RotarySwitch(36, 64),
           "; one clockwise turn from the right-hand position\n"
           "type knob\nframe_size 36 36\nmouse_response rotary\n");
  AddImage(files, "arrow_left", Key(16, 16, Triangle({{10, 4.5}, {10, 11}, {5, 7.75}})),
           "type knob\nframe_size 16 16\nmouse_response click\n");
  AddImage(files, "arrow_right", Key(16, 16, Triangle({{6, 4.5}, {11, 7.75}, {6, 11}})),
           "type knob\nframe_size 16 16\nmouse_response click\n");
  AddImage(files, "drop_down", Key(16, 16, Triangle({{4.5, 6}, {11.5, 6}, {8, 10.5}})),
           "type knob\nframe_size 16 16\nmouse_response click\n");
  AddImage(files, "lines", Lines(), "frame_size 17 17\nline_end_length 3\n");
  // The browse button of file name parameters: up, then pressed.
  AddImage(files, "IDB_BROWSE_BTNU", Key(20, 20, Dots()),
           "type knob\nframe_size 20 20\nmouse_response click\n");
  // Colours after "#" read blue, green, red.
  const std::string global =
      "; Font categories of the default skin. Colours after # are blue, green, red.\n"
      "FONT_CATEGORY normal\nfont-size 12\nfont-color #dcdcdc\n"
      "FONT_CATEGORY \"heading 1\"\nfont-size 18\nfont-weight bold\nfont-color #f2f2f2\n"
      "FONT_CATEGORY \"heading 2\"\nfont-size 15\nfont-weight bold\nfont-color #e6e6e6\n"
      "FONT_CATEGORY \"heading 3\"\nfont-size 13\nfont-weight bold\nfont-color #30a0f0\n"
      "FONT_CATEGORY \"user 1\"\nfont-size 12\nfont-color #30a0f0\n"
      "FONT_CATEGORY \"user 2\"\nfont-size 10\nfont-color #b4b4b4\n"
      "FONT_CATEGORY \"user 3\"\nfont-size 12\nfont-style italic\nfont-color #c8c8c8\n"
      "FONT_CATEGORY control_label\nfont-size 11\ntext-align center\nfont-color #d2d2d2\n"
      "; edit boxes, lists and push buttons keep their light fields\n"
      "FONT_CATEGORY control_edit\nfont-size 12\nfont-color #000000\n"
      "FONT_CATEGORY selector_text\nfont-size 11\nfont-color #dcdcdc\n"
      "FONT_CATEGORY switch_label\nfont-size 10\nfont-color #aaaaaa\n"
      "FONT_CATEGORY panel_group\nfont-size 12\nfont-weight bold\nfont-color #c0c0c0\n"
      "FONT_CATEGORY tty\nfont-family \"Courier New\", monospace\nfont-size 12\n"
      "font-color #40c8f0\nbackground-color #101010\n";
  files.push_back({"global.txt", std::vector<uint8_t>(global.begin(), global.end())});
  return files;
}

bool WriteAll(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  return static_cast<bool>(out);
}

std::string Source(const std::vector<SkinFile>& files) {
  std::string out =
      "// Made by make_default_skin: the default skin's files.\n"
      "#include \"editor/skins/default_skin/default_skin.h\"\n\nnamespace ov {\nnamespace {\n";
  for (std::size_t i = 0; i < files.size(); ++i) {
    out += "const unsigned char kFile" + std::to_string(i) + "[] = {";
    for (std::size_t b = 0; b < files[i].bytes.size(); ++b) {
      if (b % 20 == 0) out += "\n";
      out += std::to_string(files[i].bytes[b]) + ",";
    }
    out += "};\n";
  }
  out += "}  // namespace\n\nconst std::vector<BuiltInSkinFile>& BuiltInSkinFiles() {\n"
         "  static const std::vector<BuiltInSkinFile> kFiles = {\n";
  for (std::size_t i = 0; i < files.size(); ++i) {
    out += "      {\"" + files[i].name + "\", {kFile" + std::to_string(i) + ", sizeof kFile" +
           std::to_string(i) + "}},\n";
  }
  out += "  };\n  return kFiles;\n}\n\n}  // namespace ov\n";
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make_default_skin FOLDER OUT.cpp\n";
    return 2;
  }
  const std::vector<SkinFile> files = DrawSkin();
  const std::string folder = argv[1];
  for (const SkinFile& file : files) {
    if (!WriteAll(folder + "/" + file.name, std::string(file.bytes.begin(), file.bytes.end()))) {
      std::cerr << "make_default_skin: cannot write " << folder << "/" << file.name << "\n";
      return 1;
    }
  }
  if (!WriteAll(argv[2], Source(files))) {
    std::cerr << "make_default_skin: cannot write " << argv[2] << "\n";
    return 1;
  }
  return 0;
}
