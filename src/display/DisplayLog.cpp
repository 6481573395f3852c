#include "DisplayLog.h"

Q_LOGGING_CATEGORY(lcKpDisplay, "kp.display", QtWarningMsg)
