// Side-file names of a GPS log and the same-file check.

#include "GpsLogNaming.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kp;

TEST(GpsLogNaming, SideFileNames)
{
  struct Case {
    QString Log, Ext, Expected;
  } cases[] = {
      {"/card/trip.log", "kml", "/card/trip.kml"},   {"/card/LOG", "gpx", "/card/LOG.gpx"},
      {"/card/a.b/LOG", "plt", "/card/a.b/LOG.plt"}, {"/card/trip.nmea", "kml", "/card/trip.kml"},
      {"/card/x.y.log", "csv", "/card/x.y.csv"},     {"/ca:rd/t?ip.log", "kml", "/ca:rd/t_ip.kml"},
  };
  for (const Case &c : cases) EXPECT_EQ(GpsLogSideFileName(c.Log, c.Ext), c.Expected) << c.Log.toStdString();
}

TEST(GpsLogNaming, SameExistingFile)
{
  QTemporaryDir dir;
  const QString a = dir.filePath("trip.log"), link = dir.filePath("alias.log"), other = dir.filePath("trip.kml");
  QFile f(a);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.close();
  ASSERT_TRUE(QFile::link(a, link));
  QFile g(other);
  ASSERT_TRUE(g.open(QIODevice::WriteOnly));
  g.close();
  EXPECT_TRUE(IsSameExistingFile(a, a));
  EXPECT_TRUE(IsSameExistingFile(a, link));
  EXPECT_FALSE(IsSameExistingFile(a, other));
  EXPECT_FALSE(IsSameExistingFile(a, dir.filePath("missing.kml")));
}
