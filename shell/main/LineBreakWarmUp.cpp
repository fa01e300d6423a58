#include "shell/main/LineBreakWarmUp.h"

#include <QString>
#include <QTextBoundaryFinder>

#include <atomic>
#include <system_error>

TLineBreakWarmUp::~TLineBreakWarmUp()
{
    Finish();
}

void TLineBreakWarmUp::Start()
{
    static std::atomic_bool started{false};
    if (started.exchange(true))
        return;
    try {
        thread_ = std::thread([] {
            QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, QStringLiteral("ภาษาไทย"));
            while (breaks.toNextBoundary() != -1) {
            }
        });
    } catch (const std::system_error&) {
        // No thread: the first Thai text loads the dictionary itself.
    }
}

void TLineBreakWarmUp::Finish()
{
    if (thread_.joinable())
        thread_.join();
}
