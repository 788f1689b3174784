// `check`: the name rule and the destination test of `new`, with nothing written. A taken
// destination is reported, not raised; a destination that is not UTF-8 is shown lossily.
#include "scaffold/check_command.hpp"

#include "answers/crate_name.hpp"
#include "core/text.hpp"
#include "output/check_report.hpp"
#include "scaffold/destination.hpp"

namespace tarnwick {

Result<std::string> run_check(const Check& args, OutputFormat format) {
    TARNWICK_TRY(validate_crate_name(args.name));
    const std::string destination = project_destination(args.into, args.name);
    const CheckReport report{
        .name = args.name,
        .destination = decode_lossy(destination),
        .available = !path_exists(destination),
    };
    return (format == OutputFormat::Json ? render_check_json(report) : render_check_text(report)) +
           "\n";
}

}  // namespace tarnwick
