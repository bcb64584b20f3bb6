#include "engine/resources/data_file.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <windows.h>

namespace velmo {

DataFile::~DataFile() {
    close();
}

bool DataFile::open(const std::string& path) {
    close();
    // Non-blocking only for the open itself, so that a pipe without a writer does not hold it;
    // what is not a regular file is closed again before anything reads from it.
    const int opened = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (opened < 0) {
        return false;
    }
    struct stat info = {};
    const int flags = ::fcntl(opened, F_GETFL);
    if (::fstat(opened, &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 ||
        ::fcntl(opened, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(opened);
        return false;
    }
    fd = opened;
    length = static_cast<uint64_t>(info.st_size);
    return true;
}

size_t DataFile::read(void* into, size_t count) {
    auto* bytes = static_cast<unsigned char*>(into);
    size_t done = 0;
    while (fd >= 0 && done < count) {
        const ssize_t got = ::read(fd, bytes + done, count - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        done += static_cast<size_t>(got);
    }
    return done;
}

void DataFile::close() {
    if (fd >= 0) {
        ::close(fd);
    }
    fd = -1;
    length = 0;
}

void reportUnopenedFile(const std::string& name) {
    MessageBoxA(nullptr, ("Couldn't open file!\n" + name).c_str(), "error", MB_OK);
}

} // namespace velmo
