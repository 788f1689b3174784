// Token lookups: the two credential-file scanners over text, the order in which the
// environment and the files are consulted, and which files count as readable at all.
#include "secrets/token_sources.hpp"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include "support/files.hpp"
#include "support/scoped_env.hpp"

using namespace tarnwick;
using tarnwick::testing::ScopedEnv;
using tarnwick::testing::TempDir;
using tarnwick::testing::write_file;

namespace tarnwick {
void PrintTo(const FoundToken& found, std::ostream* os) {
    *os << "{" << found.value << " from " << found.source << "}";
}
}  // namespace tarnwick

namespace {

Token value_of(const std::optional<FoundToken>& found) {
    if (!found) return std::nullopt;
    return found->value;
}

// A scratch directory for credential files.
struct TokenDir {
    TempDir scratch;
    std::filesystem::path root{scratch.path()};
    void write(const std::string& rel, const std::string& text) const {
        write_file(root / rel, text);
    }
};

}  // namespace

TEST(CargoCredentialsScan, RegistrySectionWinsWhereverItStands) {
    EXPECT_EQ(scan_cargo_credentials("[other]\ntoken = \"o\"\n[registry]\ntoken = \"r\"\n"), "r");
    EXPECT_EQ(
        scan_cargo_credentials("[registries.crates-io]\ntoken=\"c\"\n[registry]\ntoken=\"r\""),
        "c");
    EXPECT_EQ(scan_cargo_credentials("token = \"top\"\n[ registry ]\ntoken = \"r\"\n"), "r");
}

TEST(CargoCredentialsScan, WithoutRegistrySectionTheFirstCandidateIsTheFallback) {
    EXPECT_EQ(scan_cargo_credentials("[a]\ntoken = \"first\"\n[b]\ntoken = \"second\"\n"), "first");
    EXPECT_EQ(scan_cargo_credentials("token = \"bare\"\n[a]\ntoken = \"a\"\n"), "bare");
    EXPECT_EQ(scan_cargo_credentials("[registry]\nname = 1\n"), std::nullopt);
    EXPECT_EQ(scan_cargo_credentials(""), std::nullopt);
}

TEST(CargoCredentialsScan, CandidateLineShapes) {
    EXPECT_EQ(scan_cargo_credentials("[registry]\ntoken=abc"), "abc");
    EXPECT_EQ(scan_cargo_credentials("[registry]\n  token \t=  \"abc\"  \r\n"), "abc");
    EXPECT_EQ(scan_cargo_credentials("[registry]\ntoken = 'abc'"), "'abc'");
    EXPECT_EQ(scan_cargo_credentials("[registry]\ntoken = \"\"a\"b\"\"\n"), "a\"b");
    EXPECT_EQ(scan_cargo_credentials("[registry]\ntoken = abc # note"), "abc # note");
    // Not candidates: another key that starts with "token", no "=", an empty value, a colon.
    EXPECT_EQ(scan_cargo_credentials("[registry]\ntokens = \"x\"\n"), std::nullopt);
    EXPECT_EQ(scan_cargo_credentials("[registry]\ntoken \"x\"\n"), std::nullopt);
    EXPECT_EQ(scan_cargo_credentials("[registry]\ntoken = \"\"\ntoken = y\n"), "y");
    EXPECT_EQ(scan_cargo_credentials("[registry]\ntoken: x\n"), std::nullopt);
    EXPECT_EQ(scan_cargo_credentials("[registry]\nTOKEN = x\n"), std::nullopt);
    // A single bracket is no header, so the section stays "registry".
    EXPECT_EQ(scan_cargo_credentials("[registry]\n[\ntoken = x\n"), "x");
    // "[]" is a header with an empty name: the token there is only a fallback.
    EXPECT_EQ(scan_cargo_credentials("[]\ntoken = e\n[registry]\ntoken = r\n"), "r");
}

TEST(PypircScan, OnlyThePypiSectionCounts) {
    EXPECT_EQ(scan_pypirc("[distutils]\nindex-servers = pypi\n[pypi]\nusername = __token__\n"
                          "password = pypi-AgE\n"),
              "pypi-AgE");
    EXPECT_EQ(scan_pypirc("[testpypi]\npassword = t\n"), std::nullopt);
    EXPECT_EQ(scan_pypirc("password = top\n"), std::nullopt);
    EXPECT_EQ(scan_pypirc("[  pypi\t]\npassword=p\n"), "p");
    EXPECT_EQ(scan_pypirc("[pypi]\npassword = \"q\"\n"), "\"q\"");
    EXPECT_EQ(scan_pypirc("[pypi]\npassword: colon\n"), std::nullopt);
    EXPECT_EQ(scan_pypirc("[pypi]\npassword =   \npassword = second\n"), "second");
    EXPECT_EQ(scan_pypirc("[pypi]\n[other]\npassword = x\n"), std::nullopt);
}

