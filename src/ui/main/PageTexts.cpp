#include "PageTexts.h"

#include "UnitTranslate.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QString>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

namespace kp {

QString JsStringLiteral(const QString &text)
{
  const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
  return QString::fromUtf8(array.mid(1, array.size() - 2));
}

void SetPageScript(QWebEnginePage &page, const QString &name, const QString &script)
{
  QWebEngineScriptCollection &collection = page.scripts();
  for (const QWebEngineScript &old : collection.find(name)) collection.remove(old);
  QWebEngineScript s;
  s.setName(name);
  // The page's elements and functions exist once its document is parsed.
  s.setInjectionPoint(QWebEngineScript::DocumentReady);
  s.setWorldId(QWebEngineScript::MainWorld);
  s.setRunsOnSubFrames(false);
  s.setSourceCode(script);
  collection.insert(s);
  page.runJavaScript(script);
}

void TranslateAdsPage(QWebEnginePage &page)
{
  SetPageScript(page, QStringLiteral("kpTexts"),
                QStringLiteral("(function () { var tip = document.getElementById('tip'); if (tip) tip.textContent = ") +
                    JsStringLiteral(Translate(u"Ads_Tip")) + QStringLiteral("; })();"));
}

} // namespace kp
