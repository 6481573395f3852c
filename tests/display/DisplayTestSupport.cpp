#include "DisplayTestSupport.h"

#include "DateTime.h"
#include "UnitTranslate.h"

#include <QDir>
#include <QGuiApplication>
#include <gtest/gtest.h>
#include <cstdlib>

namespace kptest {

namespace {

// QFont needs a GUI application; the offscreen platform serves it headless.
class GuiEnvironment : public ::testing::Environment {
public:
  void SetUp() override
  {
    if (!QGuiApplication::instance()) {
      qputenv("QT_QPA_PLATFORM", "offscreen");
      FApp = new QGuiApplication(FArgc, FArgv);
    }
    kp::TFormatSettings fs;
    fs.decimalSeparator = QLatin1Char('.');
    fs.longTimeFormat = QStringLiteral("hh:nn:ss");
    kp::SetFormatSettings(fs);
    useEnglishColours();
  }
  void TearDown() override
  {
    delete FApp;
    FApp = nullptr;
  }

private:
  int FArgc = 1;
  char FName[20] = "kp_display_tests";
  char *FArgv[2] = {FName, nullptr};
  QGuiApplication *FApp = nullptr;
};

::testing::Environment *const g_env = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

} // namespace

void useEnglishColours()
{
  kp::TLanguageSources sources;
  sources.InstallerLanguage = [](int) { return kp::LangIdEnglish; };
  kp::InitLanguages(sources);
  kp::SetCurLang(kp::LangEnglish);
  kp::SetDisplayColourLookup({});
}

int countPixels(const QImage &image, int x1, int y1, int x2, int y2, const std::function<bool(QRgb)> &pred)
{
  int n = 0;
  for (int y = std::max(0, y1); y < std::min(y2, image.height()); ++y)
    for (int x = std::max(0, x1); x < std::min(x2, image.width()); ++x)
      if (pred(image.pixel(x, y))) ++n;
  return n;
}

bool sameColour(QRgb a, const QColor &b)
{
  return (a & 0xFFFFFF) == (b.rgb() & 0xFFFFFF);
}

int countColour(const QImage &image, const QColor &colour)
{
  return countPixels(image, 0, 0, image.width(), image.height(), [&](QRgb p) { return sameColour(p, colour); });
}

QString compareGolden(const QImage &image, const QString &name, int maxDifferent)
{
  const QString path = QStringLiteral(KP_DISPLAY_GOLDEN_DIR) + QLatin1Char('/') + name + QStringLiteral(".png");
  if (qEnvironmentVariableIntValue("KP_REGENERATE_GOLDEN") == 1) {
    QDir().mkpath(QStringLiteral(KP_DISPLAY_GOLDEN_DIR));
    return image.save(path) ? QString() : QStringLiteral("cannot write ") + path;
  }
  QImage golden(path);
  if (golden.isNull()) return QStringLiteral("golden picture missing: ") + path;
  golden = golden.convertToFormat(QImage::Format_RGB32);
  if (golden.size() != image.size()) return QStringLiteral("golden picture has another size: ") + path;
  int different = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb a = image.pixel(x, y), b = golden.pixel(x, y);
      if (std::abs(qRed(a) - qRed(b)) > 48 || std::abs(qGreen(a) - qGreen(b)) > 48 ||
          std::abs(qBlue(a) - qBlue(b)) > 48)
        ++different;
    }
  if (different > maxDifferent)
    return QStringLiteral("%1 pixels differ from %2 (at most %3 allowed)").arg(different).arg(path).arg(maxDifferent);
  return QString();
}

} // namespace kptest
