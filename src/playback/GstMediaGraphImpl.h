#pragma once
// Internals of the GStreamer layer (see GstMediaGraph.h for the contract).

#include "GstFrameScaler.h"
#include "GstMediaGraph.h"
#include "VideoFrameSlot.h"

#include <QObject>
#include <atomic>
#include <deque>
#include <vector>
#include <gst/gst.h>

namespace kp {

class TGstMediaGraph;

// Receives what streaming threads report; implemented by the graph.
class IGstCrossing {
public:
  virtual ~IGstCrossing() = default;
  // Any thread. Bits: kCrossBus, kCrossFrame.
  virtual void NotifyFromStreamingThread(unsigned bits) = 0;
};
constexpr unsigned kCrossBus = 1u;
constexpr unsigned kCrossFrame = 2u;

// "videoconvert ! video/x-raw,format=BGRx ! appsink": every preroll and
// sample lands in the frame slot, wrapped without copying, beside its copy
// scaled to the size the display asked for.
class TGstVideoSink : public IVideoRenderer {
public:
  explicit TGstVideoSink(bool sync);
  ~TGstVideoSink() override;

  QString FilterName() const override { return FName; }
  QString ClassId() const override { return QString::fromLatin1(kVideoRendererRole); }
  std::vector<IPinPtr> EnumPins() override { return {}; }
  HRESULT GetState(uint32_t timeoutMs, FILTER_STATE &state) override;
  HRESULT Stop() override { return S_OK; }
  TVideoFrameSlotPtr Frames() override { return FSlot; }

  GstElement *Element() const { return FBin; }
  void SetName(const QString &name) { FName = name; }
  // Set only while the pipeline is in NULL, so no streaming thread reads it
  // during the change.
  void SetCrossing(IGstCrossing *crossing) { FCrossing.store(crossing); }
  bool IsValid() const { return FBin != nullptr; }

private:
  static GstFlowReturn OnPreroll(GstElement *sink, gpointer self);
  static GstFlowReturn OnSample(GstElement *sink, gpointer self);
  void TakeSample(GstSample *sample);

