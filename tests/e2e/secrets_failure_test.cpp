// Every way the secrets bootstrap can stop: the exact envelope, which gh calls ran before it,
// that nothing ran after it, and that no key or upload file is left in TMPDIR.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "e2e/secrets_support.hpp"
#include "support/test_paths.hpp"

using namespace tarnwick::testing;

namespace {

const std::map<std::string, std::optional<std::string>> kTokens = {
    {"CARGO_REGISTRY_TOKEN", "crates-f"}, {"PYPI_API_TOKEN", "pypi-f"}};

// Runs a full bootstrap of owner/tool and checks the failure envelope and the gh calls made.
void expect_failure(const SecretsWorld& w, const std::string& envelope,
                    const std::vector<std::string>& calls,
                    std::map<std::string, std::optional<std::string>> env = kTokens) {
    auto r = w.run({"secrets", "owner/tool"}, std::move(env));
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, envelope);
    auto made = w.calls();
    // The add call names the upload file; keep only its leading words for comparison.
    for (auto& c : made) {
        if (c.rfind("repo deploy-key add ", 0) == 0) c = "repo deploy-key add";
    }
    EXPECT_EQ(made, calls);
    EXPECT_TRUE(w.key_files_left().empty());
}

const std::string kVersion = "--version";
const std::string kAuth = "auth status";
const std::string kView = "repo view owner/tool --json name";
const std::string kViewTap = "repo view owner/homebrew-tap --json name";
const std::string kSetCargo = "secret set CARGO_REGISTRY_TOKEN -R owner/tool";
const std::string kList = "repo deploy-key list -R owner/homebrew-tap --json id,title";
const std::string kAdd = "repo deploy-key add";
const std::string kSetKey = "secret set HOMEBREW_TAP_DEPLOY_KEY -R owner/tool";
const std::string kConfirm = "repo deploy-key list -R owner/homebrew-tap --json id,title,key";
const std::string kSetPypi = "secret set PYPI_API_TOKEN -R owner/tool";

}  // namespace

TEST(SecretsFailure, GhMissingFromPath) {
    SecretsWorld w;
    expect_failure(w, backend_envelope("gh: No such file or directory (os error 2)"), {},
                   {{"PATH", w.bin.path()}, {"CARGO_REGISTRY_TOKEN", "crates-f"}});
    auto verify = w.run({"secrets", "owner/tool", "--verify"}, {{"PATH", w.bin.path()}});
    EXPECT_EQ(verify.err, backend_envelope("gh: No such file or directory (os error 2)"));
}

TEST(SecretsFailure, NotLoggedInRunsNoOtherGhCommand) {
    SecretsWorld w;
    w.answer("auth_status.exit", "1");
    w.answer("auth_status.stderr", "You are not logged into any GitHub hosts.\n");
    expect_failure(w, backend_envelope("gh: not authenticated; run `gh auth login`"),
                   {kVersion, kAuth});
}

TEST(SecretsFailure, RepositoryInaccessibleWithAndWithoutStderr) {
    SecretsWorld w;
    w.answer("repo_view.1.exit", "1");
    w.answer("repo_view.1.stderr", "GraphQL: Could not resolve to a Repository\n\n");
    expect_failure(w,
                   backend_envelope("gh: repo owner/tool not found or inaccessible: GraphQL: "
                                    "Could not resolve to a Repository"),
                   {kVersion, kAuth, kView});
    SecretsWorld quiet;
    quiet.answer("repo_view.exit", "1");
    expect_failure(quiet, backend_envelope("gh: repo owner/tool not found or inaccessible: "),
                   {kVersion, kAuth, kView});
}

