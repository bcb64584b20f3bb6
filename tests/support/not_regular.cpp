#include "support/not_regular.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <sys/stat.h>
#include <unistd.h>

#include "support/scratch.h"

void makeNotRegular(const std::string& path, NotRegular kind) {
    switch (kind) {
    case NotRegular::Pipe:
        if (::mkfifo(path.c_str(), 0600) != 0) {
            throw std::runtime_error("mkfifo " + path);
        }
        return;
    case NotRegular::Directory:
        std::filesystem::create_directories(path);
        writeFile(path + "/inside", "x", 1);
        return;
    case NotRegular::Device:
        std::filesystem::create_symlink("/dev/zero", path);
        return;
    }
}

std::optional<ShortReadFile> findShortReadFile() {
    const std::string path = "/sys/devices/system/cpu/online";
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error) ||
        std::filesystem::file_size(path, error) != 4096) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    std::string gives((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (gives.empty() || gives.size() >= 4096) {
        return std::nullopt;
    }
    return ShortReadFile{path, std::move(gives)};
}

const char* notRegularName(NotRegular kind) {
    static const char* const names[] = {"Pipe", "Directory", "Device"};
    return names[int(kind)];
}

namespace {

// Standard error as it was when the deadline was set, before a test captured it.
int deadlineOut = -1;

void timeUp(int) {
    static const char text[] = "\nstill waiting when the deadline passed (an open of a pipe?)\n";
    const ssize_t ignored = ::write(deadlineOut, text, sizeof text - 1);
    static_cast<void>(ignored);
    ::_exit(1);
}

} // namespace

Deadline::Deadline(unsigned seconds) {
    deadlineOut = ::dup(STDERR_FILENO);
    struct sigaction action = {};
    action.sa_handler = timeUp;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGALRM, &action, nullptr);
    ::alarm(seconds);
}

Deadline::~Deadline() {
    ::alarm(0);
    std::signal(SIGALRM, SIG_DFL);
    ::close(deadlineOut);
    deadlineOut = -1;
}
