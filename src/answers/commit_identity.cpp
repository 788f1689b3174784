// Splitting an author text such as "Ada Lovelace <ada@example.com>" into commit name and
// e-mail; texts without a well-ordered "<...>" are taken as a bare name.
#include "answers/commit_identity.hpp"

#include "core/text.hpp"

namespace tarnwick {

CommitIdentity split_author(std::string_view author) {
    CommitIdentity identity;
    auto open = author.find('<');
    auto close = author.rfind('>');
    if (open != std::string_view::npos && close != std::string_view::npos && open < close) {
        identity.name = trim(author.substr(0, open));
        identity.email = trim(author.substr(open + 1, close - open - 1));
    } else {
        identity.name = trim(author);
    }
    return identity;
}

CommitIdentity commit_identity(std::string_view author) {
    CommitIdentity identity = split_author(author);
    if (identity.name.empty()) identity.name = kFallbackCommitName;
    if (identity.email.empty()) identity.email = kFallbackCommitEmail;
    return identity;
}

}  // namespace tarnwick
