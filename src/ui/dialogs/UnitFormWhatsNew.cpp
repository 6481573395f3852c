#include "UnitFormWhatsNew.h"

#include "UnitTranslate.h"
#include "UnitUtilsDesktop.h"
#include "UnitUtilsFiles.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace kp {

QString WhatsNewText()
{
  const QString ownNotes = QStringLiteral("WhatsNew_") + Translate(u"langid") + QStringLiteral(".txt");
  QByteArray notes = LoadResourceText(ownNotes);
  if (notes.trimmed().isEmpty()) notes = LoadResourceText(QStringLiteral("WhatsNew.txt"));
  return QStringLiteral("KESTRIL PLAYER\r\n\r\n") + QString::fromUtf8(notes);
}

TFormWhatsNew::TFormWhatsNew(QWidget *parent) : QDialog(parent)
{
  setWindowIcon(LoadResourceIcon(QStringLiteral("icon_whatsNew.ico")));
  FMemo = new QPlainTextEdit(this);
  FMemo->setReadOnly(true);
  FMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(FMemo);
  resize(520, 420);
  ApplyLanguage();
}

void TFormWhatsNew::ApplyLanguage()
{
  setWindowTitle(Translate(u"N_Help_WhatsNew") + QStringLiteral(" - KESTRIL PLAYER 1.1"));
}

void TFormWhatsNew::showEvent(QShowEvent *event)
{
  FMemo->setPlainText(WhatsNewText());
  QDialog::showEvent(event);
}

} // namespace kp
