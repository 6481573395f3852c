// `cmake --install` of this build into a staging folder (DESTDIR), as a
// packager does: the files it puts there and nothing else, and the
// validators' word on the desktop entry and the AppStream data.

#include "PackagingTestSupport.h"
#include "StartupSupport.h"
#include "UiTestSupport.h"
#include "UpdateProtocol.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

using namespace kptest;

namespace {

// The root element's name and the attributes asked for; empty on an XML error.
QStringList RootElement(const QString &path, const QStringList &attributes)
{
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  QXmlStreamReader xml(&f);
  QStringList out;
  while (!xml.atEnd()) {
    if (xml.readNext() == QXmlStreamReader::StartElement && out.isEmpty()) {
      out << xml.name().toString();
      for (const QString &a : attributes) out << xml.attributes().value(a).toString();
    }
  }
  return xml.hasError() ? QStringList() : out;
}

QString ReadText(const QString &path)
{
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace

TEST(Install, PutsTheProgramItsEntryIconsAndMetainfoAndNothingElse)
{
  QTemporaryDir stage;
  const TRun install = InstallBuild(QStringLiteral("/usr"), stage.path());
  ASSERT_EQ(install.Code, 0) << install.Output.toStdString();
  QStringList expected;
  for (const QString &file : ExpectedInstalledFiles()) expected << QStringLiteral("usr/") + file;
  // Nothing else: no tests, benchmarks, fuzzers or the demo-card tool.
  ASSERT_EQ(FilesUnder(stage.path()), expected);

  const QString usr = stage.filePath(QStringLiteral("usr"));
  const QString data = usr + QStringLiteral("/" KP_DATADIR);
  EXPECT_TRUE(QFileInfo(usr + QStringLiteral("/" KP_BINDIR "/kestril-player")).isExecutable());

  // The program's own entry, naming the installed program, with its icon.
  const QString entry = data + QStringLiteral("/applications/kestril-player.desktop");
  const QString installedProgram = QStringLiteral("/usr/" KP_BINDIR "/kestril-player");
  EXPECT_EQ(ReadText(entry), kp::InstalledDesktopEntryText(installedProgram));
  EXPECT_TRUE(ReadText(entry).startsWith(kp::DesktopEntryText(installedProgram)));
  EXPECT_EQ(ExecProgram(DesktopEntryValue(entry, QStringLiteral("Exec"))), installedProgram);
  EXPECT_EQ(DesktopEntryValue(entry, QStringLiteral("Icon")), QStringLiteral("kestril-player"));
  EXPECT_TRUE(DesktopEntryValue(entry, QStringLiteral("MimeType")).split(';').contains("video/quicktime"));
  KP_REQUIRE_TOOL(validate, "desktop-file-validate");
  const TRun valid = RunProcess(validate, {entry});
  EXPECT_EQ(valid.Code, 0) << valid.Output.toStdString();
  EXPECT_TRUE(valid.Output.trimmed().isEmpty()) << valid.Output.toStdString();

  // The manual page: man reads it without a warning, and it tells every
  // option of the program's usage.
  KP_REQUIRE_TOOL(man, "man");
  const QString page = usr + QStringLiteral("/" KP_MANDIR "/man1/kestril-player.1.gz");
  const TRun warnings =
      RunProcess(QStringLiteral("sh"), {"-c", "\"$0\" --warnings -l -Tutf8 -Z \"$1\" >/dev/null", man, page});
  EXPECT_TRUE(warnings.Code == 0 && warnings.Output.isEmpty()) << warnings.Output.toStdString();
  const QString shown = RunProcess(man, {"-P", "cat", "-l", page}, {"MANWIDTH=200", "LC_ALL=C.UTF-8"}).Output;
  static const QRegularExpression option(QStringLiteral(R"(^ +(-\S*?),? +(?:(--\S+) )?)"));
  for (const QString &line : kp::CommandLineUsage().split('\n'))
    for (const QString &name : option.match(line).capturedTexts().mid(1))
      EXPECT_TRUE(shown.contains(name)) << name.toStdString();

  // Icons: square at the size of their folder, transparent around the
  // rounded square, opaque inside; the scalable one a 64-unit SVG drawing.
  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    const QImage icon(QStringLiteral("%1/icons/hicolor/%2x%2/apps/kestril-player.png").arg(data).arg(size));
    ASSERT_EQ(icon.size(), QSize(size, size)) << size;
    EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0) << size;
    EXPECT_EQ(qAlpha(icon.pixel(size / 2, size / 2)), 255) << size;
  }
  EXPECT_EQ(RootElement(data + QStringLiteral("/icons/hicolor/scalable/apps/kestril-player.svg"), {"viewBox"}),
            QStringList({"svg", "0 0 64 64"}));

  // AppStream: valid, launching this entry, its newest release the version
  // the program reports.
  const QString metainfo = data + QStringLiteral("/metainfo/org.kestril.player.metainfo.xml");
  EXPECT_EQ(RootElement(metainfo, {"type"}), QStringList({"component", "desktop-application"}));
  const QString meta = ReadText(metainfo);
  EXPECT_TRUE(meta.contains("<launchable type=\"desktop-id\">kestril-player.desktop</launchable>"));
  const qsizetype release = meta.indexOf(QLatin1String("<release "));
  EXPECT_EQ(meta.mid(release).section('"', 1, 1), QString(kp::ProgramVersion));
  KP_REQUIRE_TOOL(appstream, "appstreamcli");
  const TRun validMeta = RunProcess(appstream, {"validate", "--no-net", "--pedantic", metainfo});
  EXPECT_EQ(validMeta.Code, 0) << validMeta.Output.toStdString();
  // The installed tree as a software centre reads it: the entry and the
  // icons the metainfo refers to are found beside it.
  const TRun validTree = RunProcess(appstream, {"validate-tree", "--no-net", usr});
  EXPECT_EQ(validTree.Code, 0) << validTree.Output.toStdString();
}

// The program carries no made-up contact data of its maker: the site, mail,
// address and telephone come only from the build's options.
TEST(Install, TheProgramHoldsNoPlaceholderContacts)
{
  const QByteArray program = readFileBytes(QStringLiteral(KP_BUILT_PROGRAM));
  ASSERT_GT(program.size(), 1 << 20);
  for (const char *placeholder :
       {"www.example.org", "support@example.org", "+1 555 0100", "Example Street", "Example City"})
    EXPECT_FALSE(program.contains(placeholder)) << placeholder;
}
