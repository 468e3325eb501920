#pragma once
// Appending one record to a report file that several processes may append
// to at once: the file is opened for appending (created when missing, never
// truncated), locked with an advisory exclusive lock, and the record is
// written in one write, so records never interleave or overwrite each other.

#include <string>

namespace cli {

// Appends `line` and a line end to the file at `path`. Returns an empty
// text on success, else why it failed (for standard error).
std::string AppendReportLine(const std::string& path, const std::string& line);

}  // namespace cli

namespace cli {

// Opens the file at `path` for appending (creating it when missing) and
// closes it again, so that a run can refuse a report file it could never
// write before it touches an instrument. Empty text when usable.
std::string CheckReportFile(const std::string& path);

}  // namespace cli
