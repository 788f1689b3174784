# Loads tarnwick's Homebrew formula under a minimal stand-in for the Formula DSL and installs
# from an unpacked release archive the way Homebrew would on Linux x86_64, printing one fact
# per line for the rehearsal to compare:
#   url URL SHA256          (the archive chosen for the machine)
#   FOLDER FILE             (each file an install line took: bin, man1, bash, zsh, fish)
#   test ok|failed          (the formula's test block, run on the installed binary)
#   FOLDER none             (an install line that found nothing, as Homebrew allows)
# Usage: ruby own_formula_probe.rb FORMULA UNPACKED_ARCHIVE_DIR PREFIX_DIR
require "fileutils"

module Hardware
  module CPU
    def self.arm? = false
  end
end

class Installer
  def initialize(dir, label) = (@dir, @label = dir, label)

  def install(*files)
    files = files.flatten
    return puts("#{@label} none") if files.empty?
    FileUtils.mkdir_p(@dir)
    files.each do |f|
      raise "#{@label}.install: no #{f} in the archive" unless File.exist?(f)
      FileUtils.cp(f, @dir)
      puts "#{@label} #{f}"
    end
  end
end

class Formula
  class << self
    attr_reader :chosen, :install_done

    def inherited(sub)
      super
      $formula = sub
    end

    %w[desc homepage version license].each { |key| define_method(key) { |v| (@facts ||= {})[key] = v } }
    def fact(key) = @facts[key]
    def depends_on(*) = nil
    def on_macos = nil
    def on_linux(&block) = instance_eval(&block)
    def url(value) = (@url = value)
    def sha256(value) = (@chosen = "#{@url} #{value}")
    def test(&block) = (@test_block = block)
    attr_reader :test_block
  end

  def initialize(prefix) = @prefix = prefix
  def bin = Installer.new(File.join(@prefix, "bin"), "bin")
  def man1 = Installer.new(File.join(@prefix, "share/man/man1"), "man1")
  def bash_completion = Installer.new(File.join(@prefix, "etc/bash_completion.d"), "bash")
  def zsh_completion = Installer.new(File.join(@prefix, "share/zsh/site-functions"), "zsh")
  def fish_completion = Installer.new(File.join(@prefix, "share/fish/vendor_completions.d"), "fish")
  def version = self.class.fact("version")
  def shell_output(command) = `#{command}`
  def assert_equal(want, got) = (raise "wanted #{want.inspect}, got #{got.inspect}" unless want == got)
end

formula, unpacked, prefix = ARGV
load formula
puts "url #{$formula.chosen}"
instance = $formula.new(prefix)
Dir.chdir(unpacked) { instance.install }
bin = File.join(prefix, "bin")
begin
  # The test block's #{bin} is the installed bin directory.
  instance.define_singleton_method(:bin) { bin }
  instance.instance_eval(&$formula.test_block)
  puts "test ok"
rescue StandardError => e
  puts "test failed: #{e.message}"
end
