#include "progress_sink.h"

ProgressSink TheProgressSink = {nullptr, nullptr, nullptr};

// Each read once: the wizard sets the sink on its own thread.
void ShowLine(int line, const char* text)
{
    const auto show = TheProgressSink.showLine;
    if (show && (line == StageLine || line == StatusLine)) show(static_cast<ShownLine>(line), text);
}

void AdvanceProgress(int amount)
{
    const auto step = TheProgressSink.step;
    if (step) step(amount);
}

void ReportEnded()
{
    const auto ended = TheProgressSink.ended;
    if (ended) ended();
}
