#pragma once
// The display's log category ("kp.display"): warnings show by default, the
// rest when QT_LOGGING_RULES asks for it.
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcKpDisplay)
