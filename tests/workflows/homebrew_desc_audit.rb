# Homebrew's audit of a formula's `desc`, ported from its own source
# (Library/Homebrew/rubocops/shared/desc_helper.rb, Homebrew 6.0.18) so that the descriptions the
# release workflow writes can be held to it without Homebrew: the same regular expressions, in
# the same order, on the string's content.
# Usage: ruby homebrew_desc_audit.rb FORMULA_NAME DESC
# Prints each problem on its own line; exits 1 when there is any.
MAX_DESC_LENGTH = 80
VALID_LOWERCASE_WORDS = %w[iOS iPhone macOS].freeze

def desc_problems(name, desc)
  return ["The `desc` (description) should not be an empty string."] if desc.empty?

  problems = []
  problems << "Description shouldn't have leading spaces." if desc.match?(/^\s+/)
  problems << "Description shouldn't have trailing spaces." if desc.match?(/\s+$/)
  if (match = desc.match(/(command ?line)/i))
    problems << "Description should use \"#{match.to_s[0]}ommand-line\" instead of \"#{match}\"."
  end
  problems << "Description shouldn't start with an article." if desc.match?(/^(the|an?)(?=\s)/i)
  if !VALID_LOWERCASE_WORDS.include?(desc.split.first) && desc.match?(/^[a-z]/)
    problems << "Description should start with a capital letter."
  end
  name_regex = name.delete("-").chars.join('[\s\-]?')
  problems << "Description shouldn't start with the formula name." if desc.match?(/^#{name_regex}\b/i)
  if desc.match?(/\.$/) && !desc.end_with?("etc.")
    problems << "Description shouldn't end with a full stop."
  end
  problems << "Description shouldn't contain Unicode emojis or symbols." if desc.match?(/\p{So}/)
  if desc.length > MAX_DESC_LENGTH
    problems << "Description is too long. It should be less than #{MAX_DESC_LENGTH} characters. " \
                "The current length is #{desc.length}."
  end
  problems
end

problems = desc_problems(ARGV.fetch(0), ARGV.fetch(1))
puts problems
exit(problems.empty? ? 0 : 1)
