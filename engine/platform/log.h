#pragma once

#include <string>

namespace velmo {

// Writes a line to the log stream and to standard output; needs an open log stream.
void logLine(const std::string& line);
// Closes the log stream if one is open, noting it in the log first.
void closeLog();

// Reports a failed internal consistency check in a modal box numbered by its check site;
// returns when the user has closed the box, and the caller carries on.
void fatalError(int number);

} // namespace velmo
