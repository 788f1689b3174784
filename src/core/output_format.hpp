// The format of a command's report, resolved once by the entry point.
#pragma once

namespace tarnwick {

enum class OutputFormat { Text, Json };

}  // namespace tarnwick
