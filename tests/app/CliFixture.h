#pragma once
// Runs the built tonvane binary with its own settings, cache and music folders.
#include "core/ProductConfig.h"
#include "core/settings/SettingsStore.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace tonvane::test {

class CliRun : public ::testing::Test {
protected:
    CliRun()
    {
        // Rips check AccurateRip: by default against a port that refuses at once.
        ScopedEnv config("XDG_CONFIG_HOME", m_config.path().c_str());
        settings::writeString(product::kProductKey, u"\\AccurateRip", u"Server", u"127.0.0.1:1");
    }
    ProcessResult tonvane(std::vector<std::string> arguments, std::vector<std::string> environment = {},
                          int timeoutMs = 180000)
    {
        environment.push_back("XDG_CONFIG_HOME=" + m_config.path());
        environment.push_back("XDG_CACHE_HOME=" + m_config.path() + "/cache");
        environment.push_back("XDG_MUSIC_DIR=" + m_dir.path() + "/music");
        return runProcess(std::string(TONVANE_BINARY_DIR) + "/app/tonvane", arguments, environment, timeoutMs);
    }
    std::string out(const std::string& name) const { return m_dir.path() + "/out/" + name; }
    std::string path(const std::string& name) const { return m_dir.path() + "/" + name; }

    TempDir m_dir;
    TempDir m_config;
};

} // namespace tonvane::test
