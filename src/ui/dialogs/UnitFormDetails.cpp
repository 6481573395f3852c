#include "UnitFormDetails.h"

#include "Canvas.h"
#include "DateTime.h"
#include "IDialogHost.h"
#include "UnitBSImage.h"
#include "UnitFileManager.h"
#include "UnitTranslate.h"
#include "UnitUtils.h"

#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <span>

namespace kp {

namespace {

constexpr int kGSensorColumn = 170;

// Caption name, caption key, value name; in rows from the top.
struct TLabelRow {
  const char *Caption;
  const char16_t *Key;
  const char *Value;
};
constexpr TLabelRow kTimeRows[] = {
    {"LabelFileCaption", u"File", "LabelFile"},
    {"LabelSystemTimeCaption", u"SystemTime", "LabelSystemTime"},
    {"LabelVideoTimeCaption", u"VideoTime", "LabelVideoTime"},
};
constexpr TLabelRow kGpsRows[] = {
    {"LabelGPS", nullptr, "LabelGPSIndex"},
    {"LabelGPSXCaption", u"Longitude", "LabelGPSX"},
    {"LabelGPSYCaption", u"Latitude", "LabelGPSY"},
    {"LabelGPSAltitudeCaption", u"Altitude", "LabelGPSAltitude"},
    {"LabelGPSAzimutCaption", u"Azimut", "LabelGPSAzimut"},
    {"LabelGPSSpeedCaption", u"Speed", "LabelGPSSpeed"},
    {"LabelGPSTrackCaption", u"Details_Track_Length", "LabelGPSTrack"},
};
constexpr TLabelRow kGSensorRows[] = {
    {"LabelGSensor", nullptr, "LabelGSensorIndex"},     {"LabelGSensorXCaption", nullptr, "LabelGSensorX"},
    {"LabelGSensorYCaption", nullptr, "LabelGSensorY"}, {"LabelGSensorZCaption", nullptr, "LabelGSensorZ"},
    {"LabelGSensorGCaption", nullptr, "LabelGSensorG"},
};

QString CaptionText(const TLabelRow &r)
{
  if (r.Key) return Translate(QStringView(r.Key)) + QLatin1Char(':');
  const QString name = QString::fromLatin1(r.Caption);
  if (name == QLatin1String("LabelGPS")) return QStringLiteral("GPS");
  if (name == QLatin1String("LabelGSensor")) return Translate(u"Details_GSensor");
  // "LabelGSensorXCaption" -> "X:"
  return name.mid(12, 1) + QLatin1Char(':');
}

} // namespace

TFormDetails::TFormDetails(IDialogHost *host)
  : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), FHost(host)
{
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFocusPolicy(Qt::NoFocus);
  setWindowOpacity(220.0 / 255.0);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::white);
  pal.setColor(QPalette::WindowText, Qt::black);
  setPalette(pal);
  resize(DesignWidth, DesignHeight);
  Create();
}

TFormDetails::~TFormDetails()
{
  HideDetails();
  FGraph.reset(); // before the picture it draws into
}

QLabel *TFormDetails::AddLabel(const QString &name, const QString &text)
{
  auto *label = new QLabel(text, this);
  label->setObjectName(name);
  FLabels << label;
  return label;
}

QLabel *TFormDetails::Label(const QString &name) const
{
  for (QLabel *l : FLabels)
    if (l->objectName() == name) return l;
  return nullptr;
}

void TFormDetails::Create()
{
  FShapeBorder = new QFrame(this);
  FShapeBorder->setObjectName(QStringLiteral("ShapeBorder"));
  FShapeBorder->setFrameShape(QFrame::Box);
  using TRows = std::span<const TLabelRow>;
  for (const TRows rows : {TRows(kTimeRows), TRows(kGpsRows), TRows(kGSensorRows)})
    for (const TLabelRow &r : rows) {
      AddLabel(QString::fromLatin1(r.Caption), CaptionText(r))->setAlignment(Qt::AlignRight);
      AddLabel(QString::fromLatin1(r.Value));
    }
  AddLabel(QStringLiteral("LabelGraphicName"));
  FImage = new TBS_Image(this);
  FImage->setObjectName(QStringLiteral("Image"));
  // Every child reports moves so the window can step away from the pointer.
  setMouseTracking(true);
  for (QWidget *w : findChildren<QWidget *>()) {
    w->setMouseTracking(true);
    w->installEventFilter(this);
  }
  FWords = TDetailsWords::Current();
  ApplyLayout();
  const QLabel *name = Label(QStringLiteral("LabelGraphicName"));
  FImage->setGeometry(1, name->geometry().bottom() + 2, width() - 2, height() - name->geometry().bottom() - 3);
  FImage->Image()->Width = FImage->width();
  FImage->Image()->Height = FImage->height();
  UpdateVisibility();
}

