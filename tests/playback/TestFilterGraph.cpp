// The graph component over the fake media layer: member and listener
// protocol, activation failures, play controls, volume, rate, clearing.

#include "DSPack.h"
#include "FakeMediaGraph.h"
#include "PlaybackTestSupport.h"

#include <gtest/gtest.h>

using namespace kp;

namespace {

struct TLoggingMember : IGraphMember {
  TLoggingMember(const QString &name, TFakeScriptPtr script, IGraphFactory *factory)
    : Name(name), Script(std::move(script)), Factory(factory)
  {
  }
  IBaseFilterPtr MemberFilter() const override { return Filter; }
  QString MemberName() const override { return Name; }
  void NotifyMember(int operation, int) override
  {
    Script->Log << QStringLiteral("%1 notify %2").arg(Name).arg(operation);
    if (operation == gmoAdding) Filter = Factory->CreateFilter(QStringLiteral("member"));
    if (operation == gmoRemoved) Filter.reset();
  }
  QString Name;
  TFakeScriptPtr Script;
  IGraphFactory *Factory;
  IBaseFilterPtr Filter;
};

struct TLoggingListener : IGraphListener {
  explicit TLoggingListener(TFakeScriptPtr script) : Script(std::move(script)) {}
  void GraphEvent(int32_t event, intptr_t p1, intptr_t) override
  {
    Script->Log << QStringLiteral("GraphEvent %1 %2").arg(event).arg(p1);
  }
  void ControlEvent(int event, int param) override
  {
    Script->Log << QStringLiteral("ControlEvent %1 %2").arg(event).arg(param);
  }
  TFakeScriptPtr Script;
};

class FilterGraphTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    kptest::ensureApplication();
    script = std::make_shared<TFakeScript>();
    factory = std::make_shared<TFakeGraphFactory>(script);
    graph = std::make_unique<TFilterGraph>(factory);
  }

  QStringList takeLog()
  {
    QStringList log = script->Log;
    script->Log.clear();
    return log;
  }

  // Opens a file the way the main window does: source filter, then every pin.
  std::vector<HRESULT> openFile(const QString &name)
  {
    auto builder = graph->QueryInterface<IGraphBuilder>();
    IBaseFilterPtr source;
    std::vector<HRESULT> results;
    if (FAILED(builder->AddSourceFilter(name, QStringLiteral("File"), source))) return results;
    for (const IPinPtr &pin : source->EnumPins()) results.push_back(builder->Render(pin));
    return results;
  }

  TFakeScriptPtr script;
  std::shared_ptr<TFakeGraphFactory> factory;
  std::unique_ptr<TFilterGraph> graph;
};

} // namespace

TEST_F(FilterGraphTest, ActivationAddsMembersBeforeTheControlEventAndDeactivationRemovesThemFirst)
{
  TLoggingMember a(QStringLiteral("A"), script, factory.get()), b(QStringLiteral("B"), script, factory.get());
  TLoggingListener listener(script);
  graph->InsertFilter(&a);
  graph->InsertFilter(&b);
  graph->InsertEventNotifier(&listener);
  bool activated = false;
  graph->OnActivate = [&] {
    script->Log << QStringLiteral("OnActivate");
    activated = true;
  };
  EXPECT_TRUE(takeLog().isEmpty()) << "joining an inactive graph does nothing yet";

  graph->SetActive(true);
  EXPECT_TRUE(graph->Active());
  EXPECT_TRUE(activated);
  EXPECT_EQ(takeLog(), (QStringList{"CreateGraph", "A notify 0", "AddFilter A", "A notify 1", "B notify 0",
                                    "AddFilter B", "B notify 1", "OnActivate", "ControlEvent 7 1"}));
  graph->SetActive(true);
  EXPECT_TRUE(takeLog().isEmpty()) << "setting the current value does nothing";

  graph->SetActive(false);
  EXPECT_FALSE(graph->Active());
  EXPECT_EQ(takeLog(), (QStringList{"ControlEvent 7 0", "A notify 2", "RemoveFilter A", "A notify 3", "B notify 2",
                                    "RemoveFilter B", "B notify 3"}));
  graph->RemoveFilter(&b);

  // Members joining or leaving an active graph go in and out at once.
  graph->SetActive(true);
  takeLog();
  graph->RemoveFilter(&a);
  EXPECT_EQ(takeLog(), (QStringList{"A notify 2", "RemoveFilter A", "A notify 3"}));
  EXPECT_EQ(TFilterList(graph->QueryInterface<IGraphBuilder>().get()).Count(), 0);
  graph->InsertFilter(&a);
  EXPECT_EQ(takeLog(), (QStringList{"A notify 0", "AddFilter A", "A notify 1"}));
  EXPECT_EQ(TFilterList(graph->QueryInterface<IGraphBuilder>().get()).Count(), 1);
  graph->SetActive(false);
  graph->RemoveFilter(&a);
  graph->RemoveEventNotifier(&listener);
}