  GstElement *FBin = nullptr;
  QString FName;
  TVideoFrameSlotPtr FSlot = std::make_shared<TVideoFrameSlot>();
  std::atomic<IGstCrossing *> FCrossing{nullptr};
  TGstFrameScaler FScaler; // streaming thread only
};

// A filter that only takes a place in the graph's list (decoders are chosen
// by the pipeline itself).
class TGstPlainFilter : public IBaseFilter {
public:
  explicit TGstPlainFilter(const QString &classId) : FClassId(classId) {}
  QString FilterName() const override { return FName; }
  QString ClassId() const override { return FClassId; }
  std::vector<IPinPtr> EnumPins() override { return {}; }
  HRESULT GetState(uint32_t, FILTER_STATE &state) override
  {
    state = State_Stopped;
    return S_OK;
  }
  HRESULT Stop() override { return S_OK; }
  void SetName(const QString &name) { FName = name; }

private:
  QString FClassId;
  QString FName;
};

class TGstStreamPin : public IPin {
public:
  TGstStreamPin(TStreamKind kind, const QString &type, bool decodable) : FKind(kind), FType(type), FDecodable(decodable)
  {
  }
  TStreamKind Kind() const override { return FKind; }
  QString MediaType() const override { return FType; }
  bool IsConnected() const override { return FConnected; }
  HRESULT Disconnect() override
  {
    FConnected = false;
    return S_OK;
  }
  bool Decodable() const { return FDecodable; }
  void SetConnected(bool c) { FConnected = c; }

private:
  TStreamKind FKind;
  QString FType;
  bool FDecodable;
  bool FConnected = false;
};

// The opened file: one pin per stream.
class TGstSourceFilter : public IBaseFilter {
public:
  TGstSourceFilter(const QString &fileName, std::vector<IPinPtr> pins) : FFileName(fileName), FPins(std::move(pins)) {}
  QString FilterName() const override { return FName; }
  QString ClassId() const override { return QStringLiteral("source"); }
  std::vector<IPinPtr> EnumPins() override { return FPins; }
  HRESULT GetState(uint32_t, FILTER_STATE &state) override
  {
    state = State_Stopped;
    return S_OK;
  }
  HRESULT Stop() override { return S_OK; }
  void SetName(const QString &name) { FName = name; }
  QString FileName() const { return FFileName; }

private:
  QString FFileName;
  std::vector<IPinPtr> FPins;
  QString FName;
};

class TGstMediaGraph : public QObject,
                       public IMediaGraph,
                       public IMediaControl,
                       public IMediaSeeking,
                       public IVideoFrameStep,
                       public IBasicAudio,
                       public IMediaEventEx,
                       public IGstCrossing {
  Q_OBJECT
public:
  explicit TGstMediaGraph(const TGstGraphOptions &options);
  ~TGstMediaGraph() override;
  bool IsValid() const { return FPlaybin != nullptr; }

  // IFilterGraph / IGraphBuilder
  HRESULT AddFilter(const IBaseFilterPtr &filter, const QString &name) override;
  HRESULT RemoveFilter(const IBaseFilterPtr &filter) override;
  std::vector<IBaseFilterPtr> EnumFilters() override;
  HRESULT AddSourceFilter(const QString &fileName, const QString &filterName, IBaseFilterPtr &filter) override;
  HRESULT Render(const IPinPtr &pin) override;

  // IMediaControl
  HRESULT Run() override;
  HRESULT Pause() override;
  HRESULT Stop() override;
  HRESULT GetState(uint32_t timeoutMs, FILTER_STATE &state) override;

  // IMediaSeeking
  HRESULT GetDuration(REFERENCE_TIME &duration) override;
  HRESULT GetCurrentPosition(REFERENCE_TIME &current) override;
  HRESULT GetPositions(REFERENCE_TIME &current, REFERENCE_TIME &stop) override;
  HRESULT SetPositions(REFERENCE_TIME *current, uint32_t currentFlags, REFERENCE_TIME *stop,
                       uint32_t stopFlags) override;
  HRESULT SetRate(double rate) override;
  HRESULT GetRate(double &rate) override;

  // IVideoFrameStep
  HRESULT Step(uint32_t frames) override;
  HRESULT CanStep(bool multiple) override;
  HRESULT CancelStep() override;

  // IBasicAudio
  HRESULT put_Volume(int32_t volume) override;
  HRESULT get_Volume(int32_t &volume) override;
  HRESULT put_Balance(int32_t balance) override;
  HRESULT get_Balance(int32_t &balance) override;

  // IMediaEventEx
  HRESULT SetNotifyWindow(std::function<void()> notify) override;
  HRESULT SetNotifyFlags(int32_t flags) override;
  HRESULT GetEvent(int32_t &code, intptr_t &param1, intptr_t &param2, uint32_t timeoutMs) override;
  HRESULT FreeEventParams(int32_t, intptr_t, intptr_t) override { return S_OK; }

  // IGstCrossing: the one place where streaming threads hand work to the
  // main thread.
  void NotifyFromStreamingThread(unsigned bits) override;

private:
  struct TEvent {
    int32_t Code;
    intptr_t Param1, Param2;
  };
  enum TWaitFor { wfAsyncDone = 1, wfStepDone = 2 };

  static GstBusSyncReply BusSyncHandler(GstBus *bus, GstMessage *message, gpointer self);
  void OnCrossing();
  void DrainBus();
  void HandleMessage(GstMessage *message);
  void TakeError(GstMessage *message);
  void Log(const QString &line, bool error);
  void EndOpen(bool opened);
  HRESULT OpenSource(const QString &fileName, const QString &filterName, IBaseFilterPtr &filter);
  bool JudgeCopiedError(GstMessage *&copied);
  void PostEvent(int32_t code, intptr_t p1 = 0, intptr_t p2 = 0);
  HRESULT Failure(HRESULT hr, const QString &text);
  HRESULT ChangeState(GstState target, bool wait);
  bool WaitForBus(unsigned what, int timeoutMs);
  HRESULT SeekTo(gint64 positionNs, double rate);
  bool SeekForward(gint64 positionNs, double rate);
  bool ShowLastFrame(gint64 beforeNs, double rate, bool paused);
  void WaitForPreroll();
  uint64_t FramesShown() const;
  bool ShowsFrameAt(gint64 positionNs, uint64_t framesBefore) const;
  bool HasPicture() const;
  void ApplyVideoSink();
  void DropSource();
  gint64 DurationNs();
  bool hasSource() const { return FSource != nullptr; }
  FILTER_STATE LogicalState() const;

  TGstGraphOptions FOptions;
  GstElement *FPlaybin = nullptr;
  GstBus *FBus = nullptr;
  GstElement *FPanorama = nullptr;
  std::vector<IBaseFilterPtr> FFilters;
  std::shared_ptr<TGstSourceFilter> FSource;
  std::shared_ptr<TGstVideoSink> FRenderer;
  std::atomic<unsigned> FPending{0};

  bool FStopped = true;                     // logical stop over a prerolled pipeline
  gint64 FStoppedAtNs = 0;                  // the position a logical stop keeps
  bool FEos = false;                        // end-of-stream latch
  FILTER_STATE FEmptyState = State_Stopped; // state of a graph without file
  double FRate = 1.0;
  gint64 FDurationNs = -1;
  gint64 FStopNs = -1; // -1: none set (the duration stands in)
  int32_t FVolume = 0;
  int32_t FBalance = 0;
  unsigned FSeen = 0; // TWaitFor bits seen since the last wait began
  QString FLastError;
  // An error since the file was opened said no element can read it (as
  // opposed to a reader that took the file and found it damaged).
  bool FLastErrorUnsupported = false;
  // The file the log's lines name, from the moment its open begins.
  QString FFileName;
  // An error since the file was opened has been taken: later ones echo it.
  bool FErrorTaken = false;
  // The log's lines of an open under way, written when it ends.
  struct THeldLine {
    QString Text;
    bool Error;
  };
  bool FOpening = false;
  std::vector<THeldLine> FHeldLines;
  QStringList FMissing; // streams without a decoder, while opening

  std::deque<TEvent> FEvents;
  std::function<void()> FNotify;
  int32_t FNotifyFlags = 0;
};

} // namespace kp
