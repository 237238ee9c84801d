#include "logging.h"

Q_LOGGING_CATEGORY(lcWinfra, "aurilo.winfra", QtInfoMsg)
Q_LOGGING_CATEGORY(lcShell, "aurilo.shell", QtInfoMsg)
Q_LOGGING_CATEGORY(lcCatalog, "aurilo.catalog", QtInfoMsg)
Q_LOGGING_CATEGORY(lcControls, "aurilo.controls", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSettings, "aurilo.settings", QtInfoMsg)
Q_LOGGING_CATEGORY(lcUpdate, "aurilo.update", QtInfoMsg)
