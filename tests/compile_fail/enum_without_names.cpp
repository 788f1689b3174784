// An argument bound to an enum takes its choices from the enum's type: without
// choices_of(Colour) beside the enum, this declaration must not compile, and the error says
// what is missing. CTest compiles this file alone and looks for that message.
#include "cli/binding.hpp"

namespace probe {

enum class Colour { Red, Blue };

struct Paint {
    Colour colour = Colour::Red;
};

constexpr tarnwick::ArgSpec kColour =
    tarnwick::option<&Paint::colour>("colour", "COLOUR", "Colour of the paint");

}  // namespace probe
