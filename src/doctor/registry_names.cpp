// One GET per question, through curl (the program has no TLS of its own): its own time limit
// under the runner's, the body capped, and the status code written to stderr after the body so
// that a capped body never hides it.
#include "doctor/registry_names.hpp"

#include <cstdlib>
#include <vector>

#include "core/json.hpp"
#include "core/product.hpp"
#include "core/static_text.hpp"
#include "core/text.hpp"
#include "doctor/doctor_contract.hpp"
#include "process/runner.hpp"

namespace tarnwick {
namespace {

// curl gives up a second before the runner would stop it, so that curl says why.
constexpr std::string_view kCurlSeconds = decimal_text<kQuerySeconds - 1>;

std::string base_url(const char* variable, std::string_view fallback) {
    const char* value = std::getenv(variable);
    std::string url = value != nullptr && *value != '\0' ? value : std::string(fallback);
    while (url.ends_with('/')) url.pop_back();
    return url;
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = lower(c);
    return out;
}

struct HttpAnswer {
    int status = 0;  // 0: no answer; detail says why
    std::string body;
    bool cut = false;
    std::string detail;
};

HttpAnswer http_get(const std::string& url) {
    const std::string agent = std::string(kProgramName) + "/" + std::string(kVersion) +
                              " (doctor name lookup; +https://ordoval.dev)";
    auto run = run_child(
        {.program = "curl",
         .args = {"--silent", "--show-error", "--location", "--proto", "=https,http", "--max-time",
                  std::string(kCurlSeconds), "--user-agent", agent, "--header",
                  "Accept: application/json", "--write-out", "%{stderr}\n%{http_code}", url},
         .limits = RunLimits{kQuerySeconds * 1000, kQueryKeptBytes}});
    HttpAnswer answer;
    if (!run) {
        answer.detail = "curl cannot be started: " + run.error().text();
        return answer;
    }
    if (run->timed_out) {
        answer.detail = "no answer from " + url + " within " + std::to_string(kQuerySeconds) + " s";
        return answer;
    }
    const std::string_view err = trim(run->stderr_text);
    const auto last = err.rfind('\n');
    const std::string_view code = err.substr(last == std::string_view::npos ? 0 : last + 1);
    answer.status = code.size() == 3 ? std::atoi(std::string(code).c_str()) : 0;
    if (answer.status == 0) {
        const std::string said(trim(err.substr(0, last == std::string_view::npos ? 0 : last)));
        answer.detail = url + " did not answer" + (said.empty() ? "" : ": " + said.substr(0, 300));
        return answer;
    }
    answer.body = std::move(run->stdout_text);
    answer.cut = run->output_cut;
    return answer;
}

std::optional<Json> parse_json(const HttpAnswer& answer) {
    if (answer.cut) return std::nullopt;
    Json json = Json::parse(answer.body, nullptr, false);
    if (json.is_discarded()) return std::nullopt;
    return json;
}

std::string unexpected(const std::string& url, const HttpAnswer& answer) {
    return url + " answered HTTP " + std::to_string(answer.status);
}

}  // namespace

std::string crates_index_url() {
    return base_url("TARNWICK_CRATES_INDEX_URL", "https://index.crates.io");
}
std::string crates_api_url() {
    return base_url("TARNWICK_CRATES_API_URL", "https://crates.io/api/v1");
}
std::string pypi_url() {
    return base_url("TARNWICK_PYPI_URL", "https://pypi.org");
}

std::string crate_index_path(std::string_view name) {
    const std::string n = lowered(name);
    switch (n.size()) {
        case 1:
            return "1/" + n;
        case 2:
            return "2/" + n;
        case 3:
            return "3/" + n.substr(0, 1) + "/" + n;
        default:
            return n.substr(0, 2) + "/" + n.substr(2, 2) + "/" + n;
    }
}

std::string pypi_normalized(std::string_view name) {
    std::string out;
    for (const char c : name) {
        if (c == '-' || c == '_' || c == '.') {
            if (!out.ends_with('-')) out += '-';
        } else {
            out += lower(c);
        }
    }
    return out;
}

bool same_repository(std::string_view a, std::string_view b) {
    auto canonical = [](std::string_view url) {
        std::string s = lowered(trim(url));
        if (s.starts_with("http://")) s = "https://" + s.substr(7);
        while (s.ends_with('/')) s.pop_back();
        if (s.ends_with(".git")) s.resize(s.size() - 4);
        return s;
    };
    return !trim(a).empty() && canonical(a) == canonical(b);
}

NameLookup look_up_crate(std::string_view name, const std::optional<std::string>& repository) {
    std::vector<std::string> spellings{lowered(name)};
    for (const auto& [from, to] : {std::pair{'_', '-'}, std::pair{'-', '_'}}) {
        std::string other = spellings.front();
        for (char& c : other) {
            if (c == from) c = to;
        }
        if (other != spellings.front() && other != spellings.back()) spellings.push_back(other);
    }
    std::optional<std::string> found;
    for (const std::string& spelling : spellings) {
        const std::string url = crates_index_url() + "/" + crate_index_path(spelling);
        const HttpAnswer answer = http_get(url);
        if (answer.status == 0) return {NameState::Unknown, answer.detail};
        if (answer.status == 200) {
            found = spelling;
            break;
        }
        if (answer.status != 404 && answer.status != 410 && answer.status != 451) {
            return {NameState::Unknown, unexpected(url, answer)};
        }
    }
    if (!found) return {NameState::Free, "crate " + std::string(name) + " is free on crates.io"};

    const std::string taken = "crate " + *found + " on crates.io";
    const std::string url = crates_api_url() + "/crates/" + *found;
    const HttpAnswer answer = http_get(url);
    const auto json = answer.status == 200 ? parse_json(answer) : std::nullopt;
    const Json* owner = nullptr;
    if (json && json->is_object() && json->contains("crate") && (*json)["crate"].is_object() &&
        (*json)["crate"].contains("repository")) {
        owner = &(*json)["crate"]["repository"];
    }
    if (owner == nullptr) {
        return {NameState::Unknown,
                taken + " exists; whose it is could not be read (" +
                    (answer.status == 0 ? answer.detail : unexpected(url, answer)) + ")"};
    }
    const std::string theirs = owner->is_string() ? owner->get<std::string>() : std::string();
    if (repository && same_repository(theirs, *repository)) {
        return {NameState::Ours, taken + " is this project's (" + *repository + ")"};
    }
    return {NameState::Taken, taken + " belongs to " +
                                  (theirs.empty() ? "another project" : theirs.substr(0, 200)) +
                                  ": the first release could not publish it"};
}

NameLookup look_up_pypi(std::string_view name, const std::optional<std::string>& repository) {
    const std::string normalized = pypi_normalized(name);
    const std::string url = pypi_url() + "/pypi/" + normalized + "/json";
    const HttpAnswer answer = http_get(url);
    if (answer.status == 0) return {NameState::Unknown, answer.detail};
    if (answer.status == 404) {
        return {NameState::Free, "package " + normalized + " is free on PyPI"};
    }
    const std::string taken = "package " + normalized + " on PyPI";
    const auto json = answer.status == 200 ? parse_json(answer) : std::nullopt;
    if (!json || !json->is_object() || !json->contains("info") || !(*json)["info"].is_object()) {
        return {NameState::Unknown, taken + " could not be read (" + unexpected(url, answer) + ")"};
    }
    const Json& info = (*json)["info"];
    std::vector<std::string> urls;
    if (info.contains("project_urls") && info["project_urls"].is_object()) {
        for (const auto& [label, value] : info["project_urls"].items()) {
            if (value.is_string()) urls.push_back(value.get<std::string>());
        }
    }
    if (info.contains("home_page") && info["home_page"].is_string()) {
        urls.push_back(info["home_page"].get<std::string>());
    }
    for (const std::string& u : urls) {
        if (repository && same_repository(u, *repository)) {
            return {NameState::Ours, taken + " is this project's (" + *repository + ")"};
        }
    }
    return {NameState::Taken,
            taken + " belongs to another project" +
                (urls.empty() ? std::string() : " (" + urls.front().substr(0, 200) + ")") +
                ": the first release could not publish it"};
}

}  // namespace tarnwick
