#pragma once
// Makes fontconfig see only the fonts of one folder for the lifetime of the object: the named fixture
// of tests/sdk/zevuzavidav/fixtures/fonts (none for an empty name), found through a configuration file
// of its own (FONTCONFIG_FILE), with fontconfig ended on the way in and out.
#include "tests/support/TempHome.hpp"

#include <fontconfig/fontconfig.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace reporttest {

class FontFolder {
  public:
    explicit FontFolder(const std::string& fixture) {
        std::filesystem::path fonts = folder_.path() / "fonts";
        std::filesystem::create_directories(fonts);
        if (!fixture.empty())
            std::filesystem::copy_file(std::string(VELO_SOURCE_DIR) +
                                           "/tests/sdk/zevuzavidav/fixtures/fonts/" + fixture,
                                       fonts / fixture);
        config_ = folder_.path() / "fonts.conf";
        std::ofstream(config_) << "<?xml version=\"1.0\"?><fontconfig><dir>" << fonts.string()
                               << "</dir><cachedir>" << (folder_.path() / "cache").string()
                               << "</cachedir></fontconfig>\n";
        // fontconfig reads its configuration again at its next use (reloading in place would leave the
        // earlier one unfreed).
        FcFini();
        ::setenv("FONTCONFIG_FILE", config_.c_str(), 1);
    }
    ~FontFolder() {
        ::unsetenv("FONTCONFIG_FILE");
        FcFini();
    }
    FontFolder(const FontFolder&) = delete;
    FontFolder& operator=(const FontFolder&) = delete;

    // The configuration file, for a program started with FONTCONFIG_FILE pointing at it.
    const std::filesystem::path& configFile() const { return config_; }

  private:
    velotest::TempFolder folder_;
    std::filesystem::path config_;
};

} // namespace reporttest
