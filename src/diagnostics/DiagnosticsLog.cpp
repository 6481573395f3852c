#include "DiagnosticsLog.h"

Q_LOGGING_CATEGORY(lcKpDiagnostics, "kp.diagnostics", QtWarningMsg)
