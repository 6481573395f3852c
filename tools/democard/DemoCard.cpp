#include "DemoCard.h"

#include "ByteStream.h"
#include "UnitGpsConverterDatDOD.h"
#include "UnitGpsConverters.h"
#include "UnitMOV.h"
#include "UnitUtils.h"
#include "UnitUtilsFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

namespace kp::demo {

namespace {

struct TTripScript {
  int Year, Month, Day, Hour, Minute, Second;
  int Fragments, QuickFragments;
  double LastFragmentSeconds; // nominal; 0 = a whole fragment
  double FixFromSeconds;      // nominal
  const char *Folder;
  int SkyColour;
  std::vector<TDrivePhase> Phases; // nominal seconds
};

// Where the car stands when the card is new: a quiet street, heading north.
constexpr double kHomeLat = 45.495712, kHomeLon = -73.577184;

// Day 1 morning: out of the side street into town, a red light, an avenue,
// parking at work. The receiver needs 12 s for its first fix.
TTripScript MorningTrip()
{
  return {2026,
          5,
          15,
          8,
          12,
          7,
          5,
          3,
          0,
          12,
          "DCIM/100MEDIA",
          0x86b0dc,
          {{14, 0},
           {12, 25, 90, 14},
           {30, 50},
           {10, 45, -30, 120},
           {22, 50},
           {12, 0},
           {16, 0},
           {12, 30, -90, 18},
           {40, 60},
           {14, 55, 45, 200},
           {30, 60},
           {10, 25},
           {10, 25, 90, 20},
           {25, 40},
           {15, 0}}};
}

// Day 1 evening: onto the motorway, then a hard stop at the end of a jam,
// which trips the camera's G-sensor.
TTripScript EveningTrip()
{
  return {2026,
          5,
          15,
          18,
          31,
          42,
          4,
          3,
          0,
          0,
          "DCIM/100MEDIA",
          0xd9a878,
          {{8, 0},
           {15, 40, 90, 20},
           {25, 70},
           {20, 100, -20, 600},
           {62, 110},
           {6, 20, 0, 0, 7.0},
           {20, 20},
           {30, 90},
           {20, 100, 35, 800},
           {60, 100}}};
}

// Day 2: a short run to the shops; the camera loses power 24 s into its
// third fragment, after the car is parked.
TTripScript ShoppingTrip()
{
  return {2026,
          5,
          16,
          9,
          5,
          20,
          3,
          3,
          24,
          3,
          "DCIM/101MEDIA",
          0x9cc0e4,
          {{6, 0}, {14, 30, -90, 16}, {40, 70}, {15, 70, 60, 250}, {30, 50}, {8, 20}, {12, 20, 90, 15}, {10, 0}}};
}

double Scaled(double nominal, double scale)
{
  return double(Round(nominal * scale));
}

TDemoTrip MakeTrip(const TTripScript &script, double fragmentSeconds, bool quick, int index)
{
  const double scale = fragmentSeconds / 60.0;
  TDemoTrip trip;
  trip.Start = EncodeDateTimeOr0(script.Year, script.Month, script.Day, script.Hour, script.Minute, script.Second);
  trip.Fragments = quick ? script.QuickFragments : script.Fragments;
  trip.Seconds = trip.Fragments * fragmentSeconds;
  if (script.LastFragmentSeconds > 0)
    trip.Seconds -= fragmentSeconds - std::max(3.0, Scaled(script.LastFragmentSeconds, scale));
  trip.FixFromSeconds = Scaled(script.FixFromSeconds, scale);
  trip.Folder = QString::fromLatin1(script.Folder);
  trip.LogName = QStringLiteral("GPS/LOG%1.LOG").arg(index + 1, 4, 10, QLatin1Char('0'));
  trip.Seed = 20260515u + uint32_t(index);
  trip.SkyColour = script.SkyColour;
  for (TDrivePhase phase : script.Phases) {
    phase.Seconds *= scale;
    trip.Phases.push_back(phase);
  }
  return trip;
}

// The strongest horizontal jolt (g) between two steps of a trip.
double PeakJolt(const std::vector<TDriveState> &states, size_t from, size_t to)
{
  double peak = 0;
  for (size_t k = from; k < to && k < states.size(); ++k)
    peak = std::max(peak, std::hypot(states[k].AccForward, states[k].AccRight) / kGravity);
  return peak;
}

void AddFragments(TDemoCard &card, int tripIndex, const std::vector<TDriveState> &states, int &number)
{
  const TDemoTrip &trip = card.Trips[size_t(tripIndex)];
  for (int i = 0; i < trip.Fragments; ++i) {
    TDemoFragment f;
    f.Trip = tripIndex;
    f.Number = number++;
    f.Folder = trip.Folder;
    f.Name = QStringLiteral("FILE%1").arg(f.Number, 4, 10, QLatin1Char('0'));
    f.OffsetSeconds = i * card.FragmentSeconds;
    f.Seconds = std::min(card.FragmentSeconds, trip.Seconds - f.OffsetSeconds);
    f.Start = trip.Start + f.OffsetSeconds / SecsPerDay;
    f.FixFromSeconds = std::max(0.0, trip.FixFromSeconds - f.OffsetSeconds);
    f.Damaged = tripIndex + 1 == int(card.Trips.size()) && i + 1 == trip.Fragments && f.Seconds < card.FragmentSeconds;
    const size_t from = size_t(Round(f.OffsetSeconds * kStepsPerSecond));
    f.Locked = PeakJolt(states, from, from + size_t(Round(f.Seconds * kStepsPerSecond))) > kLockThresholdG;
    card.Fragments.push_back(f);
  }
}

int16_t RawG(double g)
{
  return int16_t(Clamp<int64_t>(Round(g * 128.0), INT16_MIN, INT16_MAX));
}

QByteArray Hemisphere(double value, char positive, char negative)
{
  return (value >= 0 ? positive : negative) + CoordToBytes(std::fabs(value));
}

QByteArray Degrees(double course)
{
  return QByteArray::number(qlonglong(Round(course)) % 360);
}

bool WriteWhole(const QString &path, const QByteArray &bytes, QString &error)
{
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size() || !file.flush()) {
    error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    return false;
  }
  return true;
}

double LastLogSeconds(const TDemoTrip &trip)
{
  double last = trip.FixFromSeconds;
  while (last + 2 < trip.Seconds) last += 2;
  return last;
}

bool DamageMovie(const QString &path, QString &error)
{
  // The camera writes the movie's index last; without power it never does,
  // and the last frame is cut part-way.
  int64_t moovPos = 0;
  {
    TMOVReader reader(path, true);
    if (!reader.HasMoov()) {
      error = QStringLiteral("no movie index in %1").arg(path);
      return false;
    }
    moovPos = reader.MoovPos;
  }
  const int64_t cut = moovPos > 4096 ? moovPos - 777 : moovPos / 2;
  if (!QFile::resize(path, cut)) {
    error = QStringLiteral("cannot cut %1").arg(path);
    return false;
  }
  return true;
}

bool Lock(const QString &path, QString &error)
{
  const QFileDevice::Permissions writeBits =
      QFileDevice::WriteOwner | QFileDevice::WriteUser | QFileDevice::WriteGroup | QFileDevice::WriteOther;
  if (!QFile::setPermissions(path, QFile::permissions(path) & ~writeBits)) {
    error = QStringLiteral("cannot lock %1").arg(path);
    return false;
  }
  return true;
}

bool Stamp(const QString &path, TDateTime when, QString &error)
{
  if (SetFileTimes(path, 0, when)) return true;
  error = QStringLiteral("cannot set the times of %1").arg(path);
  return false;
}

} // namespace

