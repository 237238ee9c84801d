#pragma once

#include "browserhost.h"

#include <QApplication>
#include <QTest>

// main() of the tests that build the program's windows: the player window
// holds the embedded browser, whose engine needs its setup before the
// application object exists.
#define AURILO_FORM_TEST_MAIN(TestObject)                                                         \
    int main(int argc, char *argv[])                                                              \
    {                                                                                             \
        BrowserHost::registerSchemes();                                                           \
        QApplication app(argc, argv);                                                             \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                  \
        QTEST_DISABLE_KEYPAD_NAVIGATION                                                           \
        TestObject tc;                                                                            \
        QTEST_SET_MAIN_SOURCE_PATH                                                                \
        return QTest::qExec(&tc, argc, argv);                                                     \
    }
