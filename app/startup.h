#pragma once
// Start-up and exit of the program, and the main window's created-event handler.
class MainWindow;

// The exit status of a program whose jobs did not end in the exit wait (sysexits'
// EX_SOFTWARE): it ended at once, without its exit routines.
inline constexpr int kExitJobsBusy = 70;

// Creates the program-wide objects, registers endProgram to run at exit, runs the module
// initialisers, loads and shows the main window and runs the window loop until it closes.
// A QApplication must exist. Returns 0 once every job has ended, for main() to return it
// through the QApplication's destructor (which hands copied rows to a clipboard manager),
// the static destructors and endProgram. A job still busy after the exit wait ends the
// process at once instead: one line on standard error names it, and the status is
// kExitJobsBusy.
int startProgram();

// Gives every window the program's icon and tells the window system which installed
// desktop entry the windows belong to. startProgram calls it.
void setDesktopIdentity();

// Releases the program-wide objects: the ZTE model table, the last parse error text and
// the error log.
void endProgram();

// Writes the window caption and the About page's author, notice and contact lines from
// the enciphered constants.
void onMainWindowCreated();

// Makes the main window, binds its handlers and raises its created event. Null when
// there is no window system to show it on.
MainWindow* loadMainWindow();

// Where the window was, its size and the page shown, from the settings and back. Loaded
// before the window shows, saved when it has closed.
void restoreWindowState(MainWindow& window);
void saveWindowState(const MainWindow& window);
