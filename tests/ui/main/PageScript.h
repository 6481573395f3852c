#pragma once
// A script run in a web page, waited for: its result as text (empty when the
// page gave none within five seconds).

#include "TestSupport.h"

#include <QWebEnginePage>

namespace kptest {

inline QString RunScript(QWebEnginePage *page, const QString &script)
{
  QString result;
  bool done = false;
  page->runJavaScript(script, [&](const QVariant &v) {
    result = v.toString();
    done = true;
  });
  kptest::waitUntil([&] { return done; }, 5000);
  return result;
}

} // namespace kptest
