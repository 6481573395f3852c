#pragma once
// A main window for the auxiliary windows' tests: fixed geometry, a real
// catalogue when given, and a record of what the windows asked for.

#include "IDialogHost.h"
#include "UnitFileManager.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTextEdit>
#include <QStringList>
#include <QTimer>
#include <map>

namespace kptest {

class FakeDialogHost : public kp::IDialogHost {
public:
  QRect Geometry{100, 80, 900, 700};
  QSize ClientSize{900, 680};
  std::map<QString, bool> Checks;
  int WebSiteCalls = 0;
  // The folder the chooser answers with; empty cancels.
  QString ChosenFolder;
  QStringList ChooserCaptions;
  kp::TFileManager *Manager = nullptr;
  std::vector<int> Selected;
  // SetMapBounds calls: the point count of each track and the flags.
  std::vector<std::vector<size_t>> MapTracks;
  std::vector<std::vector<bool>> MapFlags;
  kp::TDetailsTelemetry Telemetry;
  QString Caption = QStringLiteral("FILE0001.MOV");
  QRect Panel{0, 600, 800, 200};
  int GraphDraws = 0;

  QRect MainGeometry() const override { return Geometry; }
  QSize MainClientSize() const override { return ClientSize; }
  bool MenuChecked(const QString &name) const override
  {
    const auto it = Checks.find(name);
    return it != Checks.end() && it->second;
  }
  void OpenWebSite() override { ++WebSiteCalls; }
  bool SelectFolder(QString &path, const QString &caption) override
  {
    ChooserCaptions << caption;
    if (ChosenFolder.isEmpty()) return false;
    path = ChosenFolder;
    return true;
  }
  kp::TFileManager *Catalogue() override { return Manager; }
  std::vector<kp::TDialogListColumn> ListColumns() const override
  {
    return {{0, QStringLiteral("Name"), 120, Qt::AlignLeft},
            {2, QStringLiteral("Date and Time"), 140, Qt::AlignLeft},
            {1, QStringLiteral("Duration"), 60, Qt::AlignRight}};
  }
  QList<QIcon> ListImages() const override { return {}; }
  std::vector<int> SelectedRows() const override { return Selected; }
  void SetMapBounds(const std::vector<const kp::TMovingInfo *> &tracks, const std::vector<bool> &highlight) override
  {
    std::vector<size_t> sizes;
    for (const kp::TMovingInfo *t : tracks) sizes.push_back(t ? t->Points.size() : 0);
    MapTracks.push_back(sizes);
    MapFlags.push_back(highlight);
  }
  kp::TDetailsTelemetry GetTelemetryAt(long double) const override { return Telemetry; }
  kp::TDateTime PositionToDateTime(long double) const override { return 45000.5; }
  int64_t PositionToMs(long double p) const override { return int64_t(p * 60000); }
  QString FileCaptionAt(long double) const override { return Caption; }
  void DrawGraphWindow(kp::TMyGraphic &, long double, long double, int) override { ++GraphDraws; }
  QRect GraphPanelScreenRect() const override { return Panel; }
};

// Answers every message box shown while it lives, keeping the texts, icons
// and the buttons offered: with the next of Answers (clicked), else Press.
class MessageBoxAnswerer {
public:
  explicit MessageBoxAnswerer(QMessageBox::StandardButton press = QMessageBox::Ok)
  {
    QObject::connect(&FTimer, &QTimer::timeout, [this, press] {
      if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
        Texts << box->text();
        Icons << box->icon();
        Offered << box->standardButtons();
        Details << box->detailedText();
        Heights << box->frameGeometry().height();
        const auto *details = box->findChild<QTextEdit *>();
        DetailsOpen << (details && details->isVisible());
        QAbstractButton *button = Answers.isEmpty() ? nullptr : box->button(Answers.takeFirst());
        if (button)
          button->click();
        else
          box->done(press);
      }
    });
    FTimer.start(20);
  }
  QStringList Texts;
  QList<QMessageBox::StandardButton> Answers;
  QList<QMessageBox::Icon> Icons;
  QList<QMessageBox::StandardButtons> Offered;
  QStringList Details;
  QList<int> Heights;
  QList<bool> DetailsOpen;

private:
  QTimer FTimer;
};

} // namespace kptest
