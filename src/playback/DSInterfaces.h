#pragma once
// The media-graph interfaces the player is written against. They keep the
// shapes (names, units, result codes) of the graph API the program was
// designed around, so the window code reads the same whichever media layer
// sits underneath. Two layers implement them: GStreamer (GstMediaGraph.h)
// and a scriptable fake for tests (FakeMediaGraph.h).
//
// Interfaces are plain abstract classes shared through std::shared_ptr; a
// graph object implements all of its interfaces at once and is asked for
// one with QueryInterface<T>() (see TFilterGraph).

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace kp {

using HRESULT = int32_t;
using REFERENCE_TIME = int64_t; // 100-nanosecond units

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT VFW_E_NOT_CONNECTED = static_cast<HRESULT>(0x80040209u);
constexpr HRESULT VFW_E_NOT_FOUND = static_cast<HRESULT>(0x80040216u);
constexpr HRESULT VFW_E_CANNOT_RENDER = static_cast<HRESULT>(0x80040218u);
constexpr HRESULT VFW_E_WRONG_STATE = static_cast<HRESULT>(0x80040227u);
constexpr HRESULT VFW_E_TIMEOUT = static_cast<HRESULT>(0x8004022Eu);
constexpr HRESULT VFW_E_UNSUPPORTED_STREAM = static_cast<HRESULT>(0x8004022Fu);
// The file's format is known but its content cannot be read (damaged).
constexpr HRESULT VFW_E_INVALID_FILE_FORMAT = static_cast<HRESULT>(0x80040241u);
constexpr HRESULT VFW_E_NOT_FOUND_FILE = static_cast<HRESULT>(0x80070002u);
constexpr HRESULT VFW_S_STATE_INTERMEDIATE = 0x00040237;

inline bool FAILED(HRESULT hr)
{
  return hr < 0;
}
inline bool SUCCEEDED(HRESULT hr)
{
  return hr >= 0;
}

// Platform filter states, as GetState reports them.
enum FILTER_STATE : int32_t { State_Stopped = 0, State_Paused = 1, State_Running = 2 };

// Graph event codes that the layers post (values of the original API).
enum : int32_t {
  EC_COMPLETE = 1,
  EC_USERABORT = 2,
  EC_ERRORABORT = 3,
  EC_ERROR_STILLPLAYING = 8,
  EC_PALETTE_CHANGED = 9,
  EC_VIDEO_SIZE_CHANGED = 10,
  EC_PAUSED = 14,
  EC_STEP_COMPLETE = 36,
  EC_VMR_RENDERDEVICE_SET = 83,
};

// Seek flags of IMediaSeeking::SetPositions.
enum : uint32_t {
  AM_SEEKING_NoPositioning = 0,
  AM_SEEKING_AbsolutePositioning = 1,
  AM_SEEKING_RelativePositioning = 2,
  AM_SEEKING_IncrementalPositioning = 3,
  AM_SEEKING_PositioningBitsMask = 3,
  AM_SEEKING_SeekToKeyFrame = 4,
  AM_SEEKING_ReturnTime = 8,
};

enum class TStreamKind { Video, Audio, Text, Other };

class IBaseFilter;

// One output of a source filter: one elementary stream of the opened file.
class IPin {
public:
  virtual ~IPin() = default;
  virtual TStreamKind Kind() const = 0;
  // Short description of the stream's format (for messages and tests).
  virtual QString MediaType() const = 0;
  virtual bool IsConnected() const = 0;
  virtual HRESULT Disconnect() = 0;
};
using IPinPtr = std::shared_ptr<IPin>;

class IBaseFilter {
public:
  virtual ~IBaseFilter() = default;
  // The name the filter was added under ("" while outside a graph).
  virtual QString FilterName() const = 0;
  // What the filter is: a GStreamer element factory name or a role
  // ("source", "video-renderer", "video-decoder"...).
  virtual QString ClassId() const = 0;
  virtual std::vector<IPinPtr> EnumPins() = 0;
  virtual HRESULT GetState(uint32_t timeoutMs, FILTER_STATE &state) = 0;
  virtual HRESULT Stop() = 0;
};
using IBaseFilterPtr = std::shared_ptr<IBaseFilter>;

// Membership of filters in a graph.
class IFilterGraph {
public:
  virtual ~IFilterGraph() = default;
  virtual HRESULT AddFilter(const IBaseFilterPtr &filter, const QString &name) = 0;
  virtual HRESULT RemoveFilter(const IBaseFilterPtr &filter) = 0;
  virtual std::vector<IBaseFilterPtr> EnumFilters() = 0;
};

// Building the graph for a file: a source filter whose pins are the file's
// streams, then Render on each pin (S_OK, or a failure for a stream that no
// decoder takes; the other streams still play).
class IGraphBuilder : public virtual IFilterGraph {
public:
  virtual HRESULT AddSourceFilter(const QString &fileName, const QString &filterName, IBaseFilterPtr &filter) = 0;
  virtual HRESULT Render(const IPinPtr &pin) = 0;
};

class IMediaControl {
public:
  virtual ~IMediaControl() = default;
  virtual HRESULT Run() = 0;
  virtual HRESULT Pause() = 0;
  virtual HRESULT Stop() = 0;
  // The target state while a change is under way (VFW_S_STATE_INTERMEDIATE).
  virtual HRESULT GetState(uint32_t timeoutMs, FILTER_STATE &state) = 0;
};

// Positions are in 100-ns units of media time, at any rate.
class IMediaSeeking {
public:
  virtual ~IMediaSeeking() = default;
  virtual HRESULT GetDuration(REFERENCE_TIME &duration) = 0;
  virtual HRESULT GetCurrentPosition(REFERENCE_TIME &current) = 0;
  virtual HRESULT GetPositions(REFERENCE_TIME &current, REFERENCE_TIME &stop) = 0;
  virtual HRESULT SetPositions(REFERENCE_TIME *current, uint32_t currentFlags, REFERENCE_TIME *stop,
                               uint32_t stopFlags) = 0;
  virtual HRESULT SetRate(double rate) = 0;
  virtual HRESULT GetRate(double &rate) = 0;
};

class IVideoFrameStep {
public:
  virtual ~IVideoFrameStep() = default;
  virtual HRESULT Step(uint32_t frames) = 0;
  virtual HRESULT CanStep(bool multiple) = 0;
  virtual HRESULT CancelStep() = 0;
};

// Volume in hundredths of a dB (-10000 silence .. 0 full); balance likewise
// (-10000 right silent .. 10000 left silent).
class IBasicAudio {
public:
  virtual ~IBasicAudio() = default;
  virtual HRESULT put_Volume(int32_t volume) = 0;
  virtual HRESULT get_Volume(int32_t &volume) = 0;
  virtual HRESULT put_Balance(int32_t balance) = 0;
  virtual HRESULT get_Balance(int32_t &balance) = 0;
};

// Graph events. The graph calls the notify function (on the main thread,
// never from inside one of its own calls) when events wait; the owner then
// drains them with GetEvent.
class IMediaEventEx {
public:
  virtual ~IMediaEventEx() = default;
  virtual HRESULT SetNotifyWindow(std::function<void()> notify) = 0;
  // 0 delivers notifications, 1 stops them.
  virtual HRESULT SetNotifyFlags(int32_t flags) = 0;
  virtual HRESULT GetEvent(int32_t &code, intptr_t &param1, intptr_t &param2, uint32_t timeoutMs) = 0;
  virtual HRESULT FreeEventParams(int32_t code, intptr_t param1, intptr_t param2) = 0;
};

// A whole graph object: every interface above. QueryInterface on it answers
// by dynamic_cast, so a layer that lacks an interface simply does not derive
// from it.
class IMediaGraph : public virtual IGraphBuilder {
public:
  virtual ~IMediaGraph() = default;
};
using IMediaGraphPtr = std::shared_ptr<IMediaGraph>;

// Creates graph objects for TFilterGraph and the filters that persisted
// filter descriptions name (TBaseFilter).
class IGraphFactory {
public:
  virtual ~IGraphFactory() = default;
  // nullptr when the layer cannot make a graph.
  virtual IMediaGraphPtr CreateGraph() = 0;
  // A filter for a persisted description (factory name or role); nullptr
  // when nothing of that name can be made here.
  virtual IBaseFilterPtr CreateFilter(const QString &description) = 0;
};
using IGraphFactoryPtr = std::shared_ptr<IGraphFactory>;

} // namespace kp
