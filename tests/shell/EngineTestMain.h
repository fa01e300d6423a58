#pragma once

#include "shell/browser/EmbeddedWB.h"

#include <QApplication>
#include <QTest>

// The main of a test that starts the web engine: the engine's schemes and
// process settings must be in place before the application object exists.
#define BREVANT_ENGINE_TEST_MAIN(TestObject)                                                       \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        PrepareWebEngine();                                                                        \
        QApplication app(argc, argv);                                                              \
        TestObject tc;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }
