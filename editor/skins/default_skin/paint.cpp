#include "editor/skins/default_skin/paint.h"

namespace ov::skin_paint {
namespace {

double SinSeries(double x) {
  const double x2 = x * x;
  double term = x;
  double sum = x;
  for (int n = 1; n < 10; ++n) {
    term *= -x2 / ((2 * n) * (2 * n + 1));
    sum += term;
  }
  return sum;
}

double CosSeries(double x) {
  const double x2 = x * x;
  double term = 1;
  double sum = 1;
  for (int n = 1; n < 10; ++n) {
    term *= -x2 / ((2 * n - 1) * (2 * n));
    sum += term;
  }
  return sum;
}

double Length(Vec v) { return std::sqrt(v.x * v.x + v.y * v.y); }
double Clamp01(double v) { return std::clamp(v, 0.0, 1.0); }

}  // namespace

double Sin(double x) {
  // Quarter turns: x = k * pi/2 + r with |r| <= pi/4.
  const double quarter = kPi / 2;
  const double k = std::floor(x / quarter + 0.5);
  const double r = x - k * quarter;
  switch (((static_cast<int64_t>(k) % 4) + 4) % 4) {
    case 0: return SinSeries(r);
    case 1: return CosSeries(r);
    case 2: return -SinSeries(r);
    default: return -CosSeries(r);
  }
}

double Cos(double x) { return Sin(x + kPi / 2); }

Rgba Hex(uint32_t rgb, double alpha) {
  return {((rgb >> 16) & 255) / 255.0, ((rgb >> 8) & 255) / 255.0, (rgb & 255) / 255.0, alpha};
}

Rgba Mix(const Rgba& a, const Rgba& b, double t) {
  t = Clamp01(t);
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
          a.a + (b.a - a.a) * t};
}

double CircleDistance(Vec p, Vec centre, double radius) {
  return Length({p.x - centre.x, p.y - centre.y}) - radius;
}

double RoundRectDistance(Vec p, double left, double top, double right, double bottom,
                         double radius) {
  const double cx = (left + right) / 2;
  const double cy = (top + bottom) / 2;
  const double hx = (right - left) / 2 - radius;
  const double hy = (bottom - top) / 2 - radius;
  const double qx = std::fabs(p.x - cx) - hx;
  const double qy = std::fabs(p.y - cy) - hy;
  const double outside = Length({std::max(qx, 0.0), std::max(qy, 0.0)});
  return outside + std::min(std::max(qx, qy), 0.0) - radius;
}

double CapsuleDistance(Vec p, Vec a, Vec b, double half_width) {
  const Vec pa{p.x - a.x, p.y - a.y};
  const Vec ba{b.x - a.x, b.y - a.y};
  const double along = Clamp01((pa.x * ba.x + pa.y * ba.y) / (ba.x * ba.x + ba.y * ba.y));
  return Length({pa.x - ba.x * along, pa.y - ba.y * along}) - half_width;
}

double ArcDistance(Vec p, Vec centre, double radius, double start, double sweep,
                   double half_width) {
  // Turn the point so that the arc lies symmetric about the +x axis.
  const double middle = start + sweep / 2;
  const double c = Cos(middle);
  const double s = Sin(middle);
  const Vec d{p.x - centre.x, p.y - centre.y};
  const Vec q{d.x * c + d.y * s, std::fabs(-d.x * s + d.y * c)};
  const double half = sweep / 2;
  const double hs = Sin(half);
  const double hc = Cos(half);
  if (q.x * hs - q.y * hc >= 0) return std::fabs(Length(q) - radius) - half_width;
  return Length({q.x - radius * hc, q.y - radius * hs}) - half_width;
}

double ConvexDistance(Vec p, const std::vector<Vec>& points) {
  double distance = -1e9;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const Vec a = points[i];
    const Vec b = points[(i + 1) % points.size()];
    const Vec edge{b.x - a.x, b.y - a.y};
    const double length = Length(edge);
    // Outward normal of a clockwise (on screen) outline.
    const Vec normal{edge.y / length, -edge.x / length};
    distance = std::max(distance, (p.x - a.x) * normal.x + (p.y - a.y) * normal.y);
  }
  return distance;
}

double Noise(uint32_t x, uint32_t y, uint32_t seed) {
  uint32_t h = x * 0x9E3779B1u ^ (y + 0x7F4A7C15u) * 0x85EBCA77u ^ seed * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return (h & 0xFFFFFF) / double(0xFFFFFF);
}

void Picture::Fill(const std::function<double(Vec)>& distance,
                   const std::function<Rgba(Vec)>& paint) {
  for (int32_t y = 0; y < height_; ++y) {
    for (int32_t x = 0; x < width_; ++x) {
      const Vec p{x + 0.5, y + 0.5};
      const double coverage = Clamp01(0.5 - distance(p));
      if (coverage <= 0) continue;
      const Rgba c = paint(p);
      const double a = Clamp01(c.a) * coverage;
      Px& d = px_[static_cast<std::size_t>(y) * width_ + x];
      d.r = c.r * a + d.r * (1 - a);
      d.g = c.g * a + d.g * (1 - a);
      d.b = c.b * a + d.b * (1 - a);
      d.a = a + d.a * (1 - a);
    }
  }
}

void Picture::Paste(const Picture& other, int32_t x0, int32_t y0) {
  for (int32_t y = 0; y < other.height_; ++y) {
    for (int32_t x = 0; x < other.width_; ++x) {
      if (x0 + x < 0 || y0 + y < 0 || x0 + x >= width_ || y0 + y >= height_) continue;
      px_[static_cast<std::size_t>(y0 + y) * width_ + x0 + x] =
          other.px_[static_cast<std::size_t>(y) * other.width_ + x];
    }
  }
}

std::vector<uint32_t> Picture::Pixels() const {
  std::vector<uint32_t> out;
  out.reserve(px_.size());
  for (const Px& p : px_) {
    const auto byte = [](double v) {
      return static_cast<uint32_t>(std::floor(Clamp01(v) * 255 + 0.5));
    };
    const uint32_t alpha = byte(p.a);
    if (alpha == 0) {
      out.push_back(0xFF000000u);
      continue;
    }
    // Straight colour from premultiplied.
    out.push_back(((255 - alpha) << 24) | byte(p.r / p.a) << 16 | byte(p.g / p.a) << 8 |
                  byte(p.b / p.a));
  }
  return out;
}

}  // namespace ov::skin_paint