TEST(CargoToken, EnvironmentFirstThenCredentialsTomlThenCredentials) {
    TokenDir dir;
    dir.write("cargo/credentials.toml", "[registry]\ntoken = \"from-toml\"\n");
    dir.write("cargo/credentials", "[registry]\ntoken = \"from-legacy\"\n");
    {
        ScopedEnv env({{"CARGO_REGISTRY_TOKEN", " \tfrom-env\n"},
                       {"CARGO_HOME", (dir.root / "cargo").string()}});
        EXPECT_EQ(cargo_token(), (FoundToken{"from-env", "$CARGO_REGISTRY_TOKEN"}));
    }
    {
        ScopedEnv env(
            {{"CARGO_REGISTRY_TOKEN", "   "}, {"CARGO_HOME", (dir.root / "cargo").string()}});
        EXPECT_EQ(cargo_token(),
                  (FoundToken{"from-toml", (dir.root / "cargo/credentials.toml").string()}));
    }
    std::filesystem::remove(dir.root / "cargo/credentials.toml");
    {
        ScopedEnv env({{"CARGO_REGISTRY_TOKEN", std::nullopt},
                       {"CARGO_HOME", (dir.root / "cargo").string()}});
        EXPECT_EQ(cargo_token(),
                  (FoundToken{"from-legacy", (dir.root / "cargo/credentials").string()}));
    }
}

TEST(CargoToken, ATomlFileWithoutTokenStopsTheSearch) {
    TokenDir dir;
    dir.write("credentials.toml", "[registry]\n");
    dir.write("credentials", "[registry]\ntoken = \"legacy\"\n");
    ScopedEnv env({{"CARGO_REGISTRY_TOKEN", std::nullopt}, {"CARGO_HOME", dir.root.string()}});
    EXPECT_EQ(cargo_token(), std::nullopt);
}

TEST(CargoToken, UnreadableOrNonUtf8TomlFallsBackToCredentials) {
    TokenDir dir;
    dir.write("credentials.toml", "[registry]\ntoken = \"\xff\xfe\"\n");
    dir.write("credentials", "[registry]\ntoken = \"legacy\"\n");
    ScopedEnv env({{"CARGO_REGISTRY_TOKEN", std::nullopt}, {"CARGO_HOME", dir.root.string()}});
    const FoundToken legacy{"legacy", (dir.root / "credentials").string()};
    EXPECT_EQ(cargo_token(), legacy);
    std::filesystem::remove(dir.root / "credentials.toml");
    std::filesystem::create_directory(dir.root / "credentials.toml");
    EXPECT_EQ(cargo_token(), legacy);
}

TEST(CargoToken, HomeDotCargoWhenCargoHomeUnsetAndCurrentDirWhenEmpty) {
    TokenDir dir;
    dir.write("home/.cargo/credentials.toml", "[registry]\ntoken = home-token\n");
    dir.write("cwd/credentials", "token = cwd-token\n");
    {
        ScopedEnv env({{"CARGO_REGISTRY_TOKEN", std::nullopt},
                       {"CARGO_HOME", std::nullopt},
                       {"HOME", (dir.root / "home").string()}});
        EXPECT_EQ(cargo_token(),
                  (FoundToken{"home-token", (dir.root / "home/.cargo/credentials.toml").string()}));
    }
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(dir.root / "cwd");
    {
        ScopedEnv env({{"CARGO_REGISTRY_TOKEN", std::nullopt},
                       {"CARGO_HOME", ""},
                       {"HOME", (dir.root / "home").string()}});
        EXPECT_EQ(cargo_token(), (FoundToken{"cwd-token", "credentials"}));
    }
    std::filesystem::current_path(before);
}

