#include "engine/core/paths.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/task.h"

namespace quill {
namespace {

/// Sets HOME (or removes it) for one test and puts the old value back afterwards.
class ScopedHome {
  public:
    explicit ScopedHome(const char* value) {
        if (const char* old = std::getenv("HOME"))
            m_saved = old;
        if (value != nullptr) {
            ::setenv("HOME", value, 1);
        } else {
            ::unsetenv("HOME");
        }
    }
    ~ScopedHome() {
        if (m_saved) {
            ::setenv("HOME", m_saved->c_str(), 1);
        } else {
            ::unsetenv("HOME");
        }
    }
    ScopedHome(const ScopedHome&) = delete;
    ScopedHome& operator=(const ScopedHome&) = delete;

  private:
    std::optional<std::string> m_saved;
};

TEST(HomeDirectoryConcurrencyTest, WithoutHomeEveryThreadGetsThePasswordDatabaseEntry) {
    const passwd* entry = getpwuid(getuid());
    ASSERT_NE(entry, nullptr);
    const std::string expected = entry->pw_dir;

    for (const char* home : {static_cast<const char*>(nullptr), ""}) {
        const ScopedHome scoped(home);
        // The profile's probes ask for the home folder from many threads at once.
        constexpr std::size_t kThreads = 16;
        std::vector<std::string> answers(kThreads);
        std::vector<std::function<void()>> askers;
        for (std::size_t i = 0; i < kThreads; ++i) {
            askers.emplace_back([&answers, i] {
                for (int round = 0; round < 200; ++round)
                    answers[i] = homeDirectoryPath().string();
            });
        }
        runConcurrently(std::move(askers));
        for (const auto& answer : answers)
            EXPECT_EQ(answer, expected) << (home == nullptr ? "HOME unset" : "HOME empty");
    }

    const ScopedHome scoped("/Users/someone");
    EXPECT_EQ(homeDirectoryPath(), "/Users/someone");
}

}  // namespace
}  // namespace quill
