#include "support/scoped_env.hpp"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <cstring>

namespace tarnwick::testing {
namespace {

void apply(const std::string& name, const std::optional<std::string>& value) {
    const int rc = value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
    if (rc != 0) ADD_FAILURE() << "cannot change " << name << ": " << std::strerror(errno);
}

}  // namespace

ScopedEnv::ScopedEnv(std::initializer_list<Change> changes) {
    for (const auto& [name, value] : changes) {
        const char* old = std::getenv(name.c_str());
        saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        apply(name, value);
    }
}

ScopedEnv::~ScopedEnv() {
    for (const auto& [name, value] : saved_) apply(name, value);
}

}  // namespace tarnwick::testing
