// Key generation and rotation on the tap. Every file lives in the private key directory; the
// upload file is still created exclusively and never through a symbolic link.
#include "secrets/deploy_key.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>
#include <vector>

#include "core/io.hpp"
#include "core/text.hpp"
#include "process/runner.hpp"
#include "secrets/deploy_key_list.hpp"

namespace tarnwick {
namespace {

// Removes the files it names when it goes out of scope, whatever happened before.
class RemoveOnExit {
public:
    explicit RemoveOnExit(std::initializer_list<std::string> paths) : paths_(paths) {}
    RemoveOnExit(const RemoveOnExit&) = delete;
    RemoveOnExit& operator=(const RemoveOnExit&) = delete;
    ~RemoveOnExit() {
        for (const auto& path : paths_) ::unlink(path.c_str());
    }

private:
    std::vector<std::string> paths_;
};

// ssh-keygen's output, read back whole; a key file is a few hundred bytes.
Result<std::string> read_key_file(const std::string& path) {
    constexpr std::size_t kKeyFileLimit = std::size_t{64} * 1024;
    auto fd = open_fd(path, O_RDONLY);
    if (!fd) return io_error(fd.error());
    auto bytes = read_utf8(fd->get(), kKeyFileLimit);
    if (!bytes) return io_error(bytes.error());
    return std::move(bytes).value();
}

// Writes the public key to a freshly created file of our own.
Status write_upload_file(const std::string& path, const std::string& public_key) {
    auto fd = open_fd(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
    if (!fd) return io_error(fd.error());
    if (auto written = write_all(fd->get(), public_key); !written) {
        return io_error(written.error());
    }
    return Ok{};
}

// Adds the key to the tap from the upload file, which is removed as soon as gh is done.
Status upload_public_key(const KeyDirectory& dir, const std::string& tap, const std::string& title,
                         const std::string& public_key) {
    const std::string& path = dir.upload_path();
    RemoveOnExit cleanup{path};
    TARNWICK_TRY(write_upload_file(path, public_key));
    TARNWICK_TRY(run_gh_checked(
        {"repo", "deploy-key", "add", path, "-R", tap, "--allow-write", "--title", title}));
    return Ok{};
}

Result<std::vector<DeployKey>> list_deploy_keys(const std::string& tap, const char* fields) {
    TARNWICK_TRY_ASSIGN(
        auto listing, run_gh_checked({"repo", "deploy-key", "list", "-R", tap, "--json", fields}));
    auto keys = parse_deploy_key_list(listing.stdout_text);
    if (!keys) return tool_error("gh", "parsing deploy-key list: " + keys.error().description);
    return std::move(keys).value();
}

// The type and the key data of an OpenSSH public key line, without its comment.
std::string_view key_material(std::string_view line) {
    line = trim(line.substr(0, line.find('\n')));
    const auto type_end = line.find(' ');
    if (type_end == std::string_view::npos) return {};
    const auto data_end = line.find(' ', type_end + 1);
    return line.substr(0, data_end);
}

}  // namespace

std::string deploy_key_title(std::string_view name) {
    return std::string(name) + " release (CI push)";
}

Result<KeyPair> generate_key_pair(const KeyDirectory& dir, std::string_view comment) {
    const std::string& private_path = dir.private_key_path();
    const std::string& public_path = dir.public_key_path();
    RemoveOnExit cleanup{private_path, public_path};

    // The path goes to ssh-keygen as raw bytes, so it writes exactly where it is read back.
    TARNWICK_TRY(run_tool_checked("ssh-keygen", {"-t", "ed25519", "-f", private_path, "-N", "",
                                                 "-C", std::string(comment), "-q"}));

    TARNWICK_TRY_ASSIGN(auto private_key, read_key_file(private_path));
    TARNWICK_TRY_ASSIGN(auto public_key, read_key_file(public_path));
    return KeyPair{std::move(private_key), std::move(public_key)};
}

Result<bool> rotate_deploy_key(const KeyDirectory& dir, const std::string& tap,
                               const std::string& title, const std::string& public_key) {
    TARNWICK_TRY_ASSIGN(auto keys, list_deploy_keys(tap, "id,title"));
    std::vector<std::int64_t> older;
    for (const auto& key : keys) {
        if (key.title == title) older.push_back(key.id);
    }
    // The new key goes on first: a failure from here on leaves the tap with a working key.
    TARNWICK_TRY(upload_public_key(dir, tap, title, public_key));
    for (const std::int64_t id : older) {
        TARNWICK_TRY(
            run_gh_checked({"repo", "deploy-key", "delete", std::to_string(id), "-R", tap}));
    }
    return !older.empty();
}

Status confirm_deploy_key(const std::string& tap, const std::string& public_key,
                          std::string_view secret) {
    TARNWICK_TRY_ASSIGN(auto keys, list_deploy_keys(tap, "id,title,key"));
    const std::string_view ours = key_material(public_key);
    for (const auto& key : keys) {
        if (!ours.empty() && key_material(key.key) == ours) return Ok{};
    }
    return CliError::backend_verbatim(
        "gh", "the deploy key just stored as " + std::string(secret) + " is not registered on " +
                  tap + "; another run may have replaced it, so run `tarnwick secrets` again");
}

}  // namespace tarnwick
