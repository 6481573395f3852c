#pragma once
// The catalogue's log category ("kp.catalogue"): warnings show by default, the
// rest when QT_LOGGING_RULES asks for it.
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcKpCatalogue)