void TFormDetails::ApplyLayout()
{
  const int row = fontMetrics().height() + 1;
  auto captionWidth = [this](std::span<const TLabelRow> rows) {
    int w = 0;
    for (const TLabelRow &r : rows) w = std::max(w, Label(QString::fromLatin1(r.Caption))->sizeHint().width());
    return w;
  };
  // Each caption ends 2 pixels before its value.
  auto place = [&](std::span<const TLabelRow> rows, int top, int valueX, int right) {
    for (size_t i = 0; i < rows.size(); ++i) {
      QLabel *caption = Label(QString::fromLatin1(rows[i].Caption));
      QLabel *value = Label(QString::fromLatin1(rows[i].Value));
      const int w = caption->sizeHint().width(), y = top + int(i) * row;
      caption->setGeometry(valueX - 2 - w, y, w, row);
      value->setGeometry(valueX, y, std::max(right - valueX, 0), row);
    }
  };
  // The file caption is as wide as the time captions' column allows.
  place(kTimeRows, 2, captionWidth(std::span(kTimeRows).subspan(1)) + 4, width() - 2);
  const int blockTop = 2 + 3 * row + 2;
  // The GPS values stop where a shown G-sensor column starts.
  const bool gsensor = !Label(QStringLiteral("LabelGSensor"))->isHidden();
  place(kGpsRows, blockTop, captionWidth(kGpsRows) + 6, gsensor ? kGSensorColumn - 2 : width() - 2);
  place(kGSensorRows, blockTop, kGSensorColumn + captionWidth(kGSensorRows) + 4, width() - 2);
  Label(QStringLiteral("LabelGraphicName"))
      ->setGeometry(2, blockTop + int(std::size(kGpsRows)) * row, width() - 4, row);
  FShapeBorder->setGeometry(rect());
  FShapeBorder->lower();
}

void TFormDetails::ApplyLanguage()
{
  FWords = TDetailsWords::Current();
  for (const TLabelRow &r : kTimeRows) Label(QString::fromLatin1(r.Caption))->setText(CaptionText(r));
  for (const TLabelRow &r : kGpsRows) Label(QString::fromLatin1(r.Caption))->setText(CaptionText(r));
  for (const TLabelRow &r : kGSensorRows) Label(QString::fromLatin1(r.Caption))->setText(CaptionText(r));
  ApplyLayout();
}

void TFormDetails::UpdateVisibility()
{
  const bool gsensor = FHost && FHost->MenuChecked(QStringLiteral("N_View_Profile_GPS_G"));
  const bool gps = !(FHost && FHost->MenuChecked(QStringLiteral("N_View_Profile_Video")));
  for (QLabel *l : FLabels) {
    const QString name = l->objectName();
    if (name.contains(QLatin1String("GSensor")))
      l->setVisible(gsensor);
    else if (name.contains(QLatin1String("GPS")))
      l->setVisible(gps);
  }
  ApplyLayout();
}

void TFormDetails::FillTexts(long double position)
{
  const TDetailsTelemetry t = FHost->GetTelemetryAt(position);
  Label(QStringLiteral("LabelSystemTime"))->setText(DateTimeToStr(FHost->PositionToDateTime(position)));
  Label(QStringLiteral("LabelVideoTime"))->setText(MsToTimeStr(FHost->PositionToMs(position)));
  QLabel *file = Label(QStringLiteral("LabelFile"));
  const QFontMetrics fm = file->fontMetrics();
  const int room = width() - file->x();
  file->setText(ShortenMiddle(FHost->FileCaptionAt(position),
                              [&fm, room](const QString &s) { return fm.horizontalAdvance(s) <= room; }));
  const TDetailsTexts x = FormatDetailsTexts(t.Point, t.Sample, t.Valid, FWords, UseBritishUnits());
  const std::pair<const char *, const QString *> values[] = {
      {"LabelGPSIndex", &x.GPSIndex}, {"LabelGPSX", &x.GPSX},
      {"LabelGPSY", &x.GPSY},         {"LabelGPSAltitude", &x.GPSAltitude},
      {"LabelGPSSpeed", &x.GPSSpeed}, {"LabelGPSAzimut", &x.GPSAzimut},
      {"LabelGPSTrack", &x.GPSTrack}, {"LabelGSensorIndex", &x.GSensorIndex},
      {"LabelGSensorX", &x.GSensorX}, {"LabelGSensorY", &x.GSensorY},
      {"LabelGSensorZ", &x.GSensorZ}, {"LabelGSensorG", &x.GSensorG},
  };
  for (const auto &[name, text] : values) Label(QString::fromLatin1(name))->setText(*text);
}

