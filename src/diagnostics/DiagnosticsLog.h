#pragma once
// The diagnostics's log category ("kp.diagnostics"): warnings show by default, the
// rest when QT_LOGGING_RULES asks for it.
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcKpDiagnostics)
