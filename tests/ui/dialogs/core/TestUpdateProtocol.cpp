// The update protocol without sockets: query, address split, request bytes,
// the reply reader under every split of its input, and the reply lines.

#include "UpdateProtocol.h"

#include <gtest/gtest.h>

#include <QList>
#include <functional>

using namespace kp;

TEST(UpdateQuery, OrderSeparatorAndOmittedParts)
{
  struct Case {
    QString Url;
    TUpdateQuery Query;
    QString Expected;
  } cases[] = {
      {"http://h/kestrilplayer.php",
       {"1033", "nmea,gpx", 3840, 2160, "abcdefghijk"},
       "http://h/kestrilplayer.php?version=1.1&langid=1033&gps=nmea,gpx&screen=3840x2160&did=rw-abcdefghijk"},
      {"http://h/ads?x=1", {"1049", "", 0, 0, ""}, "http://h/ads?x=1&version=1.1&langid=1049"},
      {"http://h/p", {"", "", 1920, 0, "id"}, "http://h/p?version=1.1&langid=&did=rw-id"},
      // Values go as they are, never percent-encoded.
      {"u", {"a b", "x&y", 0, 0, ""}, "u?version=1.1&langid=a b&gps=x&y"},
  };
  for (const Case &c : cases) EXPECT_EQ(AddUpdateQuery(c.Url, c.Query), c.Expected) << c.Url.toStdString();
}

TEST(UpdateUrl, SplitAndRequestBytes)
{
  struct Case {
    QString Url;
    bool Valid, Tls;
    QString Host;
    int Port;
    QByteArray FirstTwoLines;
  } cases[] = {
      {"http://127.0.0.1:8080/kestrilplayer.php?a=1", true, false, "127.0.0.1", 8080,
       "GET /kestrilplayer.php?a=1 HTTP/1.1\r\nHost: 127.0.0.1:8080\r\n"},
      {"HTTP://example.org", true, false, "example.org", 80, "GET / HTTP/1.1\r\nHost: example.org:80\r\n"},
      {"https://example.org/x", true, true, "example.org", 443, "GET /x HTTP/1.1\r\nHost: example.org:443\r\n"},
      {"example.org:abc/y", true, false, "example.org", 80, "GET /y HTTP/1.1\r\nHost: example.org:80\r\n"},
      {"http://h:70000/", true, false, "h", 80, "GET / HTTP/1.1\r\nHost: h:80\r\n"},
      {"ftp://h/x", false, false, "", 0, ""},
      {"http:///x", false, false, "", 0, ""},
      {"http://h/x\r\nEvil: 1", false, false, "", 0, ""},
      {"http://h/a b", false, false, "", 0, ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Url.toStdString());
    const TUrlParts p = SplitUrl(c.Url);
    ASSERT_EQ(p.Valid, c.Valid);
    if (!c.Valid) continue;
    EXPECT_EQ(p.Tls, c.Tls);
    EXPECT_EQ(p.Host, c.Host);
    EXPECT_EQ(p.Port, c.Port);
    EXPECT_EQ(RequestText(p), c.FirstTwoLines + "User-Agent: KESTRIL PLAYER 1.1 (KESTRIL)\r\n\r\n");
  }
}

namespace {

struct TOutcome {
  bool Finished, Succeeded;
  QByteArray Body;
  bool operator==(const TOutcome &o) const = default;
};

TOutcome Read(const QByteArray &reply, int64_t cap, const std::function<QList<QByteArrayView>(QByteArrayView)> &split)
{
  THttpReplyReader reader(cap);
  for (QByteArrayView part : split(reply)) reader.Feed(part);
  reader.Close();
  return {reader.Finished(), reader.Succeeded(), reader.Body()};
}

QList<QByteArrayView> Whole(QByteArrayView b)
{
  return {b};
}
QList<QByteArrayView> ByteByByte(QByteArrayView b)
{
  QList<QByteArrayView> parts;
  for (qsizetype i = 0; i < b.size(); ++i) parts << b.sliced(i, 1);
  return parts;
}

} // namespace

