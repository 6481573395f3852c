// The GStreamer layer on real clips made by ffmpeg: opening, play controls,
// logical stop, latched end of stream, accurate seeks, frame steps, rate,
// failures, subtitle tracks and snapshots. Audio goes to a clock-synced
// fakesink, so no sound device is needed.

#include "DSPack.h"
#include "GstErrorCopies.h"
#include "GstMediaGraph.h"
#include "LogCapture.h"
#include "PlaybackTestSupport.h"
#include "TestSupport.h"
#include "UnitEVRWindow.h"
#include "UnitTranslate.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <charconv>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>
#include <gst/gst.h>
#include <gtest/gtest.h>

using namespace kp;

namespace {

// Generous: a loaded two-core CI machine can starve a real-time pipeline for
// seconds, and the waits end as soon as their condition holds.
constexpr int kWaitMs = 20000;

constexpr REFERENCE_TIME kSecond = 10000000;
constexpr REFERENCE_TIME kFrame = kSecond / 25;

double ffprobeDuration(const QString &ffprobe, const QString &file)
{
  QProcess process;
  process.start(ffprobe, {"-v", "error", "-show_entries", "format=duration", "-of", "default=nw=1:nk=1", file});
  if (!process.waitForFinished(30000)) {
    process.kill();
    process.waitForFinished(5000);
    return -1;
  }
  const QByteArray text = process.readAllStandardOutput().trimmed();
  double value = -1;
  std::from_chars(text.constData(), text.constData() + text.size(), value);
  return value;
}

// Grey level of the bottom half of a pattern frame.
int greyOf(const QImage &image)
{
  return image.isNull() ? -1 : qGray(image.pixel(image.width() / 2, image.height() * 3 / 4));
}

class GstPlaybackTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    kptest::ensureApplication();
    TGstGraphOptions options;
    options.AudioSink = QStringLiteral("fakesink sync=true");
    options.WaitTimeoutMs = 10000;
    graph = std::make_unique<TFilterGraph>(CreateGstGraphFactory(options));
    window = std::make_unique<TVideoWindow>();
    window->setObjectName(QStringLiteral("VideoWindowWMR"));
    window->resize(64, 48);
    window->SetFilterGraph(graph.get());
    window->SetMode(vmVMR);
    graph->SetActive(true);
    ASSERT_TRUE(graph->Active()) << "GStreamer could not make a playbin";
  }

  void TearDown() override
  {
    if (graph) {
      try {
        graph->Stop();
        graph->ClearGraph();
      } catch (const EDirectShowException &) {
      }
      graph->SetActive(false);
      window->SetFilterGraph(nullptr);
    }
  }

  // The main window's way: a source filter, then every pin rendered.
  std::vector<HRESULT> open(const QString &file, HRESULT *sourceResult = nullptr)
  {
    auto builder = graph->QueryInterface<IGraphBuilder>();
    IBaseFilterPtr source;
    const HRESULT hr = builder->AddSourceFilter(file, QStringLiteral("File"), source);
    if (sourceResult) *sourceResult = hr;
    std::vector<HRESULT> results;
    if (source)
      for (const IPinPtr &pin : source->EnumPins()) results.push_back(builder->Render(pin));
    seeking = graph->QueryInterface<IMediaSeeking>();
    return results;
  }

  REFERENCE_TIME position()
  {
    REFERENCE_TIME now = -1;
    seeking->GetCurrentPosition(now);
    return now;
  }

  // As the main window seeks: key-frame flag, and the stop it read back
  // passed with "no positioning".
  void seek(REFERENCE_TIME target)
  {
    REFERENCE_TIME current = 0, stop = 0;
    seeking->GetPositions(current, stop);
    ASSERT_EQ(seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame, &stop, 0),
              S_OK);
  }

  TVideoFrame latestFrame()
  {
    auto renderer = std::dynamic_pointer_cast<IVideoRenderer>(window->Renderer());
    return renderer ? renderer->Frames()->Latest() : TVideoFrame();
  }

  // Waits until the shown frame is the one for time t.
  bool frameShownAt(REFERENCE_TIME t)
  {
    return kptest::waitUntil([&] { return latestFrame().Time == t; }, kWaitMs);
  }

  // The pattern clip as a power cut leaves it: the index, written last, is
  // missing and the last frame cut part-way. Empty when it cannot be made.
  static QString clipCutBeforeItsIndex(const QString &ffmpeg, const QTemporaryDir &dir)
  {
    QByteArray bytes = kptest::readFileBytes(kptest::patternClip(ffmpeg));
    const qsizetype index = bytes.lastIndexOf("moov") - 4;
    if (index < 1000) return {};
    bytes.truncate(index - 777);
    const QString cut = dir.filePath(QStringLiteral("cut.mp4"));
    return kptest::writeFileBytes(cut, bytes) ? cut : QString();
  }

  std::unique_ptr<TFilterGraph> graph;
  std::unique_ptr<TVideoWindow> window;
  std::shared_ptr<IMediaSeeking> seeking;
};

} // namespace

