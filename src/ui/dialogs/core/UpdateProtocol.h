#pragma once
// The update check's wire protocol, free of sockets: the statistics query,
// the address split, the request text, an incremental reader of the reply
// that gives the same outcome however the bytes are split into reads, and
// the reply's key=value lines. Pure functions and one value class; any
// thread.

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace kp {

// The program's own version as the update server compares it.
inline constexpr QLatin1String ProgramVersion("1.1");

// What the statistics query reports; empty parts (and a zero screen) are left out.
struct TUpdateQuery {
  QString LangId;
  QString GpsFormats;
  int ScreenWidth = 0, ScreenHeight = 0; // physical pixels of the primary screen
  QString DeviceId;                      // the "id" setting, sent behind "rw-"
};

// Url plus "?" (or "&" when it already has a query) and the statistics
// values, appended as they are.
QString AddUpdateQuery(const QString &url, const TUpdateQuery &query);

struct TUrlParts {
  bool Valid = false;
  bool Tls = false; // https
  QString Host;
  uint16_t Port = 80;
  QString Path; // with its query, always starting with "/"
};
// Splits "scheme://host[:port]/path". Only http (also without a scheme) and
// https are valid; a port that is not a number in 1..65535 gives the
// scheme's default. Control characters or blanks anywhere make the address
// invalid, so a reply can never inject header lines into a request.
TUrlParts SplitUrl(const QString &url);
// True for an address SplitUrl accepts with that scheme.
bool IsHttpUrl(const QString &url);
bool IsHttpsUrl(const QString &url);

// The request sent on connect, byte for byte.
QByteArray RequestText(const TUrlParts &url);

// Reply limits.
inline constexpr int64_t MaxHeaderBytes = 64 * 1024;
inline constexpr int64_t MaxCheckReplyBytes = 1 << 20;
inline constexpr int64_t MaxDownloadBytes = int64_t(512) << 20;

// Reads one HTTP/1.x reply fed in arbitrary chunks. The header must be
// complete within MaxHeaderBytes and carry status 200; then the body is
// exactly Content-Length bytes, else "chunked", else everything up to the
// close. Any other transfer coding, a body above the cap, a short body at
// the close or malformed framing fails.
class THttpReplyReader {
public:
  explicit THttpReplyReader(int64_t bodyCap);

  // Bytes as they arrived; ignored once the reader has finished.
  void Feed(QByteArrayView bytes);
  // The peer closed the connection.
  void Close();

  bool Finished() const { return FState == sDone || FState == sFailed; }
  bool Succeeded() const { return FState == sDone; }
  const QByteArray &Body() const { return FBody; }
  // -1 until the header has given a length.
  int64_t ContentLength() const { return FContentLength; }
  // Why it failed; empty otherwise.
  const QString &Error() const { return FError; }

private:
  enum TState { sHeader, sLength, sChunkSize, sChunkData, sChunkDataEnd, sTrailer, sToClose, sDone, sFailed };
  void Run();
  bool ReadHeader();
  bool ReadChunkSize();
  bool ReadChunkData();
  bool ReadChunkDataEnd();
  bool ReadTrailer();
  void TakeBody(int64_t count);
  void Fail(const QString &why);

  int64_t FCap;
  TState FState = sHeader;
  QByteArray FPending; // unparsed bytes
  QByteArray FBody;
  int64_t FContentLength = -1;
  int64_t FChunkLeft = 0;
  int64_t FTrailerBytes = 0;
  QString FError;
};

// The reply's fields.
struct TUpdateReply {
  QString Version, VersionText, DownloadUrl, DownloadWeb, AdsUrl;
};
// Reads the CR LF separated key=value lines (keys in any case, a later line
// overriding an earlier one); true when a download is named and the version
// sorts after ProgramVersion byte-wise (1.2 and 1.10 are newer, 1.05 is not).
bool ParseResponse(const QByteArray &text, TUpdateReply &reply);

} // namespace kp
