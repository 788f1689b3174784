#include "update/scratch_dir.hpp"

namespace tarnwick {

Result<std::unique_ptr<ScratchDir>> ScratchDir::create() {
    TARNWICK_TRY_ASSIGN(auto dir, TemporaryDirectory::create("tarnwick-update-"));
    return std::unique_ptr<ScratchDir>(new ScratchDir(std::move(dir)));
}

}  // namespace tarnwick
