#pragma once
// What an installation tells whoever shows it: the stage and status lines,
// the bar's steps, and once that it ended. It knows no window: without one
// (the run with /S) everything told goes nowhere.

#include "script_format.h"

struct ProgressSink {
    void (*showLine)(ShownLine line, const char* text);
    void (*step)(int amount);
    // Once, from the worker, after the log is written; it must only post:
    // the pages change on the dialog's own thread.
    void (*ended)();
};

// Set by the wizard while it shows; all null otherwise.
extern ProgressSink TheProgressSink;

// A line that is neither of the two is not shown.
void ShowLine(int line, const char* text);
void AdvanceProgress(int amount);
void ReportEnded();
