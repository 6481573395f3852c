#pragma once
// A scriptable media layer for tests of the graph component and of the
// windows built on it: a clock the test advances, files with chosen
// durations and streams, injected failures, and a log of every call the
// component makes. Its playback rules are those of the GStreamer layer
// (logical stop, latched end of stream, rate carried by seeks).

#include "DSInterfaces.h"
#include "VideoFrameSlot.h"

#include <QStringList>
#include <map>

namespace kp {

class TFakeMediaGraph;

struct TFakeStream {
  TStreamKind Kind = TStreamKind::Video;
  bool Decodable = true;
};

struct TFakeFile {
  REFERENCE_TIME Duration = 0;
  std::vector<TFakeStream> Streams;
};

// Shared between the test, the factory and every graph it makes.
struct TFakeScript {
  QStringList Log;
  bool FailCreate = false;
  // The factory cannot make a video renderer.
  bool NoVideoRenderer = false;
  // Files AddSourceFilter can open; any other name gives the splitter
  // failure (VFW_E_UNSUPPORTED_STREAM).
  std::map<QString, TFakeFile> Files;
  // Next call of that name ("Run", "Pause", "Stop", "Disconnect",
  // "RemoveFilter", "SetPositions") returns this failure once.
  std::map<QString, HRESULT> FailNext;
  // GetState answers this state as a change under way, when >= 0.
  int IntermediateState = -1;
  REFERENCE_TIME FrameDuration = 400000; // 25 fps
  std::weak_ptr<TFakeMediaGraph> Current;

  // Advances the media clock of the current graph (while running).
  void AdvanceClock(int64_t wallMs);
  HRESULT TakeFailure(const QString &call);
};
using TFakeScriptPtr = std::shared_ptr<TFakeScript>;

class TFakeFilter : public virtual IBaseFilter {
public:
  TFakeFilter(const QString &classId, TFakeScriptPtr script) : FClassId(classId), FScript(std::move(script)) {}
  QString FilterName() const override { return FName; }
  QString ClassId() const override { return FClassId; }
  std::vector<IPinPtr> EnumPins() override { return FPins; }
  HRESULT GetState(uint32_t, FILTER_STATE &state) override
  {
    state = FState;
    return S_OK;
  }
  HRESULT Stop() override;
  void SetName(const QString &name) { FName = name; }
  void SetFilterState(FILTER_STATE state) { FState = state; }
  std::vector<IPinPtr> &Pins() { return FPins; }

protected:
  QString FClassId;
  QString FName;
  TFakeScriptPtr FScript;
  FILTER_STATE FState = State_Stopped;
  std::vector<IPinPtr> FPins;
};

class TFakeVideoRenderer : public TFakeFilter, public IVideoRenderer {
public:
  explicit TFakeVideoRenderer(TFakeScriptPtr script) : TFakeFilter(QStringLiteral("video-renderer"), std::move(script))
  {
  }
  TVideoFrameSlotPtr Frames() override { return FSlot; }
  // Stores a frame and announces it, as a renderer's crossing would.
  void Deliver(const QImage &image, int parN = 1, int parD = 1, REFERENCE_TIME time = 0);

private:
  TVideoFrameSlotPtr FSlot = std::make_shared<TVideoFrameSlot>();
};

class TFakeMediaGraph : public IMediaGraph,
                        public IMediaControl,
                        public IMediaSeeking,
                        public IVideoFrameStep,
                        public IBasicAudio,
                        public IMediaEventEx {
public:
  explicit TFakeMediaGraph(TFakeScriptPtr script) : FScript(std::move(script)) {}

  HRESULT AddFilter(const IBaseFilterPtr &filter, const QString &name) override;
  HRESULT RemoveFilter(const IBaseFilterPtr &filter) override;
  std::vector<IBaseFilterPtr> EnumFilters() override { return FFilters; }
  HRESULT AddSourceFilter(const QString &fileName, const QString &filterName, IBaseFilterPtr &filter) override;
  HRESULT Render(const IPinPtr &pin) override;

  HRESULT Run() override;
  HRESULT Pause() override;
  HRESULT Stop() override;
  HRESULT GetState(uint32_t timeoutMs, FILTER_STATE &state) override;

  HRESULT GetDuration(REFERENCE_TIME &duration) override;
  HRESULT GetCurrentPosition(REFERENCE_TIME &current) override;
  HRESULT GetPositions(REFERENCE_TIME &current, REFERENCE_TIME &stop) override;
  HRESULT SetPositions(REFERENCE_TIME *current, uint32_t currentFlags, REFERENCE_TIME *stop,
                       uint32_t stopFlags) override;
  HRESULT SetRate(double rate) override;
  HRESULT GetRate(double &rate) override
  {
    rate = FRate;
    return S_OK;
  }

  HRESULT Step(uint32_t frames) override;
  HRESULT CanStep(bool) override { return FSource ? S_OK : S_FALSE; }
  HRESULT CancelStep() override { return S_OK; }

  HRESULT put_Volume(int32_t volume) override;
  HRESULT get_Volume(int32_t &volume) override
  {
    volume = FVolume;
    return S_OK;
  }
  HRESULT put_Balance(int32_t balance) override;
  HRESULT get_Balance(int32_t &balance) override
  {
    balance = FBalance;
    return S_OK;
  }

  HRESULT SetNotifyWindow(std::function<void()> notify) override
  {
    FNotify = std::move(notify);
    return S_OK;
  }
  HRESULT SetNotifyFlags(int32_t flags) override
  {
    FNotifyFlags = flags;
    return S_OK;
  }
  HRESULT GetEvent(int32_t &code, intptr_t &param1, intptr_t &param2, uint32_t timeoutMs) override;
  HRESULT FreeEventParams(int32_t, intptr_t, intptr_t) override { return S_OK; }

  // Test hooks.
  void Advance(int64_t wallMs);
  void PostEvent(int32_t code, intptr_t p1 = 0, intptr_t p2 = 0);
  bool EndOfStream() const { return FEos; }

private:
  void ChangeState(FILTER_STATE target);

  TFakeScriptPtr FScript;
  std::vector<IBaseFilterPtr> FFilters;
  std::shared_ptr<TFakeFilter> FSource;
  REFERENCE_TIME FDuration = 0;
  REFERENCE_TIME FPosition = 0;
  REFERENCE_TIME FStop = -1;
  FILTER_STATE FState = State_Stopped;
  bool FEos = false;
  double FRate = 1.0;
  int32_t FVolume = 0, FBalance = 0;
  struct TEvent {
    int32_t Code;
    intptr_t P1, P2;
  };
  std::vector<TEvent> FEvents;
  std::function<void()> FNotify;
  int32_t FNotifyFlags = 0;
};

class TFakeGraphFactory : public IGraphFactory {
public:
  explicit TFakeGraphFactory(TFakeScriptPtr script) : FScript(std::move(script)) {}
  IMediaGraphPtr CreateGraph() override;
  // "video-renderer" makes a TFakeVideoRenderer; "missing" nothing; any
  // other description a plain fake filter of that class.
  IBaseFilterPtr CreateFilter(const QString &description) override;

private:
  TFakeScriptPtr FScript;
};

} // namespace kp
