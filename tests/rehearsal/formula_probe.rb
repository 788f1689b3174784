# Loads a generated Homebrew formula under a minimal stand-in for the Formula DSL and prints what
# it declares, one fact per line, for the release rehearsal to compare:
#   class NAME / desc / homepage / version (only if the formula has one) / license
#   audit desc ok | audit desc: PROBLEMS   (Homebrew's rules for a description)
#   url OS CPU URL SHA256        (for each of macos/linux and arm/intel)
#   install FILE                 (each file `bin.install` takes from the unpacked archive)
#   prefix FILE                  (each file `prefix.install` takes)
#   completions SHELL...         (the shells whose completion script the binary printed)
#   test ok|failed               (the formula's test block, run on the installed files)
# Usage: ruby formula_probe.rb FORMULA UNPACKED_ARCHIVE_DIR PREFIX_DIR
require "fileutils"

module Hardware
  module CPU
    class << self
      attr_accessor :arm
      def arm? = arm
    end
  end
end

class Formula
  class << self
    attr_reader :facts, :platforms, :test_block

    def inherited(sub)
      super
      $formula = sub
    end

    def fact(key, value)
      (@facts ||= []) << "#{key} #{value}"
    end

    %w[desc homepage version license].each { |key| define_method(key) { |v| fact(key, v) } }

    def on_macos(&block) = (@platforms ||= []) << ["macos", block]
    def on_linux(&block) = (@platforms ||= []) << ["linux", block]

    def url(value) = (@current[:url] = value)
    def sha256(value) = (@current[:sha256] = value)

    def test(&block) = (@test_block = block)

    # Evaluates each platform block once per CPU kind and records its url and sha256.
    def resources
      platforms.flat_map do |os, block|
        [true, false].map do |arm|
          Hardware::CPU.arm = arm
          @current = {}
          class_exec(&block)
          "url #{os} #{arm ? 'arm' : 'intel'} #{@current[:url]} #{@current[:sha256]}"
        end
      end
    end
  end

  # Homebrew's audit of a description: no article or formula name first, a capital first
  # letter, no final full stop, at most 80 characters.
  def self.desc_problems(name)
    text = facts.find { |f| f.start_with?("desc ") }.to_s.delete_prefix("desc ")
    problems = []
    problems << "starts with an article" if text.match?(/\A(a|an|the)\s/i)
    problems << "starts with the formula name" if text.downcase.start_with?(name.downcase)
    problems << "ends with a full stop" if text.end_with?(".")
    problems << "longer than 80 characters" if text.length > 80
    problems << "does not start with a capital" unless text.match?(/\A[[:upper:][:digit:]]/)
    problems
  end

  # `bin` or `prefix` of an installation under PREFIX, taking files from the unpacked archive.
  class Bin
    def initialize(source, dir)
      @source, @dir, @installed = source, dir, []
    end
    attr_reader :installed

    def /(other) = File.join(@dir, other)

    def install(*files)
      FileUtils.mkdir_p(@dir)
      files.each do |f|
        FileUtils.cp(File.join(@source, f), @dir)
        @installed << f
      end
    end

    def to_s = @dir
  end

  def initialize(source, prefix)
    @bin = Bin.new(source, File.join(prefix, "bin"))
    @prefix = Bin.new(source, prefix)
    @completions = []
  end
  attr_reader :bin, :prefix, :completions

  # As Homebrew does by default: `EXECUTABLE ARGS... SHELL` for bash, zsh and fish.
  def generate_completions_from_executable(executable, *args)
    %w[bash zsh fish].each do |shell|
      out = IO.popen([executable.to_s, *args, shell], err: File::NULL, &:read)
      @completions << shell if $?.success? && !out.empty?
    end
  end
end

formula_file, source, prefix = ARGV
load formula_file
puts "class #{$formula.name}"
puts $formula.facts
problems = $formula.desc_problems(File.basename(formula_file, ".rb"))
puts(problems.empty? ? "audit desc ok" : "audit desc: #{problems.join(', ')}")
puts $formula.resources
formula = $formula.new(source, prefix)
formula.install
formula.bin.installed.each { |f| puts "install #{f}" }
formula.prefix.installed.each { |f| puts "prefix #{f}" }
puts "completions #{formula.completions.join(' ')}"
# The test block's own output goes to stderr, away from the facts.
facts = $stdout.dup
$stdout.flush
$stdout.reopen($stderr)
passed = formula.instance_exec(&$formula.test_block)
facts.puts "test #{passed ? 'ok' : 'failed'}"
