#include "update/scratch_dir.hpp"

namespace tarnwick {

Result<std::unique_ptr<ScratchDir>> ScratchDir::create() {
    auto dir = TemporaryDirectory::create("tarnwick-update-");
    TARNWICK_TRY(dir);
    return std::unique_ptr<ScratchDir>(new ScratchDir(std::move(dir).value()));
}

}  // namespace tarnwick
