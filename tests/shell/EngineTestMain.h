#pragma once

#include "shell/browser/EmbeddedWB.h"

#include <QApplication>
#include <QTest>
#include <QVariant>
#include <QWebEnginePage>

// Runs a script in the page and returns its result, waiting at most
// `timeoutMs` for it.
inline QVariant RunPageScript(QWebEnginePage* page, const QString& source, int timeoutMs)
{
    QVariant result;
    bool finished = false;
    page->runJavaScript(source, [&](const QVariant& v) {
        result = v;
        finished = true;
    });
    if (!QTest::qWaitFor([&] { return finished; }, timeoutMs))
        qWarning("script did not finish");
    return result;
}

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
