// Code-page conversion over iconv: Qt 6 only guarantees the Unicode codecs,
// while track files and camera set-up texts come in Windows code pages.
#include "UnitUtils.h"

#include <cerrno>
#include <iconv.h>

namespace kp {

namespace {

QByteArray iconvName(int codePage)
{
  switch (codePage) {
  case 0:
  case 65001: return "UTF-8";
  case 1200: return "UTF-16LE";
  case 1201: return "UTF-16BE";
  case 20866: return "KOI8-R";
  case 21866: return "KOI8-U";
  case 28591: return "ISO-8859-1";
  case 28595: return "ISO-8859-5";
  default: return "CP" + QByteArray::number(codePage);
  }
}

// Converts with iconv; an input sequence the source cannot decode, or a
// character the target cannot hold, becomes `substitute` (nothing when 0).
QByteArray runIconv(const QByteArray &in, const QByteArray &from, const QByteArray &to, char substitute, int inputStep)
{
  iconv_t cd = iconv_open(to.constData(), from.constData());
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  QByteArray out;
  out.reserve(in.size() * 2 + 16);
  char buf[4096];
  char *inp = const_cast<char *>(in.constData());
  size_t inLeft = static_cast<size_t>(in.size());
  while (inLeft > 0) {
    char *outp = buf;
    size_t outLeft = sizeof buf;
    const size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
    out.append(buf, static_cast<qsizetype>(outp - buf));
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL: skip one input unit and put the substitute.
    const size_t skip = std::min(static_cast<size_t>(inputStep), inLeft);
    inp += skip;
    inLeft -= skip;
    if (substitute) out.append(substitute);
  }
  char *outp = buf;
  size_t outLeft = sizeof buf;
  iconv(cd, nullptr, nullptr, &outp, &outLeft);
  out.append(buf, static_cast<qsizetype>(outp - buf));
  iconv_close(cd);
  return out;
}

} // namespace

QString DecodeCodePage(const QByteArray &text, int codePage)
{
  if (text.isEmpty()) return {};
  const QByteArray name = iconvName(codePage);
  if (name == "UTF-8") return QString::fromUtf8(text);
  const QByteArray utf16 = runIconv(text, name, "UTF-16LE", 0, 1);
  QString s(reinterpret_cast<const QChar *>(utf16.constData()), utf16.size() / 2);
  return s;
}

QByteArray EncodeCodePage(const QString &text, int codePage)
{
  if (text.isEmpty()) return {};
  const QByteArray name = iconvName(codePage);
  if (name == "UTF-8") return text.toUtf8();
  const QByteArray utf16(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
  return runIconv(utf16, "UTF-16LE", name, '?', 2);
}

QByteArray ConvertCodePage(const QByteArray &text, int fromCodePage, int toCodePage)
{
  if (text.isEmpty()) return {};
  return EncodeCodePage(DecodeCodePage(text, fromCodePage), toCodePage);
}

} // namespace kp