TEST_F(GstPlaybackTest, OpeningPrerollsAndKnowsTheDurationAtOnce)
{
  KP_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  KP_REQUIRE_TOOL(ffprobe, "ffprobe");
  const QString clip = kptest::patternClip(ffmpeg);
  ASSERT_FALSE(clip.isEmpty());
  EXPECT_EQ(open(clip), (std::vector<HRESULT>{S_OK, S_OK})) << "one video and one audio pin";
  const double expected = ffprobeDuration(ffprobe, clip);
  ASSERT_GT(expected, 0);
  EXPECT_NEAR(graph->GetDuration(), expected * 1000.0, 50.0);
  EXPECT_EQ(graph->GetState(), psStopped) << "a new file starts stopped";
  EXPECT_EQ(position(), 0);
  ASSERT_TRUE(frameShownAt(0)) << "the preroll frame reaches the renderer";
  int w, h, aw, ah;
  ASSERT_TRUE(window->GetNativeVideoSize(w, h, aw, ah));
  EXPECT_EQ(QSize(w, h), QSize(64, 48));
  EXPECT_EQ(QSize(aw, ah), QSize(4, 3));
}

TEST_F(GstPlaybackTest, PlayPauseLogicalStopAndResume)
{
  KP_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  open(kptest::patternClip(ffmpeg));
  ASSERT_TRUE(graph->Play());
  EXPECT_EQ(graph->GetState(), psPlaying);
  ASSERT_TRUE(kptest::waitUntil([&] { return position() > kSecond / 2; }, kWaitMs))
      << "the position moves while playing";

  ASSERT_TRUE(graph->Pause());
  EXPECT_EQ(graph->GetState(), psPaused);
  const REFERENCE_TIME paused = position();
  kptest::spin(300);
  EXPECT_EQ(position(), paused) << "paused means still";

  ASSERT_TRUE(graph->Stop());
  EXPECT_EQ(graph->GetState(), psStopped);
  EXPECT_EQ(position(), paused) << "stop keeps the position";
  EXPECT_GT(graph->GetDuration(), 7900) << "and the duration";

  ASSERT_TRUE(graph->Play());
  ASSERT_TRUE(kptest::waitUntil([&] { return position() > paused + kSecond / 4; }, kWaitMs));
  EXPECT_LT(position(), paused + 3 * kSecond) << "resumes where it stood, not from the start";
}

TEST_F(GstPlaybackTest, EndOfStreamIsLatchedAtTheDurationUntilASeek)
{
  KP_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  open(kptest::patternClip(ffmpeg));
  std::vector<int32_t> events;
  graph->OnDSEvent = [&](int32_t code, intptr_t, intptr_t) { events.push_back(code); };
  REFERENCE_TIME duration = 0;
  ASSERT_EQ(seeking->GetDuration(duration), S_OK);
  graph->Pause();
  seek(duration - 3 * kSecond / 10);
  ASSERT_TRUE(graph->Play());
  ASSERT_TRUE(kptest::waitUntil([&] { return position() == duration; }, kWaitMs))
      << "position reaches exactly the duration";
  // The end reaches listeners through the event loop.
  EXPECT_TRUE(kptest::waitUntil([&] { return std::count(events.begin(), events.end(), EC_COMPLETE) >= 1; }, kWaitMs));
  kptest::spin(200);
  EXPECT_EQ(position(), duration);
  EXPECT_EQ(graph->GetState(), psPlaying) << "the state stays playing at the end";
  // Pausing at the end and playing again reaches the end again.
  ASSERT_TRUE(graph->Pause());
  ASSERT_TRUE(graph->Play());
  EXPECT_TRUE(kptest::waitUntil([&] { return position() == duration; }, kWaitMs));
  seek(kSecond);
  EXPECT_LT(position(), 2 * kSecond) << "a seek clears the latch";
}

// Paused: an accurate seek, frame steps and the snapshot all show the asked
// frame of the test pattern.
TEST_F(GstPlaybackTest, PausedSeekStepAndSnapshotShowTheAskedFrame)
{
  KP_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  open(kptest::patternClip(ffmpeg));
  ASSERT_TRUE(graph->Pause());
  // Frame 38 lies between key frames 25 and 50: a key-unit seek would show 25.
  seek(38 * kFrame);
  EXPECT_EQ(position(), 38 * kFrame);
  ASSERT_TRUE(frameShownAt(38 * kFrame)) << "got frame at " << latestFrame().Time;
  EXPECT_NEAR(greyOf(latestFrame().Image), kptest::patternGrey(38), 3);
  REFERENCE_TIME current = 0, stop = 0;
  seeking->GetPositions(current, stop);
  EXPECT_EQ(current, 38 * kFrame);
  EXPECT_EQ(stop, 8 * kSecond) << "the duration stands in for an unset stop";

  auto step = graph->QueryInterface<IVideoFrameStep>();
  ASSERT_NE(step, nullptr);
  EXPECT_EQ(step->CanStep(false), S_OK);
  for (int frame : {39, 40}) {
    ASSERT_EQ(step->Step(1), S_OK);
    ASSERT_TRUE(frameShownAt(frame * kFrame)) << "got frame at " << latestFrame().Time;
    EXPECT_NEAR(greyOf(latestFrame().Image), kptest::patternGrey(frame), 3);
  }
  EXPECT_EQ(graph->GetState(), psPaused);

  QImage snapshot;
  ASSERT_TRUE(window->VMRGetBitmap(snapshot));
  ASSERT_EQ(snapshot.size(), QSize(64, 48));
  const auto near = [](QRgb c, int r, int g, int b) {
    return std::abs(qRed(c) - r) <= 8 && std::abs(qGreen(c) - g) <= 8 &&
           std::abs(qBlue(c) - b) <= 8; // limited-range YUV
  };
  EXPECT_TRUE(near(snapshot.pixel(5, 5), 255, 0, 0)) << std::hex << snapshot.pixel(5, 5);
  EXPECT_TRUE(near(snapshot.pixel(58, 5), 0, 255, 0)) << std::hex << snapshot.pixel(58, 5);
  const int grey = kptest::patternGrey(40);
  EXPECT_TRUE(near(snapshot.pixel(5, 42), grey, grey, grey)) << std::hex << snapshot.pixel(5, 42);
  // The widget paints the same frame (frames reach it only through the
  // main thread's crossing).
  const QImage shown = window->grab().toImage();
  EXPECT_TRUE(near(shown.pixel(5, 5), 255, 0, 0));
  EXPECT_TRUE(near(shown.pixel(58, 5), 0, 255, 0));
}

TEST_F(GstPlaybackTest, RateVolumeAndTheirRefusals)
{
  KP_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  open(kptest::patternClip(ffmpeg));
  graph->Pause();
  graph->SetRate(2.0);
  double rate = 0;
  seeking->GetRate(rate);
  EXPECT_DOUBLE_EQ(rate, 2.0);
  const REFERENCE_TIME start = position();
  QElapsedTimer wall;
  ASSERT_TRUE(graph->Play());
  wall.start();
  kptest::spin(2000);
  const REFERENCE_TIME media = position() - start;
  const double expected = 2.0 * wall.elapsed() * 10000.0;
  EXPECT_NEAR(static_cast<double>(media), expected, 0.15 * expected) << "position is media time";

  EXPECT_EQ(seeking->SetRate(0), E_INVALIDARG);
  EXPECT_EQ(seeking->SetRate(-1), E_INVALIDARG);
  auto audio = graph->QueryInterface<IBasicAudio>();
  ASSERT_NE(audio, nullptr);
  graph->SetVolume(0);
  int32_t volume = 1;
  audio->get_Volume(volume);
  EXPECT_EQ(volume, -10000);
  EXPECT_EQ(audio->put_Volume(1), E_INVALIDARG);

  // A new file plays at 1.0 until the rate is set again.
  open(kptest::patternClip(ffmpeg));
  seeking->GetRate(rate);
  EXPECT_DOUBLE_EQ(rate, 1.0);
}

