// Paths that are no regular file, as a user leaves them where a data file belongs (a named
// pipe, a directory, a device), and a bound on anything that could wait on one.
#pragma once

#include <string>

enum class NotRegular { Pipe, Directory, Device };

inline constexpr NotRegular kNotRegularKinds[] = {NotRegular::Pipe, NotRegular::Directory,
                                                  NotRegular::Device};

// Makes path a named pipe that nobody writes to, a directory holding one file, or a link to
// the zero device.
void makeNotRegular(const std::string& path, NotRegular kind);
const char* notRegularName(NotRegular kind);

// While one lives, the process ends with a failure (status 1, a line on standard error) once
// `seconds` have passed: an open that waits on a pipe fails its test at once instead of holding
// the suite until its time-out.
class Deadline {
public:
    explicit Deadline(unsigned seconds);
    ~Deadline();
    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;
};