TEST(SecretsFailure, AMissingTapStopsTheRunBeforeAnythingChanges) {
    struct Case {
        const char* name;
        std::string stderr_text;
        std::vector<std::string> args;
        std::string tap;
    };
    const std::vector<Case> cases = {
        {"default tap, gh explains",
         "GraphQL: Could not resolve to a Repository\n",
         {"secrets", "owner/tool"},
         "owner/homebrew-tap"},
        {"--tap, gh silent",
         "",
         {"secrets", "owner/tool", "--tap", "me/homebrew-formulae"},
         "me/homebrew-formulae"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SecretsWorld w;
        // The target is found; the second view, of the tap, fails.
        w.answer("repo_view.2.exit", "1");
        if (!c.stderr_text.empty()) w.answer("repo_view.2.stderr", c.stderr_text);
        auto r = w.run(c.args, kTokens);
        EXPECT_EQ(r.exit_code, 2);
        EXPECT_EQ(r.out, "");
        const std::string said =
            c.stderr_text.empty() ? "" : ": GraphQL: Could not resolve to a Repository";
        EXPECT_EQ(r.err,
                  backend_envelope("gh: tap " + c.tap + " not found or inaccessible" + said +
                                   "; to create it, run `gh repo create " + c.tap + " --public`"));
        EXPECT_EQ(w.calls(), (std::vector<std::string>{kVersion, kAuth, kView,
                                                       "repo view " + c.tap + " --json name"}));
        EXPECT_TRUE(w.key_files_left().empty());
    }
}

TEST(SecretsFailure, EachSecretSetFailureStopsThere) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"CARGO_REGISTRY_TOKEN", {kVersion, kAuth, kView, kViewTap, kSetCargo}},
        {"HOMEBREW_TAP_DEPLOY_KEY",
         {kVersion, kAuth, kView, kViewTap, kSetCargo, kList, kAdd, kSetKey}},
        {"PYPI_API_TOKEN",
         {kVersion, kAuth, kView, kViewTap, kSetCargo, kList, kAdd, kSetKey, kConfirm, kSetPypi}},
    };
    for (const auto& [secret, calls] : cases) {
        SCOPED_TRACE(secret);
        SecretsWorld w;
        w.answer("secret_set_" + secret + ".exit", "1");
        w.answer("secret_set_" + secret + ".stderr", "failed to set " + secret + "\n");
        expect_failure(w, backend_envelope("gh: failed to set " + secret), calls);
    }
}

TEST(SecretsFailure, ListingFailsOrIsNotJson) {
    SecretsWorld w;
    w.answer("repo_deploy-key_list.1.exit", "1");
    w.answer("repo_deploy-key_list.1.stderr", "HTTP 403: Resource not accessible\n");
    expect_failure(w, backend_envelope("gh: HTTP 403: Resource not accessible"),
                   {kVersion, kAuth, kView, kViewTap, kSetCargo, kList});

    SecretsWorld v;
    v.answer("repo_deploy-key_list.stdout", "no deploy keys found\n");
    expect_failure(v,
                   backend_envelope("gh: parsing deploy-key list: syntax error while parsing "
                                    "value - invalid literal; last read: 'no' at line 1 column 2"),
                   {kVersion, kAuth, kView, kViewTap, kSetCargo, kList});

    SecretsWorld m;
    m.answer("repo_deploy-key_list.stdout", "[\n  {\"id\": 3}\n]\n");
    expect_failure(m,
                   backend_envelope("gh: parsing deploy-key list: missing field `title` at line "
                                    "2 column 11"),
                   {kVersion, kAuth, kView, kViewTap, kSetCargo, kList});
}

// The new key is on the tap before any old one goes, so a delete that fails midway leaves the
// new key and the older ones not yet deleted.
TEST(SecretsFailure, DeleteFailingMidwayKeepsTheNewKeyAndEarlierDeletes) {
    SecretsWorld w;
    for (int id : {1, 2, 3}) w.seed_key("owner/homebrew-tap", id, "tool release (CI push)");
    w.answer("repo_deploy-key_delete.2.exit", "1");
    w.answer("repo_deploy-key_delete.2.stderr", "HTTP 422: key is in use\n");
    expect_failure(w, backend_envelope("gh: HTTP 422: key is in use"),
                   {kVersion, kAuth, kView, kViewTap, kSetCargo, kList, kAdd,
                    "repo deploy-key delete 1 -R owner/homebrew-tap",
                    "repo deploy-key delete 2 -R owner/homebrew-tap"});
    const std::string added = read_file(w.log_file(6, "file"));
    EXPECT_EQ(w.registered_keys("owner/homebrew-tap"),
              (std::vector<std::string>{"ssh-ed25519 AAAAseeded", "ssh-ed25519 AAAAseeded",
                                        added.substr(0, added.find('\n'))}));
}

