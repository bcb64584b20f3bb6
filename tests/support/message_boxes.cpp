#include "support/message_boxes.h"

#include <port_testing.h>

MessageBoxRecorder::MessageBoxRecorder() {
    port::testing::setMessageBoxHandler([this](HWND, const char* text, const char* caption, UINT type) {
        boxes_.push_back({text ? text : "", caption ? caption : "", type});
        return IDOK;
    });
}

MessageBoxRecorder::~MessageBoxRecorder() { port::testing::setMessageBoxHandler({}); }
