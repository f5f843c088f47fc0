#pragma once

// Points the scanner library at a private configuration that loads only its virtual "test"
// backend. The library reads its configuration once per process, so this runs from a global
// test environment, before any test opens a scanner.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace kalder::test {

class SaneTestBackend : public ::testing::Environment {
public:
    void SetUp() override {
        namespace fs = std::filesystem;
        char pattern[] = "/tmp/kalder-sane-XXXXXX";
        if (!mkdtemp(pattern)) return;
        m_dir = pattern;
        std::ofstream(m_dir / "dll.conf") << "test\n";
        std::error_code ec;
        if (!fs::copy_file("/etc/sane.d/test.conf", m_dir / "test.conf", ec))
            std::ofstream(m_dir / "test.conf") << "number_of_devices 2\n";
        // No trailing colon: that would add the system folders and every network backend.
        setenv("SANE_CONFIG_DIR", m_dir.c_str(), 1);
    }
    void TearDown() override {
        std::error_code ec;
        if (!m_dir.empty()) std::filesystem::remove_all(m_dir, ec);
    }

private:
    std::filesystem::path m_dir;
};

// True when the test backend is installed; tests skip otherwise, or fail where the services
// are required.
inline bool saneTestBackendInstalled() {
    for (const char* dir : {"/usr/lib/x86_64-linux-gnu/sane", "/usr/lib/sane", "/usr/lib64/sane"})
        if (std::filesystem::exists(std::string(dir) + "/libsane-test.so.1")) return true;
    return false;
}

inline const ::testing::Environment* const kSaneEnvironment =
    ::testing::AddGlobalTestEnvironment(new SaneTestBackend);

}  // namespace kalder::test

#define KALDER_REQUIRE_SANE_TEST_BACKEND()                                         \
    do {                                                                           \
        if (!kalder::test::saneTestBackendInstalled()) {                           \
            if (std::getenv("KALDER_REQUIRE_SERVICES"))                            \
                FAIL() << "the scanner library's test backend is not installed";   \
            GTEST_SKIP() << "the scanner library's test backend is not installed"; \
        }                                                                          \
    } while (0)