// Files that are no media files (garbage, an archive, a document, a missing
// file) give the splitter failure, not a codec failure of a stream; an empty
// graph still takes commands.
TEST_F(GstPlaybackTest, NonMediaFilesGiveTheSplitterFailure)
{
  QTemporaryDir dir;
  QByteArray noise(4000, '\0');
  for (qsizetype i = 0; i < noise.size(); ++i) noise[i] = char((i * 7919 + i / 13 * 104729) % 251);
  const std::pair<const char *, QByteArray> files[] = {
      {"card.MOV", QByteArray("PK\x03\x04", 4)}, {"manual.mov", QByteArray("%PDF-1.4\n")}, {"noise.MOV", noise}};
  QStringList paths = {kptest::nonMediaFile()};
  for (const auto &[name, head] : files) {
    paths << dir.filePath(QString::fromLatin1(name));
    ASSERT_TRUE(kptest::writeFileBytes(paths.back(), head + QByteArray(400, '\0')));
  }
  for (const QString &path : paths) {
    HRESULT hr = S_OK;
    kptest::TLogCapture log("kp.playback");
    EXPECT_TRUE(open(path, &hr).empty()) << path.toStdString();
    EXPECT_EQ(hr, VFW_E_UNSUPPORTED_STREAM) << path.toStdString();
    EXPECT_EQ(graph->GetState(), psStopped);
    // One line a failed open, with the file and the first reason (the
    // stopped data flow and the bins' re-posts that follow it are echoes).
    const QStringList lines = log.Lines();
    ASSERT_EQ(lines.size(), 1) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].contains(path)) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains(GetErrorString(hr))) << lines[0].toStdString();
    EXPECT_FALSE(GetErrorString(hr).contains(QStringLiteral("Internal data stream error"))) << lines[0].toStdString();
  }
  EXPECT_FALSE(GetErrorString(VFW_E_UNSUPPORTED_STREAM).isEmpty());
  EXPECT_NO_THROW(graph->Play());
  HRESULT hr = S_OK;
  open(QStringLiteral("/nonexistent/file.mov"), &hr);
  EXPECT_TRUE(FAILED(hr));
}

// A movie cut short before its index was written is a damaged file of a
// known format: the reader says what is wrong, not that nothing reads it.
TEST_F(GstPlaybackTest, AMovieWithoutItsIndexIsDamagedNotUnsupported)
{
  KP_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  QTemporaryDir dir;
  const QString cut = clipCutBeforeItsIndex(ffmpeg, dir);
  ASSERT_FALSE(cut.isEmpty());
  HRESULT hr = S_OK;
  EXPECT_TRUE(open(cut, &hr).empty());
  EXPECT_EQ(hr, VFW_E_INVALID_FILE_FORMAT);
  const QString text = GetErrorString(hr);
  EXPECT_FALSE(text.isEmpty());
  EXPECT_NE(text, GetErrorString(VFW_E_UNSUPPORTED_STREAM));
  EXPECT_EQ(graph->GetState(), psStopped);
  // The next file opens as usual.
  open(kptest::patternClip(ffmpeg), &hr);
  EXPECT_EQ(hr, S_OK);
}

// The reader's error ends the open at once however the threads are
// scheduled: all of them share one core with a busy loop, which makes the
// demuxer fail while the decoder chain is still being built.
TEST_F(GstPlaybackTest, ADamagedMovieFailsAtOnceEveryTimeUnderLoad)
{
  KP_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  QTemporaryDir dir;
  const QString cut = clipCutBeforeItsIndex(ffmpeg, dir);
  ASSERT_FALSE(cut.isEmpty());
  kptest::TOneBusyCore busy;
  for (int i = 0; i < 80; ++i) {
    QElapsedTimer timer;
    timer.start();
    HRESULT hr = S_OK;
    kptest::TLogCapture log("kp.playback");
    open(cut, &hr);
    ASSERT_EQ(hr, VFW_E_INVALID_FILE_FORMAT) << "open " << i << ": " << GetErrorString(hr).toStdString();
    ASSERT_LT(timer.elapsed(), 1000) << "open " << i;
    // However the copy of the reader's error and the bins' re-posts of it
    // arrive, the log says it once, with the file and the reason.
    const QStringList lines = log.Lines();
    ASSERT_EQ(lines.size(), 1) << "open " << i << ":\n" << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].contains(cut)) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains(GetErrorString(hr))) << lines[0].toStdString();
  }
}

// GStreamer's critical messages while the guard lives: each one is a
// misuse of its objects somewhere, ours or an element's.
class TGstCriticals {
public:
  TGstCriticals()
  {
    FHandler = g_log_set_handler("GStreamer", GLogLevelFlags(G_LOG_LEVEL_CRITICAL | G_LOG_FLAG_FATAL), &Count, this);
  }
  ~TGstCriticals() { g_log_remove_handler("GStreamer", FHandler); }
  TGstCriticals(const TGstCriticals &) = delete;
  TGstCriticals &operator=(const TGstCriticals &) = delete;
  QStringList Messages() const
  {
    std::lock_guard lock(FLock);
    return FMessages;
  }

private:
  static void Count(const gchar *, GLogLevelFlags, const gchar *message, gpointer self)
  {
    auto *guard = static_cast<TGstCriticals *>(self);
    std::lock_guard lock(guard->FLock);
    guard->FMessages << QString::fromUtf8(message);
  }
  guint FHandler = 0;
  mutable std::mutex FLock;
  QStringList FMessages;
};

// The window keeps the picture it shows while the player seeks and moves
// on to the next fragment (opened, sought to where the trip goes on, then
// played): no critical message, which a frame kept from the sink's own
// sample brought on each seek.
TEST_F(GstPlaybackTest, SeeksAndFragmentsWhileAPictureIsShownKeepGStreamerQuiet)
{
  KP_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  const QString clip = kptest::patternClip(ffmpeg);
  ASSERT_FALSE(clip.isEmpty());
  TGstCriticals criticals;
  TVideoFrame shown;
  const auto playOnTo = [&](REFERENCE_TIME t) {
    ASSERT_TRUE(graph->Play());
    ASSERT_TRUE(kptest::waitUntil([&] { return latestFrame().Time > t; }, kWaitMs)) << t;
    shown = latestFrame();
  };
  for (int fragment = 0; fragment < 3; ++fragment) {
    SCOPED_TRACE(fragment);
    ASSERT_EQ(open(clip), (std::vector<HRESULT>{S_OK, S_OK}));
    seek(kSecond / 2);
    playOnTo(kSecond);
    seek(4 * kSecond); // while playing
    playOnTo(4 * kSecond + 2 * kFrame);
    ASSERT_TRUE(graph->Pause());
    seek(2 * kSecond);
    playOnTo(2 * kSecond + 2 * kFrame);
    EXPECT_EQ(criticals.Messages(), QStringList());
  }
}

