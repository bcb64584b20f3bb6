// Data files opened for reading only when they are regular files, and the word the user gets
// when one does not open.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace velmo {

// A data file open for reading. Only a regular file opens: a directory, a named pipe or a
// device in its place counts as a file that does not open. Opening never waits (an ordinary
// open of a pipe waits for a writer for ever), and the size is the opened file's own.
class DataFile {
public:
    DataFile() = default;
    ~DataFile();
    DataFile(const DataFile&) = delete;
    DataFile& operator=(const DataFile&) = delete;

    // Opens path, closing whatever was open before; false, and nothing open, when path does
    // not open or is not a regular file.
    bool open(const std::string& path);
    // The length in bytes when the file was opened; 0 when none is open.
    uint64_t size() const { return length; }
    // Reads up to count bytes on from the current position, through interrupted and partial
    // reads; gives how many arrived (fewer at the end of the file or on a read error).
    size_t read(void* into, size_t count);

private:
    void close();

    int fd = -1;
    uint64_t length = 0;
};

// Tells the user that the named data file does not open: the box every such file gives.
void reportUnopenedFile(const std::string& name);

} // namespace velmo
