#include "UiTestSupport.h"

#include "UnitReg.h"
#include "UnitTranslate.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QWidget>
#include <gtest/gtest.h>
#include <unistd.h>

namespace kptest {

void ensureApplication()
{
  if (QApplication::instance()) return;
  static int argc = 1;
  static char name[] = "kp_ui_tests";
  static char *argv[] = {name, nullptr};
  // The web engine of the map: no GPU thread (a test may tear it down while
  // it starts), and no sandbox when the tests run as root (CI does).
  if (!qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS")) qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
  if (::geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  // The web views of the map need it before the application exists.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  new QApplication(argc, argv);
}

void useLanguage(int lang)
{
  kp::TLanguageSources sources;
  sources.InstallerLanguage = [](int) { return kp::LangIdEnglish; };
  kp::InitLanguages(sources);
  kp::SetCurLang(lang);
}

ScopedSettings::ScopedSettings()
{
  kp::SetSettingsDir(FDir.path());
}

ScopedSettings::~ScopedSettings()
{
  kp::SetSettingsDir(QString());
}

QString findTool(const char *name)
{
  const QString path = QStandardPaths::findExecutable(QLatin1String(name));
  if (path.isEmpty() && qEnvironmentVariable("CI") == QLatin1String("true")) ADD_FAILURE() << name << " missing";
  return path;
}

QString runTool(const QString &tool, const QStringList &args, int *exitCode)
{
  QProcess p;
  p.start(tool, args);
  p.waitForFinished(240000);
  if (exitCode) *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
}

QString artifactPath(const QString &name)
{
  const QString dir = QStringLiteral(KP_TEST_ARTIFACTS);
  QDir().mkpath(dir);
  return QDir(dir).absoluteFilePath(name);
}

QString saveScreenshot(QWidget *widget, const QString &name)
{
  const QString path = artifactPath(name);
  return widget->grab().save(path) ? path : QString();
}

} // namespace kptest
