// The update server's reply: the input is fed to the reply reader whole and
// split into reads at input-driven points; both must give one outcome, a
// body within the cap, and the reply's fields must give a request without
// injected lines and a versioned program name inside the program's folder.

#include "FuzzSupport.h"
#include "SelfReplace.h"
#include "UpdateProtocol.h"

#include <algorithm>
#include <cstdlib>

namespace {

struct TOutcome {
  bool Ok;
  QByteArray Body;
};

TOutcome Read(QByteArrayView input, int64_t cap, uint32_t seed)
{
  kp::THttpReplyReader reader(cap);
  qsizetype at = 0;
  while (at < input.size()) {
    const qsizetype step = seed == 0 ? input.size() : qsizetype(1 + (seed % 97));
    seed = seed * 1103515245u + 12345u;
    reader.Feed(input.sliced(at, std::min(step, input.size() - at)));
    at += step;
  }
  reader.Close();
  if (!reader.Finished()) std::abort();
  if (reader.Body().size() > cap) std::abort();
  return {reader.Succeeded(), reader.Body()};
}

void Check(bool condition)
{
  if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  kpfuzz::TAllocationBound bound(size);
  const QByteArrayView input(reinterpret_cast<const char *>(data), qsizetype(size));
  const uint32_t choice = kpfuzz::InputChoice(data, size);
  const int64_t cap = (choice & 1) ? kp::MaxCheckReplyBytes : 64;
  const TOutcome whole = Read(input, cap, 0);
  const TOutcome split = Read(input, cap, choice | 1);
  Check(whole.Ok == split.Ok && whole.Body == split.Body);
  if (!whole.Ok) return 0;

  kp::TUpdateReply reply;
  kp::ParseResponse(whole.Body, reply);
  for (const QString &url : {reply.DownloadUrl, reply.AdsUrl, reply.DownloadWeb}) {
    const kp::TUrlParts parts = kp::SplitUrl(url);
    if (!parts.Valid) continue;
    Check(kp::RequestText(parts).count("\r\n") == 4);
  }
  const QString running = QStringLiteral("/opt/kp/kestril-player");
  const QString name = kp::VersionedExeName(running, reply.VersionText);
  Check(name.startsWith(QStringLiteral("/opt/kp/")) && name.indexOf(QLatin1Char('/'), 8) < 0 && name != running);
  return 0;
}
