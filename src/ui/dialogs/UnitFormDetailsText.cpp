#include "UnitFormDetailsText.h"

#include "Numbers.h"
#include "UnitTranslate.h"
#include "UnitUtils.h"

#include <cmath>

namespace kp {

namespace {

QString Signed3(double v)
{
  return (v >= 0 ? QStringLiteral(" ") : QStringLiteral("-")) + FloatToStrDot(std::fabs(v), 3, true);
}

} // namespace

TDetailsWords TDetailsWords::Current()
{
  return {Translate(u"Meters"), Translate(u"Miles"), Translate(u"Feets"), Translate(u"KmetersPerH"),
          Translate(u"MilesPerH")};
}

QString GroupedMetres(double metres)
{
  QString s = QString::number(Round(metres));
  if (s.size() > 3) s.insert(s.size() - 3, QLatin1Char(' '));
  return s;
}

TDetailsTexts FormatDetailsTexts(const TMovingPoint &p, const TGSensorSample &g, bool valid, const TDetailsWords &words,
                                 bool british)
{
  TDetailsTexts t;
  if (p.Time > 0) {
    const QString prefix = valid ? QString() : QStringLiteral("(?) ");
    t.GPSIndex = QLatin1Char('[') + QString::number(p.Index) + QLatin1Char(']');
    t.GPSX = prefix + (p.Lon >= 0 ? QLatin1Char('E') : QLatin1Char('W')) + CoordToStr(std::fabs(p.Lon));
    t.GPSY = prefix + (p.Lat >= 0 ? QLatin1Char('N') : QLatin1Char('S')) + CoordToStr(std::fabs(p.Lat));
    t.GPSAltitude = prefix;
    if (p.Alt != 0)
      t.GPSAltitude += british ? QString::number(Round(p.Alt / 0.3048)) + QLatin1Char(' ') + words.Feet
                               : QString::number(Round(p.Alt)) + QLatin1Char(' ') + words.Meters;
    const double speed = british ? p.Speed / 1.609344 : p.Speed;
    t.GPSSpeed = prefix + FloatToStrDot(speed, 1) + QLatin1Char(' ') + (british ? words.Mph : words.Kmh);
    t.GPSAzimut = prefix + QString::number(Round(p.Course)) + QChar(0x00B0);
    t.GPSTrack = prefix + (british ? FloatToStrDot(p.Trip / 1000.0 / 1.609344, 3, true) + QLatin1Char(' ') + words.Miles
                                   : GroupedMetres(p.Trip) + QLatin1Char(' ') + words.Meters);
  }
  if (g.Time > 0) {
    t.GSensorIndex = QLatin1Char('[') + QString::number(g.Index) + QLatin1Char(']');
    t.GSensorX = Signed3(g.X);
    t.GSensorY = Signed3(g.Y);
    t.GSensorZ = Signed3(g.Z);
    t.GSensorG = Signed3(g.A);
  }
  return t;
}

QString ShortenMiddle(const QString &text, const std::function<bool(const QString &)> &fits)
{
  QString s = text;
  while (!fits(s) && s.size() > 3) {
    const qsizetype half = s.size() / 2;
    const QString next = s.left(std::max<qsizetype>(half - 2, 0)) + QStringLiteral("...") + s.mid(half + 3);
    if (next.size() >= s.size()) return QStringLiteral("...");
    s = next;
  }
  return s;
}

} // namespace kp
