#include "UpdateProtocol.h"

#include <QStringList>
#include <algorithm>

namespace kp {

QString AddUpdateQuery(const QString &url, const TUpdateQuery &query)
{
  QString out = url;
  out += url.contains(QLatin1Char('?')) ? QLatin1Char('&') : QLatin1Char('?');
  out += QLatin1String("version=") + ProgramVersion;
  out += QLatin1String("&langid=") + query.LangId;
  if (!query.GpsFormats.isEmpty()) out += QLatin1String("&gps=") + query.GpsFormats;
  if (query.ScreenWidth > 0 && query.ScreenHeight > 0)
    out += QStringLiteral("&screen=%1x%2").arg(query.ScreenWidth).arg(query.ScreenHeight);
  if (!query.DeviceId.isEmpty()) out += QLatin1String("&did=rw-") + query.DeviceId;
  return out;
}

namespace {

bool HasUnsafeChar(const QString &url)
{
  return std::any_of(url.begin(), url.end(), [](QChar c) { return c.unicode() <= 0x20 || c.unicode() == 0x7F; });
}

} // namespace

TUrlParts SplitUrl(const QString &url)
{
  TUrlParts parts;
  if (url.isEmpty() || HasUnsafeChar(url)) return parts;
  QString rest = url;
  const qsizetype schemeEnd = url.indexOf(QLatin1String("://"));
  if (schemeEnd >= 0) {
    const QString scheme = url.left(schemeEnd).toLower();
    if (scheme == QLatin1String("https"))
      parts.Tls = true;
    else if (scheme != QLatin1String("http"))
      return parts;
    rest = url.mid(schemeEnd + 3);
  }
  const qsizetype slash = rest.indexOf(QLatin1Char('/'));
  QString hostPort = slash < 0 ? rest : rest.left(slash);
  parts.Path = QLatin1Char('/') + (slash < 0 ? QString() : rest.mid(slash + 1));
  parts.Port = parts.Tls ? 443 : 80;
  const qsizetype colon = hostPort.indexOf(QLatin1Char(':'));
  if (colon >= 0) {
    bool ok = false;
    const uint port = hostPort.mid(colon + 1).toUInt(&ok, 10);
    if (ok && port >= 1 && port <= 65535) parts.Port = uint16_t(port);
    hostPort.truncate(colon);
  }
  parts.Host = hostPort;
  parts.Valid = !parts.Host.isEmpty();
  return parts;
}

bool IsHttpUrl(const QString &url)
{
  const TUrlParts parts = SplitUrl(url);
  return parts.Valid && !parts.Tls;
}

bool IsHttpsUrl(const QString &url)
{
  const TUrlParts parts = SplitUrl(url);
  return parts.Valid && parts.Tls;
}

QByteArray RequestText(const TUrlParts &url)
{
  QByteArray text;
  text += "GET " + url.Path.toUtf8() + " HTTP/1.1\r\n";
  text += "Host: " + url.Host.toUtf8() + ':' + QByteArray::number(url.Port) + "\r\n";
  text += "User-Agent: KESTRIL PLAYER " + QByteArray(ProgramVersion.data(), ProgramVersion.size()) + " (KESTRIL)\r\n";
  text += "\r\n";
  return text;
}

// ---------------------------------------------------------------- reply reader

namespace {

constexpr int64_t MaxChunkLine = 4096;

// The first N bytes (all when fewer).
QByteArrayView Head(QByteArrayView view, int64_t n)
{
  return view.first(qsizetype(std::min<int64_t>(std::max<int64_t>(n, 0), view.size())));
}

// Strict decimal digits, at most 18 of them; -1 otherwise.
int64_t DecimalValue(QByteArrayView text)
{
  if (text.isEmpty() || text.size() > 18) return -1;
  int64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v;
}

// Hexadecimal digits, at most 15 of them; -1 otherwise.
int64_t HexValue(QByteArrayView text)
{
  if (text.isEmpty() || text.size() > 15) return -1;
  int64_t v = 0;
  for (char c : text) {
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return -1;
    v = v * 16 + d;
  }
  return v;
}

bool IsStatus200(QByteArrayView line)
{
  // "HTTP/1.x 200" followed by the end or a blank.
  if (line.size() < 12 || !line.startsWith("HTTP/1.")) return false;
  if (line.at(8) != ' ' || line.sliced(9, 3) != QByteArrayView("200")) return false;
  return line.size() == 12 || line.at(12) == ' ';
}

} // namespace

THttpReplyReader::THttpReplyReader(int64_t bodyCap) : FCap(bodyCap) {}

void THttpReplyReader::Feed(QByteArrayView bytes)
{
  if (Finished() || bytes.isEmpty()) return;
  FPending.append(bytes);
  Run();
}

void THttpReplyReader::Close()
{
  if (Finished()) return;
  if (FState == sToClose) {
    FState = sDone;
    return;
  }
  Fail(FState == sHeader ? QStringLiteral("connection closed before the reply header ended")
                         : QStringLiteral("connection closed before the reply body ended"));
}

void THttpReplyReader::Fail(const QString &why)
{
  FState = sFailed;
  FError = why;
  FBody.clear();
  FPending.clear();
}

void THttpReplyReader::TakeBody(int64_t count)
{
  FBody.append(FPending.constData(), qsizetype(count));
  FPending.remove(0, qsizetype(count));
}

// Steps the state machine while a step can consume what is pending.
void THttpReplyReader::Run()
{
  bool progressed = true;
  while (progressed && !Finished()) {
    switch (FState) {
    case sHeader: progressed = ReadHeader(); break;
    case sLength: {
      const int64_t take = std::min<int64_t>(FContentLength - FBody.size(), FPending.size());
      TakeBody(take);
      if (FBody.size() == FContentLength) FState = sDone;
      progressed = false;
      break;
    }
    case sChunkSize: progressed = ReadChunkSize(); break;
    case sChunkData: progressed = ReadChunkData(); break;
    case sChunkDataEnd: progressed = ReadChunkDataEnd(); break;
    case sTrailer: progressed = ReadTrailer(); break;
    case sToClose:
      if (FBody.size() + FPending.size() > FCap)
        Fail(QStringLiteral("reply body above the limit"));
      else
        TakeBody(FPending.size());
      progressed = false;
      break;
    case sDone:
    case sFailed: progressed = false; break;
    }
  }
}

bool THttpReplyReader::ReadHeader()
{
  const qsizetype end = Head(FPending, MaxHeaderBytes).indexOf("\r\n\r\n");
  if (end < 0) {
    if (FPending.size() >= MaxHeaderBytes) Fail(QStringLiteral("reply header too long"));
    return false;
  }
  const QByteArray header = FPending.left(end);
  FPending.remove(0, end + 4);
  const QList<QByteArray> lines = header.split('\n');
  if (!IsStatus200(QByteArrayView(lines.first()).trimmed())) {
    Fail(QStringLiteral("reply status is not 200: ") + QString::fromLatin1(lines.first().trimmed().left(80)));
    return false;
  }
  int64_t length = -1;
  bool chunked = false;
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const QByteArray &line = lines[i];
    const qsizetype colon = line.indexOf(':');
    if (colon < 0) continue;
    const QByteArray name = line.left(colon).trimmed().toLower();
    const QByteArray value = line.mid(colon + 1).trimmed();
    if (name == "content-length") {
      const int64_t v = DecimalValue(value);
      if (v < 0 || (length >= 0 && v != length)) {
        Fail(QStringLiteral("bad content-length"));
        return false;
      }
      length = v;
    } else if (name == "transfer-encoding") {
      if (value.toLower() != "chunked") {
        Fail(QStringLiteral("unsupported transfer coding: ") + QString::fromLatin1(value.left(40)));
        return false;
      }
      chunked = true;
    }
  }
  if (chunked) {
    FState = sChunkSize;
  } else if (length >= 0) {
    if (length > FCap) {
      Fail(QStringLiteral("reply body above the limit"));
      return false;
    }
    FContentLength = length;
    FBody.reserve(qsizetype(std::min<int64_t>(length, 1 << 20)));
    FState = length == 0 ? sDone : sLength;
  } else {
    FState = sToClose;
  }
  return true;
}

bool THttpReplyReader::ReadChunkSize()
{
  const qsizetype end = Head(FPending, MaxChunkLine).indexOf("\r\n");
  if (end < 0) {
    if (FPending.size() >= MaxChunkLine) Fail(QStringLiteral("chunk size line too long"));
    return false;
  }
  QByteArrayView line = QByteArrayView(FPending).first(end);
  const qsizetype ext = line.indexOf(';');
  if (ext >= 0) line = line.first(ext);
  const int64_t size = HexValue(line.trimmed());
  FPending.remove(0, end + 2);
  if (size < 0) {
    Fail(QStringLiteral("bad chunk size"));
    return false;
  }
  if (FBody.size() + size > FCap) {
    Fail(QStringLiteral("reply body above the limit"));
    return false;
  }
  FChunkLeft = size;
  FState = size == 0 ? sTrailer : sChunkData;
  return true;
}

bool THttpReplyReader::ReadChunkData()
{
  const int64_t take = std::min<int64_t>(FChunkLeft, FPending.size());
  TakeBody(take);
  FChunkLeft -= take;
  if (FChunkLeft > 0) return false;
  FState = sChunkDataEnd;
  return true;
}

bool THttpReplyReader::ReadChunkDataEnd()
{
  if (FPending.size() < 2) return false;
  if (!FPending.startsWith("\r\n")) {
    Fail(QStringLiteral("chunk not followed by CR LF"));
    return false;
  }
  FPending.remove(0, 2);
  FState = sChunkSize;
  return true;
}

