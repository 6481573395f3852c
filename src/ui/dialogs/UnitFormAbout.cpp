#include "UnitFormAbout.h"

#include "Canvas.h"
#include "IDialogHost.h"
#include "MakerContacts.h"
#include "MessageBoxes.h"
#include "UnitTranslate.h"
#include "UnitUtilsDesktop.h"

#include <QEvent>
#include <QLabel>
#include <QPixmap>
#include <utility>

namespace kp {

TFormAbout::TFormAbout(IDialogHost *host, QWidget *parent) : QDialog(parent), FHost(host)
{
  setWindowFlag(Qt::WindowStaysOnTopHint);
  setWindowIcon(LoadResourceIcon(QStringLiteral("icon_about.ico")));
  QPalette pal = palette();
  pal.setColor(QPalette::Window, ToQColor(TranslateColor(u"colorAboutBG")));
  setPalette(pal);
  setAutoFillBackground(true);
  FImageLogo = new QLabel(this);
  FImageLogo->setPixmap(QPixmap::fromImage(LoadResourceBitmap(QStringLiteral("Form_About_Logo.bmp"))));
  FLabelTitle = new QLabel(this);
  FLabelTitle->setFont(MakeFont(QStringLiteral("Arial"), 16));
  FLabelVer = new QLabel(this);
  FLabelName = new QLabel(this);
  FLabelMail = new QLabel(this);
  FLabelCity = new QLabel(this);
  FLabelSite = new QLabel(this);
  for (QLabel *l : {FLabelMail, FLabelSite}) {
    l->setCursor(Qt::PointingHandCursor);
    l->installEventFilter(this);
  }
  const int logoHeight = FImageLogo->sizeHint().height();
  const int row = fontMetrics().height() + 6;
  int y = 10;
  FImageLogo->move(0, y);
  y += logoHeight + 5;
  FLabelTitle->move(0, y);
  y += FLabelTitle->sizeHint().height() + 2;
  FLabelVer->move(0, y);
  y += row + 8;
  // The contact lines the build gives, the address first, without gaps.
  const TMakerContacts &contacts = MakerContacts();
  const std::pair<QLabel *, QString> lines[] = {{FLabelCity, contacts.Address},
                                                {FLabelName, contacts.Phone},
                                                {FLabelMail, contacts.Mail},
                                                {FLabelSite, contacts.Site}};
  for (const auto &[label, text] : lines) {
    label->setText(text);
    label->setVisible(!text.isEmpty());
    if (text.isEmpty()) continue;
    label->move(0, y);
    y += row;
  }
  setFixedSize(std::max(360, FImageLogo->sizeHint().width() + 20), y + 10);
  ApplyLanguage();
}

void TFormAbout::ApplyLanguage()
{
  setWindowTitle(Translate(u"N_Help_About"));
  FLabelMail->setToolTip(Translate(u"SendMail"));
  FLabelSite->setToolTip(Translate(u"N_Help_Site"));
  CentreAll();
}

QString TFormAbout::MailUrl()
{
  return QStringLiteral("mailto:") + MakerContacts().Mail + QStringLiteral("?subject=") + Title;
}

void TFormAbout::CentreAll()
{
  for (QLabel *l : {FImageLogo, FLabelTitle, FLabelVer, FLabelName, FLabelMail, FLabelCity, FLabelSite}) {
    l->adjustSize();
    l->move((width() - l->width()) / 2, l->y());
  }
}

void TFormAbout::showEvent(QShowEvent *event)
{
  FLabelTitle->setText(Title);
  FLabelVer->setText(Version);
  CentreAll();
  if (FHost) {
    const QRect main = FHost->MainGeometry();
    move(main.center() - rect().center());
  }
  QDialog::showEvent(event);
}

bool TFormAbout::eventFilter(QObject *watched, QEvent *event)
{
  auto *label = qobject_cast<QLabel *>(watched);
  if (label && (label == FLabelMail || label == FLabelSite)) {
    if (event->type() == QEvent::Enter || event->type() == QEvent::Leave) {
      QPalette pal = label->palette();
      pal.setColor(QPalette::WindowText, event->type() == QEvent::Enter ? Qt::blue : Qt::black);
      label->setPalette(pal);
    } else if (event->type() == QEvent::MouseButtonRelease) {
      if (label == FLabelMail)
        OpenWithDesktop(MailUrl(), CantOpenReport(this));
      else if (FHost)
        FHost->OpenWebSite();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

} // namespace kp
