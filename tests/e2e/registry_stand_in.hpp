// A local HTTP server on loopback standing in for the crates registry and PyPI: each GET is
// answered from a table of paths (404 for the rest), and each request's path and User-Agent are
// kept for the test to read. One request per connection, served on a thread of its own.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tarnwick::testing {

class RegistryStandIn {
public:
    struct Answer {
        int status = 200;
        std::string body;
    };

    RegistryStandIn();
    ~RegistryStandIn();
    RegistryStandIn(const RegistryStandIn&) = delete;
    RegistryStandIn& operator=(const RegistryStandIn&) = delete;

    // "http://127.0.0.1:PORT"
    std::string url() const;
    void answer(const std::string& path, Answer a);
    // "PATH<TAB>USER-AGENT" per request, in order.
    std::vector<std::string> requests() const;

private:
    void serve();
    int listener_ = -1;
    int stop_[2] = {-1, -1};
    int port_ = 0;
    mutable std::mutex mutex_;
    std::map<std::string, Answer> answers_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

}  // namespace tarnwick::testing
