#pragma once
// The About box: program name and version, the logo, and the contact lines
// (mail and site open on click). Created once and kept; the language switch
// sets the contact texts through ApplyLanguage. Main thread only.

#include <QDialog>

class QLabel;

namespace kp {

class IDialogHost;

class TFormAbout : public QDialog {
  Q_OBJECT
public:
  static inline const QString Title = QStringLiteral("KESTRIL PLAYER");
  static inline const QString Version = QStringLiteral("v1.1");

  explicit TFormAbout(IDialogHost *host, QWidget *parent = nullptr);
  void ApplyLanguage();

  // The address the mail label opens.
  static QString MailUrl();
  QLabel *LabelMail() const { return FLabelMail; }
  QLabel *LabelSite() const { return FLabelSite; }

protected:
  void showEvent(QShowEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void CentreAll();

  IDialogHost *FHost;
  QLabel *FImageLogo, *FLabelTitle, *FLabelVer, *FLabelName, *FLabelMail, *FLabelCity, *FLabelSite;
};

} // namespace kp
