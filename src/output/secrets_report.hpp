// The reports of the secrets command and their renderings: a few indented lines for a person,
// one compact JSON object (members in record order) for a program. Only names, reasons, notes
// and the repository ever appear here, never a secret value.
#pragma once

#include <string>
#include <vector>

#include "core/output_format.hpp"

namespace tarnwick {

struct SkippedSecret {
    std::string secret;
    std::string reason;
};

// The outcome of a bootstrap or a dry run.
struct SecretsReport {
    std::string repo;
    bool dry_run = false;
    std::vector<std::string> set;
    std::vector<SkippedSecret> skipped;
    std::vector<std::string> notes;
};

// The outcome of --verify: each release secret is in exactly one of the two lists.
struct VerifyReport {
    std::string repo;
    std::vector<std::string> present;
    std::vector<std::string> missing;
};

// The report as written to stdout, without the final line feed.
std::string render_secrets_report(const SecretsReport& report, OutputFormat format);
std::string render_verify_report(const VerifyReport& report, OutputFormat format);

}  // namespace tarnwick
