#pragma once
// What the cutting tests share: the demo card's movies and a main window
// that records what the dialog and the job ask of it.

#include "CropJob.h"

#include <QStringList>
#include <functional>

namespace kptest {

inline QString CardMovie(int number)
{
  return QStringLiteral(KP_CUTTING_CARD "/DCIM/100MEDIA/FILE%1.MOV").arg(number, 4, 10, QLatin1Char('0'));
}

class TFakeCropHost : public kp::ICropHost {
public:
  void StopPlayback() override { Calls << QStringLiteral("stop"); }
  void HideMain() override
  {
    Calls << QStringLiteral("hide");
    if (WhileHidden) WhileHidden();
  }
  void ShowMain() override { Calls << QStringLiteral("show"); }
  void AddFiles(const QStringList &names) override { Calls << QStringLiteral("add ") + names.join(u','); }
  QStringList ChooseVideoFiles() override { return Chosen; }
  QStringList Calls, Chosen;
  std::function<void()> WhileHidden;
};

} // namespace kptest
