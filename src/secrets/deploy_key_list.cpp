// Reads the deploy-key list with nlohmann's SAX interface. SAX callbacks carry no positions, so
// the input iterator records how far the lexer has read; a semantic fault (missing, repeated or
// mistyped member) is reported at the last character of the token that revealed it.
#include "secrets/deploy_key_list.hpp"

#include <iterator>
#include <limits>
#include <optional>

#include "core/json.hpp"
#include "core/text.hpp"

namespace tarnwick {
namespace {

// An input iterator over the text that publishes, through *cursor, the next byte the lexer
// will read.
class CountingIterator {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    CountingIterator(const char* at, const char** cursor) : at_(at), cursor_(cursor) {}
    reference operator*() const { return *at_; }
    CountingIterator& operator++() {
        ++at_;
        if (cursor_ != nullptr) *cursor_ = at_;
        return *this;
    }
    CountingIterator operator++(int) {
        CountingIterator before = *this;
        ++*this;
        return before;
    }
    bool operator==(const CountingIterator& other) const { return at_ == other.at_; }
    bool operator!=(const CountingIterator& other) const { return at_ != other.at_; }

private:
    const char* at_;
    const char** cursor_;
};

// " at line L column C" for the character at offset (0-based) in text.
std::string position_suffix(std::string_view text, std::size_t offset) {
    std::size_t line = 1, line_start = 0;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            line_start = i + 1;
        }
    }
    return " at line " + std::to_string(line) + " column " +
           std::to_string(offset - line_start + 1);
}

// Rewrites nlohmann's "[json.exception.parse_error.N] parse error at line L, column C: what"
// as "what at line L column C".
std::string describe_syntax_error(const std::string& what) {
    const std::string marker = "parse error at line ";
    const auto at = what.find(marker);
    const auto comma = what.find(", column ", at);
    const auto colon = what.find(": ", comma);
    if (at == std::string::npos || comma == std::string::npos || colon == std::string::npos) {
        return what;
    }
    const std::string line = what.substr(at + marker.size(), comma - at - marker.size());
    const std::string column = what.substr(comma + 9, colon - comma - 9);
    return what.substr(colon + 2) + " at line " + line + " column " + column;
}

enum class Member { Id, Title, Key, Other };

class ListReader : public nlohmann::json_sax<Json> {
public:
    ListReader(std::string_view text, const char** cursor) : text_(text), cursor_(cursor) {}

    std::vector<DeployKey> keys;
    std::optional<std::string> error;

    bool null() override { return scalar("null"); }
    bool boolean(bool) override { return scalar("a boolean"); }
    bool number_integer(number_integer_t value) override {
        if (skip_depth_ > 0 || !in_object_ || member_ != Member::Id)
            return scalar("an integer", true);
        // gh would read a negative id as an option, and GitHub never gives out 0.
        if (value <= 0) return fail("`id` is not a positive integer", number_end());
        id_ = value;
        return true;
    }
    bool number_unsigned(number_unsigned_t value) override {
        if (skip_depth_ > 0 || !in_object_ || member_ != Member::Id)
            return scalar("an integer", true);
        if (value > static_cast<number_unsigned_t>(std::numeric_limits<std::int64_t>::max())) {
            return fail("`id` is out of range for a signed 64-bit integer", number_end());
        }
        if (value == 0) return fail("`id` is not a positive integer", number_end());
        id_ = static_cast<std::int64_t>(value);
        return true;
    }
    bool number_float(number_float_t, const string_t& lexeme) override {
        const bool integral = lexeme.find_first_of(".eE") == std::string::npos;
        if (integral && skip_depth_ == 0 && in_object_ && member_ == Member::Id) {
            return fail("`id` is out of range for a signed 64-bit integer", number_end());
        }
        return scalar("a floating-point number", true);
    }
    bool string(string_t& value) override {
        if (skip_depth_ > 0 || !in_object_) return scalar("a string");
        if (member_ == Member::Title) {
            title_ = std::move(value);
        } else if (member_ == Member::Key) {
            key_ = std::move(value);
        } else {
            return scalar("a string");
        }
        return true;
    }
    bool binary(binary_t&) override { return scalar("binary data"); }

