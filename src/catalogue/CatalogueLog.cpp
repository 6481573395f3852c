#include "CatalogueLog.h"

Q_LOGGING_CATEGORY(lcKpCatalogue, "kp.catalogue", QtWarningMsg)
