#pragma once

#include "catalogue/programpaths.h"

#include <QStringList>
#include <QTextStream>
#include <optional>

// The program's own command line: --check [--catalogue FILE], --help and
// --version. They run without a window, a display or the web engine; any
// other start shows the window (Qt's own options are the toolkit's).
namespace CheckCommandLine {

// Exit codes of --check.
constexpr int kNothingWrong = 0;
constexpr int kProblemsFound = 1;
constexpr int kCouldNotRun = 2;

// Whether the arguments (the program's name first) ask for the command line
// rather than the window.
bool isAsked(const QStringList &arguments);

// Runs what the arguments ask for, writing to out and err, with the
// program's places in paths; the exit code.
int run(const QStringList &arguments, const ProgramPaths &paths, QTextStream &out,
        QTextStream &err);

// The whole command line of the program before anything else starts: the
// exit code when the arguments were the command line's, nothing when the
// window is to start.
std::optional<int> runIfAsked(int argc, char **argv);

} // namespace CheckCommandLine