// An add that fails (an HTTP 502, say) comes before any delete: the tap keeps the key the
// release uses now.
TEST(SecretsFailure, AddFailingKeepsTheOldKeyAndRemovesTheUploadFile) {
    SecretsWorld w;
    w.seed_key("owner/homebrew-tap", 7, "tool release (CI push)", "ssh-ed25519 AAAAworking");
    w.answer("repo_deploy-key_add.exit", "1");
    w.answer("repo_deploy-key_add.stderr", "HTTP 502: Bad Gateway\n");
    expect_failure(w, backend_envelope("gh: HTTP 502: Bad Gateway"),
                   {kVersion, kAuth, kView, kViewTap, kSetCargo, kList, kAdd});
    EXPECT_EQ(w.registered_keys("owner/homebrew-tap"),
              std::vector<std::string>{"ssh-ed25519 AAAAworking"});
    // The file existed while gh ran: it received the public key.
    EXPECT_EQ(read_file(w.log_file(6, "file")).rfind("ssh-ed25519 ", 0), 0u);
}

TEST(SecretsFailure, SshKeygenMissingFailingOrWritingNothing) {
    SecretsWorld w;
    const std::string path = std::string(TARNWICK_FAKES_DIR) + ":" + w.shell_tools();
    expect_failure(w, backend_envelope("ssh-keygen: No such file or directory (os error 2)"),
                   {kVersion, kAuth, kView, kViewTap},
                   {{"PATH", path}, {"CARGO_REGISTRY_TOKEN", "crates-f"}});

    SecretsWorld f;
    f.fake_tool("ssh-keygen", "#!/bin/sh\necho 'Saving key failed: disk full' >&2\nexit 1\n");
    expect_failure(
        f, backend_envelope("ssh-keygen: Saving key failed: disk full"),
        {kVersion, kAuth, kView, kViewTap},
        {{"PATH", f.bin.path() + ":" + std::string(TARNWICK_FAKES_DIR) + ":" + f.shell_tools()},
         {"CARGO_REGISTRY_TOKEN", "crates-f"}});

    // A keygen that writes only the private half: the read of the public half fails, and the
    // private key file must not survive that failure.
    SecretsWorld h;
    h.fake_tool("ssh-keygen",
                "#!/bin/sh\nwhile [ \"$1\" != -f ]; do shift; done\n"
                "echo 'PRIVATE-HALF' > \"$2\"\nexit 0\n");
    expect_failure(
        h, io_envelope("No such file or directory (os error 2)"),
        {kVersion, kAuth, kView, kViewTap},
        {{"PATH", h.bin.path() + ":" + std::string(TARNWICK_FAKES_DIR) + ":" + h.shell_tools()}});
}

// The key pair is made before the first secret is set: a temporary directory that cannot hold
// it stops the run with the crates token still unset.
TEST(SecretsFailure, UnusableTmpdirStopsBeforeTheFirstSecret) {
    SecretsWorld w;
    expect_failure(w, io_envelope("No such file or directory (os error 2)"),
                   {kVersion, kAuth, kView, kViewTap},
                   {{"TMPDIR", w.tmp / "missing"}, {"CARGO_REGISTRY_TOKEN", "crates-f"}});
}

