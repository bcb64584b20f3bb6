#include "support/message_boxes.h"

#include <port_testing.h>

MessageBoxRecorder::MessageBoxRecorder() {
    port::testing::setMessageBoxHandler(
        [this](HWND, const char* text, const char* caption, UINT type) {
            boxes_.push_back({text ? text : "", caption ? caption : "", type});
            return IDOK;
        });
}

MessageBoxRecorder::~MessageBoxRecorder() {
    port::testing::setMessageBoxHandler({});
}

std::string saidToTheUser(const std::string& captured) {
    const std::string checkLine = "velmo: failed call at ";
    std::string said;
    size_t start = 0;
    while (start < captured.size()) {
        size_t end = captured.find('\n', start);
        end = end == std::string::npos ? captured.size() : end + 1;
        if (captured.compare(start, checkLine.size(), checkLine) != 0) {
            said.append(captured, start, end - start);
        }
        start = end;
    }
    return said;
}
