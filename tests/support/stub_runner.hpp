// Replaces the process runner for the length of a test: each call of run_child is matched
// against registered stubs by its argv and answered by the first unused stub that matches.
// A call no stub matches fails the test (and the runner reports ENOENT to the code under
// test); so does a stub still unused when the StubRunner goes out of scope.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "process/child_hook.hpp"

namespace tarnwick::testing {

// What a stub answers: the child's output and how it ended, reported as the runner reports a
// real child's under the call's limits (an output longer than the cap is cut, a child that
// timed out was killed), or that it could not be started.
struct Reply : ChildEnd {
    int start_error = 0;  // nonzero: the child could not be started (an errno)
};

inline Reply output(std::string out) {
    Reply r;
    r.out = std::move(out);
    return r;
}
inline Reply failure(std::string err, int exit_code = 1) {
    Reply r;
    r.err = std::move(err);
    r.exit_code = exit_code;
    return r;
}
inline Reply not_started(int error) {
    Reply r;
    r.start_error = error;
    return r;
}
// Stopped when its time ran out, having written out.
inline Reply timed_out(std::string out = {}) {
    Reply r = output(std::move(out));
    r.timed_out = true;
    return r;
}

class StubRunner {
public:
    // argv is the program then its arguments; an element "*" matches any one argument, and a
    // last element "..." any number of further ones.
    using Respond = std::function<Reply(const ChildCall&)>;

    StubRunner();
    ~StubRunner();
    StubRunner(const StubRunner&) = delete;
    StubRunner& operator=(const StubRunner&) = delete;

    void expect(std::vector<std::string> argv, Reply reply = {});
    void expect(std::vector<std::string> argv, Respond respond);
    // A call that may come any number of times, or never, each time answered with reply.
    void allow(std::vector<std::string> argv, Reply reply);

    // Every call made so far, in order.
    const std::vector<ChildCall>& calls() const { return calls_; }
    // The argv of each call joined by spaces, in order; for checking the order of steps.
    std::vector<std::string> call_lines() const;

private:
    struct Stub {
        std::vector<std::string> argv;
        Respond respond;
        bool used = false;
        bool optional = false;  // answers every call that matches; none need come
    };
    Result<ChildOutput, OsError> answer(const ChildCall& call);

    std::vector<Stub> stubs_;
    std::vector<ChildCall> calls_;
    ChildHook previous_;
};

// The argv of a call joined by spaces.
std::string call_line(const ChildCall& call);

}  // namespace tarnwick::testing
