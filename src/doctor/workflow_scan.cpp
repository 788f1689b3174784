// The scanner keeps, per line, an explicit stack of the open keys (their indentation and
// name) instead of recursing, skips block scalars (`run: |` bodies are shell, not YAML), and
// gathers a flow sequence that spans lines up to a fixed size.
#include "doctor/workflow_scan.hpp"

#include <cstddef>

#include "core/text.hpp"

namespace tarnwick {
namespace {

// A flow value (`[a, b]` over several lines) longer than this is not a runner list; it is
// dropped rather than held.
constexpr std::size_t kMaxFlowValue = std::size_t{64} * 1024;
// Nor is a scalar longer than this a runner label or an action reference.
constexpr std::size_t kMaxScalar = std::size_t{4} * 1024;

struct OpenKey {
    std::size_t indent;
    std::string key;
};

bool is_space(char c) {
    return c == ' ' || c == '\t';
}

// The unquoted text of a scalar: '…' with '' for a quote, "…" with backslash escapes of
// `"` and `\`; anything else as it is.
std::string unquote(std::string_view value) {
    value = trim(value);
    if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'') {
        std::string out;
        value = value.substr(1, value.size() - 2);
        for (std::size_t i = 0; i < value.size(); ++i) {
            out += value[i];
            if (value[i] == '\'' && i + 1 < value.size() && value[i + 1] == '\'') ++i;
        }
        return out;
    }
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        std::string out;
        value = value.substr(1, value.size() - 2);
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (value[i] == '\\' && i + 1 < value.size()) ++i;
            out += value[i];
        }
        return out;
    }
    return std::string(value);
}

// Inside a quoted scalar: true, with the closing quote or a double-quoted escape consumed.
bool in_quotes(std::string_view text, std::size_t& i, char& quote) {
    if (quote == 0) return false;
    if (text[i] == '\\' && quote == '"') {
        ++i;
    } else if (text[i] == quote) {
        quote = 0;
    }
    return true;
}

// Splits a line's content from its comment: a '#' at the start or after white space, outside
// quotes. Quotes only open at the start of a scalar, which is all this subset needs.
void split_comment(std::string_view line, std::string_view& content, std::string_view& comment) {
    char quote = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (in_quotes(line, i, quote)) continue;
        const bool at_start = i == 0 || is_space(line[i - 1]) || line[i - 1] == '[' ||
                              line[i - 1] == '{' || line[i - 1] == ',' || line[i - 1] == ':';
        if ((c == '"' || c == '\'') && at_start) {
            quote = c;
        } else if (c == '#' && (i == 0 || is_space(line[i - 1]))) {
            content = line.substr(0, i);
            comment = trim(line.substr(i + 1));
            return;
        }
    }
    content = line;
    comment = {};
}

// The position of the ':' that ends a mapping key in content (followed by a space or the end),
// outside quotes; npos when the content is not "key: value".
std::size_t key_colon(std::string_view content) {
    char quote = 0;
    for (std::size_t i = 0; i < content.size(); ++i) {
        const char c = content[i];
        if (in_quotes(content, i, quote)) continue;
        if ((c == '"' || c == '\'') && i == 0) {
            quote = c;
        } else if (c == '[' || c == '{') {
            return std::string_view::npos;  // a flow collection, not a key
        } else if (c == ':' && (i + 1 == content.size() || is_space(content[i + 1]))) {
            return i;
        }
    }
    return std::string_view::npos;
}

