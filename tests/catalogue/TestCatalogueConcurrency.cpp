#include "CatalogueTestSupport.h"
