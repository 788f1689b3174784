// Placeholder handler until the secrets command lands.
#include "secrets/secrets_command.hpp"

namespace tarnwick {

Status run_secrets(const Secrets&, OutputFormat) { return CliError::io("secrets: not built yet"); }

}  // namespace tarnwick
