// What `secrets` did or found. Only names, reasons, notes and the repository ever appear
// here, never a secret value.
#pragma once

#include <string>
#include <vector>

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

}  // namespace tarnwick