TEST(UpdateReplyReader, OneOutcomeForEverySplit)
{
  const QByteArray big(2000, 'z');
  struct Case {
    const char *Name;
    QByteArray Reply;
    int64_t Cap;
    bool Ok;
    QByteArray Body;
  } cases[] = {
      {"length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhelloEXTRA", 100, true, "hello"},
      {"length without blank", "HTTP/1.0 200 OK\r\ncontent-length:3\r\n\r\nabc", 100, true, "abc"},
      {"length zero", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\nignored", 100, true, ""},
      {"short body", "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nabc", 100, false, ""},
      {"bad length", "HTTP/1.1 200 OK\r\nContent-Length: 1x\r\n\r\nabc", 100, false, ""},
      {"two lengths", "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nab", 100, false, ""},
      {"to close", "HTTP/1.1 200 OK\r\nServer: x\r\n\r\nversion=1.2\r\n", 100, true, "version=1.2\r\n"},
      {"chunked",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4;x=y\r\nWiki\r\n5\r\npedia\r\n0\r\nT: 1\r\n\r\n", 100,
       true, "Wikipedia"},
      {"chunked cut", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nWiki\r\n", 100, false, ""},
      {"chunked bad size", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", 100, false, ""},
      {"chunked no crlf", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nab\r\n0\r\n\r\n", 100, false, ""},
      {"gzip", "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\nabc", 100, false, ""},
      {"404", "HTTP/1.1 404 Not Found\r\nContent-Length: 3\r\n\r\nabc", 100, false, ""},
      {"2000 is not 200", "HTTP/1.1 2000 OK\r\n\r\nabc", 100, false, ""},
      {"header cut", "HTTP/1.1 200 OK\r\nContent-Le", 100, false, ""},
      {"length over cap", "HTTP/1.1 200 OK\r\nContent-Length: 101\r\n\r\n", 100, false, ""},
      {"close over cap", "HTTP/1.1 200 OK\r\n\r\n" + big, 1999, false, ""},
      {"close at cap", "HTTP/1.1 200 OK\r\n\r\n" + big, 2000, true, big},
      {"chunks over cap", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n3\r\ndef\r\n0\r\n\r\n", 5,
       false, ""},
      {"header too long", "HTTP/1.1 200 OK\r\nX: " + QByteArray(70000, 'h') + "\r\n\r\nabc", 100, false, ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Name);
    const TOutcome whole = Read(c.Reply, c.Cap, Whole);
    EXPECT_TRUE(whole.Finished);
    EXPECT_EQ(whole.Succeeded, c.Ok);
    EXPECT_EQ(whole.Body, c.Body);
    if (c.Reply.size() < 3000) {
      EXPECT_TRUE(Read(c.Reply, c.Cap, ByteByByte) == whole);
    }
    for (qsizetype at = 0; at <= c.Reply.size() && c.Reply.size() < 3000; ++at) {
      const auto split = [at](QByteArrayView b) { return QList<QByteArrayView>{b.first(at), b.sliced(at)}; };
      ASSERT_TRUE(Read(c.Reply, c.Cap, split) == whole) << "split at " << at;
    }
  }
}

TEST(UpdateReplyReader, LengthReplyEndsWithoutWaitingForTheClose)
{
  THttpReplyReader reader(MaxCheckReplyBytes);
  reader.Feed("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
  EXPECT_TRUE(reader.Succeeded());
  EXPECT_EQ(reader.ContentLength(), 2);
}

TEST(UpdateReply, ParseResponse)
{
  struct Case {
    QByteArray Text;
    bool Newer;
    QString Version, VersionText, DownloadUrl, DownloadWeb, AdsUrl;
  } cases[] = {
      {"version=1.2\r\ndownloadurl=https://h/p", true, "1.2", "1.2", "https://h/p", "https://h/p", ""},
      {"version=1.2", false, "1.2", "1.2", "", "", ""},
      {"VERSION=1.10\r\nDownloadURL=u=v\r\nversiontext=Ten\r\ndownloadweb=w\r\nadsurl=a", true, "1.10", "Ten", "u=v",
       "w", "a"},
      {"version=1.1\r\ndownloadurl=u", false, "1.1", "1.1", "u", "u", ""},
      {"version=1.05\r\ndownloadurl=u", false, "1.05", "1.05", "u", "u", ""},
      {"version=1.3\r\nversion=1.0\r\ndownloadurl=u\r\njunk\r\nx=y", false, "1.0", "1.0", "u", "u", ""},
      {"version= 1.2 \r\ndownloadurl=u", false, " 1.2 ", " 1.2 ", "u", "u", ""},
      {"", false, "", "", "", "", ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Text.toStdString());
    TUpdateReply r;
    r.AdsUrl = "stale";
    EXPECT_EQ(ParseResponse(c.Text, r), c.Newer);
    EXPECT_EQ(r.Version, c.Version);
    EXPECT_EQ(r.VersionText, c.VersionText);
    EXPECT_EQ(r.DownloadUrl, c.DownloadUrl);
    EXPECT_EQ(r.DownloadWeb, c.DownloadWeb);
    EXPECT_EQ(r.AdsUrl, c.AdsUrl);
  }
}