void TFormDetails::DrawMiniGraph(TMyGraphicClass graphClass, long double cursor, long double width,
                                 long double position)
{
  if (graphClass != FGraphClass) FGraph.reset();
  if (!FGraph && graphClass) {
    FGraph = graphClass(FImage->Image(), 20);
    FGraphClass = graphClass;
  }
  QLabel *name = Label(QStringLiteral("LabelGraphicName"));
  if (!FGraph) {
    FImage->hide();
    name->clear();
    const QLabel *track = Label(QStringLiteral("LabelGPSTrack"));
    setFixedHeight(track->geometry().bottom() + 1 + 2);
    return;
  }
  FImage->setGeometry(FImage->x(), FImage->y(), FImage->width(), GraphHeight);
  FImage->Image()->Width = FImage->width();
  FImage->Image()->Height = GraphHeight;
  setFixedHeight(FImage->geometry().bottom() + 1 + 1);
  FImage->show();
  FGraph->Resize();
  FGraph->FillBackground(ToQColor(TranslateColor(u"colorGraphBG")));
  const int w = FImage->width(), h = GraphHeight;
  FGraph->BackgroundLine(w / 2, 2, w / 2, h - 2, QColor(100, 100, 100));
  FHost->DrawGraphWindow(*FGraph, position - width / 2, position + width / 2, std::max(w - 40, 0));
  FGraph->DrawCursor(cursor);
  name->setText(Translate(FGraph->GetMenuName()));
}

QPoint TFormDetails::Placement(QPoint pointer, const QRect &panel, int workBottom, int height, bool hasGraph)
{
  const int yb = panel.bottom() + 1;
  int top = std::max(pointer.y() + 24, yb);
  if (!hasGraph || top > workBottom - height) top = yb - panel.height() - height;
  return {pointer.x() + 16, top};
}

int TFormDetails::WorkBottom() const
{
  const QScreen *s = screen();
  return s ? s->availableGeometry().bottom() + 1 : 1 << 20;
}

void TFormDetails::ShowDetails(TMyGraphicClass graphClass, long double cursorPosition, long double width,
                               long double position)
{
  if (!FHost) return;
  FillTexts(position);
  DrawMiniGraph(graphClass, cursorPosition, width, position);
  FShapeBorder->setGeometry(rect());
  move(Placement(QCursor::pos(), FHost->GraphPanelScreenRect(), WorkBottom(), height(), FGraph != nullptr));
  if (!FShown) {
    ApplyLayout();
    FShown = true;
    show();
  }
}

void TFormDetails::HideDetails()
{
  if (!FShown) return;
  FShown = false;
  hide();
}

void TFormDetails::DrawCursor(long double position)
{
  if (FShown && FGraph) FGraph->DrawCursor(position);
}

void TFormDetails::MoveAwayFrom(QPoint inWindow)
{
  move(x() + inWindow.x() + 16, std::min(y() + inWindow.y() + 24, WorkBottom() - height()));
}

void TFormDetails::mouseMoveEvent(QMouseEvent *event)
{
  MoveAwayFrom(event->position().toPoint());
}

bool TFormDetails::eventFilter(QObject *watched, QEvent *event)
{
  if (event->type() == QEvent::MouseMove && watched != this) {
    auto *w = qobject_cast<QWidget *>(watched);
    if (w) {
      MoveAwayFrom(w->mapTo(this, static_cast<QMouseEvent *>(event)->position().toPoint()));
      return true; // not again for the window when the move propagates
    }
  }
  return QWidget::eventFilter(watched, event);
}

} // namespace kp
