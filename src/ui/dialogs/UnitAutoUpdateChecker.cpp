#include "UnitAutoUpdateChecker.h"

#include "IAuxHost.h"
#include "UnitFormAutoUpdate.h"
#include "UnitGpsConverters.h"
#include "UnitRegSettings.h"
#include "UnitTranslate.h"

#include <QGuiApplication>
#include <QScreen>

#ifndef KP_UPDATE_URL
#define KP_UPDATE_URL ""
#endif

namespace kp {

namespace {

QString &BaseUrlStore()
{
  static QString url = QStringLiteral(KP_UPDATE_URL);
  return url;
}

int GTimeoutMs = 30000;

} // namespace

QString TAutoUpdateChecker::BaseUrl()
{
  return BaseUrlStore();
}
void TAutoUpdateChecker::SetBaseUrl(const QString &url)
{
  BaseUrlStore() = url;
}
void TAutoUpdateChecker::SetTimeoutMs(int ms)
{
  GTimeoutMs = ms;
}

std::unique_ptr<TAutoUpdateChecker> TAutoUpdateChecker::Create(int delayMs, TFormAutoUpdate &form)
{
  return std::make_unique<TAutoUpdateChecker>(delayMs, form);
}

TAutoUpdateChecker::TAutoUpdateChecker(int delayMs, TFormAutoUpdate &form) : FForm(form)
{
  FDelay.setSingleShot(true);
  connect(&FDelay, &QTimer::timeout, this, &TAutoUpdateChecker::StartRequest);
  connect(&FTransfer, &THttpTransfer::Finished, this,
          [this](bool ok, const QByteArray &body, const QString &) { OnReply(ok, body); });
  FTransfer.SetTimeoutMs(GTimeoutMs);
  FDelay.start(std::max(delayMs, 0));
}

void TAutoUpdateChecker::Stop()
{
  FDelay.stop();
  FTransfer.Abort();
  FFinished = true;
}

TUpdateQuery TAutoUpdateChecker::CurrentQuery()
{
  TUpdateQuery query;
  query.LangId = Translate(u"langid");
  query.GpsFormats = GpsFormats();
  if (const QScreen *screen = QGuiApplication::primaryScreen()) {
    const QSize size = screen->size() * screen->devicePixelRatio();
    query.ScreenWidth = size.width();
    query.ScreenHeight = size.height();
  }
  query.DeviceId = settings::InstallationId.Read();
  return query;
}

void TAutoUpdateChecker::StartRequest()
{
  SetGpsFormatsChanged(false);
  QString base = BaseUrl();
  while (base.endsWith(QLatin1Char('/'))) base.chop(1);
  if (base.isEmpty()) {
    FFinished = true;
    return;
  }
  FQuery = CurrentQuery();
  FTransfer.Get(AddUpdateQuery(base + QStringLiteral("/kestrilplayer.php"), FQuery), MaxCheckReplyBytes);
}

void TAutoUpdateChecker::OnReply(bool ok, const QByteArray &body)
{
  FFinished = true;
  if (!ok) return;
  TUpdateReply reply;
  if (ParseResponse(body, reply) && !UpdateCancelled()) FForm.Offer(reply);
  if (IsHttpUrl(reply.AdsUrl) || IsHttpsUrl(reply.AdsUrl))
    FForm.Host().NavigateAds(AddUpdateQuery(reply.AdsUrl, FQuery));
}

} // namespace kp
