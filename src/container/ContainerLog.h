#pragma once
// The movie reader's and writer's log: warnings (damaged files) by default,
// details on request (QT_LOGGING_RULES="kp.container.debug=true").

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcKpContainer)
