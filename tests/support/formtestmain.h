#pragma once

#include "accessiblepopups.h"
#include "browserhost.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

// main() of the tests that build the program's windows, set up as the
// program's own: the player window holds the embedded browser, whose engine
// needs its setup before the application object exists, and open menus are
// in the accessibility tree. Downloads keep their disk cache in a folder of
// the test's own, never in the user's cache.
#define AURILO_FORM_TEST_MAIN(TestObject)                                                          \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        QTemporaryDir cacheHome;                                                                   \
        qputenv("XDG_CACHE_HOME", cacheHome.path().toLocal8Bit());                                 \
        BrowserHost::registerSchemes();                                                            \
        AccessiblePopups::install();                                                               \
        QApplication app(argc, argv);                                                              \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        QTEST_DISABLE_KEYPAD_NAVIGATION                                                            \
        TestObject tc;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }
