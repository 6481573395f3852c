#include "SelfReplace.h"

#include "UnitUtils.h"
#include "UpdateProtocol.h"
#include "UnitUtilsFiles.h"

#include <QFile>
#include <QRegularExpression>

namespace kp {

namespace {

// Splits a file name into its stem and extension (".AppImage"); an
// extension starts with a letter, so "player_v1.2" has none.
void SplitName(const QString &name, QString &stem, QString &ext)
{
  static const QRegularExpression extension(QStringLiteral("^(.+?)(\\.[A-Za-z][^.]*)?$"));
  const QRegularExpressionMatch m = extension.match(name);
  stem = m.hasMatch() ? m.captured(1) : name;
  ext = m.hasMatch() ? m.captured(2) : QString();
  static const QRegularExpression version(QStringLiteral("_v[0-9.]+$"));
  stem.remove(version);
}

QString BuildName(const QString &running, const QString &version, bool avoidRunning)
{
  const QString dir = ExtractFilePath(running);
  QString stem, ext;
  SplitName(ExtractFileName(running), stem, ext);
  if (!version.isEmpty()) stem += QLatin1String("_v") + SanitizeFileName(version);
  QString result = dir + stem + ext;
  while (avoidRunning && result == running) {
    stem += QLatin1Char('_');
    result = dir + stem + ext;
  }
  return result;
}

} // namespace

QString VersionedExeName(const QString &running, const QString &version)
{
  return BuildName(running, version, true);
}

TRenamePlan MakeRenamePlan(const QString &running, const QString &versionText,
                           const std::function<bool(const QString &)> &exists)
{
  TRenamePlan plan;
  plan.Running = running;
  plan.NewFile = VersionedExeName(running, versionText);
  // A running file without a version already has the current name: it
  // moves aside first, so the new one can take it.
  plan.Current = BuildName(running, QString(), false);
  plan.Old = BuildName(running, QString(ProgramVersion), false);
  while (plan.Old == plan.NewFile || plan.Old == plan.Current || exists(plan.Old)) plan.Old += QLatin1Char('_');
  return plan;
}

bool ExecuteRenamePlan(const TRenamePlan &plan, const TLauncher &launch, QString &error)
{
  if (!QFile::rename(plan.Running, plan.Old)) {
    error = QStringLiteral("cannot rename %1 to %2").arg(plan.Running, plan.Old);
    QFile::remove(plan.NewFile);
    return false;
  }
  if (plan.NewFile != plan.Current && !QFile::rename(plan.NewFile, plan.Current)) {
    error = QStringLiteral("cannot rename %1 to %2").arg(plan.NewFile, plan.Current);
    QFile::rename(plan.Old, plan.Running);
    QFile::remove(plan.NewFile);
    return false;
  }
  if (!launch(plan.Current, {QStringLiteral("/whatsnew"), QStringLiteral("/del") + plan.Old})) {
    error = QStringLiteral("cannot start %1").arg(plan.Current);
    QFile::remove(plan.Current);
    QFile::rename(plan.Old, plan.Running);
    return false;
  }
  return true;
}

} // namespace kp
