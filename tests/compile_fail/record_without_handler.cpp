// Every record of CliCommand needs a handler in the dispatch: one without a case for Doctor
// must not compile, and the error says so. CTest compiles this file alone and looks for that
// message; the program's own dispatch (main.cpp) is the same call with every case.
#include "cli/records.hpp"

namespace probe {

using namespace tarnwick;

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

int run(const CliCommand& command) {
    const Overloaded handlers{
        [](const New&) { return 1; },         [](const Check&) { return 2; },
        [](const Secrets&) { return 3; },     [](const Schema&) { return 4; },
        [](const Completions&) { return 5; }, [](const Update&) { return 6; },
    };
    return dispatch<int>(command, handlers);
}

}  // namespace probe
