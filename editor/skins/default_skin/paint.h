// A small antialiased painter for the skin generator: shapes as signed
// distances (coverage = 0.5 - distance, clamped), composited "over" in
// premultiplied floats. Only +, -, *, / and sqrt are used per pixel, and the
// few angles go through our own sine, so the pictures come out bit for bit
// the same on every machine and in every build.
// Thread: the generator's only thread.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

namespace ov::skin_paint {

constexpr double kPi = 3.14159265358979323846;

// Sine and cosine from Taylor series after reduction to [-pi/4, pi/4].
double Sin(double x);
double Cos(double x);

struct Rgba {
  double r = 0, g = 0, b = 0, a = 1;  // straight alpha, 0..1
};
Rgba Hex(uint32_t rgb, double alpha = 1);
Rgba Mix(const Rgba& a, const Rgba& b, double t);

struct Vec {
  double x = 0, y = 0;
};

// Signed distances (negative inside).
double CircleDistance(Vec p, Vec centre, double radius);
double RoundRectDistance(Vec p, double left, double top, double right, double bottom,
                         double radius);
double CapsuleDistance(Vec p, Vec a, Vec b, double half_width);
// A ring of `half_width` around radius `radius`, from angle `start` clockwise
// (screen y grows downward) over `sweep` radians, with round ends.
double ArcDistance(Vec p, Vec centre, double radius, double start, double sweep,
                   double half_width);
// A convex polygon given clockwise on screen; exact along edges.
double ConvexDistance(Vec p, const std::vector<Vec>& points);
// A ring outline of a shape: |d| - half_width.
inline double Stroke(double distance, double half_width) {
  return std::fabs(distance) - half_width;
}

// 32-bit hash noise in 0..1 for a pixel.
double Noise(uint32_t x, uint32_t y, uint32_t seed);

class Picture {
 public:
  Picture(int32_t width, int32_t height) : width_(width), height_(height), px_(width * height) {}
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }

  // Paints where `distance` (at pixel centres) is inside, with the colour
  // `paint` gives for the point.
  void Fill(const std::function<double(Vec)>& distance, const std::function<Rgba(Vec)>& paint);
  void Fill(const std::function<double(Vec)>& distance, const Rgba& colour) {
    Fill(distance, [&](Vec) { return colour; });
  }
  // Pastes `other` with its top-left at (x, y).
  void Paste(const Picture& other, int32_t x, int32_t y);
  // 0xTTRRGGBB pixels, TT the transparency (255 - alpha).
  std::vector<uint32_t> Pixels() const;

 private:
  struct Px {
    double r = 0, g = 0, b = 0, a = 0;  // premultiplied
  };
  int32_t width_, height_;
  std::vector<Px> px_;
};

}  // namespace ov::skin_paint
