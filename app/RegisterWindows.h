#pragma once
// The windows this program has, registered with the entry operations by which the workbench's
// windows open one another (WorkbenchWindows.h). Kept apart from those operations, which the
// windows themselves call, so that no window's unit depends on itself through them.

// Registers the factories of the data, structure and migration windows and the filler dialog;
// the program calls it once at start (each window's unit adds its line here).
void RegisterWorkbenchWindows();
