// `tarnwick doctor` end to end: the report with tools present, missing and too old, token
// sources named without their values, only read-only commands started (every tool a spy),
// and the workflows of a project made by an earlier template set found stale.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "core/json.hpp"
#include "scaffold/render.hpp"
#include "scaffold/template_tree.hpp"
#include "scaffold_fixture.hpp"

using namespace tarnwick;
using namespace tarnwick::testing;

namespace {

constexpr const char* kCargoToken = "cargo-secret-5d1f0c7e9a";
constexpr const char* kPypiToken = "pypi-secret-b83e22a4c6";

TemplateContext answers() {
    return demo_answers(true);
}

class DoctorCommand : public ScaffoldRun {
protected:
    void SetUp() override {
        write_git_identity(home(), "Ada Lovelace", "ada@example.com");
        std::filesystem::create_directories(spies_.path());
    }

    std::string calls_log() const { return home() + "/calls"; }

    // A spy on PATH: logs "NAME ARGS" and then runs body (a shell fragment).
    void spy(const std::string& name, const std::string& body) {
        const std::string path = spies_ / name;
        write_file(path, "#!/bin/sh\necho \"" + name + " $*\" >> '" + calls_log() + "'\n" + body);
        ASSERT_EQ(::chmod(path.c_str(), 0755), 0) << path;
    }

    // cargo and rustfmt answering their versions, and rustup naming a toolchain.
    void spy_rust() {
        spy("cargo",
            "[ \"$1\" = fmt ] && { echo 'rustfmt 1.8.0-stable'; exit 0; }\n"
            "echo 'cargo 1.90.0 (abc 2026-01-01)'\n");
        spy("rustup", "echo 'stable-x86_64-unknown-linux-gnu (default)'\n");
    }

    // Runs doctor with PATH = the fake gh (when with_gh), the spies and the shell tools.
    RunResult doctor(std::vector<std::string> args, bool with_gh = true,
                     std::map<std::string, std::optional<std::string>> env = {}) {
        args.insert(args.begin(), "doctor");
        RunOptions options;
        options.env = {{"FAKE_GH_LOG", gh_log_.path()},   {"FAKE_GH_SCENARIO", scenario_.path()},
                       {"CARGO_HOME", home() + "/cargo"}, {"CARGO_REGISTRY_TOKEN", std::nullopt},
                       {"PYPI_API_TOKEN", std::nullopt},  {"UV_PUBLISH_TOKEN", std::nullopt}};
        for (auto& [name, value] : env) options.env[name] = value;
        const std::string path = spies_.path() + ":" + tool_dir(shell_tools());
        return tarnwick(args, path, options, with_gh);
    }

    // status of each item, from the JSON report.
    static std::map<std::string, std::string> statuses(const RunResult& r) {
        std::map<std::string, std::string> out;
        const Json report = Json::parse(r.out);
        for (const Json& item : report["items"]) {
            out[item["item"].get<std::string>()] = item["status"].get<std::string>();
        }
        return out;
    }

    static Json item(const RunResult& r, const std::string& name) {
        const Json report = Json::parse(r.out);
        for (const Json& i : report["items"]) {
            if (i["item"] == name) return i;
        }
        ADD_FAILURE() << "no item " << name << " in " << r.out;
        return Json::object();
    }

    void scenario(const std::string& file, const std::string& text) {
        write_file(scenario_ / file, text);
    }

    // Every gh call, one line each, its arguments joined by spaces.
    std::string gh_calls() const {
        std::vector<std::string> files;
        for (const auto& e : std::filesystem::directory_iterator(gh_log_.path())) {
            if (e.path().extension() == ".args") files.push_back(e.path());
        }
        std::sort(files.begin(), files.end());
        std::string out;
        for (const auto& f : files) {
            std::string args = read_file(f);
            std::replace(args.begin(), args.end(), '\n', ' ');
            out += "gh " + args.substr(0, args.size() - 1) + "\n";
        }
        return out;
    }