TDemoCard DemoCardPlan(const TDemoOptions &options)
{
  TDemoCard card;
  card.Options = options;
  card.FragmentSeconds = options.Quick ? 15 : 60;
  const TTripScript scripts[] = {MorningTrip(), EveningTrip(), ShoppingTrip()};
  TCarState car{kHomeLat, kHomeLon, 0, 0};
  int number = 1;
  for (int i = 0; i < 3; ++i) {
    card.Trips.push_back(MakeTrip(scripts[i], card.FragmentSeconds, options.Quick, i));
    TDemoTrip &trip = card.Trips.back();
    const std::vector<TDriveState> states = SimulateTrip(trip.Phases, trip.Seconds, car);
    trip.Sensors = SenseTrip(states, trip.Seed);
    AddFragments(card, i, states, number);
  }
  return card;
}

QString DemoCardSignature(const TDemoCard &card)
{
  QCryptographicHash digest(QCryptographicHash::Sha1);
  for (const TDemoTrip &trip : card.Trips) digest.addData(GpsLogText(trip));
  for (const TDemoFragment &f : card.Fragments) {
    digest.addData(f.MoviePath(QString()).toUtf8());
    digest.addData(TrackFileText(card, f));
    digest.addData(SideFileBytes(card, f));
    digest.addData(QByteArray::number(int(f.Damaged) * 2 + int(f.Locked)));
  }
  return QStringLiteral("kestril demo card%1, movies %2, data %3\n")
      .arg(card.Options.Quick ? QStringLiteral(" (quick)") : QString())
      .arg(kMovieRecipe)
      .arg(QString::fromLatin1(digest.result().toHex()));
}

