// The Debian package `cpack -G DEB` makes from this build, read with
// dpkg-deb: its name and version, what it depends on (every dependency met
// by the packages of this Debian machine), its files, and an install and
// removal in a throw-away root that leaves no file behind. Built under
// CI=true only: packaging copies and compresses the whole program.

#include "PackagingTestSupport.h"
#include "StartupSupport.h"
#include "UiTestSupport.h"
#include "UpdateProtocol.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <algorithm>

using namespace kptest;

namespace {

struct TDependency {
  QString Name, Relation, Version; // Relation empty: any version
};

// "a (>= 1), b | c, d" -> one list of alternatives per dependency.
QList<QList<TDependency>> ParseDepends(const QString &field)
{
  static const QRegularExpression one(QStringLiteral(R"(^\s*([^\s(]+)\s*(?:\(\s*([<>=]+)\s*([^)\s]+)\s*\))?\s*$)"));
  QList<QList<TDependency>> out;
  for (const QString &dependency : field.split(',', Qt::SkipEmptyParts)) {
    QList<TDependency> alternatives;
    for (const QString &alternative : dependency.split('|')) {
      const QRegularExpressionMatch m = one.match(alternative);
      if (m.hasMatch()) alternatives.append({m.captured(1).section(':', 0, 0), m.captured(2), m.captured(3)});
    }
    out.append(alternatives);
  }
  return out;
}

bool MetHere(const TDependency &d)
{
  const TRun installed = RunProcess(QStringLiteral("dpkg-query"), {"-W", "-f", "${Status}|${Version}", d.Name});
  if (installed.Code != 0 || !installed.Output.startsWith(QLatin1String("install ok installed"))) return false;
  if (d.Relation.isEmpty()) return true;
  return RunProcess(QStringLiteral("dpkg"),
                    {"--compare-versions", installed.Output.section('|', 1), d.Relation, d.Version})
             .Code == 0;
}

// The files (not folders) of the package, as "usr/...".
QStringList PackageFiles(const QString &deb)
{
  QStringList files;
  const TRun list = RunProcess(QStringLiteral("dpkg-deb"), {"--contents", deb});
  for (const QString &line : list.Output.split('\n'))
    if (line.startsWith('-')) files << line.section(QStringLiteral("./"), 1);
  files.sort();
  return files;
}

} // namespace

