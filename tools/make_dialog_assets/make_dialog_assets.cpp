// Draws the settings dialog's pictures (the two option marks, the 24 animation frames and the
// hand pointer) and writes them as a C++ source file of 0xAARRGGBB pixel arrays.
//   make_dialog_assets <output.cpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Picture {
  int width;
  int height;
  std::vector<double> r, g, b, a;  // 0..1, straight (not premultiplied) colour
  Picture(int w, int h) : width(w), height(h), r(w * h, 0), g(w * h, 0), b(w * h, 0), a(w * h, 0) {}
  void blend(int x, int y, double cr, double cg, double cb, double alpha) {
    if (x < 0 || y < 0 || x >= width || y >= height || alpha <= 0) return;
    const int i = y * width + x;
    const double outA = alpha + a[i] * (1 - alpha);
    if (outA <= 0) return;
    r[i] = (cr * alpha + r[i] * a[i] * (1 - alpha)) / outA;
    g[i] = (cg * alpha + g[i] * a[i] * (1 - alpha)) / outA;
    b[i] = (cb * alpha + b[i] * a[i] * (1 - alpha)) / outA;
    a[i] = outA;
  }
  // Additive light on an opaque picture.
  void add(int x, int y, double cr, double cg, double cb) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    const int i = y * width + x;
    r[i] = std::min(1.0, r[i] + cr);
    g[i] = std::min(1.0, g[i] + cg);
    b[i] = std::min(1.0, b[i] + cb);
  }
  std::uint32_t argb(int i) const {
    auto byte = [](double v) {
      return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
    };
    return byte(a[i]) << 24 | byte(r[i]) << 16 | byte(g[i]) << 8 | byte(b[i]);
  }
};

// Fraction of pixel (x, y) inside a shape, by 4 x 4 supersampling.
double coverage(int x, int y, const std::function<bool(double, double)>& inside) {
  int hits = 0;
  for (int sy = 0; sy < 4; ++sy) {
    for (int sx = 0; sx < 4; ++sx) hits += inside(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4) ? 1 : 0;
  }
  return hits / 16.0;
}

Picture optionMark(bool selected) {
  Picture p(12, 12);
  const double c = 6.0;
  auto within = [c](double radius) {
    return [c, radius](double x, double y) { return std::hypot(x - c, y - c) <= radius; };
  };
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 12; ++x) {
      // Sunken ring: darker toward the upper left, lighter toward the lower right.
      const double shade = ((x + y) / 22.0);
      const double ring = coverage(x, y, within(5.9)) - coverage(x, y, within(4.6));
      p.blend(x, y, 0.45 + 0.45 * shade, 0.45 + 0.45 * shade, 0.47 + 0.45 * shade, ring);
      p.blend(x, y, 1, 1, 1, coverage(x, y, within(4.6)));
      if (selected) p.blend(x, y, 0.05, 0.08, 0.15, coverage(x, y, within(2.2)));
    }
  }
  return p;
}

// A four-armed crystal of light that grows, turns and fades over the 24 frames, with sparks
// circling it, on a night-blue ground.
Picture animationFrame(int frame) {
  Picture p(120, 50);
  const double t = (frame - 1) / 24.0;
  for (int y = 0; y < 50; ++y) {
    for (int x = 0; x < 120; ++x) {
      const double v = y / 49.0;
      p.blend(x, y, 0.03 + 0.07 * v, 0.05 + 0.12 * v, 0.18 + 0.25 * v, 1);
    }
  }
  const double cx = 60;
  const double cy = 25;
  const double grow = std::sin(kPi * t);
  const double length = 6 + 16 * grow;
  const double turn = t * kPi / 2;
  for (int y = 0; y < 50; ++y) {
    for (int x = 0; x < 120; ++x) {
      const double dx = x + 0.5 - cx;
      const double dy = y + 0.5 - cy;
      const double along = std::abs(dx * std::cos(turn) + dy * std::sin(turn));
      const double across = std::abs(-dx * std::sin(turn) + dy * std::cos(turn));
      // Two crossed thin diamonds make the four arms.
      auto arm = [length](double u, double w) {
        const double width = 2.2 * (1 - u / length);
        return u < length && w < width ? (1 - u / length) * (1 - w / std::max(width, 0.01)) : 0.0;
      };
      const double light = std::max(arm(along, across), arm(across, along));
      const double glow = 0.35 * std::exp(-(dx * dx + dy * dy) / (30 + 60 * grow));
      p.add(x, y, 0.55 * light + 0.4 * glow, 0.85 * light + 0.6 * glow, 1.0 * light + 0.9 * glow);
    }
  }
  for (int k = 0; k < 6; ++k) {
    const double angle = 2 * kPi * (k / 6.0 + t);
    const double radius = 30 + 6 * std::sin(2 * kPi * (t + k / 3.0));
    const double sx = cx + radius * std::cos(angle) * 1.6;
    const double sy = cy + radius * std::sin(angle) * 0.55;
    for (int y = 0; y < 50; ++y) {
      for (int x = 0; x < 120; ++x) {
        const double d2 = (x + 0.5 - sx) * (x + 0.5 - sx) + (y + 0.5 - sy) * (y + 0.5 - sy);
        const double spark = 0.9 * std::exp(-d2 / 1.5);
        p.add(x, y, spark, spark * 0.9, spark * 0.6);
      }
    }
  }
  return p;
}