    TempDir spies_, gh_log_, scenario_;
};

const std::vector<std::string> kMachineItems = {
    "git",      "author",     "cargo",        "rustfmt",    "gh",
    "gh_login", "ssh-keygen", "crates_token", "pypi_token", "workflows"};

TEST_F(DoctorCommand, ReportsEveryItemWithToolsPresent) {
    spy_rust();
    spy("git", "exec " + tool_dir({"git"}) + "/git \"$@\"\n");
    spy("ssh-keygen", "exit 1\n");
    const RunResult r =
        doctor({"acme/tool", "-o", "json"}, true,
               {{"CARGO_REGISTRY_TOKEN", kCargoToken}, {"PYPI_API_TOKEN", kPypiToken}});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    std::vector<std::string> names;
    const Json report = Json::parse(r.out);
    for (const Json& i : report["items"]) names.push_back(i["item"]);
    std::vector<std::string> expected = kMachineItems;
    expected.insert(expected.end() - 1, {"repo", "tap"});
    EXPECT_EQ(names, expected);
    for (const auto& [name, status] : statuses(r)) {
        SCOPED_TRACE(name);
        EXPECT_EQ(status, name == "workflows" ? "skipped" : "ok");
    }
    EXPECT_EQ(item(r, "author")["detail"], "Ada Lovelace <ada@example.com>");
    EXPECT_EQ(item(r, "gh")["detail"], "gh 2.63.0");
    EXPECT_EQ(item(r, "rustfmt")["detail"], "rustfmt 1.8.0-stable");
    EXPECT_EQ(item(r, "crates_token")["detail"], "from $CARGO_REGISTRY_TOKEN");
    EXPECT_EQ(item(r, "pypi_token")["detail"], "from $PYPI_API_TOKEN");
    EXPECT_EQ(item(r, "tap")["detail"], "acme/homebrew-tap is reachable");
    EXPECT_EQ(Json::parse(r.out)["problems"], 0);
    EXPECT_TRUE(item(r, "git")["fix"].is_null());
}

TEST_F(DoctorCommand, ReportsMissingToolsAndSkipsWhatNeedsThem) {
    // No git, cargo, gh or ssh-keygen at all.
    write_file(home() + "/.gitconfig", "");
    const RunResult r = doctor({"tool", "--owner", "acme", "-o", "json"}, false);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const std::map<std::string, std::string> expected = {
        {"git", "missing"},        {"author", "missing"},       {"cargo", "missing"},
        {"rustfmt", "skipped"},    {"gh", "missing"},           {"gh_login", "skipped"},
        {"ssh-keygen", "missing"}, {"crates_token", "missing"}, {"pypi_token", "missing"},
        {"repo", "skipped"},       {"tap", "skipped"},          {"workflows", "skipped"}};
    EXPECT_EQ(statuses(r), expected);
    EXPECT_EQ(Json::parse(r.out)["problems"], 7);
    EXPECT_EQ(item(r, "gh")["fix"],
              "install gh 2.36.0 or later: https://github.com/cli/cli#installation");
    EXPECT_EQ(item(r, "crates_token")["fix"], "cargo login");
    EXPECT_EQ(item(r, "author")["fix"], "git config --global user.name \"Your Name\"");
}

TEST_F(DoctorCommand, JudgesGhVersionLoginAndReachability) {
    spy_rust();
    struct Case {
        std::string version;
        std::string status;
        std::string detail;
    };
    for (const Case& c : std::vector<Case>{
             {"2.23.0+dfsg1", "too_old", "gh 2.23.0: `tarnwick secrets` needs 2.36.0 or later"},
             {"2.2.9", "too_old",
              "gh 2.2.9: `tarnwick secrets` needs 2.36.0 or later, `tarnwick new --github` 2.3.0"},
             {"2.36.0", "ok", "gh 2.36.0"},
             {"banana", "unknown",
              "`gh --version` printed \"gh version banana (2026-11-01)\", which names no "
              "version"},
         }) {
        SCOPED_TRACE(c.version);
        const RunResult r = doctor({"-o", "json"}, true, {{"FAKE_GH_VERSION", c.version}});
        ASSERT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(item(r, "gh")["status"], c.status);
        EXPECT_EQ(item(r, "gh")["detail"], c.detail);
    }

    scenario("auth_status.exit", "1");
    scenario("auth_status.stderr", "You are not logged into any GitHub hosts.\n");
    scenario("repo_view_acme%homebrew-tap.exit", "1");
    scenario("repo_view_acme%homebrew-tap.stderr", "GraphQL: Could not resolve to a Repository\n");
    const RunResult r = doctor({"acme/tool", "-o", "json"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(item(r, "gh_login"),
              Json::parse(R"({"detail":"`gh auth status` failed: You are not logged into any )"
                          R"(GitHub hosts.","fix":"gh auth login","item":"gh_login",)"
                          R"("status":"not_logged_in"})"));
    EXPECT_EQ(item(r, "repo")["status"], "ok");
    EXPECT_EQ(item(r, "tap")["status"], "unreachable");
    EXPECT_EQ(item(r, "tap")["fix"], "gh repo create acme/homebrew-tap --public");

    // A malformed --tap or repository is a usage error, not a finding, and nothing runs.
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"acme/tool", "--tap", "nope"}, {"--", "-acme/tool"}}) {
        SCOPED_TRACE(args.back());
        std::filesystem::remove_all(gh_log_.path());
        const RunResult bad = doctor(args);
        EXPECT_EQ(bad.exit_code, 3);
        EXPECT_EQ(bad.out, "");
        EXPECT_NE(bad.err.find("\"kind\":\"usage\""), std::string::npos) << bad.err;
        EXPECT_FALSE(std::filesystem::exists(gh_log_.path()));
    }
}

