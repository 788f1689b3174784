// The stand-in serves one connection at a time; curl asks one question per run, so nothing waits.
#include "registry_stand_in.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "process/spawn_platform.hpp"

namespace tarnwick::testing {
namespace {

// The descriptor with close-on-exec set (the tarnwick children must not hold a connection
// open), or -1 as it was.
int cloexec(int fd) {
    if (fd >= 0) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    return fd;
}

// The request head, up to the blank line (requests here have no body).
std::string read_head(int fd) {
    std::string head;
    char buf[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0) break;
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) break;
        head.append(buf, static_cast<std::size_t>(n));
    }
    return head;
}

std::string header(const std::string& head, const std::string& name) {
    const std::string key = "\r\n" + name + ": ";
    const auto at = head.find(key);
    if (at == std::string::npos) return {};
    const auto start = at + key.size();
    return head.substr(start, head.find("\r\n", start) - start);
}

}  // namespace

RegistryStandIn::RegistryStandIn() {
    listener_ = cloexec(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
        ::listen(listener_, 16) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0 ||
        !make_cloexec_pipe(stop_)) {
        ADD_FAILURE() << "the registry stand-in could not listen";
        return;
    }
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { serve(); });
}

RegistryStandIn::~RegistryStandIn() {
    if (thread_.joinable()) {
        (void)!::write(stop_[1], "x", 1);
        thread_.join();
    }
    for (int fd : {listener_, stop_[0], stop_[1]}) {
        if (fd >= 0) ::close(fd);
    }
}

std::string RegistryStandIn::url() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

void RegistryStandIn::answer(const std::string& path, Answer a) {
    std::lock_guard lock(mutex_);
    answers_[path] = std::move(a);
}

std::vector<std::string> RegistryStandIn::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void RegistryStandIn::serve() {
    while (true) {
        pollfd fds[2] = {{listener_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents != 0) return;
        const int conn = cloexec(::accept(listener_, nullptr, nullptr));
        if (conn < 0) continue;
        const std::string head = read_head(conn);
        const auto sp = head.find(' ');
        const std::string path =
            sp == std::string::npos ? "" : head.substr(sp + 1, head.find(' ', sp + 1) - sp - 1);
        Answer a{404, "not found"};
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(path + "\t" + header(head, "User-Agent"));
            if (auto it = answers_.find(path); it != answers_.end()) a = it->second;
        }
        const std::string response = "HTTP/1.1 " + std::to_string(a.status) +
                                     " X\r\nContent-Length: " + std::to_string(a.body.size()) +
                                     "\r\nConnection: close\r\n\r\n" + a.body;
        std::size_t sent = 0;
        while (sent < response.size()) {
            const ssize_t n = ::write(conn, response.data() + sent, response.size() - sent);
            if (n <= 0) break;
            sent += static_cast<std::size_t>(n);
        }
        ::close(conn);
    }
}

}  // namespace tarnwick::testing
