#pragma once
// The playback's log category ("kp.playback"): warnings show by default, the
// rest when QT_LOGGING_RULES asks for it.
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcKpPlayback)