// Trailer lines up to the empty one; they count against the header limit.
bool THttpReplyReader::ReadTrailer()
{
  const qsizetype end = Head(FPending, MaxHeaderBytes - FTrailerBytes).indexOf("\r\n");
  if (end < 0) {
    if (FTrailerBytes + FPending.size() >= MaxHeaderBytes) Fail(QStringLiteral("reply trailer too long"));
    return false;
  }
  FPending.remove(0, end + 2);
  FTrailerBytes += end + 2;
  if (end == 0) FState = sDone;
  return true;
}

// ---------------------------------------------------------------- reply lines

bool ParseResponse(const QByteArray &text, TUpdateReply &reply)
{
  reply = TUpdateReply();
  const QStringList lines = QString::fromUtf8(text).split(QLatin1String("\r\n"));
  for (const QString &line : lines) {
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    const QString name = (eq < 0 ? line : line.left(eq)).toLower();
    const QString value = eq < 0 ? QString() : line.mid(eq + 1);
    if (name == QLatin1String("version"))
      reply.Version = value;
    else if (name == QLatin1String("versiontext"))
      reply.VersionText = value;
    else if (name == QLatin1String("downloadurl"))
      reply.DownloadUrl = value;
    else if (name == QLatin1String("downloadweb"))
      reply.DownloadWeb = value;
    else if (name == QLatin1String("adsurl"))
      reply.AdsUrl = value;
  }
  if (reply.DownloadWeb.isEmpty()) reply.DownloadWeb = reply.DownloadUrl;
  if (reply.VersionText.isEmpty()) reply.VersionText = reply.Version;
  const QByteArray own(ProgramVersion.data(), ProgramVersion.size());
  return !reply.DownloadUrl.isEmpty() && own < reply.Version.toUtf8();
}

} // namespace kp
