#include "TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

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

bool waitUntil(const std::function<bool()> &pred, int timeoutMs)
{
  QElapsedTimer timer;
  timer.start();
  while (!pred()) {
    if (timer.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(2);
  }
  return true;
}

void spin(int ms)
{
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(2);
  }
}

} // namespace kptest
