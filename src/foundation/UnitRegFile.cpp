#include "UnitRegFile.h"
#include "UnitUtilsFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringTokenizer>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace kp {

namespace {

// A temporary name is the file's name, this mark, ten hex digits of our own
// and the six characters mkostemp puts in: a user's copy beside the file
// ("settings.conf.tmp-draft1") will not have that mark and length by chance.
const char kTempMark[] = ".kp-";
constexpr int kOwnDigits = 10;
constexpr int kSystemChars = 6;

QByteArray OwnDigits()
{
  const quint64 bits = QRandomGenerator::global()->generate64() & ((quint64(1) << (4 * kOwnDigits)) - 1);
  return QByteArray::number(bits, 16).rightJustified(kOwnDigits, '0');
}

bool IsTemporaryOf(const QString &fileName, const QString &name)
{
  const QString prefix = fileName + QLatin1String(kTempMark);
  if (!name.startsWith(prefix) || name.size() != prefix.size() + kOwnDigits + kSystemChars) return false;
  for (qsizetype i = prefix.size(); i < name.size(); ++i) {
    const char16_t c = name[i].unicode();
    const bool hex = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f');
    const bool alnum = hex || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
    if (i < prefix.size() + kOwnDigits ? !hex : !alnum) return false;
  }
  return true;
}

void AppendEscaped(QString &out, const QString &text, bool isName)
{
  for (int i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c == QLatin1Char('\\'))
      out += QLatin1String("\\\\");
    else if (c == QLatin1Char('\n'))
      out += QLatin1String("\\n");
    else if (c == QLatin1Char('\r'))
      out += QLatin1String("\\r");
    else if (isName && c == QLatin1Char('='))
      out += QLatin1String("\\=");
    else if (isName && i == 0 && c == QLatin1Char('#'))
      out += QLatin1String("\\#");
    else
      out += c;
  }
}

// Undoes AppendEscaped from Pos up to an unescaped Stop character (or the end
// of the line); Pos ends on the stop character or at the end.
QString TakeEscaped(const QString &line, int &pos, QChar stop)
{
  QString out;
  while (pos < line.size() && line[pos] != stop) {
    QChar c = line[pos++];
    if (c == QLatin1Char('\\') && pos < line.size()) {
      c = line[pos++];
      if (c == QLatin1Char('n'))
        c = QLatin1Char('\n');
      else if (c == QLatin1Char('r'))
        c = QLatin1Char('\r');
    }
    out += c;
  }
  return out;
}

// Makes a finished rename durable; a failure here loses nothing already
// visible, so it is not reported.
void SyncFolder(const QString &folder)
{
  const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

} // namespace

int TSettingsValues::IndexOf(const QString &name) const
{
  return FIndex.value(name.toCaseFolded(), -1);
}

void TSettingsValues::Reindex()
{
  FIndex.clear();
  for (int i = 0; i < Count(); ++i) FIndex.insert(FItems[i].first.toCaseFolded(), i);
}

bool TSettingsValues::Get(const QString &name, QString &value) const
{
  const int i = IndexOf(name);
  if (i < 0) return false;
  value = FItems[i].second;
  return true;
}

void TSettingsValues::Set(const QString &name, const QString &value)
{
  const int i = IndexOf(name);
  if (i >= 0) {
    FItems[i].second = value;
    return;
  }
  FIndex.insert(name.toCaseFolded(), Count());
  FItems.append({name, value});
}

bool TSettingsValues::Remove(const QString &name)
{
  const int i = IndexOf(name);
  if (i < 0) return false;
  FItems.removeAt(i);
  Reindex();
  return true;
}

QByteArray TSettingsValues::ToText() const
{
  QString text = QStringLiteral("# kestril-player settings\n");
  for (const auto &item : FItems) {
    AppendEscaped(text, item.first, true);
    text += QLatin1Char('=');
    AppendEscaped(text, item.second, false);
    text += QLatin1Char('\n');
  }
  return text.toUtf8();
}

TSettingsValues TSettingsValues::FromText(const QByteArray &text)
{
  TSettingsValues values;
  const QString all = QString::fromUtf8(text);
  for (QStringView lineView : QStringTokenizer(all, QLatin1Char('\n'))) {
    QString line = lineView.toString();
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1); // edited by hand elsewhere
    if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
    int pos = 0;
    const QString name = TakeEscaped(line, pos, QLatin1Char('='));
    if (pos >= line.size()) continue; // no "=": not a value
    ++pos;
    values.Set(name, TakeEscaped(line, pos, QChar(0xFFFF)));
  }
  return values;
}

bool ReplaceFileAtomically(const QString &path, const QByteArray &data, const std::function<void()> &hook,
                           QString &step, int &error)
{
  const auto fail = [&](const char *what) {
    error = errno;
    step = QString::fromLatin1(what);
    return false;
  };
  QByteArray temp = QFile::encodeName(path) + kTempMark + OwnDigits() + "XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return fail("cannot create a temporary file");
  bool ok = WriteAllToFd(fd, data) && ::fsync(fd) == 0;
  if (!ok) fail("cannot write the temporary file");
  if (::close(fd) != 0 && ok) ok = fail("cannot close the temporary file");
  if (ok && hook) hook();
  if (ok && ::rename(temp.constData(), QFile::encodeName(path).constData()) != 0)
    ok = fail("cannot replace the settings file");
  if (!ok)
    ::unlink(temp.constData());
  else
    SyncFolder(QFileInfo(path).absolutePath());
  return ok;
}

void RemoveStaleTempFiles(const QString &path)
{
  const QFileInfo info(path);
  QDir folder(info.absolutePath());
  const QStringList alike =
      folder.entryList({info.fileName() + QLatin1String(kTempMark) + QLatin1Char('*')}, QDir::Files | QDir::Hidden);
  for (const QString &name : alike)
    if (IsTemporaryOf(info.fileName(), name)) folder.remove(name);
}

} // namespace kp
