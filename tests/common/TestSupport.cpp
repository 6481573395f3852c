#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace kptest {

QString samplesDir()
{
  const QByteArray env = qgetenv("KP_SAMPLES_DIR");
  const QString dir = env.isEmpty() ? QString::fromUtf8(KP_SAMPLES_DIR) : QString::fromLocal8Bit(env);
  return QDir(dir).exists() ? dir : QString();
}

bool underCI()
{
  return qgetenv("CI") == "true";
}

QString samplePath(const QString &relative)
{
  const QString dir = samplesDir();
  return dir.isEmpty() ? QString() : dir + QLatin1Char('/') + relative;
}

QByteArray readFileBytes(const QString &path)
{
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

bool writeFileBytes(const QString &path, const QByteArray &bytes)
{
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return f.write(bytes) == bytes.size();
}

QString findTool(const QString &name)
{
  return QStandardPaths::findExecutable(name);
}

} // namespace kptest
