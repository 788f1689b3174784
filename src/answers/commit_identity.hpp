// The identity of the first commit, taken from the author text rather than from the user's
// git configuration, so that committing works on a machine with no identity set up.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

inline constexpr std::string_view kFallbackCommitName = "tarnwick";
inline constexpr std::string_view kFallbackCommitEmail = "tarnwick@users.noreply.github.com";

struct CommitIdentity {
    std::string name;
    std::string email;
};

// "Name <email>" splits at the first "<" and the last ">", each part trimmed; anything else
// is all name, with an empty e-mail.
CommitIdentity split_author(std::string_view author);

// split_author, with empty parts falling back to the tool's own name and no-reply address.
CommitIdentity commit_identity(std::string_view author);

}  // namespace tarnwick