TEST_F(FilterGraphTest, InactiveGraphAnswersStateZeroAndRefusesPlayQuietly)
{
  EXPECT_EQ(graph->GetState(), psNotInitialised);
  EXPECT_NO_THROW(EXPECT_FALSE(graph->Play()));
  EXPECT_NO_THROW(EXPECT_FALSE(graph->Pause()));
  EXPECT_NO_THROW(EXPECT_FALSE(graph->Stop()));
  EXPECT_EQ(graph->GetDuration(), 0);
  EXPECT_EQ(graph->QueryInterface<IMediaSeeking>(), nullptr);
}

TEST_F(FilterGraphTest, GraphThatCannotBeCreatedLeavesTheComponentInactive)
{
  script->FailCreate = true;
  TLoggingMember a(QStringLiteral("A"), script, factory.get());
  TLoggingListener listener(script);
  graph->InsertFilter(&a);
  graph->InsertEventNotifier(&listener);
  EXPECT_NO_THROW(graph->SetActive(true));
  EXPECT_FALSE(graph->Active());
  EXPECT_EQ(graph->GetState(), psNotInitialised);
  EXPECT_FALSE(graph->Play());
  EXPECT_EQ(takeLog(), QStringList{"CreateGraph"}) << "no member or listener hears of a graph that is not there";
  graph->RemoveFilter(&a);
  graph->RemoveEventNotifier(&listener);
}

TEST_F(FilterGraphTest, CaptureAndDvdModesActivateNothing)
{
  graph->SetMode(gmDVD);
  graph->SetActive(true);
  EXPECT_FALSE(graph->Active());
  graph->SetMode(gmNormal);
  graph->SetActive(true);
  EXPECT_TRUE(graph->Active());
  graph->SetMode(gmCapture); // deactivates, and cannot reactivate
  EXPECT_FALSE(graph->Active());
}

TEST_F(FilterGraphTest, PlayControlsSendTheirEventFirstAndRaiseOnFailure)
{
  TLoggingListener listener(script);
  graph->InsertEventNotifier(&listener);
  graph->SetActive(true);
  takeLog();
  EXPECT_TRUE(graph->Play());
  EXPECT_EQ(graph->GetState(), psPlaying);
  EXPECT_TRUE(graph->Pause());
  EXPECT_EQ(graph->GetState(), psPaused);
  EXPECT_TRUE(graph->Stop());
  EXPECT_EQ(graph->GetState(), psStopped);
  EXPECT_EQ(takeLog(),
            (QStringList{"ControlEvent 0 0", "Run", "ControlEvent 1 0", "Pause", "ControlEvent 2 0", "Stop"}));

  script->FailNext["Run"] = E_FAIL;
  try {
    graph->Play();
    FAIL() << "a failed Run must raise";
  } catch (const EDirectShowException &e) {
    EXPECT_EQ(e.ErrorCode(), E_FAIL);
    EXPECT_TRUE(e.Message().endsWith(QStringLiteral("($80004005).")));
  }
  EXPECT_EQ(takeLog(), (QStringList{"ControlEvent 0 0", "Run"}));

  graph->SetState(psPlaying);
  EXPECT_EQ(takeLog(), QStringList{"Run"}) << "SetState sends no control event";
  script->FailNext["Pause"] = VFW_E_WRONG_STATE;
  EXPECT_THROW(graph->SetState(psPaused), EDirectShowException);
  graph->SetState(7);
  EXPECT_EQ(graph->GetState(), psPlaying) << "an unknown code does nothing";
  // A change under way reports its target.
  script->IntermediateState = State_Paused;
  EXPECT_EQ(graph->GetState(), psPaused);
  graph->RemoveEventNotifier(&listener);
}

TEST_F(FilterGraphTest, VolumeIsClampedAndMappedToDecibels)
{
  graph->SetVolume(12000);
  EXPECT_EQ(graph->Volume(), 10000);
  graph->SetVolume(-5);
  EXPECT_EQ(graph->Volume(), 0);
  EXPECT_TRUE(takeLog().isEmpty()) << "inactive: stored only";

  graph->SetActive(true);
  takeLog();
  graph->SetVolume(10000);
  graph->SetVolume(0);
  graph->SetVolume(1);
  EXPECT_EQ(takeLog(), (QStringList{"put_Volume 0", "put_Volume -10000", "put_Volume -9247"}));
  graph->SetLinearVolume(false); // re-applies volume and balance
  EXPECT_EQ(takeLog(), (QStringList{"put_Volume -9999", "put_Balance 0"}));
  graph->SetVolume(2500);
  EXPECT_EQ(takeLog(), QStringList{"put_Volume -7500"});
  graph->SetBalance(-20000);
  EXPECT_EQ(graph->Balance(), -10000);
}

