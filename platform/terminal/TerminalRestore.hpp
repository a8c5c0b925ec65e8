#pragma once
// Putting the terminal back however the process ends while the screen is ours: a signal whose default
// action ends the process (faults, aborts, traps, SIGQUIT, SIGSYS, SIGUSR1, real-time signals, ...), an
// uncaught exception, or exit().
//
// installTerminalRestoration() is meant for the very start of the program, before a crash reporter
// installs its handlers. The reporter then sees every signal first, with its original details, records
// it and passes it on, as it passes any earlier handler's signal on; this handler then restores the
// terminal and lets the signal end the process by its default action. It takes only signals that are
// still at their default action (an ignored signal stays ignored, another handler stays in place) and
// gives the main thread a small alternate signal stack when it has none, so a stack overflow restores
// the terminal too. Calling it again does nothing.
//
// Between beginTerminalSession() and endTerminalSession() the screen is ours; restoreTerminal() puts it
// back once (leave the alternate screen, show the caret, reset colours, the saved terminal modes) and is
// safe in signal handlers. Outside a session every handler here only passes the signal on.
namespace term {

void installTerminalRestoration();
// Saves the terminal modes of standard input; from now on an ending signal restores the screen.
void beginTerminalSession();
// The screen has been put back by its owner (endwin): nothing left to restore.
void endTerminalSession();
// Restores the terminal when a session is active and this process began it (not a child it forked);
// true when it did.
bool restoreTerminal();

} // namespace term
