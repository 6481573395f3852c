#pragma once
// Helpers shared by the window tests: one application object, bounded waits
// on the event loop, a settings folder of the test's own and the folder
// screenshots go to.

#include "TestSupport.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <functional>
#include <ostream>

class QWidget;

// Readable failure output for Qt strings.
inline void PrintTo(const QString &s, std::ostream *os)
{
  *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList &l, std::ostream *os)
{
  *os << '[' << l.join(QStringLiteral(", ")).toStdString() << ']';
}

namespace kptest {

// The QApplication every window test runs under (made on first use).
void ensureApplication();

// The language tables read as on an English installation, Lang chosen.
void useLanguage(int lang = 0);

// Pins the settings store to a fresh temporary folder while it lives.
class ScopedSettings {
public:
  ScopedSettings();
  ~ScopedSettings();
  QString Dir() const { return FDir.path(); }

private:
  QTemporaryDir FDir;
};

// The path of a command-line tool; empty when it is missing, which fails
// the test under CI (the tools are installed there).
QString findTool(const char *name);
// Runs a tool to its end (at most four minutes): its output, then its error text.
QString runTool(const QString &tool, const QStringList &args, int *exitCode = nullptr);

#ifdef KP_MAKE_DEMO_CARD
// One quick demo card for the whole test program, made on first use; empty
// when it could not be made. Tests that change files work on a copy.
inline QString quickDemoCard()
{
  static QTemporaryDir dir;
  static const QString card = [] {
    int code = -1;
    const QString out =
        runTool(QStringLiteral(KP_MAKE_DEMO_CARD), {"--quick", "--jobs", "2", dir.filePath("card")}, &code);
    EXPECT_EQ(code, 0) << out.toStdString();
    return code == 0 ? dir.filePath("card") : QString();
  }();
  return card;
}
#endif

// build/test-artifacts/<name>, its folder made.
QString artifactPath(const QString &name);
// Saves the widget's picture there; returns the path written (empty on failure).
QString saveScreenshot(QWidget *widget, const QString &name);

} // namespace kptest