TEST(DSUtilTest, DecibelCurvesAreClampedAndMonotone)
{
  EXPECT_EQ(LinearToDBVolume(-50), -10000) << "out of range is clamped, never a log of a negative";
  int previous = LinearToDBVolume(0);
  for (int v = 1; v <= 10000; ++v) {
    const int db = LinearToDBVolume(v);
    ASSERT_GE(db, previous) << v;
    previous = db;
  }
  EXPECT_EQ(LinearToDBBalance(-1), -LinearToDBBalance(1));
  EXPECT_EQ(LinearToDBBalance(10000), 10000);
}

TEST_F(FilterGraphTest, RateSetWhileInactiveIsStoredAndNotAppliedAtActivation)
{
  graph->SetRate(2.0);
  EXPECT_DOUBLE_EQ(graph->Rate(), 2.0);
  graph->SetActive(true);
  EXPECT_FALSE(takeLog().contains(QStringLiteral("SetRate 2")));
  double rate = 0;
  graph->QueryInterface<IMediaSeeking>()->GetRate(rate);
  EXPECT_DOUBLE_EQ(rate, 1.0);
  graph->SetRate(0.5);
  EXPECT_EQ(takeLog(), QStringList{"SetRate 0.5"});
}

TEST_F(FilterGraphTest, ClearGraphKeepsMemberFiltersAndRemovesTheSource)
{
  script->Files["a.mov"] = TFakeFile{600000000, {{TStreamKind::Video, true}, {TStreamKind::Audio, true}}};
  TFilter member(QStringLiteral("FilterEVR"));
  member.BaseFilter().SetDescription(QStringLiteral("video-renderer"));
  member.SetFilterGraph(graph.get());
  graph->SetActive(true);
  ASSERT_NE(member.MemberFilter(), nullptr);
  EXPECT_EQ(openFile(QStringLiteral("a.mov")), (std::vector<HRESULT>{S_OK, S_OK}));
  EXPECT_EQ(graph->GetDuration(), 60000);
  takeLog();

  graph->ClearGraph();
  EXPECT_EQ(takeLog(), (QStringList{"Stop", "RemoveFilter File"}));
  const TFilterList left(graph->QueryInterface<IGraphBuilder>().get());
  ASSERT_EQ(left.Count(), 1);
  EXPECT_EQ(left[0], member.MemberFilter());
  EXPECT_EQ(graph->GetDuration(), 0);

  // A pin that will not disconnect raises, and the source stays.
  openFile(QStringLiteral("a.mov"));
  script->FailNext["Disconnect"] = E_UNEXPECTED;
  EXPECT_THROW(graph->ClearGraph(), EDirectShowException);
  EXPECT_EQ(TFilterList(graph->QueryInterface<IGraphBuilder>().get()).Count(), 2);
  member.SetFilterGraph(nullptr);
}

TEST_F(FilterGraphTest, OpeningReportsSplitterAndPerStreamCodecFailures)
{
  script->Files["odd.mov"] =
      TFakeFile{10000000, {{TStreamKind::Video, true}, {TStreamKind::Other, false}, {TStreamKind::Text, true}}};
  graph->SetActive(true);
  auto builder = graph->QueryInterface<IGraphBuilder>();
  IBaseFilterPtr source;
  EXPECT_EQ(builder->AddSourceFilter(QStringLiteral("none.txt"), QStringLiteral("File"), source),
            VFW_E_UNSUPPORTED_STREAM);
  EXPECT_EQ(source, nullptr);
  EXPECT_EQ(openFile(QStringLiteral("odd.mov")), (std::vector<HRESULT>{S_OK, VFW_E_CANNOT_RENDER, S_OK}));
}

TEST_F(FilterGraphTest, GraphEventsReachListenersFromTheEventLoopNotFromInsideACall)
{
  TLoggingListener listener(script);
  graph->InsertEventNotifier(&listener);
  std::vector<int32_t> seen;
  graph->OnDSEvent = [&](int32_t code, intptr_t, intptr_t) { seen.push_back(code); };
  graph->SetActive(true);
  takeLog();
  auto fake = std::dynamic_pointer_cast<TFakeMediaGraph>(graph->QueryInterface<IMediaControl>());
  fake->PostEvent(EC_COMPLETE, 0);
  fake->PostEvent(EC_STEP_COMPLETE, 0);
  EXPECT_TRUE(takeLog().isEmpty());
  kptest::spin(20);
  EXPECT_EQ(takeLog(), (QStringList{"GraphEvent 1 0", "GraphEvent 36 0"}));
  EXPECT_EQ(seen, (std::vector<int32_t>{EC_COMPLETE, EC_STEP_COMPLETE}));
  graph->SetActive(false);
  graph->RemoveEventNotifier(&listener);
}

