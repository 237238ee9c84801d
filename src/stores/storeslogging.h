#pragma once

#include <QLoggingCategory>

// Engine failures of the favourites and the history never reach the user;
// they end up here.
Q_DECLARE_LOGGING_CATEGORY(lcStores)