TEST(DebPackage, DeclaresItsRuntimeNeedsAndInstallsAndRemovesCleanly)
{
  if (!underCI()) GTEST_SKIP() << "the package is built under CI=true";
  KP_REQUIRE_TOOL(dpkgDeb, "dpkg-deb");
  KP_REQUIRE_TOOL(shlibdeps, "dpkg-shlibdeps");
  QTemporaryDir out;
  const TRun cpack =
      RunProcess(QStringLiteral(KP_CPACK),
                 {"-G", "DEB", "--config", QStringLiteral(KP_BUILD_DIR "/CPackConfig.cmake"), "-B", out.path()});
  ASSERT_EQ(cpack.Code, 0) << cpack.Output.toStdString();
  const QString arch = RunProcess(QStringLiteral("dpkg"), {"--print-architecture"}).Output.trimmed();
  const QString deb = out.filePath(QStringLiteral("kestril-player_%1_%2.deb").arg(QString(kp::ProgramVersion), arch));
  ASSERT_TRUE(QFileInfo::exists(deb)) << cpack.Output.toStdString();

  const auto field = [&](const char *name) { return RunProcess(dpkgDeb, {"--field", deb, name}).Output.trimmed(); };
  EXPECT_EQ(field("Package"), QStringLiteral("kestril-player"));
  EXPECT_EQ(field("Version"), QString(kp::ProgramVersion));
  EXPECT_EQ(field("Architecture"), arch);
  EXPECT_EQ(field("Section"), QStringLiteral("video"));
  // Someone answers for it, at an address.
  static const QRegularExpression maintainer(QStringLiteral(R"(^[^<>]+ <[^<>@\s]+@[^<>@\s]+>$)"));
  EXPECT_TRUE(maintainer.match(field("Maintainer")).hasMatch()) << field("Maintainer").toStdString();

  // Linked libraries (found by dpkg-shlibdeps) and what is loaded at run
  // time: the GStreamer plugins for QuickTime, H.264 and PCM, the map's
  // browser process.
  const QString depends = field("Depends");
  const QList<QList<TDependency>> parsed = ParseDepends(depends);
  QStringList names;
  for (const QList<TDependency> &alternatives : parsed)
    for (const TDependency &d : alternatives) names << d.Name;
  for (const char *needed :
       {"libqt6core6", "libqt6gui6", "libqt6widgets6", "libqt6network6", "libqt6webenginewidgets6",
        "libqt6webenginecore6-bin", "libjpeg62-turbo", "libgstreamer1.0-0", "libgstreamer-plugins-base1.0-0",
        "gstreamer1.0-plugins-base", "gstreamer1.0-plugins-good", "gstreamer1.0-plugins-bad", "gstreamer1.0-libav"})
    EXPECT_TRUE(names.contains(QLatin1String(needed))) << needed << " not in " << depends.toStdString();
  // Each one is met by this Debian machine's packages, so apt can install it.
  for (const QList<TDependency> &alternatives : parsed)
    EXPECT_TRUE(std::any_of(alternatives.begin(), alternatives.end(), MetHere))
        << alternatives.value(0).Name.toStdString() << " not met here";

  QStringList expected;
  for (const QString &file : ExpectedInstalledFiles()) expected << QStringLiteral("usr/") + file;
  EXPECT_EQ(PackageFiles(deb), expected);
  // Debian's own checks find no error and no warning (the package as a
  // whole, its copyright file, changelog, manual page and description
  // included), nor a note of a hardening the build left out or a section
  // stripping leaves behind.
  KP_REQUIRE_TOOL(lintian, "lintian");
  const TRun lint =
      RunProcess(lintian, {"--fail-on", "error,warning", "--display-info", "--tag-display-limit", "0", deb});
  EXPECT_EQ(lint.Code, 0) << lint.Output.toStdString();
  for (const char *tag : {"E: ", "W: ", "hardening-", "binary-has-unneeded-section"})
    EXPECT_FALSE(lint.Output.contains(QLatin1String(tag))) << tag << "\n" << lint.Output.toStdString();

  // No maintainer scripts: the desktop's caches follow dpkg's triggers.
  QTemporaryDir control;
  ASSERT_EQ(RunProcess(dpkgDeb, {"--control", deb, control.path()}).Code, 0);
  EXPECT_EQ(FilesUnder(control.path()), QStringList({"control", "md5sums"}));

  // Installed into a throw-away root and removed again: the entry names
  // /usr/bin/kestril-player, and removal leaves nothing behind.
  QTemporaryDir root;
  const QString admin = root.filePath(QStringLiteral("var/lib/dpkg"));
  ASSERT_TRUE(QDir().mkpath(admin + "/info") && QDir().mkpath(admin + "/updates"));
  ASSERT_TRUE(writeFileBytes(admin + "/status", {}) && writeFileBytes(admin + "/available", {}));
  const QStringList dpkg{"--root=" + root.path(), "--log=/dev/null", "--force-depends", "--force-not-root",
                         "--force-bad-path"};
  const TRun install = RunProcess(QStringLiteral("dpkg"), dpkg + QStringList{"--install", deb});
  ASSERT_EQ(install.Code, 0) << install.Output.toStdString();
  QStringList installed;
  for (const QString &file : FilesUnder(root.path()))
    if (!file.startsWith(QLatin1String("var/"))) installed << file;
  EXPECT_EQ(installed, expected);
  const QString entry = root.filePath(QStringLiteral("usr/" KP_DATADIR "/applications/kestril-player.desktop"));
  EXPECT_EQ(ExecProgram(DesktopEntryValue(entry, QStringLiteral("Exec"))),
            QStringLiteral("/usr/" KP_BINDIR "/kestril-player"));
  // A clone's program ran in this home before the package came. Once dpkg's
  // trigger has refreshed the type cache, the desktop starts the package's
  // program under its entry's name (no entry of the home's holds it) and,
  // with no other player and no default chosen, takes it as the default for
  // QuickTime movies.
  KP_REQUIRE_TOOL(xdgMime, "xdg-mime");
  QTemporaryDir home;
  kp::UpdateUserDesktopEntries(home.path(), {}, QStringLiteral(KP_BUILT_PROGRAM));
  const QString apps = root.filePath(QStringLiteral("usr/" KP_DATADIR "/applications"));
  ASSERT_EQ(RunProcess(QStringLiteral("update-desktop-database"), {apps}).Code, 0);
  const TRun query =
      RunProcess(xdgMime, {"query", "default", kp::DesktopEntryTypes().value(0)},
                 {"HOME=" + home.path(), "XDG_DATA_HOME=" + home.path(), "XDG_CONFIG_HOME=" + home.path(),
                  "XDG_CONFIG_DIRS=" + home.path(), "XDG_DATA_DIRS=" + root.filePath(QStringLiteral("usr/" KP_DATADIR)),
                  "XDG_CURRENT_DESKTOP=", "DESKTOP_SESSION=", "KDE_FULL_SESSION="});
  EXPECT_EQ(query.Output.trimmed(), QStringLiteral("kestril-player.desktop"));
  EXPECT_TRUE(QFileInfo::exists(home.filePath(QStringLiteral("applications/kestril-player-build.desktop"))));
  EXPECT_FALSE(QFileInfo::exists(home.filePath(QStringLiteral("applications/kestril-player.desktop"))));
  ASSERT_TRUE(QFile::remove(apps + QStringLiteral("/mimeinfo.cache")));
  // The program without its debug information: a tenth of the built one or
  // less, its routines still named for exception reports.
  const QString program = root.filePath(QStringLiteral("usr/" KP_BINDIR "/kestril-player"));
  EXPECT_LE(QFileInfo(program).size() * 10, QFileInfo(QStringLiteral(KP_BUILT_PROGRAM)).size());
  const TRun sections = RunProcess(QStringLiteral("readelf"), {"--section-headers", "--wide", program});
  EXPECT_FALSE(sections.Output.contains(QLatin1String(".debug_"))) << sections.Output.toStdString();
  EXPECT_TRUE(sections.Output.contains(QLatin1String(".dynsym")));
  const QString docs = root.filePath(QStringLiteral("usr/" KP_DATADIR "/doc/kestril-player/"));
  EXPECT_TRUE(readFileBytes(docs + "copyright").startsWith("Format: https://www.debian.org/doc/packaging-manuals/"));
  const TRun changelog = RunProcess(QStringLiteral("gzip"), {"-dc", docs + "changelog.gz"});
  EXPECT_TRUE(changelog.Output.startsWith(QStringLiteral("kestril-player (%1) ").arg(QString(kp::ProgramVersion))))
      << changelog.Output.toStdString();
  const TRun remove = RunProcess(QStringLiteral("dpkg"), dpkg + QStringList{"--purge", "kestril-player"});
  ASSERT_EQ(remove.Code, 0) << remove.Output.toStdString();
  QStringList left;
  for (const QString &file : FilesUnder(root.path()))
    if (!file.startsWith(QLatin1String("var/"))) left << file;
  EXPECT_TRUE(left.isEmpty()) << left.join(' ').toStdString();
  EXPECT_FALSE(QDir(root.filePath(QStringLiteral("usr"))).exists()) << "folders left behind";
}
