#include "TelemetryLog.h"

Q_LOGGING_CATEGORY(lcKpTelemetry, "kp.telemetry", QtWarningMsg)