// The copy of a hidden error reaches the bus's sync handler with nothing of
// the copier's held: a handler that waits for a thread which makes or ends
// a graph meanwhile does not wait forever.
TEST(GstErrorCopiesTest, TheSyncHandlerMayWaitForAThreadThatWatchesAnotherPipeline)
{
  gst_init(nullptr, nullptr);
  GstElement *pipeline = gst_pipeline_new(nullptr);
  GstElement *reader = gst_element_factory_make("identity", nullptr);
  ASSERT_TRUE(pipeline && reader);
  gst_bin_add(GST_BIN(pipeline), reader);
  TGstErrorCopies::Watch(pipeline);
  struct TSeen {
    int Copies = 0;
    bool OtherThreadDone = false;
    std::thread Other;
  } seen;
  GstBus *bus = gst_element_get_bus(pipeline);
  const auto handler = [](GstBus *, GstMessage *message, gpointer data) {
    auto &seen = *static_cast<TSeen *>(data);
    if (TGstErrorCopies::CopiedError(message) && ++seen.Copies == 1) {
      std::promise<void> done;
      std::future<void> doneFuture = done.get_future();
      seen.Other = std::thread([done = std::move(done)]() mutable {
        GstElement *other = gst_pipeline_new(nullptr);
        TGstErrorCopies::Watch(other);
        TGstErrorCopies::Unwatch(other);
        gst_object_unref(other);
        done.set_value();
      });
      seen.OtherThreadDone = doneFuture.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    }
    return GST_BUS_DROP;
  };
  gst_bus_set_sync_handler(bus, handler, &seen, nullptr);
  GError *error = g_error_new_literal(GST_STREAM_ERROR, GST_STREAM_ERROR_DEMUX, "damaged");
  gst_element_post_message(reader, gst_message_new_error(GST_OBJECT(reader), error, nullptr));
  g_error_free(error);
  if (seen.Other.joinable()) seen.Other.join();
  EXPECT_EQ(seen.Copies, 1);
  EXPECT_TRUE(seen.OtherThreadDone);
  gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
  TGstErrorCopies::Unwatch(pipeline);
  gst_object_unref(bus);
  gst_object_unref(pipeline);
}

// A flushing seek while playing re-prerolls the pipeline, which meanwhile
// shows PAUSED: the graph still says playing, and a pause in that moment
// holds the picture.
TEST_F(GstPlaybackTest, APauseRightAfterASeekWhilePlayingHolds)
{
  KP_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  open(kptest::patternClip(ffmpeg));
  ASSERT_TRUE(graph->Pause());
  ASSERT_TRUE(graph->Play());
  ASSERT_TRUE(kptest::waitUntil([&] { return position() > kSecond / 2; }, kWaitMs));
  for (const REFERENCE_TIME target : {2 * kSecond, 4 * kSecond, 6 * kSecond}) {
    ASSERT_TRUE(graph->Play());
    seek(target);
    EXPECT_EQ(graph->GetState(), psPlaying) << "at " << target;
    if (graph->GetState() == psPlaying) graph->Pause(); // as the play button does
    EXPECT_EQ(graph->GetState(), psPaused);
    const REFERENCE_TIME held = position();
    EXPECT_FALSE(kptest::waitUntil([&] { return position() > held + kSecond / 10; }, 600))
        << held << " -> " << position();
  }
}

// A seek to the duration shows the last frame and reads back as the end.
TEST_F(GstPlaybackTest, ASeekToTheEndShowsTheLastFrame)
{
  KP_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  open(kptest::patternClip(ffmpeg));
  ASSERT_TRUE(graph->Pause());
  REFERENCE_TIME duration = 0;
  ASSERT_EQ(seeking->GetDuration(duration), S_OK);
  seek(duration);
  EXPECT_EQ(position(), duration);
  // The last frame, its start clipped to where the seek landed.
  const REFERENCE_TIME last = duration - kFrame;
  ASSERT_TRUE(kptest::waitUntil([&] { return latestFrame().Time >= last; }, kWaitMs))
      << "got frame at " << latestFrame().Time;
  EXPECT_NEAR(greyOf(latestFrame().Image), kptest::patternGrey(int(last / kFrame)), 3);
  EXPECT_EQ(graph->GetState(), psPaused);
  // Playing from there ends at once, as at the end of a play.
  ASSERT_TRUE(graph->Play());
  EXPECT_TRUE(kptest::waitUntil([&] { return position() == duration; }, kWaitMs));
}

