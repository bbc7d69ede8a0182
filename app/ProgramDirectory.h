#pragma once
// The folder that holds the program's file, shown in the save-folder box at start.

#include <QString>

// Everything before the last "/" of `programFile`; "/" for a program in the root
// folder, where that would be empty and the box would show no folder at all.
QString programDirectory(const QString& programFile);
// The folder of the running program (the target of /proc/self/exe).
QString runningProgramDirectory();
