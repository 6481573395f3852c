#include "UnitFormCopy.h"

#include "IDialogHost.h"
#include "MessageBoxes.h"
#include "UnitRegSettings.h"
#include "UnitTranslate.h"
#include "UnitUtilsDesktop.h"
#include "UnitUtilsFiles.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace kp {

namespace {

constexpr int kRowGap = 4;
constexpr int kMargin = 8;

} // namespace

TFormCopy::TFormCopy(IDialogHost *host, TCopyDelays delays) : QWidget(nullptr), FHost(host), FDelays(delays)
{
  setAttribute(Qt::WA_DeleteOnClose);
  // A copy still running at exit stops after its block and removes its
  // temporary file before the program goes.
  connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
    if (FThread) {
      FThread->Terminate();
      FThread->WaitFor();
    }
  });
  FormCreate();
}

TFormCopy::~TFormCopy()
{
  if (FThread) FThread->Terminate();
  FThread.reset(); // joins; the engine never waits for this thread
}

void TFormCopy::FormCreate()
{
  setWindowIcon(LoadResourceIcon(QStringLiteral("icon_copy.ico")));
  setWindowTitle(Translate(u"Copying_Title"));
  auto caption = [this](const char16_t *key) {
    return new QLabel(Translate(QStringView(key)) + QLatin1Char(':'), this);
  };
  FFileCaption = caption(u"File");
  FSizeCaption = caption(u"Size");
  FTimeCaption = caption(u"Time");
  FSpeedCaption = caption(u"Speed");
  FRemainsCaption = caption(u"Remains");
  for (QLabel **l : {&FFile, &FSize, &FTime, &FSpeed, &FRemains}) *l = new QLabel(this);
  FButtonOpenFolder = new QPushButton(Translate(u"OpenFolder"), this);
  FButtonPause = new QPushButton(Translate(u"Pause"), this);
  FButtonPause->setCheckable(true);
  FProgress = new QProgressBar(this);
  FProgress->setRange(0, 100);
  FProgress->setTextVisible(false);
  connect(FButtonPause, &QPushButton::clicked, this, &TFormCopy::ButtonPauseClick);
  connect(FButtonOpenFolder, &QPushButton::clicked, this, &TFormCopy::ButtonOpenFolderClick);
  FTimer = new QTimer(this);
  FTimer->setInterval(100);
  connect(FTimer, &QTimer::timeout, this, &TFormCopy::TimerTimer);
  const int row = fontMetrics().height() + kRowGap;
  const int buttons = FButtonPause->sizeHint().height();
  setFixedHeight(kMargin + 3 * row + kRowGap + buttons + kRowGap + 16 + kMargin);
  resize(480, height());
}

void TFormCopy::resizeEvent(QResizeEvent *)
{
  const int row = fontMetrics().height() + kRowGap;
  int captionWidth = 0;
  for (QLabel *c : {FFileCaption, FSizeCaption, FTimeCaption})
    captionWidth = std::max(captionWidth, c->sizeHint().width());
  const int valueX = kMargin + captionWidth + 3;
  const int speedX = width() - 100; // the speed column
  auto place = [row](QLabel *caption, QLabel *value, int x, int y, int w) {
    caption->setGeometry(x - 3 - caption->sizeHint().width(), y, caption->sizeHint().width(), row);
    value->setGeometry(x, y, std::max(w, 0), row);
  };
  place(FFileCaption, FFile, valueX, kMargin, width() - valueX - kMargin);
  place(FSizeCaption, FSize, valueX, kMargin + row, speedX - valueX - FSpeedCaption->sizeHint().width() - 8);
  place(FTimeCaption, FTime, valueX, kMargin + 2 * row, speedX - valueX - FRemainsCaption->sizeHint().width() - 8);
  place(FSpeedCaption, FSpeed, speedX, kMargin + row, 100 - kMargin);
  place(FRemainsCaption, FRemains, speedX, kMargin + 2 * row, 100 - kMargin);
  const int by = kMargin + 3 * row + kRowGap;
  const QSize b1 = FButtonOpenFolder->sizeHint(), b2 = FButtonPause->sizeHint();
  FButtonOpenFolder->setGeometry(kMargin, by, b1.width(), b1.height());
  FButtonPause->setGeometry(kMargin + b1.width() + 6, by, b2.width(), b2.height());
  FProgress->setGeometry(0, height() - 16, width(), 16);
}

