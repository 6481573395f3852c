#pragma once
// What the cutting tests share: the demo card's movies and a main window
// that records what the dialog and the job ask of it and pairs tracks with
// a real catalogue.

#include "CropJob.h"
#include "UnitFileManager.h"

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
  // The pairing of the program's own list.
  kp::TCropTrack FindTrack(const QString &video) override
  {
    const kp::TFileItemSubitem file = Catalogue.PreviewFile(video);
    return {file.TrackFileName, file.StartTime};
  }
  QStringList Calls, Chosen;
  kp::TFileManager Catalogue{false, [](int32_t) {}};
  std::function<void()> WhileHidden;
};

} // namespace kptest
