#include "bench/report.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "tests/support/png_writer.h"

namespace bench {
namespace {

// A 3 x 5 pixel font for the plot's axis labels: digits and the point.
constexpr std::uint16_t kGlyphs[11] = {
    0x7B6F, 0x2C97, 0x73E7, 0x73CF, 0x5BC9, 0x79CF, 0x79EF, 0x7249, 0x7BEF, 0x7BCF, 0x0002,
};

class Canvas {
 public:
  Canvas(int width, int height, std::uint32_t fill) : width_(width), height_(height), pixels_(width * height, fill) {}

  void Set(int x, int y, std::uint32_t argb) {
    if (x >= 0 && y >= 0 && x < width_ && y < height_) pixels_[static_cast<std::size_t>(y * width_ + x)] = argb;
  }
  void VerticalLine(int x, int y0, int y1, std::uint32_t argb) {
    if (y0 > y1) std::swap(y0, y1);
    for (int y = y0; y <= y1; ++y) Set(x, y, argb);
  }
  void HorizontalLine(int x0, int x1, int y, std::uint32_t argb) {
    for (int x = x0; x <= x1; ++x) Set(x, y, argb);
  }
  // Text of digits and points, 2x scaled, top left at (x, y).
  void Text(int x, int y, const std::string& text, std::uint32_t argb) {
    for (char c : text) {
      const int glyph = c == '.' ? 10 : (c >= '0' && c <= '9' ? c - '0' : -1);
      if (glyph >= 0) {
        for (int row = 0; row < 5; ++row) {
          for (int col = 0; col < 3; ++col) {
            if ((kGlyphs[glyph] >> (14 - row * 3 - col)) & 1) {
              for (int k = 0; k < 4; ++k) Set(x + col * 2 + k % 2, y + row * 2 + k / 2, argb);
            }
          }
        }
      }
      x += 8;
    }
  }
  bool Write(const std::string& path) const { return testing_support::WritePng(path, width_, height_, pixels_); }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  int width_;
  int height_;
  std::vector<std::uint32_t> pixels_;
};

// Least-squares slope of y over x.
double Slope(const std::vector<ParticleFit::Bucket>& buckets, std::size_t begin, std::size_t end) {
  const double n = static_cast<double>(end - begin);
  if (n < 2) return 0.0;
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (std::size_t i = begin; i < end; ++i) {
    const double x = buckets[i].particles / 1000.0;
    sx += x;
    sy += buckets[i].ownMs;
    sxx += x * x;
    sxy += x * buckets[i].ownMs;
  }
  const double d = n * sxx - sx * sx;
  return d > 0.0 ? (n * sxy - sx * sy) / d : 0.0;
}

}  // namespace

Spread SpreadOf(std::vector<double> values) {
  Spread spread;
  if (values.empty()) return spread;
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  spread.median = n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
  const std::size_t rank = static_cast<std::size_t>(std::ceil(0.99 * static_cast<double>(n)));
  spread.p99 = values[std::clamp<std::size_t>(rank, 1, n) - 1];
  return spread;
}

bool WriteCsv(const std::string& path, const Run& run) {
  std::ofstream out(path);
  out << "# scenario " << run.scenario << " backend " << run.backend << "\n";
  out << "frame,update_ms,submit_ms,flush_ms,frame_ms,replay_ms,particles,quads,draw_calls,actors\n";
  char line[256];
  for (const FrameSample& f : run.frames) {
    std::snprintf(line, sizeof line, "%d,%.4f,%.4f,%.4f,%.4f,%.4f,%d,%d,%d,%d\n", f.frame, f.update, f.submit,
                  f.flush, f.Frame(), f.replay, f.particles, f.quads, f.drawCalls, f.actors);
    out << line;
  }
  return static_cast<bool>(out);
}

bool ReadCsv(const std::string& path, Run* run) {
  std::ifstream in(path);
  std::string line;
  if (!std::getline(in, line)) return false;
  std::istringstream header(line);
  std::string hash, word;
  header >> hash >> word >> run->scenario >> word >> run->backend;
  std::getline(in, line);  // column names
  run->frames.clear();
  while (std::getline(in, line)) {
    FrameSample f;
    double total = 0.0;
    if (std::sscanf(line.c_str(), "%d,%lf,%lf,%lf,%lf,%lf,%d,%d,%d,%d", &f.frame, &f.update, &f.submit, &f.flush,
                    &total, &f.replay, &f.particles, &f.quads, &f.drawCalls, &f.actors) == 10) {
      run->frames.push_back(f);
    }
  }
  return !run->frames.empty();
}

bool WritePlot(const std::string& path, const Run& run) {
  constexpr int kLeft = 60, kBottom = 20, kTop = 10;
  const int frames = static_cast<int>(run.frames.size());
  Canvas canvas(std::max(800, std::min(frames / 2, 1800)) + kLeft, 420, 0xFF101018);
  const int plotWidth = canvas.width() - kLeft - 10;
  const int plotHeight = canvas.height() - kBottom - kTop;

  std::vector<double> totals;
  int maxParticles = 1;
  for (const FrameSample& f : run.frames) {
    totals.push_back(std::max(f.Frame(), f.replay));
    maxParticles = std::max(maxParticles, f.particles);
  }
  // The scale stops at twice the 90th percentile: the spikes of a shared
  // machine clip at the top rather than flatten the rest.
  std::vector<double> sorted = totals;
  std::sort(sorted.begin(), sorted.end());
  const double p90 = sorted.empty() ? 1.0 : sorted[sorted.size() * 9 / 10];
  const double top = std::max(1.0, p90 * 2.0);
  const double steps[] = {0.1, 0.2, 0.5, 1, 2, 5, 10, 20, 50, 100, 200, 500};
  double grid = steps[0];
  for (double step : steps) {
    if (top / step >= 4) grid = step;
  }
  auto yOf = [&](double ms) {
    return kTop + plotHeight - static_cast<int>(std::lround(std::min(ms, top) / top * plotHeight));
  };
  auto xOf = [&](int i) { return kLeft + static_cast<int>(static_cast<long long>(i) * plotWidth / std::max(1, frames)); };

  for (double ms = 0; ms <= top; ms += grid) {
    canvas.HorizontalLine(kLeft, kLeft + plotWidth, yOf(ms), 0xFF303040);
    char label[32];
    std::snprintf(label, sizeof label, grid < 1 ? "%.1f" : "%.0f", ms);
    canvas.Text(4, yOf(ms) - 5, label, 0xFFB0B0B0);
  }
  // Ticks every second of game time, longer ones every ten seconds.
  for (int i = 0; i < frames; i += 60) {
    const int length = i % 600 == 0 ? 8 : 3;
    canvas.VerticalLine(xOf(i), kTop + plotHeight, kTop + plotHeight + length, 0xFF8080A0);
  }

  struct Series {
    std::uint32_t color;
    double (*value)(const FrameSample&, double);
  };
  const double particleScale = top / maxParticles;
  const Series series[] = {
      {0xFF505058, [](const FrameSample& f, double s) { return f.particles * s; }},
      {0xFF00C0E0, [](const FrameSample& f, double) { return f.replay; }},
      {0xFFFFFFFF, [](const FrameSample& f, double) { return f.Frame(); }},
      {0xFFFF9020, [](const FrameSample& f, double) { return f.OwnWork(); }},
  };
  for (const Series& s : series) {
    int previous = -1;
    for (int i = 0; i < frames; ++i) {
      const double v = s.value(run.frames[i], particleScale);
      if (v < 0) continue;
      const int y = yOf(v);
      canvas.VerticalLine(xOf(i), previous < 0 ? y : previous, y, s.color);
      previous = y;
    }
  }
  canvas.VerticalLine(kLeft, kTop, kTop + plotHeight, 0xFFB0B0B0);
  canvas.HorizontalLine(kLeft, kLeft + plotWidth, kTop + plotHeight, 0xFFB0B0B0);
  return canvas.Write(path);
}

ParticleFit FitParticles(const std::vector<FrameSample>& frames, int bucketCount) {
  ParticleFit fit;
  if (frames.empty() || bucketCount < 2) return fit;
  int low = frames.front().particles;
  int high = low;
  for (const FrameSample& f : frames) {
    low = std::min(low, f.particles);
    high = std::max(high, f.particles);
  }
  // Buckets of equal width over the whole range of particle counts, so the
  // fit spans it; a bucket of too few frames says nothing and is dropped.
  const double width = std::max(1.0, static_cast<double>(high - low) / bucketCount);
  std::vector<std::vector<const FrameSample*>> buckets(static_cast<std::size_t>(bucketCount));
  for (const FrameSample& f : frames) {
    const int b = std::min(bucketCount - 1, static_cast<int>((f.particles - low) / width));
    buckets[static_cast<std::size_t>(b)].push_back(&f);
  }
  const std::size_t enough = std::max<std::size_t>(10, frames.size() / 200);
  for (const auto& bucket : buckets) {
    if (bucket.size() < enough) continue;
    std::vector<double> particles, own;
    for (const FrameSample* f : bucket) {
      particles.push_back(f->particles);
      own.push_back(f->OwnWork());
    }
    fit.buckets.push_back({SpreadOf(particles).median, SpreadOf(own).median, bucket.size()});
  }
  const std::size_t half = fit.buckets.size() / 2;
  fit.lowSlope = Slope(fit.buckets, 0, half + 1);
  fit.highSlope = Slope(fit.buckets, half, fit.buckets.size());
  return fit;
}

}  // namespace bench
