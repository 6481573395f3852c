#pragma once
// The words of the program's own web pages (the map page, the strip under
// the map) in the active language. A page's words are set by a script that
// runs on the document shown and again on every document the page loads
// later, once it is parsed. Main thread only.

class QString;
class QWebEnginePage;

namespace kp {

// A JavaScript string literal of Text (quotes and escapes included).
QString JsStringLiteral(const QString &text);
// Runs Script on the page now and, under Name (replacing an earlier script
// of that name), on each document the page loads later.
void SetPageScript(QWebEnginePage &page, const QString &name, const QString &script);
// The strip's tip in the active language.
void TranslateAdsPage(QWebEnginePage &page);

} // namespace kp
