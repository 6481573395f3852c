#include "PlaybackLog.h"

Q_LOGGING_CATEGORY(lcKpPlayback, "kp.playback", QtWarningMsg)