TEST(PypiToken, EnvironmentOrderThenPypirc) {
    TokenDir dir;
    dir.write(".pypirc", "[pypi]\npassword = from-file\n");
    {
        ScopedEnv env(
            {{"PYPI_API_TOKEN", " p \n"}, {"UV_PUBLISH_TOKEN", "u"}, {"HOME", dir.root.string()}});
        EXPECT_EQ(pypi_token(false).value(), (FoundToken{"p", "$PYPI_API_TOKEN"}));
    }
    {
        ScopedEnv env(
            {{"PYPI_API_TOKEN", "\t"}, {"UV_PUBLISH_TOKEN", "u"}, {"HOME", dir.root.string()}});
        EXPECT_EQ(pypi_token(false).value(), (FoundToken{"u", "$UV_PUBLISH_TOKEN"}));
    }
    {
        ScopedEnv env({{"PYPI_API_TOKEN", std::nullopt},
                       {"UV_PUBLISH_TOKEN", std::nullopt},
                       {"HOME", dir.root.string()}});
        EXPECT_EQ(pypi_token(false).value(),
                  (FoundToken{"from-file", (dir.root / ".pypirc").string()}));
    }
    {
        ScopedEnv env({{"PYPI_API_TOKEN", std::nullopt},
                       {"UV_PUBLISH_TOKEN", std::nullopt},
                       {"HOME", std::nullopt}});
        EXPECT_EQ(pypi_token(false).value(), std::nullopt);
    }
}

TEST(TokenFiles, OnlySmallRegularFilesAreReadAndNothingBlocks) {
    // What stands at credentials.toml and at .pypirc; "credentials" always holds a fallback.
    struct Case {
        const char* name;
        std::function<void(const std::filesystem::path&)> make;
        bool readable;
    };
    const std::string line = "[registry]\ntoken = big\n[pypi]\npassword = big\n";
    const std::vector<Case> cases = {
        {"regular file", [&](const auto& p) { std::ofstream(p) << line; }, true},
        {"padded to exactly 1 MiB",
         [&](const auto& p) {
             std::ofstream(p) << line << std::string((1u << 20) - line.size(), '\n');
         },
         true},
        {"one byte over 1 MiB",
         [&](const auto& p) {
             std::ofstream(p) << line << std::string((1u << 20) - line.size() + 1, '\n');
         },
         false},
        {"symlink to a regular file",
         [&](const auto& p) {
             std::ofstream(p.string() + ".real") << line;
             std::filesystem::create_symlink(p.string() + ".real", p);
         },
         true},
        {"symlink to /dev/zero",
         [](const auto& p) { std::filesystem::create_symlink("/dev/zero", p); }, false},
        {"FIFO without a writer", [](const auto& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
         false},
        {"directory", [](const auto& p) { std::filesystem::create_directory(p); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TokenDir dir;
        dir.write("home/.cargo/credentials", "token = fallback\n");
        c.make(dir.root / "home/.cargo/credentials.toml");
        c.make(dir.root / "home/.pypirc");
        ScopedEnv env({{"CARGO_REGISTRY_TOKEN", std::nullopt},
                       {"CARGO_HOME", std::nullopt},
                       {"PYPI_API_TOKEN", std::nullopt},
                       {"UV_PUBLISH_TOKEN", std::nullopt},
                       {"HOME", (dir.root / "home").string()}});
        EXPECT_EQ(value_of(cargo_token()), c.readable ? "big" : "fallback");
        auto pypi = pypi_token(false);
        ASSERT_TRUE(pypi.ok());
        EXPECT_EQ(value_of(pypi.value()), c.readable ? Token("big") : std::nullopt);
    }
}

// The messages name every variable the lookups read, and a token from each is named by it.
TEST(TokenPlaces, EveryVariableTheLookupsReadIsNamedInThePlaces) {
    TokenDir dir;
    ScopedEnv env({{"HOME", dir.root.string()},
                   {"CARGO_HOME", dir.root.string()},
                   {"CARGO_REGISTRY_TOKEN", std::nullopt},
                   {"PYPI_API_TOKEN", std::nullopt},
                   {"UV_PUBLISH_TOKEN", std::nullopt}});
    const auto check = [](const char* name, const std::string& places, auto lookup) {
        SCOPED_TRACE(name);
        ASSERT_EQ(::setenv(name, "t", 1), 0);
        EXPECT_EQ(lookup(), (FoundToken{"t", "$" + std::string(name)}));
        EXPECT_NE(places.find("$" + std::string(name)), std::string::npos) << places;
        ::unsetenv(name);
    };
    for (const char* name : kCargoTokenVariables) {
        check(name, cargo_token_places(), [] { return cargo_token(); });
    }
    for (const char* name : kPypiTokenVariables) {
        check(name, pypi_token_places(), [] { return pypi_token(false).value(); });
    }
    EXPECT_EQ(cargo_token_places(),
              "$CARGO_REGISTRY_TOKEN or the credentials file in $CARGO_HOME or ~/.cargo");
    EXPECT_EQ(pypi_token_places(), "$PYPI_API_TOKEN, $UV_PUBLISH_TOKEN or ~/.pypirc");
}
