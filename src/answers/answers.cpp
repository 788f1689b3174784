#include "answers/answers.hpp"

#include <algorithm>
#include <vector>

#include "answers/crate_name.hpp"
#include "answers/option_values.hpp"
#include "answers/template_values.hpp"
#include "core/github_names.hpp"
#include "core/product.hpp"
#include "core/text.hpp"

namespace tarnwick {
namespace {

template <std::string Answers::*field>
std::string text_of(const Answers& a) {
    return a.*field;
}

template <std::string Answers::*field>
bool set_text(Answers& a, std::string_view text) {
    a.*field = std::string(text);
    return true;
}

template <std::optional<std::string> GivenAnswers::*field>
std::optional<std::string> given_text(const GivenAnswers& given) {
    return given.*field;
}

Status name_rule(const Answers& a) {
    TARNWICK_TRY(validate_crate_name(a.name));
    if (a.pypi) TARNWICK_TRY(validate_python_name(a.name));
    return Ok{};
}

Status year_rule(const Answers& a) {
    if (a.year.size() == 4 && a.year.find_first_not_of("0123456789") == std::string::npos) {
        return Ok{};
    }
    return CliError::usage("invalid year " + tarnwick::quoted(a.year) + ": use four digits");
}

constexpr AnswerRow kRows[] = {
    {.key = "name",
     .label = "name",
     .placeholder = "{{name}}",
     .type = AnswerType::Word,
     .text = text_of<&Answers::name>,
     .set = set_text<&Answers::name>,
     .rule = name_rule,
     .given = nullptr},
    {.key = "owner",
     .label = "owner",
     .placeholder = "{{owner}}",
     .type = AnswerType::Word,
     .text = text_of<&Answers::owner>,
     .set = set_text<&Answers::owner>,
     .rule = [](const Answers& a) { return check_owner(a.owner); },
     .given = given_text<&GivenAnswers::owner>},
    {.key = "description",
     .label = "description",
     .placeholder = "{{description}}",
     .type = AnswerType::Text,
     .text = text_of<&Answers::description>,
     .set = set_text<&Answers::description>,
     .rule = [](const Answers& a) { return check_description(a.description); },
     .given = given_text<&GivenAnswers::description>},
    {.key = "author",
     .label = "author",
     .placeholder = "{{author}}",
     .type = AnswerType::Text,
     .text = text_of<&Answers::author>,
     .set = set_text<&Answers::author>,
     .rule = [](const Answers& a) { return check_author(a.author, false); },
     .given = given_text<&GivenAnswers::author>},
    {.key = "year",
     .label = "year",
     .placeholder = "{{year}}",
     .type = AnswerType::Word,
     .text = text_of<&Answers::year>,
     .set = set_text<&Answers::year>,
     .rule = year_rule,
     .given = nullptr},
    {.key = "pypi",
     .label = "PyPI",
     .placeholder = "{{pypi}}",
     .type = AnswerType::Switch,
     .text = [](const Answers& a) { return std::string(a.pypi ? "true" : "false"); },
     .set =
         [](Answers& a, std::string_view text) {
             if (text != "true" && text != "false") return false;
             a.pypi = text == "true";
             return true;
         },
     .rule = nullptr,
     .given = [](const GivenAnswers& given) -> std::optional<std::string> {
         if (given.pypi) return "true";
         if (given.no_pypi) return "false";
         return std::nullopt;
     }},
    {.key = "tap",
     .label = "tap",
     .placeholder = "{{tap}}",
     .type = AnswerType::Word,
     .text = text_of<&Answers::tap>,
     .set = set_text<&Answers::tap>,
     .rule = [](const Answers& a) { return check_tap(a.tap); },
     .given = given_text<&GivenAnswers::tap>},
    {.key = "license",
     .label = "license",
     .placeholder = "{{license}}",
     .type = AnswerType::Choice,
     .choices = kLicenseNames,
     .text =
         [](const Answers& a) {
             return std::string(kLicenseNames[static_cast<std::size_t>(a.license)]);
         },
     .set =
         [](Answers& a, std::string_view text) {
             const auto at = std::find(kLicenseNames.begin(), kLicenseNames.end(), text);
             if (at == kLicenseNames.end()) return false;
             a.license = static_cast<License>(at - kLicenseNames.begin());
             return true;
         },
     .rule = nullptr,
     .given = [](const GivenAnswers& given) -> std::optional<std::string> {
         if (!given.license) return std::nullopt;
         return std::string(kLicenseNames[static_cast<std::size_t>(*given.license)]);
     },
     .older_sets = "MIT"},
};

constexpr DerivedValue kDerived[] = {
    {"{{name_snake}}", [](const Answers& a) { return snake_name(a.name); }},
    {"{{name_pascal}}", [](const Answers& a) { return pascal_name(a.name); }},
    {"{{author_fields}}", [](const Answers& a) { return pyproject_author_fields(a.author); }},
    {"{{tap_short}}", [](const Answers& a) { return tap_short_name(a.tap); }},
};

constexpr TemplateSwitch kSwitches[] = {
    {"pypi", [](const Answers& a) { return a.pypi; }},
    {"dual_license", [](const Answers& a) { return a.license == License::MitOrApache; }},
};

// The licence texts of the templates, and which of them each licence is published with.
constexpr std::string_view kApacheText = "LICENSE-APACHE";
constexpr std::string_view kMitText = "LICENSE-MIT";

std::vector<std::string_view> license_texts(License license) {
    switch (license) {
        case License::Mit:
            return {kMitText};
        case License::Apache:
            return {kApacheText};
        case License::MitOrApache:
            return {kApacheText, kMitText};
    }
    return {};
}

}  // namespace

std::span<const AnswerRow> answer_rows() {
    return kRows;
}

const AnswerRow* find_answer_row(std::string_view key) {
    for (const AnswerRow& row : kRows) {
        if (row.key == key) return &row;
    }
    return nullptr;
}

Answers new_answers(std::string_view name, std::string_view year) {
    return Answers{.name = std::string(name),
                   .owner = std::string(kDefaultOwner),
                   .description = default_description(name),
                   .author = {},
                   .year = std::string(year),
                   .pypi = true,
                   .tap = default_tap(kDefaultOwner),
                   .license = License::Mit};
}

Answers with_given(const Answers& base, const GivenAnswers& given) {
    Answers answers = base;
    for (const AnswerRow& row : kRows) {
        if (row.given == nullptr) continue;
        // A value the parser took for the option is one of the row's: set cannot refuse it.
        if (auto value = row.given(given)) (void)row.set(answers, *value);
    }
    if (!given.tap && base.tap == default_tap(base.owner)) answers.tap = default_tap(answers.owner);
    return answers;
}

Status check_rules(const Answers& answers) {
    for (const AnswerRow& row : kRows) {
        if (row.rule != nullptr) TARNWICK_TRY(row.rule(answers));
    }
    return Ok{};
}

std::span<const DerivedValue> derived_values() {
    return kDerived;
}

std::span<const TemplateSwitch> template_switches() {
    return kSwitches;
}

std::optional<std::string> output_path(std::string_view path, const Answers& answers) {
    if (path == "pyproject.toml" && !answers.pypi) return std::nullopt;
    if (path == kApacheText || path == kMitText) {
        const auto texts = license_texts(answers.license);
        if (std::find(texts.begin(), texts.end(), path) == texts.end()) return std::nullopt;
        if (texts.size() == 1) return std::string("LICENSE");
    }
    return std::string(path);
}

}  // namespace tarnwick