TEST(SecretsFailure, PypiStdinNotUtf8StopsBeforeAnyGhCall) {
    SecretsWorld w;
    auto r = w.run({"secrets", "owner/tool", "--pypi-token-stdin"}, kTokens, "pypi-\xc3\x28\n");
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, io_envelope("stream did not contain valid UTF-8"));
    EXPECT_TRUE(w.calls().empty());
}

// An old gh stops both modes at its version, before any other call; a dry run asks nothing.
TEST(SecretsFailure, GhOlderThanNeededOrUnreadableStopsAtItsVersion) {
    const std::string upgrade =
        "; upgrade gh: https://github.com/cli/cli#installation (distribution packages are often "
        "older)";
    const std::string old_live =
        "gh: gh 2.23.0 is too old: `tarnwick secrets` needs gh 2.36.0 or newer" + upgrade;
    const std::string old_verify =
        "gh: gh 2.23.0 is too old: `tarnwick secrets --verify` needs gh 2.36.0 or newer" + upgrade;
    const std::string garbage =
        "gh: cannot read a version from `gh --version`, which printed \\\"gh version banana "
        "(2026-11-01)\\\"" +
        upgrade;
    const std::string silent =
        "gh: cannot read a version from `gh --version`, which printed \\\"\\\"" + upgrade;
    struct Case {
        std::string version;   // FAKE_GH_VERSION
        std::string live;      // envelope message of a full run; empty: it succeeds
        std::string verified;  // the same for --verify
    } cases[] = {
        {"2.23.0", old_live, old_verify},
        {"2.23.0+dfsg1", old_live, old_verify},
        {"2.35.99",
         "gh: gh 2.35.99 is too old: `tarnwick secrets` needs gh 2.36.0 or newer" + upgrade,
         "gh: gh 2.35.99 is too old: `tarnwick secrets --verify` needs gh 2.36.0 or newer" +
             upgrade},
        {"banana", garbage, garbage},
        {"missing-output", silent, silent},
        {"2.36.0", "", ""},
        {"2.100.0-rc.1", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        SecretsWorld w;
        auto env = kTokens;
        env["FAKE_GH_VERSION"] = c.version;
        if (c.live.empty()) {
            EXPECT_EQ(w.run({"secrets", "owner/tool"}, env).exit_code, 0);
            EXPECT_EQ(w.run({"secrets", "owner/tool", "--verify"}, env).exit_code, 0);
            continue;
        }
        expect_failure(w, backend_envelope(c.live), {kVersion}, env);
        SecretsWorld v;
        auto verify = v.run({"secrets", "owner/tool", "--verify"}, env);
        EXPECT_EQ(verify.exit_code, 2);
        EXPECT_EQ(verify.err, backend_envelope(c.verified));
        EXPECT_EQ(v.calls(), std::vector<std::string>{kVersion});
        SecretsWorld d;
        EXPECT_EQ(d.run({"secrets", "owner/tool", "--dry-run"}, env).exit_code, 0);
        EXPECT_TRUE(d.calls().empty());
    }
}

// Debian 12's own gh (2.23.0+dfsg1), where it is installed: the version line of a real old
// client is read, and both modes stop at it. Only `gh --version` runs, so no network is needed.
TEST(SecretsFailure, DebiansRealGhIsTooOld) {
    const std::string real_gh = "/usr/bin/gh";
    if (::access(real_gh.c_str(), X_OK) != 0) GTEST_SKIP() << "Debian's gh is not installed";
    SecretsWorld w;
    std::filesystem::create_symlink(real_gh, w.bin / "gh");
    const std::string path = w.bin.path() + ":/usr/bin:/bin";
    for (const char* mode : {"--verify", "--pypi-token-stdin"}) {
        SCOPED_TRACE(mode);
        auto r = w.run({"secrets", "owner/tool", mode}, {{"PATH", path}}, "pypi-x\n");
        EXPECT_EQ(r.exit_code, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("\"message\":\"gh: gh 2.23.0 is too old: `tarnwick secrets"),
                  std::string::npos)
            << r.err;
        EXPECT_TRUE(w.key_files_left().empty());
    }
}
