// Files of a known type that holds no audio or video (an archive, a
// document) are not media files: opening them is the splitter failure, not
// a codec failure of a stream.

#include "DSPack.h"
#include "GstMediaGraph.h"
#include "PlaybackTestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kp;

namespace {

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &head)
{
  const QString path = dir.filePath(name);
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return {};
  f.write(head + QByteArray(400, '\0'));
  return path;
}

} // namespace

TEST(GstOpenReview, ArchivesAndDocumentsGiveTheSplitterFailure)
{
  kptest::ensureApplication();
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString zip = writeFile(dir, QStringLiteral("card.MOV"), QByteArray("PK\x03\x04", 4));
  const QString pdf = writeFile(dir, QStringLiteral("manual.mov"), QByteArray("%PDF-1.4\n"));
  ASSERT_FALSE(zip.isEmpty());
  ASSERT_FALSE(pdf.isEmpty());

  TGstGraphOptions options;
  options.AudioSink = QStringLiteral("fakesink sync=true");
  options.WaitTimeoutMs = 10000;
  TFilterGraph graph(CreateGstGraphFactory(options));
  graph.SetActive(true);
  ASSERT_TRUE(graph.Active());
  auto builder = graph.QueryInterface<IGraphBuilder>();
  ASSERT_TRUE(builder);
  for (const QString &file : {zip, pdf}) {
    IBaseFilterPtr source;
    const HRESULT hr = builder->AddSourceFilter(file, QStringLiteral("File"), source);
    EXPECT_EQ(hr, VFW_E_UNSUPPORTED_STREAM) << file.toStdString();
    EXPECT_EQ(source, nullptr) << file.toStdString();
    EXPECT_EQ(graph.GetState(), psStopped);
  }
  graph.SetActive(false);
}
