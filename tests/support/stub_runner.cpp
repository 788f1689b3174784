#include "support/stub_runner.hpp"

#include <gtest/gtest.h>

#include <cerrno>

namespace tarnwick::testing {
namespace {

std::string joined(const std::vector<std::string>& argv) {
    std::string line;
    for (const auto& a : argv) line += (line.empty() ? "" : " ") + a;
    return line;
}

bool matches(const std::vector<std::string>& pattern, const ChildCall& call) {
    if (pattern.empty() || pattern[0] != call.program) return false;
    const bool open_end = pattern.back() == "...";
    const std::size_t fixed = pattern.size() - (open_end ? 2 : 1);
    if (open_end ? call.args.size() < fixed : call.args.size() != fixed) return false;
    for (std::size_t i = 0; i < fixed; ++i) {
        if (pattern[i + 1] != "*" && pattern[i + 1] != call.args[i]) return false;
    }
    return true;
}

}  // namespace

std::string call_line(const ChildCall& call) {
    std::vector<std::string> argv{call.program};
    argv.insert(argv.end(), call.args.begin(), call.args.end());
    return joined(argv);
}

StubRunner::StubRunner() {
    previous_ = set_child_hook([this](const ChildCall& call) { return answer(call); });
}

StubRunner::~StubRunner() {
    set_child_hook(std::move(previous_));
    for (const auto& stub : stubs_) {
        if (!stub.used && !stub.optional) {
            ADD_FAILURE() << "expected call never came: " << joined(stub.argv);
        }
    }
}

void StubRunner::expect(std::vector<std::string> argv, Reply reply) {
    expect(std::move(argv), [reply](const ChildCall&) { return reply; });
}

void StubRunner::expect(std::vector<std::string> argv, Respond respond) {
    stubs_.push_back({std::move(argv), std::move(respond)});
}

void StubRunner::allow(std::vector<std::string> argv, Reply reply) {
    stubs_.push_back({std::move(argv), [reply](const ChildCall&) { return reply; }, false, true});
}

std::vector<std::string> StubRunner::call_lines() const {
    std::vector<std::string> lines;
    for (const auto& call : calls_) lines.push_back(call_line(call));
    return lines;
}

Result<ChildOutput, OsError> StubRunner::answer(const ChildCall& call) {
    calls_.push_back(call);
    for (auto& stub : stubs_) {
        if ((stub.used && !stub.optional) || !matches(stub.argv, call)) continue;
        stub.used = true;
        const Reply reply = stub.respond(call);
        if (reply.start_error != 0) return OsError{reply.start_error};
        return child_output(reply, call.limits);
    }
    ADD_FAILURE() << "unexpected call: " << call_line(call);
    return OsError{ENOENT};
}

}  // namespace tarnwick::testing
