#pragma once
// The foundation's log category ("kp.foundation"): warnings show by default, the
// rest when QT_LOGGING_RULES asks for it.
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcKpFoundation)
