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

// What the program said on standard error for the user, without the lines that the sanitizer
// and GL-check builds add for each failed Direct3D or D3DX call ("velmo: failed call at ...").
std::string saidToTheUser(const std::string& captured);
