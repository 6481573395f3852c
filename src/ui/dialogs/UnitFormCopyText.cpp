#include "UnitFormCopyText.h"

#include "Numbers.h"
#include "UnitTranslate.h"
#include "UnitUtils.h"

namespace kp {

namespace {

int64_t WholeMb(int64_t bytes)
{
  return Div(Div(bytes, 1024), 1024);
}

} // namespace

TCopyWords TCopyWords::Current()
{
  return {Translate(u"Mb"), Translate(u"Mbytepsec"), Translate(u"Mes_CopyAlreadyThere")};
}

TCopyLabels FormatCopyLabels(const TCopySnapshot &s, const TCopyWords &words)
{
  TCopyLabels l;
  const QString mb = QLatin1Char(' ') + words.Mb;
  if (s.CurrentIndex + 1 > s.FileCount) {
    l.Done = true;
    l.File = s.FileCount > 0 && s.AlreadyThere == s.FileCount ? words.AlreadyThere : s.TargetName;
    l.Size = QString::number(WholeMb(s.CopiedBytes)) + mb;
    l.Percent = 100;
    return l;
  }
  l.File = QString::number(s.CurrentIndex + 1) + QStringLiteral(" / ") + QString::number(s.FileCount) +
           QStringLiteral("  -  ") + s.SourceName;
  const double total = double(std::max<int64_t>(s.TotalBytes, 1));
  l.Percent = int(Clamp<int64_t>(Round(double(s.CopiedBytes) * 100.0 / total), 0, 100));
  l.Size = QString::number(l.Percent) + QStringLiteral("%  -  ") + QString::number(WholeMb(s.CopiedBytes)) + mb +
           QStringLiteral(" / ") + QString::number(WholeMb(s.TotalBytes)) + mb;
  if (s.Speed >= 1) {
    l.Speed = FloatToStrDot(double(s.Speed) / 1024.0 / 1024.0, 1, true) + QLatin1Char(' ') + words.Mbytepsec;
    const int64_t remaining = std::max<int64_t>(s.TotalBytes - s.CopiedBytes, 0);
    l.Remaining = TimeToStr(double(remaining) / double(s.Speed) / SecsPerDay);
  }
  return l;
}

} // namespace kp
