#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace kptest {

// Folder of the shared GPS sample files, or empty when this clone has none.
QString samplesDir();

// True when running under CI, where a missing sample or tool is a failure.
bool underCI();

// Full path of a sample file; empty when the samples folder is absent.
QString samplePath(const QString &relative);

QByteArray readFileBytes(const QString &path);
bool writeFileBytes(const QString &path, const QByteArray &bytes);

// Path of an external test oracle (ffprobe, gpsbabel, ...), or empty.
QString findTool(const QString &name);

// Runs the event loop until pred holds or timeoutMs passes; returns pred.
bool waitUntil(const std::function<bool()> &pred, int timeoutMs);
// Runs the event loop for ms milliseconds.
void spin(int ms);

} // namespace kptest

// Skips the test when the samples folder is absent, but fails under CI=true.
#define KP_REQUIRE_SAMPLES() \
  do { \
    if (kptest::samplesDir().isEmpty()) { \
      if (kptest::underCI()) FAIL() << "shared/samples is missing under CI"; \
      GTEST_SKIP() << "shared/samples not found beside this clone; skipping"; \
    } \
  } while (0)

// Skips the test when an oracle tool is missing, but fails under CI=true.
#define KP_REQUIRE_TOOL(var, name) \
  const QString var = kptest::findTool(name); \
  do { \
    if (var.isEmpty()) { \
      if (kptest::underCI()) FAIL() << "test tool missing under CI: " << name; \
      GTEST_SKIP() << "test tool not installed: " << name; \
    } \
  } while (0)
