// Which programs count as installed with their desktop entry: only then does
// the start-up leave the user's own entry unwritten.

#include "PackagingTestSupport.h"
#include "StartupSupport.h"
#include "UiTestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(InstalledDesktopEntry, CountsOnlyAnEntryBesideTheProgramThatStartsIt)
{
  struct Case {
    const char *what;
    const char *prefix;       // where the program is
    const char *entryPrefix;  // where the entry is; nullptr: none
    const char *entryProgram; // the program the entry names
    const char *extra;        // further lines of a packager's own
    bool counts;
  } cases[] = {
      {"installed as the rules do", "usr", "usr", "usr", "", true},
      {"a prefix with blanks and quotes", "my \"apps\" $x", "my \"apps\" $x", "my \"apps\" $x", "", true},
      {"a packager's entry with translations", "usr", "usr", "usr", "Name[ru]=Плеер\nKeywords=dashcam;\n", true},
      {"no entry", "usr", nullptr, "usr", "", false},
      {"the prefix moved since", "opt/new", "opt/new", "opt/old", "", false},
      {"a staged copy (DESTDIR)", "stage/usr", "stage/usr", "usr", "", false},
      {"an entry elsewhere only", "usr", "other", "usr", "", false},
  };
  for (const Case &c : cases) {
    QTemporaryDir root;
    const auto at = [&](const char *prefix, const char *rest) {
      return root.filePath(QString::fromUtf8(prefix) + QStringLiteral("/") + QLatin1String(rest));
    };
    const QString program = at(c.prefix, KP_BINDIR "/kestril-player");
    ASSERT_TRUE(QDir().mkpath(at(c.prefix, KP_BINDIR)));
    QString entry;
    if (c.entryPrefix) {
      entry = at(c.entryPrefix, KP_DATADIR "/applications/kestril-player.desktop");
      ASSERT_TRUE(QDir().mkpath(at(c.entryPrefix, KP_DATADIR "/applications")));
      const QString text =
          kp::InstalledDesktopEntryText(at(c.entryProgram, KP_BINDIR "/kestril-player")) + QString::fromUtf8(c.extra);
      ASSERT_TRUE(kptest::writeFileBytes(entry, text.toUtf8()));
    }
    EXPECT_EQ(kp::InstalledDesktopEntry(program), c.counts ? QDir::cleanPath(entry) : QString()) << c.what;
  }
}