TEST_F(DoctorCommand, NamesTokenSourcesButNeverTheirValues) {
    spy_rust();
    write_file(home() + "/cargo/credentials.toml",
               std::string("[registry]\ntoken = \"") + kCargoToken + "\"\n");
    write_file(home() + "/.pypirc", std::string("[pypi]\npassword = ") + kPypiToken + "\n");
    for (const char* format : {"json", "text"}) {
        SCOPED_TRACE(format);
        const RunResult r = doctor({"acme/tool", "-o", format});
        ASSERT_EQ(r.exit_code, 0) << r.err;
        for (const char* value : {kCargoToken, kPypiToken}) {
            EXPECT_EQ(r.out.find(value), std::string::npos) << r.out;
            EXPECT_EQ(r.err.find(value), std::string::npos) << r.err;
        }
        EXPECT_NE(r.out.find("from " + home() + "/cargo/credentials.toml"), std::string::npos)
            << r.out;
        EXPECT_NE(r.out.find("from " + home() + "/.pypirc"), std::string::npos) << r.out;
    }
    // Nor on any gh command line or input.
    for (const auto& e : std::filesystem::directory_iterator(gh_log_.path())) {
        const std::string logged = read_file(e.path());
        EXPECT_EQ(logged.find(kCargoToken), std::string::npos) << e.path();
        EXPECT_EQ(logged.find(kPypiToken), std::string::npos) << e.path();
    }
    // The environment comes first, as for `secrets`.
    const RunResult env = doctor({"-o", "json"}, true, {{"UV_PUBLISH_TOKEN", " other "}});
    EXPECT_EQ(item(env, "pypi_token")["detail"], "from $UV_PUBLISH_TOKEN");
}

TEST_F(DoctorCommand, StartsOnlyReadOnlyCommands) {
    spy_rust();
    spy("git", "exec " + tool_dir({"git"}) + "/git \"$@\"\n");
    spy("ssh-keygen", "exit 0\n");
    const RunResult r = doctor({"acme/tool", "--tap", "acme/taps"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(read_file(calls_log()),
              "git --version\n"
              "git config user.name\n"
              "git config user.email\n"
              "rustup show active-toolchain\n"
              "cargo --version\n"
              "cargo fmt --version\n");
    EXPECT_EQ(gh_calls(),
              "gh --version\n"
              "gh auth status\n"
              "gh repo view acme/tool --json name\n"
              "gh repo view acme/taps --json name\n");
    EXPECT_TRUE(std::filesystem::is_empty(work()));
}

TEST_F(DoctorCommand, FindsStaleWorkflowsInAProjectFromEarlierTemplates) {
    spy_rust();
    // The earlier template set, rendered as `new` rendered it then.
    const std::filesystem::path root = std::string(TARNWICK_SOURCE_DIR) + "/template-sets/0.1.6";
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        std::string rel = entry.path().lexically_relative(root).string();
        rel.resize(rel.size() - 5);  // ".tmpl"
        write_file(work("old/" + rel),
                   replace_placeholders(cut_sections(read_file(entry.path()), true), answers()));
    }
    std::vector<std::string> written;
    ASSERT_TRUE(render_tree(template_root(), work("now"), answers(), written).ok());

    const RunResult old = doctor({"--project", "old", "-o", "json"});
    ASSERT_EQ(old.exit_code, 0) << old.err;
    for (const char* file : {".github/workflows/ci.yml", ".github/workflows/release.yml"}) {
        SCOPED_TRACE(file);
        const Json i = item(old, file);
        EXPECT_EQ(i["status"], "stale");
        EXPECT_EQ(i["fix"], "tarnwick update old");
        EXPECT_NE(i["detail"].get<std::string>().find(
                      "actions/checkout@v4 is not the pinned v7.0.1 (3d3c42e5aac5)"),
                  std::string::npos)
            << i["detail"];
    }
    const std::string release = item(old, ".github/workflows/release.yml")["detail"];
    EXPECT_NE(release.find("runner image macos-14 is retired (2026-11-02;"), std::string::npos);
    EXPECT_NE(release.find("runner image ubuntu-22.04 is deprecated"), std::string::npos);

    // Today's templates are current; run from inside the project, the fix is plain update.
    RunOptions inside;
    inside.cwd = work("now");
    const RunResult now =
        tarnwick({"doctor", "-o", "json"}, spies_.path() + ":" + tool_dir(shell_tools()), inside);
    ASSERT_EQ(now.exit_code, 0) << now.err;
    EXPECT_EQ(item(now, ".github/workflows/ci.yml")["status"], "ok");
    EXPECT_EQ(item(now, ".github/workflows/release.yml")["status"], "ok");

    const RunResult text = doctor({"--project", "old", "-o", "text"});
    EXPECT_NE(text.out.find("fix: tarnwick update old\n"), std::string::npos) << text.out;
}

}  // namespace
