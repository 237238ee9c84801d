#include "storeslogging.h"

Q_LOGGING_CATEGORY(lcStores, "aurilo.stores", QtInfoMsg)