TEST_F(GstPlaybackTest, SubtitleTrackIsNeitherDrawnNorAFailure)
{
  KP_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  const QString clip = kptest::subtitledClip(ffmpeg);
  ASSERT_FALSE(clip.isEmpty());
  const std::vector<HRESULT> results = open(clip);
  ASSERT_FALSE(results.empty());
  for (HRESULT hr : results) EXPECT_EQ(hr, S_OK);
  graph->Pause();
  seek(2 * kSecond);
  ASSERT_TRUE(frameShownAt(2 * kSecond));
  const QImage image = latestFrame().Image.copy();
  const int grey = kptest::patternGrey(50);
  int off = 0;
  for (int y = image.height() / 2 + 1; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (std::abs(qGray(image.pixel(x, y)) - grey) > 6) ++off;
  EXPECT_EQ(off, 0) << "no subtitle text over the picture";
}

TEST_F(GstPlaybackTest, StreamWithoutDecoderFailsAloneWhileThePictureStillPlays)
{
  KP_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  const QString clip = kptest::patternClip(ffmpeg);
  // Hide every AAC decoder from a fresh pipeline, as on a machine without one.
  std::vector<std::pair<GstPluginFeature *, guint>> hidden;
  for (const char *name : {"avdec_aac", "avdec_aac_fixed", "faad", "fdkaacdec", "avdec_aac_latm"}) {
    if (GstPluginFeature *feature = gst_registry_lookup_feature(gst_registry_get(), name)) {
      hidden.emplace_back(feature, gst_plugin_feature_get_rank(feature));
      gst_plugin_feature_set_rank(feature, GST_RANK_NONE);
    }
  }
  graph->SetActive(false);
  graph->SetActive(true);
  const std::vector<HRESULT> results = open(clip);
  for (auto &[feature, rank] : hidden) {
    gst_plugin_feature_set_rank(feature, rank);
    gst_object_unref(feature);
  }
  EXPECT_EQ(std::count(results.begin(), results.end(), VFW_E_CANNOT_RENDER), 1) << "one codec failure, for the sound";
  EXPECT_EQ(std::count(results.begin(), results.end(), S_OK), 1) << "the picture renders";
  graph->Pause();
  seek(kSecond);
  EXPECT_TRUE(frameShownAt(kSecond));
}

TEST(GstEVRTest, PersistedFiltersAndTheEVRWrapperShowThePicture)
{
  KP_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  kptest::ensureApplication();
  const QString clip = kptest::patternClip(ffmpeg);
  TGstGraphOptions options;
  options.AudioSink = QStringLiteral("fakesink sync=true");
  TFilterGraph graph(CreateGstGraphFactory(options));
  TFilter filterEVR(QStringLiteral("FilterEVR")), filterVideo(QStringLiteral("FilterMicrosoftVideo"));
  filterEVR.BaseFilter().SetDescription(QString::fromLatin1(kVideoRendererRole));
  filterVideo.BaseFilter().SetDescription(QString::fromLatin1(kVideoDecoderRole));
  QWidget panel;
  panel.resize(128, 48);
  TEVR evr(nullptr, &panel);

  filterEVR.SetFilterGraph(&graph);
  filterVideo.SetFilterGraph(&graph);
  graph.SetActive(true);
  ASSERT_TRUE(TEVR::IsEVRFilter(&filterEVR)) << "the probe finds a working renderer";
  EXPECT_FALSE(TEVR::IsEVRFilter(&filterVideo));
  evr.ConnectFilter(&filterEVR);
  evr.SetAspectRatioMode(true, false);
  evr.SetVideoPosition(QRect(0, 0, 128, 48), MakeNormalizedRect(0, 0, 1, 1));

  auto builder = graph.QueryInterface<IGraphBuilder>();
  IBaseFilterPtr source;
  ASSERT_EQ(builder->AddSourceFilter(clip, QStringLiteral("File"), source), S_OK);
  for (const IPinPtr &pin : source->EnumPins()) EXPECT_EQ(builder->Render(pin), S_OK);
  EXPECT_EQ(TFilterList(builder.get()).Count(), 3) << "renderer, decoder and source";
  graph.SetState(psPaused);
  ASSERT_TRUE(kptest::waitUntil([&] { return !evr.GetCurrentImage().isNull(); }, kWaitMs));
  EXPECT_EQ(evr.GetNativeVideoSize(), QSize(64, 48));
  const QImage shot = panel.grab().toImage();
  EXPECT_EQ(shot.pixelColor(10, 24), QColor(Qt::black)) << "letterbox bar left of the 4:3 picture";
  EXPECT_GT(qRed(shot.pixel(40, 10)), 200);
  EXPECT_GT(qGreen(shot.pixel(90, 10)), 200);

  graph.ClearGraph();
  EXPECT_EQ(TFilterList(builder.get()).Count(), 2) << "the members stay";
  graph.SetActive(false);
  EXPECT_EQ(filterEVR.MemberFilter(), nullptr);
  filterEVR.SetFilterGraph(nullptr);
  filterVideo.SetFilterGraph(nullptr);
}

TEST(GstFailureTest, APipelineThatRefusesToPlayRaisesWithGStreamersText)
{
  KP_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  kptest::ensureApplication();
  const QString clip = kptest::patternClip(ffmpeg);
  TGstGraphOptions options;
  options.AudioSink = QStringLiteral("fakesink sync=true state-error=paused-to-playing");
  kptest::TLogCapture log("kp.playback");
  TFilterGraph graph(CreateGstGraphFactory(options));
  graph.SetActive(true);
  auto builder = graph.QueryInterface<IGraphBuilder>();
  IBaseFilterPtr source;
  ASSERT_EQ(builder->AddSourceFilter(clip, QStringLiteral("File"), source), S_OK);
  try {
    graph.Play();
    FAIL() << "the audio sink refuses to play";
  } catch (const EDirectShowException &e) {
    EXPECT_EQ(e.ErrorCode(), E_FAIL);
    EXPECT_TRUE(e.Message().endsWith(QStringLiteral(" ($80004005)."))) << e.what();
    EXPECT_NE(e.Message(), QStringLiteral("Unspecified error ($80004005).")) << "the pipeline's own text is kept";
  }
  // The log names the element and carries GStreamer's debug text.
  const QStringList errors = log.LinesWith(QStringLiteral("error from fakesink"));
  ASSERT_FALSE(errors.isEmpty()) << log.Lines().join('\n').toStdString();
  EXPECT_TRUE(errors[0].endsWith(u')')) << errors[0].toStdString();
  EXPECT_NO_THROW(graph.SetActive(false));
}

// The window puts the file's name above the reason, so the reason of a
// time-out is the bare sentence of the active language.
// The window puts the file's name above the reason: the reason, in the
// window's language, does not name it again.
TEST(GstFailureTest, AnOpenThatTimesOutOrFindsNoFileSaysSoWithoutTheFileName)
{
  KP_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  kptest::ensureApplication();
  const QString clip = kptest::patternClip(ffmpeg);
  const QString missing = QFileInfo(clip).absolutePath() + QStringLiteral("/NOSUCHFILE.MOV");
  struct Case {
    QString File;
    int TimeoutMs;
    HRESULT Expected;
    const char16_t *Reason;
  };
  // A time-out of 0: no preroll is that fast.
  for (const Case &c : {Case{clip, 0, VFW_E_TIMEOUT, u"Mes_CannotOpen_Timeout"},
                        Case{missing, 10000, VFW_E_NOT_FOUND_FILE, u"Mes_CannotOpen_NotFound"}}) {
    TGstGraphOptions options;
    options.AudioSink = QStringLiteral("fakesink sync=true");
    options.WaitTimeoutMs = c.TimeoutMs;
    TFilterGraph graph(CreateGstGraphFactory(options));
    graph.SetActive(true);
    auto builder = graph.QueryInterface<IGraphBuilder>();
    IBaseFilterPtr source;
    const HRESULT hr = builder->AddSourceFilter(c.File, QStringLiteral("File"), source);
    EXPECT_EQ(hr, c.Expected);
    EXPECT_FALSE(source);
    EXPECT_EQ(GetErrorString(hr), Translate(c.Reason));
    EXPECT_FALSE(GetErrorString(hr).contains(QFileInfo(c.File).fileName()));
    EXPECT_NO_THROW(graph.SetActive(false));
  }
}

TEST(GstFailureTest, BadAudioSinkDescriptionIsLoggedWithGStreamersError)
{
  kptest::ensureApplication();
  TGstGraphOptions options;
  options.AudioSink = QStringLiteral("kpnosuchsink sync=true");
  kptest::TLogCapture log("kp.playback");
  TFilterGraph graph(CreateGstGraphFactory(options));
  graph.SetActive(true);
  const QStringList lines = log.LinesWith(QStringLiteral("kpnosuchsink"));
  ASSERT_EQ(lines.size(), 1) << log.Lines().join('\n').toStdString();
  EXPECT_TRUE(lines[0].contains(QStringLiteral("no element"))) << lines[0].toStdString();
  graph.SetActive(false);
}
