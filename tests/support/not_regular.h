// Paths that are no regular file, as a user leaves them where a data file belongs (a named
// pipe, a directory, a device), and a bound on anything that could wait on one.
#pragma once

#include <optional>
#include <string>

enum class NotRegular { Pipe, Directory, Device };

inline constexpr NotRegular kNotRegularKinds[] = {NotRegular::Pipe, NotRegular::Directory,
                                                  NotRegular::Device};

// Makes path a named pipe that nobody writes to, a directory holding one file, or a link to
// the zero device.
void makeNotRegular(const std::string& path, NotRegular kind);
const char* notRegularName(NotRegular kind);

// A regular file that gives fewer bytes than its size says: a kernel attribute file, sized a
// page (4096 bytes), holding a line. Its path and the line it gives, or nothing where this
// machine has no such file.
struct ShortReadFile {
    std::string path;
    std::string gives;
};
std::optional<ShortReadFile> findShortReadFile();

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
