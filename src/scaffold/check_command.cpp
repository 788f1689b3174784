// `check`: the name rule and the destination test of `new`, with nothing written. A taken
// destination is reported, not raised; a destination that is not UTF-8 is shown lossily.
#include "scaffold/check_command.hpp"

#include <unistd.h>

#include "core/stdio.hpp"
#include "core/text.hpp"
#include "output/check_report.hpp"
#include "scaffold/crate_name.hpp"
#include "scaffold/destination.hpp"

namespace tarnwick {

Status run_check(const Check& args, OutputFormat format) {
    if (auto s = validate_crate_name(args.name); !s) return s;
    const std::string destination = project_destination(args.into, args.name);
    const CheckReport report{
        .name = args.name,
        .destination = decode_lossy(destination),
        .available = !path_exists(destination),
    };
    const std::string text =
        format == OutputFormat::Json ? render_check_json(report) : render_check_text(report);
    // A lost check report would read as "no answer" to a script: fail loudly instead.
    print_or_die(STDOUT_FILENO, text + "\n", "stdout");
    return Ok{};
}

}  // namespace tarnwick
