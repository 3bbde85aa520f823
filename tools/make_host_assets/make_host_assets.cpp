// Draws the host's built-in pictures and writes them as a C++ source file:
//   make_host_assets <output.cpp>
// The pictures are computed from fixed seeds, so every build gets the same pixels.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Rgb {
  double r = 0, g = 0, b = 0;
};

struct Canvas {
  int width;
  int height;
  std::vector<Rgb> pixels;
  Canvas(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w * h)) {}
  Rgb& at(int x, int y) { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

// A small deterministic generator so the pictures do not depend on the standard library.
class Lcg {
 public:
  explicit Lcg(std::uint32_t seed) : state_(seed) {}
  double next() {
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<double>(state_ >> 8) / static_cast<double>(1u << 24);
  }

 private:
  std::uint32_t state_;
};

// Value noise on a lattice that repeats every `period` cells, so it tiles.
class PeriodicNoise {
 public:
  PeriodicNoise(int period, std::uint32_t seed) : period_(period) {
    Lcg random(seed);
    values_.resize(static_cast<std::size_t>(period * period));
    for (double& v : values_) v = random.next();
  }
  // x and y in lattice cells.
  double at(double x, double y) const {
    const double fx = std::floor(x);
    const double fy = std::floor(y);
    const double tx = smooth(x - fx);
    const double ty = smooth(y - fy);
    const int x0 = wrap(static_cast<int>(fx));
    const int y0 = wrap(static_cast<int>(fy));
    const int x1 = wrap(x0 + 1);
    const int y1 = wrap(y0 + 1);
    const double top = lerp(value(x0, y0), value(x1, y0), tx);
    const double bottom = lerp(value(x0, y1), value(x1, y1), tx);
    return lerp(top, bottom, ty);
  }
  int period() const { return period_; }

 private:
  static double smooth(double t) { return t * t * (3 - 2 * t); }
  static double lerp(double a, double b, double t) { return a + (b - a) * t; }
  int wrap(int i) const { return ((i % period_) + period_) % period_; }
  double value(int x, int y) const { return values_[static_cast<std::size_t>(y * period_ + x)]; }
  int period_;
  std::vector<double> values_;
};

// Sum of octaves; u and v in [0, 1) cover the base lattice once, so the sum tiles too.
double fractal(const PeriodicNoise& base, const PeriodicNoise& detail, double u, double v) {
  double sum = 0;
  double amplitude = 0.5;
  double total = 0;
  for (int octave = 0; octave < 4; ++octave) {
    const PeriodicNoise& noise = octave == 0 ? base : detail;
    const double scale = noise.period() * (octave == 0 ? 1 : (1 << (octave - 1)));
    sum += amplitude * noise.at(u * scale, v * scale);
    total += amplitude;
    amplitude *= 0.5;
  }
  return sum / total;
}

Canvas drawNebula() {
  Canvas canvas(256, 256);
  const PeriodicNoise base(4, 11), detail(16, 12), base2(4, 21), detail2(16, 22), base3(4, 31),
      detail3(16, 32);
  for (int y = 0; y < canvas.height; ++y) {
    for (int x = 0; x < canvas.width; ++x) {
      const double u = x / 256.0, v = y / 256.0;
      const double dx = u - 0.5, dy = v - 0.5;
      const double radius = std::sqrt(dx * dx + dy * dy);
      const double falloff = std::max(0.0, 1.0 - radius * 2.1);
      const double glow = std::exp(-radius * radius * 28.0);
      const double blue = std::pow(fractal(base, detail, u, v), 2.0) * falloff;
      const double red = std::pow(fractal(base2, detail2, u + 0.13, v), 3.0) * falloff;
      const double green = std::pow(fractal(base3, detail3, u, v + 0.29), 4.0) * falloff;
      Rgb& p = canvas.at(x, y);
      p.r = 2.6 * red + 0.9 * glow;
      p.g = 1.8 * green + 0.7 * glow;
      p.b = 2.9 * blue + 1.0 * glow;
    }
  }
  Lcg random(77);
  for (int star = 0; star < 90; ++star) {
    const int x = static_cast<int>(random.next() * 256);
    const int y = static_cast<int>(random.next() * 256);
    const double brightness = 0.4 + 0.6 * random.next();
    Rgb& p = canvas.at(x, y);
    p.r += brightness;
    p.g += brightness;
    p.b += brightness;
  }
  return canvas;
}

Canvas drawFlames() {
  Canvas canvas(128, 128);
  const PeriodicNoise base(4, 41), detail(8, 42);
  for (int y = 0; y < canvas.height; ++y) {
    for (int x = 0; x < canvas.width; ++x) {
      const double u = x / 128.0, v = y / 128.0;
      // Turbulence folded into tongues that rise; the sine keeps the tiling periodic.
      const double turbulence = fractal(base, detail, u, v);
      const double tongues = 0.5 + 0.5 * std::sin(2 * kPi * (3 * u + 2 * v) + 9 * turbulence);
      const double heat = std::clamp(0.35 + 0.9 * turbulence * tongues, 0.0, 1.0);
      Rgb& p = canvas.at(x, y);
      p.r = std::min(1.0, 0.55 + heat * 0.6);
      p.g = std::pow(heat, 1.4) * 0.95;
      p.b = std::pow(heat, 5.0) * 0.45;
    }
  }
  return canvas;
}

Rgb hue(double h) {
  const double r = std::clamp(std::abs(h * 6 - 3) - 1, 0.0, 1.0);
  const double g = std::clamp(2 - std::abs(h * 6 - 2), 0.0, 1.0);
  const double b = std::clamp(2 - std::abs(h * 6 - 4), 0.0, 1.0);
  return {r, g, b};
}

Canvas drawSpectrum() {
  Canvas canvas(44, 128);
  for (int y = 0; y < canvas.height; ++y) {
    const Rgb pure = hue(y / 128.0);
    for (int x = 0; x < canvas.width; ++x) {
      const double t = x / 43.0;  // 0 white, 0.5 the pure colour, 1 black
      Rgb& p = canvas.at(x, y);
      if (t < 0.5) {
        const double w = 1 - t * 2;
        p = {pure.r + (1 - pure.r) * w, pure.g + (1 - pure.g) * w, pure.b + (1 - pure.b) * w};
      } else {
        const double k = 2 - t * 2;
        p = {pure.r * k, pure.g * k, pure.b * k};
      }
    }
  }
  return canvas;
}

// Adds a thin glowing line, brightest at its start.
void addStroke(Canvas& canvas, double x0, double y0, double angle, double length, Rgb colour) {
  const int steps = static_cast<int>(length * 3);
  for (int i = 0; i <= steps; ++i) {
    const double t = static_cast<double>(i) / steps;
    const double x = x0 + std::cos(angle) * length * t;
    const double y = y0 + std::sin(angle) * length * t;
    const double fade = (1 - t) * (1 - t) / 3.0;
    for (int oy = -1; oy <= 1; ++oy) {
      for (int ox = -1; ox <= 1; ++ox) {
        const int px = static_cast<int>(std::lround(x)) + ox;
        const int py = static_cast<int>(std::lround(y)) + oy;
        if (px < 0 || py < 0 || px >= canvas.width || py >= canvas.height) continue;
        const double ddx = px - x, ddy = py - y;
        const double weight = std::exp(-(ddx * ddx + ddy * ddy) * 2.5) * fade;
        Rgb& p = canvas.at(px, py);
        p.r += colour.r * weight;
        p.g += colour.g * weight;
        p.b += colour.b * weight;
      }
    }
  }
}

Canvas drawPreview() {
  Canvas canvas(152, 112);
  const Rgb colours[] = {{0.75, 0.35, 1.0}, {0.35, 0.45, 1.0}, {1.0, 1.0, 1.0}};
  Lcg random(5);
  for (int star = 0; star < 14; ++star) {
    const double cx = 76 + (random.next() - 0.5) * 110;
    const double cy = 56 + (random.next() - 0.5) * 80;
    const Rgb colour = colours[star % 3];
    const int rays = 4 + static_cast<int>(random.next() * 5);
    const double size = 8 + random.next() * 26;
    const double turn = random.next() * kPi;
    for (int ray = 0; ray < rays; ++ray) {
      const double angle = turn + 2 * kPi * ray / rays;
      addStroke(canvas, cx, cy, angle, size * (0.6 + 0.4 * random.next()), colour);
    }
  }
  return canvas;
}

void writeArray(std::ostream& out, const char* name, Canvas& canvas) {
  out << "const std::uint8_t " << name << "[" << canvas.width * canvas.height * 3 << "] = {";
  int column = 0;
  for (const Rgb& p : canvas.pixels) {
    for (double channel : {p.r, p.g, p.b}) {
      const int value = static_cast<int>(std::lround(std::clamp(channel, 0.0, 1.0) * 255));
      if (column++ % 24 == 0) out << "\n   ";
      out << ' ' << value << ',';
    }
  }
  out << "\n};\n";
}

void writeAccessor(std::ostream& out, const char* function, const char* array,
                   const Canvas& canvas) {
  out << "PictureView " << function << "() { return {" << canvas.width << ", " << canvas.height
      << ", " << array << "}; }\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_host_assets <output.cpp>\n";
    return 2;
  }
  Canvas nebula = drawNebula();
  Canvas flames = drawFlames();
  Canvas spectrum = drawSpectrum();
  Canvas preview = drawPreview();

  const std::string target = argv[1];
  const std::string temporary = target + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary);
    out << "// Made by tools/make_host_assets; do not edit.\n"
        << "#include <cstdint>\n\n#include \"host/assets/built_in_pictures.h\"\n\n"
        << "namespace pellarin::assets {\n\nnamespace {\n";
    writeArray(out, "kNebula", nebula);
    writeArray(out, "kFlames", flames);
    writeArray(out, "kSpectrum", spectrum);
    writeArray(out, "kPreview", preview);
    out << "}  // namespace\n\n";
    writeAccessor(out, "nebulaPicture", "kNebula", nebula);
    writeAccessor(out, "flamesPicture", "kFlames", flames);
    writeAccessor(out, "spectrumPicture", "kSpectrum", spectrum);
    writeAccessor(out, "previewPicture", "kPreview", preview);
    out << "\n}  // namespace pellarin::assets\n";
    if (!out.flush()) {
      std::cerr << "make_host_assets: cannot write " << temporary << "\n";
      return 1;
    }
  }
  if (std::rename(temporary.c_str(), target.c_str()) != 0) {
    std::cerr << "make_host_assets: cannot write " << target << "\n";
    return 1;
  }
  return 0;
}
