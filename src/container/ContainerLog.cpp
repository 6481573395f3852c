#include "ContainerLog.h"

Q_LOGGING_CATEGORY(lcKpContainer, "kp.container", QtWarningMsg)