// The bracket depth a flow text leaves open (negative: more closed than opened).
long flow_depth(std::string_view text) {
    long depth = 0;
    char quote = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote != 0) {
            if (c == '\\' && quote == '"') {
                ++i;
            } else if (c == quote) {
                quote = 0;
            }
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[' || c == '{') {
            ++depth;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return depth;
}

// The scalar values of a flow collection, in order: the elements of sequences and the values
// (not the keys) of mappings, at any depth, read in one pass.
std::vector<std::string> flow_values(std::string_view text) {
    std::vector<std::string> values;
    std::string element;
    bool element_is_key = false;
    char quote = 0;
    auto finish = [&] {
        const std::string_view e = trim(element);
        if (!e.empty() && !element_is_key) values.push_back(unquote(e));
        element.clear();
        element_is_key = false;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote != 0) {
            element += c;
            if (c == '\\' && quote == '"' && i + 1 < text.size()) {
                element += text[++i];
            } else if (c == quote) {
                quote = 0;
            }
            continue;
        }
        if ((c == '"' || c == '\'') && trim(element).empty()) {
            quote = c;
            element += c;
        } else if (c == '[' || c == '{' || c == ']' || c == '}' || c == ',') {
            finish();
        } else if (c == ':' && (i + 1 == text.size() || is_space(text[i + 1]) ||
                                text[i + 1] == ',' || text[i + 1] == '[' || text[i + 1] == '{')) {
            element.clear();  // what came before was a key
            element_is_key = false;
        } else {
            element += c;
        }
    }
    finish();
    return values;
}

class Scanner {
public:
    void line(std::string_view raw, int number) {
        if (raw.ends_with('\r')) raw.remove_suffix(1);
        std::size_t indent = 0;
        while (indent < raw.size() && is_space(raw[indent])) ++indent;
        const bool blank = indent == raw.size();

        if (block_scalar_) {
            if (blank || indent > block_indent_) return;
            block_scalar_ = false;
        }
        std::string_view content, comment;
        split_comment(raw.substr(indent), content, comment);
        content = trim(content);

        if (flow_open_) {
            if (content.empty()) return;
            if (flow_.size() + content.size() + 1 > kMaxFlowValue) {
                flow_open_ = false;  // too long to be a list of labels
                flow_.clear();
                return;
            }
            flow_ += ' ';
            flow_ += content;
            flow_depth_ += flow_depth(content);
            if (flow_depth_ <= 0) finish_flow();
            return;
        }
        if (content.empty() || content.starts_with("---") || content.starts_with("...")) return;

        // Sequence dashes: "- - key: value" opens items whose content sits further right.
        std::size_t column = indent;
        bool dashed = false;
        while (content == "-" || content.starts_with("- ") || content.starts_with("-\t")) {
            const std::size_t before = content.size();
            content = trim(content.substr(1));
            column += before - content.size();
            if (!dashed) pop_deeper_than(indent);
            dashed = true;
        }
        if (content.empty()) return;  // "-" alone opens an item on the next line

        const std::size_t colon = key_colon(content);
        if (colon == std::string_view::npos) {
            // A bare item (or a flow collection) belongs to the innermost open key.
            if (dashed)
                take_value(open_.empty() ? std::string() : open_.back().key, content, comment,
                           number);
            return;
        }
        if (!dashed) pop_at_or_deeper_than(column);
        const std::string key = unquote(content.substr(0, colon));
        const std::string_view value = trim(content.substr(colon + 1));
        if (value.empty()) {
            open_.push_back({column, key});
            return;
        }
        if (value.starts_with('|') || value.starts_with('>')) {
            block_scalar_ = true;
            block_indent_ = column;
            return;
        }
        // A key with a value holds nothing below it, but it is the owner while it is read.
        open_.push_back({column, key});
        take_value(key, value, comment, number);
        open_.pop_back();
    }

    std::vector<WorkflowEntry> finish() {
        if (flow_open_ && flow_depth_ <= 0) finish_flow();
        return std::move(entries_);
    }

private:
    void pop_deeper_than(std::size_t indent) {
        while (!open_.empty() && open_.back().indent > indent) open_.pop_back();
    }
    void pop_at_or_deeper_than(std::size_t indent) {
        while (!open_.empty() && open_.back().indent >= indent) open_.pop_back();
    }

    bool in_matrix() const {
        for (const OpenKey& k : open_) {
            if (k.key == "matrix") return true;
        }
        return false;
    }

    // Whether a value owned by key names runners: runs-on itself, `labels:` under runs-on, or
    // anything in a matrix.
    bool names_runners(const std::string& key) const {
        if (key == "runs-on" || in_matrix()) return true;
        return key == "labels" && open_.size() >= 2 && open_[open_.size() - 2].key == "runs-on";
    }

    void take_value(const std::string& key, std::string_view value, std::string_view comment,
                    int number) {
        if (value.size() > kMaxFlowValue) return;
        if (key == "uses") {
            if (value.size() > kMaxScalar) return;
            entries_.push_back(
                {WorkflowEntry::Kind::Uses, number, unquote(value), std::string(comment)});
            return;
        }
        if (!names_runners(key)) return;
        if (value.starts_with('[') || value.starts_with('{')) {
            flow_.assign(value);
            flow_line_ = number;
            flow_comment_.assign(comment);
            flow_depth_ = flow_depth(flow_);
            if (flow_depth_ > 0) {
                flow_open_ = true;
                return;
            }
            finish_flow();
            return;
        }
        if (value.size() > kMaxScalar) return;
        entries_.push_back(
            {WorkflowEntry::Kind::Runner, number, unquote(value), std::string(comment)});
    }

    void finish_flow() {
        for (std::string& v : flow_values(flow_)) {
            entries_.push_back(
                {WorkflowEntry::Kind::Runner, flow_line_, std::move(v), flow_comment_});
        }
        flow_open_ = false;
        flow_.clear();
    }

    std::vector<OpenKey> open_;
    std::vector<WorkflowEntry> entries_;
    bool block_scalar_ = false;
    std::size_t block_indent_ = 0;
    bool flow_open_ = false;
    long flow_depth_ = 0;  // brackets the gathered flow text leaves open
    std::string flow_;
    std::string flow_comment_;
    int flow_line_ = 0;
};

}  // namespace

std::vector<WorkflowEntry> scan_workflow(std::string_view text) {
    Scanner scanner;
    int number = 0;
    for (const std::string_view line : lines(text)) scanner.line(line, ++number);
    return scanner.finish();
}

}  // namespace tarnwick
