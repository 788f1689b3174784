// The reader of the project's record (.tarnwick.toml): a record it accepts gives back values
// that stand in the text between double quotes and hold neither quote, backslash nor line
// break, and the record written again as the template writes it reads back the same; a refusal
// is a git error that names the file and a line.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_check.hpp"
#include "answers/project_record.hpp"

using fuzz_check::in;
using fuzz_check::require;

namespace {

std::string written(const tarnwick::ProjectRecord& r) {
    const tarnwick::Answers& a = r.answers;
    return "[template]\nset = \"" + r.template_set + "\"\n\n[answers]\nname = \"" + a.name +
           "\"\nowner = \"" + a.owner + "\"\ndescription = \"" + a.description + "\"\nauthor = \"" +
           a.author + "\"\nyear = \"" + a.year + "\"\npypi = " + (a.pypi ? "true" : "false") +
           "\ntap = \"" + a.tap + "\"\n";
}

bool same(const tarnwick::ProjectRecord& x, const tarnwick::ProjectRecord& y) {
    const tarnwick::Answers& a = x.answers;
    const tarnwick::Answers& b = y.answers;
    return x.template_set == y.template_set && a.name == b.name && a.owner == b.owner &&
           a.description == b.description && a.author == b.author && a.year == b.year &&
           a.pypi == b.pypi && a.tap == b.tap && a.name_snake == b.name_snake &&
           a.name_pascal == b.name_pascal && a.author_fields == b.author_fields;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto record = tarnwick::parse_project_record(text);
    if (!record) {
        require(record.error().kind() == "git");
        require(record.error().message().starts_with("git: .tarnwick.toml line "));
        return 0;
    }
    const tarnwick::Answers& a = record->answers;
    for (const std::string* value :
         {&record->template_set, &a.name, &a.owner, &a.description, &a.author, &a.year, &a.tap}) {
        require(in(text, "\"" + *value + "\""));
        require(value->find_first_of("\"\\\n") == std::string::npos);
    }
    const auto again = tarnwick::parse_project_record(written(*record));
    require(again.ok() && same(*record, *again));
    (void)tarnwick::check_answers(a, "in the record");
    return 0;
}
