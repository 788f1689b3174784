// The PowerShell completion script: the model written out as nested hashtables and one native
// argument completer that walks the command elements before the cursor with them, the same
// walk as the other shells' scripts.
#include <string>

#include "completions/completion_generators.hpp"

namespace tarnwick {
namespace {

// A single-quoted PowerShell string. PowerShell also takes the typographic single quotes
// U+2018..U+201B as quote characters, so those are doubled like the ASCII one.
std::string powershell_quoted(const std::string& text) {
    std::string out = "'";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\'') {
            out += "''";
        } else if (c == 0xE2 && i + 2 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) == 0x80 &&
                   static_cast<unsigned char>(text[i + 2]) >= 0x98 &&
                   static_cast<unsigned char>(text[i + 2]) <= 0x9B) {
            out += text.substr(i, 3) + text.substr(i, 3);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out + "'";
}

std::string array_of(const std::vector<std::string>& items) {
    std::string out = "@(";
    for (std::size_t i = 0; i < items.size(); ++i)
        out += (i ? ", " : "") + powershell_quoted(items[i]);
    return out + ")";
}

// A CompletionResult needs a non-empty tooltip.
std::string tooltip(const std::string& description, const std::string& fallback) {
    return description.empty() ? fallback : description;
}

std::string arg_table(const CompletionArg& arg) {
    const std::string fallback = arg.spellings.empty() ? arg.value_name : arg.spellings.back();
    return "@{ Names = " + array_of(arg.spellings) +
           "; Description = " + powershell_quoted(tooltip(arg.description, fallback)) +
           "; Kind = " + powershell_quoted(value_kind_name(arg.value)) +
           "; Choices = " + array_of(arg.choices) + " }";
}

}  // namespace

std::string powershell_completion(const CompletionCommand& root) {
    std::string out = "# PowerShell completion for " + root.name + "; load it with:\n#   " +
                      root.name +
                      " completions powershell | Out-String | Invoke-Expression\n\n"
                      "using namespace System.Management.Automation\n"
                      "using namespace System.Management.Automation.Language\n\n";
    out += "Register-ArgumentCompleter -Native -CommandName " + powershell_quoted(root.name) +
           " -ScriptBlock {\n    param($wordToComplete, $commandAst, $cursorPosition)\n\n";
    out += "    $commands = @{\n";
    constexpr std::string_view kItem = "\n                ";
    for (const CompletionCommand* cmd : all_commands(root)) {
        out += "        " + powershell_quoted(cmd->key) + " = @{\n            Subcommands = @(";
        for (const CompletionCommand& sub : cmd->subcommands) {
            out += "\n                @{ Name = " + powershell_quoted(sub.name) +
                   "; Description = " + powershell_quoted(tooltip(sub.description, sub.name)) +
                   " }";
        }
        out += "\n            )\n            Options = @(" +
               item_lines(cmd->options, kItem, arg_table);
        out += "\n            )\n            Positionals = @(" +
               item_lines(cmd->positionals, kItem, arg_table);
        out += "\n            )\n        }\n";
    }
    out += "    }\n\n";
    out += "    $command = " + powershell_quoted(root.key) + R"(
    $npos = 0
    $pending = $null
    $dashdash = $false
    foreach ($element in @($commandAst.CommandElements | Select-Object -Skip 1)) {
        if ($element.Extent.EndOffset -ge $cursorPosition) { break }
        $word = $element.Extent.Text
        if ($null -ne $pending) {
            $pending = $null
        } elseif (-not $dashdash -and $word -ceq '--') {
            $dashdash = $true
        } elseif (-not $dashdash -and $word.StartsWith('-')) {
            foreach ($option in $commands[$command].Options) {
                if ($option.Kind -cne 'flag' -and $option.Names -ccontains $word) {
                    $pending = $option
                }
            }
        } elseif (-not $dashdash -and $npos -eq 0 -and
                  @($commands[$command].Subcommands | Where-Object { $_.Name -ceq $word }).Count -gt 0) {
            $command = "$command $word"
        } else {
            $npos++
        }
    }

    $spec = $commands[$command]
    $value = $null
    $results = @(
        if ($null -ne $pending) {
            $value = $pending
        } elseif (-not $dashdash -and $wordToComplete.StartsWith('-')) {
            foreach ($option in $spec.Options) {
                foreach ($name in $option.Names) {
                    [CompletionResult]::new($name, $name, [CompletionResultType]::ParameterName, $option.Description)
                }
            }
        } elseif ($npos -eq 0 -and $spec.Subcommands.Count -gt 0) {
            foreach ($sub in $spec.Subcommands) {
                [CompletionResult]::new($sub.Name, $sub.Name, [CompletionResultType]::ParameterValue, $sub.Description)
            }
        } elseif ($npos -lt $spec.Positionals.Count) {
            $value = $spec.Positionals[$npos]
        } elseif (-not $dashdash) {
            foreach ($option in $spec.Options) {
                foreach ($name in $option.Names) {
                    [CompletionResult]::new($name, $name, [CompletionResultType]::ParameterName, $option.Description)
                }
            }
        }
    )
    if ($null -ne $value -and $value.Kind -ceq 'choices') {
        $results += @(foreach ($choice in $value.Choices) {
            # A choice that holds a space goes in quotes, so it stays one argument.
            $text = if ($choice.Contains(' ')) { "'" + $choice + "'" } else { $choice }
            [CompletionResult]::new($text, $choice, [CompletionResultType]::ParameterValue, $choice)
        })
    } elseif ($null -ne $value -and $value.Kind -ceq 'dirs') {
        $prefix = $wordToComplete -replace '[^/\\]*$', ''
        $results += @(Get-ChildItem -Directory -Path "$wordToComplete*" -ErrorAction SilentlyContinue | ForEach-Object {
            $path = $prefix + $_.Name
            [CompletionResult]::new($path, $_.Name, [CompletionResultType]::ProviderContainer, $path)
        })
    }
    $results | Where-Object { $_.CompletionText.StartsWith($wordToComplete, [System.StringComparison]::Ordinal) }
}
)";
    return out;
}

}  // namespace tarnwick
