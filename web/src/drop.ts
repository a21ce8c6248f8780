// Files dropped on the window: a DLL is looked up in the catalog, a zip is listed (and its DLLs
// looked up), anything else is named as such. The page's drop event gives names only; the full
// paths come from the dragdrop module.

import { baseName, findDll, type Catalog } from "./catalog";
import { format } from "./texts";
import { byteText } from "./transfer";

export interface DropReport {
    line: string;
    details: string[];
}

// A zip's entries, listed off the page's thread: a dropped archive may be large.
function zipEntries(zip: Tvn.ZipModule, path: string): Promise<Tvn.ZipEntry[]> {
    return new Promise((resolve) => zip.open({ path }).info(resolve));
}

export async function describeDroppedFile(path: string, catalog: Catalog, statusOf: (fileName: string) => string, zip: Tvn.ZipModule): Promise<DropReport> {
    const name = baseName(path);
    const lower = name.toLowerCase();
    if (lower.endsWith(".dll")) {
        const dll = findDll(catalog, name);
        return { line: dll ? format("dropKnown", { name, description: dll.description, status: statusOf(dll.fileName) }) : format("dropUnknown", { name }), details: [] };
    }
    if (lower.endsWith(".zip")) {
        const entries = await zipEntries(zip, path);
        if (entries.length === 0)
            return { line: format("dropZipEmpty", { name }), details: [] };
        const details = entries.filter((entry) => !entry.isdir).map((entry) => format("dropZipEntry", {
            name: entry.name,
            size: byteText(entry.size),
            known: findDll(catalog, entry.name) ? format("dropZipKnown") : "",
        }));
        return { line: format("dropZip", { name, count: entries.length }), details };
    }
    return { line: format("dropOther", { name }), details: [] };
}
