import { describe, expect, it } from "vitest";
import { parseCatalog } from "../src/catalog";
import { describeDroppedFile } from "../src/drop";

const catalog = parseCatalog({ dlls: [{ fileName: "msvcp140.dll", filePath: "C:\\Windows\\System32\\msvcp140.dll", description: "C++ library" }] });
const entry = (name: string, size = 10): Tvn.ZipEntry => ({ index: 0, name, size, comp_size: size, isdir: name.endsWith("/"), crc32: 0, dir_offset: 0, header_offset: 0 });
// A zip module whose listing comes later, as the real one hands it over from its thread.
const zipOf = (entries: Tvn.ZipEntry[]): Tvn.ZipModule => ({
    open: () => ({ info: ((done?: (list: Tvn.ZipEntry[]) => void) => (done ? void setTimeout(() => done(entries), 0) : entries)) as Tvn.ZipFile["info"] }),
});

describe("dropped files", () => {
    it("looks a DLL up in the catalog, whatever its case and folder", async () => {
        const report = await describeDroppedFile("/home/me/MSVCP140.DLL", catalog, () => "Missing", zipOf([]));
        expect(report.line).toBe("MSVCP140.DLL: in the catalog (C++ library), Missing");
        expect((await describeDroppedFile("/x/other.dll", catalog, () => "", zipOf([]))).line).toBe("other.dll: not in the catalog");
    });

    it("lists a zip's files off the page's thread and marks the catalog's libraries among them", async () => {
        const report = await describeDroppedFile("/x/pack.zip", catalog, () => "", zipOf([entry("bin/"), entry("bin/msvcp140.dll", 5), entry("readme.txt", 3)]));
        expect(report.line).toBe("pack.zip: 3 entries");
        expect(report.details).toEqual(["bin/msvcp140.dll (5 bytes), a catalog library", "readme.txt (3 bytes)"]);
        expect((await describeDroppedFile("/x/bad.zip", catalog, () => "", zipOf([]))).line).toBe("bad.zip: not a zip archive, or empty");
    });

    it("names anything else as such", async () => {
        expect((await describeDroppedFile("/x/notes.txt", catalog, () => "", zipOf([]))).line).toBe("notes.txt: neither a DLL nor a zip");
    });
});
