#pragma once
// The subcommands of nxdevice. Each takes the arguments after its name and returns the exit
// code: 0 on success, 1 when the device refuses, 2 for a usage error. Each reports its own
// errors with one line on standard error (CommandError, UsageError).

#include <string>
#include <string_view>
#include <vector>

namespace nxdevice {

using Args = std::vector<std::string>;

int CmdInit(const Args& args);     // cmd_init.cpp
int CmdPs(const Args& args);       // cmd_ps.cpp
int CmdWindows(const Args& args);  // cmd_windows.cpp
int CmdPost(const Args& args);     // cmd_post.cpp
int CmdStop(const Args& args);     // cmd_stop.cpp
int CmdClick(const Args& args);    // cmd_click.cpp
// More subcommands (such as a dialog control's click) are declared here, defined in a
// cmd_<name>.cpp of their own and added to the table in main.cpp.

// "nxdevice COMMAND: message" on standard error; returns 1.
int CommandError(std::string_view command, std::string_view message);

// "nxdevice COMMAND: message" and the command's usage line on standard error; returns 2.
int UsageError(std::string_view command, std::string_view message);

// The host folder that holds nxdevice's own executable, where the other device tools are.
std::string ToolFolder();

}  // namespace nxdevice