void TFormCopy::StartCopy(const TFileItem &item)
{
  QString folder = settings::CopyFolder.Read();
  if (folder.isEmpty()) folder = GetSpecialFolder(sfVideos);
  const QString caption = Translate(u"SelectFolderFor") + QLatin1Char(' ') + item.Summary.Name;
  if (!FHost || !FHost->SelectFolder(folder, caption) || folder.isEmpty()) {
    // Never shown, so closing would not free it.
    deleteLater();
    return;
  }
  settings::CopyFolder.Write(folder);
  FWords = TCopyWords::Current();
  FThread = std::make_unique<TFormCopyThread>(item, folder, FDelays);
  FThread->Start();
  FClock.Start(Now());
  TimerTimer();
  setWindowTitle(windowTitle() + QLatin1Char(' ') + item.Summary.Name);
  show();
  FTimer->start();
}

QString TFormCopy::FileText() const
{
  return FFile->text();
}

void TFormCopy::TimerTimer()
{
  if (!FThread) return;
  const TCopySnapshot s = FThread->Snapshot();
  if (FClosing) {
    // Hidden: the engine cleans up after its block; then the window goes.
    if (s.Finished) {
      FTimer->stop();
      deleteLater();
    }
    return;
  }
  if (s.ReplacePending) {
    AskReplace(s.TargetName);
    return;
  }
  if (!s.Error.isEmpty()) {
    ShowFailure(s.Error);
    return;
  }
  const TCopyLabels l = FormatCopyLabels(s, FWords);
  if (l.Done && s.Finished) {
    ShowDone(l);
  } else if (!l.Done) {
    FFile->setText(l.File);
    FSize->setText(l.Size);
    if (FProgress->value() != l.Percent) FProgress->setValue(l.Percent);
    FSpeed->setText(l.Speed);
    FRemains->setText(l.Remaining);
  }
  if (!FButtonPause->isChecked()) FTime->setText(FClock.ElapsedText(Now()));
}

void TFormCopy::ShowDone(const TCopyLabels &l)
{
  FTimer->stop();
  FDone = true;
  FFile->setText(l.File);
  FSize->setText(l.Size);
  FProgress->setValue(FProgress->maximum());
  HideProgressFigures();
  QApplication::beep();
}

void TFormCopy::AskReplace(const QString &target)
{
  if (FReplaceAll) {
    if (FThread) FThread->AnswerReplace(*FReplaceAll);
    return;
  }
  FTimer->stop();
  const QString text = Translate(u"Mes_FileExists") + QStringLiteral("\n") + target + QStringLiteral("\n\n") +
                       Translate(u"Mes_SureToReplace") + QStringLiteral(" ?");
  const auto answer = ShowMessageBox(this, windowTitle(), {TMessageKind::Question, text, {}},
                                     QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No | QMessageBox::NoToAll,
                                     QMessageBox::No);
  const bool replace = answer == QMessageBox::Yes || answer == QMessageBox::YesToAll;
  if (answer == QMessageBox::YesToAll || answer == QMessageBox::NoToAll) FReplaceAll = replace;
  if (FThread) FThread->AnswerReplace(replace);
  FTimer->start();
}

void TFormCopy::ShowFailure(const QString &error)
{
  // The engine has already removed its temporary file; the window stops
  // looking busy and says what went wrong.
  FTimer->stop();
  if (FFailed) return;
  FFailed = true;
  FFile->setText(Translate(u"Mes_CopyFailed") + QStringLiteral(":  ") + error.section(QLatin1Char('\n'), 0, 0));
  HideProgressFigures();
  QMessageBox::critical(this, windowTitle(), Translate(u"Mes_CopyFailed") + QStringLiteral("\n\n") + error);
}

void TFormCopy::HideProgressFigures()
{
  for (QWidget *w :
       {static_cast<QWidget *>(FSpeedCaption), static_cast<QWidget *>(FSpeed), static_cast<QWidget *>(FRemainsCaption),
        static_cast<QWidget *>(FRemains), static_cast<QWidget *>(FButtonPause)})
    w->hide();
}

void TFormCopy::ButtonPauseClick()
{
  const bool down = FButtonPause->isChecked();
  if (FThread) FThread->SetPaused(down);
  if (down)
    FClock.Pause(Now());
  else
    FClock.Resume(Now());
}

void TFormCopy::ButtonOpenFolderClick()
{
  const bool pausedHere = !FButtonPause->isChecked() && FButtonPause->isVisible();
  if (pausedHere) FButtonPause->click();
  ShowInExplorer(FThread ? FThread->Snapshot().TargetName : QString(), QDBusConnection::sessionBus(),
                 CantOpenReport(this));
  if (pausedHere)
    QTimer::singleShot(3000, this, [this] {
      if (FButtonPause->isChecked()) FButtonPause->click();
    });
}

void TFormCopy::closeEvent(QCloseEvent *event)
{
  if (FThread && !FThread->Snapshot().Finished) {
    // Never wait here: the engine stops after its block and cleans up.
    FClosing = true;
    FThread->Terminate();
    hide();
    FTimer->start();
    event->ignore();
    return;
  }
  FTimer->stop();
  event->accept();
}

} // namespace kp