const TSensorState &SensorAt(const TDemoTrip &trip, double seconds)
{
  const int64_t k = Clamp<int64_t>(Round(seconds * kStepsPerSecond), 0, int64_t(trip.Sensors.size()) - 1);
  return trip.Sensors[size_t(k)];
}

QByteArray TrackFileText(const TDemoCard &card, const TDemoFragment &fragment)
{
  const TDemoTrip &trip = card.Trips[size_t(fragment.Trip)];
  TTrackInfo info;
  info.Name = fragment.Name;
  for (double s = fragment.FixFromSeconds; s < fragment.Seconds; s += 1) {
    const TSensorState &st = SensorAt(trip, fragment.OffsetSeconds + s);
    TTrackInfoItem item;
    item.Kind = ikGps;
    item.Time = fragment.Start + s / SecsPerDay;
    item.Lat = st.Lat;
    item.Lon = st.Lon;
    item.Alt = st.Alt; // the camera's format has no altitude; its log has
    item.Speed = st.SpeedKmh;
    item.Course = st.Course;
    info.Items.push_back(item);
  }
  QByteArray text;
  GpsDefaultConverter().ExportToText(info, text);
  return text;
}

QByteArray SideFileBytes(const TDemoCard &card, const TDemoFragment &fragment)
{
  // The records run from the fragment's first frame to its last fix: the
  // reader times the last record at the last fix.
  const TDemoTrip &trip = card.Trips[size_t(fragment.Trip)];
  const int64_t first = Round(fragment.OffsetSeconds * kStepsPerSecond);
  const int64_t last = first + Round((fragment.Seconds - 1) * kStepsPerSecond);
  TMemoryStream out(QByteArray(), true);
  for (int64_t k = first; k <= last; ++k) {
    const TSensorState &st = trip.Sensors[size_t(k)];
    out.WriteU32BE(uint32_t(kSensorClockStartMs + k * 100));
    out.WriteU16BE(uint16_t(RawG(st.GZ)));
    out.WriteU16BE(uint16_t(RawG(st.GX)));
    out.WriteU16BE(uint16_t(RawG(st.GY)));
  }
  return out.Data();
}

QByteArray GpsLogText(const TDemoTrip &trip)
{
  // One line every 2 s: about 58 bytes per 2 s, which is what the catalogue
  // assumes when it estimates a log's span from its size.
  QByteArray text;
  for (double t = trip.FixFromSeconds; t < trip.Seconds; t += 2) {
    const TSensorState &st = SensorAt(trip, t);
    text += DatTimeText(trip.Start + t / SecsPerDay, false) + '\t' + Hemisphere(st.Lat, 'N', 'S') + '\t' +
            Hemisphere(st.Lon, 'E', 'W') + '\t' + FloatToStrDotBytes(st.Alt, 1, true) + '\t' +
            QByteArray::number(qlonglong(Round(st.SpeedKmh))) + '\t' + Degrees(st.Course) + "\r\n";
  }
  return text;
}

bool WriteTrackFiles(const TDemoCard &card, const QString &root, QString &error)
{
  const QDir dir(root);
  for (const TDemoTrip &trip : card.Trips) {
    if (!dir.mkpath(trip.Folder) || !dir.mkpath(QFileInfo(trip.LogName).path())) {
      error = QStringLiteral("cannot create the folders of %1").arg(root);
      return false;
    }
    if (!WriteWhole(dir.filePath(trip.LogName), GpsLogText(trip), error)) return false;
  }
  for (const TDemoFragment &f : card.Fragments) {
    const QByteArray track = TrackFileText(card, f);
    if (track.isEmpty()) {
      error = QStringLiteral("no track text for %1").arg(f.Name);
      return false;
    }
    if (!WriteWhole(f.TrackPath(root), track, error)) return false;
    if (!WriteWhole(f.SidePath(root), SideFileBytes(card, f), error)) return false;
  }
  return true;
}

bool FinishCard(const TDemoCard &card, const QString &root, QString &error)
{
  for (const TDemoFragment &f : card.Fragments) {
    if (f.Damaged && !DamageMovie(f.MoviePath(root), error)) return false;
    for (const QString &path : {f.MoviePath(root), f.TrackPath(root), f.SidePath(root)})
      if (!Stamp(path, f.End(), error)) return false;
    if (f.Locked && !Lock(f.MoviePath(root), error)) return false;
  }
  for (const TDemoTrip &trip : card.Trips)
    if (!Stamp(QDir(root).filePath(trip.LogName), trip.Start + LastLogSeconds(trip) / SecsPerDay, error)) return false;
  return true;
}

} // namespace kp::demo
