#pragma once
// What the cutting tests share: the demo card's movies and a main window
// that records what the dialog and the job ask of it and pairs tracks with
// a real catalogue.

#include "CropJob.h"
#include "CropTrack.h"
#include "DemoCard.h"
#include "UnitFileManager.h"

#include <QStringList>
#include <functional>

namespace kptest {

inline QString CardMovie(int number)
{
  return QStringLiteral(KP_CUTTING_CARD "/DCIM/100MEDIA/FILE%1.MOV").arg(number, 4, 10, QLatin1Char('0'));
}

// A card like a user's whose trip crosses midnight: the demo card's
// evening trip cut to its first three one-minute fragments and moved so
// that the second starts 20 s before midnight. Written into Root with
// Ffmpeg; the movies' paths in order, none when it could not be written.
inline QStringList MakeMidnightCard(const QString &root, const QString &ffmpeg, QString &error)
{
  using namespace kp::demo;
  TDemoCard card = DemoCardPlan({});
  TDemoTrip trip = card.Trips.at(1);
  const kp::TDateTime shift = kp::EncodeDateTimeOr0(2026, 5, 15, 23, 59, 40) - 60 / kp::SecsPerDay - trip.Start;
  trip.Start += shift;
  trip.Fragments = 3;
  trip.Seconds = 3 * card.FragmentSeconds;
  std::vector<TDemoFragment> fragments;
  for (TDemoFragment f : card.Fragments)
    if (f.Trip == 1 && fragments.size() < 3) {
      f.Trip = 0;
      f.Start += shift;
      f.Locked = false;
      fragments.push_back(f);
    }
  card.Trips = {trip};
  card.Fragments = fragments;
  if (!WriteTrackFiles(card, root, error) || !WriteMovies(card, root, ffmpeg, 2, error) ||
      !FinishCard(card, root, error))
    return {};
  QStringList movies;
  for (const TDemoFragment &f : card.Fragments) movies << f.MoviePath(root);
  return movies;
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
  void AddCut(const QString &movie) override { Calls << QStringLiteral("add ") + movie; }
  QStringList ChooseVideoFiles() override { return Chosen; }
  // The track the program's own list gives.
  kp::TCropTrack FindTrack(const QString &video) override { return kp::CropTrackOf(&Catalogue, video); }
  QStringList Calls, Chosen;
  kp::TFileManager Catalogue{false, [](int32_t) {}};
  std::function<void()> WhileHidden;
};

} // namespace kptest
