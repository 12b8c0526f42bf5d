#pragma once
#include <string>
#include <string_view>

namespace tonvane {

// Starts programs outside this process: the browser for web pages and the update installer.
class ProgramLauncher {
public:
    virtual ~ProgramLauncher() = default;
    // Opens url in the user's default browser.
    virtual bool openWebPage(std::u16string_view url) = 0;
    // Starts the program at path with no arguments.
    virtual bool startProgram(const std::string& path) = 0;
};

// The real launcher: xdg-open for web pages, the program itself for installers. Both are
// started detached with posix_spawn through a short-lived /bin/sh that puts the child in the
// background and exits at once (we reap it), so no zombie and no waiting thread remain. The
// URL and path travel as arguments, never inside the shell text.
class SystemLauncher final : public ProgramLauncher {
public:
    bool openWebPage(std::u16string_view url) override;
    bool startProgram(const std::string& path) override;
};

// Opens a web page with the system launcher (the program's menu commands and links).
bool openWebPage(std::u16string_view url);

} // namespace tonvane
