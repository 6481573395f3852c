#pragma once
// Warnings of the track readers: a file that no format could read, with the
// reader that gave up and the line where it stopped.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcKpTelemetry)
