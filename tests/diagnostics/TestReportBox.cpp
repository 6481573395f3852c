// The report box, in a binary of its own: it needs a QApplication, which
// cannot share a process with the core application of the other tests.
#include "UnitException.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QMessageBox *OpenBox()
{
  for (QWidget *widget : QApplication::topLevelWidgets())
    if (auto *box = qobject_cast<QMessageBox *>(widget); box && box->isVisible()) return box;
  return nullptr;
}

TEST(ReportBox, ShowsThePlainReportWithTheApplicationTitleAndOk)
{
  int argc = 1;
  char name[] = "kp_diagnostics_box_tests";
  char *argv[] = {name, nullptr};
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName(QStringLiteral("KESTRIL PLAYER"));

  QString title, text;
  Qt::TextFormat format = Qt::AutoText;
  QList<QAbstractButton *> buttons;
  bool opened = false;
  QTimer::singleShot(0, [&] {
    QMessageBox *box = OpenBox();
    if (!box) return QApplication::exit();
    opened = true;
    title = box->windowTitle();
    text = box->text();
    format = box->textFormat();
    buttons = box->buttons();
    box->accept();
  });
  kp::MakeDefaultReportShower()->Show(
      QStringLiteral("EFileBroken, <b>bad</b>\r\nThread: main:\r\nException callstack\r\n => a @ 00000010 f<int>()"));

  ASSERT_TRUE(opened);
  EXPECT_EQ(title, QStringLiteral("KESTRIL PLAYER"));
  EXPECT_EQ(text,
            QStringLiteral("EFileBroken, <b>bad</b>\nThread: main:\nException callstack\n => a @ 00000010 f<int>()"));
  EXPECT_EQ(format, Qt::PlainText);
  ASSERT_EQ(buttons.size(), 1);
}

} // namespace
