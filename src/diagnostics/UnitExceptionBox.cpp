// The report box: the only part of the reporter that needs widgets.
#include "UnitException.h"

#include <QApplication>
#include <QMessageBox>

namespace kp {

namespace {

class TMessageBoxShower final : public TReportShower {
public:
  void Show(const QString &report) override
  {
    QString text = report;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok);
    // " <> " and demangled templates must never be taken for markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
  }
};

} // namespace

std::unique_ptr<TReportShower> MakeMessageBoxShower()
{
  if (!qobject_cast<QApplication *>(QCoreApplication::instance())) return nullptr;
  return std::make_unique<TMessageBoxShower>();
}

} // namespace kp