TEST_F(FilterGraphTest, FilterMembersFollowTheirGraphAndItsLifetime)
{
  auto filter = std::make_unique<TFilter>(QStringLiteral("FilterMicrosoftVideo"));
  filter->BaseFilter().SetDescription(QStringLiteral("video-decoder"));
  graph->SetActive(true);
  filter->SetFilterGraph(graph.get());
  ASSERT_NE(filter->MemberFilter(), nullptr) << "joining an active graph creates the filter at once";
  EXPECT_EQ(filter->MemberFilter()->FilterName(), QStringLiteral("FilterMicrosoftVideo"));
  auto fake = std::dynamic_pointer_cast<TFakeFilter>(filter->MemberFilter());
  fake->SetFilterState(State_Running);
  takeLog();
  filter->NotifyMember(gmoRefresh, 0);
  EXPECT_EQ(takeLog(), (QStringList{"Filter.Stop FilterMicrosoftVideo", "RemoveFilter FilterMicrosoftVideo",
                                    "AddFilter FilterMicrosoftVideo"}));
  graph.reset();
  EXPECT_EQ(filter->FilterGraph(), nullptr) << "a freed graph clears the reference";
  EXPECT_EQ(filter->MemberFilter(), nullptr);

  TFilter missing(QStringLiteral("Missing"));
  missing.BaseFilter().SetDescription(QStringLiteral("missing"));
  TFilterGraph other(factory);
  other.SetActive(true);
  takeLog();
  missing.SetFilterGraph(&other);
  EXPECT_EQ(missing.MemberFilter(), nullptr);
  EXPECT_FALSE(takeLog().join(' ').contains(QStringLiteral("AddFilter"))) << "no filter, nothing added";
  missing.SetFilterGraph(nullptr);
}

TEST(DSUtilTest, CheckDSErrorPassesSuccessAndRaisesFailureWithItsCode)
{
  EXPECT_EQ(CheckDSError(S_OK), S_OK);
  EXPECT_EQ(CheckDSError(S_FALSE), S_FALSE);
  // The error text is never read as a format pattern.
  const HRESULT decoder = static_cast<HRESULT>(0x80040265u);
  SetErrorString(decoder, QStringLiteral("Decoder at 100% load %s %d %1"));
  for (auto [code, text] : {std::pair{E_FAIL, "Unspecified error ($80004005)."},
                            std::pair{decoder, "Decoder at 100% load %s %d %1 ($80040265)."}}) {
    try {
      CheckDSError(code);
      ADD_FAILURE() << "no exception for " << code;
    } catch (const EDirectShowException &e) {
      EXPECT_EQ(e.ErrorCode(), code);
      EXPECT_EQ(e.Message(), QString::fromLatin1(text));
      EXPECT_STREQ(e.what(), text);
    }
  }
  EXPECT_EQ(DSErrorMessage(static_cast<HRESULT>(0x8ABCDEF0u)), QStringLiteral(" ($8ABCDEF0)."));
}

TEST(DSUtilTest, PersistedFiltersStoreTheirDescription)
{
  TBaseFilter empty;
  EXPECT_EQ(empty.WriteData(), QByteArray(4, '\0'));
  EXPECT_EQ(empty.CreateFilter(nullptr), nullptr);
  EXPECT_TRUE(empty.DiffersFrom(&empty)) << "two empty blocks count as different";

  TBaseFilter evr;
  evr.SetDescription(QStringLiteral("video-renderer"));
  const QByteArray stored = evr.WriteData();
  EXPECT_EQ(stored.left(4), QByteArray("\x0e\x00\x00\x00", 4));
  TBaseFilter back;
  ASSERT_TRUE(back.ReadData(stored));
  EXPECT_EQ(back.LoadMoniker(), QStringLiteral("video-renderer"));
  EXPECT_FALSE(back.DiffersFrom(&evr));

  EXPECT_FALSE(back.ReadData(QByteArray("\x10\x00\x00\x00"
                                        "abc",
                                        7)))
      << "a size beyond the bytes is refused";
  EXPECT_EQ(back.Size(), 0);
  EXPECT_FALSE(back.ReadData(QByteArray("\x01\x00", 2)));
}
