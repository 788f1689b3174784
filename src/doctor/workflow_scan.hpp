// Reading a GitHub Actions workflow for the two facts the platform table dates: the runner
// images a job runs on and the actions it uses. A small line scanner for the subset of YAML
// that carries them (keys with scalar values, flow and block sequences, matrix values,
// comments, quoting, block scalars skipped); it never recurses, so no input can exhaust the
// stack, and it keeps no more than one line and one flow value at a time.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

struct WorkflowEntry {
    enum class Kind {
        Runner,  // a value of `runs-on:` (scalar, sequence, or `labels:` under it) or of a matrix
        Uses,    // the value of `uses:`: "OWNER/NAME[/PATH]@REF"
    };
    Kind kind = Kind::Runner;
    int line = 0;         // 1-based, the line of the key
    std::string value;    // unquoted; bytes as in the file
    std::string comment;  // the comment on the key's line, without "#", trimmed
    friend bool operator==(const WorkflowEntry&, const WorkflowEntry&) = default;
};

// Every runner value and `uses:` value of the workflow text, in file order. Matrix values are
// all the scalars under a `matrix:` key (which of them name runner images is for the judge).
// CRLF line ends are read as LF; bytes that are not UTF-8 are kept as they are.
std::vector<WorkflowEntry> scan_workflow(std::string_view text);

}  // namespace tarnwick
