// Changes to this test process's own environment, undone when the test's scope ends; for
// code under test that reads the environment directly.
#pragma once

#include <initializer_list>
#include <map>
#include <optional>
#include <string>

namespace tarnwick::testing {

class ScopedEnv {
public:
    // Sets each variable with a value and removes each one given nullopt.
    using Change = std::pair<const std::string, std::optional<std::string>>;
    explicit ScopedEnv(std::initializer_list<Change> changes);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace tarnwick::testing
