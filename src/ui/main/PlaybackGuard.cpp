#include "PlaybackGuard.h"

#include "DSUtil.h"
#include "IPlaybackHost.h"
#include "UnitException.h"

#include <QApplication>
#include <QCursor>
#include <exception>

namespace kp {

Q_LOGGING_CATEGORY(lcPlayback, "kp.ui.playback")

TBusyCursor::TBusyCursor(Qt::CursorShape shape)
{
  QApplication::setOverrideCursor(QCursor(shape));
}

TBusyCursor::~TBusyCursor()
{
  QApplication::restoreOverrideCursor();
}

bool GuardStep(IPlaybackHost &host, TGraphFailure graphFailure, const std::function<void()> &step)
{
  try {
    step();
    return true;
  } catch (const EDirectShowException &e) {
    qCWarning(lcPlayback) << "media graph:" << e.Message();
    if (graphFailure == TGraphFailure::Show) host.ShowFailure(e.Message());
  } catch (const std::exception &e) {
    ReportException();
    qCWarning(lcPlayback) << "playback step failed:" << e.what();
    host.ShowFailure(QString::fromUtf8(e.what()));
  } catch (...) {
    ReportException();
    qCWarning(lcPlayback) << "playback step failed with an unknown exception";
  }
  return false;
}

} // namespace kp
