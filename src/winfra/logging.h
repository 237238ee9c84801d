#pragma once

#include <QLoggingCategory>

// One logging category per subsystem.
Q_DECLARE_LOGGING_CATEGORY(lcWinfra)
Q_DECLARE_LOGGING_CATEGORY(lcShell)
Q_DECLARE_LOGGING_CATEGORY(lcCatalog)
Q_DECLARE_LOGGING_CATEGORY(lcControls)
Q_DECLARE_LOGGING_CATEGORY(lcSettings)
Q_DECLARE_LOGGING_CATEGORY(lcUpdate)
