// Cost of the drawings the playback loop repeats on every pass: one gauge
// draw, one seek-bar cursor, one graph cursor; and a full graph redraw.

#include "UnitBitmaps.h"
#include "UnitGraphics.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <cmath>

using namespace kp;

namespace {

TImage makeImage(int w, int h)
{
  TImage img;
  img.Width = w;
  img.Height = h;
  return img;
}

TGraphicItems sineSeries(int n)
{
  TGraphicItems s(n);
  for (int i = 0; i < n; ++i) {
    const double v = 60 + 40 * std::sin(i / 30.0);
    s[i] = {v - 3, v + 3, 5, 45000.5 + i / 86400.0};
  }
  return s;
}

void BM_SpeedGaugeDraw(benchmark::State &state)
{
  TImage img = makeImage(134, 134);
  TSpeedBitmap gauge(&img, QColor(240, 240, 240));
  double v = 0;
  for (auto _ : state) {
    gauge.Draw(0, v, 12345, 187);
    v = v > 200 ? 0 : v + 1.7;
  }
}
BENCHMARK(BM_SpeedGaugeDraw);

void BM_CompassDraw(benchmark::State &state)
{
  TImage img = makeImage(100, 100);
  TAzimutBitmap compass(&img, QColor(240, 240, 240));
  double b = 0;
  for (auto _ : state) {
    compass.Draw(b);
    b = b > 359 ? 0 : b + 3.1;
  }
}
BENCHMARK(BM_CompassDraw);

void BM_SeekBarCursor(benchmark::State &state)
{
  TImage img = makeImage(1200, 40);
  TSeekBitmap bar(&img);
  bar.Draw(QColor(240, 240, 240), {0, 1, 400, 420}, 45000.5, 45000.6, 0.0L, 1.0L, {}, {});
  long double p = 0;
  for (auto _ : state) {
    bar.DrawCursor(1, p);
    p = p > 1 ? 0 : p + 0.001L;
  }
}
BENCHMARK(BM_SeekBarCursor);

void BM_SeekBarDraw(benchmark::State &state)
{
  TImage img = makeImage(1200, 40);
  TSeekBitmap bar(&img);
  for (auto _ : state) bar.Draw(QColor(240, 240, 240), {0, 1, 400, 420}, 45000.5, 45000.6, 0.0L, 1.0L, {}, {});
}
BENCHMARK(BM_SeekBarDraw);

void BM_GraphCursor(benchmark::State &state)
{
  TImage img = makeImage(1200, 80);
  TSpeedGraphic g(&img, 25);
  g.Resize();
  TGraphicItems s = sineSeries(1150);
  g.Draw(s, {}, {}, {}, 0.0L, 1.0L);
  long double t = 0;
  for (auto _ : state) {
    g.DrawCursor(t);
    t = t > 1 ? 0 : t + 0.001L;
  }
}
BENCHMARK(BM_GraphCursor);

void BM_GraphFullDraw(benchmark::State &state)
{
  TImage img = makeImage(1200, 80);
  TSpeedGraphic g(&img, 25);
  const TGraphicItems series = sineSeries(1150);
  for (auto _ : state) {
    TGraphicItems s = series;
    g.Resize();
    g.FillBackground(Qt::white);
    g.Draw(s, {}, {}, {}, 0.0L, 1.0L);
    g.DrawBorder();
    g.DrawCursor(0.5L);
  }
}
BENCHMARK(BM_GraphFullDraw);

} // namespace

int main(int argc, char **argv)
{
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  // Initialize answers --help itself; a word it did not take is a mistake.
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
