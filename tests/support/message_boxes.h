// Records message boxes instead of showing them, for the lifetime of the object.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

struct RecordedBox {
    std::string text;
    std::string caption;
    UINT type;
};

class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    const std::vector<RecordedBox>& boxes() const { return boxes_; }

private:
    std::vector<RecordedBox> boxes_;
};