// A white pointing hand with a black outline; the tip of the index finger is at (12, 1).
Picture handPointer() {
  Picture p(32, 32);
  auto box = [](int l, int t, int r, int b) {
    return [=](int x, int y) { return x >= l && x <= r && y >= t && y <= b; };
  };
  const std::vector<std::function<bool(int, int)>> parts = {
      box(11, 2, 14, 16), box(12, 1, 13, 1),  // index finger with a rounded tip
      box(15, 9, 17, 16), box(18, 10, 20, 16), box(21, 11, 23, 17),  // three fingers
      box(7, 15, 23, 24), box(8, 25, 22, 27),                        // palm and wrist
      box(5, 15, 8, 19),  box(6, 20, 8, 21),                         // thumb
  };
  auto inside = [&](int x, int y) {
    for (const auto& part : parts) {
      if (part(x, y)) return true;
    }
    return false;
  };
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      if (!inside(x, y)) continue;
      const bool edge =
          !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
      const bool crease = (x == 14 || x == 17 || x == 20) && y >= 11 && y <= 16;
      const bool black = edge || crease;
      p.blend(x, y, black ? 0 : 1, black ? 0 : 1, black ? 0 : 1, 1);
    }
  }
  return p;
}

void writeArray(std::FILE* out, const char* name, const Picture& p) {
  std::fprintf(out, "const std::uint32_t %s[%d] = {", name, p.width * p.height);
  for (int i = 0; i < p.width * p.height; ++i) {
    std::fprintf(out, "%s0x%08X,", i % 10 == 0 ? "\n    " : " ", static_cast<unsigned>(p.argb(i)));
  }
  std::fprintf(out, "\n};\n\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_dialog_assets <output.cpp>\n");
    return 2;
  }
  std::FILE* out = std::fopen(argv[1], "w");
  if (!out) {
    std::perror(argv[1]);
    return 1;
  }
  std::fprintf(out,
               "// Made by tools/make_dialog_assets; do not edit.\n"
               "#include \"host/dialog/dialog_assets.h\"\n\n"
               "namespace pellarin::dialog_assets {\nnamespace {\n\n");
  writeArray(out, "kMarkOff", optionMark(false));
  writeArray(out, "kMarkOn", optionMark(true));
  writeArray(out, "kHand", handPointer());
  for (int frame = 1; frame <= 24; ++frame) {
    writeArray(out, ("kFrame" + std::to_string(frame)).c_str(), animationFrame(frame));
  }
  std::fprintf(out, "const AssetImage kFrames[24] = {\n");
  for (int frame = 1; frame <= 24; ++frame) {
    std::fprintf(out, "    {120, 50, kFrame%d},\n", frame);
  }
  std::fprintf(out,
               "};\n\n}  // namespace\n\n"
               "AssetImage optionMark(bool selected) {\n"
               "  return {12, 12, selected ? kMarkOn : kMarkOff};\n}\n\n"
               "AssetImage animationFrame(int frame) {\n"
               "  return kFrames[frame < 1 ? 0 : frame > 24 ? 23 : frame - 1];\n}\n\n"
               "AssetImage handPointer() { return {32, 32, kHand}; }\n\n"
               "}  // namespace pellarin::dialog_assets\n");
  return std::fclose(out) == 0 ? 0 : 1;
}
