#include "MapWebPage.h"

#include "MessageBoxes.h"
#include "PageTexts.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

Q_LOGGING_CATEGORY(lcMapPage, "kp.map.page")

namespace kp {

namespace {

const QString kCallbackPrefix = QStringLiteral("http://callback/");
const QString kTileScriptName = QStringLiteral("kpTileUrl");
const QString kTextsScriptName = QStringLiteral("kpTexts");
const QString kProgramAgent = QStringLiteral("KestrilPlayer/1.1");

// A JavaScript string literal of Text.
QString JsString(const QString &text)
{
  const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
  return QString::fromUtf8(array.mid(1, array.size() - 2));
}

} // namespace

TMapWebPage::TMapWebPage(QWebEngineProfile *profile, QObject *parent)
  : QWebEnginePage(profile ? profile : QWebEngineProfile::defaultProfile(), parent), OnOpenLink([](const QUrl &url) {
      OpenWithDesktop(url.toString(QUrl::FullyEncoded), CantOpenReport(QApplication::activeWindow()));
    })
{
  // The page comes from the program's resources and its tiles from the net.
  settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
  SetTileUrl(QString());
}

QWebEngineProfile *TMapWebPage::MakeProfile(QObject *parent)
{
  auto *profile = new QWebEngineProfile(parent);
  profile->setHttpUserAgent(profile->httpUserAgent() + QLatin1Char(' ') + kProgramAgent);
  return profile;
}

void TMapWebPage::SetTileUrl(const QString &url)
{
  QWebEngineScriptCollection &collection = scripts();
  for (const QWebEngineScript &old : collection.find(kTileScriptName)) collection.remove(old);
  QWebEngineScript script;
  script.setName(kTileScriptName);
  script.setInjectionPoint(QWebEngineScript::DocumentCreation);
  script.setWorldId(QWebEngineScript::MainWorld);
  script.setRunsOnSubFrames(false);
  script.setSourceCode(QStringLiteral("window.kpTileUrl = ") + JsString(url) + QLatin1Char(';'));
  collection.insert(script);
}

void TMapWebPage::SetPageTexts(const QString &loading, const QString &offline, const QString &refresh)
{
  SetPageScript(*this, kTextsScriptName,
                QStringLiteral("if (typeof SetTexts === 'function') SetTexts(") + JsStringLiteral(loading) +
                    QLatin1Char(',') + JsStringLiteral(offline) + QLatin1Char(',') + JsStringLiteral(refresh) +
                    QStringLiteral(");"));
}

bool TMapWebPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
  const QString text = url.toString();
  if (text.startsWith(kCallbackPrefix)) {
    const QStringView command = QStringView(text).mid(kCallbackPrefix.size());
    if (command == u"loaded" || command.startsWith(u"loaded?")) FSaidLoaded = true;
    if (OnCallback) OnCallback(url);
    return false;
  }
  if (!isMainFrame) return true;
  if (type == NavigationTypeLinkClicked) {
    if (OnOpenLink) OnOpenLink(url);
    return false;
  }
  FSaidLoaded = false;
  return true;
}

void TMapWebPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message, int line,
                                           const QString &source)
{
  if (level == ErrorMessageLevel) qCDebug(lcMapPage) << source << line << message;
}

} // namespace kp
