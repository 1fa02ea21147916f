// Helpers of the Windows tests.
#pragma once

#include <windows.h>

#include <string>

// A file path in the temporary folder: prefix "sswintest-" and name.
std::string tempPath(const char* name);
bool fileExists(const std::string& path);
std::string readFile(const std::string& path);
bool writeFile(const std::string& path, const std::string& bytes);
std::string windowsDirectory();

// True when windows can be created (a display is there).
bool haveDisplay();
// Dispatches the thread's queued messages until the queue is empty.
void drainMessages();

// While a modal loop runs on this thread, calls act(window) once for each new
// top-level window titled caption (polled every 50 ms).
class WindowWatcher {
public:
    WindowWatcher(const char* caption, void (*act)(HWND window));
    ~WindowWatcher();
    int seen() const;
};
