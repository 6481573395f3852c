#include "MessageBoxes.h"

#include "UnitTranslate.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPointer>

namespace kp {

namespace {

// More lines than this and the text would push the buttons off a small
// screen once the box wraps them.
constexpr qsizetype kMaxTextLines = 25;

QMessageBox::Icon IconOf(TMessageKind kind)
{
  switch (kind) {
  case TMessageKind::Question: return QMessageBox::Question;
  case TMessageKind::Warning: return QMessageBox::Warning;
  case TMessageKind::Critical: return QMessageBox::Critical;
  case TMessageKind::Information: break;
  }
  return QMessageBox::Information;
}

// The text the box shows and the lines that go to its details part.
void SplitText(const TMessage &message, QString &text, QStringList &details)
{
  text = QString(message.Text).replace(QLatin1String("\r\n"), QLatin1String("\n"));
  details = message.Details;
  QStringList lines = text.split(QLatin1Char('\n'));
  if (lines.size() <= kMaxTextLines) return;
  qsizetype keep = lines.indexOf(QString());
  if (keep <= 0 || keep > kMaxTextLines) keep = 1;
  details = lines.mid(keep) + details;
  while (!details.isEmpty() && details.front().isEmpty()) details.removeFirst();
  text = lines.mid(0, keep).join(QLatin1Char('\n'));
}

void OpenDetails(QMessageBox &box)
{
  for (QAbstractButton *button : box.buttons())
    if (box.buttonRole(button) == QMessageBox::ActionRole) {
      button->click();
      return;
    }
}

} // namespace

QMessageBox::StandardButton ShowMessageBox(QWidget *parent, const QString &title, const TMessage &message,
                                           QMessageBox::StandardButtons buttons,
                                           QMessageBox::StandardButton defaultButton)
{
  QString text;
  QStringList details;
  SplitText(message, text, details);
  QMessageBox box(IconOf(message.Kind), title.isEmpty() ? QApplication::applicationDisplayName() : title, text, buttons,
                  parent);
  box.setTextFormat(Qt::PlainText);
  if (defaultButton != QMessageBox::NoButton) box.setDefaultButton(defaultButton);
  if (!details.isEmpty()) {
    box.setDetailedText(details.join(QLatin1Char('\n')));
    OpenDetails(box);
  }
  return QMessageBox::StandardButton(box.exec());
}

TDesktopFailure CantOpenReport(QWidget *parent)
{
  return [owner = QPointer<QWidget>(parent)](const QString &target) {
    if (!owner) return;
    ShowMessageBox(owner, owner->window()->windowTitle(),
                   {TMessageKind::Warning, Translate(u"Mes_CantOpen") + QLatin1Char('\n') + target, {}});
  };
}

} // namespace kp
