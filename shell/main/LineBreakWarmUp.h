#pragma once

#include <thread>

// The first Thai text laid out in a run loads the line breaker's Thai
// dictionary, some 10 ms of work. The main window starts that load on a
// thread of its own while it builds its components, and waits for it
// before it lays out any text: the breaker's first load is not safe from
// two threads at once.
class TLineBreakWarmUp
{
public:
    TLineBreakWarmUp() = default;
    ~TLineBreakWarmUp();
    TLineBreakWarmUp(const TLineBreakWarmUp&) = delete;
    TLineBreakWarmUp& operator=(const TLineBreakWarmUp&) = delete;

    // Starts the load, once a run; later calls (a second main window) do
    // nothing. Where no thread can be had, the first text loads it as ever.
    void Start();
    // Returns once the load that Start began has ended.
    void Finish();

private:
    std::thread thread_;
};
