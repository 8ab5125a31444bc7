// The names of the temporary files outputs are written to before they are
// published, and the removal of those that a process which died left behind.
#pragma once

#include <string>
#include <sys/types.h>

namespace writer {

// "FOLDER/.wmwriter-PID-N.part": short, so that a temporary name fits beside
// an output name of any allowed length, and marked with the writing process.
std::string PartFileName(const std::string& folder, pid_t process, unsigned number);

// The process that wrote a name of that pattern; 0 when the name is not one.
pid_t PartFileProcess(const char* name);

// The folder part of `path`: "." for a bare name, "/" for a name at the root.
std::string FolderOf(const std::string& path);

// Creates a new, empty temporary file beside `target` (write only, mode 0666 before the
// umask) after clearing those of dead runs from its folder. Answers the descriptor and
// stores its name, or -1 with errno set.
int CreatePartFileBeside(const std::string& target, std::string* name);

// Removes the temporary files in `folder` whose process no longer runs (or
// that are older than the last boot), once per folder in this process. Files
// of running processes, this one included, are left alone.
void RemovePartFilesOfDeadRuns(const std::string& folder);

} // namespace writer
