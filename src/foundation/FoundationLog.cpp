#include "FoundationLog.h"

Q_LOGGING_CATEGORY(lcKpFoundation, "kp.foundation", QtWarningMsg)
