// Makes the stand-ins in the catalog folder the reference server offers: one for every file the
// page's own catalog names, for the tests that run without Wine. They are not the real libraries or
// installers: a DLL stand-in is a line of text, an installer stand-in a shell script that installs
// nothing and exits 0. The demo's real Windows files are copied in beside them by the build.
//
//     node scripts/demo-catalog.mjs CATALOG.json OUT-FOLDER

import { chmodSync, mkdirSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { join } from "node:path";

const [catalogFile, outFolder] = process.argv.slice(2);
if (!catalogFile || !outFolder) {
    console.error("usage: node demo-catalog.mjs CATALOG.json OUT-FOLDER");
    process.exit(2);
}
const catalog = JSON.parse(readFileSync(catalogFile, "utf8"));
rmSync(outFolder, { recursive: true, force: true });
mkdirSync(outFolder, { recursive: true });

const standIn = (name) => `tvn demo stand-in for ${name}: not the real file\n`;
const installer = (name) => `#!/bin/sh\n# tvn demo stand-in installer for ${name}: installs nothing\nexit 0\n`;

for (const dll of catalog.dlls ?? [])
    writeFileSync(join(outFolder, dll.fileName), standIn(dll.fileName));
for (const entry of [...(catalog.runtimes ?? []), ...(catalog.downloads ?? [])]) {
    const path = join(outFolder, entry.fileName);
    writeFileSync(path, installer(entry.fileName));
    chmodSync(path, 0o755);
}
