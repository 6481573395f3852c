#include "UnitProgram.h"

#include "DateTime.h"
#include "ThemePalette.h"
#include "UnitException.h"
#include "CommandBoundary.h"
#include "MainHost.h"
#include "RenderPath.h"
#include "UnitFormAbout.h"
#include "UnitFormAutoUpdate.h"
#include "UnitFormCropping.h"
#include "UnitFormCroppingItem.h"
#include "UnitFormDetails.h"
#include "UnitFormGPSLog.h"
#include "UnitFormGroup.h"
#include "UnitFormMain.h"
#include "UnitFormSelectFolder.h"
#include "UnitFormSetupDevice.h"
#include "UnitFormWhatsNew.h"
#include "StartupSupport.h"
#include "UnitReg.h"
#include "UnitTranslate.h"

#include <QApplication>
#include <QHelpEvent>
#include <QMessageBox>
#include <QToolTip>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace kp {

TOtherWindows::TOtherWindows() = default;
TOtherWindows::~TOtherWindows() = default;

void TFormMain::CreateOtherWindows()
{
  TOtherWindows &w = Windows;
  w.About = std::make_unique<TFormAbout>(&DialogHost());
  w.AutoUpdate = std::make_unique<TFormAutoUpdate>(Host());
  w.Details = std::make_unique<TFormDetails>(&DialogHost());
  w.GPSLog = std::make_unique<TFormGPSLog>(Host(), this);
  w.Group = std::make_unique<TFormGroup>(&DialogHost());
  w.SelectFolder = std::make_unique<TFormSelectFolder>();
  w.CroppingItem = std::make_unique<TFormCroppingItem>();
  // Transient for the main window, as the GPS-log window: a click on the
  // main window or its open dialog ("+") leaves the cutting window above.
  w.Cropping = std::make_unique<TFormCropping>(Host(), *w.CroppingItem, this);
  w.SetupDevice = std::make_unique<TFormSetupDevice>();
  w.WhatsNew = std::make_unique<TFormWhatsNew>();
}

namespace {

// The first change the settings cannot store is told, once, without holding
// up whoever made it (a worker thread, a window being closed).
void TellWhenSettingsCannotBeSaved()
{
  SetSaveFailureNotice([](const QString &file, const QString &reason) {
    QMetaObject::invokeMethod(
        qApp,
        [file, reason] {
          auto *box = new QMessageBox(QMessageBox::Warning, QApplication::applicationName(),
                                      Translate(u"Mes_CantSaveSettings") + QStringLiteral("\n") + file +
                                          QStringLiteral("\n") + reason,
                                      QMessageBox::Ok, QApplication::activeWindow());
          box->setObjectName(QStringLiteral("SettingsNotSaved"));
          box->setAttribute(Qt::WA_DeleteOnClose);
          box->open();
        },
        Qt::QueuedConnection);
  });
}

} // namespace

std::unique_ptr<TFormMain> CreateWindows(const QStringList &args)
{
  TellWhenSettingsCannotBeSaved();
  // Before the first web view: the scene graph cannot change afterwards.
  ApplyRenderPath();
  InstallPaletteThemeColors();
  InitLanguages();
  auto main = std::make_unique<TFormMain>();
  main->CreateOtherWindows();
  main->Arguments = args;
  main->SetAllWindowsCreated();
  main->ApplyLanguage(nullptr);
  return main;
}

namespace {

// The last net: a failure that reaches the event loop is shown like any
// command's and the program goes on.
class TProgramApplication : public QApplication {
public:
  using QApplication::QApplication;
  bool notify(QObject *receiver, QEvent *event) override
  {
    // Hints hide after five seconds, however long their text.
    if (event->type() == QEvent::ToolTip && receiver->isWidgetType()) {
      auto *widget = static_cast<QWidget *>(receiver);
      if (!widget->toolTip().isEmpty()) {
        QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), widget->toolTip(), widget, {}, 5000);
        return true;
      }
    }
    try {
      return QApplication::notify(receiver, event);
    } catch (...) {
      HandleCommandException(std::current_exception());
      return false;
    }
  }
};

void Print(std::FILE *to, const QString &text)
{
  std::fputs(text.toLocal8Bit().constData(), to);
  std::fflush(to);
}

int RefuseOption(const QString &option)
{
  Print(stderr, QStringLiteral("kestril-player: unknown option \"%1\"\n\n").arg(option) + CommandLineUsage());
  return 2;
}

} // namespace

int ProgramMain(int argc, char **argv)
{
  QStringList raw;
  for (int i = 1; i < argc; ++i) raw << QString::fromLocal8Bit(argv[i]);
  // Asked from a terminal, perhaps one without a display: answered before
  // anything connects to the display or touches the user's files.
  const TStartArgs asked = ParseStartArgs(raw);
  if (asked.Help || asked.Version) {
    Print(stdout, asked.Help ? CommandLineUsage() : VersionText());
    return 0;
  }
  // An option neither the program nor Qt knows is refused here too, so a
  // mistyped option is told even where no display can be reached.
  for (const QString &arg : raw) {
    if (arg == QLatin1String("--")) break;
    if (arg.startsWith(QLatin1Char('-')) && !IsQtOption(arg) && ParseStartArgs({arg}).BadOption == arg)
      return RefuseOption(arg);
  }
  // Qt takes its own options (-platform, -style, ...) off the command line;
  // a name after "--" is never one of them, whatever it looks like.
  const qsizetype end = raw.indexOf(QStringLiteral("--"));
  int qtArgc = end < 0 ? argc : int(end) + 1;
  std::vector<char *> qtArgv(argv, argv + qtArgc);
  qtArgv.push_back(nullptr);
  // The web engine refuses to start its sandbox as root; the map would take
  // the whole program down with it.
  if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  // The map's web view shares the application's GL contexts.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  TProgramApplication app(qtArgc, qtArgv.data());
  const QStringList args = QCoreApplication::arguments().mid(1) + (end < 0 ? QStringList() : raw.mid(end));
  const TStartArgs parsed = ParseStartArgs(args);
  if (!parsed.BadOption.isEmpty()) return RefuseOption(parsed.BadOption);
  QApplication::setApplicationName(QStringLiteral("KESTRIL PLAYER"));
  InstallExceptionHook();
  // The platform state the rest of the program reads, taken once at start.
  SetLocalTimeOffset(SystemLocalTimeOffset());
  SetFormatSettings(SystemFormatSettings());
  int result = 0;
  {
    std::unique_ptr<TFormMain> main = CreateWindows(args);
    main->show();
    result = QApplication::exec();
  }
  RemoveExceptionHook();
  return result;
}

} // namespace kp
