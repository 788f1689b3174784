#include "schema/contract.hpp"

namespace tarnwick {

Json contract() { return Json::object(); }

}  // namespace tarnwick
