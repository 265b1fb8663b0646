// nwcmd: building the driver's command line from the main window, the
// command-line log NW_CMD.LOG and the texts that report a run's end.
#ifndef NW_FRONTEND_NWCMD_H
#define NW_FRONTEND_NWCMD_H

#include <string>
#include <vector>

#include "frontend/nwform.h"
#include "frontend/nwstate.h"

// Exit code reported for a child ended by an interrupt (the console-interrupt
// status of the original platform; a real exit status is never this value).
#define NW_EXIT_INTERRUPTED (static_cast<int>(0xC000013Au))

// True when name is an existing file (not a folder).
bool FileExists(const std::string& name);

// Checks the run options, fills the slots and returns the command line; an
// empty text when a check refused (its message shown) or the user said No.
// words (optional) receives the same command line as separate words, the
// path and every argument one word each, ready to start without a shell.
std::string BuildCmd(NwForm& f, NwPrompt& p, NwState& s, std::vector<std::string>* words);

// Message reporting a run's exit code.
std::string nw_exit_message(int code);

// Appends date, time and command line, each ended by CR LF, to the log file.
// On failure returns false with the reason in *err; the file is left as it was
// or with whole lines only as far as the system allows.
bool nw_log_append(const std::string& path, const std::string& date, const std::string& time,
                   const std::string& cmdline, std::string* err);

#define NW_LOG_NAME "NW_CMD.LOG"

#endif