    bool start_object(std::size_t) override {
        if (skip_depth_ > 0) return ++skip_depth_, true;
        if (!in_array_) return fail_type("an object", "an array of deploy keys", consumed());
        if (!in_object_) {
            in_object_ = true;
            id_.reset();
            title_.reset();
            key_.reset();
            seen_id_ = seen_title_ = false;
            return true;
        }
        return nested("an object");
    }
    bool start_array(std::size_t) override {
        if (skip_depth_ > 0) return ++skip_depth_, true;
        if (!started_) {
            started_ = in_array_ = true;
            return true;
        }
        if (!in_object_) return fail_type("an array", "a deploy-key object", consumed());
        return nested("an array");
    }
    bool key(string_t& name) override {
        if (skip_depth_ > 0) return true;
        if (name == "id" || name == "title") {
            bool& seen = name == "id" ? seen_id_ : seen_title_;
            if (seen) return fail("duplicate field `" + name + "`", consumed());
            seen = true;
            member_ = name == "id" ? Member::Id : Member::Title;
        } else if (name == "key") {
            member_ = Member::Key;
        } else {
            member_ = Member::Other;
        }
        return true;
    }
    bool end_object() override {
        if (skip_depth_ > 0) return --skip_depth_, true;
        in_object_ = false;
        if (!seen_id_) return fail("missing field `id`", consumed());
        if (!seen_title_) return fail("missing field `title`", consumed());
        keys.push_back({*id_, std::move(*title_), key_.value_or("")});
        return true;
    }
    bool end_array() override {
        if (skip_depth_ > 0) return --skip_depth_, true;
        in_array_ = false;
        return true;
    }
    bool parse_error(std::size_t, const std::string&,
                     const nlohmann::detail::exception& ex) override {
        if (error) return false;
        const std::string what = ex.what();
        error = describe_syntax_error(what);
        if (*error == what) {
            // No position in the library's text (a number too large for a double, say):
            // name the end of the token the lexer stopped on.
            const auto bracket = what.find("] ");
            const std::size_t end = number_end();
            error = what.substr(bracket == std::string::npos ? 0 : bracket + 2) +
                    position_suffix(text_, end == 0 ? 0 : end - 1);
        }
        return false;
    }

private:
    // Bytes the lexer has read so far; the last of them is at consumed() - 1.
    std::size_t consumed() const { return static_cast<std::size_t>(*cursor_ - text_.data()); }

    // A number is only known to end once the lexer has read the character after it.
    std::size_t number_end() const {
        std::size_t n = consumed();
        const std::string_view number_chars = "0123456789+-.eE";
        if (n > 0 && number_chars.find(text_[n - 1]) == std::string_view::npos) --n;
        return n;
    }

    bool scalar(const char* found, bool number = false) {
        if (skip_depth_ > 0) return true;
        const std::size_t end = number ? number_end() : consumed();
        if (!started_) return fail_type(found, "an array of deploy keys", end);
        if (!in_object_) return fail_type(found, "a deploy-key object", end);
        switch (member_) {
            case Member::Id:
                return fail_type(found, "a signed 64-bit integer for `id`", end);
            case Member::Title:
                return fail_type(found, "a string for `title`", end);
            case Member::Key:
                return fail_type(found, "a string for `key`", end);
            case Member::Other:
                return true;
        }
        return true;
    }

    // An object or array as the value of a member.
    bool nested(const char* found) {
        switch (member_) {
            case Member::Id:
                return fail_type(found, "a signed 64-bit integer for `id`", consumed());
            case Member::Title:
                return fail_type(found, "a string for `title`", consumed());
            case Member::Key:
                return fail_type(found, "a string for `key`", consumed());
            case Member::Other:
                skip_depth_ = 1;
                return true;
        }
        return true;
    }

    bool fail_type(const std::string& found, const std::string& expected, std::size_t end) {
        return fail("invalid type: " + found + ", expected " + expected, end);
    }

    bool fail(const std::string& what, std::size_t end) {
        error = what + position_suffix(text_, end == 0 ? 0 : end - 1);
        return false;
    }

    std::string_view text_;
    const char** cursor_;
    bool started_ = false, in_array_ = false, in_object_ = false;
    bool seen_id_ = false, seen_title_ = false;
    Member member_ = Member::Other;
    std::size_t skip_depth_ = 0;
    std::optional<std::int64_t> id_;
    std::optional<std::string> title_;
    std::optional<std::string> key_;
};

}  // namespace

Result<std::vector<DeployKey>, ListParseError> parse_deploy_key_list(std::string_view text) {
    if (trim(text).empty()) return std::vector<DeployKey>{};
    const char* cursor = text.data();
    ListReader reader(text, &cursor);
    CountingIterator first(text.data(), &cursor), last(text.data() + text.size(), nullptr);
    const bool ok =
        Json::sax_parse(first, last, &reader, nlohmann::json::input_format_t::json, true, false);
    if (!ok || reader.error) {
        return ListParseError{reader.error.value_or("malformed deploy-key list")};
    }
    return std::move(reader.keys);
}

}  // namespace tarnwick
