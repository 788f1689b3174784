# Loads a generated Homebrew formula under a minimal stand-in for the Formula DSL and prints what
# it declares, one fact per line, for the release rehearsal to compare:
#   class NAME / desc / homepage / version / license
#   url OS CPU URL SHA256        (for each of macos/linux and arm/intel)
#   install FILE                 (each file `bin.install` takes from the unpacked archive)
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

  # `bin` of an installation into PREFIX/bin, taking files from the unpacked archive.
  class Bin
    def initialize(source, dir)
      @source, @dir, @installed = source, dir, []
    end
    attr_reader :installed

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
  end
  attr_reader :bin
end

formula_file, source, prefix = ARGV
load formula_file
puts "class #{$formula.name}"
puts $formula.facts
puts $formula.resources
formula = $formula.new(source, prefix)
formula.install
formula.bin.installed.each { |f| puts "install #{f}" }
# The test block's own output goes to stderr, away from the facts.
facts = $stdout.dup
$stdout.flush
$stdout.reopen($stderr)
passed = formula.instance_exec(&$formula.test_block)
facts.puts "test #{passed ? 'ok' : 'failed'}"
