#include "PlayingTestSupport.h"

#include "FileManagerTestAccess.h"

#include "UnitTranslate.h"

#include <QAction>
#include <QHeaderView>
#include <QVBoxLayout>

using namespace kp;

namespace kptest {

void TRecordingHost::FormResize()
{
  Log << QStringLiteral("FormResize");
  if (OnFormResize) OnFormResize();
}

void TRecordingHost::SetMenuChecked(QAction *item)
{
  Log << QStringLiteral("SetMenuChecked ") + item->objectName();
  item->setChecked(true);
}

void TRecordingHost::ShowMessage(const QString &text)
{
  Messages << text;
  if (OnMessage) OnMessage(text);
}

void TRecordingHost::ShowFailure(const QString &text)
{
  Failures << text;
  ShowMessage(text);
}

void TRecordingMap::SetMapCenter(double x, double y, double azimuth)
{
  Calls << QStringLiteral("SetMapCenter %1 %2 %3").arg(x).arg(y).arg(azimuth);
}

void TRecordingMap::SetMapBounds(const std::vector<const TMovingInfo *> &tracks, const std::vector<bool> &, bool fit,
                                 bool drawGaps)
{
  Calls << QStringLiteral("SetMapBounds %1 %2 %3").arg(tracks.size()).arg(fit).arg(drawGaps);
}

TFileItem MakeRecording(const QString &name, double start, double spanDays, const std::vector<TTestFile> &files)
{
  TFileItem item;
  QStringList paths;
  for (const TTestFile &planned : files) {
    TFileItemSubitem file;
    file.FileName = planned.Name;
    file.Name = planned.Name.section(QLatin1Char('/'), -1);
    file.Position = {planned.Start, planned.End};
    file.TrackPosition = file.Position;
    file.DurationMs = planned.DurationMs;
    file.DurationSource = planned.DurationSource;
    file.StartTime = start + static_cast<double>(planned.Start) * spanDays;
    file.EndTime = start + static_cast<double>(planned.End) * spanDays;
    file.TrackStartTime = file.StartTime;
    file.TrackEndTime = file.EndTime;
    item.Files.push_back(file);
    paths << planned.Name;
  }
  item.Summary.FileName = paths.join(QStringLiteral(", "));
  item.Summary.Name = name;
  item.Summary.StartTime = start;
  item.Summary.EndTime = start + spanDays;
  item.DateText = QStringLiteral("01.06.2024");
  return item;
}

TPlayingRig::TPlayingRig(IGraphFactoryPtr factory)
{
  Graph = std::make_unique<TFilterGraph>(std::move(factory));
  Video = std::make_unique<TVideoWindow>(&Window);
  Video->setObjectName(QStringLiteral("VideoWindowWMR"));
  Video->SetMode(vmVMR);
  ListView = new QTableView(&Window);
  ListView->setModel(&ListModel);
  ListView->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListView->setSelectionMode(QAbstractItemView::ExtendedSelection);
  ListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ImageSeek = new TBS_Image(&Window);
  ImageSeek->setMinimumHeight(40);
  PanelControl = new QWidget(&Window);
  auto *layout = new QVBoxLayout(&Window);
  layout->addWidget(Video.get(), 1);
  layout->addWidget(ListView, 1);
  layout->addWidget(ImageSeek);
  layout->addWidget(PanelControl);
  Window.resize(420, 400);

  ButtonPlay.setCheckable(true);
  for (QToolButton *speed : {&SpeedHalf, &SpeedDouble}) speed->setCheckable(true);
  SpeedHalf.setProperty("tag", -1);
  SpeedDouble.setProperty("tag", 1);
  TrackBarVolume.setRange(0, 100);
  TrackBarVolume.setValue(100);
  Timer.setInterval(100);
  for (const char *name : {"N_Playback_PlayNext", "N_View_Profile_Video", "N_View_Arrow_Small", "N_View_Arrow_Normal",
                           "N_View_Arrow_Big", "N_FullScreen", "N_Playback_Frame_Next", "N_Playback_Frame_Prev",
                           "N_VideoZoom_Custom", "N_VideoZoom_Letterbox", "N_View_Details", "N_FileList_Open"}) {
    auto *action = new QAction(&Menu);
    action->setObjectName(QLatin1String(name));
    action->setCheckable(true);
  }
  Item("N_View_Arrow_Big")->setChecked(true);

  SeekBitmap = std::make_unique<TSeekBitmap>(ImageSeek->Image());
  GraphImage.Width = 400;
  GraphImage.Height = 60;
  Graphs.push_back(TSpeedGraphic::Create(&GraphImage, 10));
  Graphs.front()->Resize();
  for (TImage *image : {&SpeedImage, &AzimutImage, &GSensorImage}) {
    image->Width = 134;
    image->Height = 134;
  }
  SpeedBitmap = std::make_unique<TSpeedBitmap>(&SpeedImage, Qt::white);
  AzimutBitmap = std::make_unique<TAzimutBitmap>(&AzimutImage, Qt::white);
  GSensorBitmap = std::make_unique<TGSensorBitmap>(&GSensorImage, Qt::white);
  for (TMyBitmap *painter :
       std::initializer_list<TMyBitmap *>{SpeedBitmap.get(), AzimutBitmap.get(), GSensorBitmap.get()})
    painter->Resize();

  Controls.ButtonPlay = &ButtonPlay;
  Controls.ButtonStop = &ButtonStop;
  Controls.ButtonVideoZoomIn = &ButtonVideoZoomIn;
  Controls.ButtonVideoZoomOut = &ButtonVideoZoomOut;
  Controls.ButtonFrameNext = &ButtonFrameNext;
  Controls.ButtonFramePrev = &ButtonFramePrev;
  Controls.PanelPlaySpeed = &PanelPlaySpeed;
  Controls.SpeedButtons = {&SpeedHalf, &SpeedDouble};
  Controls.TrackBarVolume = &TrackBarVolume;
  Controls.CheckBoxLoop = &CheckBoxLoop;
  Controls.Timer = &Timer;
  Controls.ListView = ListView;
  Controls.PanelControl = PanelControl;
  Controls.ImageSeek = ImageSeek;
  Controls.FilterGraph = Graph.get();
  Controls.VideoWindowWMR = [this] { return Video.get(); };
  Controls.SeekBitmap = SeekBitmap.get();
  Controls.SpeedBitmap = SpeedBitmap.get();
  Controls.AzimutBitmap = AzimutBitmap.get();
  Controls.GSensorBitmap = GSensorBitmap.get();
  Controls.Graphs = &Graphs;
  Controls.MapPage = &Map;
  Controls.FileManager = &Catalogue;
  Controls.Menu = &Menu;
  State.Map = &MapState;

  Model = std::make_unique<TPositionModel>(State, Controls, Host);
  Loop = std::make_unique<TPlaybackLoop>(State, Controls, Host, *Model);
  Selection = std::make_unique<TRecordingSelection>(State, Controls, Host, *Model, *Loop);
  ConnectListView(ListView, *Selection);
  Model->ConnectImage(ImageSeek);
  QObject::connect(&Timer, &QTimer::timeout, &Window, [this] { Loop->TimerTimer(TOrigin::Timer); });
  Host.OnFormResize = [this] {
    TArrayInteger gaps, noHeader, ab;
    Model->GetSeekBarSpans(SeekBitmap->Wd(), gaps, noHeader, ab, State.TimeWindowStart, State.TimeWindowEnd);
    SeekBitmap->Draw(Qt::white, gaps, State.Recording.Summary.StartTime, State.Recording.Summary.EndTime,
                     State.TimeWindowStart, State.TimeWindowEnd, noHeader, ab);
    Model->DrawGraphWindow(*Graphs.front(), GraphImage.Width, gaps, noHeader, ab, State.TimeWindowStart,
                           State.TimeWindowEnd);
  };
  QObject::connect(ImageSeek, &TBS_Image::Resized, &Window, [this] {
    SeekBitmap->Resize();
    Host.OnFormResize();
  });
}

TPlayingRig::~TPlayingRig()
{
  Timer.stop();
  try {
    if (Graph->Active()) {
      Graph->Stop();
      Graph->ClearGraph();
    }
  } catch (const std::exception &) {
  }
  Graph->SetActive(false);
  Video->SetFilterGraph(nullptr);
}

void TPlayingRig::SetRows(const std::vector<TFileItem> &rows)
{
  TFileManagerTestAccess::SetRows(Catalogue, rows);
  ListModel.clear();
  for (const TFileItem &row : rows) ListModel.appendRow(new QStandardItem(row.Summary.Name));
}

void TPlayingRig::SelectRows(const std::vector<int> &rows)
{
  QItemSelection selection;
  for (int row : rows) selection.select(ListModel.index(row, 0), ListModel.index(row, 0));
  ListView->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

QAction *TPlayingRig::Item(const char *name) const
{
  return Menu.findChild<QAction *>(QLatin1String(name));
}

} // namespace kptest
