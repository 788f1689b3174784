// The reports of the secrets command as a few indented lines for a person, or one compact JSON
// object (members in record order) for a program.
#pragma once

#include <string>

#include "core/output_format.hpp"
#include "secrets/secrets_report.hpp"

namespace tarnwick {

// The report as written to stdout, without the final line feed.
std::string render_secrets_report(const SecretsReport& report, OutputFormat format);
std::string render_verify_report(const VerifyReport& report, OutputFormat format);

}  // namespace tarnwick
